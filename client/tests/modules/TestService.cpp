// A service module for the host's tests: a splash, an initial-setup wizard that finishes by
// itself, and a probe of the host interfaces. Told by its language module (text 9100 "fail"),
// it fails while the host loads it.
#include "client/tests/modules/TestProbe.h"

#include "client/api/ModuleKit.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uResourceHandler.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

using namespace Quorva;

namespace {

const QString kSender = QStringLiteral("TestService");

void note(const QString &what)
{
    AddToLog(llInformation, kSender, what, QString());
}

class TplgSplash : public THYVisualPlugin<ISplashController, ITestProbe>
{
public:
    TplgSplash() : THYVisualPlugin(QStringLiteral("plgSplash")), m_label(new QLabel(this))
    {
        (new QVBoxLayout(this))->addWidget(m_label);
    }
    ~TplgSplash() override { note(QStringLiteral("released plgSplash")); }

    void SetAnimate(bool value) override { note(QStringLiteral("splash animate %1").arg(value)); }
    void SetProgressText(const QString &text) override
    {
        m_label->setText(text);
        note(QStringLiteral("splash text ") + text);
    }
    void Reserved8() override {}
    QStringList Calls() override { return {}; }
    QStringList ProbeHost() override { return {}; }

private:
    QLabel *m_label;
};

// Finishes as soon as it is prepared: result 1 and an administrator account.
class TplgInitialSetup : public THYVisualPlugin<IHYVisualPlugin, IInitialSetupController, ITestProbe>
{
public:
    TplgInitialSetup() : THYVisualPlugin(QStringLiteral("plgInitialSetup")) {}
    ~TplgInitialSetup() override { note(QStringLiteral("released plgInitialSetup")); }

    int GetResultCode() override { return m_result; }
    QString GetUserName() override { return m_userName; }
    void SetUserName(const QString &value) override
    {
        m_userName = value;
        m_calls << QStringLiteral("SetUserName:") + value;
    }
    QString GetReserved6() override { return {}; }
    void SetReserved7(const QString &) override {}
    QString GetReserved8() override { return {}; }
    void SetReserved9(const QString &) override {}
    QString GetUserID() override { return m_result == 1 ? QStringLiteral("{5E700000-0000-0000-0000-000000000001}") : QString(); }
    int GetUserLevel() override { return m_result == 1 ? 0x7FFFFFFF : 0; }
    QString GetPassword() override { return m_password; }
    void SetPassword(const QString &value) override { m_password = value; }
    bool GetUseWindowsLogon() override { return m_windowsLogon; }
    void SetUseWindowsLogon(bool value) override { m_windowsLogon = value; }
    void Prepare() override
    {
        m_calls << QStringLiteral("Prepare");
        m_result = 2;
        QTimer::singleShot(0, this, [this] {
            m_result = 1;
            m_userName = QStringLiteral("Pastor");
            m_password = QStringLiteral("Secret1");
            if (window() && window() != this)
                window()->close();
        });
    }
    QStringList Calls() override { return m_calls; }
    QStringList ProbeHost() override { return {}; }

private:
    int m_result = 0;
    QString m_userName;
    QString m_password;
    bool m_windowsLogon = false;
    QStringList m_calls;
};

template <class Interface>
QString reached(IHYHost *host, const char *name, const std::function<QString(Interface &)> &call)
{
    auto reachedInterface = host_cast<Interface>(host);
    if (!reachedInterface)
        return QStringLiteral("%1 missing").arg(QLatin1String(name));
    return QStringLiteral("%1 reached %2").arg(QLatin1String(name), call(*reachedInterface));
}

// A service plug-in with no window: asks the host for each of its interfaces.
class TplgHostProbe : public IHYPlugin, public ITestProbe
{
public:
    explicit TplgHostProbe(IHYHost *host) : m_host(host) {}

    bool queryInterface(const QUuid &id, void **object) override
    {
        return QorQueryInterface<IHYPlugin, ITestProbe>(this, id, object);
    }
    int addRef() override { return ++m_references; }
    int release() override
    {
        const int left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    QString GetPluginName() override { return QStringLiteral("plgHostProbe"); }
    QStringList Calls() override { return {}; }

    QStringList ProbeHost() override
    {
        QStringList lines;
        lines << reached<IHostApplication>(m_host, "IHostApplication", [](IHostApplication &i) { return i.GetReportFolder(); });
        lines << reached<IHostLog>(m_host, "IHostLog", [](IHostLog &i) {
            i.WriteLog(QorLogLevel::Information, QStringLiteral("TestService"), QStringLiteral("ProbeHost"), QStringLiteral("written"));
            return QString();
        });
        lines << reached<ISettings>(m_host, "ISettings", [](ISettings &i) { return i.GetUserSetting(QStringLiteral("NoSuchKey"), QStringLiteral("default")); });
        lines << reached<IEmailHost>(m_host, "IEmailHost", [](IEmailHost &i) {
            return QStringLiteral("%1 %2").arg(i.IsMailAvailable()).arg(i.Reserved5());
        });
        lines << reached<ITransportHost>(m_host, "ITransportHost", [](ITransportHost &i) { return QString::number(i.Reserved5()); });
        lines << reached<IAutoScheduleRunner>(m_host, "IAutoScheduleRunner", [](IAutoScheduleRunner &) { return QString(); });
        lines << reached<ISmartHelp>(m_host, "ISmartHelp", [](ISmartHelp &i) {
            i.SetSmartHelpText(QStringLiteral("probe help"), 101);
            return QString();
        });
        lines << reached<ISearchHost>(m_host, "ISearchHost", [](ISearchHost &i) {
            std::unique_ptr<TSearchObjectList> result;
            const bool found = i.PerformSearch(1, QStringLiteral("Find"), 0, false, nullptr, nullptr, result);
            return QStringLiteral("%1 %2").arg(found).arg(result ? QStringLiteral("list") : QStringLiteral("none"));
        });
        lines << reached<IReportHost>(m_host, "IReportHost", [](IReportHost &) { return QString(); });
        lines << reached<IUserHost>(m_host, "IUserHost", [](IUserHost &i) { return i.GetCurrentUser() ? i.GetCurrentUser()->UserID : QString(); });
        lines << reached<IAboutHost>(m_host, "IAboutHost", [](IAboutHost &) { return QString(); });
        lines << reached<ILanguageHost>(m_host, "ILanguageHost", [](ILanguageHost &i) {
            QString text = QStringLiteral("unchanged");
            i.GetResourceText(10, false, text);
            return text;
        });
        lines << reached<IAutoScheduleEvent_Writer>(m_host, "IAutoScheduleEvent_Writer", [](IAutoScheduleEvent_Writer &) { return QString(); });
        lines << reached<IClientPopupEvent_Writer>(m_host, "IClientPopupEvent_Writer", [](IClientPopupEvent_Writer &) { return QString(); });
        lines << reached<IStyleForm>(m_host, "IStyleForm", [](IStyleForm &i) {
            i.SetLookAndFeel(4);
            return QString();
        });
        lines << reached<IROHostConnection>(m_host, "IROHostConnection", [](IROHostConnection &i) {
            return QStringLiteral("%1 %2").arg(i.GetChannel() ? QStringLiteral("channel") : QStringLiteral("no channel"),
                                               i.GetMessage() ? QStringLiteral("message") : QStringLiteral("no message"));
        });
        return lines;
    }

protected:
    virtual ~TplgHostProbe() = default;

private:
    IHYHost *m_host;
    int m_references = 1;
};

class TTestServiceController : public THYModuleController
{
public:
    TTestServiceController() : THYModuleController(QStringLiteral("TestService.Library"), QStringLiteral("Services for the host's tests"))
    {
        RegisterPlugin(QStringLiteral("plgSplash"), QStringLiteral("Splash"), [] { return new TplgSplash; });
        RegisterPlugin(QStringLiteral("plgInitialSetup"), QStringLiteral("Set-up"), [] { return new TplgInitialSetup; });
        RegisterPlugin(QStringLiteral("plgHostProbe"), QStringLiteral("Probe"), [this] { return new TplgHostProbe(Host()); });
    }

protected:
    void OnCreate() override
    {
        TVOResourceHandler texts;
        try {
            texts.LoadResourceFile(QorModuleLanguageFile());
        } catch (const std::exception &) {
            // Without texts the module loads as usual.
        }
        if (texts.GetString(9100, true) == QLatin1String("fail"))
            throw std::runtime_error("the test module was told to fail");
        note(QStringLiteral("created TestService"));
    }
    void OnSetHost(IHYHost *host) override { note(host ? QStringLiteral("host set TestService") : QStringLiteral("host cleared TestService")); }
    void OnDestroy() override { note(QStringLiteral("destroyed TestService")); }
};

} // namespace

QOR_EXPORT_MODULE_CONTROLLER(TTestServiceController)
