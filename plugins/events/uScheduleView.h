// The schedule view "plgSchedule": the events of the list in a grid and, below it, the scheduled
// ministry functions of the focused event with their members. Here planners assign, clear and
// lock members, mark attendance, add and remove functions, filter the events by a period, mark
// a liturgy complete, start automatic scheduling, remove assignments, print and preview. The
// grids show the data module's shared tables through the models of uScheduleModels; the rules
// live in TScheduleRules, the printed report in uSchedulePrint.
#pragma once

#include "client/api/ModuleKit.h"
#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uEvent.h"
#include "plugins/events/uEventEditorRules.h"
#include "plugins/events/uSchedulePrint.h"

#include <QTableView>

#include <functional>

class QAction;
class QDateEdit;
class QGroupBox;
class QMenu;
class QPrinter;
class QTimer;
class QToolBar;
class TDACDSDataTable;
class TDATableModel;
class TGroupBox;
class TGroupedRowsModel;
class TMinisterFlagHintTracker;

// A grid whose open cell editor can be written into the model on demand.
class TScheduleGrid : public QTableView
{
public:
    using QTableView::QTableView;
    // Writes and closes the cell editor that is open; false when none was.
    bool CommitPendingEdit();

protected:
    // The rows are as high as the grid's font needs, whatever font it is given.
    void changeEvent(QEvent *event) override;
};

class TplgSchedule : public THYVisualPlugin<Quorva::IHYVisualPlugin, Quorva::INavBarPlugin>
{
public:
    static inline const QString FocusedEventSetting = QStringLiteral("ScheduleLiturgyID");
    static inline const QString EventsGridLayout = QStringLiteral("ScheduleEventsGrid");
    // The column the event grid's rows are grouped by, kept beside its layout.
    static inline const QString EventsGridGroup = QStringLiteral("ScheduleEventsGrid.GroupColumn");
    static inline const QString FunctionsGridLayout = QStringLiteral("ScheduledFunctionsGrid");
    static inline const QString ScheduleReports = QStringLiteral("{00000000-0000-0000-0000-000000000006}");

    TplgSchedule();
    ~TplgSchedule() override;

    // INavBarPlugin
    QList<QToolBar *> GetBarManager() override;
    QList<QIcon> GetToolbarImages() override { return {}; }
    QList<QIcon> GetToolbarDisabledImages() override { return {}; }
    void GetStatusText(QString &text) override;
    void Activate(QObject *navigationItem) override;
    void Deactivate(QObject *navigationItem) override;

    // The member buttons: 0 picks a member through the host search, 1 clears it. Runs after
    // the caller's own event has returned.
    void PostMemberChoice(int buttonIndex);

    // The editor of new and edited events; the dialog unless a test gives another.
    TvoEvent::EditorFactory EditorFactory;
    // For tests: instead of the preview window, what it would show.
    std::function<void(QPrinter &, const std::function<void(QPrinter *)> &)> RunPreview;
    // What the last preview painted: its pages and the rows of each grid.
    using TPrintedReport = TSchedulePrintout;
    const TPrintedReport &LastPrintedReport() const { return m_printed; }

    TScheduleGrid *grdView() const { return m_events; }
    TScheduleGrid *cxGrdView() const { return m_functions; }
    TDATableModel *EventsModel() const { return m_eventsModel; }
    TDATableModel *FunctionsModel() const { return m_functionsModel; }
    QGroupBox *grpFilter() const { return m_filterPanel; }
    QDateEdit *dtStartDate() const { return m_startDate; }
    QDateEdit *dtEndDate() const { return m_endDate; }
    QTimer *tmrRefresh() const { return m_refreshTimer; }
    // The selected events' keys, in grid order.
    QStringList SelectedEventIDs() const;

    QAction *acHYAdd, *acHYEdit, *acHYDelete, *acHYRefresh, *acHYSchedule, *acEmail, *acHYComplete;
    QAction *acHYAddFunction, *acHYRemoveFunction, *acFindResource, *acClearMember, *acLockMember;
    QAction *acFilter, *acHYSelectAll, *acHYPreview, *acHYPrint, *acHYAbout, *acHYExit, *acHYSetFilter;
    QAction *acRemoveAssigments, *acRemoveNonLocked, *acHYUseLogon, *acHYUsePreferredServer, *acFAQ;
    QAction *acGettingStarted, *acHYHelp, *acHome;
    // Groups the event grid's rows by that column (as a header dropped on the group box does);
    // -1 ends the grouping.
    void GroupBy(int column);
    int GroupColumn() const;
    TGroupedRowsModel *EventRows() const { return m_eventRows; }
    // The upper grid's column chooser (the header's context menu): a check item per column.
    // The caller owns the menu.
    QMenu *ColumnChooser();
    // The menu bar's entries: File, Edit, View, Options, Tools, Help.
    const QList<QAction *> &Menus() const { return m_menus; }

    // The function grid's hint as the last mouse move over it left it.
    const TMinisterFlagHint &FlagHint() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The steps of the constructor, in this order (uScheduleViewBuild.cpp).
    void CreateActions();
    void BuildBars();
    void BuildFilterPanel();
    // The two grids on the data module's tables, their models and columns.
    void BuildGrids();
    // The group box over the event grid, the splitter between the grids, the filter panel above.
    void BuildLayout();
    void ConnectActions();
    void ConnectGrids();
    void Localize();
    static QString Text(int number);
    // Runs use on the host's interface of that kind, when there is a host that has it.
    template <class Interface> static void WithHost(const std::function<void(Interface &)> &use)
    {
        if (TRvEventsController *controller = RvEvents())
            if (auto host = host_cast<Interface>(controller->Host()))
                use(*host);
    }
    void UpdateActions();
    void OnEventRowChanged(int row);
    void SelectFocusedEvent();
    void SelectFocusedFunction();
    // Writes an open cell editor and a row edit of the function grid into its table.
    void PostPendingFunctionEdit();
    // The function rows, sent; a failure takes them back and raises. A refusal for another
    // planner's change is told: the rows stay pending unless he loads the stored row, after
    // which the rest goes out; false while his change stays pending.
    bool ApplyFunctions(bool refetch);
    // The event list and its functions in one call with a re-read; a failure takes back every
    // pending change of them and raises, a refusal for another planner's change as above.
    bool ApplyEvents();
    // Runs apply until it lands. Another planner's change is told and offered as stored; a
    // server out of reach is told and the change stays for the next save (false for both while
    // it stays); any other failure is told, taken back by takeBack and raised.
    bool ApplyTelling(const QString &location, const std::function<void()> &apply, const std::function<void()> &takeBack);
    // Tells why a save did not reach the server; text says what became of the change.
    void TellNotSent(int text, const std::exception &why);
    static constexpr int kTextNotSentCaption = 9005;
    static constexpr int kTextNotSentKept = 9006;
    static constexpr int kTextNotSentTakenBack = 9007;
    // The event's colour from its functions, written and applied; the event and the function
    // row of that key are focused again.
    void SaveEventColor(const QString &eventId, const QString &functionKey);
    bool LocateEvent(const QString &eventId);
    QString CurrentEventID() const;

    void NewEvent();
    void EditEvent();
    void Refresh();
    void DeleteEvents();
    void Complete();
    void ChooseMember(int buttonIndex);
    void AddFunction();
    void RemoveFunction();
    void ToggleFilterPanel();
    void ApplyFilter();
    void Schedule();
    void RemoveAssignments(bool includeLocked);
    void Print();
    void Preview();
    void PaintPreview(QPrinter *printer, bool wholeView);

    TDACDSDataTable &Events() const;
    TDACDSDataTable &Functions() const;

    QList<QToolBar *> m_bars;
    // File, Edit, View, Options, Tools and Help, in this order.
    QList<QAction *> m_menus;
    TScheduleGrid *m_events;
    TScheduleGrid *m_functions;
    TDATableModel *m_eventsModel = nullptr;
    TDATableModel *m_functionsModel = nullptr;
    TGroupedRowsModel *m_eventRows = nullptr;
    TGroupBox *m_groupBox = nullptr;
    QGroupBox *m_filterPanel;
    QDateEdit *m_startDate;
    QDateEdit *m_endDate;
    QTimer *m_refreshTimer;
    TMinisterFlagHintTracker *m_flagHint = nullptr;
    // Whether the filter panel's period filters the list.
    bool m_filterApplied = false;
    // While Activate reads the tables and focuses the event.
    bool m_activating = false;
    TPrintedReport m_printed;
};
