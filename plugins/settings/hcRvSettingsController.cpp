#include "plugins/settings/hcRvSettingsController.h"

#include "plugins/settings/uDASettings.h"
#include "plugins/settings/uPlgSystemSettings.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uResourceHandler.h"
#include "ui/uHTMLHelp.h"

#include <QPainter>

using namespace Quorva;

namespace {

constexpr int kNavBarImageSize = 32;

// The navigation-bar pictures: a cog for the system settings, a person with a cog for the
// user's own settings.
QPixmap NavBarImage(int index)
{
    QPixmap image(kNavBarImageSize, kNavBarImageSize);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor steel(0x4a, 0x5f, 0x7a);
    const QPointF centre = index == 0 ? QPointF(16, 16) : QPointF(21, 21);
    const double r = index == 0 ? 11 : 8;
    p.setPen(QPen(steel, index == 0 ? 4 : 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(i * 45.0);
        p.drawLine(QPointF(0, r * 0.7), QPointF(0, r + 2));
        p.restore();
    }
    p.setBrush(steel);
    p.drawEllipse(centre, r * 0.75, r * 0.75);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, r * 0.3, r * 0.3);
    if (index != 0) {
        p.setBrush(QColor(0x2e, 0x6d, 0xb4));
        p.drawEllipse(QPointF(10, 8), 5, 5);
        p.drawRoundedRect(QRectF(3, 14, 14, 12), 5, 5);
    }
    return image;
}

} // namespace

TRvSettingsController::TRvSettingsController() : THYModuleController(QStringLiteral("RvSettings.Library"), QString())
{
    RegisterPlugin(SettingsPlugin, QString(), [this] { return CreateSystemSettingsPlugin(*this); });
}

TRvSettingsController::~TRvSettingsController() = default;

bool TRvSettingsController::queryInterface(const QUuid &id, void **object)
{
    return QorQueryInterface<IHYModuleController, INavBarPluginCtrl>(this, id, object);
}

void TRvSettingsController::OnCreate()
{
    m_data = std::make_unique<TDASettings>(*this);
    InitializeController();
}

void TRvSettingsController::OnSetHost(IHYHost *host)
{
    if (!m_data)
        return;
    auto connection = host ? host_cast<IROHostConnection>(host) : QorPtr<IROHostConnection>();
    if (connection)
        m_data->Connect(connection->GetMessage(), connection->GetChannel());
    else
        m_data->Disconnect();
}

void TRvSettingsController::OnDestroy()
{
    m_data.reset();
    m_texts.reset();
}

void TRvSettingsController::InitializeController()
{
    if (m_initialised)
        return;
    m_initialised = true;
    try {
        auto texts = std::make_unique<TVOResourceHandler>();
        texts->LoadResourceFile(QorModuleLanguageFile());
        m_texts = std::move(texts);
    } catch (const std::exception &e) {
        // While the module is being created there is no host yet: the line goes straight into
        // the session log the host and its modules share.
        const QString message = QString::fromUtf8(e.what());
        if (Host())
            WriteLog(QorLogLevel::Severe, {QStringLiteral("InitializeController")}, message);
        else
            AddToLog(llSevere, LogModule, QStringLiteral("InitializeController"), message);
    }
}

void TRvSettingsController::GetCaption(const QString &pluginName, QString &caption)
{
    caption = GetText(pluginName == UserSettingsPlugin ? 1001 : 5000);
}

QPixmap TRvSettingsController::GetBitmap(const QString &pluginName)
{
    return NavBarImage(pluginName == UserSettingsPlugin ? 0 : 1);
}

QString TRvSettingsController::GetText(int number) const
{
    return m_texts ? m_texts->GetString(number) : QString();
}

QString TRvSettingsController::GetHTML(int number) const
{
    return m_texts ? m_texts->GetHTML(number) : QString();
}

void TRvSettingsController::WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const
{
    if (auto log = host_cast<IHostLog>(Host()))
        log->WriteLog(level, LogModule, location.Text, message);
    else
        AddToLog(LogLevel(level), LogModule, location.Text, message);
}

TvoUser *TRvSettingsController::GetCurrentUser() const
{
    auto users = host_cast<IUserHost>(Host());
    return users ? users->GetCurrentUser() : nullptr;
}

QString TRvSettingsController::GetUserSetting(const QString &key, const QString &defaultValue) const
{
    auto settings = host_cast<ISettings>(Host());
    return settings ? settings->GetUserSetting(key, defaultValue) : defaultValue;
}

void TRvSettingsController::SetUserSetting(const QString &key, const QString &value) const
{
    if (auto settings = host_cast<ISettings>(Host()))
        settings->SetUserSetting(key, value);
}

bool TRvSettingsController::ClearUserSetting(const QString &key) const
{
    auto settings = host_cast<ISettings>(Host());
    return settings && settings->ClearUserSetting(key);
}

void TRvSettingsController::ShowReport(const QString &category, int pageIndex) const
{
    if (auto reports = host_cast<IReportHost>(Host()))
        reports->ShowReportDlg(category, nullptr, 0, nullptr, pageIndex, QString(), QString(), QString(), QString());
}

QVariant TRvSettingsController::GetCDOConfiguration() const
{
    auto mail = host_cast<IEmailHost>(Host());
    return mail ? mail->GetCDOConfiguration() : QVariant();
}

bool TRvSettingsController::IsMailAvailable() const
{
    auto mail = host_cast<IEmailHost>(Host());
    return mail && mail->IsMailAvailable();
}

void TRvSettingsController::ShowHelp(const QString &keyword) const
{
    if (!TconHTMLHelp::ShowTopic(keyword))
        WriteLog(QorLogLevel::Warning, {QStringLiteral("ShowHelp")}, QStringLiteral("The help topic %1 cannot be opened").arg(keyword));
}
