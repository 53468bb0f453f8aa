// Structured where conditions: their XML form and the SQL they become.
#include "dataaccess/DAException.h"
#include "dataaccess/TDAWhere.h"
#include "foundation/QorDateTime.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

TDAFieldList fields()
{
    return {TDAField{QStringLiteral("PK_LinkID"), TDADataType::datString, 38, true, false, false, {}, {}},
            TDAField{QStringLiteral("SortIndex"), TDADataType::datInteger, 0, false, false, false, {}, {}},
            TDAField{QStringLiteral("StartDateTime"), TDADataType::datDateTime, 0, false, false, false, {}, {}}};
}

} // namespace

TEST(Where, XmlFormRoundTripsTermsAndValues)
{
    TDAWhere w;
    w.AddCondition(QStringLiteral("SortIndex"), TDAWhereOperator::woGreaterOrEqual, 3)
        .AddCondition(QStringLiteral("StartDateTime"), TDAWhereOperator::woLess, WallClock(QDate(2024, 3, 31), QTime(2, 4, 5, 6)))
        .AddCondition(QStringLiteral("PK_LinkID"), TDAWhereOperator::woIsNull);
    const TDAWhere back = TDAWhere::FromXml(w.ToXml());
    ASSERT_EQ(back.Terms().size(), 3);
    EXPECT_EQ(back.Terms()[0].Value, QVariant(3));
    EXPECT_EQ(back.Terms()[1].Operator, TDAWhereOperator::woLess);
    EXPECT_EQ(back.Terms()[1].Value.toDateTime(), WallClock(QDate(2024, 3, 31), QTime(2, 4, 5, 6)));
    EXPECT_TRUE(DAIsNull(back.Terms()[2].Value));
}

TEST(Where, ValuesBecomeBoundParametersAndNamesTheSchemaSpelling)
{
    TDAWhere w;
    w.AddCondition(QStringLiteral("pk_linkid"), TDAWhereOperator::woEqual, QStringLiteral("x' OR 1=1 --"));
    w.AddCondition(QStringLiteral("SORTINDEX"), TDAWhereOperator::woNotEqual, QStringLiteral("4"));
    TDAParamCollection params;
    const QString sql = w.BuildSQL(fields(), QStringLiteral("w"), params);
    EXPECT_EQ(sql, QStringLiteral("PK_LinkID = :w1 AND SortIndex <> :w2"));
    ASSERT_EQ(params.Count(), 2);
    EXPECT_EQ(params[0].Value, QVariant(QStringLiteral("x' OR 1=1 --")));
    EXPECT_EQ(params[1].Value, QVariant(4));
}

TEST(Where, UnknownFieldsAndForeignXmlAreRefused)
{
    TDAWhere w;
    w.AddCondition(QStringLiteral("1=1; DROP TABLE x"), TDAWhereOperator::woEqual, 1);
    TDAParamCollection params;
    EXPECT_THROW(w.BuildSQL(fields(), QStringLiteral("w"), params), EDAException);
    EXPECT_THROW(TDAWhere::FromXml(QStringLiteral("<Where><Sql>1=1</Sql></Where>")), EDAException);
    EXPECT_THROW(TDAWhere::FromXml(QStringLiteral("<Where><Term Field=\"A\" Op=\"Between\" Type=\"Integer\">1</Term></Where>")), EDAException);
    EXPECT_THROW(TDAWhere::FromXml(QStringLiteral("<Where><Term Field=\"A\" Op=\"Equal\" Type=\"Integer\">x</Term></Where>")), EDAException);
}
