// Value conversions between field types.
#include "dataaccess/DADataTypes.h"
#include "dataaccess/DAException.h"
#include "foundation/QorDateTime.h"

#include <QDateTime>

#include <gtest/gtest.h>

TEST(DataTypes, NamesRoundTripAndIgnoreCase)
{
    for (int i = 0; i < kDADataTypeCount; ++i) {
        const auto t = static_cast<TDADataType>(i);
        EXPECT_EQ(DADataTypeFromName(DADataTypeName(t).toUpper()), t);
    }
    EXPECT_EQ(DADataTypeFromName(QStringLiteral("datBlob")), TDADataType::datBlob);
    EXPECT_EQ(DADataTypeFromName(QStringLiteral("nonsense")), TDADataType::datUnknown);
}

TEST(DataTypes, BooleanFieldsAcceptSmallintValues)
{
    EXPECT_EQ(DAConvertValue(1, TDADataType::datBoolean), QVariant(true));
    EXPECT_EQ(DAConvertValue(0, TDADataType::datBoolean), QVariant(false));
    EXPECT_EQ(DAConvertValue(QStringLiteral("true"), TDADataType::datBoolean), QVariant(true));
}

TEST(DataTypes, UnconvertibleValuesRaise)
{
    EXPECT_THROW(DAConvertValue(QStringLiteral("abc"), TDADataType::datInteger), EDAException);
    EXPECT_THROW(DAConvertValue(QStringLiteral("not a date"), TDADataType::datDateTime), EDAException);
    EXPECT_THROW(DAConvertValue(QStringLiteral("maybe"), TDADataType::datBoolean), EDAException);
}

TEST(DataTypes, NullStaysNullAndTextDatesAreRead)
{
    EXPECT_TRUE(DAIsNull(DAConvertValue(QVariant(), TDADataType::datInteger)));
    EXPECT_EQ(DAConvertValue(QStringLiteral("2024-03-01 10:20:30.500"), TDADataType::datDateTime).toDateTime(),
              WallClock(QDate(2024, 3, 1), QTime(10, 20, 30, 500)));
    // Wall-clock values, also where the local clock skips them.
    EXPECT_EQ(DAConvertValue(QStringLiteral("2024-03-31T02:30:00"), TDADataType::datDateTime).toDateTime(),
              WallClock(QDate(2024, 3, 31), QTime(2, 30)));
    EXPECT_EQ(DAConvertValue(QDate(2024, 9, 8), TDADataType::datDateTime).toDateTime(), WallClock(QDate(2024, 9, 8)));
    EXPECT_EQ(DAConvertValue(QDateTime(QDate(2024, 7, 1), QTime(9, 15), Qt::LocalTime), TDADataType::datDateTime).toDateTime(),
              WallClock(QDate(2024, 7, 1), QTime(9, 15)));
}
