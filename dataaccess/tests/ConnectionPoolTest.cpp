// The connection pool against the private cluster: connections are reused, reset between
// users, never handed out inside a transaction, replaced when broken and bounded in number.
#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionManager.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class ConnectionPool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        db.exec(QStringLiteral("CREATE TABLE dbo.tblNotes (Note citext)"));
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        manager.SetPoolingEnabled(true);
    }

    static QString Scalar(IDAConnection &connection, const QString &sql)
    {
        auto row = connection.NewDataset(sql);
        row->Open();
        return row->Value(0, 0).toString();
    }

    static QString Backend(IDAConnection &connection) { return Scalar(connection, QStringLiteral("SELECT pg_backend_pid()")); }

    TDAADODriver registration;
    kestrova::test::TestDatabase db;
    TDAConnectionManager manager;
};

TEST_F(ConnectionPool, AConnectionIsOpenedOnceAndHandedOutAgain)
{
    QString first;
    {
        auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
        first = Backend(*connection);
        EXPECT_EQ(connection->GetName(), QStringLiteral("MSSQL"));
    }
    EXPECT_EQ(manager.IdleConnections(QStringLiteral("mssql")), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Backend(*manager.NewConnection(QString())), first);
    EXPECT_EQ(manager.PooledConnections(QStringLiteral("MSSQL")), 1);
    // Two at a time are two connections.
    auto a = manager.NewConnection(QStringLiteral("MSSQL"));
    auto b = manager.NewConnection(QStringLiteral("MSSQL"));
    EXPECT_NE(Backend(*a), Backend(*b));
    EXPECT_EQ(manager.PooledConnections(QStringLiteral("MSSQL")), 2);
}

TEST_F(ConnectionPool, WhatAUserLeftOpenIsUndoneBeforeTheNextGetsTheConnection)
{
    {
        auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
        connection->BeginTransaction();
        connection->NewCommand(QStringLiteral("INSERT INTO tblNotes VALUES ('uncommitted')"))->Execute();
        connection->NewCommand(QStringLiteral("CREATE TEMP TABLE scratch (x int)"))->Execute();
    }
    {
        auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
        // A transaction begun with plain SQL is found too.
        connection->NewCommand(QStringLiteral("BEGIN"))->Execute();
        connection->NewCommand(QStringLiteral("INSERT INTO tblNotes VALUES ('raw begin')"))->Execute();
        connection->NewCommand(QStringLiteral("SET search_path = public"))->Execute();
        connection->NewCommand(QStringLiteral("COMMIT"))->Execute();
        connection->NewCommand(QStringLiteral("SET DateStyle = German"))->Execute();
        connection->NewCommand(QStringLiteral("CREATE TEMP TABLE scratch (x int)"))->Execute();
    }
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT string_agg(Note, ',') FROM dbo.tblNotes")), QStringLiteral("raw begin"));
    auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
    EXPECT_FALSE(connection->GetInTransaction());
    EXPECT_EQ(Scalar(*connection, QStringLiteral("SHOW search_path")), QStringLiteral("dbo, public"));
    EXPECT_EQ(Scalar(*connection, QStringLiteral("SHOW DateStyle")), QStringLiteral("ISO, MDY"));
    EXPECT_EQ(Scalar(*connection, QStringLiteral("SELECT count(*) FROM pg_class WHERE relname = 'scratch'")), QStringLiteral("0"));
    // Plain names resolve again.
    EXPECT_EQ(Scalar(*connection, QStringLiteral("SELECT count(*) FROM tblNotes")), QStringLiteral("1"));
}

TEST_F(ConnectionPool, AConnectionTheServerDroppedIsReplaced)
{
    QString old;
    {
        auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
        old = Backend(*connection);
    }
    db.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(old));
    std::this_thread::sleep_for(100ms);
    auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
    EXPECT_NE(Backend(*connection), old);
    EXPECT_EQ(manager.PooledConnections(QStringLiteral("MSSQL")), 1);
}

TEST_F(ConnectionPool, ABusyPoolMakesTheNextCallerWaitAndThenFailWithAClearError)
{
    manager.SetMaxPoolSize(2);
    manager.SetPoolTimeout(300ms);
    auto a = manager.NewConnection(QStringLiteral("MSSQL"));
    auto b = manager.NewConnection(QStringLiteral("MSSQL"));
    try {
        manager.NewConnection(QStringLiteral("MSSQL"));
        ADD_FAILURE() << "a third connection was handed out";
    } catch (const EDAException &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("All 2 database connections of \"MSSQL\" are in use")))
            << e.what();
    }
    // One that comes back within the wait serves the waiting caller.
    manager.SetPoolTimeout(10s);
    const QString pid = Backend(*b);
    std::thread giveBack([&b] {
        std::this_thread::sleep_for(200ms);
        b.reset();
    });
    auto c = manager.NewConnection(QStringLiteral("MSSQL"));
    giveBack.join();
    EXPECT_EQ(Backend(*c), pid);
    EXPECT_EQ(manager.PooledConnections(QStringLiteral("MSSQL")), 2);
}

TEST_F(ConnectionPool, ThePoolStaysWellBelowTheServersLimit)
{
    const int limit = db.scalar(QStringLiteral("SELECT current_setting('max_connections')::int - "
                                               "current_setting('superuser_reserved_connections')::int")).toInt();
    manager.SetMaxPoolSize(100000);
    manager.NewConnection(QStringLiteral("MSSQL"));
    EXPECT_EQ(manager.EffectivePoolSize(QStringLiteral("MSSQL")), limit / 2);
    manager.SetMaxPoolSize(3);
    EXPECT_EQ(manager.EffectivePoolSize(QStringLiteral("MSSQL")), 3);
}

TEST_F(ConnectionPool, ANewDefinitionStringOrOwnCredentialsBypassTheOldConnections)
{
    QString old;
    {
        auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
        old = Backend(*connection);
    }
    // Unpooled: not opened now, or with a user of its own.
    auto unopened = manager.NewConnection(QStringLiteral("MSSQL"), false);
    EXPECT_FALSE(unopened->GetConnected());
    EXPECT_EQ(manager.IdleConnections(QStringLiteral("MSSQL")), 1);
    manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString() + QStringLiteral("Application Name=other;"));
    auto connection = manager.NewConnection(QStringLiteral("MSSQL"));
    EXPECT_NE(Backend(*connection), old);
    EXPECT_EQ(Scalar(*connection, QStringLiteral("SELECT current_setting('application_name')")), QStringLiteral("other"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = %1").arg(old)), QStringLiteral("0"));
}

// A program that stops does not wait for statements that wait on a lock: each connection in a
// user's hands, pooled or not, read whole or streamed, has its statement cancelled.
TEST_F(ConnectionPool, AbortingEndsEveryRunningStatementAndRefusesTheNextOnes)
{
    TDAEADOConnection holder;
    holder.SetConnectionString(db.connectionString());
    holder.BeginTransaction();
    holder.NewCommand(QStringLiteral("LOCK TABLE dbo.tblNotes IN ACCESS EXCLUSIVE MODE"))->Execute();

    std::vector<std::unique_ptr<IDAConnection>> connections;
    connections.push_back(manager.NewConnection(QStringLiteral("MSSQL")));
    connections.push_back(manager.NewConnection(QStringLiteral("MSSQL"), false));
    connections.push_back(manager.NewConnection(QStringLiteral("MSSQL")));
    std::atomic<int> failed{0};
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < connections.size(); ++i)
        readers.emplace_back([&, i] {
            auto read = connections[i]->NewDataset(QStringLiteral("SELECT * FROM dbo.tblNotes"));
            try {
                if (i == 2)
                    read->OpenForStreaming();
                else
                    read->Open();
            } catch (const EDAException &) {
                ++failed;
            }
        });
    const auto waiting = [&] { return db.scalar(QStringLiteral(
        "SELECT count(*) FROM pg_locks l JOIN pg_database d ON d.oid = l.database WHERE NOT l.granted AND d.datname = current_database()")); };
    for (int i = 0; i < 500 && waiting() != QStringLiteral("3"); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(waiting(), QStringLiteral("3"));

    const auto start = std::chrono::steady_clock::now();
    manager.AbortConnections();
    for (std::thread &reader : readers)
        reader.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(failed, 3);
    EXPECT_THROW(connections[0]->NewCommand(QStringLiteral("SELECT 1"))->Execute(), EDAException);
    EXPECT_THROW(manager.NewConnection(QStringLiteral("MSSQL")), EDAException);
    connections.clear();
    holder.RollbackTransaction();
}

} // namespace
