// The settings view against a real data server, as an administrator uses it: locations,
// liturgies, ministry functions and templates added, moved and deleted reach the database in
// the order shown; a user added with a password logs on with it while the database holds only
// its hash; a table the server refuses in Deactivate leaves the other tables saved and a log
// line; the mail page stores nothing while the mail configuration cannot be read. One server
// and database serve every case of this program.
#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uDASettings.h"
#include "plugins/settings/uPlgSystemSettings.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QTableView>
#include <QTimeEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

class SettingsServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new ServiceServer;
        server->Start();
    }
    static void TearDownTestSuite()
    {
        if (server->db.available())
            server->Stop();
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        server->Sql(QStringLiteral("DELETE FROM tblLnkMinistryTemplateToMinistryFunction; DELETE FROM tblMinistryTemplates;"
                                   "DELETE FROM tblMinistryFunctions; DELETE FROM tblLiturgyTemplates; DELETE FROM tblLocations;"));
        const ServiceClient admin = server->Administrator();
        host.Channel = admin.Channel;
        host.Message = admin.Message;
        host.User.UserID = ServiceServer::kAdministratorId;
        host.User.UserName = QStringLiteral("admin");
        host.User.UserLevel = 0x7FFFFFFF;
        controller.ModuleCreate();
        controller.AttachHost(&host);
        OpenView();
    }

    void TearDown() override
    {
        CloseView();
        controller.AttachHost(nullptr);
        controller.ModuleDestroy();
    }

    void OpenView()
    {
        plugin = controller.CreatePlugin(TRvSettingsController::SettingsPlugin);
        ASSERT_NE(plugin, nullptr);
        auto visual = host_cast<Quorva::IHYVisualPlugin>(plugin);
        ASSERT_TRUE(visual);
        view = dynamic_cast<TplgSystemSettings *>(visual->GetWidget());
        ASSERT_NE(view, nullptr);
        view->resize(900, 600);
        view->Activate(nullptr);
    }
    void CloseView()
    {
        if (!plugin)
            return;
        view->Deactivate(nullptr);
        plugin->release();
        plugin = nullptr;
        view = nullptr;
    }
    // Leaves the view as the host does and comes back to it.
    void Reopen()
    {
        CloseView();
        OpenView();
    }

    // The column's values in the table's order, joined by commas.
    static QString Column(const QString &sql) { return server->db.scalar(QStringLiteral("SELECT string_agg(v, ',') FROM (%1) q").arg(sql)); }

    // The grid's first column, joined by commas.
    static QString Shown(QTableView *grid)
    {
        QStringList shown;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            shown << grid->model()->index(r, 0).data().toString();
        return shown.join(QLatin1Char(','));
    }

    static void Type(QLineEdit *edit, const QString &text)
    {
        edit->setText(text);
        emit edit->textEdited(text);
    }

    void AddLocation(const QString &name)
    {
        view->SetPage(TplgSystemSettings::pgLocations);
        view->acNew()->trigger();
        Type(view->LocationName(), name);
    }

    static inline ServiceServer *server = nullptr;
    TStandInHost host{THostPart::Settings | THostPart::Mail};
    TRvSettingsController controller;
    Quorva::IHYPlugin *plugin = nullptr;
    TplgSystemSettings *view = nullptr;
};

const QString kLocationOrder = QStringLiteral("SELECT LocationName AS v FROM dbo.tblLocations ORDER BY SortIndex");
const QString kLiturgyOrder = QStringLiteral(
    "SELECT LiturgyTemplateName || '@' || l.LocationName AS v FROM dbo.tblLiturgyTemplates t "
    "JOIN dbo.tblLocations l ON l.PK_LocationID = t.F_LocationID ORDER BY t.LiturgyIndex");
const QString kFunctionOrder = QStringLiteral("SELECT MinistryFunctionName AS v FROM dbo.tblMinistryFunctions ORDER BY SortIndex");
const QString kTemplateContents = QStringLiteral(
    "SELECT t.MinistryTemplateName || ':' || coalesce(f.MinistryFunctionName, '-') || 'x' || coalesce(k.MinistryFunctionCount, 0) AS v "
    "FROM dbo.tblMinistryTemplates t LEFT JOIN dbo.tblLnkMinistryTemplateToMinistryFunction k ON k.F_MinistryTemplateID = t.PK_MinistryTemplateID "
    "LEFT JOIN dbo.tblMinistryFunctions f ON f.PK_MinistryFunctionID = k.F_MinistryFunctionID ORDER BY t.SortIndex, f.MinistryFunctionName");

} // namespace

TEST_F(SettingsServer, LocationsAndLiturgiesAreAddedMovedAndDeletedInTheDatabase)
{
    AddLocation(QStringLiteral("St Mary"));
    AddLocation(QStringLiteral("St Paul"));
    AddLocation(QStringLiteral("Chapel"));
    // Leaving the page saves the locations; the next opening numbers them in their order.
    view->SetPage(TplgSystemSettings::pgLiturgies);
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblLocations")), QStringLiteral("3"));
    Reopen();
    // Rows never ordered come by name.
    EXPECT_EQ(Shown(view->LocationsGrid()), QStringLiteral("Chapel,St Mary,St Paul"));

    view->SetPage(TplgSystemSettings::pgLocations);
    view->LocationsGrid()->setCurrentIndex(view->LocationsGrid()->model()->index(0, 0));
    EXPECT_FALSE(view->acLocationUp()->isEnabled());
    view->acLocationDown()->trigger();
    view->acLocationDown()->trigger();
    EXPECT_FALSE(view->acLocationDown()->isEnabled());

    // Liturgies at the current location (Chapel, now last), then reordered.
    view->SetPage(TplgSystemSettings::pgLiturgies);
    for (const QString &name : {QStringLiteral("Vespers"), QStringLiteral("Mass"), QStringLiteral("Lauds")}) {
        view->acNew()->trigger();
        Type(view->LiturgyName(), name);
    }
    ASSERT_EQ(view->LiturgyList()->count(), 3);
    view->LiturgyList()->setCurrentRow(2);
    view->acLiturgyUp()->trigger();
    view->acLiturgyUp()->trigger();
    EXPECT_EQ(view->LiturgyList()->currentItem()->text(), QStringLiteral("Lauds"));
    Reopen();
    EXPECT_EQ(Column(kLocationOrder), QStringLiteral("St Mary,St Paul,Chapel"));
    EXPECT_EQ(Column(kLiturgyOrder), QStringLiteral("Lauds@Chapel,Vespers@Chapel,Mass@Chapel"));

    // Deleting a location deletes its liturgies first.
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->SetPage(TplgSystemSettings::pgLocations);
    view->LocationsGrid()->setCurrentIndex(view->LocationsGrid()->model()->index(2, 0));
    view->acDelete()->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::No);
    Reopen();
    EXPECT_EQ(Column(kLocationOrder), QStringLiteral("St Mary,St Paul"));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblLiturgyTemplates")), QStringLiteral("0"));
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SettingsServer, FunctionsAndTemplatesWithCountsReachTheDatabaseAndServerSideDeletions)
{
    view->SetPage(TplgSystemSettings::pgFunctions);
    for (const QString &name : {QStringLiteral("Lector"), QStringLiteral("Acolyte"), QStringLiteral("Cantor")}) {
        view->acNew()->trigger();
        Type(view->FunctionName(), name);
    }
    Reopen();
    EXPECT_EQ(Shown(view->FunctionsGrid()), QStringLiteral("Acolyte,Cantor,Lector"));
    view->SetPage(TplgSystemSettings::pgFunctions);
    view->FunctionsGrid()->setCurrentIndex(view->FunctionsGrid()->model()->index(2, 0));
    view->acFunctionUp()->trigger(); // Lector before Cantor

    view->SetPage(TplgSystemSettings::pgTemplates);
    QTreeWidget *templates = view->TemplateTree();
    QTreeWidget *functions = view->FunctionTree();
    for (const QString &name : {QStringLiteral("Sunday"), QStringLiteral("Weekday")}) {
        view->acNew()->trigger();
        templates->currentItem()->setText(0, name); // as typed in place
    }
    ASSERT_EQ(templates->topLevelItemCount(), 2);
    // Not numbered until the next opening: no partner to move with.
    templates->setCurrentItem(templates->topLevelItem(1));
    view->acTemplateUp()->trigger();
    EXPECT_EQ(templates->topLevelItem(1)->text(0), QStringLiteral("Weekday"));
    Reopen();
    view->SetPage(TplgSystemSettings::pgTemplates);
    templates = view->TemplateTree();
    functions = view->FunctionTree();
    ASSERT_EQ(templates->topLevelItemCount(), 2);
    ASSERT_EQ(functions->topLevelItemCount(), 3);
    auto function = [&](const QString &name) { return functions->findItems(name, Qt::MatchExactly).value(0); };
    templates->setCurrentItem(templates->topLevelItem(0));
    functions->setCurrentItem(function(QStringLiteral("Lector")));
    view->acAddFunction()->trigger();
    view->acAddFunction()->trigger();
    EXPECT_EQ(templates->currentItem()->text(0), QStringLiteral("Lector (2)"));
    view->AddFunctionToTemplate(templates->topLevelItem(0), function(QStringLiteral("Cantor")));
    view->AddFunctionToTemplate(templates->topLevelItem(1), function(QStringLiteral("Acolyte")));
    // Weekday first.
    templates->setCurrentItem(templates->topLevelItem(1));
    EXPECT_FALSE(view->acTemplateDown()->isEnabled());
    view->acTemplateUp()->trigger();
    EXPECT_EQ(templates->topLevelItem(0)->text(0), QStringLiteral("Weekday"));
    Reopen();
    EXPECT_EQ(Column(kFunctionOrder), QStringLiteral("Acolyte,Lector,Cantor"));
    EXPECT_EQ(Column(kTemplateContents), QStringLiteral("Weekday:Acolytex1,Sunday:Cantorx1,Sunday:Lectorx2"));

    // One less Lector; then Cantor deleted on the server takes its link with it.
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    prompt.Answer(QMessageBox::Yes);
    view->SetPage(TplgSystemSettings::pgTemplates);
    templates = view->TemplateTree();
    QTreeWidgetItem *sunday = templates->topLevelItem(1);
    ASSERT_EQ(sunday->childCount(), 2);
    for (int i = 0; i < sunday->childCount(); ++i)
        if (sunday->child(i)->text(0).startsWith(QStringLiteral("Lector")))
            view->RemoveMinistryFunction(sunday->child(i));
    view->SetPage(TplgSystemSettings::pgFunctions);
    view->FunctionsGrid()->setCurrentIndex(view->FunctionsGrid()->model()->index(2, 0));
    view->acDelete()->trigger();
    EXPECT_EQ(Column(kFunctionOrder), QStringLiteral("Acolyte,Lector"));
    EXPECT_EQ(view->FunctionsGrid()->model()->rowCount(), 2);
    // The Weekday template goes with its link.
    view->SetPage(TplgSystemSettings::pgTemplates);
    templates->setCurrentItem(templates->topLevelItem(0));
    view->acDelete()->trigger();
    EXPECT_EQ(prompt.Prompts().size(), 2);
    Reopen();
    EXPECT_EQ(Column(kTemplateContents), QStringLiteral("Sunday:Lectorx1"));
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SettingsServer, AUserAddedWithAPasswordLogsOnWithItAndOnlyItsHashIsStored)
{
    view->SetPage(TplgSystemSettings::pgUsers);
    view->acNew()->trigger();
    Type(view->UserName(), QStringLiteral("martha"));
    view->AskPassword = []() -> std::optional<QString> { return QStringLiteral("Gloria7"); };
    view->SetPassword();
    Reopen();
    const QString stored = server->db.scalar(QStringLiteral("SELECT LogonPassword FROM dbo.tblUsers WHERE LogonUsername = 'martha'"));
    EXPECT_TRUE(stored.startsWith(QStringLiteral("$argon2id$"))) << stored.toStdString();
    EXPECT_FALSE(stored.contains(QStringLiteral("Gloria7")));
    server->LogOn(QStringLiteral("martha"), QStringLiteral("Gloria7"));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT F_Userlevel FROM dbo.tblUsers WHERE LogonUsername = 'martha'")), kUserLevel);

    // The client never holds the stored password; an edit without a new one keeps it.
    TDACDSDataTable &users = controller.Data().Users;
    ASSERT_TRUE(users.Locate(QStringLiteral("LogonUsername"), QStringLiteral("martha")));
    EXPECT_TRUE(users.IsNull(QStringLiteral("LogonPassword")));
    view->SetPage(TplgSystemSettings::pgUsers);
    const int row = users.GetRecNo();
    view->UsersGrid()->setCurrentIndex(view->UsersGrid()->model()->index(row, 0));
    EXPECT_TRUE(view->acDelete()->isEnabled());
    Type(view->UserName(), QStringLiteral("marthab"));
    Reopen();
    server->LogOn(QStringLiteral("marthab"), QStringLiteral("Gloria7"));

    // The logged-on administrator can neither be deleted nor change their own level.
    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), ServiceServer::kAdministratorId));
    view->SetPage(TplgSystemSettings::pgUsers);
    view->UsersGrid()->setCurrentIndex(view->UsersGrid()->model()->index(users.GetRecNo(), 0));
    EXPECT_FALSE(view->acDelete()->isEnabled());
    EXPECT_FALSE(view->UserLevel()->isEnabled());

    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    ASSERT_TRUE(users.Locate(QStringLiteral("LogonUsername"), QStringLiteral("marthab")));
    view->UsersGrid()->setCurrentIndex(view->UsersGrid()->model()->index(users.GetRecNo(), 0));
    EXPECT_TRUE(view->UserLevel()->isEnabled());
    view->acDelete()->trigger();
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblUsers WHERE LogonUsername = 'marthab'")), QStringLiteral("0"));
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SettingsServer, UsersAreListedByLogOnNameWithTheirStampsAndTheTimeOfTheLastLogOn)
{
    view->SetPage(TplgSystemSettings::pgUsers);
    for (const QString &name : {QStringLiteral("zeta"), QStringLiteral("Beta"), QStringLiteral("alpha")}) {
        view->acNew()->trigger();
        // The new user is in the list and the one marked there, before a name is typed.
        const QModelIndexList marked = view->UsersGrid()->selectionModel()->selectedRows();
        ASSERT_EQ(marked.size(), 1) << name.toStdString();
        EXPECT_EQ(marked[0].data().toString(), QStringLiteral("NewUser")) << name.toStdString();
        EXPECT_EQ(view->UsersGrid()->currentIndex().row(), marked[0].row()) << name.toStdString();
        Type(view->UserName(), name);
    }
    view->AskPassword = []() -> std::optional<QString> { return QStringLiteral("Gloria7"); };
    view->SetPassword();
    Reopen();
    EXPECT_EQ(Shown(view->UsersGrid()), QStringLiteral("admin,alpha,Beta,zeta")) << "by name, whatever the case";
    server->LogOn(QStringLiteral("alpha"), QStringLiteral("Gloria7"));
    Reopen();

    TDACDSDataTable &users = controller.Data().Users;
    ASSERT_TRUE(users.Locate(QStringLiteral("LogonUsername"), QStringLiteral("alpha")));
    view->SetPage(TplgSystemSettings::pgUsers);
    view->UsersGrid()->setCurrentIndex(view->UsersGrid()->model()->index(users.GetRecNo(), 0));
    const auto shown = [this](const char *label) { return view->findChild<QLabel *>(QLatin1String(label))->text(); };
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto &[field, label] : {std::pair(QStringLiteral("CreatedDateTime"), "lblCreated"),
                                       std::pair(QStringLiteral("ModifiedDateTime"), "lblModified"),
                                       std::pair(QStringLiteral("LastLoginDate"), "lblLastLogon")}) {
        const QDateTime stamp = users.Value(field).toDateTime();
        EXPECT_LT(qAbs(stamp.secsTo(now)), 600) << label << ": " << stamp.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(shown(label), QLocale().toString(stamp, QLocale::ShortFormat)) << label;
    }
    EXPECT_NE(users.Value(QStringLiteral("LastLoginDate")).toDateTime().time(), QTime(0, 0)) << "the log-on keeps its time";

    // Each tool-bar button shows its own picture, and Print is no disk.
    QList<QImage> pictures;
    for (QAction *action : {view->acNew(), view->acDelete(), view->acPrint(), view->acRefresh(), view->acHelp()})
        pictures << action->icon().pixmap(24, 24).toImage();
    EXPECT_NE(pictures[2], QApplication::style()->standardIcon(QStyle::SP_DialogSaveButton).pixmap(24, 24).toImage());
    for (int i = 0; i < pictures.size(); ++i)
        for (int j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i], pictures[j]) << "buttons " << i << " and " << j;
    server->Sql(QStringLiteral("DELETE FROM tblUsers WHERE LogonUsername IN ('alpha', 'Beta', 'zeta')"));
}

TEST_F(SettingsServer, NamesLeftEmptyAreRefusedWithAMessageAndTheRowsKeepTheirNames)
{
    AddLocation(QStringLiteral("St Mary"));
    view->SetPage(TplgSystemSettings::pgLiturgies);
    view->acNew()->trigger();
    Type(view->LiturgyName(), QStringLiteral("Mass"));
    view->SetPage(TplgSystemSettings::pgFunctions);
    view->acNew()->trigger();
    Type(view->FunctionName(), QStringLiteral("Lector"));
    view->SetPage(TplgSystemSettings::pgTemplates);
    view->acNew()->trigger();
    view->TemplateTree()->currentItem()->setText(0, QStringLiteral("Sunday"));
    view->SetPage(TplgSystemSettings::pgUsers);
    view->acNew()->trigger();
    Type(view->UserName(), QStringLiteral("ruth"));
    Reopen();

    TScriptedPrompt prompt;
    TDACDSDataTable &users = controller.Data().Users;
    // Each name is cleared and its page left (the template is renamed in place).
    view->SetPage(TplgSystemSettings::pgLocations);
    Type(view->LocationName(), QString());
    EXPECT_EQ(Shown(view->LocationsGrid()), QStringLiteral("St Mary")) << "the grid shows the name that is kept";
    view->SetPage(TplgSystemSettings::pgLiturgies);
    Type(view->LiturgyName(), QStringLiteral("  "));
    EXPECT_EQ(view->LiturgyList()->currentItem()->text(), QStringLiteral("Mass"));
    view->SetPage(TplgSystemSettings::pgTemplates);
    view->TemplateTree()->topLevelItem(0)->setText(0, QString());
    EXPECT_EQ(view->TemplateTree()->topLevelItem(0)->text(0), QStringLiteral("Sunday"));
    view->SetPage(TplgSystemSettings::pgUsers);
    ASSERT_TRUE(users.Locate(QStringLiteral("LogonUsername"), QStringLiteral("ruth")));
    view->UsersGrid()->setCurrentIndex(view->UsersGrid()->model()->index(users.GetRecNo(), 0));
    Type(view->UserName(), QString());
    view->SetPage(TplgSystemSettings::pgFunctions);
    EXPECT_EQ(view->UserName()->text(), QStringLiteral("ruth")) << "the kept name is shown again";
    // The function's name is cleared and the view left at once.
    Type(view->FunctionName(), QString());
    CloseView();

    QStringList told;
    for (const TScriptedPrompt::Shown &shown : prompt.Prompts()) {
        EXPECT_EQ(shown.Caption, QStringLiteral("A name is missing"));
        EXPECT_EQ(shown.Icon, QMessageBox::Warning);
        told << shown.Text;
    }
    EXPECT_EQ(told, QStringList({QStringLiteral("A location needs a name; it keeps the name \"St Mary\"."),
                                 QStringLiteral("A liturgy needs a name; it keeps the name \"Mass\"."),
                                 QStringLiteral("A ministry template needs a name; it keeps the name \"Sunday\"."),
                                 QStringLiteral("A user needs a log-on name; the account keeps the name \"ruth\"."),
                                 QStringLiteral("A ministry function needs a name; it keeps the name \"Lector\".")}));
    EXPECT_EQ(Column(kLocationOrder), QStringLiteral("St Mary"));
    EXPECT_EQ(Column(QStringLiteral("SELECT LiturgyTemplateName AS v FROM dbo.tblLiturgyTemplates")), QStringLiteral("Mass"));
    EXPECT_EQ(Column(kFunctionOrder), QStringLiteral("Lector"));
    EXPECT_EQ(Column(QStringLiteral("SELECT MinistryTemplateName AS v FROM dbo.tblMinistryTemplates")), QStringLiteral("Sunday"));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblUsers WHERE LogonUsername = 'ruth'")), QStringLiteral("1"));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblUsers WHERE trim(coalesce(LogonUsername, '')) = ''")),
              QStringLiteral("0"));
    server->Sql(QStringLiteral("DELETE FROM tblUsers WHERE LogonUsername = 'ruth'"));
    OpenView();
}

// Another planner renamed a row while this one had it open and renamed it too.
TEST_F(SettingsServer, ARenameAnotherPlannerSavedFirstIsToldAndLosesNothing)
{
    struct TCase
    {
        int Page;
        QString Insert;
        QString Rename; // what the other planner saved
        QString Stored;
        QLineEdit *(TplgSystemSettings::*Name)() const;
        QTableView *(TplgSystemSettings::*Grid)() const;
    };
    const TCase cases[] = {
        {TplgSystemSettings::pgLocations,
         QStringLiteral("INSERT INTO tblLocations (PK_LocationID, LocationName, SortIndex) VALUES ('{10000000-0000-0000-0000-0000000000C1}', 'Read', 0)"),
         QStringLiteral("UPDATE tblLocations SET LocationName = 'Theirs'"), QStringLiteral("SELECT LocationName FROM dbo.tblLocations"),
         &TplgSystemSettings::LocationName, &TplgSystemSettings::LocationsGrid},
        {TplgSystemSettings::pgFunctions,
         QStringLiteral("INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, SortIndex) VALUES "
                        "('{20000000-0000-0000-0000-0000000000C1}', 'Read', 0)"),
         QStringLiteral("UPDATE tblMinistryFunctions SET MinistryFunctionName = 'Theirs'"),
         QStringLiteral("SELECT MinistryFunctionName FROM dbo.tblMinistryFunctions"), &TplgSystemSettings::FunctionName,
         &TplgSystemSettings::FunctionsGrid},
        {TplgSystemSettings::pgUsers,
         QStringLiteral("INSERT INTO tblUsers (PK_UserID, LogonUsername, F_Userlevel) VALUES ('{30000000-0000-0000-0000-0000000000C1}', 'Read', '%1')")
             .arg(kestrova::test::kUserLevel),
         QStringLiteral("UPDATE tblUsers SET LogonUsername = 'Theirs' WHERE LogonUsername = 'Read'"),
         QStringLiteral("SELECT LogonUsername FROM dbo.tblUsers WHERE PK_UserID = '{30000000-0000-0000-0000-0000000000C1}'"),
         &TplgSystemSettings::UserName, &TplgSystemSettings::UsersGrid}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Page);
        server->Sql(c.Insert);
        Reopen();
        view->SetPage(c.Page);
        QTableView *grid = (view->*c.Grid)();
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            if (grid->model()->index(r, 0).data().toString() == QStringLiteral("Read"))
                grid->setCurrentIndex(grid->model()->index(r, 0));
        ASSERT_EQ(grid->currentIndex().data().toString(), QStringLiteral("Read"));
        server->Sql(c.Rename);
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::No);
        prompt.Answer(QMessageBox::Yes);
        Type((view->*c.Name)(), QStringLiteral("Mine"));
        view->acRefresh()->trigger(); // saves the page: refused
        ASSERT_EQ(prompt.Prompts().size(), 1) << host.Log.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("Read"))) << prompt.Prompts()[0].Text.toStdString();
        EXPECT_EQ((view->*c.Name)()->text(), QStringLiteral("Mine"));
        view->acRefresh()->trigger(); // refused again; this time the stored row is loaded
        ASSERT_EQ(prompt.Prompts().size(), 2);
        EXPECT_EQ((view->*c.Name)()->text(), QStringLiteral("Theirs"));
        Type((view->*c.Name)(), QStringLiteral("Mine"));
        view->acRefresh()->trigger();
        EXPECT_EQ(prompt.Prompts().size(), 2);
        EXPECT_EQ(server->db.scalar(c.Stored), QStringLiteral("Mine"));
        host.Log.clear();
    }

    // A template renamed in place in the tree: the tree shows his name, then the stored one.
    server->Sql(QStringLiteral("INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName, SortIndex) VALUES "
                               "('{40000000-0000-0000-0000-0000000000C1}', 'Read', 9)"));
    Reopen();
    view->SetPage(TplgSystemSettings::pgTemplates);
    const auto named = [&](const QString &name) { return view->TemplateTree()->findItems(name, Qt::MatchExactly).value(0); };
    ASSERT_NE(named(QStringLiteral("Read")), nullptr);
    server->Sql(QStringLiteral("UPDATE tblMinistryTemplates SET MinistryTemplateName = 'Theirs' WHERE MinistryTemplateName = 'Read'"));
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    prompt.Answer(QMessageBox::Yes);
    named(QStringLiteral("Read"))->setText(0, QStringLiteral("Mine"));
    view->acRefresh()->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1) << host.Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_NE(named(QStringLiteral("Mine")), nullptr);
    view->acRefresh()->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(named(QStringLiteral("Mine")), nullptr);
    ASSERT_NE(named(QStringLiteral("Theirs")), nullptr);
    named(QStringLiteral("Theirs"))->setText(0, QStringLiteral("Mine"));
    view->acRefresh()->trigger();
    EXPECT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT MinistryTemplateName FROM dbo.tblMinistryTemplates "
                                               "WHERE PK_MinistryTemplateID = '{40000000-0000-0000-0000-0000000000C1}'")),
              QStringLiteral("Mine"));
    host.Log.clear();
}

TEST_F(SettingsServer, ATableRefusedInDeactivateLeavesTheOthersSavedAndALogLine)
{
    server->Sql(QStringLiteral("CREATE FUNCTION dbo.refuse_templates() RETURNS trigger LANGUAGE plpgsql AS "
                               "$$BEGIN RAISE EXCEPTION 'templates are closed'; END$$;"
                               "CREATE TRIGGER refuse_templates BEFORE INSERT ON dbo.tblMinistryTemplates "
                               "FOR EACH ROW EXECUTE FUNCTION dbo.refuse_templates();"));
    view->SetPage(TplgSystemSettings::pgFunctions);
    view->acNew()->trigger();
    Type(view->FunctionName(), QStringLiteral("Sacristan"));
    view->SetPage(TplgSystemSettings::pgTemplates);
    view->acNew()->trigger();
    view->SetPage(TplgSystemSettings::pgUsers);
    view->acNew()->trigger();
    Type(view->UserName(), QStringLiteral("thomas"));
    // The templates are refused while the page is left and again in Deactivate.
    CloseView();
    server->Sql(QStringLiteral("DROP TRIGGER refuse_templates ON dbo.tblMinistryTemplates; DROP FUNCTION dbo.refuse_templates();"));
    EXPECT_EQ(Column(kFunctionOrder), QStringLiteral("Sacristan"));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblUsers WHERE LogonUsername = 'thomas'")), QStringLiteral("1"));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblMinistryTemplates")), QStringLiteral("0"));
    const QStringList failures = host.Log.filter(QStringLiteral("OnDeactivate"));
    ASSERT_EQ(failures.size(), 1) << host.Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(failures[0].startsWith(QStringLiteral("2 Settings OnDeactivate: MinistryTemplates was not saved")));
    EXPECT_TRUE(failures[0].contains(QStringLiteral("templates are closed")));
    OpenView();
}

TEST_F(SettingsServer, OptionsAndColoursAreStoredAsTheEventsModuleReadsThem)
{
    EXPECT_EQ(view->WorkStart()->time(), QTime(8, 0));
    EXPECT_EQ(view->WorkEnd()->time(), QTime(16, 0));
    EXPECT_TRUE(view->MonthNumber()->isChecked());
    EXPECT_EQ(view->Duration()->currentData().toInt(), 60);
    view->MonthNumber()->setChecked(false);
    view->Duration()->setCurrentIndex(view->Duration()->findData(45));
    view->ColorBox(2)->setCurrentIndex(view->ColorBox(2)->findText(QStringLiteral("Navy")));
    CloseView();
    EXPECT_EQ(host.Settings.value(QStringLiteral("ShowMonthNumber")), QStringLiteral("0"));
    EXPECT_EQ(host.Settings.value(QStringLiteral("StandardDuration")), QStringLiteral("45"));
    EXPECT_EQ(host.Settings.value(QStringLiteral("WorkhourStart")), QStringLiteral("08:00"));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT ColorIntValue FROM dbo.tblEventColors WHERE PK_ColorID = '%1'")
                                    .arg(TplgSystemSettings::ColorIDs[2])),
              QString::number(0x800000));
    host.Settings[QStringLiteral("StandardDuration")] = QStringLiteral("90");
    OpenView();
    EXPECT_EQ(view->Duration()->currentData().toInt(), 90);
    EXPECT_EQ(view->ColorBox(2)->currentText(), QStringLiteral("Navy"));

    // Layout reset: every saved grid layout and the settings beside them (the schedule's
    // grouping too), then the information box.
    host.Settings[QStringLiteral("ScheduleEventsGrid.GroupColumn")] = QStringLiteral("3");
    host.Settings[QStringLiteral("Contacts_ViewType")] = QStringLiteral("1");
    TScriptedPrompt prompt;
    view->ResetLayouts();
    EXPECT_EQ(host.Cleared, TplgSystemSettings::SavedLayouts);
    EXPECT_EQ(host.Settings.value(QStringLiteral("ScheduleEventsGrid.GroupColumn")), QString());
    EXPECT_EQ(host.Settings.value(QStringLiteral("Contacts_ViewType")), QString());
    EXPECT_EQ(prompt.Prompts().size(), 1);
}

TEST_F(SettingsServer, TheMailPageStoresNothingWhileTheConfigurationCannotBeRead)
{
    EXPECT_FALSE(view->Pages()->isTabVisible(TplgSystemSettings::pgEmail));
    EXPECT_EQ(view->MailEdit(0)->text(), QStringLiteral("Unavailable"));
    CloseView();
    EXPECT_FALSE(host.Settings.contains(QStringLiteral("MailServer")));
    EXPECT_FALSE(host.Settings.contains(QStringLiteral("MailSender")));

    host.Settings[QStringLiteral("MailSender")] = QStringLiteral("me@parish.org");
    host.MailConfiguration = QVariantMap{{QStringLiteral("smtpserver"), QStringLiteral("mail.parish.org")},
                                         {QStringLiteral("sendemailaddress"), QStringLiteral("office@parish.org")},
                                         {QStringLiteral("senduserreplyemailaddress"), QStringLiteral("reply@parish.org")}};
    OpenView();
    EXPECT_TRUE(view->Pages()->isTabVisible(TplgSystemSettings::pgEmail));
    EXPECT_EQ(view->MailEdit(0)->text(), QStringLiteral("mail.parish.org"));
    EXPECT_EQ(view->MailEdit(1)->text(), QStringLiteral("me@parish.org"));
    view->ResetEMailSettings();
    EXPECT_EQ(view->MailEdit(1)->text(), QStringLiteral("office@parish.org"));
    CloseView();
    EXPECT_EQ(host.Settings.value(QStringLiteral("MailServer")), QStringLiteral("mail.parish.org"));
    EXPECT_EQ(host.Settings.value(QStringLiteral("MailReturn")), QStringLiteral("reply@parish.org"));
    OpenView();
}

TEST_F(SettingsServer, ATableThatCannotOpenStopsActivateAndNoOptionIsWrittenOverTheStoredOnes)
{
    CloseView();
    TStandInHost offline{THostPart::Settings | THostPart::Mail}; // no server connection
    offline.User = host.User;
    offline.Settings[QStringLiteral("StandardDuration")] = QStringLiteral("90");
    controller.AttachHost(&offline);
    OpenView();
    ASSERT_EQ(offline.Log.size(), 1) << offline.Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(offline.Log[0].startsWith(QStringLiteral("2 Settings OnActivate: The settings module is not connected")));
    CloseView();
    EXPECT_EQ(offline.Settings.keys(), QStringList{QStringLiteral("StandardDuration")});
    EXPECT_EQ(offline.Settings.value(QStringLiteral("StandardDuration")), QStringLiteral("90"));
    controller.AttachHost(&host);
    OpenView();
}
