#include "foundation/uCommon.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Common, DateLiteralIsMonthDayYearOnEveryLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DateToSQLLiteral(QDate(2007, 3, 5)), QStringLiteral("#03/05/2007#"));
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(DateToSQLLiteral(QDate()), QStringLiteral("#01/01/1900#"));
}

TEST(Common, OsDescriptionFromReleaseFileAndKernel)
{
    const QString debian = QStringLiteral("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n");
    EXPECT_EQ(TvoSysInfo::DescribeOS(debian, QStringLiteral("6.1.0-18-amd64")),
              QStringLiteral("Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64"));
    EXPECT_EQ(TvoSysInfo::DescribeOS(QStringLiteral("NAME=Alpine\nVERSION='3.19'\n"), QString()),
              QStringLiteral("Alpine 3.19"));
    EXPECT_EQ(TvoSysInfo::DescribeOS(QString(), QStringLiteral("6.1.0")), QStringLiteral("Linux kernel 6.1.0"));
    EXPECT_EQ(TvoSysInfo::DescribeOS(QString(), QString()), QStringLiteral("Unknown"));
    EXPECT_NE(TvoSysInfo::GetOSName(), QStringLiteral("Unknown"));
}

TEST(Common, FileVersionIsReadFromTheStampInOurFiles)
{
    const QString library = QStringLiteral(KESTROVA_STAGE_DIR "/libfoundation.so");
    ASSERT_TRUE(QFileInfo::exists(library)) << library.toStdString();
    EXPECT_EQ(TvoSysInfo::GetFileVersion(library), QStringLiteral(KESTROVA_VERSION));
    EXPECT_EQ(TvoSysInfo::GetFileVersion(QStringLiteral("/etc/hostname")), QString());
    EXPECT_EQ(TvoSysInfo::GetFileVersion(QStringLiteral("/nonexistent")), QString());
}

TEST(Common, TempFileNameIsNewAndMadeInTheFolder)
{
    QTemporaryDir dir;
    const QString a = GetTempFileNameIn(dir.path());
    const QString b = GetTempFileNameIn(dir.path());
    EXPECT_TRUE(QFileInfo(a).fileName().startsWith(QStringLiteral("Rv")));
    EXPECT_EQ(QFileInfo(a).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_NE(a, b);
    EXPECT_EQ(GetTempFileNameIn(QStringLiteral("/nonexistent/folder")), QString());
}

TEST(Common, OpenUrlReportsAFailedStart)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    EXPECT_FALSE(OpenURL(QStringLiteral("http://localhost/")));
    qputenv("PATH", path);
    EXPECT_FALSE(OpenURL(QString()));
    EXPECT_FALSE(RunProgram(QStringLiteral("/nonexistent/program"), {}));
}

TEST(Common, UserStartsWithTheEmptyGuid)
{
    TvoUser user;
    EXPECT_EQ(user.UserID, QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
    EXPECT_EQ(GetSpecialFolder(nullptr, 0x7777), QString());
}

} // namespace

TEST(Common, BooleanTextsAreWordsInAnyCaseOrNumbers)
{
    EXPECT_TRUE(StrToBoolDef(QStringLiteral("TRUE"), false));
    EXPECT_FALSE(StrToBoolDef(QStringLiteral(" false "), true));
    EXPECT_TRUE(StrToBoolDef(QStringLiteral("-1"), false));
    EXPECT_FALSE(StrToBoolDef(QStringLiteral("0"), true));
    EXPECT_TRUE(StrToBoolDef(QStringLiteral("Yes"), true));
    EXPECT_FALSE(StrToBoolDef(QString(), false));
}
