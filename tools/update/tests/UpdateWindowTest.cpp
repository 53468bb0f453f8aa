// Update's window laid out: every text shown whole, in English and when a status line is long.
#include "tools/update/UpdateTexts.h"
#include "tools/update/uDM.h"
#include "tools/update/ufMain.h"

#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The label is as tall as its wrapped text needs and lies inside the window.
void ExpectWhole(const QWidget &window, const QLabel &label)
{
    EXPECT_GE(label.height(), label.heightForWidth(label.width())) << label.text().toStdString();
    EXPECT_TRUE(window.rect().contains(QRect(label.mapTo(&window, QPoint(0, 0)), label.size()))) << label.text().toStdString();
}

TEST(UpdateWindow, ShowsItsWholeDescriptionAndStatusInEachLanguage)
{
    for (const QLocale::Language language : {QLocale::English, QLocale::NorwegianBokmal}) {
        SCOPED_TRACE(QLocale::languageToString(language).toStdString());
        UpdateTexts::SetLanguage(language);
        QTemporaryDir folder;
        TDM dm;
        TfMain window(dm, folder.path(), QStringLiteral("1.0.0.0"), {});
        window.show();
        EXPECT_EQ(window.DescriptionLabel()->text(), UpdateTexts::Text(UpdateTexts::Description));
        ExpectWhole(window, *window.DescriptionLabel());
        ExpectWhole(window, *window.StatusLabel());

        window.SetStatus(UpdateTexts::Text(UpdateTexts::NoUpdateService).replace(QLatin1Char('\r'), QLatin1Char(' ')));
        ExpectWhole(window, *window.DescriptionLabel());
        ExpectWhole(window, *window.StatusLabel());
        window.close();
    }
    UpdateTexts::SetLanguage(QLocale::English);
}

} // namespace
