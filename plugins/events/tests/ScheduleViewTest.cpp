// The schedule view's grids against a real data server holding a generated parish: assigning a
// member stores it and changes the event's colour, the lock box, the menus, columns, groups and
// rows, the member cell's buttons, un-assigning needs a selection, deleting an event removes it
// and its schedule without an error, and an edit still open in a cell survives leaving the view.
#include "plugins/events/tests/ScheduleViewFixture.h"

using namespace schedule_view_test;

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
    host->SearchAnswer = {Contact(7)};
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
    host->SearchAnswer = {Contact(12)};
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
