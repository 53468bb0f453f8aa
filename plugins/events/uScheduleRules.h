// The schedule view's rules, without a window: the period its filter panel suggests and the
// filters it applies, the times of a new event, the complete mark, the edits of a function row
// (assign and clear a member), which cells of a function row can be edited, and what the
// un-assign, print and preview actions work on.
#pragma once

#include "client/api/HostInterfaces.h"

#include <QColor>
#include <QDateTime>

#include <functional>
#include <optional>

class TDACDSDataTable;

struct TSchedulePeriod
{
    QDate Start;
    QDate End;
};

class TScheduleRules
{
public:
    static constexpr int MaxSuggestedEvents = 20;
    static constexpr int ShrinkDays = 5;

    // count(period) gives the events whose start lies in the period as SuggestedPeriodHolds
    // reads it. An empty start is today, an empty end three months after the start; while more
    // than 20 events fall in, the end moves 5 days earlier, but never to 5 days or less after
    // the start.
    static TSchedulePeriod SuggestPeriod(QDate start, QDate end, const QDate &today,
                                         const std::function<int(const TSchedulePeriod &)> &count);
    // The suggestion counts from the start's midnight to the end's midnight, both included.
    static bool SuggestedPeriodHolds(const TSchedulePeriod &period, const QDateTime &eventStart);
    // The applied filter includes the whole end day.
    static bool FilterHolds(const TSchedulePeriod &period, const QDateTime &eventStart);
    static bool CanApplyFilter(const QDate &start, const QDate &end) { return start.isValid() && end.isValid() && end > start; }

    // A new event starts at the present hour with its minutes cut to :00 or :30 and ends an
    // hour from now.
    static QDateTime NewEventStart(const QDateTime &now);
    static QDateTime NewEventEnd(const QDateTime &now) { return now.addSecs(3600); }

    static bool IsComplete(const QString &colorId);
    // The caption of the complete action: "undo" while the event is complete.
    static int CompleteCaption(const QString &colorId) { return IsComplete(colorId) ? 5408 : 5406; }
    // The colour id after the complete action: complete, or back to what the functions give.
    static QString ToggledComplete(const QString &colorId, const QString &assignmentColor);

    // The first hit becomes the row's member, locked, with the position given (none by default;
    // nullopt keeps the row's); false without a hit or a current row.
    static bool AssignMember(TDACDSDataTable &rows, const TSearchObjectList &hits,
                             const std::optional<QVariant> &position = QVariant());
    // The member goes, and with it the lock, the attendance and the flag; the position becomes
    // the one given.
    static void ClearMember(TDACDSDataTable &rows, const QVariant &position = QVariant());

    // Position, attendance and the lock are edited only on a row with a member, whichever
    // kind of member it is.
    static bool MemberFieldsEditable(const QVariant &memberId);

    // Un-assigning works on the selected events only.
    static bool CanUnassign(int selectedEvents) { return selectedEvents > 0; }
    // A preview of fewer than two selected events shows the whole view, else the event grid.
    static bool PreviewWholeView(int selectedEvents) { return selectedEvents < 2; }
    static QString HelpTopic(bool filterShown);

    // A label colour as the colour table keeps it (0x00BBGGRR).
    static QColor LabelColor(const QVariant &windowsColor);
};
