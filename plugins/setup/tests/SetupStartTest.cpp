// A whole start of the real client host against the real Brennic on a database without users,
// offscreen, with the real set-up and splash modules: the splash shows while the host starts,
// the host hands over to the wizard, the scripted pages make the administrator and the first
// content (one Finish failing on the way), and the host goes on to the main window logged on
// as the new administrator without a log-on dialog.
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/uDMClient.h"
#include "client/uLogOn.h"
#include "client/uServerConnector.h"
#include "client/ufDlgLogin.h"
#include "client/ufMain.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LoopbackHostFactory.h"
#include "testsupport/RealBrennic.h"
#include "testsupport/QtPrinters.h"

#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "ui/PromptService.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;

namespace {

QWidget *Visible(const QString &objectName)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        if (top->objectName() == objectName)
            return top;
        if (auto *child = top->findChild<QWidget *>(objectName); child && child->isVisible())
            return child;
    }
    return nullptr;
}

template <class W> W *In(QWidget *wizard, const char *name)
{
    W *widget = wizard->findChild<W *>(QString::fromLatin1(name));
    if (!widget)
        ADD_FAILURE() << "no " << name;
    return widget;
}

void Type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void Click(QWidget *wizard, const char *button)
{
    QPushButton *b = In<QPushButton>(wizard, button);
    ASSERT_TRUE(b->isEnabled()) << button;
    b->click();
}

// Page by page, as a user fills them: the account, two locations, a liturgy at each, the
// function "Reader" twice in the template "Sunday Mass".
void FillPages(QWidget *wizard)
{
    Type(In<QLineEdit>(wizard, "edUserName"), QStringLiteral("Pastor"));
    Type(In<QLineEdit>(wizard, "edPassword1"), QStringLiteral("Credo2024"));
    Type(In<QLineEdit>(wizard, "edPassword2"), QStringLiteral("Credo2024"));
    In<QCheckBox>(wizard, "chkWindowsLogon")->setChecked(true);
    Click(wizard, "btnNext");

    Type(In<QLineEdit>(wizard, "edLocationName"), QStringLiteral("St Mary"));
    Click(wizard, "btnAddLocation");
    Type(In<QLineEdit>(wizard, "edLocationName"), QStringLiteral("St Joseph"));
    Type(In<QLineEdit>(wizard, "edLocationPhone1"), QStringLiteral("0123 456"));
    Click(wizard, "btnNext");

    auto *locations = In<QListWidget>(wizard, "lstLocations");
    for (int i = 0; i < locations->count(); ++i) {
        Click(wizard, "btnPrevious");
        locations->setCurrentRow(i);
        Click(wizard, "btnNext");
        Click(wizard, "btnAddLiturgy");
        Type(In<QLineEdit>(wizard, "edLiturgyName"), QStringLiteral("Sunday Mass"));
    }
    Click(wizard, "btnNext");

    Click(wizard, "btnAddTemplate");
    auto *templates = In<QTreeWidget>(wizard, "tvTemplates");
    templates->topLevelItem(0)->setText(0, QStringLiteral("Sunday Mass"));
    Click(wizard, "btnNewFunction");
    auto *functions = In<QTreeWidget>(wizard, "tvFunctions");
    functions->topLevelItem(0)->setText(0, QStringLiteral("Reader"));
    templates->setCurrentItem(templates->topLevelItem(0));
    functions->setCurrentItem(functions->topLevelItem(0));
    Click(wizard, "btnAddFunctionToTemplate");
    Click(wizard, "btnAddFunctionToTemplate");
}

class SetupStart : public RealBrennicSuite
{
protected:
    void SetUp() override
    {
        RealBrennicSuite::SetUp();
        if (!Ready())
            return;
        s_server->ClearUsersAndSettings();
        program.SetSetting(QStringLiteral("Animate splash"), QStringLiteral("False"));
        for (const QString &file : {QStringLiteral("RvSetup.qor"), QStringLiteral("RvSetup.lng"), QStringLiteral("RvSplash.qor")})
            ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns/") + file, program.Path(QStringLiteral("PlugIns/") + file)));
        factory.discoveryPort = s_server->DiscoveryPort();
    }
    QString Sql(const QString &query) const { return s_server->Db().scalar(query); }

    ProgramFolder program;
    TScriptedPrompt prompt;
    EndToEndFactory factory;
};

} // namespace

TEST_F(SetupStart, AFreshDatabaseIsSetUpFromTheClientAndTheNewAdministratorGoesStraightToTheMainWindow)
{
    bool splashShown = false;
    bool splashLeftOver = true;
    bool logOnDialog = false;
    bool wizardDriven = false;
    bool firstFinishFailed = false;
    QString wizardTitle;
    QString user;
    int userLevel = 0;

    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (Visible(QStringLiteral("plgSplash")))
            splashShown = true;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<TfDlgLogin *>(top) && top->isVisible()) {
                logOnDialog = true;
                top->close();
            }
        QWidget *wizard = Visible(QStringLiteral("plgInitialSetup"));
        if (!wizard || wizardDriven)
            return;
        wizardDriven = true;
        wizardTitle = wizard->window()->windowTitle();
        FillPages(wizard);
        // The database refuses the account once: Finish fails and the wizard stays open.
        s_server->Db().exec(QStringLiteral("ALTER TABLE dbo.tblUsers ADD CONSTRAINT refused_once CHECK (false) NOT VALID;"));
        Click(wizard, "btnFinish");
        firstFinishFailed = wizard->isVisible() && Sql(QStringLiteral("SELECT count(*) FROM dbo.tblUsers")) == QStringLiteral("0");
        s_server->Db().exec(QStringLiteral("ALTER TABLE dbo.tblUsers DROP CONSTRAINT refused_once;"));
        Click(wizard, "btnFinish");
    });
    watch.start();
    factory.inLoop = [&](TfMain &, TDMClient &client) {
        splashLeftOver = Visible(QStringLiteral("plgSplash")) != nullptr;
        if (client.User()) {
            user = client.User()->UserName;
            userLevel = client.User()->UserLevel;
        }
    };
    TQuorvaSteps steps(program.ProgramPath(), factory);
    TQuorvaStartup(steps, program.ProgramPath(), QStringLiteral(KESTROVA_VERSION)).Run();
    watch.stop();

    const QString log = FileLines(program.Path(QStringLiteral("session.txt"))).join(QLatin1Char('\n'));
    EXPECT_TRUE(splashShown) << "the splash shows while the host starts";
    EXPECT_FALSE(splashLeftOver) << "and is gone when the main window shows";
    ASSERT_TRUE(wizardDriven) << log.toStdString();
    EXPECT_TRUE(firstFinishFailed);
    EXPECT_EQ(wizardTitle, QStringLiteral("Kestrova - first set-up"));
    EXPECT_TRUE(log.contains(QStringLiteral("RvSetup\tacFinishExecute"))) << "the failure is logged";
    ASSERT_TRUE(factory.loopRan) << log.toStdString();
    EXPECT_FALSE(logOnDialog);
    EXPECT_EQ(user, QStringLiteral("Pastor"));
    EXPECT_EQ(userLevel, 0x7FFFFFFF);

    // One administrator and each row once, in spite of the repeated Finish.
    EXPECT_EQ(Sql(QStringLiteral("SELECT string_agg(LogonUsername || '/' || F_Userlevel, ',') FROM dbo.tblUsers")),
              QStringLiteral("Pastor/{86A13150-8F61-47CC-9503-A5BFAE09F465}"));
    EXPECT_EQ(Sql(QStringLiteral("SELECT string_agg(LocationName || ':' || coalesce(LocationPhone1, ''), ',' ORDER BY LocationName) FROM dbo.tblLocations")),
              QStringLiteral("St Joseph:0123 456,St Mary:"));
    EXPECT_EQ(Sql(QStringLiteral("SELECT string_agg(l.LocationName || '/' || t.LiturgyTemplateName, ',' ORDER BY l.LocationName) "
                                 "FROM dbo.tblLiturgyTemplates t JOIN dbo.tblLocations l ON l.PK_LocationID = t.F_LocationID")),
              QStringLiteral("St Joseph/Sunday Mass,St Mary/Sunday Mass"));
    EXPECT_EQ(Sql(QStringLiteral("SELECT string_agg(m.MinistryTemplateName || '/' || f.MinistryFunctionName || '/' || k.MinistryFunctionCount, ',') "
                                 "FROM dbo.tblLnkMinistryTemplateToMinistryFunction k "
                                 "JOIN dbo.tblMinistryTemplates m ON m.PK_MinistryTemplateID = k.F_MinistryTemplateID "
                                 "JOIN dbo.tblMinistryFunctions f ON f.PK_MinistryFunctionID = k.F_MinistryFunctionID")),
              QStringLiteral("Sunday Mass/Reader/2"));
    EXPECT_EQ(Sql(QStringLiteral("SELECT count(*) FROM dbo.tblMinistryFunctions")), QStringLiteral("1"));

    // The workstation keeps the name and the choice, and for the automatic log-on at most the
    // derived secret: the password itself is nowhere in its store.
    QString lastUser;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, lastUser, QString(), QStringLiteral("Last known user"));
    EXPECT_EQ(lastUser, QStringLiteral("Pastor"));
    QFile store(TQorReg::StorePath(HKEY_CURRENT_USER));
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_FALSE(store.readAll().contains("Credo2024"));
    EXPECT_FALSE(log.contains(QStringLiteral("Credo2024")));
}
