// A host for the events module's units without the client program: settings in memory, a
// logged-on user, a scripted search, recorded progress, log lines and scheduling runs, and the
// channel of a test client. It drives a controller made in the test, not the loaded library.
#pragma once

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"

#include <QMap>

#include <memory>
#include <stdexcept>

class FakeEventsHost : public Quorva::IHYHost,
                       public Quorva::IHostLog,
                       public Quorva::ISettings,
                       public Quorva::IUserHost,
                       public Quorva::ISearchHost,
                       public Quorva::IHostApplication,
                       public Quorva::IROHostConnection,
                       public Quorva::IAutoScheduleRunner,
                       public Quorva::IReportHost
{
public:
    struct ReportCall
    {
        QString Category;
        QStringList Selection;
        bool HadSelection = false;
        int Count = 0;
        Quorva::IReportCriteriaProvider *CriteriaProvider = nullptr;
        int SelectionIndex = 0;
        QStringList Texts; // families exclusion, override marker, data source, criteria
    };

    struct Run
    {
        QStringList TemplateIds;
        QStringList FunctionIds;
        QDateTime From;
        QDateTime To;
    };

    virtual ~FakeEventsHost() = default;

    bool queryInterface(const QUuid &id, void **object) override
    {
        using namespace Quorva;
        if (id == QorIID<IROHostConnection>() && !Channel) {
            *object = nullptr;
            return false;
        }
        return QorQueryInterface<IHYHost, IHostLog, ISettings, IUserHost, ISearchHost, IHostApplication, IROHostConnection,
                                 IAutoScheduleRunner, IReportHost>(this, id, object);
    }
    int addRef() override { return 1; }
    int release() override { return 1; }

    void WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message) override
    {
        Log << QStringLiteral("%1\t%2\t%3\t%4").arg(level).arg(sender, location, message);
    }

    QString GetUserSetting(const QString &key, const QString &defaultValue) override { return Settings.value(key, defaultValue); }
    void SetUserSetting(const QString &key, const QString &value) override
    {
        if (key == RefusedSetting)
            throw std::runtime_error("The setting could not be saved");
        Settings[key] = value;
    }
    std::optional<QByteArray> LoadUserBlob(const QString &name) override
    {
        if (!Blobs.contains(name))
            return std::nullopt;
        return Blobs.value(name);
    }
    void SaveUserBlob(const QString &name, const QByteArray *stream) override
    {
        if (stream)
            Blobs[name] = *stream;
    }
    bool ClearUserSetting(const QString &) override { return true; }

    TvoUser *GetCurrentUser() override { return &User; }

    bool PerformSearch(int kinds, const QString &, int, bool, const TSearchObjectList *, const TSearchObjectList *,
                       std::unique_ptr<TSearchObjectList> &result) override
    {
        SearchKinds << kinds;
        if (SearchHits.isEmpty())
            return false;
        result = std::make_unique<TSearchObjectList>(SearchHits);
        return true;
    }

    bool GetUseWindowsLogon() override { return false; }
    void SetUseWindowsLogon(bool) override {}
    bool GetAlwaysUsePreferredServer() override { return false; }
    void SetAlwaysUsePreferredServer(bool) override {}
    void CloseMainWindow() override {}
    void OpenInstallFAQ() override {}
    void OpenGettingStartedGuide() override {}
    bool GetNavBarVisible() override { return true; }
    void SetNavBarVisible(bool) override {}
    bool GetSmartHelpVisible() override { return false; }
    void SetSmartHelpVisible(bool) override {}
    QString GetReportFolder() override { return {}; }
    void ShowProgress(quint8 style) override { Progress << QStringLiteral("show %1").arg(style); }
    void SetProgress(int position, const QString &) override { Progress << QString::number(position); }
    void HideProgress() override { Progress << QStringLiteral("hide"); }

    std::shared_ptr<TROTransportChannel> GetChannel() override { return Channel; }
    std::shared_ptr<TROMessage> GetMessage() override { return Message; }

    void RunAutoScheduleWithProgress(const QStringList &templateIds, const QStringList &ministryFunctionIds,
                                     const QDateTime &fromDate, const QDateTime &toDate) override
    {
        Runs << Run{templateIds, ministryFunctionIds, fromDate, toDate};
    }

    void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                       Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex, const QString &familiesExclusion,
                       const QString &overrideMarker, const QString &dataSource, const QString &criteria) override
    {
        Reports << ReportCall{category, selection ? *selection : QStringList(), selection != nullptr, count, criteriaProvider,
                              selectionIndex, {familiesExclusion, overrideMarker, dataSource, criteria}};
    }
    void GetReportDefinitionsText(const QString &, QString &text) override { text.clear(); }

    QStringList Log;
    QMap<QString, QString> Settings;
    QString RefusedSetting; // saving this key raises, as a host that lost its server does
    QMap<QString, QByteArray> Blobs;
    QList<ReportCall> Reports;
    TvoUser User;
    TSearchObjectList SearchHits;
    QList<int> SearchKinds;
    QStringList Progress;
    QList<Run> Runs;
    std::shared_ptr<TROTransportChannel> Channel;
    std::shared_ptr<TROMessage> Message;
};

// A controller made in the test with its data module, given the fake host.
struct EventsModule
{
    explicit EventsModule(FakeEventsHost &host)
    {
        controller.ModuleCreate();
        controller.AttachHost(&host);
    }
    ~EventsModule()
    {
        controller.AttachHost(nullptr);
        controller.ModuleDestroy();
    }
    EventsModule(const EventsModule &) = delete;
    EventsModule &operator=(const EventsModule &) = delete;

    TDAEvents &Data() { return *controller.DataModule(); }

    TRvEventsController controller;
};
