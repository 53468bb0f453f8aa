// The grid model over a client data table: it shows the table's visible rows, follows the
// table's own changes, and writes edits into the table as posted row edits.
#include "ui/TDATableModel.h"

#include "dataaccess/TDACDSDataTable.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDARemoteDataAdapter.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TDAField field(const QString &name, TDADataType type, bool required = false, bool readOnly = false)
{
    TDAField f;
    f.Name = name;
    f.DataType = type;
    f.Required = required;
    f.ReadOnly = readOnly;
    return f;
}

// Serves one fixed dataset and accepts no deltas: these tests never apply.
class FixedAdapter : public TDARemoteDataAdapter
{
public:
    QByteArray GetData(const QStringList &, const QList<TableRequestInfoV5> &) override
    {
        TDATableData data;
        data.Name = QStringLiteral("People");
        data.Fields = {field(QStringLiteral("PK_ID"), TDADataType::datString, true),
                       field(QStringLiteral("Name"), TDADataType::datWideString, true),
                       field(QStringLiteral("Active"), TDADataType::datBoolean),
                       field(QStringLiteral("Modifiedby"), TDADataType::datString, false, true)};
        data.Fields[0].InPrimaryKey = true;
        data.Rows = {{QStringLiteral("{1}"), QStringLiteral("Carla"), true, QStringLiteral("admin")},
                     {QStringLiteral("{2}"), QStringLiteral("Anton"), false, QVariant()},
                     {QStringLiteral("{3}"), QStringLiteral("Bert"), true, QStringLiteral("admin")}};
        return TDADataStreamer::WriteDatasets({data});
    }
    QByteArray UpdateData(const QByteArray &) override { return {}; }
};

class TableModel : public ::testing::Test
{
protected:
    FixedAdapter adapter;
    TDACDSDataTable table{QStringLiteral("People"), &adapter};
};

} // namespace

TEST_F(TableModel, ShowsTheOpenTablesRowsAndFields)
{
    TDATableModel model(&table);
    EXPECT_EQ(model.rowCount(), 0);
    table.Open();
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), QStringLiteral("Anton"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(model.data(model.index(0, 2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    EXPECT_FALSE(model.data(model.index(1, 3)).isValid()); // null shows as nothing
}

TEST_F(TableModel, ChosenColumnsAndCaptionsAreShown)
{
    table.Open();
    TDATableModel model(&table);
    model.SetColumns({QStringLiteral("name"), QStringLiteral("PK_ID")});
    model.SetCaption(QStringLiteral("Name"), QStringLiteral("Full name"));
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Full name"));
    EXPECT_EQ(model.data(model.index(2, 1)).toString(), QStringLiteral("{3}"));
    EXPECT_EQ(model.ColumnOf(QStringLiteral("PK_ID")), 1);
    EXPECT_EQ(model.ColumnOf(QStringLiteral("Active")), -1);
}

TEST_F(TableModel, AnEditInTheModelIsAPostedChangeOfTheTable)
{
    table.Open();
    TDATableModel model(&table);
    ASSERT_TRUE(model.setData(model.index(2, 1), QStringLiteral("Berta")));
    EXPECT_EQ(table.GetState(), TDATableState::dsBrowse);
    EXPECT_EQ(table.GetRecNo(), 2);
    EXPECT_EQ(table.AsString(QStringLiteral("Name")), QStringLiteral("Berta"));
    EXPECT_EQ(table.PendingChangeCount(), 1);
    ASSERT_TRUE(model.setData(model.index(0, 2), Qt::Unchecked, Qt::CheckStateRole));
    table.First();
    EXPECT_FALSE(table.Value(QStringLiteral("Active")).toBool());
}

TEST_F(TableModel, ARefusedEditLeavesTheRowAndTellsWhy)
{
    table.Open();
    TDATableModel model(&table);
    QSignalSpy failed(&model, &TDATableModel::editFailed);
    EXPECT_FALSE(model.setData(model.index(0, 1), QVariant())); // Name is required
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(table.GetState(), TDATableState::dsBrowse);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("Carla"));
    EXPECT_FALSE(table.HasChanges());
}

TEST_F(TableModel, ReadOnlyFieldsAreNotEditable)
{
    table.Open();
    TDATableModel model(&table);
    EXPECT_FALSE(model.flags(model.index(0, 3)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, 2)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.setData(model.index(0, 3), QStringLiteral("someone")));
}

TEST_F(TableModel, AFieldMadeReadOnlyIsNeitherEditedNorTickedInItsCell)
{
    table.Open();
    TDATableModel model(&table);
    model.SetFieldReadOnly(QStringLiteral("ACTIVE"));
    model.SetFieldReadOnly(QStringLiteral("Name"));
    EXPECT_FALSE(model.flags(model.index(0, 2)) & (Qt::ItemIsUserCheckable | Qt::ItemIsEditable));
    EXPECT_FALSE(model.setData(model.index(0, 2), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("Berta")));
    EXPECT_FALSE(table.HasChanges());
    model.SetFieldReadOnly(QStringLiteral("Name"), false);
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
}

TEST_F(TableModel, FollowsSortFilterAndDeleteOfTheTable)
{
    table.Open();
    TDATableModel model(&table);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.sort(1, Qt::AscendingOrder);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("Anton"));
    table.SetFilter([](const TDACDSDataTable::TDARecord &r) { return r.Value(QStringLiteral("Active")).toBool(); });
    EXPECT_EQ(model.rowCount(), 2);
    table.First();
    table.Delete();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("Carla"));
    EXPECT_EQ(resets.count(), 3);
}

TEST_F(TableModel, AnEditBufferShowsInItsRowAndTheCursorIsReported)
{
    table.Open();
    TDATableModel model(&table);
    QSignalSpy moved(&model, &TDATableModel::currentRowChanged);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SetCurrentRow(1);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.first().first().toInt(), 1);
    table.Edit();
    table.SetValue(QStringLiteral("Name"), QStringLiteral("Antonia"));
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), QStringLiteral("Antonia"));
    table.Cancel();
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), QStringLiteral("Anton"));
    EXPECT_EQ(changed.count(), 2);
}

// An import posts thousands of rows in one scope: the views re-read once, and every row stands
// where a sort of every row puts it.
TEST_F(TableModel, RowsPostedInOneScopeResetTheModelOnceAndStandSorted)
{
    table.Open();
    TDATableModel model(&table);
    model.sort(1, Qt::AscendingOrder);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    {
        TDACDSDataTable::ResetScope bulk(table);
        for (const char *name : {"Zora", "Bea", "Aaron", "Mia", "Carl"}) {
            table.Insert();
            table.SetValue(QStringLiteral("PK_ID"), QString::fromLatin1(name));
            table.SetValue(QStringLiteral("Name"), QString::fromLatin1(name));
            table.Post();
        }
        EXPECT_EQ(resets.count(), 0);
    }
    EXPECT_EQ(resets.count(), 1);
    QStringList shown;
    for (int r = 0; r < model.rowCount(); ++r)
        shown << model.data(model.index(r, 1)).toString();
    EXPECT_EQ(shown.join(QLatin1Char(' ')), QStringLiteral("Aaron Anton Bea Bert Carl Carla Mia Zora"));
}
