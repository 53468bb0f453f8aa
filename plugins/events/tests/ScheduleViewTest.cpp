// The schedule view against a real data server holding a generated parish: assigning a member
// stores it and changes the event's colour, un-assigning needs a selection, deleting an event
// removes it and its schedule without an error, an edit still open in a cell survives leaving
// the view, and a scheduling run fills the view. One server and database for the program.
#include "plugins/events/tests/FakeEventsHost.h"
#include "plugins/events/tests/TimeOnlyEditor.h"
#include "plugins/events/uCalendarView.h"
#include "plugins/events/uEventEditorRules.h"
#include "plugins/events/uEventsCommon.h"
#include "plugins/events/uFunctionGridDelegate.h"
#include "plugins/events/uGroupedRows.h"
#include "plugins/events/uScheduleRules.h"
#include "plugins/events/uScheduleView.h"
#include "plugins/events/ufAutoScheduleStart.h"

#include "server/scheduler/tests/GeneratedParish.h"
#include "remoting/ROHTTPChannel.h"
#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

const QString kEveningMass = QStringLiteral("{70000000-0000-0000-0000-000000000004}");

// The host's runner, as the progress window runs it: the server's scheduling, waited for.
class SchedulingHost : public FakeEventsHost
{
public:
    void RunAutoScheduleWithProgress(const QStringList &templateIds, const QStringList &functionIds, const QDateTime &from,
                                     const QDateTime &to) override
    {
        FakeEventsHost::RunAutoScheduleWithProgress(templateIds, functionIds, from, to);
        const auto lines = [](const QStringList &ids) { return ids.isEmpty() ? QString() : ids.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"); };
        RunSucceeded = CoEventsService::Create(Message, Channel)->RunAutoSchedule(from, to, lines(templateIds), lines(functionIds));
    }
    bool RunSucceeded = false;
};

template <class Window> void WhenShown(std::function<void(Window *)> action)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<Window *>(w); window && window->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(window);
                return;
            }
    });
    timer->start(10);
}

bool WaitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The menu's action of that caption; fails the test when there is none.
void FindAction(const QMenu &menu, const QString &caption, QAction *&found)
{
    found = nullptr;
    for (QAction *action : menu.actions())
        if (action->text() == caption)
            found = action;
    ASSERT_NE(found, nullptr) << caption.toStdString();
}

TSearchListItem Contact(int number)
{
    TSearchListItem item;
    item.Object.Caption = QStringLiteral("{C%1-0000-4000-8000-000000000000}").arg(number, 7, 10, QLatin1Char('0'));
    item.Object.Value = 1;
    item.Object.TypeID = TSearchObject::ContactType;
    item.Object.Text1 = QStringLiteral("Person Number %1").arg(number);
    item.Text = item.Object.Caption;
    return item;
}

class ScheduleView : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new ServiceServer;
        if (!server->db.available())
            return;
        server->Start();
        GenerateParish(server->db, TParishShape{60, 2, false});
        // The template the calendar's new liturgies take.
        server->Sql(QStringLiteral("INSERT INTO tblLocations (PK_LocationID, LocationName, SortIndex) "
                                   "  VALUES ('{10000000-0000-0000-0000-000000000001}', 'St. Mary', 0);"
                                   "INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID, LiturgyIndex) "
                                   "  VALUES ('%1', 'Evening Mass', '{10000000-0000-0000-0000-000000000001}', 0);")
                        .arg(kEveningMass));
        admin = new ServiceClient(server->Administrator());
        host = new SchedulingHost;
        host->Channel = admin->Channel;
        host->Message = admin->Message;
        host->User.UserID = ServiceServer::kAdministratorId;
        module = new EventsModule(*host);
    }
    static void TearDownTestSuite()
    {
        delete module;
        delete host;
        delete admin;
        if (server->server)
            server->Stop();
        delete server;
        module = nullptr;
        host = nullptr;
        admin = nullptr;
        server = nullptr;
    }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        host->Log.clear();
        // Each test starts on an ungrouped grid, as a new session without a kept period.
        host->Settings.remove(TplgSchedule::EventsGridGroup);
        RvEvents()->ViewsLeft = {};
        OpenView();
    }
    // Leaves the view shown (storing its layout) and opens a new one, as the host does on the
    // next visit.
    void OpenView()
    {
        if (view) {
            view->Deactivate(nullptr);
            view->release();
        }
        view = new TplgSchedule;
        view->resize(1000, 700);
        view->show();
        view->Activate(nullptr);
    }
    void TearDown() override
    {
        if (!view)
            return;
        view->Deactivate(nullptr);
        view->release();
        view = nullptr;
    }

    static QString Scalar(const QString &sql) { return server->db.scalar(QStringLiteral("SET search_path=dbo; ") + sql); }
    // The n-th event of the open period, in start order.
    static QString EventInPeriod(int n)
    {
        return Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime >= '%1' ORDER BY StartDateTime, PK_EventID "
                                     "LIMIT 1 OFFSET %2")
                          .arg(GeneratedParishStart().toString(Qt::ISODate))
                          .arg(n));
    }
    TDACDSDataTable &Events() { return module->Data().tbl_DAEventList1; }
    TDACDSDataTable &Functions() { return module->Data().tbl_DAScheduledMinistryFunctions1; }

    // A click on the event's row.
    void SelectEvent(const QString &eventId)
    {
        int row = -1;
        for (int i = 0; i < Events().GetRecordCount() && row < 0; ++i)
            if (Events().ValueAt(i, Events().FieldIndex(QStringLiteral("PK_EventID"))).toString() == eventId)
                row = i;
        ASSERT_GE(row, 0) << eventId.toStdString();
        view->grdView()->selectRow(row);
        ASSERT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
    }
    // The first function row without a member; its key.
    QString SelectOpenFunction()
    {
        for (int i = 0; i < Functions().GetRecordCount(); ++i)
            if (Functions().ValueAt(i, Functions().FieldIndex(QStringLiteral("F_MinistryMemberID"))).toString().isEmpty()) {
                view->cxGrdView()->selectRow(i);
                return Functions().AsString(QStringLiteral("PK_ScheduledMemberID"));
            }
        return {};
    }
    QStringList Failures() const
    {
        QStringList lines;
        for (const QString &line : host->Log)
            if (line.startsWith(QLatin1Char('2')))
                lines << line;
        return lines;
    }

    static inline ServiceServer *server = nullptr;
    static inline ServiceClient *admin = nullptr;
    static inline SchedulingHost *host = nullptr;
    static inline EventsModule *module = nullptr;
    TplgSchedule *view = nullptr;
};

} // namespace

TEST_F(ScheduleView, OpensOnTheEventsInStartOrderWithTheFocusedEventsFunctionsBelow)
{
    ASSERT_EQ(Events().GetRecordCount(), Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt());
    const int start = Events().FieldIndex(QStringLiteral("StartDateTime"));
    for (int i = 1; i < Events().GetRecordCount(); ++i)
        ASSERT_LE(Events().ValueAt(i - 1, start).toDateTime(), Events().ValueAt(i, start).toDateTime());
    // Each generated liturgy has seven function rows.
    EXPECT_EQ(view->FunctionsModel()->rowCount(), 7);
    EXPECT_TRUE(view->acHYEdit->isEnabled());
}

TEST_F(ScheduleView, AssigningAMemberStoresItLockedAndChangesTheEventsColour)
{
    const QString eventId = EventInPeriod(2);
    SelectEvent(eventId);
    const QString rowKey = SelectOpenFunction();
    ASSERT_FALSE(rowKey.isEmpty());
    TScriptedPrompt prompt; // should the person be unavailable that day: assign anyway
    prompt.Answer(QMessageBox::Yes);
    host->SearchHits = {Contact(7)};
    view->acFindResource->trigger();
    ASSERT_TRUE(WaitFor([&] { return !Scalar(QStringLiteral("SELECT F_MinistryMemberID FROM tblScheduledMinistryFunctions WHERE "
                                                            "PK_ScheduledMemberID = '%1'").arg(rowKey)).isEmpty(); }));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_MinistryMemberID || ' ' || F_MinistryMemberTypeID || ' ' || MemberLocked FROM "
                                    "tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'").arg(rowKey)),
              Contact(7).Object.Caption + QLatin1Char(' ') + EmptyGUID + QStringLiteral(" 1"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(eventId)), EventColor::SomeAssigned);
    // The grid shows the event focused again, in the colour of the table's row.
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
    EXPECT_EQ(Events().AsInteger(QStringLiteral("EventLabelColor")),
              Scalar(QStringLiteral("SELECT ColorIntValue FROM tblEventColors WHERE PK_ColorID = '%1'").arg(EventColor::SomeAssigned)).toInt());
    EXPECT_EQ(Functions().AsString(QStringLiteral("PK_ScheduledMemberID")), rowKey);
    EXPECT_EQ(Functions().AsString(QStringLiteral("MemberCaption")), QStringLiteral("Person Number 7"));
    // The grid's focus is on that row too, so the next click lands on it.
    const auto focusedRow = [&] {
        const QModelIndex current = view->cxGrdView()->currentIndex();
        return current.isValid() && current.row() == Functions().GetRecNo()
               && view->cxGrdView()->selectionModel()->isRowSelected(current.row(), {});
    };
    EXPECT_TRUE(focusedRow());
    EXPECT_EQ(host->SearchKinds.last(), 7);

    // Clearing takes the member, the lock and the flag; the colour follows.
    view->acClearMember->trigger();
    ASSERT_TRUE(WaitFor([&] { return Scalar(QStringLiteral("SELECT COALESCE(F_MinistryMemberID, '') FROM tblScheduledMinistryFunctions "
                                                           "WHERE PK_ScheduledMemberID = '%1'").arg(rowKey)).isEmpty(); }));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT MemberLocked || ' ' || FlagMinister FROM tblScheduledMinistryFunctions WHERE "
                                    "PK_ScheduledMemberID = '%1'").arg(rowKey)),
              QStringLiteral("0 0"));
    EXPECT_NE(Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(eventId)), EventColor::SomeAssigned);
    EXPECT_EQ(Functions().AsString(QStringLiteral("PK_ScheduledMemberID")), rowKey);
    EXPECT_TRUE(focusedRow());
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, TheLockBoxChangesTheLockOnceForEveryKindOfMemberButNotOnAnEmptyRowAndTheFlagIsReadOnly)
{
    const QString eventId = EventInPeriod(4);
    const QString liturgy = QStringLiteral("(SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%1')").arg(eventId);
    const QString nth = QStringLiteral("(SELECT PK_ScheduledMemberID FROM tblScheduledMinistryFunctions WHERE F_ScheduledLiturgyID = %1 "
                                       "ORDER BY PK_ScheduledMemberID LIMIT 1 OFFSET %2)");
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = NULL, F_MinistryMemberTypeID = NULL, MemberLocked = 0 "
                               "WHERE F_ScheduledLiturgyID = %1;"
                               "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%2', F_MinistryMemberTypeID = '%3', MemberLocked = 1 "
                               "WHERE PK_ScheduledMemberID = %6;"
                               "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '{F0000001-0000-4000-8000-000000000000}', "
                               "  F_MinistryMemberTypeID = '%4', MemberLocked = 0 WHERE PK_ScheduledMemberID = %7;"
                               "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '{60000001-0000-4000-8000-000000000000}', "
                               "  F_MinistryMemberTypeID = '%5', MemberLocked = 1 WHERE PK_ScheduledMemberID = %8;")
                    .arg(liturgy, Contact(5).Object.Caption, TSearchObject::ContactType, TSearchObject::FamilyType, TSearchObject::GroupType,
                         nth.arg(liturgy).arg(0), nth.arg(liturgy).arg(1), nth.arg(liturgy).arg(2)));
    view->acHYRefresh->trigger();
    SelectEvent(eventId);
    TDATableModel *model = view->FunctionsModel();
    QTableView *grid = view->cxGrdView();
    const int lock = model->ColumnOf(QStringLiteral("MemberLocked"));
    const int typeField = Functions().FieldIndex(QStringLiteral("F_MinistryMemberTypeID"));
    const auto rowOf = [&](const QString &type) {
        for (int i = 0; i < Functions().GetRecordCount(); ++i)
            if (Functions().ValueAt(i, typeField).toString() == type)
                return i;
        return -1;
    };
    const auto locked = [&](const QString &type) { return model->index(rowOf(type), lock).data(Qt::CheckStateRole).toInt() == Qt::Checked; };
    // A click where the box is drawn, as the user makes it.
    const auto click = [&](int row) {
        const QModelIndex box = model->index(row, lock);
        QStyleOptionViewItem option;
        option.rect = grid->visualRect(box);
        option.widget = grid;
        static_cast<TFunctionGridDelegate *>(grid->itemDelegate())->initStyleOption(&option, box);
        const QRect indicator = grid->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, grid);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, indicator.center());
    };
    const auto space = [&](int row) {
        grid->setFocus();
        grid->setCurrentIndex(model->index(row, lock));
        QTest::keyClick(grid, Qt::Key_Space);
    };
    const auto menu = [&](int row) {
        grid->setCurrentIndex(model->index(row, lock));
        ASSERT_TRUE(view->acLockMember->isEnabled());
        view->acLockMember->trigger();
    };
    const struct
    {
        QString Type;
        bool Before;
    } cases[] = {{TSearchObject::ContactType, true}, {TSearchObject::FamilyType, false}, {TSearchObject::GroupType, true}};
    for (const auto &c : cases) {
        ASSERT_GE(rowOf(c.Type), 0) << c.Type.toStdString();
        EXPECT_EQ(locked(c.Type), c.Before) << c.Type.toStdString();
        // One change per click, per Space and per menu choice, each way.
        bool expected = c.Before;
        for (const auto &change : {std::function<void(int)>(click), std::function<void(int)>(space), std::function<void(int)>(menu)}) {
            for (int twice = 0; twice < 2; ++twice) {
                change(rowOf(c.Type));
                expected = !expected;
                EXPECT_EQ(locked(c.Type), expected) << c.Type.toStdString();
                grid->setCurrentIndex(model->index(rowOf(c.Type), lock));
                EXPECT_EQ(view->acLockMember->isChecked(), expected) << c.Type.toStdString();
            }
        }
    }
    // A contact's lock cleared by a click is stored.
    click(rowOf(TSearchObject::ContactType));
    ASSERT_FALSE(locked(TSearchObject::ContactType));
    view->acHYRefresh->trigger();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT MemberLocked FROM tblScheduledMinistryFunctions WHERE F_MinistryMemberTypeID = '%1' "
                                    "AND F_ScheduledLiturgyID = %2")
                         .arg(TSearchObject::ContactType, liturgy)),
              QStringLiteral("0"));
    // An empty row has nothing to lock.
    const int empty = rowOf(QString());
    ASSERT_GE(empty, 0);
    click(empty);
    space(empty);
    EXPECT_FALSE(locked(QString()));
    grid->setCurrentIndex(model->index(empty, lock));
    EXPECT_FALSE(view->acLockMember->isEnabled());
    // The minister flag is shown, never ticked in its cell.
    const QModelIndex flag = model->index(0, model->ColumnOf(QStringLiteral("FlagMinister")));
    EXPECT_FALSE(model->flags(flag) & (Qt::ItemIsUserCheckable | Qt::ItemIsEditable));
    EXPECT_FALSE(model->setData(flag, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, ACellEditTheTableRefusesTellsTheUserWhy)
{
    SelectEvent(EventInPeriod(6));
    TScriptedPrompt prompt;
    // A row still being inserted elsewhere: the table takes no other edit.
    Functions().Insert();
    TDATableModel *model = view->FunctionsModel();
    const QModelIndex name = model->index(0, 2);
    EXPECT_FALSE(model->setData(name, name.data(Qt::EditRole)));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Warning);
    EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("[pst error\n"))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("being edited"))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_EQ(Functions().GetState(), TDATableState::dsBrowse);
}

TEST_F(ScheduleView, TheMenusCarryTheirCaptionsAndTheToolButtonsNameTheirActionAndKey)
{
    const QList<QAction *> &menus = view->Menus();
    ASSERT_EQ(menus.size(), 6);
    const struct
    {
        int Text;
        QAction *Holds;
    } expected[] = {{501, view->acHYPreview}, {502, view->acFindResource}, {503, view->acFilter},
                    {505, view->acHYUseLogon}, {509, view->acHYSchedule}, {504, view->acHYAbout}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(menus[i]->text(), RvEvents()->GetText(expected[i].Text));
        ASSERT_NE(menus[i]->menu(), nullptr);
        EXPECT_FALSE(menus[i]->menu()->actions().isEmpty());
        EXPECT_TRUE(menus[i]->menu()->actions().contains(expected[i].Holds)) << i;
    }
    EXPECT_EQ(view->acHYAdd->toolTip(), RvEvents()->GetText(2001) + QStringLiteral(" (Ctrl+N)"));
    EXPECT_EQ(view->acHYComplete->toolTip(), view->acHYComplete->text());
    for (QAction *action : view->GetBarManager().last()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->toolTip().isEmpty()) << action->objectName().toStdString();
        }
    }
}

TEST_F(ScheduleView, TheColumnChooserHidesAColumnAndTheStoredLayoutKeepsIt)
{
    const int location = view->EventsModel()->ColumnOf(QStringLiteral("EventLocationCaption"));
    std::unique_ptr<QMenu> chooser(view->ColumnChooser());
    // Every column but the hidden key, under its caption.
    ASSERT_EQ(chooser->actions().size(), view->EventsModel()->columnCount() - 1);
    QAction *item = nullptr;
    ASSERT_NO_FATAL_FAILURE(FindAction(*chooser, RvEvents()->GetText(2561), item));
    EXPECT_TRUE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(view->grdView()->isColumnHidden(location));
    // A new view opens with the layout stored.
    OpenView();
    EXPECT_TRUE(view->grdView()->isColumnHidden(location));
    std::unique_ptr<QMenu> again(view->ColumnChooser());
    ASSERT_NO_FATAL_FAILURE(FindAction(*again, RvEvents()->GetText(2561), item));
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_FALSE(view->grdView()->isColumnHidden(location));
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, AHeaderDroppedOnTheGroupBoxGroupsTheEventsAndTheLayoutKeepsTheGroups)
{
    const int location = view->EventsModel()->ColumnOf(QStringLiteral("EventLocationCaption"));
    auto *box = view->findChild<TGroupBox *>(QStringLiteral("grpGroupBox"));
    ASSERT_NE(box, nullptr);
    // The header of the location column dropped on the box.
    QMimeData mime;
    mime.setData(QStringLiteral("application/x-kestrova-grid-column"), QByteArray::number(location));
    QDropEvent drop(QPointF(10, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // Straight to the box: outside a real drag the application does not deliver drops.
    static_cast<QObject *>(box)->event(&drop);
    ASSERT_EQ(view->GroupColumn(), location);

    TGroupedRowsModel *rows = view->EventRows();
    // The grid's captions stay those of its columns.
    EXPECT_EQ(rows->headerData(location, Qt::Horizontal).toString(), RvEvents()->GetText(2561));
    const int events = Events().GetRecordCount();
    const int locations = Scalar(QStringLiteral("SELECT count(DISTINCT COALESCE(EventLocationCaption, '')) FROM tblEvents")).toInt();
    ASSERT_EQ(rows->GroupCount(), locations);
    EXPECT_EQ(rows->rowCount(), events + locations);
    int counted = 0;
    QList<int> groupRows;
    for (int row = 0; row < rows->rowCount(); ++row)
        if (rows->IsGroupRow(row)) {
            groupRows << row;
            counted += rows->RowsInGroup(row);
            EXPECT_TRUE(rows->index(row, 0).data().toString().contains(QStringLiteral("(%1)").arg(rows->RowsInGroup(row))));
            EXPECT_FALSE(rows->flags(rows->index(row, 0)) & Qt::ItemIsSelectable);
        }
    EXPECT_EQ(counted, events);
    ASSERT_FALSE(groupRows.isEmpty());
    // Every event row shows its own event, under the group of its location.
    for (int row = 0; row < rows->rowCount(); ++row) {
        if (!rows->IsGroupRow(row)) {
            ASSERT_EQ(rows->index(row, location).data().toString(),
                      Events().ValueAt(rows->SourceRow(row), Events().FieldIndex(QStringLiteral("EventLocationCaption"))).toString());
        }
    }

    // A click on a group row closes it; the selection is only ever of events.
    const int first = rows->RowsInGroup(groupRows[0]);
    view->grdView()->selectAll();
    EXPECT_EQ(view->SelectedEventIDs().size(), events);
    const QPoint at = view->grdView()->visualRect(rows->index(groupRows[0], 1)).center();
    QTest::mouseClick(view->grdView()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_FALSE(rows->IsExpanded(groupRows[0]));
    EXPECT_EQ(rows->rowCount(), events + locations - first);
    rows->SetExpanded(groupRows[0], true);
    EXPECT_EQ(rows->rowCount(), events + locations);

    // Kept with the layout: the next view opens grouped, and ends the grouping on request.
    OpenView();
    EXPECT_EQ(view->GroupColumn(), location);
    EXPECT_EQ(view->EventRows()->GroupCount(), locations);
    // The focused event is shown, its group open.
    EXPECT_EQ(view->EventRows()->SourceRow(view->grdView()->currentIndex().row()), Events().GetRecNo());
    view->GroupBy(-1);
    EXPECT_EQ(view->EventRows()->rowCount(), events);
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, AChangeOutsideTheGroupedColumnKeepsTheSelectionAndTheGroups)
{
    const int location = view->EventsModel()->ColumnOf(QStringLiteral("EventLocationCaption"));
    const int subject = view->EventsModel()->ColumnOf(QStringLiteral("EventSubject"));
    view->GroupBy(location);
    TGroupedRowsModel *rows = view->EventRows();
    const int groups = rows->GroupCount();
    const int shown = rows->rowCount();
    ASSERT_GT(groups, 0);
    view->grdView()->selectAll();
    const QStringList selected = view->SelectedEventIDs();
    ASSERT_GT(selected.size(), 1);
    QObject scope;
    int resets = 0;
    QObject::connect(rows, &QAbstractItemModel::modelReset, &scope, [&resets] { ++resets; });

    Events().Edit();
    Events().SetValue(QStringLiteral("EventSubject"), QStringLiteral("A changed subject"));
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(view->SelectedEventIDs(), selected);
    EXPECT_EQ(rows->GroupCount(), groups);
    EXPECT_EQ(rows->rowCount(), shown);
    EXPECT_EQ(rows->index(rows->RowOf(Events().GetRecNo()), subject).data().toString(), QStringLiteral("A changed subject"));
    // A value of the grouped column no group has yet makes a group of its own, and back.
    Events().SetValue(QStringLiteral("EventLocationCaption"), QStringLiteral("A place of its own"));
    EXPECT_EQ(rows->GroupCount(), groups + 1);
    Events().Cancel();
    EXPECT_EQ(rows->GroupCount(), groups);
    EXPECT_EQ(rows->rowCount(), shown);
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, RowsAreAsHighAsTheFontNeedsAndCutTextEndsInAnEllipsis)
{
    for (QTableView *grid : {static_cast<QTableView *>(view->grdView()), static_cast<QTableView *>(view->cxGrdView())}) {
        EXPECT_EQ(grid->textElideMode(), Qt::ElideRight);
        EXPECT_FALSE(grid->wordWrap());
        QFont large = grid->font();
        large.setPointSize(large.pointSize() * 2);
        grid->setFont(large);
        EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), grid->fontMetrics().height() + 8);
        EXPECT_GE(grid->rowHeight(0), grid->fontMetrics().height());
    }
}

TEST_F(ScheduleView, TheMemberCellsButtonsChooseAndClearAfterTheClickHasReturned)
{
    SelectEvent(EventInPeriod(7));
    const QString rowKey = SelectOpenFunction();
    ASSERT_FALSE(rowKey.isEmpty());
    TDATableModel *model = view->FunctionsModel();
    // On the row of that key, wherever the re-read after a save has put it; button -1 is the
    // cell's text. Twice: a double-click as the window system sends it, after a first click.
    const auto click = [&](int button, bool twice = false) {
        ASSERT_TRUE(Functions().Locate(QStringLiteral("PK_ScheduledMemberID"), rowKey));
        const QRect cell = view->cxGrdView()->visualRect(model->index(Functions().GetRecNo(), model->ColumnOf(QStringLiteral("MemberCaption"))));
        const QPoint at = button < 0 ? QPoint(cell.left() + 8, cell.center().y()) : TFunctionGridDelegate::MemberButtonRect(cell, button).center();
        QWidget *viewport = view->cxGrdView()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
        if (twice) {
            QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
        }
    };
    const auto member = [&] {
        return Scalar(QStringLiteral("SELECT COALESCE(F_MinistryMemberID, '') FROM tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'")
                          .arg(rowKey));
    };
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    host->SearchHits = {Contact(12)};
    const qsizetype searches = host->SearchKinds.size();
    click(0);
    // The search runs once the click has returned, not inside it.
    EXPECT_EQ(host->SearchKinds.size(), searches);
    ASSERT_TRUE(WaitFor([&] { return member() == Contact(12).Object.Caption; }));
    click(1);
    ASSERT_TRUE(WaitFor([&] { return member().isEmpty(); }));
    EXPECT_EQ(Functions().AsString(QStringLiteral("PK_ScheduledMemberID")), rowKey);

    // A double-click on a button does that button's work once and nothing else; elsewhere in
    // the cell it opens the search once.
    const qsizetype before = host->SearchKinds.size();
    click(0, true);
    ASSERT_TRUE(WaitFor([&] { return member() == Contact(12).Object.Caption; }));
    QTest::qWait(100);
    EXPECT_EQ(host->SearchKinds.size(), before + 1);
    click(1, true);
    ASSERT_TRUE(WaitFor([&] { return member().isEmpty(); }));
    QTest::qWait(100);
    EXPECT_EQ(host->SearchKinds.size(), before + 1) << "clearing opened the search";
    click(-1, true);
    ASSERT_TRUE(WaitFor([&] { return member() == Contact(12).Object.Caption; }));
    QTest::qWait(100);
    EXPECT_EQ(host->SearchKinds.size(), before + 2);
    click(1);
    ASSERT_TRUE(WaitFor([&] { return member().isEmpty(); }));
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, UnassigningIsOnlyOfferedForASelectionAndTakesTheUnlockedMembersOfIt)
{
    view->grdView()->clearSelection();
    EXPECT_FALSE(view->acRemoveAssigments->isEnabled());
    EXPECT_FALSE(view->acRemoveNonLocked->isEnabled());
    const QString eventId = EventInPeriod(3);
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2', MemberLocked = 0 "
                          "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3')")
               .arg(Contact(3).Object.Caption, EmptyGUID, eventId));
    SelectEvent(eventId);
    ASSERT_TRUE(view->acRemoveNonLocked->isEnabled());
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->acRemoveNonLocked->trigger();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l ON "
                                    "l.PK_ScheduledLiturgyID = f.F_ScheduledLiturgyID WHERE l.F_EventID = '%1' AND f.F_MinistryMemberID IS NOT NULL")
                         .arg(eventId)),
              QStringLiteral("0"));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::No);
    EXPECT_EQ(view->SelectedEventIDs(), QStringList{eventId});
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, DeletingAnEventRemovesItAndItsScheduleWithoutAnError)
{
    const QString eventId = EventInPeriod(5);
    const int before = Events().GetRecordCount();
    SelectEvent(eventId);
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->acHYDelete->trigger();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblEvents WHERE PK_EventID = '%1'").arg(eventId)), QStringLiteral("0"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledLiturgies WHERE F_EventID = '%1'").arg(eventId)), QStringLiteral("0"));
    EXPECT_EQ(Events().GetRecordCount(), before - 1);
    EXPECT_FALSE(Events().Locate(QStringLiteral("PK_EventID"), eventId));
    EXPECT_FALSE(Events().HasChanges());
    EXPECT_EQ(Failures(), QStringList());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Warning);
}

TEST_F(ScheduleView, AnEditStillOpenInACellIsSavedWhenTheViewIsLeft)
{
    const QString eventId = EventInPeriod(8);
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                          "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3')")
               .arg(Contact(4).Object.Caption, EmptyGUID, eventId));
    view->acHYRefresh->trigger();
    SelectEvent(eventId);
    view->cxGrdView()->selectRow(1);
    const QString rowKey = Functions().AsString(QStringLiteral("PK_ScheduledMemberID"));
    // Position (column 3) is open to editing on a row with a member; typing has begun.
    const QModelIndex position = view->FunctionsModel()->index(1, 3);
    ASSERT_TRUE(view->FunctionsModel()->flags(position) & Qt::ItemIsEditable);
    view->cxGrdView()->setCurrentIndex(position);
    view->cxGrdView()->edit(position);
    auto *editor = qobject_cast<QLineEdit *>(view->cxGrdView()->indexWidget(position));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Second row"));

    view->Deactivate(nullptr);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT MemberPosition FROM tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'").arg(rowKey)),
              QStringLiteral("Second row"));
    EXPECT_EQ(host->Settings.value(TplgSchedule::FocusedEventSetting), eventId);
    // Coming back focuses the same event.
    view->Activate(nullptr);
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, ASchedulingRunFillsTheView)
{
    const QDate start = GeneratedParishStart();
    host->Settings[TfAutoScheduleStart::StartSetting] = start.toString(Qt::ISODate);
    host->Settings[TfAutoScheduleStart::EndSetting] = start.addDays(13).toString(Qt::ISODate);
    const QString eventId = EventInPeriod(1);
    SelectEvent(eventId);
    const int filledBefore = [&] {
        int filled = 0;
        for (int i = 0; i < Functions().GetRecordCount(); ++i)
            filled += Functions().ValueAt(i, Functions().FieldIndex(QStringLiteral("F_MinistryMemberID"))).toString().isEmpty() ? 0 : 1;
        return filled;
    }();
    ASSERT_LT(filledBefore, 7);
    WhenShown<TfAutoScheduleStart>([](TfAutoScheduleStart *dialog) { dialog->btnOK()->click(); });
    view->acHYSchedule->trigger();
    ASSERT_EQ(host->Runs.size(), 1);
    EXPECT_TRUE(host->RunSucceeded);
    // The view refreshes a second after the run and stays on the event.
    ASSERT_TRUE(view->tmrRefresh()->isActive());
    ASSERT_TRUE(WaitFor([&] { return !view->tmrRefresh()->isActive(); }, 5000));
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
    int filled = 0;
    for (int row = 0; row < view->FunctionsModel()->rowCount(); ++row)
        filled += view->FunctionsModel()->data(view->FunctionsModel()->index(row, 5), Qt::DisplayRole).toString().isEmpty() ? 0 : 1;
    EXPECT_GT(filled, filledBefore);
    EXPECT_NE(Events().AsString(QStringLiteral("EventLabelColorID")), QString());
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, TheFilterPanelOpensWithAShortenedPeriodAndTheFilterOffUntilItIsApplied)
{
    const QDate start = GeneratedParishStart();
    view->dtStartDate()->setDate(start);
    view->acFilter->trigger();
    ASSERT_TRUE(view->grpFilter()->isVisible());
    // Four liturgies a week: three months hold far more than 20, so the end comes back in
    // steps of 5 days until no more than 20 are left.
    const QDate end = view->dtEndDate()->date();
    EXPECT_LT(end, start.addMonths(3));
    EXPECT_EQ(start.addMonths(3).daysTo(end) % 5, 0);
    const int total = Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt();
    EXPECT_EQ(view->EventsModel()->rowCount(), total);
    const int passing = Scalar(QStringLiteral("SELECT count(*) FROM tblEvents WHERE StartDateTime >= '%1' AND StartDateTime < '%2'")
                                   .arg(start.toString(Qt::ISODate), end.addDays(1).toString(Qt::ISODate)))
                            .toInt();
    EXPECT_LE(Scalar(QStringLiteral("SELECT count(*) FROM tblEvents WHERE StartDateTime >= '%1' AND StartDateTime <= '%2'")
                         .arg(start.toString(Qt::ISODate), end.toString(Qt::ISODate)))
                  .toInt(),
              20);
    view->acHYSetFilter->trigger();
    EXPECT_EQ(view->EventsModel()->rowCount(), passing); // the whole end day
    // Left and shown again in the session: the panel, its period and the filter come back.
    OpenView();
    EXPECT_TRUE(view->grpFilter()->isVisible());
    EXPECT_EQ(view->dtStartDate()->date(), start);
    EXPECT_EQ(view->dtEndDate()->date(), end);
    EXPECT_EQ(view->EventsModel()->rowCount(), passing);
    view->dtEndDate()->setDate(start);
    EXPECT_FALSE(view->acHYSetFilter->isEnabled());
    // Closing the panel shows every event again.
    view->acFilter->trigger();
    EXPECT_FALSE(view->grpFilter()->isVisible());
    EXPECT_EQ(view->EventsModel()->rowCount(), total);
}

TEST_F(ScheduleView, TheDateFilterStaysOnAcrossTheSchedulingDialogCancelledOrRun)
{
    const QDate start = GeneratedParishStart();
    host->Settings[TfAutoScheduleStart::StartSetting] = start.toString(Qt::ISODate);
    host->Settings[TfAutoScheduleStart::EndSetting] = start.addDays(6).toString(Qt::ISODate);
    view->dtStartDate()->setDate(start);
    view->acFilter->trigger();
    view->dtEndDate()->setDate(start.addDays(10));
    view->acHYSetFilter->trigger();
    const int passing = view->EventsModel()->rowCount();
    ASSERT_GT(passing, 0);
    ASSERT_LT(passing, Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt());
    const QString focused = Events().AsString(QStringLiteral("PK_EventID"));
    for (const bool run : {false, true}) {
        WhenShown<TfAutoScheduleStart>([run](TfAutoScheduleStart *dialog) {
            // The dialog has counted the liturgies of its own period meanwhile.
            if (run)
                dialog->btnOK()->click();
            else
                dialog->reject();
        });
        view->acHYSchedule->trigger();
        EXPECT_EQ(view->EventsModel()->rowCount(), passing) << run;
        ASSERT_TRUE(WaitFor([&] { return !view->tmrRefresh()->isActive(); }, 5000));
        EXPECT_EQ(view->EventsModel()->rowCount(), passing) << run;
        EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), focused) << run;
    }
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, CompleteAddAndRemoveFunctionAndPrintWorkOnTheFocusedOrSelectedEvents)
{
    const QString eventId = EventInPeriod(10);
    SelectEvent(eventId);
    const auto color = [&] { return Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(eventId)); };
    const auto rows = [&] {
        return Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l ON "
                                     "l.PK_ScheduledLiturgyID = f.F_ScheduledLiturgyID WHERE l.F_EventID = '%1'").arg(eventId)).toInt();
    };
    view->acHYComplete->trigger();
    EXPECT_EQ(color(), EventColor::Complete);
    EXPECT_EQ(view->acHYComplete->text(), RvEvents()->GetText(5408));
    // The button's tooltip follows its caption.
    EXPECT_EQ(view->acHYComplete->toolTip(), view->acHYComplete->text());
    view->acHYComplete->trigger();
    EXPECT_NE(color(), EventColor::Complete);

    const int before = rows();
    view->acHYAddFunction->trigger();
    EXPECT_EQ(rows(), before + 1);
    EXPECT_EQ(view->FunctionsModel()->rowCount(), before + 1);
    ASSERT_TRUE(view->acHYRemoveFunction->isEnabled());
    view->acHYRemoveFunction->trigger();
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);

    host->Reports.clear();
    view->acHYPrint->trigger();
    view->grdView()->clearSelection();
    view->acHYPrint->trigger();
    ASSERT_EQ(host->Reports.size(), 2);
    EXPECT_EQ(host->Reports[0].Category, TplgSchedule::ScheduleReports);
    EXPECT_EQ(host->Reports[0].Selection, QStringList{eventId});
    EXPECT_EQ(host->Reports[0].Count, 1);
    EXPECT_FALSE(host->Reports[1].HadSelection);
    EXPECT_EQ(host->Reports[1].Count, Events().GetRecordCount());

    // The preview is on letter paper with half-inch margins and draws its pages.
    QTemporaryDir folder;
    view->RunPreview = [&](QPrinter &printer, const std::function<void(QPrinter *)> &paint) {
        EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::Letter);
        EXPECT_EQ(printer.pageLayout().margins(QPageLayout::Inch), QMarginsF(0.5, 0.5, 0.5, 0.5));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(QStringLiteral("preview.pdf")));
        paint(&printer);
    };
    view->acHYPreview->trigger();
    EXPECT_GT(QFileInfo(folder.filePath(QStringLiteral("preview.pdf"))).size(), 1000);
    // Nothing selected: the whole view, every event of the list (far more than the screen
    // holds, over more than one page) and the focused event's functions.
    EXPECT_EQ(view->LastPrintedReport().EventRows, Events().GetRecordCount());
    EXPECT_EQ(view->LastPrintedReport().FunctionRows, Functions().GetRecordCount());
    EXPECT_GT(view->LastPrintedReport().Pages, 1);
    // Grouped, the count is still of the events: the group rows are headings.
    view->GroupBy(view->EventsModel()->ColumnOf(QStringLiteral("EventLocationCaption")));
    ASSERT_GT(view->EventRows()->GroupCount(), 0);
    view->acHYPreview->trigger();
    EXPECT_EQ(view->LastPrintedReport().EventRows, Events().GetRecordCount());
    view->GroupBy(-1);
    // A member cell on paper shows the member without the grid's buttons, on the screen with them.
    TDATableModel *functions = view->FunctionsModel();
    const QModelIndex member = functions->index(0, functions->ColumnOf(QStringLiteral("MemberCaption")));
    ASSERT_TRUE(member.isValid());
    QStyleOptionViewItem cell;
    cell.rect = QRect(0, 0, 400, 24);
    cell.widget = view->cxGrdView();
    cell.font = view->cxGrdView()->font();
    cell.palette = view->cxGrdView()->palette();
    cell.state = QStyle::State_Enabled;
    QAbstractItemDelegate *cells = view->cxGrdView()->itemDelegateForIndex(member);
    const auto buttonsShow = [&](const QImage &image) {
        const QRect buttons = TFunctionGridDelegate::MemberButtonRect(cell.rect, 0).united(TFunctionGridDelegate::MemberButtonRect(cell.rect, 1));
        for (int y = buttons.top(); y <= buttons.bottom(); ++y)
            for (int x = buttons.left(); x <= buttons.right(); ++x)
                if (image.pixel(x, y) != image.pixel(buttons.topLeft()))
                    return true;
        return false;
    };
    const auto blank = [&] {
        QImage image(cell.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    };
    QImage screen = blank();
    QPicture paper;
    for (QPaintDevice *device : {static_cast<QPaintDevice *>(&screen), static_cast<QPaintDevice *>(&paper)}) {
        QPainter painter(device);
        cells->paint(&painter, cell, member);
    }
    QImage played = blank();
    {
        QPainter painter(&played);
        paper.play(&painter);
    }
    EXPECT_TRUE(buttonsShow(screen));
    EXPECT_FALSE(buttonsShow(played));
    // Two selected under a filter: the event grid alone, with the rows the filter passes.
    const QDate start = GeneratedParishStart();
    view->acFilter->trigger();
    view->dtStartDate()->setDate(start);
    view->dtEndDate()->setDate(start.addDays(20));
    view->acHYSetFilter->trigger();
    view->grdView()->selectRow(0);
    view->grdView()->selectionModel()->select(view->EventsModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(view->SelectedEventIDs().size(), 2);
    view->acHYPreview->trigger();
    EXPECT_EQ(view->LastPrintedReport().EventRows, view->EventsModel()->rowCount());
    EXPECT_LT(view->LastPrintedReport().EventRows, Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt());
    EXPECT_EQ(view->LastPrintedReport().FunctionRows, 0);
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, TheMinisterFlagShowsTheMembersCommentsAsItsHint)
{
    const QString eventId = EventInPeriod(12);
    server->Sql(QStringLiteral("UPDATE tblContacts SET Comments = 'Reads only on Sundays' WHERE PK_ContactID = '%1';"
                               "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2', "
                               "FlagMinister = 1 WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies "
                               "WHERE F_EventID = '%3');")
                    .arg(Contact(9).Object.Caption, EmptyGUID, eventId));
    view->acHYRefresh->trigger();
    SelectEvent(eventId);
    QWidget *viewport = view->cxGrdView()->viewport();
    const QPoint flag = view->cxGrdView()->visualRect(view->FunctionsModel()->index(0, 8)).center();
    const QPoint member = view->cxGrdView()->visualRect(view->FunctionsModel()->index(0, 5)).center();
    const auto move = [&](const QPoint &at) {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    move(flag);
    EXPECT_FALSE(view->FlagHint().Visible()); // taken in first, shown from the next move on
    move(flag + QPoint(1, 0));
    EXPECT_TRUE(view->FlagHint().Visible());
    EXPECT_EQ(view->FlagHint().Text(), QStringLiteral("Reads only on Sundays"));
    move(member);
    EXPECT_FALSE(view->FlagHint().Visible());
}

TEST_F(ScheduleView, AFunctionChangeTheServerRefusesIsLoggedAndDoesNotHoldUpTheNextEvent)
{
    const QString first = EventInPeriod(16);
    const QString second = EventInPeriod(17);
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                               "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3');")
                    .arg(Contact(5).Object.Caption, EmptyGUID, first));
    // The database refuses this one position.
    server->Sql(QStringLiteral("CREATE FUNCTION refuse_position() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                               "IF NEW.MemberPosition = 'refused' THEN RAISE EXCEPTION 'position refused'; END IF; RETURN NEW; END $$;"
                               "CREATE TRIGGER refuse_position BEFORE UPDATE ON tblScheduledMinistryFunctions "
                               "FOR EACH ROW EXECUTE FUNCTION refuse_position();"));
    view->acHYRefresh->trigger();
    SelectEvent(first);
    ASSERT_TRUE(view->FunctionsModel()->setData(view->FunctionsModel()->index(0, 3), QStringLiteral("refused")));
    SelectEvent(second);
    server->Sql(QStringLiteral("DROP TRIGGER refuse_position ON tblScheduledMinistryFunctions; DROP FUNCTION refuse_position();"));
    EXPECT_EQ(view->FunctionsModel()->rowCount(), 7);
    EXPECT_EQ(Functions().AsString(QStringLiteral("F_ScheduledLiturgyID")),
              Scalar(QStringLiteral("SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%1'").arg(second)));
    EXPECT_FALSE(Functions().HasChanges());
    ASSERT_EQ(Failures().size(), 1);
    EXPECT_TRUE(Failures().first().contains(QStringLiteral("grdViewFocusedRecordChanged")));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions WHERE MemberPosition = 'refused'")), QStringLiteral("0"));
    host->Log.clear();
}

// Another planner saved the same field first: a function's position, or the event's colour. The
// change he keeps is not dropped when he leaves the view and comes back.
TEST_F(ScheduleView, TheLaterOfTwoPlannersToChangeOneFieldIsToldAndLosesNothing)
{
    struct TCase
    {
        const char *Name;
        int Event;
        QString Theirs; // the other planner's save; %1 the event, %2 the function row
        QString Field;  // of the table the change is in
        bool InFunctions;
        std::function<void(int functionRow)> Change; // this planner's change and its save
        QString Mine;
        bool Leaves = false;      // he leaves the view after the refusal and comes back
        bool ViaCalendar = false; // having shown the calendar meanwhile
    };
    const auto position = [&](int functionRow) {
        ASSERT_TRUE(view->FunctionsModel()->setData(view->FunctionsModel()->index(functionRow, 3), QStringLiteral("Mine")));
        view->grdView()->selectRow(Events().GetRecNo() + 1); // leaving the event sends its functions
    };
    const QString theirPosition = QStringLiteral("UPDATE tblScheduledMinistryFunctions SET MemberPosition = 'Theirs' WHERE PK_ScheduledMemberID = '%2'");
    const QString theirColour = QStringLiteral("UPDATE tblEvents SET EventLabelColorID = '%3' WHERE PK_EventID = '%1'");
    const TCase cases[] = {
        {"position", 20, theirPosition, QStringLiteral("MemberPosition"), true, position, QStringLiteral("Mine")},
        {"complete", 21, theirColour, QStringLiteral("EventLabelColorID"), false, [&](int) { view->acHYComplete->trigger(); }, EventColor::Complete},
        {"position, the view left and shown again", 22, theirPosition, QStringLiteral("MemberPosition"), true, position,
         QStringLiteral("Mine"), true},
        {"complete, the view left and shown again after the calendar", 23, theirColour, QStringLiteral("EventLabelColorID"), false,
         [&](int) { view->acHYComplete->trigger(); }, EventColor::Complete, true, true},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString eventId = EventInPeriod(c.Event);
        server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                                   "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3');"
                                   "UPDATE tblEvents SET EventLabelColorID = '%4' WHERE PK_EventID = '%3'")
                        .arg(Contact(6).Object.Caption, EmptyGUID, eventId, EventColor::NoneAssigned));
        view->acHYRefresh->trigger();
        SelectEvent(eventId);
        const QString key = Functions().AsString(QStringLiteral("PK_ScheduledMemberID"));
        const auto functionRow = [&] {
            for (int i = 0; i < Functions().GetRecordCount(); ++i)
                if (Functions().ValueAt(i, Functions().FieldIndex(QStringLiteral("PK_ScheduledMemberID"))).toString() == key)
                    return i;
            return -1;
        };
        const QString table = c.InFunctions ? QStringLiteral("tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'").arg(key)
                                            : QStringLiteral("tblEvents WHERE PK_EventID = '%1'").arg(eventId);
        const auto stored = [&] { return Scalar(QStringLiteral("SELECT %1 FROM %2").arg(c.Field, table)); };
        const auto shown = [&] {
            if (c.InFunctions)
                return Functions().ValueAt(functionRow(), Functions().FieldIndex(c.Field)).toString();
            return Events().AsString(c.Field);
        };
        server->Sql(QString(c.Theirs)
                        .replace(QStringLiteral("%1"), eventId)
                        .replace(QStringLiteral("%2"), key)
                        .replace(QStringLiteral("%3"), EventColor::SomeAssigned));
        const QString theirs = stored();
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::No);
        const int onLeaving = c.Leaves ? 1 : 0;
        if (c.Leaves)
            prompt.Answer(QMessageBox::No);
        prompt.Answer(QMessageBox::Yes);

        c.Change(functionRow()); // refused, told; he keeps his change and the grid its event
        ASSERT_EQ(prompt.Prompts().size(), 1) << host->Log.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(prompt.Prompts()[0].Caption, RvEvents()->GetText(9003));
        EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
        EXPECT_EQ(shown(), c.Mine);
        EXPECT_EQ(stored(), theirs);

        if (c.ViaCalendar) {
            view->Deactivate(nullptr);
            auto *calendar = new TplgCalendar;
            calendar->Activate(nullptr);
            calendar->Deactivate(nullptr);
            calendar->release();
            view->Activate(nullptr);
        } else if (c.Leaves) {
            OpenView();
        }
        if (c.Leaves) { // sent again on leaving, refused and told again; kept, it is there on return
            ASSERT_EQ(prompt.Prompts().size(), 2) << host->Log.join(QLatin1Char('\n')).toStdString();
            EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
            EXPECT_EQ(shown(), c.Mine);
            EXPECT_EQ(stored(), theirs);
        }

        c.Change(functionRow()); // refused again; the stored row is loaded
        ASSERT_EQ(prompt.Prompts().size(), 2 + onLeaving);
        SelectEvent(eventId);
        EXPECT_EQ(shown(), theirs);
        EXPECT_FALSE(Functions().HasChanges());
        EXPECT_FALSE(Events().HasChanges());

        c.Change(functionRow());
        EXPECT_EQ(prompt.Prompts().size(), 2 + onLeaving);
        EXPECT_EQ(stored(), c.Mine);
        host->Log.clear();
    }
}

// The server cannot be reached while he saves: he is told, his change stays and the next save
// after the server is back sends it.
TEST_F(ScheduleView, AChangeThatCannotReachTheServerIsToldAndKeptForTheNextSave)
{
    const QString eventId = EventInPeriod(24);
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                               "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3')")
                    .arg(Contact(6).Object.Caption, EmptyGUID, eventId));
    view->acHYRefresh->trigger();
    SelectEvent(eventId);
    Functions().First();
    const QString key = Functions().AsString(QStringLiteral("PK_ScheduledMemberID"));
    const auto stored = [&] {
        return Scalar(QStringLiteral("SELECT MemberPosition FROM tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'").arg(key));
    };
    const QString before = stored();
    const auto channel = std::dynamic_pointer_cast<TROHTTPChannel>(host->Channel);
    ASSERT_TRUE(channel);
    const QString reachable = channel->TargetURL();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:1/bin"));
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Ok);
    ASSERT_TRUE(view->FunctionsModel()->setData(view->FunctionsModel()->index(0, 3), QStringLiteral("Kept")));
    view->grdView()->selectRow(Events().GetRecNo() + 1);
    channel->SetTargetURL(reachable);
    ASSERT_EQ(prompt.Prompts().size(), 1) << host->Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(prompt.Prompts()[0].Caption, RvEvents()->GetText(9005));
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId) << "the grid stays on the event of the change";
    EXPECT_EQ(Functions().AsString(QStringLiteral("MemberPosition")), QStringLiteral("Kept"));
    EXPECT_EQ(stored(), before);

    view->grdView()->selectRow(Events().GetRecNo() + 1);
    EXPECT_EQ(stored(), QStringLiteral("Kept"));
    EXPECT_EQ(prompt.Prompts().size(), 1);
    host->Log.clear();
}

namespace {


// The calendar as the host shows it, on the week of the day.
struct ShownCalendar
{
    explicit ShownCalendar(const QDate &day) : view(new TplgCalendar)
    {
        view->EditorFactory = [] { return std::make_unique<TTimeOnlyEditor>(*RvEvents()->DataModule(), kEveningMass); };
        view->resize(1000, 700);
        // In the host's order: activated, then shown.
        view->Activate(nullptr);
        view->acViewWeek->trigger();
        view->cxSchedule()->SetDate(day);
        view->ShowEvents();
        view->show();
        // Painted once before the planner acts, as on a screen.
        WaitFor([] { return false; }, 100);
    }
    ~ShownCalendar()
    {
        view->Deactivate(nullptr);
        view->release();
    }
    const TCalendarEvent *Event(const QString &id) const
    {
        for (const TCalendarEvent &e : view->cxSchedule()->Events())
            if (e.ID == id)
                return &e;
        return nullptr;
    }
    TplgCalendar *view;
};

} // namespace

TEST_F(ScheduleView, AnEventCreatedInTheCalendarShowsInTheScheduleView)
{
    view->Deactivate(nullptr); // the host shows one view at a time
    const QDate tuesday = GeneratedParishStart().addDays(8);
    const QDateTime start(tuesday, QTime(19, 0));
    {
        ShownCalendar calendar(tuesday);
        calendar.view->cxSchedule()->SelectTime(start, start.addSecs(1800));
        calendar.view->acHYAdd->trigger();
    }
    const QString id = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime = '%1'").arg(start.toString(Qt::ISODate)));
    ASSERT_EQ(id.size(), 38) << Failures().join(QLatin1Char('\n')).toStdString();
    view->Activate(nullptr);
    ASSERT_TRUE(Events().Locate(QStringLiteral("PK_EventID"), id));
    EXPECT_EQ(Events().Value(QStringLiteral("StartDateTime")).toDateTime(), start);
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, AnAssignmentInTheScheduleViewChangesTheEventsColourInTheCalendar)
{
    const QString eventId = EventInPeriod(14);
    SelectEvent(eventId);
    const QDate day = Events().Value(QStringLiteral("StartDateTime")).toDateTime().date();
    view->Deactivate(nullptr); // the host shows one view at a time
    const QString before = [&] {
        ShownCalendar calendar(day);
        const TCalendarEvent *e = calendar.Event(eventId);
        return e ? e->LabelID : QStringLiteral("not shown");
    }();
    ASSERT_NE(before, QStringLiteral("not shown"));
    ASSERT_NE(before, EventColor::SomeAssigned);
    view->Activate(nullptr);
    SelectEvent(eventId);
    ASSERT_FALSE(SelectOpenFunction().isEmpty());
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    host->SearchHits = {Contact(11)};
    view->acFindResource->trigger();
    ASSERT_TRUE(WaitFor([&] { return Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(eventId))
                                     == EventColor::SomeAssigned; }));
    view->Deactivate(nullptr);

    ShownCalendar calendar(day);
    const TCalendarEvent *shown = calendar.Event(eventId);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->LabelID, EventColor::SomeAssigned);
    EXPECT_EQ(shown->Label, TScheduleRules::LabelColor(Scalar(QStringLiteral("SELECT ColorIntValue FROM tblEventColors WHERE PK_ColorID = '%1'")
                                                               .arg(EventColor::SomeAssigned)).toInt()));
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, ThePreviewPrintsTheCaptionsOfBothGridsAsTheGridsShowThem)
{
    SelectEvent(EventInPeriod(2));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("preview.pdf"));
    view->RunPreview = [&](QPrinter &printer, const std::function<void(QPrinter *)> &paint) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        paint(&printer);
    };
    view->acHYPreview->trigger();
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QStringList pages = PdfPages(pdf.readAll());
    ASSERT_GE(pages.size(), 2);
    // The events' captions head every page; the functions' follow the last events.
    QStringList shown;
    for (QTableView *grid : {static_cast<QTableView *>(view->grdView()), static_cast<QTableView *>(view->cxGrdView())}) {
        for (int column = 0; column < grid->model()->columnCount(); ++column) {
            if (grid->isColumnHidden(column))
                continue;
            const QString caption = grid->model()->headerData(column, Qt::Horizontal).toString();
            ASSERT_FALSE(caption.isEmpty()) << column;
            shown << caption;
            if (grid == view->grdView()) {
                EXPECT_TRUE(pages.first().contains(caption)) << caption.toStdString() << "\n" << pages.first().toStdString();
            }
        }
    }
    const QString all = pages.join(QLatin1Char('\n'));
    for (const QString &caption : shown)
        EXPECT_TRUE(all.contains(caption)) << caption.toStdString();
    // A grid that goes on over a page break shows its captions again on the next page.
    const QString lastCaption = view->FunctionsModel()->headerData(view->FunctionsModel()->ColumnOf(QStringLiteral("MemberLocked")),
                                                                   Qt::Horizontal).toString();
    EXPECT_TRUE(pages[1].contains(lastCaption)) << pages[1].toStdString();
}
