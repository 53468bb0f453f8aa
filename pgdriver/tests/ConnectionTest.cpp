// Connections, transactions and statements with named parameters against the private cluster.
#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionManager.h"
#include "foundation/QorDateTime.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/TestDatabase.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

const TDAADODriver kRegistration;

class PgConnection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        connection = manager.NewConnection(QStringLiteral("MSSQL"));
        db.exec(QStringLiteral("CREATE TABLE dbo.Items (PK_ItemID varchar(38) PRIMARY KEY, ItemName citext, "
                               "Amount integer, Price double precision, Stamp timestamp, Data bytea, Flag smallint)"));
    }

    int count(const QString &where = QStringLiteral("true"))
    {
        return db.scalar(QStringLiteral("SELECT count(*) FROM dbo.Items WHERE ") + where).toInt();
    }

    void insert(IDAConnection &c, const QString &id, const QVariant &name)
    {
        auto cmd = c.NewCommand(QStringLiteral("INSERT INTO Items (PK_ItemID, ItemName) VALUES (:id, :name)"));
        cmd->ParamByName(QStringLiteral("id")).Value = id;
        cmd->ParamByName(QStringLiteral("name")).Value = name;
        EXPECT_EQ(cmd->Execute(), 1);
    }

    kestrova::test::TestDatabase db;
    TDAConnectionManager manager;
    std::unique_ptr<IDAConnection> connection;
};

} // namespace

TEST_F(PgConnection, EveryNewConnectionIsADistinctSession)
{
    auto other = manager.NewConnection(QString());
    auto a = connection->NewDataset(QStringLiteral("SELECT pg_backend_pid() AS pid"));
    auto b = other->NewDataset(QStringLiteral("SELECT pg_backend_pid() AS pid"));
    a->Open();
    b->Open();
    EXPECT_NE(a->FieldByName(QStringLiteral("PID")), b->FieldByName(QStringLiteral("pid")));
    EXPECT_EQ(other->GetName(), QStringLiteral("MSSQL"));
}

TEST_F(PgConnection, SessionUsesDboAndIsoDates)
{
    auto ds = connection->NewDataset(QStringLiteral("SELECT current_schema() AS s, current_setting('DateStyle') AS d"));
    ds->Open();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("s")).toString(), QStringLiteral("dbo"));
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("d")).toString().startsWith(QStringLiteral("ISO")));
}

TEST_F(PgConnection, ClosedConnectionReportsNotConnected)
{
    EXPECT_TRUE(connection->GetConnected());
    connection->Close();
    EXPECT_FALSE(connection->GetConnected());
    auto unopened = manager.NewConnection(QStringLiteral("mssql"), false);
    EXPECT_FALSE(unopened->GetConnected());
    unopened->Open();
    EXPECT_TRUE(unopened->IsAlive());
}

TEST_F(PgConnection, WrongDatabaseRaisesTheServersMessage)
{
    manager.AddConnection(QStringLiteral("Bad"), db.connectionString().replace(db.name(), QStringLiteral("no_such_db_x")));
    try {
        manager.NewConnection(QStringLiteral("Bad"));
        FAIL() << "no exception";
    } catch (const EDAException &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("no_such_db_x"))) << e.what();
    }
}

TEST_F(PgConnection, CommittedChangesAreSeenByOthers)
{
    connection->BeginTransaction();
    EXPECT_TRUE(connection->GetInTransaction());
    insert(*connection, QStringLiteral("{A}"), QStringLiteral("a"));
    EXPECT_EQ(count(), 0);
    connection->CommitTransaction();
    EXPECT_FALSE(connection->GetInTransaction());
    EXPECT_EQ(count(), 1);
}

TEST_F(PgConnection, RolledBackChangesAreGone)
{
    connection->BeginTransaction();
    insert(*connection, QStringLiteral("{A}"), QStringLiteral("a"));
    connection->RollbackTransaction();
    EXPECT_EQ(count(), 0);
}

TEST_F(PgConnection, CommitAnsweredWithRollbackRaises)
{
    connection->BeginTransaction();
    insert(*connection, QStringLiteral("{A}"), QStringLiteral("a"));
    EXPECT_THROW(insert(*connection, QStringLiteral("{A}"), QStringLiteral("dup")), EDAException);
    EXPECT_THROW(connection->CommitTransaction(), EDAException);
    EXPECT_FALSE(connection->GetInTransaction());
    EXPECT_EQ(count(), 0);
}

TEST_F(PgConnection, FailedWorkInASavepointLeavesTheTransactionUsable)
{
    connection->BeginTransaction();
    insert(*connection, QStringLiteral("{A}"), QStringLiteral("a"));
    EXPECT_THROW(connection->RunInSavepoint([&] { insert(*connection, QStringLiteral("{A}"), QStringLiteral("dup")); }),
                 EDAException);
    connection->RunInSavepoint([&] { insert(*connection, QStringLiteral("{B}"), QStringLiteral("b")); });
    connection->CommitTransaction();
    EXPECT_EQ(count(), 2);
}

TEST_F(PgConnection, ErrorsCarryTheServersMessage)
{
    auto ds = connection->NewDataset(QStringLiteral("SELECT * FROM NoSuchTable"));
    try {
        ds->Open();
        FAIL() << "no exception";
    } catch (const EDAException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("relation \"nosuchtable\" does not exist"));
        EXPECT_EQ(e.SqlState(), QStringLiteral("42P01"));
    }
}

TEST_F(PgConnection, RepeatedParameterNamesBindOneValue)
{
    auto ds = connection->NewDataset(QStringLiteral("SELECT :a + 1 AS x, :B * 2 AS y, :a AS z"));
    EXPECT_EQ(ds->GetParams().Count(), 2);
    ds->ParamByName(QStringLiteral("A")).Value = 20;
    ds->ParamByName(QStringLiteral("b")).Value = 3;
    ds->Open();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("x")).toInt(), 21);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("y")).toInt(), 6);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("z")).toInt(), 20);
}

TEST_F(PgConnection, ValuesOfEveryKindRoundTrip)
{
    const QDateTime stamp = WallClock(QDate(2024, 2, 29), QTime(23, 59, 58, 123));
    const QByteArray blob = QByteArray("\x00\x01\xff'\\;", 6);
    const QString text = QStringLiteral("Ἀθῆναι — Привет — 東京 'quote' ;--");
    auto cmd = connection->NewCommand(QStringLiteral(
        "INSERT INTO Items (PK_ItemID, ItemName, Amount, Price, Stamp, Data, Flag) VALUES (:id, :name, :amount, :price, :stamp, :data, :flag)"));
    cmd->ParamByName(QStringLiteral("id")).Value = QStringLiteral("{1}");
    cmd->ParamByName(QStringLiteral("name")).Value = text;
    cmd->ParamByName(QStringLiteral("amount")).Value = -5;
    cmd->ParamByName(QStringLiteral("price")).Value = 1.0 / 3.0;
    cmd->ParamByName(QStringLiteral("stamp")).Value = stamp;
    cmd->ParamByName(QStringLiteral("data")).Value = blob;
    cmd->ParamByName(QStringLiteral("flag")).Value = true;
    EXPECT_EQ(cmd->Execute(), 1);

    auto ds = connection->NewDataset(QStringLiteral("SELECT * FROM Items WHERE PK_ItemID = :id"));
    ds->ParamByName(QStringLiteral("id")).Value = QStringLiteral("{1}");
    ds->Open();
    ASSERT_EQ(ds->GetRecordCount(), 1);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("ITEMNAME")).toString(), text);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("amount")).toInt(), -5);
    EXPECT_DOUBLE_EQ(ds->FieldByName(QStringLiteral("price")).toDouble(), 1.0 / 3.0);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("stamp")).toDateTime(), stamp);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("data")).toByteArray(), blob);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("flag")).toInt(), 1);
    EXPECT_EQ(ds->GetFields()[DAFindField(ds->GetFields(), QStringLiteral("stamp"))].DataType, TDADataType::datDateTime);
    EXPECT_EQ(ds->GetFields()[DAFindField(ds->GetFields(), QStringLiteral("data"))].DataType, TDADataType::datBlob);
}

// Also run under TZ=Europe/Berlin and TZ=America/Santiago (scripts/test).
TEST_F(PgConnection, DateTimesAreBoundAndReadAsWallClockTimes)
{
    const QList<std::pair<QDateTime, QString>> times = {
        {WallClock(QDate(2024, 3, 31), QTime(2, 30)), QStringLiteral("2024-03-31 02:30:00")},
        {WallClock(QDate(2024, 9, 8)), QStringLiteral("2024-09-08 00:00:00")},
        {WallClock(QDate(1, 1, 1)), QStringLiteral("0001-01-01 00:00:00")},
        {WallClock(QDate(9999, 12, 31), QTime(23, 59, 59, 999)), QStringLiteral("9999-12-31 23:59:59.999")}};
    auto ds = connection->NewDataset(QStringLiteral("SELECT CAST(:s AS timestamp)::text AS shown, :s AS back, "
                                                    "CAST(CAST(:s AS timestamp) AS date) AS day"));
    for (const auto &[at, shown] : times) {
        ds->ParamByName(QStringLiteral("s")).Value = at;
        ds->Open();
        EXPECT_EQ(ds->FieldByName(QStringLiteral("shown")).toString(), shown);
        EXPECT_EQ(ds->FieldByName(QStringLiteral("back")).toDateTime(), at);
        EXPECT_EQ(ds->FieldByName(QStringLiteral("day")).toDateTime(), WallClock(at.date()));
        ds->Close();
    }
    ds->ParamByName(QStringLiteral("s")).Value = WallClock(QDate(10000, 1, 1));
    EXPECT_THROW(ds->Open(), EDAException);
    for (const char *stored : {"10000-01-01", "infinity", "0044-03-15 BC"}) {
        auto read = connection->NewDataset(QStringLiteral("SELECT CAST('%1' AS timestamp) AS t").arg(QLatin1String(stored)));
        EXPECT_THROW(read->Open(), EDAException) << stored;
    }
}

TEST_F(PgConnection, NullValuesBindAndReadAsNull)
{
    insert(*connection, QStringLiteral("{N}"), QVariant());
    auto ds = connection->NewDataset(QStringLiteral("SELECT ItemName, Stamp FROM Items WHERE ItemName IS NULL AND :s::timestamp IS NULL"));
    ds->ParamByName(QStringLiteral("s")).Value = QVariant();
    ds->ParamByName(QStringLiteral("s")).DataType = TDADataType::datDateTime;
    ds->Open();
    ASSERT_EQ(ds->GetRecordCount(), 1);
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("itemname")).isNull());
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("stamp")).isNull());
}

TEST_F(PgConnection, TextParametersCompareWithoutCaseOnCitextColumns)
{
    insert(*connection, QStringLiteral("{A}"), QStringLiteral("Müller"));
    auto ds = connection->NewDataset(QStringLiteral("SELECT count(*) AS n FROM Items WHERE ItemName = :n"));
    ds->ParamByName(QStringLiteral("n")).Value = QStringLiteral("MÜLLER");
    ds->Open();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("n")).toInt(), 1);
}

TEST_F(PgConnection, ColonsInLiteralsCommentsAndCastsAreNotParameters)
{
    auto ds = connection->NewDataset(QStringLiteral(
        "SELECT ':x' AS a, \":y\" AS b, '1'::integer AS c, $$ :z $$ AS d /* :w */ -- :v\n, :real AS e FROM (SELECT 1 AS \":y\") t"));
    ASSERT_EQ(ds->GetParams().Count(), 1);
    ds->ParamByName(QStringLiteral("real")).Value = QStringLiteral("r");
    ds->Open();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("a")).toString(), QStringLiteral(":x"));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("d")).toString(), QStringLiteral(" :z "));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("e")).toString(), QStringLiteral("r"));
}

TEST_F(PgConnection, DatasetReadsRowsInOrderAndRefusesUnknownFields)
{
    for (int i = 0; i < 3; ++i)
        insert(*connection, QStringLiteral("{%1}").arg(i), QStringLiteral("n%1").arg(i));
    auto ds = connection->NewDataset(QStringLiteral("SELECT PK_ItemID, ItemName FROM Items ORDER BY PK_ItemID"));
    ds->Open();
    QStringList names;
    for (ds->First(); !ds->Eof(); ds->Next())
        names << ds->FieldByName(QStringLiteral("itemName")).toString();
    EXPECT_EQ(names, QStringList({QStringLiteral("n0"), QStringLiteral("n1"), QStringLiteral("n2")}));
    ds->First();
    EXPECT_THROW(ds->FieldByName(QStringLiteral("nope")), EDAException);
}

TEST_F(PgConnection, MissingParameterValueIsNamed)
{
    auto ds = connection->NewDataset(QStringLiteral("SELECT :a AS x"));
    EXPECT_THROW(ds->ParamByName(QStringLiteral("b")), EDAException);
}

TEST_F(PgConnection, NestedTransactionIsRefused)
{
    connection->BeginTransaction();
    EXPECT_THROW(connection->BeginTransaction(), EDAException);
    connection->RollbackTransaction();
}

TEST_F(PgConnection, ChangesRepeatedInATransactionRunPreparedUntilItEnds)
{
    auto prepared = [&] {
        auto ds = connection->NewDataset(QStringLiteral("SELECT count(*)::integer AS n FROM pg_prepared_statements"));
        ds->Open();
        return ds->FieldByName(QStringLiteral("n")).toInt();
    };
    auto add = [&](const QString &id, const QVariant &amount) {
        auto ds = connection->NewDataset(QStringLiteral("INSERT INTO Items (PK_ItemID, Amount) VALUES (:id, :amount) RETURNING *"));
        ds->ParamByName(QStringLiteral("id")).Value = id;
        ds->ParamByName(QStringLiteral("amount")).Value = amount;
        ds->Open();
        return ds->GetFields().size();
    };
    add(QStringLiteral("{A0}"), 1);
    add(QStringLiteral("{A1}"), 1);
    EXPECT_EQ(prepared(), 0); // outside a transaction nothing is kept

    connection->BeginTransaction();
    add(QStringLiteral("{B0}"), 1);
    EXPECT_EQ(prepared(), 0); // once is no repetition
    add(QStringLiteral("{B1}"), 2);
    add(QStringLiteral("{B2}"), 3);
    EXPECT_EQ(prepared(), 1);
    add(QStringLiteral("{B3}"), 4.0); // a value of another type makes it another statement
    add(QStringLiteral("{B4}"), 5.0);
    EXPECT_EQ(prepared(), 2);
    // A change of the table's shape within the transaction: the next use is planned afresh.
    connection->NewCommand(QStringLiteral("ALTER TABLE Items ADD COLUMN Extra integer"))->Execute();
    EXPECT_EQ(add(QStringLiteral("{B5}"), 6), 8);
    EXPECT_EQ(add(QStringLiteral("{B6}"), 7), 8);
    connection->CommitTransaction();
    EXPECT_EQ(count(QStringLiteral("PK_ItemID LIKE '{B%' AND Amount IS NOT NULL")), 7);

    connection->BeginTransaction(); // the ended transaction's statements go
    EXPECT_EQ(prepared(), 0);
    connection->RollbackTransaction();
}
