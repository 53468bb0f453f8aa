#include "client/uPopupNotifier.h"

#include "foundation/QuorvaLogFile.h"

TPopupNotifier::TPopupNotifier()
{
    TMSNPopUpSettings &settings = m_popup.Settings();
    settings.Options.setFlag(TMSNPopUpOption::msnAutoOpenURL, false);
}

void TPopupNotifier::ShowPopup(const TPopupNotice &notice, std::function<void(const QString &tag)> onClick)
{
    TMSNPopUpSettings &settings = m_popup.Settings();
    settings.TimeOut = notice.TimeOut;
    settings.Title = notice.Title;
    settings.Text = notice.Text;
    settings.URL = notice.Tag;
    settings.GradientColor1 = notice.GradientColor1;
    settings.GradientColor2 = notice.GradientColor2;
    settings.OnURLClick = [onClick = std::move(onClick)](QObject *, const QString &tag) {
        if (onClick)
            onClick(tag);
    };
    if (!m_popup.ShowPopUp())
        AddToLog(llWarning, QStringLiteral("DMClient"), QStringLiteral("OnNewPopup"),
                 QStringLiteral("No room on the screen for the notice \"%1\"").arg(notice.Title));
}
