#include "uQorServerSettings.h"

#include "foundation/IniFile.h"
#include "testsupport/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString WriteSettings(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    return path;
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(ServerSettings, SaveThenLoadGivesTheValuesBackAndKeepsEverythingElse)
{
    QTemporaryDir dir;
    const QString path = WriteSettings(dir, "; the data server's settings\r\n"
                                            "[Data Access]\r\nDatatype=MSSQL\r\n"
                                            "DataSource=ADO?AuxDriver=SQLOLEDB.1;Server=old;Database=parish;UserID=planner;\r\n"
                                            "[Updater]\r\nUse Web check=True\r\n"
                                            "[Somebody Else's]\r\nKey With Blanks=kept\r\n");
    TQorServerSettings settings(path);
    EXPECT_EQ(settings.ServerName(), QStringLiteral("old"));
    EXPECT_EQ(settings.UserName(), QStringLiteral("planner"));
    EXPECT_EQ(settings.DatabaseName(), QStringLiteral("parish"));
    EXPECT_FALSE(settings.IntegratedSecurity);
    settings.SetServerName(QStringLiteral("/run/postgresql,5433"));
    settings.SetPassword(QStringLiteral("s;cret"));
    settings.SetServerPort(QStringLiteral("9099"));
    settings.SetDiscoveryPort(QStringLiteral("9098"));
    settings.SetUseDiscovery(false);
    settings.Save();

    const TQorServerSettings again(path);
    EXPECT_EQ(again.ServerName(), QStringLiteral("/run/postgresql,5433"));
    EXPECT_EQ(again.UserName(), QStringLiteral("planner"));
    EXPECT_EQ(again.Password(), QStringLiteral("s;cret"));
    EXPECT_EQ(again.DatabaseName(), QStringLiteral("parish"));
    EXPECT_EQ(again.ServerPort(), QStringLiteral("9099"));
    EXPECT_EQ(again.DiscoveryPort(), QStringLiteral("9098"));
    EXPECT_FALSE(again.UseDiscovery());
    EXPECT_TRUE(again.DataSource().endsWith(QStringLiteral(";Database=parish;")));

    const QByteArray text = Read(path);
    EXPECT_TRUE(text.startsWith("; the data server's settings\n"));
    EXPECT_TRUE(text.contains("Datatype=MSSQL\n"));
    EXPECT_TRUE(text.contains("[Updater]\nUse Web check=True\n"));
    EXPECT_TRUE(text.contains("[Somebody Else's]\nKey With Blanks=kept\n"));
    EXPECT_TRUE(text.contains("Use discovery=FALSE\n"));
    // The file holds the password, so only its owner may read it.
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    EXPECT_EQ(QFile::permissions(path) & others, QFileDevice::Permissions());
}

TEST(ServerSettings, MissingKeysTakeTheirDefaultsAndAMissingFileIsNamed)
{
    QTemporaryDir dir;
    const TQorServerSettings settings(WriteSettings(dir, "[Other]\nA=1\n"));
    EXPECT_EQ(settings.DataSource(), QString());
    EXPECT_EQ(settings.ServerName(), QString());
    EXPECT_EQ(settings.ServerPort(), QStringLiteral("8099"));
    EXPECT_EQ(settings.DiscoveryPort(), QStringLiteral("8098"));
    EXPECT_TRUE(settings.UseDiscovery());
    EXPECT_EQ(settings.DatabaseName(), QStringLiteral("Kestrova"));

    const QString missing = dir.filePath(QStringLiteral("none.ini"));
    try {
        TQorServerSettings none(missing);
        FAIL();
    } catch (const std::runtime_error &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Unable to locate ") + missing);
    }
}

TEST(ServerSettings, UseDiscoveryReadsBooleanTextsAndNumbersAndTakesAnythingElseAsTrue)
{
    const struct
    {
        const char *value;
        bool use;
    } cases[] = {{"TRUE", true}, {"false", false}, {"False", false}, {"0", false}, {"1", true}, {"-2", true},
                 {"yes", true},  {"banana", true}, {"", true}};
    QTemporaryDir dir;
    for (const auto &c : cases) {
        const TQorServerSettings settings(WriteSettings(dir, QByteArray("[Discovery Service]\nUse discovery=") + c.value + "\n"));
        EXPECT_EQ(settings.UseDiscovery(), c.use) << c.value;
    }
}

TEST(ServerSettings, TheServerNameIsTheTextBetweenItsKeyAndTheNextSemicolon)
{
    const struct
    {
        const char *dataSource;
        const char *server;
    } cases[] = {
        {"ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=Kestrova;", "host"},
        {"ADO?AuxDriver=SQLOLEDB.1;Data Source=/run/postgresql,5432;Initial Catalog=Kestrova;", "/run/postgresql,5432"},
        {"ADO?AuxDriver=SQLOLEDB.1;Server=ServerRoom;Database=Kestrova;", "ServerRoom"},
        // No ";" after the server: nothing from "Server=", then "Data Source=" is tried.
        {"ADO?AuxDriver=SQLOLEDB.1;Database=Kestrova;Server=host", ""},
        {"ADO?Data Source=other;Server=host", "other"},
        {"ADO?AuxDriver=SQLOLEDB.1;Server=;Data Source=x;", "x"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TQorServerSettings::ExtractServerName(QString::fromLatin1(c.dataSource)), QString::fromLatin1(c.server)) << c.dataSource;
}

TEST(ServerSettings, BothTemplatesEndWithTheDatabaseItemAndCarryNoFixedPassword)
{
    const struct
    {
        bool integrated;
        const char *user;
        const char *password;
        const char *dataSource;
    } cases[] = {
        {true, "ignored", "ignored", "ADO?AuxDriver=SQLOLEDB.1;Integrated Security=SSPI;Server=host;Database=Kestrova;"},
        {false, "planner", "", "ADO?AuxDriver=SQLOLEDB.1;Server=host;UserID=planner;Database=Kestrova;"},
        {false, "planner", "pw", "ADO?AuxDriver=SQLOLEDB.1;Server=host;UserID=planner;Password=pw;Database=Kestrova;"},
        {false, "planner", "a;b\"c", "ADO?AuxDriver=SQLOLEDB.1;Server=host;UserID=planner;Password=\"a;b\"\"c\";Database=Kestrova;"},
        {false, "", "", "ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=Kestrova;"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TQorServerSettings::DataSourceText(c.integrated, QStringLiteral("host"), QStringLiteral("Kestrova"),
                                                     QString::fromLatin1(c.user), QString::fromLatin1(c.password)),
                  QString::fromLatin1(c.dataSource));
}

TEST(ServerSettings, APasswordWithSemicolonsSurvivesTheRoundTrip)
{
    QTemporaryDir dir;
    const QString path = WriteSettings(dir, "[Data Access]\n");
    TQorServerSettings settings(path);
    settings.SetServerName(QStringLiteral("host"));
    settings.SetUserName(QStringLiteral("planner"));
    settings.SetPassword(QStringLiteral(" x;y\"z "));
    settings.Save();
    EXPECT_EQ(TQorServerSettings(path).Password(), QStringLiteral(" x;y\"z "));
}

} // namespace
