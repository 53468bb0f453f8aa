#include "SwitchJob.h"

#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(SwitchOrder, FourCrLfLinesGiveProgramParkedRestartAndLog)
{
    const auto order = SwitchOrder::Parse(QStringLiteral("Brennic\r\nBrennic.new\r\nTrue\r\nWriteLog\r\n"));
    ASSERT_TRUE(order.has_value());
    EXPECT_EQ(order->program, QStringLiteral("Brennic"));
    EXPECT_EQ(order->parked, QStringLiteral("Brennic.new"));
    EXPECT_TRUE(order->restart);
    EXPECT_TRUE(order->writeLog);
}

TEST(SwitchOrder, FlagsAreOffUnlessGiven)
{
    const auto order = SwitchOrder::Parse(QStringLiteral("Update\r\nUpdate.new\r\nFalse\r\n"));
    ASSERT_TRUE(order.has_value());
    EXPECT_FALSE(order->restart);
    EXPECT_FALSE(order->writeLog);
    const auto bare = SwitchOrder::Parse(QStringLiteral("Update\nUpdate.new"));
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(bare->parked, QStringLiteral("Update.new"));
}

TEST(SwitchOrder, FewerThanTwoLinesOrNamesOutsideTheFolderAreRefused)
{
    EXPECT_FALSE(SwitchOrder::Parse(QString()).has_value());
    EXPECT_FALSE(SwitchOrder::Parse(QStringLiteral("Brennic\r\n")).has_value());
    EXPECT_FALSE(SwitchOrder::Parse(QStringLiteral("/usr/bin/Brennic\r\nBrennic.new\r\n")).has_value());
    EXPECT_FALSE(SwitchOrder::Parse(QStringLiteral("Brennic\r\n../Brennic.new\r\n")).has_value());
    EXPECT_FALSE(SwitchOrder::Parse(QStringLiteral("Brennic\r\nBrennic\r\n")).has_value());
}

TEST(SwitchOrder, ArgumentsAfterTheListAreTheProgramsAndTheOptionRestartsInProcess)
{
    const QString list = QStringLiteral("Brennic\r\nBrennic.new\r\nTrue\r\nWriteLog\r\n");
    const auto service = SwitchOrder::FromArguments({QStringLiteral("--in-process"), list, QStringLiteral("--service"), QStringLiteral("-v")});
    ASSERT_TRUE(service.has_value());
    EXPECT_TRUE(service->inProcess);
    EXPECT_EQ(service->program, QStringLiteral("Brennic"));
    EXPECT_EQ(service->arguments, (QStringList{QStringLiteral("--service"), QStringLiteral("-v")}));
    const auto desktop = SwitchOrder::FromArguments({list});
    ASSERT_TRUE(desktop.has_value());
    EXPECT_FALSE(desktop->inProcess);
    EXPECT_TRUE(desktop->arguments.isEmpty());
    EXPECT_FALSE(SwitchOrder::FromArguments({QStringLiteral("--in-process")}).has_value());
}

} // namespace
