// A navigation-bar module for the host's tests: two views. Its language module (beside it)
// decides what the host sees: text 9000 the rights mask, 9001 and 9002 the two views' groups,
// 1000 and 1001 their captions; 1002 and 1003, when given, what the views show instead of their
// names, 1004 and 1005 the smart help each view sets when it is activated, 1006 and 1007 their
// status texts.
#include "client/tests/modules/TestProbe.h"

#include "client/api/ModuleKit.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uResourceHandler.h"

#include <QAction>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

#include <memory>

using namespace Quorva;

namespace {

const QString kSender = QStringLiteral("TestViews");
const QStringList kViews = {QStringLiteral("plgTestCalendar"), QStringLiteral("plgTestSchedule")};

void note(const QString &what)
{
    AddToLog(llInformation, kSender, what, QString());
}

class TplgTestView : public THYVisualPlugin<IHYVisualPlugin, INavBarPlugin, ITestProbe>
{
public:
    TplgTestView(const QString &name, const QString &text, const QString &help, const QString &status, IHYHost *host)
        : THYVisualPlugin(name), m_bar(new QToolBar(this)), m_help(help), m_status(status), m_host(host)
    {
        m_bar->addAction(new QAction(QStringLiteral("New"), m_bar));
        auto *label = new QLabel(text.isEmpty() ? name : text, this);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignCenter);
        (new QVBoxLayout(this))->addWidget(label);
    }
    ~TplgTestView() override { note(QStringLiteral("released ") + GetPluginName()); }

    QList<QToolBar *> GetBarManager() override { return {m_bar}; }
    QList<QIcon> GetToolbarImages() override { return {QIcon()}; }
    QList<QIcon> GetToolbarDisabledImages() override { return {QIcon()}; }
    void GetStatusText(QString &text) override { text = m_status.isEmpty() ? GetPluginName() + QStringLiteral(" status") : m_status; }
    void Activate(QObject *) override
    {
        m_calls << QStringLiteral("Activate");
        note(QStringLiteral("activated ") + GetPluginName());
        if (auto smartHelp = host_cast<ISmartHelp>(m_host); smartHelp && !m_help.isEmpty())
            smartHelp->SetSmartHelpText(m_help, 0);
    }
    void Deactivate(QObject *) override { m_calls << QStringLiteral("Deactivate"); }
    QStringList Calls() override { return m_calls; }
    QStringList ProbeHost() override { return {}; }

private:
    QToolBar *m_bar;
    QString m_help;
    QString m_status;
    IHYHost *m_host;
    QStringList m_calls;
};

class TTestViewsController : public THYModuleController, public INavBarPluginCtrl
{
public:
    TTestViewsController() : THYModuleController(QStringLiteral("TestViews.Library"), QStringLiteral("Views for the host's tests"))
    {
        for (int index = 0; index < int(kViews.size()); ++index) {
            const QString name = kViews[index];
            RegisterPlugin(name, name, [this, name, index] {
                return new TplgTestView(name, Text(1002 + index), Text(1004 + index), Text(1006 + index), Host());
            });
        }
    }

    bool queryInterface(const QUuid &id, void **object) override
    {
        return QorQueryInterface<IHYModuleController, INavBarPluginCtrl>(this, id, object);
    }
    int addRef() override { return THYModuleController::addRef(); }
    int release() override { return THYModuleController::release(); }

    void InitializeController() override
    {
        m_texts = std::make_unique<TVOResourceHandler>();
        try {
            m_texts->LoadResourceFile(QorModuleLanguageFile());
        } catch (const std::exception &e) {
            if (auto log = host_cast<IHostLog>(Host()))
                log->WriteLog(QorLogLevel::Severe, QorModulePath(), QString::fromUtf8(e.what()), QStringLiteral("InitializeController"));
        }
    }
    int GetRequiredRights() override { return Number(9000, 0); }
    void GetCaption(const QString &pluginName, QString &caption) override
    {
        const int index = int(kViews.indexOf(pluginName));
        if (index >= 0)
            caption = Text(1000 + index);
    }
    int GetGroupIndex(const QString &pluginName) override
    {
        const int index = int(kViews.indexOf(pluginName));
        return index < 0 ? 0 : Number(9001 + index, 0);
    }
    QPixmap GetBitmap(const QString &) override
    {
        QPixmap bitmap(16, 16);
        bitmap.fill(Qt::darkBlue);
        return bitmap;
    }

protected:
    void OnCreate() override
    {
        InitializeController();
        note(QStringLiteral("created TestViews"));
    }
    void OnSetHost(IHYHost *host) override { note(host ? QStringLiteral("host set TestViews") : QStringLiteral("host cleared TestViews")); }
    void OnDestroy() override
    {
        m_texts.reset();
        note(QStringLiteral("destroyed TestViews"));
    }

private:
    QString Text(int number) const { return m_texts ? m_texts->GetString(number, true) : QString(); }
    int Number(int number, int fallback) const
    {
        bool ok = false;
        const int value = Text(number).toInt(&ok, 0);
        return ok ? value : fallback;
    }

    std::unique_ptr<TVOResourceHandler> m_texts;
};

} // namespace

QOR_EXPORT_MODULE_CONTROLLER(TTestViewsController)
