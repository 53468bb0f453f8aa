// The entry object of the events module: answers the host's navigation-bar questions, owns the
// module's data module and language texts, and is the one gateway through which every other
// unit of the module reaches the host (texts, log, settings, user, search, progress, the
// automatic-scheduling runner).
#pragma once

#include "client/api/ModuleKit.h"

#include "foundation/uResourceHandler.h"

#include <QDateTime>
#include <QPixmap>

#include <memory>

class QHeaderView;
class TDAEvents;

class TRvEventsController : public THYModuleController, public Quorva::INavBarPluginCtrl, public Quorva::ISearchHost
{
public:
    static inline const QString CalendarPlugin = QStringLiteral("plgCalendar");
    static inline const QString SchedulePlugin = QStringLiteral("plgSchedule");
    static inline const QString LogModule = QStringLiteral("Events");

    TRvEventsController();
    ~TRvEventsController() override;

    // The one controller of the loaded module (null outside it).
    static TRvEventsController *Instance();

    bool queryInterface(const QUuid &id, void **object) override;
    int addRef() override { return THYModuleController::addRef(); }
    int release() override { return THYModuleController::release(); }

    // INavBarPluginCtrl
    void InitializeController() override;
    int GetRequiredRights() override { return 0; }
    void GetCaption(const QString &pluginName, QString &caption) override;
    int GetGroupIndex(const QString &) override { return 1; }
    QPixmap GetBitmap(const QString &pluginName) override;

    // ISearchHost: handed on to the host's unchanged.
    bool PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                       const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                       std::unique_ptr<TSearchObjectList> &result) override;

    TDAEvents *DataModule() const { return m_data.get(); }
    const TVOResourceHandler *LanguageModule() const { return m_texts.get(); }

    // Empty while no language module is loaded.
    QString GetText(int number) const;
    QString GetHTML(int number) const;
    void WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const;
    QString GetUserSetting(const QString &key, const QString &defaultValue);
    void SetUserSetting(const QString &key, const QString &value);
    // The id the data module stamps: the logged-on user's, the none id without one.
    QString CurrentUserID();
    void ShowProgress(quint8 style);
    // Failures are logged, never raised.
    void SetProgress(int position, const QString &text);
    void HideProgress();
    // Hands a run to the host's runner; false when the host has none.
    bool RunAutoSchedule(const QStringList &templateIds, const QStringList &functionIds, const QDateTime &from,
                         const QDateTime &to);

    // The host's report chooser for the category; the texts after the selection index go empty.
    void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                       Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex);
    // A grid's column layout under the name in the user's settings. Loading leaves the grid as
    // it is when no layout was stored, and logs a failure or a layout that does not fit it.
    void LoadGridLayout(const QString &name, QHeaderView *header);
    void SaveGridLayout(const QString &name, QHeaderView *header);

    // For tests that drive the module's units without loading the library: the host as given.
    void AttachHost(Quorva::IHYHost *host) { SetHost(host); }

    // Where the views were left, for their next showing in this session (each showing is a new
    // view); what lasts beyond the session is in the user's settings.
    struct TViewsLeft
    {
        int CalendarView = -1; // a TCalendarViewKind once the calendar was left
        bool ScheduleFilterShown = false;
        bool ScheduleFilterApplied = false;
        QDate ScheduleFilterStart;
        QDate ScheduleFilterEnd;
    };
    TViewsLeft ViewsLeft;

protected:
    void OnCreate() override;
    void OnSetHost(Quorva::IHYHost *host) override;
    void OnDestroy() override;

private:
    std::unique_ptr<TVOResourceHandler> m_texts;
    std::unique_ptr<TDAEvents> m_data;
};

// Shorthand of the module's units.
inline TRvEventsController *RvEvents() { return TRvEventsController::Instance(); }
