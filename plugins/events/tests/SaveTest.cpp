// Creating, editing and saving liturgies against a real data server: single events and series
// with locked and unlocked members, colours, flags and feast names as the database holds them;
// an edit that removes every function; a save that fails half-way; and the data module's own
// operations (colour of an event, details, the count of a period, un-assigning).
#include "plugins/events/tests/EventsServerSuite.h"
#include "plugins/events/uEvent.h"
#include "plugins/events/uEventEditorRules.h"
#include "plugins/events/uRecurrence.h"
#include "plugins/events/ufAutoScheduleStart.h"
#include "plugins/events/ufEventDlg.h"

#include "dataaccess/TDADataStreamer.h"
#include "testsupport/QtPrinters.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

const QString kLocation = QStringLiteral("{10000000-0000-0000-0000-000000000001}");
const QString kMass = QStringLiteral("{20000000-0000-0000-0000-000000000001}");
const QString kLector = QStringLiteral("{30000000-0000-0000-0000-000000000001}");
const QString kAcolyte = QStringLiteral("{30000000-0000-0000-0000-000000000002}");
const QString kCantor = QStringLiteral("{30000000-0000-0000-0000-000000000003}");
const QString kSundayTeam = QStringLiteral("{40000000-0000-0000-0000-000000000001}");
const QString kAnna = QStringLiteral("{50000000-0000-0000-0000-000000000001}");
const QString kBen = QStringLiteral("{50000000-0000-0000-0000-000000000002}");

QDateTime At(int y, int m, int d, int h, int min) { return QDateTime(QDate(y, m, d), QTime(h, min)); }

TSearchListItem Hit(const QString &id, const QString &name, bool minister)
{
    TSearchListItem item;
    item.Text = id;
    item.Object.Caption = id;
    item.Object.Value = 1;
    item.Object.TypeID = TSearchObject::ContactType;
    item.Object.Text1 = name;
    item.Object.Flag = minister;
    return item;
}

// What a planner does in the editor, scripted: the choices and the edits of the function rows.
class TScriptedEditor : public IEventEditor
{
public:
    std::function<void(TEventEditorRules &, TRecurrence *)> Edit;
    QString TemplateId = kMass;
    QDateTime StartAt;
    QDateTime ShownStart; // the start the editor was last given to show
    int Minutes = 60;
    bool Ok = true;

    explicit TScriptedEditor(TDAEvents &data) : m_rules(data, [](int) { return QString(); }) {}
    void Prepare(bool isNew) override { m_rules.Prepare(isNew); }
    void SetRecurrence(TRecurrence *recurrence) override { m_recurrence = recurrence; }
    void SetEventDateTime(const QDateTime &start) override
    {
        ShownStart = start;
        if (!StartAt.isValid())
            StartAt = start;
    }
    void SetEndDateTime(const QDateTime &) override {}
    void SetDurationMinutes(int) override {}
    void SelectTemplate(const QString &) override {}
    bool Execute() override
    {
        m_rules.Activate();
        if (Edit)
            Edit(m_rules, m_recurrence);
        return Ok;
    }
    std::optional<TvoLiturgyTemplateData> SelectedTemplate() const override
    {
        if (TemplateId.isEmpty())
            return std::nullopt;
        return TvoLiturgyTemplateData{TemplateId, QStringLiteral("Sunday Mass"), QString()};
    }
    QDateTime Start() const override { return StartAt; }
    int DurationMinutes() const override { return Minutes; }

private:
    TEventEditorRules m_rules;
    TRecurrence *m_recurrence = nullptr;
};

// The window of that kind on the screen, once a modal run has shown it.
template <class Window> Window *Shown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<Window *>(w); window && window->isVisible())
            return window;
    return nullptr;
}

// Runs the action on the window of that kind as soon as a modal run shows it (calls to the
// server wait with the event loop running, so a plain zero timer may come too early).
template <class Window> void WhenShown(std::function<void(Window *)> action)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        if (Window *window = Shown<Window>()) {
            timer->stop();
            timer->deleteLater();
            action(window);
        }
    });
    timer->start(10);
}

void Weekly(TRecurrence *r, const QDate &start, const QDate &end, int day)
{
    r->SetStartDate(start);
    r->SetEndDate(end);
    r->SetWeekInterval(1);
    r->SetDayChecked(day, true);
    r->SetConfirmed(true);
    r->Expand(false);
}

class EventsAgainstServer : public EventsServerSuite
{
protected:
    // One module for the suite, as the client keeps one: the calendar of feasts is read once.
    static void SetUpTestSuite()
    {
        // The feasts of the weeks the tests plan in; the shipped calendar's decades only cost time.
        StartSuite([] {
            Sql(QStringLiteral(
                "DELETE FROM tblCalenderData;"
                "INSERT INTO tblLocations (PK_LocationID, LocationName, SortIndex) VALUES ('%1', 'St. Mary', 0);"
                "INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID, LiturgyIndex) "
                "  VALUES ('%2', 'Sunday Mass', '%1', 0);"
                "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, SortIndex) VALUES "
                "  ('%3', 'Lector', 0), ('%4', 'Acolyte', 1), ('%5', 'Cantor', 2);"
                "INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName, SortIndex) VALUES ('%6', 'Sunday team', 0), "
                "  ('{40000000-0000-0000-0000-000000000002}', 'Choir', 1);"
                "INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID, F_MinistryFunctionID, "
                "  MinistryFunctionCount, SortIndex) VALUES ('{60000000-0000-0000-0000-000000000001}', '%6', '%3', 2, 0), "
                "  ('{60000000-0000-0000-0000-000000000002}', '%6', '%4', 1, 1), ('{60000000-0000-0000-0000-000000000003}', '%6', '%5', 0, 2), "
                "  ('{60000000-0000-0000-0000-000000000004}', '{40000000-0000-0000-0000-000000000002}', '%5', 4, 0);"
                "INSERT INTO tblContacts (PK_ContactID, FirstName, LastName) VALUES ('%7', 'Anna', 'Berg'), ('%8', 'Ben', 'Carr');"
                "INSERT INTO tblUnAvailiabillity (PK_UnavailiableID, F_ContactID, UnavailiableDate) "
                "  VALUES ('{70000000-0000-0000-0000-000000000001}', '%8', '2026-03-08 00:00');"
                "INSERT INTO tblCalenderData (ID, Date, FullName) VALUES (90001, '2026-03-08 00:00', 'Third Sunday of Lent'), "
                "  (90002, '2026-03-15 00:00', 'Fourth Sunday of Lent'), (90003, '2026-03-22 00:00', 'Fifth Sunday of Lent'), "
                "  (90004, '2026-03-29 00:00', 'Palm Sunday'), (90005, '2026-04-05 00:00', 'Easter Sunday');")
                    .arg(kLocation, kMass, kLector, kAcolyte, kCantor, kSundayTeam, kAnna, kBen));
        });
    }
    static void TearDownTestSuite() { StopSuite(); }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        Sql(QStringLiteral("DELETE FROM tblEvents; DELETE FROM tblScheduledLiturgies; DELETE FROM tblScheduledMinistryFunctions;"));
        host->Log.clear();
        host->Progress.clear();
    }

    static QString Count(const QString &table) { return Scalar(QStringLiteral("SELECT count(*) FROM ") + table); }
    TDAEvents &Data() { return module->Data(); }

    // A new event as the editor's script makes it; its key.
    QString Create(const QDateTime &start, std::function<void(TEventEditorRules &, TRecurrence *)> edit, int minutes = 60,
                   TScriptedEditor **seen = nullptr)
    {
        TvoEvent event([&]() -> std::unique_ptr<IEventEditor> {
            auto editor = std::make_unique<TScriptedEditor>(Data());
            editor->StartAt = start;
            editor->Minutes = minutes;
            editor->Edit = edit;
            if (seen)
                *seen = editor.get();
            return editor;
        });
        event.DefaultDuration = 60;
        event.StartTime = start;
        event.NewEvent();
        return event.EventID;
    }
    bool Edit(const QString &eventId, std::function<void(TEventEditorRules &, TRecurrence *)> edit, QDateTime start = {})
    {
        TvoEvent event([&]() -> std::unique_ptr<IEventEditor> {
            auto editor = std::make_unique<TScriptedEditor>(Data());
            editor->StartAt = start;
            editor->Edit = edit;
            return editor;
        });
        event.EditEvent(eventId);
        return event.Changed;
    }
    // The editor's grid: the rows of one ministry template, then members picked on some rows.
    static void TeamWithAnnaLockedAndBenUnlocked(TEventEditorRules &rules, TRecurrence *)
    {
        TeamOn(rules, QDate(2026, 3, 1));
    }
    static void TeamOn(TEventEditorRules &rules, const QDate &day)
    {
        rules.AddFunctionsFromTemplate(kSundayTeam, QString()); // Lector, Lector, Acolyte
        TDACDSDataTable &rows = RvEvents()->DataModule()->DAScheduledMinistryFunctions;
        rows.First();
        rules.PickMember({Hit(kAnna, QStringLiteral("Anna Berg"), true)}, day);
        rows.Last();
        rules.PickMember({Hit(kBen, QStringLiteral("Ben Carr"), false)}, day);
        rows.Edit();
        rows.SetValue(QStringLiteral("MemberLocked"), false);
        rows.Post();
    }

};

} // namespace

TEST_F(EventsAgainstServer, ASingleEventIsWrittenWithItsLiturgyAndItsFunctionRows)
{
    const QString id = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked, 90);
    ASSERT_EQ(id.size(), 38);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT PK_EventID || '|' || StartDateTime || '|' || EndDateTime || '|' || EventSubject || '|' || "
                                    "EventLocationID || '|' || EventLocationCaption || '|' || EventLabelColorID || '|' || FlagEvent "
                                    "|| '|' || F_CreatedUserID FROM tblEvents")),
              QStringList({id, QStringLiteral("2026-03-08 10:00:00"), QStringLiteral("2026-03-08 11:30:00"), QStringLiteral("Sunday Mass"),
                           kLocation, QStringLiteral("St. Mary"), EventColor::SomeAssigned, QStringLiteral("1"),
                           ServiceServer::kAdministratorId})
                  .join(QLatin1Char('|')));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_EventID || '|' || F_LiturgyTemplateID || '|' || FeastName FROM tblScheduledLiturgies")),
              id + QLatin1Char('|') + kMass + QStringLiteral("|Third Sunday of Lent"));
    // Every function row hangs under that liturgy; Anna is locked, Ben not, the middle row empty.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(f.F_MinistryFunctionID || ':' || COALESCE(f.F_MinistryMemberID, '-') || ':' || "
                                    "f.MemberLocked || ':' || f.FlagMinister, ',' ORDER BY f.F_MinistryFunctionID, f.MemberLocked DESC, "
                                    "f.F_MinistryMemberID) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l "
                                    "ON f.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID")),
              QStringLiteral("%1:%2:1:1,%1:-:0:0,%3:%4:0:0").arg(kLector, kAnna, kAcolyte, kBen));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("3"));
    EXPECT_EQ(host->Progress.first(), QStringLiteral("show 0"));
    EXPECT_EQ(host->Progress.last(), QStringLiteral("hide"));
}

TEST_F(EventsAgainstServer, ASeriesOfFiveCopiesKeepsOnlyLockedMembersAndTakesItsOwnColourAndFlag)
{
    TScriptedPrompt prompt; // Ben is unavailable on the 8th; the planner assigns him anyway
    prompt.Answer(QMessageBox::Yes);
    Create(At(2026, 3, 8, 10, 0), [](TEventEditorRules &rules, TRecurrence *r) {
        TeamOn(rules, QDate(2026, 3, 8));
        // The middle row gets Anna too, locked: the original is fully assigned.
        TDACDSDataTable &rows = RvEvents()->DataModule()->DAScheduledMinistryFunctions;
        rows.SetRecNo(1);
        rules.PickMember({Hit(kAnna, QStringLiteral("Anna Berg"), false)}, QDate(2026, 3, 8));
        Weekly(r, QDate(2026, 3, 8), QDate(2026, 4, 5), 1);
    });
    ASSERT_EQ(Count(QStringLiteral("tblEvents")), QStringLiteral("5"));
    // The original keeps Ben (unlocked) and is fully assigned; each copy has the two locked
    // rows of Anna and an empty Acolyte: some assigned, and Anna's minister flag.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(to_char(e.StartDateTime, 'MM-DD HH24:MI') || ' ' || e.EventLabelColorID || ' ' || "
                                    "e.FlagEvent || ' ' || l.FeastName, ',' ORDER BY e.StartDateTime) FROM tblEvents e "
                                    "JOIN tblScheduledLiturgies l ON l.F_EventID = e.PK_EventID")),
              QStringList({QStringLiteral("03-08 10:00 %1 1 Third Sunday of Lent").arg(EventColor::AllAssigned),
                           QStringLiteral("03-15 10:00 %1 1 Fourth Sunday of Lent").arg(EventColor::SomeAssigned),
                           QStringLiteral("03-22 10:00 %1 1 Fifth Sunday of Lent").arg(EventColor::SomeAssigned),
                           QStringLiteral("03-29 10:00 %1 1 Palm Sunday").arg(EventColor::SomeAssigned),
                           QStringLiteral("04-05 10:00 %1 1 Easter Sunday").arg(EventColor::SomeAssigned)})
                  .join(QLatin1Char(',')));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("15"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions WHERE F_MinistryMemberID = '%1'").arg(kBen)),
              QStringLiteral("1"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions WHERE F_MinistryMemberID = '%1' AND MemberLocked = 1")
                         .arg(kAnna)),
              QStringLiteral("10"));
    // Every function row belongs to a liturgy of its own event; no series links are written.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions f LEFT JOIN tblScheduledLiturgies l "
                                    "ON f.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID WHERE l.PK_ScheduledLiturgyID IS NULL")),
              QStringLiteral("0"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblEvents WHERE F_EventParentID IS NOT NULL")), QStringLiteral("0"));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::No);
}

TEST_F(EventsAgainstServer, ASaturdayLiturgyFromFourInTheAfternoonTakesSundaysFeast)
{
    const struct
    {
        QDateTime start;
        QString feast;
    } cases[] = {
        {At(2026, 3, 7, 15, 59), QString()},
        {At(2026, 3, 7, 16, 0), QStringLiteral("Third Sunday of Lent")},
        {At(2026, 3, 8, 9, 30), QStringLiteral("Third Sunday of Lent")},
        {At(2026, 3, 9, 18, 0), QString()},
    };
    for (const auto &c : cases) {
        const QString id = Create(c.start, {});
        EXPECT_EQ(Scalar(QStringLiteral("SELECT COALESCE(FeastName, '') FROM tblScheduledLiturgies WHERE F_EventID = '%1'").arg(id)), c.feast)
            << c.start.toString(Qt::ISODate).toStdString();
    }
    // No functions at all counts as fully assigned.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(DISTINCT EventLabelColorID, ',') FROM tblEvents")), EventColor::AllAssigned);
}

TEST_F(EventsAgainstServer, AnEditThatRemovesAllFunctionsLeavesOnlyTheNewRows)
{
    const QString id = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
    ASSERT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("3"));
    const QString liturgy = Scalar(QStringLiteral("SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies"));
    EXPECT_TRUE(Edit(id, [&](TEventEditorRules &rules, TRecurrence *) {
        rules.RemoveAllFunctions();
        rules.AddFunction(kCantor, liturgy);
    }));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(F_MinistryFunctionID || ' ' || F_ScheduledLiturgyID, ',') FROM tblScheduledMinistryFunctions")),
              kCantor + QLatin1Char(' ') + liturgy);
    // With no member left the event is fully assigned again (one empty row: none assigned).
    EXPECT_EQ(Scalar(QStringLiteral("SELECT EventLabelColorID || ' ' || FlagEvent FROM tblEvents")), EventColor::NoneAssigned + QStringLiteral(" 0"));
    EXPECT_FALSE(Scalar(QStringLiteral("SELECT F_ModifiedUserID FROM tblEvents")).isEmpty());
}

TEST_F(EventsAgainstServer, EditingWithARecurrencePlansTheOtherDatesButNotTheEditedEventsOwn)
{
    const QString id = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
    EXPECT_TRUE(Edit(id, [](TEventEditorRules &, TRecurrence *r) { Weekly(r, QDate(2026, 3, 8), QDate(2026, 3, 22), 1); },
                     At(2026, 3, 8, 11, 0)));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(to_char(StartDateTime, 'MM-DD HH24:MI'), ',' ORDER BY StartDateTime) FROM tblEvents")),
              QStringLiteral("03-08 11:00,03-15 11:00,03-22 11:00"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT to_char(StartDateTime, 'MM-DD HH24:MI') FROM tblEvents WHERE PK_EventID = '%1'").arg(id)),
              QStringLiteral("03-08 11:00"));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("9"));
}

// Another planner moved the liturgy while this one had it open in the editor and moved it too.
TEST_F(EventsAgainstServer, TheLaterOfTwoPlannersToMoveALiturgyIsToldAndLosesNothing)
{
    struct TCase
    {
        const char *Name;
        bool Weekly;       // the edit also plans copies on the two Sundays after
        QString Events;    // the starts stored after the save he made after loading the stored row
        QString Functions; // function rows then
    };
    const TCase cases[] = {
        {"single", false, QStringLiteral("03-08 11:00"), QStringLiteral("3")},
        {"recurring", true, QStringLiteral("03-08 11:00,03-15 11:00,03-22 11:00"), QStringLiteral("9")},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        Sql(QStringLiteral("DELETE FROM tblEvents; DELETE FROM tblScheduledLiturgies; DELETE FROM tblScheduledMinistryFunctions;"));
        const QString id = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::No);
        prompt.Answer(QMessageBox::Yes);
        int runs = 0;
        QList<QDateTime> shown;
        TScriptedEditor *editor = nullptr;
        TvoEvent event([&]() -> std::unique_ptr<IEventEditor> {
            auto made = std::make_unique<TScriptedEditor>(Data());
            made->StartAt = At(2026, 3, 8, 11, 0);
            made->Edit = [&](TEventEditorRules &, TRecurrence *r) {
                shown << editor->ShownStart;
                if (++runs == 1) {
                    if (c.Weekly)
                        Weekly(r, QDate(2026, 3, 8), QDate(2026, 3, 22), 1);
                    Sql(QStringLiteral("UPDATE tblEvents SET StartDateTime = '2026-03-08 09:00', EndDateTime = '2026-03-08 10:00'"));
                } else {
                    // Nothing of the refused save was written.
                    EXPECT_EQ(Count(QStringLiteral("tblEvents")), QStringLiteral("1"));
                    EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("3"));
                }
            };
            editor = made.get();
            return made;
        });
        event.EditEvent(id);
        // Saved, refused and kept (No), refused and the stored row loaded (Yes), saved.
        EXPECT_EQ(runs, 3);
        ASSERT_EQ(prompt.Prompts().size(), 2) << host->Log.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("Sunday Mass"))) << prompt.Prompts()[0].Text.toStdString();
        EXPECT_EQ(prompt.Prompts()[0].Caption, QStringLiteral("Changed by another planner"));
        ASSERT_EQ(shown.size(), 3);
        EXPECT_EQ(shown[1], At(2026, 3, 8, 10, 0));
        EXPECT_EQ(shown[2], At(2026, 3, 8, 9, 0)); // the other planner's start
        EXPECT_TRUE(event.Changed);
        EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(to_char(StartDateTime, 'MM-DD HH24:MI'), ',' ORDER BY StartDateTime) FROM tblEvents")),
                  c.Events);
        EXPECT_EQ(Count(QStringLiteral("tblScheduledLiturgies")), QString::number(c.Events.count(QLatin1Char(',')) + 1));
        EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), c.Functions);
        host->Log.clear();
    }
}

TEST_F(EventsAgainstServer, ASaveThatFailsHalfWayWritesNothingAndLeavesNothingPending)
{
    const QString taken = QStringLiteral("{80000000-0000-0000-0000-000000000001}");
    Sql(QStringLiteral("INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID) VALUES ('%1', 'elsewhere')")
            .arg(taken));
    const QString id = Create(At(2026, 3, 8, 10, 0), [&](TEventEditorRules &rules, TRecurrence *) {
        rules.AddFunction(kLector, QString());
        // A key the database has already: the function rows, applied last, fail.
        TDACDSDataTable &rows = RvEvents()->DataModule()->DAScheduledMinistryFunctions;
        rows.Edit();
        rows.SetValue(QStringLiteral("PK_ScheduledMemberID"), taken);
        rows.Post();
    });
    EXPECT_EQ(Count(QStringLiteral("tblEvents")), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledLiturgies")), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("1"));
    EXPECT_FALSE(Data().EventList.HasChanges());
    EXPECT_FALSE(Data().ScheduledLiturgies.HasChanges());
    EXPECT_FALSE(Data().DAScheduledMinistryFunctions.HasChanges());
    ASSERT_FALSE(host->Log.isEmpty());
    EXPECT_TRUE(host->Log.last().startsWith(QStringLiteral("2\tEvents\tplgCalendar:NewEvent\t"))) << host->Log.last().toStdString();
    EXPECT_EQ(host->Progress.last(), QStringLiteral("hide"));

    // The next save sends only its own rows.
    const QString next = Create(At(2026, 3, 15, 10, 0), {});
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(PK_EventID, ',') FROM tblEvents")), next);
    EXPECT_EQ(Count(QStringLiteral("tblScheduledLiturgies")), QStringLiteral("1"));
    (void)id;
}

TEST_F(EventsAgainstServer, TheDataModuleReadsAnEventsOwnRowsForItsColourDetailsAndPeriod)
{
    const QString first = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
    const QString second = Create(At(2026, 3, 15, 10, 0), [](TEventEditorRules &rules, TRecurrence *) { rules.AddFunction(kCantor, QString()); });
    // The editor's table still holds the second event's rows; the first is read on its own.
    TvoEvent event;
    EXPECT_EQ(event.EventColor(first, false), EventColor::SomeAssigned);
    EXPECT_EQ(event.EventColor(second, false), EventColor::NoneAssigned);

    const QString details = Data().GetEventDetails(first);
    EXPECT_TRUE(details.startsWith(QStringLiteral("Ministers:\r")));
    EXPECT_TRUE(details.contains(QStringLiteral("Anna Berg (Lector)\r"))) << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("Ben Carr (Acolyte)\r"))) << details.toStdString();

    // The count is of the views' event list, which the views open.
    Data().tbl_DAEventList1.Close();
    Data().tbl_DAEventList1.Open();
    EXPECT_EQ(Data().LiturgiesInPeriode(QDateTime(QDate(2026, 3, 8), {}), QDateTime(QDate(2026, 3, 1), {})), 1);
    EXPECT_EQ(Data().LiturgiesInPeriode(QDateTime(QDate(2026, 3, 15), {}), QDateTime(QDate(2026, 3, 8), {})), 2);
    EXPECT_EQ(Data().LiturgiesInPeriode(QDateTime(QDate(2026, 3, 14), {}), QDateTime(QDate(2026, 3, 9), {})), 0);
    EXPECT_EQ(Data().LiturgiesInPeriode(QDateTime(QDate(2026, 3, 1), {}), QDateTime(QDate(2026, 3, 8), {})), 0);
    Data().tbl_DAEventList1.Close();
    EXPECT_EQ(Data().LiturgiesInPeriode(QDateTime(QDate(2026, 3, 15), {}), QDateTime(QDate(2026, 3, 8), {})), -1);
}

TEST_F(EventsAgainstServer, UnAssigningKeepsLockedMembersUnlessAllAreRemoved)
{
    const QString id = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
    const QString assigned = QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions WHERE F_MinistryMemberID IS NOT NULL");
    ASSERT_EQ(Scalar(assigned), QStringLiteral("2"));
    EXPECT_TRUE(Data().RemoveNonLockedAssigments({id}));
    EXPECT_EQ(Scalar(assigned), QStringLiteral("1"));
    EXPECT_TRUE(Data().RemoveAllAssigments({id}));
    EXPECT_EQ(Scalar(assigned), QStringLiteral("0"));
}

TEST_F(EventsAgainstServer, AnUnavailableContactIsRefusedOnNoAndFamiliesAreNeverChecked)
{
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    EXPECT_TRUE(Data().ContactIsInUse(Hit(kBen, QStringLiteral("Ben Carr"), false).Object, At(2026, 3, 8, 10, 0)));
    EXPECT_FALSE(Data().ContactIsInUse(Hit(kBen, QStringLiteral("Ben Carr"), false).Object, At(2026, 3, 9, 10, 0)));
    TSearchObject family = Hit(kBen, QString(), false).Object;
    family.TypeID = TSearchObject::FamilyType;
    EXPECT_FALSE(Data().ContactIsInUse(family, At(2026, 3, 8, 10, 0)));
    EXPECT_EQ(prompt.Prompts().size(), 1);
}

TEST_F(EventsAgainstServer, TheStartDialogHandsItsPeriodAndCheckedListsToTheRunner)
{
    Create(At(2026, 3, 8, 10, 0), {});
    Create(At(2026, 3, 31, 18, 0), {});
    Create(At(2026, 4, 1, 10, 0), {});
    Data().tbl_DAEventList1.Close();
    Data().tbl_DAEventList1.Open();
    host->Settings[TfAutoScheduleStart::StartSetting] = QStringLiteral("2026-03-01");
    host->Settings[TfAutoScheduleStart::EndSetting] = QStringLiteral("2026-03-31");
    WhenShown<TfAutoScheduleStart>([](TfAutoScheduleStart *dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->LiturgyCount, 2); // the last day counts whole
        EXPECT_TRUE(dialog->btnOK()->isEnabled());
        EXPECT_EQ(dialog->cxcmbMinistryFunctions()->text(), QStringLiteral("All ministry functions"));
        ASSERT_EQ(dialog->lstchkFunctions()->count(), 3);
        ASSERT_EQ(dialog->lstchkLiturgyTemplates()->count(), 1);
        EXPECT_EQ(dialog->lstchkLiturgyTemplates()->item(0)->text(), QStringLiteral("Sunday Mass (St. Mary)"));
        dialog->lstchkFunctions()->item(2)->setCheckState(Qt::Checked);
        dialog->lstchkFunctions()->item(0)->setCheckState(Qt::Checked);
        EXPECT_EQ(TfAutoScheduleStart::CheckedText(*dialog->lstchkFunctions(), QString()), QStringLiteral("Lector,Cantor"));
        dialog->btnOK()->click();
    });
    ASSERT_TRUE(TfAutoScheduleStart::StartRun()) << "the dialog was not shown";
    ASSERT_EQ(host->Runs.size(), 1);
    const TStandInHost::TRun &run = host->Runs.first();
    EXPECT_EQ(run.From, At(2026, 3, 1, 0, 0));
    EXPECT_EQ(run.To, At(2026, 4, 1, 0, 0));
    EXPECT_EQ(run.FunctionIds, QStringList({kLector, kCantor}));
    EXPECT_TRUE(run.TemplateIds.isEmpty());
    EXPECT_EQ(host->Settings.value(TfAutoScheduleStart::EndSetting), QStringLiteral("2026-03-31"));

    // A period without events keeps OK off; so does an end before the start.
    TfAutoScheduleStart dialog;
    dialog.dtStartDate()->setDate(QDate(2026, 5, 1));
    dialog.dtEndDate()->setDate(QDate(2026, 5, 31));
    EXPECT_EQ(dialog.LiturgyCount, 0);
    EXPECT_FALSE(dialog.btnOK()->isEnabled());
    dialog.dtStartDate()->setDate(QDate(2026, 4, 2));
    dialog.dtEndDate()->setDate(QDate(2026, 3, 1));
    EXPECT_FALSE(dialog.btnOK()->isEnabled());
}

TEST_F(EventsAgainstServer, APeriodThatCannotBeRememberedIsLoggedAndTheRunGoesOn)
{
    Create(At(2026, 3, 8, 10, 0), {});
    Data().tbl_DAEventList1.Close();
    Data().tbl_DAEventList1.Open();
    host->Settings[TfAutoScheduleStart::StartSetting] = QStringLiteral("2026-03-01");
    host->Settings[TfAutoScheduleStart::EndSetting] = QStringLiteral("2026-03-31");
    host->RefusedSetting = TfAutoScheduleStart::EndSetting;
    host->Log.clear();
    WhenShown<TfAutoScheduleStart>([](TfAutoScheduleStart *dialog) {
        ASSERT_TRUE(dialog->btnOK()->isEnabled());
        QTest::mouseClick(dialog->btnOK(), Qt::LeftButton);
        // A dialog that stayed open is closed, so that the check below fails instead of waiting.
        QTimer::singleShot(500, dialog, [dialog] { dialog->reject(); });
    });
    const qsizetype runs = host->Runs.size();
    const bool ran = TfAutoScheduleStart::StartRun();
    host->RefusedSetting.clear();
    ASSERT_TRUE(ran) << host->Log.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(host->Runs.size(), runs + 1);
    EXPECT_EQ(host->Runs.last().To, At(2026, 4, 1, 0, 0));
    ASSERT_EQ(host->Log.size(), 1);
    EXPECT_TRUE(host->Log.first().startsWith(QStringLiteral("2\tEvents\tbtnOKClick\t"))) << host->Log.first().toStdString();
}

TEST_F(EventsAgainstServer, TheEditorPicksAMemberThroughTheHostSearchAfterTheClickHasReturned)
{
    TvoEvent event;
    event.StartTime = At(2026, 3, 8, 10, 0);
    event.DefaultDuration = 45;
    host->SearchAnswer = {Hit(kAnna, QStringLiteral("Anna Berg"), true)};
    WhenShown<TfEventDlg>([](TfEventDlg *editor) {
        EXPECT_EQ(editor->cboDuration()->currentData().toInt(), 45);
        EXPECT_EQ(editor->cboLiturgyTemplates()->currentText(), QStringLiteral("Sunday Mass (St. Mary)"));
        editor->acAdd()->trigger();
        editor->PostLookup(0);
        // Nothing happens before the event loop runs the queued pick.
        EXPECT_TRUE(RvEvents()->DataModule()->DAScheduledMinistryFunctions.IsNull(QStringLiteral("F_MinistryMemberID")));
        QTimer::singleShot(0, editor, [editor] { editor->acOK()->trigger(); });
    });
    event.NewEvent();
    EXPECT_EQ(host->SearchKinds, QList<int>({7}));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_MinistryMemberID || ' ' || MemberLocked || ' ' || FlagMinister FROM tblScheduledMinistryFunctions")),
              kAnna + QStringLiteral(" 1 1"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT to_char(EndDateTime, 'HH24:MI') || ' ' || EventLabelColorID FROM tblEvents")),
              QStringLiteral("10:45 ") + EventColor::AllAssigned);
}

TEST_F(EventsAgainstServer, ClearingAMemberUnlocksTheRowAndSetsItsPositionToZero)
{
    const QString id = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
    EXPECT_TRUE(Edit(id, [](TEventEditorRules &rules, TRecurrence *) {
        TDACDSDataTable &rows = RvEvents()->DataModule()->DAScheduledMinistryFunctions;
        ASSERT_TRUE(rows.Locate(QStringLiteral("F_MinistryMemberID"), kAnna));
        rules.ClearMember();
    }));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions WHERE F_MinistryMemberID IS NULL AND "
                                    "MemberLocked = 0 AND FlagMinister = 0 AND MemberPosition = '0'")),
              QStringLiteral("1"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT EventLabelColorID || ' ' || FlagEvent FROM tblEvents")), EventColor::SomeAssigned + QStringLiteral(" 0"));
}

TEST_F(EventsAgainstServer, TheEditorsGridHintsAMinistersCommentsOnlyOverTheSetFlag)
{
    TvoEvent event;
    event.StartTime = At(2026, 3, 8, 10, 0);
    event.DefaultDuration = 45;
    WhenShown<TfEventDlg>([](TfEventDlg *editor) {
        editor->acAdd()->trigger();
        ASSERT_TRUE(editor->Rules().PickMember({Hit(kAnna, QStringLiteral("Anna Berg"), true)}, QDate(2026, 3, 8)));
        TDACDSDataTable &rows = RvEvents()->DataModule()->DAScheduledMinistryFunctions;
        rows.Edit();
        rows.SetValue(QStringLiteral("Comments"), QStringLiteral("Reads the second lesson"));
        rows.Post();
        auto *model = qobject_cast<TDATableModel *>(editor->grid()->model());
        ASSERT_NE(model, nullptr);
        QWidget *viewport = editor->grid()->viewport();
        const auto moveTo = [&](const QString &field) {
            const QPoint at = editor->grid()->visualRect(model->index(0, model->ColumnOf(field))).center();
            QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
        };
        moveTo(QStringLiteral("FlagMinister"));
        EXPECT_FALSE(editor->FlagHint().Visible());
        moveTo(QStringLiteral("FlagMinister"));
        EXPECT_TRUE(editor->FlagHint().Visible());
        EXPECT_EQ(editor->FlagHint().Text(), QStringLiteral("Reads the second lesson"));
        moveTo(QStringLiteral("MemberCaption"));
        EXPECT_FALSE(editor->FlagHint().Visible());
        // Cleared, the flag is off: no hint over it either.
        editor->Rules().ClearMember();
        moveTo(QStringLiteral("FlagMinister"));
        moveTo(QStringLiteral("FlagMinister"));
        EXPECT_FALSE(editor->FlagHint().Visible());
        QTimer::singleShot(0, editor, [editor] { editor->acOK()->trigger(); });
    });
    event.NewEvent();
}

TEST_F(EventsAgainstServer, FunctionsAddedToAnEventWithoutALiturgyBelongToThatEventAlone)
{
    const QString other = Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
    const QString bare = QStringLiteral("{80000000-0000-0000-0000-000000000001}");
    Sql(QStringLiteral("INSERT INTO tblEvents (PK_EventID, StartDateTime, EndDateTime, EventSubject) "
                       "VALUES ('%1', '2026-03-15 10:00', '2026-03-15 11:00', 'Bare')")
            .arg(bare));
    const QString otherRowsBefore = Scalar(QStringLiteral(
        "SELECT string_agg(PK_ScheduledMemberID || F_MinistryFunctionID || COALESCE(F_MinistryMemberID, '-'), ',' ORDER BY PK_ScheduledMemberID) "
        "FROM tblScheduledMinistryFunctions"));
    TvoEvent event;
    WhenShown<TfEventDlg>([](TfEventDlg *editor) {
        editor->acAdd()->trigger();
        editor->acAdd()->trigger();
        QTimer::singleShot(0, editor, [editor] { editor->acOK()->trigger(); });
    });
    event.EditEvent(bare);
    ASSERT_TRUE(event.Changed) << host->Log.join(QLatin1Char('\n')).toStdString();
    // The other event keeps exactly its three rows under its own liturgy.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(f.PK_ScheduledMemberID || f.F_MinistryFunctionID || COALESCE(f.F_MinistryMemberID, '-'), ',' "
                                    "ORDER BY f.PK_ScheduledMemberID) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l "
                                    "ON f.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID WHERE l.F_EventID = '%1'")
                         .arg(other)),
              otherRowsBefore);
    // The edited event has a liturgy of its own now, with the two new rows.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledLiturgies WHERE F_EventID = '%1'").arg(bare)), QStringLiteral("1"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l "
                                    "ON f.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID WHERE l.F_EventID = '%1'")
                         .arg(bare)),
              QStringLiteral("2"));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("5"));
}

// The rows a table request brings to the client, read off the wire.
int RowsOnTheWire(IDataAbstractService &service, const QString &dataset, const TDAWhere &where)
{
    TableRequestInfoV5 info;
    info.WhereClause = where.ToXml();
    const std::unique_ptr<TROBinaryMemoryStream> data = service.GetData({dataset}, {info});
    const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(data->Bytes());
    return tables.isEmpty() ? -1 : int(tables[0].Rows.size());
}

TEST_F(EventsAgainstServer, AClientTableOpenedWithAConditionReadsOnlyItsRowsOfFiveThousandEvents)
{
    Sql(QStringLiteral("INSERT INTO tblEvents (PK_EventID, StartDateTime, EndDateTime, EventSubject) "
                       "SELECT '{' || lpad(i::text, 8, '0') || '-0000-0000-0000-000000000000}', "
                       "  timestamp '2026-01-01 10:00' + i * interval '1 hour', timestamp '2026-01-01 11:00' + i * interval '1 hour', 'Mass' "
                       "FROM generate_series(1, 5000) i;"
                       "INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID) "
                       "SELECT '{' || lpad(i::text, 8, '0') || '-1111-0000-0000-000000000000}', "
                       "  '{' || lpad(i::text, 8, '0') || '-0000-0000-0000-000000000000}' FROM generate_series(1, 5000) i;"));
    const QString one = QStringLiteral("{00004711-0000-0000-0000-000000000000}");
    const auto service = admin->Service<CoEventsService>();
    EXPECT_EQ(RowsOnTheWire(*service, QStringLiteral("DAScheduledLiturgies"),
                            TDAWhere().AddCondition(QStringLiteral("F_EventID"), TDAWhereOperator::woEqual, one)),
              1);
    EXPECT_EQ(RowsOnTheWire(*service, QStringLiteral("DAEventList"),
                            TDAWhere().AddCondition(QStringLiteral("StartDateTime"), TDAWhereOperator::woLess,
                                                    QDateTime(QDate(2026, 1, 2), QTime(0, 0)))),
              13);
    // The data module's own table, as the editor opens it.
    TDACDSDataTable &liturgies = Data().ScheduledLiturgies;
    liturgies.Close();
    liturgies.SetWhere(TDAWhere().AddCondition(QStringLiteral("F_EventID"), TDAWhereOperator::woEqual, one));
    liturgies.Open();
    EXPECT_EQ(liturgies.GetRecordCount(), 1);
    EXPECT_EQ(liturgies.AsString(QStringLiteral("F_EventID")), one);
    liturgies.Close();
}

TEST_F(EventsAgainstServer, AConditionThatDoesNotReadOrNamesAnUnknownFieldIsRefused)
{
    Create(At(2026, 3, 8, 10, 0), TeamWithAnnaLockedAndBenUnlocked);
    const auto service = admin->Service<CoEventsService>();
    const struct
    {
        QString where;
        QString message;
    } cases[] = {
        {QStringLiteral("PK_EventID = PK_EventID OR 1=1"), QStringLiteral("condition")},
        {QStringLiteral("<Where><Term field=\"F_EventID\""), QStringLiteral("condition")},
        {TDAWhere().AddCondition(QStringLiteral("NoSuchField"), TDAWhereOperator::woEqual, 1).ToXml(), QStringLiteral("NoSuchField")},
    };
    for (const auto &c : cases) {
        TableRequestInfoV5 info;
        info.WhereClause = c.where;
        try {
            service->GetData({QStringLiteral("DAScheduledLiturgies")}, {info});
            ADD_FAILURE() << "accepted: " << c.where.toStdString();
        } catch (const std::exception &e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(c.message, Qt::CaseInsensitive)) << e.what();
        }
    }
    EXPECT_EQ(Count(QStringLiteral("tblEvents")), QStringLiteral("1"));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledLiturgies")), QStringLiteral("1"));
    EXPECT_EQ(Count(QStringLiteral("tblScheduledMinistryFunctions")), QStringLiteral("3"));
}
