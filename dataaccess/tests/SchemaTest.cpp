// Schema files: datasets, commands, statements per connection name.
#include "dataaccess/DAException.h"
#include "dataaccess/TDASchema.h"

#include <gtest/gtest.h>

namespace {

TDASchema load()
{
    TDASchema s;
    s.LoadFromFile(QStringLiteral(KESTROVA_SOURCE_DIR "/dataaccess/tests/schemas/TestService.xml"));
    return s;
}

} // namespace

TEST(Schema, ReadsDatasetsFieldsParametersAndCommands)
{
    const TDASchema s = load();
    EXPECT_EQ(s.GetName(), QStringLiteral("TestService"));
    const TDASchemaDataset &p = s.DatasetByName(QStringLiteral("parents"));
    EXPECT_EQ(p.TableName, QStringLiteral("dbo.tblParents"));
    ASSERT_EQ(p.Fields.size(), 7);
    EXPECT_TRUE(p.Fields[0].InPrimaryKey);
    EXPECT_EQ(p.Fields[3].DataType, TDADataType::datBoolean);
    EXPECT_TRUE(p.Fields[6].ReadOnly);
    EXPECT_EQ(s.DatasetByName(QStringLiteral("Children")).Params.Count(), 1);
    EXPECT_EQ(s.CommandByName(QStringLiteral("CountParents")).Params[1].ParamType, TDAParamType::daptOutput);
}

TEST(Schema, PicksTheStatementOfTheConnectionNameElseTheDefault)
{
    const TDASchema s = load();
    const TDASchemaDataset &p = s.DatasetByName(QStringLiteral("Parents"));
    EXPECT_TRUE(p.StatementFor(QStringLiteral("mssql")).contains(QStringLiteral("ChildCount")));
    EXPECT_EQ(p.StatementFor(QStringLiteral("Access")), QStringLiteral("SELECT 1 AS never"));
    TDASchemaCommand c;
    c.Name = QStringLiteral("OnlyMSSQL");
    c.Statements << TDASchemaStatement{QStringLiteral("MSSQL"), QStringLiteral("SELECT 1")};
    EXPECT_THROW(c.StatementFor(QStringLiteral("Access")), EDAException);
}

TEST(Schema, UnknownNamesAreRefusedByName)
{
    const TDASchema s = load();
    try {
        s.DatasetByName(QStringLiteral("tblUsers"));
        FAIL() << "no exception";
    } catch (const EDAException &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("tblUsers")));
    }
    EXPECT_THROW(s.CommandByName(QStringLiteral("DropAll")), EDAException);
}

TEST(Schema, ClientDescriptionCarriesNoSQL)
{
    const QString xml = load().ToClientXml();
    EXPECT_TRUE(xml.contains(QStringLiteral("PK_ParentID")));
    EXPECT_FALSE(xml.contains(QStringLiteral("SELECT")));
    EXPECT_FALSE(xml.contains(QStringLiteral("UPDATE")));
}

TEST(Schema, BrokenFilesAreRefusedWithTheirOrigin)
{
    TDASchema s;
    try {
        s.LoadFromXml("<Schema><Dataset Name=\"A\"><Field Name=\"x\" Type=\"Nope\"/><Statement>SELECT 1</Statement></Dataset></Schema>",
                      QStringLiteral("broken.xml"));
        FAIL() << "no exception";
    } catch (const EDAException &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("broken.xml")));
    }
    EXPECT_THROW(s.LoadFromXml("<Schema><Command Name=\"C\"/></Schema>"), EDAException);
    EXPECT_THROW(s.LoadFromXml("<Other/>"), EDAException);
    EXPECT_THROW(s.LoadFromXml("<Schema"), EDAException);
}
