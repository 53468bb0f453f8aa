// The wizard's pages and Finish against the real services over HTTP (one server and database for
// the program), driven through its actions offscreen: what the pages allow, what Finish stores,
// what it writes under the product key and hands to the host.
#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uDASetup.h"
#include "plugins/setup/uplgSetup.h"

#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"
#include "testsupport/QtPrinters.h"

#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "ui/PromptService.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;

namespace {

QString Registry(const QString &name)
{
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("<none>"), name);
    return value;
}

class Wizard : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new ServiceServer;
        s_server->Start();
    }
    static void TearDownTestSuite()
    {
        if (s_server->server)
            s_server->Stop();
        delete s_server;
    }

    void SetUp() override
    {
        if (!s_server->server)
            GTEST_SKIP();
        qputenv("KESTROVA_REGISTRY_DIR", QFile::encodeName(registry.path()));
        s_server->Sql(QStringLiteral("DELETE FROM tblUsers; DELETE FROM tblLnkMinistryTemplateToMinistryFunction; "
                                     "DELETE FROM tblMinistryTemplates; DELETE FROM tblMinistryFunctions; "
                                     "DELETE FROM tblLiturgyTemplates; DELETE FROM tblLocations;"));
        host.Connect(s_server->NewClient());
        controller.ModuleCreate();
        controller.AttachHost(&host);
        wizard = dynamic_cast<TplgInitialSetup *>(controller.CreatePlugin(TRvSetupController::SetupPlugin));
        ASSERT_NE(wizard, nullptr);
        wizard->SetFinishDelay(0);
        wizard->SetUserName(QStringLiteral("Pastor"));
        wizard->Prepare();
        wizard->show();
    }
    void TearDown() override
    {
        if (wizard)
            wizard->release();
        controller.AttachHost(nullptr);
        controller.ModuleDestroy();
        qunsetenv("KESTROVA_REGISTRY_DIR");
    }

    template <class W> W *Find(const char *name) const
    {
        W *widget = wizard->findChild<W *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton *ButtonNamed(const char *name) const { return Find<QPushButton>(name); }
    // As the user types it: the editor's text and its edit signal.
    static void Type(QLineEdit *edit, const QString &text)
    {
        edit->setText(text);
        emit edit->textEdited(text);
    }
    void Account(const QString &password1, const QString &password2)
    {
        Find<QLineEdit>("edPassword1")->setText(password1);
        Find<QLineEdit>("edPassword2")->setText(password2);
    }
    // Pages 1 to 4 with one liturgy and the template "Sunday" holding "Reader".
    void FillToPage4(bool windowsLogon)
    {
        Account(QStringLiteral("Credo1"), QStringLiteral("Credo1"));
        Find<QCheckBox>("chkWindowsLogon")->setChecked(windowsLogon);
        ButtonNamed("btnNext")->click();
        ButtonNamed("btnNext")->click();
        ButtonNamed("btnAddLiturgy")->click();
        ButtonNamed("btnNext")->click();
        ButtonNamed("btnAddTemplate")->click();
        ButtonNamed("btnNewFunction")->click();
        ButtonNamed("btnAddFunctionToTemplate")->click();
    }
    QString Count(const QString &table) const { return s_server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.") + table); }

    static inline ServiceServer *s_server = nullptr;
    QTemporaryDir registry;
    TStandInHost host;
    TRvSetupController controller;
    TplgInitialSetup *wizard = nullptr;
    TScriptedPrompt prompt;
};

} // namespace

TEST_F(Wizard, PageOneAcceptsMatchingOrEmptyPasswordsAndAFreshDatabaseOpensPageTwoWithOneLocation)
{
    EXPECT_EQ(wizard->GetResultCode(), 2);
    EXPECT_EQ(wizard->Step(), 1);
    EXPECT_EQ(Find<QLineEdit>("edUserName")->text(), QStringLiteral("Pastor"));
    EXPECT_TRUE(Find<QCheckBox>("chkWindowsLogon")->isChecked());
    EXPECT_TRUE(ButtonNamed("btnNext")->isEnabled()) << "two empty passwords";
    Account(QStringLiteral("Credo1"), QStringLiteral("Credo2"));
    EXPECT_FALSE(ButtonNamed("btnNext")->isEnabled());
    Account(QStringLiteral("Credo1"), QStringLiteral("Credo1"));
    Find<QLineEdit>("edUserName")->clear();
    EXPECT_FALSE(ButtonNamed("btnNext")->isEnabled());
    Find<QLineEdit>("edUserName")->setText(QStringLiteral("Pastor"));
    ButtonNamed("btnNext")->click();
    EXPECT_EQ(wizard->Step(), 2);
    auto *locations = Find<QListWidget>("lstLocations");
    ASSERT_EQ(locations->count(), 1);
    EXPECT_EQ(locations->item(0)->text(), QStringLiteral("Location 1"));
    EXPECT_EQ(Find<QLineEdit>("edLocationName")->text(), QStringLiteral("Location 1"));
    EXPECT_EQ(Count(QStringLiteral("tblLocations")), QStringLiteral("0")) << "nothing is written before Finish";

    // Removing the last location adds a new one at once.
    prompt.Answer(QMessageBox::Yes);
    ButtonNamed("btnRemoveLocation")->click();
    ASSERT_EQ(locations->count(), 1);
    EXPECT_EQ(locations->item(0)->text(), QStringLiteral("Location 1"));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::No);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Remove this location and every liturgy held there?"));
}

TEST_F(Wizard, PageOneSaysWhyNextWaitsAndTypedNamesReplaceTheProposedOnes)
{
    wizard->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wizard));
    auto *hint = Find<QLabel>("lblNextHint");
    auto *next = ButtonNamed("btnNext");
    EXPECT_FALSE(hint->isVisible());
    QTest::keyClicks(Find<QLineEdit>("edPassword1"), QStringLiteral("Credo1"));
    QTest::keyClicks(Find<QLineEdit>("edPassword2"), QStringLiteral("Credo"));
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), QStringLiteral("The two passwords differ: type the same password twice."));
    QTest::keyClicks(Find<QLineEdit>("edPassword2"), QStringLiteral("1"));
    EXPECT_TRUE(next->isEnabled());
    EXPECT_FALSE(hint->isVisible());
    QTest::mouseClick(next, Qt::LeftButton);
    ASSERT_EQ(wizard->Step(), 2);

    // The proposed name of the first location, then of one added, is replaced by what is typed.
    auto *name = Find<QLineEdit>("edLocationName");
    auto *locations = Find<QListWidget>("lstLocations");
    EXPECT_EQ(QApplication::focusWidget(), name);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("St. Mary"));
    QTest::mouseClick(ButtonNamed("btnAddLocation"), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), name);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("St. Joseph Chapel"));
    ASSERT_EQ(locations->count(), 2);
    EXPECT_EQ(locations->item(0)->text(), QStringLiteral("St. Mary"));
    EXPECT_EQ(locations->item(1)->text(), QStringLiteral("St. Joseph Chapel"));
    EXPECT_EQ(name->text(), QStringLiteral("St. Joseph Chapel"));
}

TEST_F(Wizard, TemplatesCountTheirFunctionsAndFinishWaitsForALink)
{
    Account(QString(), QString());
    ButtonNamed("btnNext")->click();
    ButtonNamed("btnNext")->click();
    ButtonNamed("btnAddLiturgy")->click();
    ButtonNamed("btnNext")->click();
    ASSERT_EQ(wizard->Step(), 4);
    EXPECT_FALSE(ButtonNamed("btnFinish")->isEnabled());
    auto *templates = Find<QTreeWidget>("tvTemplates");
    auto *functions = Find<QTreeWidget>("tvFunctions");
    ButtonNamed("btnAddTemplate")->click();
    ButtonNamed("btnAddTemplate")->click();
    ButtonNamed("btnNewFunction")->click();
    ASSERT_EQ(templates->topLevelItemCount(), 2);
    EXPECT_FALSE(ButtonNamed("btnFinish")->isEnabled()) << "no template holds a function yet";

    // The same function twice into the second template, once into the first.
    wizard->AddFunctionToTemplate(templates->topLevelItem(1), functions->topLevelItem(0));
    wizard->AddFunctionToTemplate(templates->topLevelItem(1), functions->topLevelItem(0));
    wizard->AddFunctionToTemplate(templates->topLevelItem(0), functions->topLevelItem(0));
    EXPECT_TRUE(ButtonNamed("btnFinish")->isEnabled());
    ASSERT_EQ(templates->topLevelItem(1)->childCount(), 1);
    EXPECT_EQ(templates->topLevelItem(1)->child(0)->text(0), QStringLiteral("New function (2)"));
    TDACDSDataTable &links = controller.DataModule()->LnkMinistryTemplateToMinistryFunction;
    EXPECT_EQ(links.GetRecordCount(), 2);

    // Removing from the first template leaves the second untouched.
    templates->setCurrentItem(templates->topLevelItem(0)->child(0));
    ButtonNamed("btnRemoveFunctionFromTemplate")->click();
    EXPECT_EQ(templates->topLevelItem(0)->childCount(), 0);
    EXPECT_EQ(templates->topLevelItem(1)->child(0)->text(0), QStringLiteral("New function (2)"));
    templates->setCurrentItem(templates->topLevelItem(1)->child(0));
    ButtonNamed("btnRemoveFunctionFromTemplate")->click();
    EXPECT_EQ(templates->topLevelItem(1)->child(0)->text(0), QStringLiteral("New function (1)"));
    EXPECT_EQ(links.GetRecordCount(), 1);

    // A function key in another letter case is the same key: its link counts on.
    {
        QTreeWidgetItem *function = functions->topLevelItem(0);
        const QString key = function->data(0, Qt::UserRole).toString();
        const QSignalBlocker quiet(functions);
        function->setData(0, Qt::UserRole, key.toLower());
        wizard->AddFunctionToTemplate(templates->topLevelItem(1), function);
        function->setData(0, Qt::UserRole, key);
    }
    ASSERT_EQ(templates->topLevelItem(1)->childCount(), 1);
    EXPECT_EQ(templates->topLevelItem(1)->child(0)->text(0), QStringLiteral("New function (2)"));
    EXPECT_EQ(links.GetRecordCount(), 1);

    // Renaming a template or a function to nothing is refused: each keeps, and shows, its name.
    templates->topLevelItem(1)->setText(0, QStringLiteral("  "));
    EXPECT_EQ(templates->topLevelItem(1)->text(0), QStringLiteral("New template"));
    EXPECT_EQ(controller.DataModule()->MinistryTemplates.AsString(QStringLiteral("MinistryTemplateName")), QStringLiteral("New template"));
    functions->topLevelItem(0)->setText(0, QString());
    EXPECT_EQ(functions->topLevelItem(0)->text(0), QStringLiteral("New function"));
    EXPECT_EQ(controller.DataModule()->MinistryFunctions.AsString(QStringLiteral("MinistryFunctionName")), QStringLiteral("New function"));
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("A ministry template needs a name; it keeps the name \"New template\"."));
    EXPECT_EQ(prompt.Prompts()[1].Text, QStringLiteral("A ministry function needs a name; it keeps the name \"New function\"."));
}

TEST_F(Wizard, NextRefusesALocationOrLiturgyWithoutANameAndSaysWhich)
{
    ButtonNamed("btnNext")->click();
    ButtonNamed("btnAddLocation")->click();
    auto *locations = Find<QListWidget>("lstLocations");
    ASSERT_EQ(locations->count(), 2);
    // The first location loses its name; the second is chosen when Next is pressed.
    locations->setCurrentRow(0);
    Type(Find<QLineEdit>("edLocationName"), QString());
    locations->setCurrentRow(1);
    ButtonNamed("btnNext")->click();
    EXPECT_EQ(wizard->Step(), 2);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Caption, QStringLiteral("A name is missing"));
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Every location needs a name: type one for the location chosen in the list."));
    EXPECT_EQ(locations->currentRow(), 0) << "the location without a name is shown";
    Type(Find<QLineEdit>("edLocationName"), QStringLiteral("St Anne"));
    ButtonNamed("btnNext")->click();
    ASSERT_EQ(wizard->Step(), 3);

    ButtonNamed("btnAddLiturgy")->click();
    Type(Find<QLineEdit>("edLiturgyName"), QStringLiteral(" "));
    ButtonNamed("btnNext")->click();
    EXPECT_EQ(wizard->Step(), 3);
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[1].Text, QStringLiteral("Every liturgy needs a name: type one for the liturgy chosen in the list."));
    Type(Find<QLineEdit>("edLiturgyName"), QStringLiteral("Mass"));
    ButtonNamed("btnNext")->click();
    EXPECT_EQ(wizard->Step(), 4);
    EXPECT_EQ(Count(QStringLiteral("tblLocations")), QStringLiteral("0")) << "nothing is written before Finish";
}

TEST_F(Wizard, ALiturgyIsAddedAfterTheLastLocationOfTheListWasRemoved)
{
    ButtonNamed("btnNext")->click();
    ButtonNamed("btnAddLocation")->click();
    auto *locations = Find<QListWidget>("lstLocations");
    ASSERT_EQ(locations->count(), 2);
    locations->setCurrentRow(1);
    prompt.Answer(QMessageBox::Yes);
    ButtonNamed("btnRemoveLocation")->click();
    ASSERT_EQ(locations->count(), 1);
    EXPECT_EQ(locations->currentRow(), 0) << "a location stays current";
    EXPECT_EQ(Find<QLineEdit>("edLocationName")->text(), QStringLiteral("Location 1"));
    ButtonNamed("btnNext")->click();
    ASSERT_EQ(wizard->Step(), 3);
    ButtonNamed("btnAddLiturgy")->click();
    auto *liturgies = Find<QTreeWidget>("tvLiturgies");
    ASSERT_EQ(liturgies->topLevelItemCount(), 1) << host.Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(liturgies->topLevelItem(0)->text(0), QStringLiteral("New liturgy (Location 1)"));
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

TEST_F(Wizard, FinishStoresTheContentAndAnAdministratorWithAHashAndHandsTheAccountOver)
{
    FillToPage4(false);
    ASSERT_TRUE(ButtonNamed("btnFinish")->isEnabled());
    ButtonNamed("btnFinish")->click();
    EXPECT_EQ(wizard->GetResultCode(), 1) << host.Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(wizard->GetUserLevel(), 0x7FFFFFFF);
    EXPECT_EQ(wizard->GetUserName(), QStringLiteral("Pastor"));
    EXPECT_FALSE(wizard->GetUseWindowsLogon());
    const QString account = s_server->db.scalar(QStringLiteral(
        "SELECT PK_UserID || '|' || F_Userlevel || '|' || coalesce(WindowsAccount, '') || '|' || UseInteractiveLogon FROM dbo.tblUsers"));
    EXPECT_EQ(account, wizard->GetUserID() + QStringLiteral("|{86A13150-8F61-47CC-9503-A5BFAE09F465}|") + TvoSysInfo::GetUserName() +
                           QStringLiteral("|0"));
    const QString stored = s_server->db.scalar(QStringLiteral("SELECT LogonPassword FROM dbo.tblUsers"));
    EXPECT_FALSE(stored.contains(QStringLiteral("Credo1")));
    EXPECT_TRUE(stored.startsWith(QStringLiteral("$argon2id$"))) << stored.toStdString();
    // Every table holds its row, each made by the nil id.
    for (const QString &table : {QStringLiteral("tblLocations"), QStringLiteral("tblLiturgyTemplates"),
                                 QStringLiteral("tblMinistryTemplates"), QStringLiteral("tblMinistryFunctions")}) {
        EXPECT_EQ(Count(table), QStringLiteral("1")) << table.toStdString();
        EXPECT_EQ(s_server->db.scalar(QStringLiteral("SELECT F_CreatedUserID FROM dbo.") + table), EmptyGUID) << table.toStdString();
    }
    EXPECT_EQ(s_server->db.scalar(QStringLiteral("SELECT MinistryFunctionCount FROM dbo.tblLnkMinistryTemplateToMinistryFunction")),
              QStringLiteral("1"));
    // Unchecked: only the last user is recorded.
    EXPECT_EQ(Registry(QStringLiteral("Last known user")), QStringLiteral("Pastor"));
    EXPECT_EQ(Registry(QStringLiteral("Use Windows logon")), QStringLiteral("<none>"));
    // The new account logs on with its password.
    s_server->LogOn(QStringLiteral("Pastor"), QStringLiteral("Credo1"));
}

TEST_F(Wizard, AnEmptyPasswordLogsOnEmptyAndTheCheckedBoxIsRecorded)
{
    FillToPage4(true);
    Account(QString(), QString());
    ButtonNamed("btnFinish")->click();
    ASSERT_EQ(wizard->GetResultCode(), 1) << host.Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(wizard->GetUseWindowsLogon());
    EXPECT_EQ(Registry(QStringLiteral("Use Windows logon")), QStringLiteral("Yes"));
    s_server->LogOn(QStringLiteral("Pastor"), QString());
}
