// The calendar copy from the calendar file beside the server into tblCalenderData.
#include "dataaccess/IDAConnection.h"
#include "server/database/uDMServerDatabase.h"
#include "testsupport/CurrentSchema.h"
#include "testsupport/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kestrova::test::LogCapture;
using kestrova::test::OpenConnection;
using kestrova::test::TestDatabase;

const QByteArray kHeader = "ID,CalYear,CalMonth,CalDay,WeekDay,Date,Day,FullName,ShortName,Day_Color,FeastRef,Year,YearDC,SeasonWeek,Season\r\n";

class CalendarImport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        ASSERT_TRUE(dir.isValid());
    }

    void writeFile(const QByteArray &rows)
    {
        QFile f(dir.filePath(TDMServerDatabase::CalendarFileName()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kHeader + rows);
    }

    // Runs the copy in a transaction and commits only when it answered True.
    bool copy()
    {
        auto connection = OpenConnection(db.connectionString());
        connection->BeginTransaction();
        bool ok = false;
        try {
            connection->RunInSavepoint([&] {
                ok = TDMServerDatabase(*connection, QStringLiteral("MSSQL"), dir.path()).UpdateCalendardata();
                if (!ok)
                    throw std::runtime_error("refused");
            });
        } catch (const std::exception &) {
        }
        connection->CommitTransaction();
        return ok;
    }

    TestDatabase db;
    QTemporaryDir dir;
};

TEST_F(CalendarImport, TextsAreStoredExactlyAndEmptyValuesFallBack)
{
    writeFile("20240331,2024,3,31,1,2024-03-31,Sunday,Easter Day,Easter,16777215,8,B,2,1,Easter\r\n"
              "20241101,2024,11,1,6,2024-11-01,Friday,All Saints' Day,\"St. Mary's, \"\"the old\"\"\",16777215,12,B,2,22,Trinity\r\n"
              "20241102,,,,,,,O'',,,,,,,\r\n");
    LogCapture log;
    ASSERT_TRUE(copy());
    EXPECT_EQ(db.rows(QStringLiteral("SELECT * FROM tblCalenderData ORDER BY ID")),
              QList<QStringList>({
                  {"20240331", "2024", "3", "31", "1", "2024-03-31 00:00:00", "Sunday", "Easter Day", "Easter", "16777215", "8", "B", "2", "1", "Easter"},
                  {"20241101", "2024", "11", "1", "6", "2024-11-01 00:00:00", "Friday", "All Saints' Day", "St. Mary's, \"the old\"", "16777215", "12", "B", "2", "22", "Trinity"},
                  {"20241102", "0", "0", "0", "0", QString(), "", "O''", "", "0", "0", "", "", "0", ""},
              }));
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("Server"), QStringLiteral("Imported calendardata")),
              QStringList({"OK"}));
}

TEST_F(CalendarImport, AnEmptyFileEmptiesTheTable)
{
    writeFile("");
    ASSERT_TRUE(copy());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblCalenderData")), QStringLiteral("0"));
}

TEST_F(CalendarImport, ARefusedRowFailsTheCopyAndKeepsTheOldRows)
{
    // The same key twice: the database refuses the second row.
    writeFile("20240331,2024,3,31,1,2024-03-31,Sunday,Easter Day,Easter,16777215,8,B,2,1,Easter\r\n"
              "20240331,2024,3,31,1,2024-03-31,Sunday,Easter Day,Easter,16777215,8,B,2,1,Easter\r\n");
    LogCapture log;
    EXPECT_FALSE(copy());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblCalenderData")), QStringLiteral("22281"));
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("Server"), QStringLiteral("import of Calendardata failed")).size(), 1);
}

TEST_F(CalendarImport, ARowWithTheWrongNumberOfFieldsOrABadNumberFailsTheCopy)
{
    writeFile("20240331,2024,3\r\n");
    EXPECT_FALSE(copy());
    writeFile("x,2024,3,31,1,2024-03-31,Sunday,Easter Day,Easter,16777215,8,B,2,1,Easter\r\n");
    EXPECT_FALSE(copy());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblCalenderData")), QStringLiteral("22281"));
}

TEST_F(CalendarImport, AMissingFileRaisesBeforeAnythingChanges)
{
    auto connection = OpenConnection(db.connectionString());
    connection->BeginTransaction();
    TDMServerDatabase server(*connection, QStringLiteral("MSSQL"), dir.path());
    try {
        server.UpdateCalendardata();
        ADD_FAILURE() << "no error for a missing calendar file";
    } catch (const std::exception &e) {
        EXPECT_STREQ(e.what(), "Unable to locate importfile");
    }
    connection->CommitTransaction();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblCalenderData")), QStringLiteral("22281"));
}

TEST_F(CalendarImport, TheShippedFileFillsEveryDateOnce)
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/") + TDMServerDatabase::CalendarFileName(),
                            dir.filePath(TDMServerDatabase::CalendarFileName())));
    db.exec(QStringLiteral("DELETE FROM tblCalenderData"));
    ASSERT_TRUE(copy());
    EXPECT_EQ(db.rows(QStringLiteral("SELECT count(*), count(DISTINCT Date::date) FROM tblCalenderData")),
              QList<QStringList>({{"22281", "22281"}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT Date::date FROM tblCalenderData WHERE FeastRef = 8 AND CalYear IN (2024, 2025, 2038, 2057) ORDER BY 1")),
              QList<QStringList>({{"2024-03-31"}, {"2025-04-20"}, {"2038-04-25"}, {"2057-04-22"}}));
}

} // namespace
