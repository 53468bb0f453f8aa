#include "tools/update/UpdateRun.h"
#include "tools/update/UpdateTexts.h"
#include "tools/update/VersionInstall.h"
#include "tools/update/uDM.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kestrova::test::FolderEntries;
using kestrova::test::ReadFile;
using kestrova::test::WriteFile;

struct NameCase
{
    const char *listed;
    const char *installed; // nullptr: refused
};

void PrintTo(const NameCase &c, std::ostream *out)
{
    *out << '"' << c.listed << '"';
}

class ListedNames : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(ListedNames, MapBelowTheFolderOrAreRefused)
{
    const NameCase &c = GetParam();
    if (!c.installed) {
        EXPECT_THROW(TVersionInstall::RelativeTarget(QString::fromUtf8(c.listed)), EVersionInstallError);
        return;
    }
    EXPECT_EQ(TVersionInstall::RelativeTarget(QString::fromUtf8(c.listed)), QString::fromUtf8(c.installed));
}

INSTANTIATE_TEST_SUITE_P(
    Names, ListedNames,
    ::testing::Values(NameCase{"\\Quorva", "Quorva"}, NameCase{"\\plugins\\RvEvents.qor", "plugins/RvEvents.qor"},
                      NameCase{"\\Setup.EX_", "Setup.EXe"}, NameCase{"\\bin\\tool.ex_", "bin/tool.exe"},
                      NameCase{"\\..\\outside", nullptr}, NameCase{"\\plugins\\..\\..\\outside", nullptr},
                      NameCase{"\\\\server\\share", nullptr}, NameCase{"/etc/passwd", nullptr},
                      NameCase{"\\C:\\Windows\\evil", nullptr}, NameCase{"\\plugins\\", nullptr},
                      NameCase{"\\.\\Quorva", nullptr}, NameCase{"", nullptr}));

TEST(VersionInstall, MovesEveryFileIntoPlaceOnlyAtCommit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("Quorva"), "old client"));
    TVersionInstall install(dir.path());
    install.Stage(QStringLiteral("\\Quorva"), "new client");
    install.Stage(QStringLiteral("\\plugins\\deep\\RvEvents.qor"), "events");
    EXPECT_EQ(ReadFile(dir.filePath("Quorva")), QByteArray("old client"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("plugins")));
    install.Commit();
    EXPECT_EQ(ReadFile(dir.filePath("Quorva")), QByteArray("new client"));
    EXPECT_EQ(ReadFile(dir.filePath("plugins/deep/RvEvents.qor")), QByteArray("events"));
    // Programs stay runnable; other files are not made so.
    EXPECT_TRUE(QFileInfo(dir.filePath("Quorva")).isExecutable());
    EXPECT_FALSE(QFileInfo(dir.filePath("plugins/deep/RvEvents.qor")).isExecutable());
}

TEST(VersionInstall, AnInstalledFileOfAnotherCaseIsTheOneReplaced)
{
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("Plugins/RvEvents.qor"), "old"));
    TVersionInstall install(dir.path());
    install.Stage(QStringLiteral("\\plugins\\rvevents.QOR"), "new");
    install.Commit();
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{"Plugins", "Plugins/RvEvents.qor"}));
    EXPECT_EQ(ReadFile(dir.filePath("Plugins/RvEvents.qor")), QByteArray("new"));
}

TEST(VersionInstall, AnUncommittedVersionLeavesTheFolderAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("Quorva"), "old client"));
    {
        TVersionInstall install(dir.path());
        install.Stage(QStringLiteral("\\Quorva"), "new client");
        install.Stage(QStringLiteral("\\help\\index.html"), "help");
    }
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"Quorva"});
    EXPECT_EQ(ReadFile(dir.filePath("Quorva")), QByteArray("old client"));
}

TEST(VersionInstall, AFolderInTheWayStopsTheCommitBeforeAnyFileMoves)
{
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("Quorva"), "old client"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("help/index.html")));
    {
        TVersionInstall install(dir.path());
        install.Stage(QStringLiteral("\\Quorva"), "new client");
        install.Stage(QStringLiteral("\\manual\\intro.html"), "intro");
        install.Stage(QStringLiteral("\\help\\index.html"), "help");
        EXPECT_THROW(install.Commit(), EVersionInstallError);
    }
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{"Quorva", "help", "help/index.html"}));
    EXPECT_EQ(ReadFile(dir.filePath("Quorva")), QByteArray("old client"));
}

TEST(VersionInstall, AFileWhereAFolderBelongsStopsTheCommitToo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("plugins"), "a file"));
    {
        TVersionInstall install(dir.path());
        install.Stage(QStringLiteral("\\Quorva"), "new client");
        install.Stage(QStringLiteral("\\plugins\\RvEvents.qor"), "events");
        EXPECT_THROW(install.Commit(), EVersionInstallError);
    }
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"plugins"});
}

TEST(UpdateRunRules, OnlyANewerVersionMayFollowTheLastOne)
{
    EXPECT_TRUE(TUpdateRun::MayInstall(QStringLiteral("1.0.0.5"), QStringLiteral("1.0.0.9")));
    EXPECT_FALSE(TUpdateRun::MayInstall(QStringLiteral("1.0.0.9"), QStringLiteral("1.0.0.9")));
    EXPECT_FALSE(TUpdateRun::MayInstall(QStringLiteral("1.0.0.9"), QStringLiteral("1.0.0.5")));
    EXPECT_FALSE(TUpdateRun::MayInstall(QStringLiteral("1.0.0.5"), QStringLiteral("latest")));
    EXPECT_TRUE(TUpdateRun::MayInstall(QString(), QStringLiteral("1.0.0.5")));
    EXPECT_FALSE(TUpdateRun::MayInstall(QString(), QString()));
}

TEST(UpdateRunRules, TheCommandLineNamesServerApplicationClientAndTheClientsArguments)
{
    const TUpdateOrder full = TUpdateOrder::FromArguments(
        {"http://server:8099/BIN", "Quorva", "/opt/kestrova/Quorva", "--server", "two words"});
    EXPECT_TRUE(full.HasServer);
    EXPECT_EQ(full.ServerURL, QStringLiteral("http://server:8099/BIN"));
    EXPECT_EQ(full.AppID, QStringLiteral("Quorva"));
    EXPECT_EQ(full.ClientProgram, QStringLiteral("/opt/kestrova/Quorva"));
    EXPECT_EQ(full.ClientArguments, (QStringList{"--server", "two words"}));
    EXPECT_FALSE(TUpdateOrder::FromArguments({"http://server:8099/BIN", "Quorva"}).HasServer);
}

TEST(UpdateRunRules, ReplyProgressIsAShareAndAnUnknownSizeShowsNone)
{
    EXPECT_EQ(TDM::Percent(50, 200), 25);
    EXPECT_EQ(TDM::Percent(200, 200), 100);
    EXPECT_EQ(TDM::Percent(1, 3), 33);
    EXPECT_EQ(TDM::Percent(10, 0), 0);
    EXPECT_EQ(TDM::Percent(10, -1), 0);
    EXPECT_EQ(TDM::Percent(10, 50), 20); // below 100 bytes too
}

TEST(UpdateTexts, EnglishForEveryLanguageWithoutItsOwnTable)
{
    UpdateTexts::SetLanguage(QLocale::German);
    EXPECT_EQ(UpdateTexts::Text(UpdateTexts::Title), QStringLiteral("Quorva Product Updater"));
    EXPECT_EQ(UpdateTexts::Text(UpdateTexts::NoUpdateService),
              QStringLiteral("No updates availiable or no service providing update available.\r"
                             "Please contact your system administrator for additional help."));
    EXPECT_EQ(UpdateTexts::Text(UpdateTexts::CheckingForMore), QStringLiteral("Checking for additional updates..."));
    EXPECT_EQ(UpdateTexts::Text(0), QString());
    EXPECT_EQ(UpdateTexts::Text(10), QString());
    UpdateTexts::SetLanguage(QLocale::NorwegianBokmal);
    EXPECT_EQ(UpdateTexts::Text(UpdateTexts::Title), QStringLiteral("Updater"));
    EXPECT_EQ(UpdateTexts::Text(UpdateTexts::Description), QStringLiteral("Please wait while you program is being updated."));
    UpdateTexts::SetLanguage(QLocale::system().language());
}

} // namespace
