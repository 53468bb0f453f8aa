#include "foundation/uCommon.h"

#include <QCoreApplication>
#include <QFile>
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
    // An opener that is there but finds no program for the address says so by its status.
    QTemporaryDir bin;
    for (const auto &[status, opened] : {std::pair{3, false}, std::pair{0, true}}) {
        QFile opener(bin.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(opener.open(QIODevice::WriteOnly | QIODevice::Truncate));
        opener.write(QStringLiteral("#!/bin/sh\nexit %1\n").arg(status).toUtf8());
        opener.close();
        ASSERT_TRUE(opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        qputenv("PATH", QFile::encodeName(bin.path()) + ":/usr/bin:/bin");
        EXPECT_EQ(OpenURL(QStringLiteral("file:///nowhere.pdf")), opened) << status;
    }
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

TEST(Common, APortIsOneToFiveAsciiDigitsFrom1To65535)
{
    const struct
    {
        const char *text;
        int port; // 0: no port
    } cases[] = {{"1", 1},     {"65535", 65535}, {"08080", 8080}, {"", 0},    {"0", 0},     {"65536", 0},   {"99999", 0},
                 {"000080", 0}, {" 80", 0},      {"80 ", 0},      {"+80", 0}, {"-1", 0},    {"8.5", 0},     {"80a9x", 0},
                 {"\xef\xbc\x98\xef\xbc\x90", 0}};
    for (const auto &c : cases) {
        const std::optional<quint16> port = ParsePort(QString::fromUtf8(c.text));
        EXPECT_EQ(port.value_or(0), c.port) << c.text;
    }
}

TEST(Common, PasswordsOfConnectionStringsAreMaskedWhereverTheyStand)
{
    const struct
    {
        const char *text;
        const char *masked;
    } cases[] = {
        {"ADO?Data Source=h;Password=secret;User ID=sa;", "ADO?Data Source=h;Password=**;User ID=sa;"},
        {"ADO?pwd=secret", "ADO?pwd=**"},
        {"Source=Server=h;password = a b;PWD=c", "Source=Server=h;password =**;PWD=**"},
        {"DataSource=Password=x", "DataSource=Password=**"},
        {"OldPassword=x;PasswordHint;db_pwd=y", "OldPassword=x;PasswordHint;db_pwd=y"},
        // A quoted value is masked whole, ";" and doubled quotes inside it included.
        {"ADO?Server=h;Password=\"ab;cd\"\"x\";Database=k;", "ADO?Server=h;Password=**;Database=k;"},
        {"Pwd = 'a;''b' ;Database=k", "Pwd =**;Database=k"},
        {"Password=\"never closed;Database=k", "Password=**"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MaskConnectionPassword(QString::fromLatin1(c.text), QStringLiteral("**")), QString::fromLatin1(c.masked)) << c.text;
    EXPECT_EQ(MaskConnectionPassword(QStringLiteral("Pwd=x"), QStringLiteral("\\1$0")), QStringLiteral("Pwd=\\1$0"));
}

TEST(Common, AConnectionStringValueIsReadBackAsItWasWritten)
{
    for (const QString &value : {QStringLiteral("plain"), QStringLiteral("ab;cd\"x"), QStringLiteral("\"q;"), QStringLiteral("'ab;c'"),
                                QStringLiteral(" a;b "), QStringLiteral("x\"\"y"), QString()}) {
        const QString text = QStringLiteral("ADO?") + ConnectionStringItem(QStringLiteral("Password"), value)
                           + QStringLiteral("Database=k;");
        QString read;
        const qsizetype end = ReadConnectionStringValue(text, text.indexOf(QLatin1Char('=')) + 1, &read);
        EXPECT_EQ(read, value) << text.toStdString();
        EXPECT_EQ(text.mid(end), QStringLiteral(";Database=k;")) << text.toStdString();
        EXPECT_EQ(MaskConnectionPassword(text, QStringLiteral("**")), QStringLiteral("ADO?Password=**;Database=k;"));
    }
}

TEST(Common, APrivateFileIsWrittenWholeForItsOwnerOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("private.txt"));
    QString error;
    ASSERT_TRUE(WritePrivateFile(path, "first", &error)) << error.toStdString();
    ASSERT_TRUE(WritePrivateFile(path, "second", &error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("second"));
    EXPECT_EQ(QFile::permissions(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_TRUE(WritePrivateFile(dir.filePath(QStringLiteral("empty")), {}));
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("empty"))).size(), 0);
    EXPECT_FALSE(WritePrivateFile(dir.filePath(QStringLiteral("missing/file")), "x", &error));
    EXPECT_FALSE(error.isEmpty());
}
