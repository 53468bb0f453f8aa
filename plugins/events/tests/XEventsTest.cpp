// The events plug-in's typed fields, the recurrence dialog's end date and the schedule's lock
// box as a user works them: on a private X server without a window manager, mouse and keys sent
// through the X server (xdotool) while the program's event loop runs, messages shown as real
// message boxes and closed by a click. One data server with a generated parish for the program;
// a picture per step stays in tests/artefacts.
#include "plugins/events/tests/EventsServerSuite.h"
#include "plugins/events/uFunctionGridDelegate.h"
#include "plugins/events/uRecurrence.h"
#include "plugins/events/uScheduleView.h"
#include "plugins/events/ufEventDlg.h"
#include "plugins/events/ufRecurrence.h"

#include "testsupport/GeneratedParish.h"
#include "testsupport/Wait.h"
#include "testsupport/XServer.h"
#include "ui/TDATableModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace std::chrono_literals;

namespace {

constexpr auto kLimit = 5s;

class XEvents : public EventsServerSuite
{
protected:
    static void SetUpTestSuite() { StartSuite([] { GenerateParish(server->db, TParishShape{20, 1, false}); }); }
    static void TearDownTestSuite() { StopSuite(); }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        ASSERT_NE(XServer::Instance(), nullptr);
        // A message nobody waits for is noted and closed, so that it fails the test instead of
        // holding it.
        QObject::connect(&strayWatch, &QTimer::timeout, &strayWatch, [this] {
            QMessageBox *shown = nullptr;
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible())
                    shown = box;
            if (shown && shown == lastBox) {
                strays << shown->text();
                shown->done(QMessageBox::Ok);
            }
            lastBox = shown;
        });
        strayWatch.start(3000);
    }
    void TearDown() override { EXPECT_EQ(strays, QStringList()); }

    const XServer &X() const { return *XServer::Instance(); }

    void Picture(const QString &what) { EXPECT_TRUE(pictures.Take(what)) << what.toStdString(); }

    // A click into the field, everything in it selected and the text typed, then Tab: as a user
    // replaces a value.
    void TypeInto(QWidget *field, const QString &text)
    {
        ASSERT_TRUE(X().Click(field->mapToGlobal(field->rect().center())));
        ASSERT_TRUE(WaitFor([field] { return field->hasFocus() || field->isAncestorOf(QApplication::focusWidget()); }, kLimit))
            << "no focus in " << field->metaObject()->className();
        ASSERT_TRUE(X().Key(QStringLiteral("ctrl+a")));
        ASSERT_TRUE(X().Type(text));
        ASSERT_TRUE(X().Key(QStringLiteral("Tab")));
    }

    // Until the event loop has taken everything the X server holds for it.
    static void Settle() { WaitFor([] { return false; }, 150ms); }

    // The next message box, once shown: its text and a picture are kept and its OK is clicked.
    void AnswerNextMessage(QString &text)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, &text] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible() && box->windowHandle()->isExposed()) {
                    timer->stop();
                    timer->deleteLater();
                    text = box->text();
                    Picture(QStringLiteral("message"));
                    QAbstractButton *ok = box->button(QMessageBox::Ok);
                    EXPECT_NE(ok, nullptr);
                    if (ok)
                        X().Click(ok->mapToGlobal(ok->rect().center()));
                    return;
                }
        });
        timer->start(20);
    }

    static bool MessageShown()
    {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox *>(window) && window->isVisible())
                return true;
        return false;
    }

    TestPictures pictures;
    QTimer strayWatch;
    QMessageBox *lastBox = nullptr;
    QStringList strays;
};

} // namespace

TEST_F(XEvents, TheEditorTakesADateTimeAndDurationTypedThroughTheXServerAndRefusesTextThatNamesNone)
{
    TfEventDlg editor;
    editor.Prepare(true);
    editor.SetDurationMinutes(60);
    editor.SetEventDateTime(QDateTime(QDate(2026, 12, 12), QTime(10, 0)));
    ASSERT_TRUE(XServer::ShowActive(&editor));
    Picture(QStringLiteral("editor"));

    const struct
    {
        QString Date, Time, Duration;
        QDate WantedDate;
        QTime WantedTime;
        int WantedMinutes;
    } steps[] = {
        {QStringLiteral("3/2/2027"), QStringLiteral("0915"), QStringLiteral("2 hours"), QDate(2027, 2, 3), QTime(9, 15), 120},
        {QStringLiteral("2027-03-14"), QStringLiteral("6:05 pm"), QStringLiteral("1.5 h"), QDate(2027, 3, 14), QTime(18, 5), 90},
        // A length the list lacks is taken as typed.
        {QStringLiteral("17 Jan 2027"), QStringLiteral("18:30"), QStringLiteral("75"), QDate(2027, 1, 17), QTime(18, 30), 75},
        {QStringLiteral("17 Jan 2027"), QStringLiteral("18:30"), QStringLiteral("90"), QDate(2027, 1, 17), QTime(18, 30), 90},
    };
    for (const auto &step : steps) {
        TypeInto(editor.dtStart(), step.Date);
        TypeInto(editor.teStartTime(), step.Time);
        TypeInto(editor.cboDuration(), step.Duration);
        Settle();
        Picture(QStringLiteral("typed"));
        EXPECT_EQ(editor.dtStart()->date(), step.WantedDate) << step.Date.toStdString();
        EXPECT_EQ(editor.teStartTime()->time(), step.WantedTime) << step.Time.toStdString();
        EXPECT_EQ(editor.DurationMinutes(), step.WantedMinutes) << step.Duration.toStdString();
        EXPECT_FALSE(MessageShown());
    }

    // Text that names nothing: told in a message box, and the value stays.
    const struct
    {
        QWidget *Field;
        QString Typed;
        int Message;
    } refusals[] = {{editor.dtStart(), QStringLiteral("31 Feb 2027"), 3052},
                    {editor.teStartTime(), QStringLiteral("25:00"), 3053},
                    {editor.cboDuration(), QStringLiteral("7 days"), 3054}};
    for (const auto &refusal : refusals) {
        QString told;
        AnswerNextMessage(told);
        TypeInto(refusal.Field, refusal.Typed);
        EXPECT_TRUE(WaitFor([&] { return !told.isEmpty() && !MessageShown(); }, kLimit)) << refusal.Typed.toStdString();
        EXPECT_EQ(told, module->controller.GetText(refusal.Message)) << refusal.Typed.toStdString();
        EXPECT_EQ(editor.dtStart()->date(), QDate(2027, 1, 17));
        EXPECT_EQ(editor.teStartTime()->time(), QTime(18, 30));
        EXPECT_EQ(editor.DurationMinutes(), 90);
    }
    Picture(QStringLiteral("kept"));
    EXPECT_EQ(editor.Start(), QDateTime(QDate(2027, 1, 17), QTime(18, 30)));
}

TEST_F(XEvents, AnEndDateTypedBeforeTheStartIsRefusedAtAClickOnOkAndTheDialogStaysOpen)
{
    TRecurrence recurrence;
    TfRecurrence dialog;
    dialog.LoadTexts();
    dialog.SetRecurrence(&recurrence);
    dialog.SetEventDate(QDate(2026, 12, 12));
    dialog.LoadRecurrence();
    ASSERT_TRUE(XServer::ShowActive(&dialog));
    QDateEdit *end = dialog.dtEndDate();
    const auto typeEnd = [&](const QDate &date) { TypeInto(end, date.toString(end->displayFormat())); };
    const auto clickOk = [&] { ASSERT_TRUE(X().Click(dialog.btnOK()->mapToGlobal(dialog.btnOK()->rect().center()))); };

    typeEnd(QDate(2026, 1, 12));
    ASSERT_TRUE(WaitFor([&] { return end->date() == QDate(2026, 1, 12); }, kLimit)) << end->date().toString().toStdString();
    EXPECT_TRUE(dialog.opByDate()->isChecked());
    Picture(QStringLiteral("end-before-start"));
    QString told;
    AnswerNextMessage(told);
    clickOk();
    EXPECT_TRUE(WaitFor([&] { return !told.isEmpty() && !MessageShown(); }, kLimit));
    EXPECT_EQ(told, module->controller.GetText(5019));
    Settle();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(recurrence.Confirmed());

    typeEnd(QDate(2027, 1, 12));
    ASSERT_TRUE(WaitFor([&] { return end->date() == QDate(2027, 1, 12); }, kLimit));
    Picture(QStringLiteral("end-after-start"));
    clickOk();
    EXPECT_TRUE(WaitFor([&] { return !dialog.isVisible(); }, kLimit));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(recurrence.Confirmed());
    EXPECT_EQ(recurrence.EndDate(), QDate(2027, 1, 12));
}

TEST_F(XEvents, AClickOnAContactsLockBoxSpaceOnItsCellAndTheShortcutEachChangeTheLockOnceAndItIsStored)
{
    const QString eventId = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime >= '%1' "
                                                  "ORDER BY StartDateTime, PK_EventID LIMIT 1 OFFSET 1")
                                       .arg(GeneratedParishStart().toString(Qt::ISODate)));
    const QString liturgy = QStringLiteral("(SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%1')").arg(eventId);
    const QString rowKey = Scalar(QStringLiteral("SELECT PK_ScheduledMemberID FROM tblScheduledMinistryFunctions WHERE F_ScheduledLiturgyID = %1 "
                                                 "ORDER BY PK_ScheduledMemberID LIMIT 1")
                                      .arg(liturgy));
    ASSERT_FALSE(rowKey.isEmpty());
    const QString contact = Scalar(QStringLiteral("SELECT PK_ContactID FROM tblContacts ORDER BY PK_ContactID LIMIT 1"));
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2', "
                               "MemberLocked = 1 WHERE PK_ScheduledMemberID = '%3'")
                    .arg(contact, TSearchObject::ContactType, rowKey));
    const auto stored = [&] { return Scalar(QStringLiteral("SELECT MemberLocked FROM tblScheduledMinistryFunctions WHERE "
                                                           "PK_ScheduledMemberID = '%1'").arg(rowKey)); };

    auto *view = new TplgSchedule;
    view->resize(1000, 700);
    ASSERT_TRUE(XServer::ShowActive(view));
    view->Activate(nullptr);
    TDACDSDataTable &events = module->Data().tbl_DAEventList1;
    TDACDSDataTable &functions = module->Data().tbl_DAScheduledMinistryFunctions1;
    QTableView *eventGrid = view->grdView();
    QTableView *grid = view->cxGrdView();
    TDATableModel *model = view->FunctionsModel();
    const int lockColumn = model->ColumnOf(QStringLiteral("MemberLocked"));
    const auto rowOfKey = [](TDACDSDataTable &table, const QString &field, const QString &key) {
        for (int i = 0; i < table.GetRecordCount(); ++i)
            if (table.ValueAt(i, table.FieldIndex(field)).toString() == key)
                return i;
        return -1;
    };
    const auto row = [&] { return rowOfKey(functions, QStringLiteral("PK_ScheduledMemberID"), rowKey); };
    const auto locked = [&] { return model->index(row(), lockColumn).data(Qt::CheckStateRole).toInt() == Qt::Checked; };
    // A click on an event's row in the upper grid: leaving an event sends its changes.
    const auto clickEvent = [&](int offset) {
        const int sourceRow = rowOfKey(events, QStringLiteral("PK_EventID"), eventId) + offset;
        const QModelIndex cell = eventGrid->model()->index(sourceRow, 1);
        eventGrid->scrollTo(cell);
        ASSERT_TRUE(X().Click(eventGrid->viewport()->mapToGlobal(eventGrid->visualRect(cell).center())));
        ASSERT_TRUE(WaitFor([&] { return (events.AsString(QStringLiteral("PK_EventID")) == eventId) == (offset == 0) && (row() >= 0) == (offset == 0); }, kLimit));
        Settle();
    };
    // The lock cell of the row: its box, or beside it, where a click only makes the cell current.
    const auto lockCell = [&](bool onBox) {
        const QModelIndex box = model->index(row(), lockColumn);
        QStyleOptionViewItem option;
        option.rect = grid->visualRect(box);
        option.widget = grid;
        static_cast<TFunctionGridDelegate *>(grid->itemDelegate())->initStyleOption(&option, box);
        const QRect indicator = grid->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, grid);
        const QPoint at = onBox ? indicator.center() : QPoint(option.rect.right() - 4, option.rect.center().y());
        return grid->viewport()->mapToGlobal(at);
    };

    clickEvent(0);
    ASSERT_TRUE(locked());
    Picture(QStringLiteral("locked"));
    // The row focused by a click beside the box, then the keys.
    const auto keysOnRow = [&](const QString &keys) {
        const bool before = locked();
        ASSERT_TRUE(X().Click(lockCell(false)));
        ASSERT_TRUE(WaitFor([&] { return grid->hasFocus() && grid->currentIndex() == model->index(row(), lockColumn); }, kLimit));
        Settle();
        EXPECT_EQ(locked(), before) << "a click beside the box";
        ASSERT_TRUE(X().Key(keys));
    };
    const struct
    {
        QString How;
        std::function<void()> Change;
    } changes[] = {{QStringLiteral("click"), [&] { ASSERT_TRUE(X().Click(lockCell(true))); }},
                   {QStringLiteral("space"), [&] { keysOnRow(QStringLiteral("space")); }},
                   {QStringLiteral("shortcut"), [&] { keysOnRow(view->acLockMember->shortcut().toString().toLower()); }}};
    bool expected = true;
    for (const auto &change : changes)
        for (int twice = 0; twice < 2; ++twice) {
            const bool before = expected;
            expected = !expected;
            change.Change();
            EXPECT_TRUE(WaitFor([&] { return locked() != before; }, kLimit)) << change.How.toStdString();
            Settle(); // a second change by one input would show by now
            EXPECT_EQ(locked(), expected) << change.How.toStdString();
            // The cursor stays on the lock cell, so that Space changes the lock again rather
            // than opening the function list beside it.
            EXPECT_EQ(grid->currentIndex(), model->index(row(), lockColumn)) << change.How.toStdString();
            EXPECT_EQ(QApplication::focusWidget(), grid) << change.How.toStdString() << ": no cell editor opened";
            Picture(change.How + (expected ? QStringLiteral("-locked") : QStringLiteral("-unlocked")));
            // Stored once the planner moves on to another liturgy, and shown so on coming back.
            clickEvent(-1);
            EXPECT_EQ(stored(), expected ? QStringLiteral("1") : QStringLiteral("0")) << change.How.toStdString();
            clickEvent(0);
            EXPECT_EQ(locked(), expected) << change.How.toStdString();
        }
    view->Deactivate(nullptr);
    view->release();
}
