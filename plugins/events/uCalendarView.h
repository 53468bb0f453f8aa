// The calendar "plgCalendar": every liturgy in day, week, month and year views and a time line,
// with the date navigator beside them and the actions on events (new, edit, delete, complete,
// automatic scheduling, removal of assignments, print, preview, export for other calendar
// programs). It reads and writes events only through the module's data module, the event
// object and the controller.
#pragma once

#include "client/api/ModuleKit.h"
#include "plugins/events/uCalendarWidgets.h"
#include "plugins/events/uEvent.h"
#include "plugins/events/uEventSettings.h"

#include <QHash>
#include <QTimer>

#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPrinter;
class QToolBar;

class TplgCalendar : public THYVisualPlugin<Quorva::IHYVisualPlugin, Quorva::INavBarPlugin>
{
public:
    TplgCalendar();
    ~TplgCalendar() override;

    // INavBarPlugin
    QList<QToolBar *> GetBarManager() override { return m_bars; }
    QList<QIcon> GetToolbarImages() override;
    QList<QIcon> GetToolbarDisabledImages() override;
    void GetStatusText(QString &text) override;
    void Activate(QObject *navigationItem) override;
    void Deactivate(QObject *navigationItem) override;

    // The editor new and edited events open; the event dialog unless a test sets another.
    TvoEvent::EditorFactory EditorFactory;
    // The file the export writes; empty cancels. A save dialog unless a test sets another.
    std::function<QString()> ChooseExportFile;

    TCalendarControl *cxSchedule() const { return m_control; }
    TDateNavigator *cxDateNavigator() const { return m_navigator; }
    const TvoEventSettings *Settings() const { return m_settings.get(); }

    // Shows the period of the control from the event list again.
    void ShowEvents();
    // What the date navigator chose: one day moves the view there, several show side by side in
    // the day view; either way no event stays selected.
    void ShowDays(const QList<QDate> &days);
    // Every event of the event list as the export writes it (ids made and stored where none).
    void ExportCalendar(const QString &path);
    // Paints the view for the preview (and printing from it).
    void PaintPreview(QPrinter *printer);
    // The day header's text as the calendar of feasts names the day.
    QString DayHeader(const QDate &date, int width, const QFontMetrics &metrics, const QString &ownText);
    // The feast days of the calendar table, read once before the first paint.
    void ReadFeasts();

    QAction *acHYAdd, *acHYEdit, *acHYDelete, *acHYComplete, *acHYSchedule, *acClearInformation, *acRemoveNotLocked,
        *acHYPrint, *acHYPreview, *acHYRefresh, *acToday, *acTimeInterval15, *acTimeInterval30, *acTimeInterval45,
        *acTimeInterval60, *acViewDay, *acViewWeek, *acViewWeeks, *acViewYear, *acViewTimegrid, *acOutlook, *acHYHelp,
        *acHYAbout, *acHYExit, *acHYUseLogon, *acHYUsePreferredServer, *acFaq, *acGettingStarted, *acEmail,
        *acClearFunctions, *acHYAddMultiple, *acHome, *btnOptions;
    QTimer tmrRefresh;

private:
    void CreateActions();
    void CreateBars();
    void LocalizeForm();
    void UpdateActions();
    // The toolbar buttons show pictures only; their tooltips give the caption and shortcut.
    void SetToolTips();
    void SelectCurrentTime();
    void SetWorkingHours();
    void SetTimeInterval(int minutes);
    void SetViewKind(TCalendarViewKind view);
    void UpdateCaption();

    void acHYAddExecute();
    void acHYEditExecute();
    void acHYDeleteExecute();
    void acHYCompleteExecute();
    void acHYScheduleExecute();
    void acRemoveAssignmentsExecute(bool onlyNotLocked);
    void acHYPrintExecute();
    void acHYPreviewExecute();
    void acHYRefreshExecute();
    void acTodayExecute();
    void acOutlookExecute();
    void btnOptionsClick();
    void ShowPopup(const QPoint &globalPos);

    TCalendarControl *m_control;
    TDateNavigator *m_navigator;
    QLabel *m_caption;
    QList<QToolBar *> m_bars;
    QList<QMenu *> m_menus;
    QMenu *m_popup = nullptr;
    QMenu *m_intervalMenu = nullptr;
    QMenu *m_viewMenu = nullptr;
    QActionGroup *m_views = nullptr;
    QActionGroup *m_intervals = nullptr;
    QList<QPair<QObject *, int>> m_texts; // what LocalizeForm captions, by text number
    std::unique_ptr<TvoEventSettings> m_settings;
    QHash<QDate, CalendarLogic::TFeast> m_feasts;
    bool m_feastsRead = false;
};
