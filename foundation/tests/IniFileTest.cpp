#include "foundation/FileResolver.h"
#include "foundation/IniFile.h"
#include "foundation/uCommon.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

const QByteArray kSettings = "; server settings\r\n"
                             "[Data Access]\r\n"
                             "Connection String=PostgreSQL?Server=localhost;Database=Kestrova;\r\n"
                             "\r\n"
                             "[Server]\r\n"
                             "Port = 8099\r\n"
                             "Empty=\r\n"
                             "\r\n"
                             "[Unknown Section]\r\n"
                             "Keep Me=yes\r\n";

TEST(IniFile, SectionsAndKeysMatchWithoutCaseAndKeysMayHoldBlanks)
{
    QTemporaryDir dir;
    IniFile ini(writeFile(dir, QStringLiteral("settings.ini"), kSettings));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.value(QStringLiteral("DATA ACCESS"), QStringLiteral("connection string")),
              QStringLiteral("PostgreSQL?Server=localhost;Database=Kestrova;"));
    EXPECT_EQ(ini.value(QStringLiteral("server"), QStringLiteral("PORT")), QStringLiteral("8099"));
    EXPECT_TRUE(ini.contains(QStringLiteral("Server"), QStringLiteral("Empty")));
    EXPECT_EQ(ini.value(QStringLiteral("Server"), QStringLiteral("Empty"), QStringLiteral("d")), QString());
    EXPECT_EQ(ini.value(QStringLiteral("Server"), QStringLiteral("Missing"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.sections(), (QStringList{QStringLiteral("Data Access"), QStringLiteral("Server"),
                                           QStringLiteral("Unknown Section")}));
}

TEST(IniFile, WritingKeepsUnknownSectionsKeysAndComments)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("settings.ini"), kSettings);
    ASSERT_TRUE(IniFile::writeString(path, QStringLiteral("SERVER"), QStringLiteral("port"), QStringLiteral("9000")));
    ASSERT_TRUE(IniFile::writeString(path, QStringLiteral("Server"), QStringLiteral("New Key"), QStringLiteral("v")));
    ASSERT_TRUE(IniFile::writeString(path, QStringLiteral("Backup"), QStringLiteral("Path"), QStringLiteral("/b")));
    const QByteArray text = readFile(path);
    EXPECT_EQ(text, "; server settings\n"
                    "[Data Access]\n"
                    "Connection String=PostgreSQL?Server=localhost;Database=Kestrova;\n"
                    "\n"
                    "[Server]\n"
                    "Port=9000\n"
                    "Empty=\n"
                    "New Key=v\n"
                    "\n"
                    "[Unknown Section]\n"
                    "Keep Me=yes\n"
                    "[Backup]\n"
                    "Path=/b\n");
}

TEST(IniFile, MissingFileReadsDefaultsAndIsCreatedOnWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.ini"));
    EXPECT_EQ(IniFile::readString(path, QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("def")),
              QStringLiteral("def"));
    ASSERT_TRUE(IniFile::writeString(path, QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_EQ(readFile(path), "[S]\nK=v\n");
}

TEST(IniFile, EveryTextReadsBackAsWritten)
{
    const QStringList texts = {QStringLiteral("two\nlines"), QStringLiteral("crlf\r\nend\r\n"), QStringLiteral("  leading"),
                               QStringLiteral("trailing\t"), QStringLiteral(" "), QStringLiteral("\"quoted\""),
                               QStringLiteral("\"half"), QStringLiteral("back\\slash \\n \"x\""), QStringLiteral("bell\x07nul"),
                               QStringLiteral("[Section]"), QStringLiteral("a=b;c"), QStringLiteral("C:\\new"), QString(),
                               QStringLiteral("Grüße")};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("texts.ini"));
    for (int i = 0; i < texts.size(); ++i)
        ASSERT_TRUE(IniFile::writeString(path, QStringLiteral("S"), QStringLiteral("K%1").arg(i), texts[i]));
    ASSERT_TRUE(IniFile::writeString(path, QStringLiteral("S"), QStringLiteral("After"), QStringLiteral("last")));
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("K%1").arg(i)), texts[i]) << i;
    // A line break never starts a key of its own.
    EXPECT_EQ(ini.keys(QStringLiteral("S")).size(), texts.size() + 1);
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("After")), QStringLiteral("last"));
    EXPECT_TRUE(readFile(path).contains("K0=\"two\\nlines\"\n"));
}

TEST(IniFile, ValuesOfFilesWrittenBeforeReadAsTheyDid)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("old.ini"),
                                   "[S]\nPlain= spaced out \nName=\"My Church\"\nPath=C:\\new\\x41\nOdd=\"a\\qb\"\nHalf=\"open\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Plain")), QStringLiteral("spaced out"));
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Name")), QStringLiteral("\"My Church\""));
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Path")), QStringLiteral("C:\\new\\x41"));
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Odd")), QStringLiteral("\"a\\qb\""));
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Half")), QStringLiteral("\"open"));
    // Written back unchanged, they keep their text too.
    ASSERT_TRUE(ini.save());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Name")), QStringLiteral("\"My Church\""));
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Half")), QStringLiteral("\"open"));
}

TEST(IniFile, SeveralValuesAreWrittenAtOnceAndCredentialsStayWithTheOwner)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("settings.ini"), kSettings);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(IniFile::writeStrings(path, {{QStringLiteral("Data Access"), QStringLiteral("DataType"), QStringLiteral("MSSQL")},
                                             {QStringLiteral("Data Access"), QStringLiteral("DataSource"), QStringLiteral("ADO?Password=p;")}},
                                      ownerOnly));
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    EXPECT_EQ(QFile::permissions(path) & others, QFileDevice::Permissions());
    EXPECT_EQ(QFile::permissions(path) & ownerOnly, ownerOnly);
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.value(QStringLiteral("Data Access"), QStringLiteral("DataType")), QStringLiteral("MSSQL"));
    EXPECT_EQ(ini.value(QStringLiteral("Unknown Section"), QStringLiteral("Keep Me")), QStringLiteral("yes"));
    // A plain write keeps the permissions the file has.
    ASSERT_TRUE(IniFile::writeString(path, QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("1")));
    EXPECT_EQ(QFile::permissions(path) & others, QFileDevice::Permissions());
}

TEST(IniFile, ARewriteKeepsTheFilesOwnerGroupAndModeNeverLooserThanAsked)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("settings.ini"), kSettings);
    const QByteArray name = QFile::encodeName(path);
    // As a server installed for its own account: its file, rewritten by root.
    const uid_t service = 54321;
    const gid_t group = 54322;
    const struct
    {
        mode_t before;
        QFileDevice::Permissions asked;
        mode_t after;
    } cases[] = {
        {0600, QFileDevice::ReadOwner | QFileDevice::WriteOwner, 0600},
        {0640, QFileDevice::ReadOwner | QFileDevice::WriteOwner, 0600},
        {0400, QFileDevice::ReadOwner | QFileDevice::WriteOwner, 0400},
        {0644, {}, 0644},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before);
        ASSERT_EQ(::chown(name.constData(), service, group), 0);
        ASSERT_EQ(::chmod(name.constData(), c.before), 0);
        ASSERT_TRUE(IniFile::writeStrings(path, {{QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("8100")}}, c.asked));
        struct stat info {};
        ASSERT_EQ(::stat(name.constData(), &info), 0);
        EXPECT_EQ(info.st_uid, service);
        EXPECT_EQ(info.st_gid, group);
        EXPECT_EQ(info.st_mode & 07777, c.after);
        EXPECT_EQ(IniFile::readString(path, QStringLiteral("Server"), QStringLiteral("Port"), {}), QStringLiteral("8100"));
    }
}

TEST(IniFile, ConcurrentWritersOfDifferentKeysKeepEveryChange)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shared.ini"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&path, t] {
            for (int i = 0; i < 20; ++i)
                IniFile::writeString(path, QStringLiteral("S"), QStringLiteral("K%1_%2").arg(t).arg(i), QString::number(i));
        });
    for (auto &th : threads)
        th.join();
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.keys(QStringLiteral("S")).size(), 160);
}

TEST(LocalConfigFile, NameKeptOnlyForAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("Settings.ini"), kSettings);
    TvoLocalConfigFile present(path);
    EXPECT_EQ(present.FileName(), path);
    EXPECT_EQ(present.ReadString(QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("1")),
              QStringLiteral("8099"));
    EXPECT_EQ(present.ReadString(QStringLiteral("Server"), QStringLiteral("Empty"), QStringLiteral("1")), QString());
    EXPECT_TRUE(present.WriteString(QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("1")));
    EXPECT_EQ(TvoLocalConfigFile::ReadFromFile(path, QStringLiteral("server"), QStringLiteral("port"), {}),
              QStringLiteral("1"));

    const QString missing = dir.filePath(QStringLiteral("missing.ini"));
    TvoLocalConfigFile absent(missing);
    EXPECT_TRUE(absent.FileName().isEmpty());
    EXPECT_EQ(absent.ReadString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_FALSE(absent.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST(FileResolver, FindsNamesWithoutCase)
{
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("settings.ini"), "x");
    writeFile(dir, QStringLiteral("Contacts.DEF"), "x");
    writeFile(dir, QStringLiteral("groups.def"), "x");
    writeFile(dir, QStringLiteral("notes.txt"), "x");
    EXPECT_EQ(FileResolver::resolve(dir.path(), QStringLiteral("Settings.ini")), dir.filePath(QStringLiteral("settings.ini")));
    EXPECT_EQ(FileResolver::resolve(dir.path(), QStringLiteral("New.ini")), dir.filePath(QStringLiteral("New.ini")));
    EXPECT_EQ(FileResolver::match(dir.path(), QStringLiteral("*.def")),
              (QStringList{QStringLiteral("Contacts.DEF"), QStringLiteral("groups.def")}));
}

TEST(FileResolver, NetworkNamesStayInTheirFolder)
{
    EXPECT_TRUE(FileResolver::isPlainFileName(QStringLiteral("Contacts.def")));
    EXPECT_TRUE(FileResolver::isPlainFileName(QStringLiteral("a..b.txt")));
    for (const char *bad : {"", ".", "..", "../etc/passwd", "/etc/passwd", "sub/file", "sub\\file", "C:evil"})
        EXPECT_FALSE(FileResolver::isPlainFileName(QString::fromLatin1(bad))) << bad;
}

} // namespace
