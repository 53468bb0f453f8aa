// Client data tables against a real data service: fetch, edit, apply, refetch, cancel,
// master/detail, clear-rows, failed applies and values the server set.
#include "DataServiceFixture.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDACDSDataTable.h"
#include "dataaccess/TDARemoteDataAdapter.h"
#include "foundation/QorDateTime.h"

#include <QDateTime>

class ClientDataTable : public DataServiceFixture
{
protected:
    void SetUp() override
    {
        DataServiceFixture::SetUp();
        if (IsSkipped())
            return;
        db.exec(QStringLiteral(
            "INSERT INTO dbo.tblParents (PK_ParentID, ParentName, SortIndex) VALUES ('{P1}', 'Anna', 1), ('{P2}', 'Ben', 2);"
            "INSERT INTO dbo.tblChildren (PK_ChildID, F_ParentID, ChildName) VALUES "
            "('{C1}', '{P1}', 'a1'), ('{C2}', '{P1}', 'a2'), ('{C3}', '{P2}', 'b1')"));
        adapter = std::make_unique<TDALocalDataAdapter>(*service);
        parents = std::make_unique<TDACDSDataTable>(QStringLiteral("Parents"), adapter.get());
        children = std::make_unique<TDACDSDataTable>(QStringLiteral("Children"), adapter.get());
    }

    QString serverName(const QString &id)
    {
        return db.scalar(QStringLiteral("SELECT ParentName FROM dbo.tblParents WHERE PK_ParentID = '%1'").arg(id));
    }

    std::unique_ptr<TDALocalDataAdapter> adapter;
    std::unique_ptr<TDACDSDataTable> parents;
    std::unique_ptr<TDACDSDataTable> children;
};

TEST_F(ClientDataTable, FetchesRowsAndReadsFieldsWithoutRegardToCase)
{
    parents->Open();
    ASSERT_EQ(parents->GetRecordCount(), 2);
    EXPECT_EQ(parents->AsString(QStringLiteral("parentname")), QStringLiteral("Anna"));
    EXPECT_EQ(parents->GetFields()[1].Name, QStringLiteral("ParentName"));
    parents->Next();
    EXPECT_EQ(parents->AsString(QStringLiteral("PK_PARENTID")), QStringLiteral("{P2}"));
    parents->Next();
    EXPECT_TRUE(parents->Eof());
    EXPECT_THROW(parents->Value(QStringLiteral("NoSuchField")), EDAException);
}

TEST_F(ClientDataTable, EditedRowReachesTheServerOnApply)
{
    parents->Open();
    parents->Edit();
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("Anne"));
    parents->Post();
    EXPECT_EQ(parents->PendingChangeCount(), 1);
    EXPECT_EQ(serverName(QStringLiteral("{P1}")), QStringLiteral("Anna"));
    parents->ApplyUpdates();
    EXPECT_FALSE(parents->HasChanges());
    EXPECT_EQ(serverName(QStringLiteral("{P1}")), QStringLiteral("Anne"));
}

TEST_F(ClientDataTable, ApplyWithRefetchSeesChangesOfOthers)
{
    parents->Open();
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName, SortIndex) VALUES ('{P3}', 'Cleo', 3)"));
    parents->Locate(QStringLiteral("PK_ParentID"), QStringLiteral("{P2}"));
    parents->Edit();
    parents->SetValue(QStringLiteral("SortIndex"), 5);
    parents->Post();
    parents->ApplyUpdates(true);
    EXPECT_EQ(parents->GetRecordCount(), 3);
    EXPECT_EQ(parents->AsString(QStringLiteral("PK_ParentID")), QStringLiteral("{P2}")); // stays on its row
    EXPECT_EQ(parents->AsInteger(QStringLiteral("SortIndex")), 5);
}

TEST_F(ClientDataTable, RefreshingOntoFewerRowsWithoutItsRowStandsOnTheFirst)
{
    parents->Open();
    parents->Last();
    db.exec(QStringLiteral("DELETE FROM dbo.tblChildren WHERE F_ParentID = '{P2}'; DELETE FROM dbo.tblParents WHERE PK_ParentID = '{P2}'"));
    parents->Refresh();
    ASSERT_EQ(parents->GetRecordCount(), 1);
    EXPECT_EQ(parents->AsString(QStringLiteral("PK_ParentID")), QStringLiteral("{P1}"));
    db.exec(QStringLiteral("DELETE FROM dbo.tblChildren; DELETE FROM dbo.tblParents"));
    parents->Refresh();
    EXPECT_EQ(parents->GetRecordCount(), 0);
    EXPECT_TRUE(parents->Eof());
}

TEST_F(ClientDataTable, RefreshingOntoFewerRowsFindsItsRowAgain)
{
    parents->Open();
    parents->Locate(QStringLiteral("PK_ParentID"), QStringLiteral("{P2}"));
    db.exec(QStringLiteral("DELETE FROM dbo.tblChildren; DELETE FROM dbo.tblParents WHERE PK_ParentID = '{P1}'"));
    parents->Refresh();
    ASSERT_EQ(parents->GetRecordCount(), 1);
    EXPECT_EQ(parents->AsString(QStringLiteral("PK_ParentID")), QStringLiteral("{P2}"));
    db.exec(QStringLiteral("DELETE FROM dbo.tblParents"));
    parents->Refresh();
    EXPECT_EQ(parents->GetRecordCount(), 0);
    EXPECT_TRUE(parents->Eof());
}

TEST_F(ClientDataTable, CancelUpdatesRestoresEveryRow)
{
    parents->Open();
    parents->Edit();
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("changed"));
    parents->Post();
    parents->Last();
    parents->Delete();
    parents->Insert();
    parents->SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{NEW}"));
    parents->Post();
    EXPECT_EQ(parents->PendingChangeCount(), 3);
    parents->CancelUpdates();
    EXPECT_FALSE(parents->HasChanges());
    ASSERT_EQ(parents->GetRecordCount(), 2);
    parents->First();
    EXPECT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Anna"));
    EXPECT_FALSE(parents->Locate(QStringLiteral("PK_ParentID"), QStringLiteral("{NEW}")));
}

TEST_F(ClientDataTable, CancellingAnAppendedRowLeavesTheCursorOnAFetchedRow)
{
    parents->Open();
    parents->Insert();
    parents->SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{NEW}"));
    parents->Post();
    parents->Last();
    parents->CancelUpdates();
    ASSERT_EQ(parents->GetRecordCount(), 2);
    EXPECT_EQ(parents->AsString(QStringLiteral("PK_ParentID")), QStringLiteral("{P1}"));
    parents->Last();
    parents->Edit();
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("Bea"));
    parents->Post();
    parents->CancelUpdates();
    EXPECT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Ben")); // stays on its row
}

TEST_F(ClientDataTable, CancelDropsTheEditBuffer)
{
    parents->Open();
    parents->Edit();
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("x"));
    parents->Cancel();
    EXPECT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Anna"));
    EXPECT_FALSE(parents->HasChanges());
}

TEST_F(ClientDataTable, DetailShowsTheRowsOfTheCurrentMasterRow)
{
    children->SetMasterSource(parents.get(), {QStringLiteral("PK_ParentID")}, {QStringLiteral("F_ParentID")});
    parents->Open();
    children->Open();
    EXPECT_EQ(children->GetRecordCount(), 2);
    parents->Next();
    EXPECT_EQ(children->GetRecordCount(), 1);
    EXPECT_EQ(children->AsString(QStringLiteral("ChildName")), QStringLiteral("b1"));
    children->Insert();
    EXPECT_EQ(children->AsString(QStringLiteral("F_ParentID")), QStringLiteral("{P2}"));
}

TEST_F(ClientDataTable, DetailFetchedByParameterFollowsTheMaster)
{
    children->SetMasterSource(parents.get(), {QStringLiteral("PK_ParentID")}, {QStringLiteral("F_ParentID")}, {QStringLiteral("ParentID")});
    parents->Open();
    children->Open();
    EXPECT_EQ(children->GetRecordCount(), 2);
    parents->Locate(QStringLiteral("ParentName"), QStringLiteral("BEN"));
    ASSERT_EQ(children->GetRecordCount(), 1);
    EXPECT_EQ(children->AsString(QStringLiteral("PK_ChildID")), QStringLiteral("{C3}"));
}

TEST_F(ClientDataTable, ClearRowsReachesTheServerAsDeletions)
{
    children->Open();
    children->ClearRows();
    EXPECT_EQ(children->GetRecordCount(), 0);
    EXPECT_EQ(children->PendingChangeCount(), 3);
    EXPECT_EQ(rows(QStringLiteral("tblChildren")), 3);
    children->ApplyUpdates();
    EXPECT_EQ(rows(QStringLiteral("tblChildren")), 0);
}

TEST_F(ClientDataTable, FailedApplyKeepsEveryPendingChangeAndLeavesTheServerUnchanged)
{
    parents->Open();
    parents->Edit();
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("Anne"));
    parents->Post();
    parents->Insert();
    parents->SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{P2}")); // a key that exists
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("dup"));
    parents->Post();
    try {
        parents->ApplyUpdates();
        FAIL() << "no exception";
    } catch (const EDAException &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("already exists"))) << e.what();
    }
    EXPECT_EQ(parents->PendingChangeCount(), 2);
    EXPECT_EQ(serverName(QStringLiteral("{P1}")), QStringLiteral("Anna"));
    EXPECT_EQ(rows(QStringLiteral("tblParents")), 2);
    // Mended locally, the same pending changes go through.
    parents->Locate(QStringLiteral("ParentName"), QStringLiteral("dup"));
    parents->Edit();
    parents->SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{P9}"));
    parents->Post();
    parents->ApplyUpdates();
    EXPECT_EQ(serverName(QStringLiteral("{P1}")), QStringLiteral("Anne"));
    EXPECT_EQ(serverName(QStringLiteral("{P9}")), QStringLiteral("dup"));
}

TEST_F(ClientDataTable, ParentAndChildApplyInOrderInOneCall)
{
    parents->Open();
    children->Open();
    children->Insert();
    children->SetValue(QStringLiteral("PK_ChildID"), QStringLiteral("{CN}"));
    children->SetValue(QStringLiteral("F_ParentID"), QStringLiteral("{PN}"));
    children->Post();
    parents->Insert();
    parents->SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{PN}"));
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("new"));
    parents->Post();
    TDACDSDataTable::ApplyUpdates({parents.get(), children.get()});
    EXPECT_EQ(rows(QStringLiteral("tblChildren"), QStringLiteral("F_ParentID = '{PN}'")), 1);
    EXPECT_FALSE(parents->HasChanges());
    EXPECT_FALSE(children->HasChanges());
}

TEST_F(ClientDataTable, ChildBeforeParentFailsWholeAndKeepsBoth)
{
    parents->Open();
    children->Open();
    parents->Insert();
    parents->SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{PN}"));
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("new"));
    parents->Post();
    children->Insert();
    children->SetValue(QStringLiteral("PK_ChildID"), QStringLiteral("{CN}"));
    children->SetValue(QStringLiteral("F_ParentID"), QStringLiteral("{PN}"));
    children->Post();
    EXPECT_THROW(TDACDSDataTable::ApplyUpdates({children.get(), parents.get()}), EDAException);
    EXPECT_TRUE(parents->HasChanges());
    EXPECT_TRUE(children->HasChanges());
    EXPECT_EQ(rows(QStringLiteral("tblParents"), QStringLiteral("PK_ParentID = '{PN}'")), 0);
}

TEST_F(ClientDataTable, ValuesTheServerSetComeBackIntoTheRow)
{
    service->BusinessProcessor(QStringLiteral("Parents")).OnBeforeProcessDelta = [](TDABusinessProcessor &p, TDADeltaChange &c) {
        p.SetNewValue(c, QStringLiteral("CreatedDateTime"), WallClock(QDate(2020, 1, 2), QTime(3, 4, 5)));
    };
    parents->Open();
    parents->Insert();
    parents->SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{PN}"));
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("new"));
    parents->Post();
    EXPECT_TRUE(parents->IsNull(QStringLiteral("SortIndex")));
    parents->ApplyUpdates();
    ASSERT_TRUE(parents->Locate(QStringLiteral("PK_ParentID"), QStringLiteral("{PN}")));
    EXPECT_EQ(parents->AsInteger(QStringLiteral("SortIndex")), 100); // the column's default
    EXPECT_EQ(parents->Value(QStringLiteral("CreatedDateTime")).toDateTime(), WallClock(QDate(2020, 1, 2), QTime(3, 4, 5)));
    EXPECT_FALSE(parents->HasChanges());
}

TEST_F(ClientDataTable, StampingHooksRunAfterInsertAndEdit)
{
    int edits = 0;
    parents->OnAfterInsert = [](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_ParentID"), QStringLiteral("{STAMPED}"));
        t.SetValue(QStringLiteral("ParentName"), QStringLiteral("stamped"));
    };
    parents->OnAfterEdit = [&](TDACDSDataTable &) { ++edits; };
    parents->Open();
    parents->Insert();
    parents->Post();
    parents->Edit();
    parents->Post();
    parents->ApplyUpdates();
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(serverName(QStringLiteral("{STAMPED}")), QStringLiteral("stamped"));
}

TEST_F(ClientDataTable, SortFilterAndLocateWorkOnTheLocalRows)
{
    parents->Open();
    parents->Sort(QStringLiteral("ParentName"), false);
    EXPECT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Anna")); // stays on its row
    parents->First();
    EXPECT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Ben"));
    parents->SetFilter([](const TDACDSDataTable::TDARecord &r) { return r.Value(QStringLiteral("SortIndex")).toInt() < 2; });
    EXPECT_EQ(parents->GetRecordCount(), 1);
    EXPECT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Anna"));
    EXPECT_FALSE(parents->Locate(QStringLiteral("ParentName"), QStringLiteral("Ben")));
    parents->ClearFilter();
    EXPECT_TRUE(parents->Locate(QStringLiteral("parentname"), QStringLiteral("ben")));
}

// A post places its one row; the order and the current row are those a sort of every row gives.
TEST_F(ClientDataTable, APostedRowStandsWhereSortingEveryRowPutsIt)
{
    parents->Open();
    const struct
    {
        const char *Key; // empty: the current row is edited
        const char *Name;
        int SortIndex;
    } posts[] = {{"{N1}", "Cara", 1}, {"{N2}", "Ben", 1}, {"", "Abe", 1}, {"{N3}", "Zed", 5}, {"{N4}", "Ben", 1}, {"", "Dan", 1},
                 {"", "Eve", 9}, {"{N5}", "Amy", 0}};
    const auto shown = [&] {
        QStringList names;
        for (int i = 0; i < parents->GetRecordCount(); ++i)
            names << parents->ValueAt(i, parents->FieldIndex(QStringLiteral("ParentName"))).toString() + QLatin1Char('/') +
                         parents->ValueAt(i, parents->FieldIndex(QStringLiteral("PK_ParentID"))).toString();
        return names.join(QLatin1Char(' ')) + QStringLiteral(" at ") + QString::number(parents->GetRecNo());
    };
    for (const bool ascending : {true, false}) {
        parents->Sort(QStringLiteral("ParentName"), ascending);
        parents->SetFilter([](const TDACDSDataTable::TDARecord &r) { return r.Value(QStringLiteral("SortIndex")).toInt() < 5; });
        for (const auto &post : posts) {
            if (*post.Key) {
                parents->Insert();
                parents->SetValue(QStringLiteral("PK_ParentID"), QString::fromLatin1(post.Key) + (ascending ? "a" : "d"));
            } else {
                parents->Edit();
            }
            parents->SetValue(QStringLiteral("ParentName"), QString::fromLatin1(post.Name));
            parents->SetValue(QStringLiteral("SortIndex"), post.SortIndex);
            parents->Post();
            const QString placed = shown();
            parents->Sort(QStringLiteral("ParentName"), ascending);
            // A row the filter hides leaves the cursor on the first row, as the whole rebuild does.
            EXPECT_EQ(placed, shown()) << post.Name << (ascending ? " ascending" : " descending");
        }
        parents->ClearFilter();
    }
}

TEST_F(ClientDataTable, CountingRowsLeavesTheFilterTheCursorAndTheListenersAlone)
{
    children->SetMasterSource(parents.get(), {QStringLiteral("PK_ParentID")}, {QStringLiteral("F_ParentID")});
    parents->Open();
    children->Open();
    parents->SetFilter([](const TDACDSDataTable::TDARecord &r) { return r.Value(QStringLiteral("SortIndex")).toInt() > 1; });
    ASSERT_EQ(parents->GetRecordCount(), 1);
    ASSERT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Ben"));
    int told = 0;
    parents->AddListener([&told](TDATableChange, int) { ++told; });
    children->AddListener([&told](TDATableChange, int) { ++told; });
    const auto every = [](const TDACDSDataTable::TDARecord &) { return true; };
    const auto startingWithA = [](const TDACDSDataTable::TDARecord &r) {
        return r.Value(QStringLiteral("ParentName")).toString().startsWith(QLatin1Char('A'));
    };
    // Whatever the filter, but only the detail rows of the master's row.
    EXPECT_EQ(parents->CountRows(every), 2);
    EXPECT_EQ(parents->CountRows(startingWithA), 1);
    EXPECT_EQ(children->CountRows(every), 1);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(parents->GetRecordCount(), 1);
    EXPECT_EQ(parents->AsString(QStringLiteral("ParentName")), QStringLiteral("Ben"));
    EXPECT_EQ(children->AsString(QStringLiteral("ChildName")), QStringLiteral("b1"));
    // Also while a row is edited, on the values posted.
    parents->Edit();
    parents->SetValue(QStringLiteral("ParentName"), QStringLiteral("Axel"));
    EXPECT_EQ(parents->CountRows(startingWithA), 1);
}

TEST_F(ClientDataTable, DeletingAMasterRowDropsItsDetailRowsFromView)
{
    children->SetMasterSource(parents.get(), {QStringLiteral("PK_ParentID")}, {QStringLiteral("F_ParentID")});
    parents->Open();
    children->Open();
    EXPECT_EQ(children->GetRecordCount(), 2);
    children->ClearRows();
    parents->Delete();
    parents->ApplyUpdates(); // the children's deletions travel with their master's
    EXPECT_EQ(rows(QStringLiteral("tblParents")), 1);
    EXPECT_EQ(rows(QStringLiteral("tblChildren")), 1);
}

TEST_F(ClientDataTable, RequiredFieldsAreCheckedOnPost)
{
    parents->Open();
    parents->Insert();
    EXPECT_THROW(parents->Post(), EDAException);
    EXPECT_EQ(parents->GetState(), TDATableState::dsInsert);
}
