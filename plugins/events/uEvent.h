// The short-lived object through which the views create and change a liturgy occurrence: it
// runs the event editor, writes the event, its scheduled liturgy and its function rows into
// the data module's tables, plans the copies of a recurring event and applies everything to
// the server. Also the assignment colour, the flag and the feast name of an event.
#pragma once

#include "plugins/events/uEventEditor.h"
#include "plugins/events/uEventsCommon.h"

#include <QDateTime>

#include <functional>
#include <memory>

class EDAChangedByAnotherUser;
class TDACDSDataTable;
class TDAEvents;
class TRecurrence;

class TvoEvent
{
public:
    using EditorFactory = std::function<std::unique_ptr<IEventEditor>()>;

    // The dialog unless a test gives another editor.
    explicit TvoEvent(EditorFactory editorFactory = {});

    QDateTime StartTime;
    QDateTime EndTime; // handed to the editor; the saved end is always start plus duration
    QString EventID;   // of a new single event
    int DefaultDuration = 0;
    bool Changed = false;

    void NewEvent();
    void EditEvent(const QString &eventId);

    // The assignment colour id of the rows of the event being planned (an empty id) or of the
    // given event's own rows.
    QString EventColor(const QString &eventId, bool scheduleTable);
    // 1 when a row of the editor's functions has the minister flag, else 0.
    int FlagEvent();
    // The feast name of the current scheduled liturgy row: Sunday's for a Sunday or a Saturday
    // from 16:00 on.
    void CheckFeastName(const QDateTime &start);
    QString GetLocationName(const QString &locationId);
    void FillMinistryFunctionCollection(TvoMinistryFunctions &collection);

    // All assigned (also with no rows), some or none.
    static QString ColorOf(int rows, int assigned);
    // The calendar day whose feast a liturgy starting then takes; null on weekdays.
    static QDate FeastDay(const QDateTime &start);

private:
    void PlanEvent(const QString &templateName, const QString &templateId, TvoMinistryFunctions &collection, bool copy,
                   const QDateTime &end, const QDateTime &start);
    // Inserts the event's scheduled liturgy (with a template, of that template and with the
    // feast name of the start) and, with takeFunctions, hangs the editor's function rows under
    // it; its key.
    QString InsertLiturgy(const QString &eventId, const QString &templateId, const QDateTime &start, bool takeFunctions);
    void UpdateEvent(IEventEditor &editor, const TRecurrence &recurrence);
    void SetEventData(const QString &templateId, const QString &templateName, const QDateTime &start, int duration);
    void LoadEditor(IEventEditor &editor, const QString &templateId);
    // Events, liturgies, then the function tables, in one call; a failure takes back every
    // pending change of the four tables and raises. A refusal for another planner's change
    // takes back only what the save planned (events, liturgies, copies' rows), so that the
    // editor's rows stay and the next save plans it all once more, and raises that.
    void ApplyAll();
    // After such a refusal: told, and on Yes the editor shows the event as stored.
    void OfferStoredRow(const EDAChangedByAnotherUser &refusal, IEventEditor &editor);
    // Narrows the editing tables to one event (the none id: empty).
    void OpenFor(const QString &eventId);
    TDAEvents &Data() const;

    EditorFactory m_editorFactory;
    QString m_eventId;
    QString m_liturgyId;
};
