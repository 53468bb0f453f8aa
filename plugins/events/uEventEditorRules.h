// The event editor's rules, without a window: its duration list, when a change counts, what
// closing asks, the status texts, and the edits of the function rows in the data module's
// editor table (add, remove, fill from a ministry template, pick and clear a member).
#pragma once

#include "plugins/events/uEventsCommon.h"

#include "client/api/HostInterfaces.h"

#include <QDateTime>
#include <QMessageBox>

#include <functional>

class TDAEvents;
class TDACDSDataTable;

class TEventEditorRules
{
public:
    // text(number) gives the module's language text.
    using TextSource = std::function<QString(int number)>;

    TEventEditorRules(TDAEvents &data, TextSource text);

    void Prepare(bool isNew);
    bool IsNew() const { return m_isNew; }
    QString Caption() const;
    QString HelpTopic() const;

    const QList<TvoMinutes> &Durations() const { return m_durations; }
    // The list's entry of so many minutes, or one made for a length the list lacks.
    TvoMinutes Duration(int minutes) const;

    // Changes count from the first activation on.
    void Activate() { m_activated = true; }
    bool Activated() const { return m_activated; }
    bool Modified() const { return m_modified; }
    // A change of the template, the date or the duration (not of the time alone).
    void FieldChanged()
    {
        if (m_activated)
            m_modified = true;
    }
    void SetModified() { m_modified = true; }

    enum class CloseDecision { Close, Save, KeepOpen };
    // Closing without OK after a change asks whether to save (Yes/No/Cancel).
    CloseDecision DecideClose(bool viaOk) const;

    QString FunctionCountText() const;
    QString RecurrenceText(const QDate &start, const QDate &end, int count) const;

    // Function rows. liturgyId is the edited liturgy's (empty in create mode).
    void AddFunction(const QString &functionId, const QString &liturgyId);
    void RemoveCurrent();
    void RemoveAllFunctions();
    // Asks first when rows are there; false when the user said No.
    bool AskReplaceByTemplate() const;
    bool AskRemoveAll() const;
    void AddFunctionsFromTemplate(const QString &ministryTemplateId, const QString &liturgyId);
    // The first hit is assigned and locked unless it is a contact unavailable on that day whom
    // the user does not want; false when nothing changed.
    bool PickMember(const TSearchObjectList &hits, const QDate &day);
    void ClearMember();

private:
    TDACDSDataTable &Rows() const;

    TDAEvents &m_data;
    TextSource m_text;
    QList<TvoMinutes> m_durations;
    bool m_isNew = true;
    bool m_activated = false;
    bool m_modified = false;
};

// The function grid's hint over the minister flag: the row's comments while the mouse is over a
// set flag. A text the mouse has just reached is taken in with the hint hidden and shows from the
// next move over the same text on, so a hint never flickers up while the mouse crosses the grid.
class TMinisterFlagHint
{
public:
    // overSetFlag: the mouse is over a cell of the minister flag whose value is set.
    void Move(bool overSetFlag, const QString &comments);
    void Hide() { m_visible = false; }

    const QString &Text() const { return m_text; }
    // Never for an empty text.
    bool Visible() const { return m_visible && !m_text.isEmpty(); }

private:
    QString m_text;
    bool m_visible = false;
};
