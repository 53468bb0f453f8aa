// The client host as a plug-in's units see it in tests, without the client program: the channel
// and message of a test client, a logged-on user, and a log, settings, searches, progress,
// scheduling runs, report requests and mail as the test sets them up or reads them back. It
// answers only for the parts it was made with, as a host without the others would.
#pragma once

#include "client/api/HostInterfaces.h"
#include "client/api/PluginInterfaces.h"

#include "foundation/uCommon.h"

#include <QFlags>
#include <QMap>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace kestrova::test {

// Every stand-in has the host's connection (while it has a channel), the user and the log.
enum class THostPart : unsigned {
    Settings = 1 << 0,    // ISettings: settings and layout blobs in memory
    Search = 1 << 1,      // ISearchHost: answered with SearchAnswer
    Application = 1 << 2, // IHostApplication: progress noted, the other commands do nothing
    Scheduler = 1 << 3,   // IAutoScheduleRunner: runs noted
    Reports = 1 << 4,     // IReportHost: the chooser is not shown, its requests are noted
    Mail = 1 << 5,        // IEmailHost: the configuration given; mails noted
};
Q_DECLARE_FLAGS(THostParts, THostPart)
Q_DECLARE_OPERATORS_FOR_FLAGS(THostParts)

class TStandInHost final : public Quorva::IHYHost,
                           public Quorva::IROHostConnection,
                           public Quorva::IUserHost,
                           public Quorva::IHostLog,
                           public Quorva::ISettings,
                           public Quorva::ISearchHost,
                           public Quorva::IHostApplication,
                           public Quorva::IAutoScheduleRunner,
                           public Quorva::IReportHost,
                           public Quorva::IEmailHost
{
public:
    struct TLogEntry
    {
        quint8 Level = 0;
        QString Sender;
        QString Location;
        QString Message;
    };

    struct TReportCall
    {
        QString Category;
        QStringList Selection;
        bool HadSelection = false;
        int Count = -1;
        Quorva::IReportCriteriaProvider *CriteriaProvider = nullptr;
        QString CriteriaText; // the provider's criteria when it was asked
        int SelectionIndex = 0;
        QStringList Texts; // families exclusion, override marker, data source, criteria
    };

    struct TRun
    {
        QStringList TemplateIds;
        QStringList FunctionIds;
        QDateTime From;
        QDateTime To;
    };

    using TLogLine = std::function<QString(const TLogEntry &)>;

    explicit TStandInHost(THostParts parts = {}, TLogLine logLine = SpacedLine) : LogLine(std::move(logLine)), m_parts(parts) {}
    TStandInHost(const TStandInHost &) = delete;
    TStandInHost &operator=(const TStandInHost &) = delete;

    // The channel and message of a client of the test's server (a ServiceClient or the like).
    template <class Client> void Connect(const Client &client)
    {
        Channel = client.Channel;
        Message = client.Message;
    }
    // The last report request; an empty one before any.
    TReportCall LastReport() const { return Reports.isEmpty() ? TReportCall{} : Reports.last(); }

    // Lines as "2 Contacts OnActivate: text" and as the session log's columns.
    static QString SpacedLine(const TLogEntry &entry);
    static QString TabbedLine(const TLogEntry &entry);

    bool queryInterface(const QUuid &id, void **object) override;
    int addRef() override { return 1; }
    int release() override { return 1; }

    std::shared_ptr<TROTransportChannel> GetChannel() override { return Channel; }
    std::shared_ptr<TROMessage> GetMessage() override { return Message; }
    TvoUser *GetCurrentUser() override { return &User; }
    void WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message) override;

    QString GetUserSetting(const QString &key, const QString &defaultValue) override { return Settings.value(key, defaultValue); }
    void SetUserSetting(const QString &key, const QString &value) override;
    std::optional<QByteArray> LoadUserBlob(const QString &name) override;
    void SaveUserBlob(const QString &name, const QByteArray *stream) override;
    bool ClearUserSetting(const QString &name) override;

    bool PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect, const TSearchObjectList *preselected,
                       const TSearchObjectList *excluded, std::unique_ptr<TSearchObjectList> &result) override;

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

    void RunAutoScheduleWithProgress(const QStringList &templateIds, const QStringList &ministryFunctionIds,
                                     const QDateTime &fromDate, const QDateTime &toDate) override;

    void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                       Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex, const QString &familiesExclusion,
                       const QString &overrideMarker, const QString &dataSource, const QString &criteria) override;
    void GetReportDefinitionsText(const QString &category, QString &text) override;

    QVariant GetCDOConfiguration() override { return MailConfiguration; }
    void Reserved4() override {}
    int Reserved5() override { return 0; }
    void Reserved6() override {}
    QString Reserved7() override { return {}; }
    void Reserved8() override {}
    int Reserved9() override { return 0; }
    void ShowNewMessage() override {}
    void Reserved11() override {}
    void SendSimpleEmail(const QStringList *recipients) override { Mailed = recipients ? *recipients : QStringList(); }
    bool IsMailAvailable() override { return MailAvailable || MailConfiguration.isValid(); }

    std::shared_ptr<TROTransportChannel> Channel;
    std::shared_ptr<TROMessage> Message;
    TvoUser User;

    // How an entry reads in Log; an entry it makes no line of is left out.
    TLogLine LogLine;
    QStringList Log;

    QMap<QString, QString> Settings;
    QMap<QString, QByteArray> Blobs;
    QStringList Cleared;
    QString RefusedSetting; // saving this key raises, as a host that lost its server does

    // The list chosen in the search; none is a cancelled search.
    std::optional<TSearchObjectList> SearchAnswer;
    QList<int> SearchKinds;
    QString SearchCaption;
    TSearchObjectList Preselected;

    QStringList Progress;
    QList<TRun> Runs;
    std::function<void(const TRun &)> OnRun; // as the progress window would run it

    QList<TReportCall> Reports;
    std::function<void(const TReportCall &)> OnReport; // as the chooser would be shown
    std::function<QString(const QString &category)> ReportDefinitions;
    QString DefinitionsAsked;

    QVariant MailConfiguration;
    bool MailAvailable = false; // also with no configuration
    QStringList Mailed;

private:
    bool Offers(const QUuid &id) const;

    THostParts m_parts;
};

} // namespace kestrova::test
