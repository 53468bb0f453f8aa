// Stored procedures and functions called by name with input and output parameters.
#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionManager.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

const TDAADODriver kRegistration;

class PgStoredProcedure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        connection = manager.NewConnection(QStringLiteral("MSSQL"));
        db.exec(QStringLiteral(
            "CREATE FUNCTION dbo.SplitName(FullName citext, OUT FirstPart text, OUT PartCount integer) AS $$ "
            "SELECT split_part(FullName, ' ', 1), array_length(string_to_array(FullName, ' '), 1) $$ LANGUAGE sql;"
            "CREATE FUNCTION dbo.AddOne(Value integer) RETURNS integer AS 'SELECT Value + 1' LANGUAGE sql;"
            "CREATE TABLE dbo.Log (Msg text);"
            "CREATE PROCEDURE dbo.WriteLog(Msg text, INOUT Total integer) AS $$ BEGIN "
            "INSERT INTO dbo.Log VALUES (Msg); SELECT count(*) INTO Total FROM dbo.Log; END $$ LANGUAGE plpgsql;"));
    }

    kestrova::test::TestDatabase db;
    TDAConnectionManager manager;
    std::unique_ptr<IDAConnection> connection;
};

} // namespace

TEST_F(PgStoredProcedure, RefreshListsInputAndOutputParameters)
{
    auto sp = connection->NewStoredProcedure(QStringLiteral("SplitName"));
    sp->RefreshParams();
    ASSERT_EQ(sp->GetParams().Count(), 3);
    EXPECT_EQ(sp->GetParams()[0].ParamType, TDAParamType::daptInput);
    EXPECT_EQ(sp->GetParams()[1].Name.toLower(), QStringLiteral("firstpart"));
    EXPECT_EQ(sp->GetParams()[1].ParamType, TDAParamType::daptOutput);
    EXPECT_EQ(sp->GetParams()[2].DataType, TDADataType::datInteger);
}

TEST_F(PgStoredProcedure, OutputParametersComeBackAfterExecute)
{
    auto sp = connection->NewStoredProcedure(QStringLiteral("dbo.SplitName"));
    sp->RefreshParams();
    sp->ParamByName(QStringLiteral("FullName")).Value = QStringLiteral("Anna Maria Schmidt");
    sp->Execute();
    EXPECT_EQ(sp->ParamByName(QStringLiteral("FirstPart")).Value.toString(), QStringLiteral("Anna"));
    EXPECT_EQ(sp->ParamByName(QStringLiteral("PartCount")).Value.toInt(), 3);
}

TEST_F(PgStoredProcedure, FunctionValueIsTheResultParameter)
{
    auto sp = connection->NewStoredProcedure(QStringLiteral("ADDONE"));
    sp->RefreshParams();
    ASSERT_EQ(sp->GetParams().Count(), 2);
    EXPECT_EQ(sp->GetParams()[0].ParamType, TDAParamType::daptResult);
    sp->ParamByName(QStringLiteral("value")).Value = 41;
    sp->Execute();
    EXPECT_EQ(sp->ParamByName(QStringLiteral("Result")).Value.toInt(), 42);
}

TEST_F(PgStoredProcedure, ProcedureWithInputOutputParameterRunsAndReportsBack)
{
    auto sp = connection->NewStoredProcedure(QStringLiteral("WriteLog"));
    sp->RefreshParams();
    sp->ParamByName(QStringLiteral("Msg")).Value = QStringLiteral("hello");
    sp->ParamByName(QStringLiteral("Total")).Value = 0;
    sp->Execute();
    EXPECT_EQ(sp->ParamByName(QStringLiteral("Total")).Value.toInt(), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT Msg FROM dbo.Log")), QStringLiteral("hello"));
}

TEST_F(PgStoredProcedure, UnknownProcedureIsNamedInTheError)
{
    auto sp = connection->NewStoredProcedure(QStringLiteral("NoSuchProc"));
    try {
        sp->Execute();
        FAIL() << "no exception";
    } catch (const EDAException &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("NoSuchProc")));
    }
}
