// Where the client writes: its own folder where that can be written, else the user's state
// folder, with the user's choices read over the shared settings file; and a choice that cannot
// be stored anywhere is told to the user.
#include "client/ClientConfiguration.h"
#include "client/uDMClient.h"
#include "client/ufWhatsNew.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/DialogScript.h"
#include "testsupport/OrdinaryUser.h"

#include "foundation/IniFile.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                             | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

// A program folder as an installation shares it, and a home of the user's own.
class SharedInstallation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(base.isValid());
        // The temporary folder is its maker's alone; the user must reach inside.
        QFile::setPermissions(base.path(), QFileDevice::Permissions(0x7755));
        ASSERT_TRUE(QDir(base.path()).mkpath(QStringLiteral("program/PlugIns")));
        ASSERT_TRUE(QDir(base.path()).mkpath(QStringLiteral("home")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_SOURCE_DIR "/client/Quorva.lng"), Program(QStringLiteral("Quorva.lng"))));
        ASSERT_TRUE(IniFile::writeStrings(Program(QStringLiteral("Settings.ini")),
                                          {{TClientConfiguration::Section, QStringLiteral("Animate splash"), QStringLiteral("False")},
                                           {TClientConfiguration::Section, QStringLiteral("ShowWhatsNew"), QStringLiteral("TRUE")}}));
        ASSERT_TRUE(AsOrdinaryUser::GiveToUser(Home()));
    }
    void TearDown() override
    {
        // Run as an ordinary user, the test could not remove what it made read-only.
        for (const QString &folder : {Program(), Home(QStringLiteral("state"))})
            if (QFileInfo::exists(folder))
                QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::WriteOwner);
    }

    QString Program(const QString &name = {}) const { return Path(QStringLiteral("program"), name); }
    QString Home(const QString &name = {}) const { return Path(QStringLiteral("home"), name); }
    QString Shared(const QString &key) const
    {
        return IniFile::readString(Program(QStringLiteral("Settings.ini")), TClientConfiguration::Section, key, QString());
    }

    QTemporaryDir base;

private:
    QString Path(const QString &folder, const QString &name) const
    {
        const QString path = base.filePath(folder);
        return name.isEmpty() ? path : path + QLatin1Char('/') + name;
    }
};

} // namespace

TEST_F(SharedInstallation, TheClientWritesInItsOwnFolderWhereItCanAndElseInTheUsersStateFolder)
{
    {
        // A checkout's stage: nothing moves.
        const TClientConfiguration config(Program(QStringLiteral("Quorva")));
        EXPECT_EQ(TClientConfiguration::WriteFolder(Program()), Program() + QLatin1Char('/'));
        EXPECT_EQ(config.UserSettingsFile(), config.SettingsFile());
        EXPECT_TRUE(config.SetShowWhatsNew(false));
        EXPECT_EQ(Shared(QStringLiteral("ShowWhatsNew")), QStringLiteral("False"));
        EXPECT_TRUE(config.SetShowWhatsNew(true));
    }

    ASSERT_TRUE(AsOrdinaryUser::ReadOnly(Program()));
    struct Case
    {
        const char *what;
        QByteArray stateHome;
        QString folder;
    };
    const Case cases[] = {
        {"XDG_STATE_HOME", QFile::encodeName(Home(QStringLiteral("state"))), Home(QStringLiteral("state/Orbek/Kestrova/"))},
        {"no XDG_STATE_HOME", QByteArray(), Home(QStringLiteral(".local/state/Orbek/Kestrova/"))},
        {"a relative XDG_STATE_HOME", QByteArrayLiteral("state"), Home(QStringLiteral(".local/state/Orbek/Kestrova/"))},
    };
    for (const Case &c : cases) {
        const ScopedEnvironment environment{{"HOME", QFile::encodeName(Home())}, {"XDG_STATE_HOME", c.stateHome}};
        const AsOrdinaryUser user;
        ASSERT_TRUE(user.Ordinary());
        const QString folder = TClientConfiguration::WriteFolder(Program());
        EXPECT_EQ(folder, c.folder) << c.what;
        EXPECT_TRUE(QFileInfo(folder).isDir()) << c.what;
        EXPECT_EQ(QFile::permissions(folder) & kOthers, QFileDevice::Permissions()) << c.what << ": the user's alone";

        // The choice is the user's and read over the shared file; the rest still comes from there.
        const TClientConfiguration config(Program(QStringLiteral("Quorva")));
        EXPECT_EQ(config.UserSettingsFile(), folder + QStringLiteral("Settings.ini")) << c.what;
        EXPECT_TRUE(config.SetShowWhatsNew(false)) << c.what;
        EXPECT_FALSE(config.ShowWhatsNew()) << c.what;
        EXPECT_FALSE(config.AnimateSplash()) << c.what;
        EXPECT_EQ(Shared(QStringLiteral("ShowWhatsNew")), QStringLiteral("True")) << c.what << ": the shared file is as it was";
    }
}

TEST_F(SharedInstallation, AChoiceThatCannotBeStoredIsToldToTheUser)
{
    // This version's what's-new page, and no folder the user may write.
    QFile page(Program(TvoSysInfo::BuildVersion() + QStringLiteral(".html")));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<p>What is new</p>");
    page.close();
    ASSERT_TRUE(QDir().mkpath(Home(QStringLiteral("state"))));
    ASSERT_TRUE(AsOrdinaryUser::ReadOnly(Home(QStringLiteral("state"))));
    ASSERT_TRUE(AsOrdinaryUser::ReadOnly(Program()));

    const ScopedEnvironment environment{{"HOME", QFile::encodeName(Home())},
                                        {"XDG_STATE_HOME", QFile::encodeName(Home(QStringLiteral("state")))}};
    TScriptedPrompt prompt;
    DialogScript script;
    bool ticked = false;
    script.Then<TfWhatsNew>([&](TfWhatsNew &window) {
        window.chkDontShow()->setChecked(true);
        ticked = true;
        PressLater(window.btnClose());
    });
    {
        const AsOrdinaryUser user;
        ASSERT_TRUE(user.Ordinary());
        TDMClient client(Program(QStringLiteral("Quorva")));
        client.ReadConfiguration();
        client.ShowWhatsNew();
        EXPECT_TRUE(client.Configuration().ShowWhatsNew()) << "nothing was stored";
    }
    EXPECT_TRUE(ticked);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Warning);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(Home(QStringLiteral("state/Orbek/Kestrova/Settings.ini"))))
        << prompt.Prompts()[0].Text.toStdString();
}
