// The contacts and families views as the host shows them, offscreen, against one real server:
// table and cards, what a user without editor rights may do, the quick search, deleting,
// families and functions for the selection, mail, print and preview; and the views' rules.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactRules.h"
#include "plugins/contacts/uContactsView.h"
#include "plugins/contacts/uContactsViewRules.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uFamiliesView.h"
#include "plugins/contacts/uGroupsView.h"

#include "testsupport/QtPrinters.h"
#include "plugins/contacts/tests/ContactsServerSuite.h"
#include "testsupport/StandInHost.h"

#include "client/ufReports.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "reporting/ReportDocument.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"
#include "ui/ViewRefresh.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QDialog>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QTableView>
#include <QScopeGuard>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <map>

using namespace kestrova::test;
using namespace ContactsViewRules;

namespace {

// ---- the rules, without a window ----

TEST(ContactsViewRules, TheCardViewIsChosenByItsNameWithoutRegardToCase)
{
    const std::pair<const char *, bool> cases[] = {
        {"grdCardView", true}, {"GRDCARDVIEW", true}, {"grdTblView", false}, {"", false}, {"cards", false}};
    for (const auto &[stored, cards] : cases)
        EXPECT_EQ(IsCardView(QString::fromLatin1(stored)), cards) << stored;
}

TEST(ContactsViewRules, OneOrNoneIsAskedInTheSingularMoreWithTheCount)
{
    EXPECT_EQ(CountQuestion(0, QStringLiteral("this one?"), QStringLiteral("these %d?")), QStringLiteral("this one?"));
    EXPECT_EQ(CountQuestion(1, QStringLiteral("this one?"), QStringLiteral("these %d?")), QStringLiteral("this one?"));
    EXPECT_EQ(CountQuestion(3, QStringLiteral("this one?"), QStringLiteral("these %d?")), QStringLiteral("these 3?"));
    EXPECT_EQ(FillPlaceholders(QStringLiteral("%d found, %s chosen"), {QStringLiteral("5"), QStringLiteral("%d")}),
              QStringLiteral("5 found, %d chosen"));
}

TEST(ContactsViewRules, ReportConditionsQuoteEachKey)
{
    EXPECT_EQ(Quoted(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    EXPECT_EQ(SelectionConditions(QStringLiteral("PK_ContactID"), {QStringLiteral("{A}"), QStringLiteral("{B}")}),
              (QStringList{QStringLiteral("(PK_ContactID='{A}')"), QStringLiteral("(PK_ContactID='{B}')")}));
}

TEST(ContactsViewRules, MailGoesToThoseWithAnAddressAndNamesTheOthers)
{
    const TMailSplit split = SplitMail({{QStringLiteral("{1}"), QStringLiteral("ann@example.org")},
                                        {QStringLiteral("{2}"), QStringLiteral("  ")},
                                        {QStringLiteral("{3}"), QStringLiteral("tom@example.org")},
                                        {QStringLiteral("{4}"), QString()}});
    EXPECT_EQ(split.Addresses, (QStringList{QStringLiteral("ann@example.org"), QStringLiteral("tom@example.org")}));
    EXPECT_EQ(split.LeftOut, (QStringList{QStringLiteral("{2}"), QStringLiteral("{4}")}));
    EXPECT_EQ(MemberFamily({QStringLiteral("{F}")}), QStringLiteral("{F}"));
    EXPECT_EQ(MemberFamily({QStringLiteral("{F}"), QStringLiteral("{G}")}), NoFamily);
    EXPECT_EQ(MemberFamily({}), NoFamily);
}

TEST(ContactsViewRules, AnEmptyListLeavesOnlyNewForEditors)
{
    TContactsViewState empty;
    empty.Editor = true;
    const TContactsActions a = ContactsActions(empty);
    EXPECT_TRUE(a.New);
    for (const bool off : {a.Edit, a.Delete, a.Preview, a.SelectAll, a.Find, a.Export, a.AddFamily})
        EXPECT_FALSE(off);
}

// ---- the views against a real server ----

const QString kLector = QStringLiteral("{F1000000-0000-0000-0000-00000000000A}");
const QString kUsher = QStringLiteral("{F1000000-0000-0000-0000-00000000000B}");
const QString kFamily = QStringLiteral("{FA000000-0000-0000-0000-000000000001}");

class ContactsViews : public ContactsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        if (!StartSuite())
            return;
        server->Sql(QStringLiteral(R"(
            INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES ('%1', 'Lector'), ('%2', 'Usher');
        )").arg(kLector, kUsher));
    }
    static void TearDownTestSuite() { StopSuite(); }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        ConnectAdministrator(host);
        host.User.UserLevel = 1;
        host.MailAvailable = true;
        host.ReportDefinitions = [this](const QString &) { return definitions; };
        host.OnReport = [this](const TStandInHost::TReportCall &call) {
            if (definitions.isEmpty())
                return;
            // The host's chooser as the host opens it; the report chosen in it when it shows.
            TfReports chooser([](int number) { return QString::number(number); },
                              [](const QString &, const QString &fallback) { return fallback; });
            chooser.LoadDefinitions(call.Category, definitions, QString(), 0, !call.Selection.isEmpty());
            chooser.show();
            chosenReport = chooser.ChosenDefinition() ? chooser.ChosenDefinition()->ReportTitle : QString();
        };
        server->Sql(QStringLiteral("INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('%1', 'Gardener family') ON CONFLICT DO NOTHING;")
                        .arg(kFamily));
        controller.ModuleCreate();
        controller.SetHost(&host);
    }
    void TearDown() override
    {
        for (Quorva::IHYPlugin *view : views)
            view->release();
        controller.SetHost(nullptr);
        controller.ModuleDestroy();
        if (server->db.available())
            server->Sql(QStringLiteral("DELETE FROM tblLnkServingPrefrence; UPDATE tblContacts SET F_FamilyID = NULL; DELETE FROM tblContacts;"));
    }

    // People of the parish: last name, first name, e-mail.
    void AddPeople(const QList<std::tuple<QString, QString, QString>> &people)
    {
        QString sql;
        for (const auto &[last, first, mail] : people)
            sql += QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, EMail1) VALUES ('%1', %2, %3, %4);\n")
                       .arg(QUuid::createUuid().toString(QUuid::WithBraces).toUpper(), SqlText(first), SqlText(last),
                            mail.isEmpty() ? QStringLiteral("NULL") : SqlText(mail));
        server->Sql(sql);
    }
    static QString SqlText(const QString &text) { return Quoted(text); }
    QString Scalar(const QString &sql) { return server->db.scalar(QStringLiteral("SET search_path=dbo; ") + sql); }
    QString KeyOf(const QString &last) { return Scalar(QStringLiteral("SELECT PK_ContactID FROM tblContacts WHERE LastName = %1").arg(Quoted(last))); }

    template <class View> View *Show()
    {
        Quorva::IHYPlugin *plugin = controller.CreatePlugin(View::PluginName);
        EXPECT_NE(plugin, nullptr);
        views << plugin;
        auto *view = static_cast<View *>(static_cast<Quorva::IHYVisualPlugin *>(plugin));
        view->resize(1000, 600);
        view->show();
        view->Activate(nullptr);
        return view;
    }
    // The rows of the contacts view whose last names are given.
    static QList<int> RowsOf(TplgContacts &view, const QStringList &lastNames)
    {
        QList<int> rows;
        const int column = view.Model()->ColumnOf(QStringLiteral("LastName"));
        for (int r = 0; r < view.Model()->rowCount(); ++r)
            if (lastNames.contains(view.Model()->index(r, column).data().toString()))
                rows << r;
        return rows;
    }
    static QStringList ShownLastNames(TplgContacts &view)
    {
        QStringList names;
        const int column = view.Model()->ColumnOf(QStringLiteral("LastName"));
        for (int r = 0; r < view.Model()->rowCount(); ++r)
            names << view.Model()->index(r, column).data().toString();
        names.sort();
        return names;
    }
    QString Errors() const { return host.Log.join(QLatin1Char('\n')); }
    // The view's menu bar holds File, Edit, View, Tools and Help, in that order.
    ::testing::AssertionResult HasTheMenuBar(const TRvContactsPane &view) const
    {
        QStringList titles;
        for (QAction *item : view.MenuBar()->actions())
            titles << item->text();
        const QStringList expected = {controller.GetText(1201), controller.GetText(1202), controller.GetText(1203),
                                      controller.GetText(10019), controller.GetText(1205)};
        if (titles == expected)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the menu bar holds " << titles.join(QStringLiteral(", ")).toStdString();
    }

    // A host with the session of a real server, a user, a log, settings, the search (answered
    // by the test), mail and the report chooser (both only noted, the chooser shown when there
    // are definitions).
    TStandInHost host{THostPart::Reports | THostPart::Settings | THostPart::Search | THostPart::Mail};
    QString definitions;
    QString chosenReport;
    TRvContactsController controller;
    QList<Quorva::IHYPlugin *> views;
};

TEST_F(ContactsViews, TheTableAndTheCardsShowEveryContactAndTheChoiceIsKept)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QStringLiteral("ann@example.org")},
               {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()},
               {QStringLiteral("Oates"), QStringLiteral("Olga"), QString()}});
    TplgContacts *view = Show<TplgContacts>();
    EXPECT_FALSE(view->CardViewShown());
    EXPECT_EQ(view->Model()->rowCount(), 3);
    EXPECT_TRUE(view->TableView()->isColumnHidden(0)) << "the key";
    EXPECT_EQ(view->Model()->headerData(view->Model()->ColumnOf(QStringLiteral("LastName")), Qt::Horizontal).toString(),
              controller.GetText(1254));
    EXPECT_EQ(view->SelectedRows().size(), 1) << "the focused row is selected";
    EXPECT_EQ(view->CountLine()->text(), FillPlaceholders(controller.GetText(6201), {QStringLiteral("3"), QStringLiteral("1")}));
    EXPECT_EQ(view->SearchFields()->currentText(), controller.GetText(1252)) << "the search starts in the first name";
    // A narrow pane keeps every caption whole and lets the grid scroll sideways.
    view->resize(420, 600);
    QTest::qWait(50);
    const QHeaderView *header = view->TableView()->horizontalHeader();
    for (int c = 0; c < view->Model()->columnCount(); ++c) {
        if (view->TableView()->isColumnHidden(c))
            continue;
        EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << view->Model()->FieldName(c).toStdString();
    }

    view->Action(QStringLiteral("acCardView"))->trigger();
    ASSERT_TRUE(view->CardViewShown());
    EXPECT_EQ(view->CardView()->model()->rowCount(), 3);
    view->Action(QStringLiteral("acSelectAll"))->trigger();
    EXPECT_EQ(view->SelectedRows().size(), 3) << "the cards share the table's selection";
    view->Deactivate(nullptr);
    EXPECT_EQ(host.Settings[QStringLiteral("Contacts_ViewType")], QStringLiteral("grdCardView"));
    EXPECT_FALSE(host.Settings[QStringLiteral("ActiveContact")].isEmpty());

    host.Settings[QStringLiteral("Contacts_ViewType")] = QStringLiteral("GRDCARDVIEW");
    TplgContacts *again = Show<TplgContacts>();
    EXPECT_TRUE(again->CardViewShown());
    EXPECT_EQ(controller.Data().CurrentContactID, host.Settings[QStringLiteral("ActiveContact")]);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

TEST_F(ContactsViews, AUserWithoutEditorRightsBrowsesButChangesNothing)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QStringLiteral("ann@example.org")}});
    // Action, enabled for an editor, enabled for a user without bit 0.
    const std::tuple<const char *, bool, bool> cases[] = {
        {"acHYNew", true, false},        {"acHYEdit", true, false},      {"acHYDelete", true, false},
        {"acExportXLS", true, false},    {"acHYImportExport", true, false}, {"acHYAddFamily", true, false},
        {"acHYAddExistingFamily", true, false}, {"acHYAddGroup", true, false}, {"acHYAddMinistry", true, false},
        {"acHYFindContact", true, true},
        {"acHYPrint", true, true},       {"acHYPreview", true, true},    {"acEMail", true, true}};
    for (const int level : {1, 2}) {
        host.User.UserLevel = level; // 2: other rights, but not bit 0
        TplgContacts *view = Show<TplgContacts>();
        for (const auto &[name, editor, reader] : cases)
            EXPECT_EQ(view->Action(QString::fromLatin1(name))->isEnabled(), level == 1 ? editor : reader) << name << " at level " << level;
        view->Deactivate(nullptr);
    }
}

TEST_F(ContactsViews, QuickSearchFindsANameWithAQuoteAndHidingItShowsEveryoneAgain)
{
    AddPeople({{QStringLiteral("O'Brien"), QStringLiteral("Pat"), QString()},
               {QStringLiteral("Obrist"), QStringLiteral("Olaf"), QString()},
               {QStringLiteral("Smith"), QStringLiteral("Ann"), QString()},
               {QStringLiteral("Smythe"), QStringLiteral("Sam"), QString()},
               {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()}});
    TplgContacts *view = Show<TplgContacts>();
    view->Action(QStringLiteral("acHYFindContact"))->trigger();
    ASSERT_TRUE(view->QuickSearch()->isVisible());
    view->SearchFields()->setCurrentIndex(view->SearchFields()->findData(QStringLiteral("LastName")));

    const std::pair<const char *, QStringList> cases[] = {
        {"o'b", {QStringLiteral("O'Brien")}},
        {"Sm", {QStringLiteral("Smith"), QStringLiteral("Smythe")}},
        {"O' OR 1=1", {}},
        {"*", {}},
    };
    for (const auto &[typed, expected] : cases) {
        view->SearchEdit()->clear();
        QTest::keyClicks(view->SearchEdit(), QString::fromUtf8(typed));
        QTest::keyClick(view->SearchEdit(), Qt::Key_Return);
        EXPECT_EQ(ShownLastNames(*view), expected) << typed;
    }
    view->Action(QStringLiteral("acHYFindContact"))->trigger();
    EXPECT_FALSE(view->QuickSearch()->isVisible());
    EXPECT_EQ(view->Model()->rowCount(), 5);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

TEST_F(ContactsViews, DeletingTwoContactsAsksWithTheCountAndRemovesThemWithoutAnError)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()},
               {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()},
               {QStringLiteral("Oates"), QStringLiteral("Olga"), QString()}});
    server->Sql(QStringLiteral("INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, ContactType, F_ContactID, F_MinistryFunctionID) "
                               "VALUES ('{5E000000-0000-0000-0000-000000000001}', 0, '%1', '%2');").arg(KeyOf(QStringLiteral("Smith")), kLector));
    TplgContacts *view = Show<TplgContacts>();
    view->SelectRows(RowsOf(*view, {QStringLiteral("Smith"), QStringLiteral("Trent")}));

    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    view->Action(QStringLiteral("acHYDelete"))->trigger();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblContacts")), QStringLiteral("3")) << "No deletes nothing";

    prompt.Answer(QMessageBox::Yes);
    view->SelectRows(RowsOf(*view, {QStringLiteral("Smith"), QStringLiteral("Trent")}));
    view->Action(QStringLiteral("acHYDelete"))->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[1].Text, FillPlaceholders(controller.GetText(2101), {QStringLiteral("2")}));
    EXPECT_EQ(prompt.Prompts()[1].Caption, controller.GetText(2100));
    EXPECT_EQ(prompt.Prompts()[1].DefaultButton, QMessageBox::No);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(LastName, ',') FROM tblContacts")), QStringLiteral("Oates"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblLnkServingPrefrence")), QStringLiteral("0")) << "what hung on them went first";
    EXPECT_EQ(ShownLastNames(*view), QStringList{QStringLiteral("Oates")});
    EXPECT_FALSE(controller.Data().DAContactList().HasChanges()) << "nothing left to send again";
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();

    // One row: the singular question.
    prompt.Answer(QMessageBox::No);
    view->SelectRows({0});
    view->Action(QStringLiteral("acHYDelete"))->trigger();
    EXPECT_EQ(prompt.Prompts().last().Text, controller.GetText(2102));
}

TEST_F(ContactsViews, TheSelectionBecomesANewFamilyNamedAfterTheFirst)
{
    AddPeople({{QStringLiteral("Weaver"), QStringLiteral("Wim"), QString()},
               {QStringLiteral("Weaver-Lund"), QStringLiteral("Wenche"), QString()},
               {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()}});
    controller.Data().RunFamilyDialog = [](int mode) {
        EXPECT_EQ(mode, 0);
        return TModalResult::Ok;
    };
    TplgContacts *view = Show<TplgContacts>();
    view->SelectRows(RowsOf(*view, {QStringLiteral("Weaver"), QStringLiteral("Weaver-Lund")}));
    view->Action(QStringLiteral("acHYAddFamily"))->trigger();
    const QString family = Scalar(QStringLiteral("SELECT F_FamilyID FROM tblContacts WHERE LastName = 'Weaver'"));
    ASSERT_FALSE(family.isEmpty()) << Errors().toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_FamilyID FROM tblContacts WHERE LastName = 'Weaver-Lund'")), family);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT FamilyName FROM tblFamilies WHERE PK_FamilyID = '%1'").arg(family)),
              QStringLiteral("Weaver") + controller.GetText(5015));
    EXPECT_EQ(view->Model()->rowCount(), 3) << "the whole list again";
    server->Sql(QStringLiteral("UPDATE tblContacts SET F_FamilyID = NULL; DELETE FROM tblFamilies WHERE PK_FamilyID = '%1';").arg(family));

    // Into the existing family picked in the host's search.
    TSearchListItem picked;
    picked.Text = QStringLiteral("Gardener family");
    picked.Object.Caption = kFamily;
    picked.Object.Value = 2;
    picked.Object.TypeID = TSearchObject::FamilyType;
    host.SearchAnswer = TSearchObjectList{picked};
    view->SelectRows(RowsOf(*view, {QStringLiteral("Trent")}));
    view->Action(QStringLiteral("acHYAddExistingFamily"))->trigger();
    EXPECT_EQ(host.SearchKinds.last(), 2);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_FamilyID FROM tblContacts WHERE LastName = 'Trent'")), kFamily);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

TEST_F(ContactsViews, AFunctionAlreadyGivenIsNotGivenTwice)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()}, {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()}});
    TplgContacts *view = Show<TplgContacts>();
    view->PickGroups = [](bool functions) {
        EXPECT_TRUE(functions);
        return QStringList{kLector, kUsher};
    };
    view->SelectRows(RowsOf(*view, {QStringLiteral("Smith")}));
    view->Action(QStringLiteral("acHYAddMinistry"))->trigger();
    view->SelectRows(RowsOf(*view, {QStringLiteral("Smith"), QStringLiteral("Trent")}));
    view->Action(QStringLiteral("acHYAddMinistry"))->trigger();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblLnkServingPrefrence WHERE F_ContactID = '%1'").arg(KeyOf(QStringLiteral("Smith")))),
              QStringLiteral("2"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblLnkServingPrefrence WHERE F_ContactID = '%1'").arg(KeyOf(QStringLiteral("Trent")))),
              QStringLiteral("2"));
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

TEST_F(ContactsViews, MailAsksAboutThoseWithoutAnAddressAndLeavesThemSelected)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QStringLiteral("ann@example.org")},
               {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()},
               {QStringLiteral("Oates"), QStringLiteral("Olga"), QStringLiteral("olga@example.org")}});
    TplgContacts *view = Show<TplgContacts>();
    view->SelectRows(RowsOf(*view, {QStringLiteral("Smith"), QStringLiteral("Trent"), QStringLiteral("Oates")}));
    ASSERT_TRUE(view->Action(QStringLiteral("acEMail"))->isEnabled());
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->Action(QStringLiteral("acEMail"))->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, controller.GetText(1462));
    QStringList mailed = host.Mailed;
    mailed.sort();
    EXPECT_EQ(mailed, (QStringList{QStringLiteral("ann@example.org"), QStringLiteral("olga@example.org")}));
    EXPECT_EQ(view->SelectedKeys(), QStringList{KeyOf(QStringLiteral("Trent"))});
    view->SelectRows(RowsOf(*view, {QStringLiteral("Trent")}));
    EXPECT_FALSE(view->Action(QStringLiteral("acEMail"))->isEnabled());
}

TEST_F(ContactsViews, PrintHandsTheSelectionToTheReportChooserAndPreviewShowsTheList)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()}, {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()}});
    TplgContacts *view = Show<TplgContacts>();
    view->SelectRows(RowsOf(*view, {QStringLiteral("Trent")}));
    view->Action(QStringLiteral("acHYPrint"))->trigger();
    EXPECT_EQ(host.LastReport().Category, QStringLiteral("{00000000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(host.LastReport().Selection, QStringList{QStringLiteral("(PK_ContactID='%1')").arg(KeyOf(QStringLiteral("Trent")))});
    EXPECT_EQ(host.LastReport().Count, 2);

    QString shown;
    view->ShowPreview = [&](const ReportDocument &document) {
        for (const ReportElement &e : document.Page(0).Elements)
            shown += e.Text + QLatin1Char('|');
    };
    view->Action(QStringLiteral("acHYPreview"))->trigger();
    EXPECT_TRUE(shown.contains(controller.GetText(8501) + controller.GetText(8512))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Smith")) && shown.contains(QStringLiteral("Trent"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(controller.GetText(8502))) << shown.toStdString();
}

TEST_F(ContactsViews, FamiliesSetAndRemoveMembersAndDeletingAFamilyFreesThem)
{
    AddPeople({{QStringLiteral("Gardener"), QStringLiteral("Gus"), QStringLiteral("gus@example.org")},
               {QStringLiteral("Gardener"), QStringLiteral("Gina"), QString()},
               {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()},
               {QStringLiteral("Oates"), QStringLiteral("Olga"), QString()}});
    server->Sql(QStringLiteral("UPDATE tblContacts SET F_FamilyID = '%1' WHERE LastName IN ('Gardener', 'Oates');").arg(kFamily));
    TplgFamilies *view = Show<TplgFamilies>();
    view->SelectFamilies({kFamily});
    ASSERT_EQ(view->MemberGrid()->model()->rowCount(), 3) << Errors().toStdString();

    // Members... replaces them: Oates leaves, Trent joins.
    const auto pick = [&](const QString &last, const QString &first) {
        const QString key = Scalar(QStringLiteral("SELECT PK_ContactID FROM tblContacts WHERE LastName = '%1' AND FirstName = '%2'").arg(last, first));
        return TDAContacts::ContactSearchItem(key, first, last, last + QLatin1Char(' ') + first);
    };
    host.SearchAnswer = TSearchObjectList{pick(QStringLiteral("Gardener"), QStringLiteral("Gus")),
                                          pick(QStringLiteral("Gardener"), QStringLiteral("Gina")),
                                          pick(QStringLiteral("Trent"), QStringLiteral("Tom"))};
    view->Action(QStringLiteral("acHyAddContact"))->trigger();
    EXPECT_EQ(host.SearchKinds.last(), 1);
    EXPECT_EQ(host.Preselected.size(), 3) << "the current members are preselected";
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(LastName || ' ' || FirstName, ',' ORDER BY LastName, FirstName) FROM tblContacts WHERE F_FamilyID = '%1'").arg(kFamily)),
              QStringLiteral("Gardener Gina,Gardener Gus,Trent Tom"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblContacts WHERE LastName = 'Oates' AND F_FamilyID IS NULL")), QStringLiteral("1"));
    EXPECT_EQ(view->MemberGrid()->model()->rowCount(), 3);

    // Remove member: two of them, asked with the count.
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->SelectMembers({pick(QStringLiteral("Trent"), QStringLiteral("Tom")).Object.Caption,
                         pick(QStringLiteral("Gardener"), QStringLiteral("Gina")).Object.Caption});
    view->Action(QStringLiteral("acHYRemoveContact"))->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, FillPlaceholders(controller.GetText(2105), {QStringLiteral("2")}));
    EXPECT_EQ(prompt.Prompts()[0].Caption, controller.GetText(2107));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(FirstName, ',') FROM tblContacts WHERE F_FamilyID = '%1'").arg(kFamily)),
              QStringLiteral("Gus"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblContacts WHERE F_FamilyID IS NULL")), QStringLiteral("3"));
    EXPECT_EQ(view->MemberGrid()->model()->rowCount(), 1);

    // Preview of one family lists its members; print hands the family to the chooser.
    QString shown;
    view->ShowPreview = [&](const ReportDocument &document) {
        for (const ReportElement &e : document.Page(0).Elements)
            shown += e.Text + QLatin1Char('|');
    };
    view->Action(QStringLiteral("acHyPreview"))->trigger();
    EXPECT_TRUE(shown.contains(controller.GetText(8511) + QStringLiteral("Gardener family"))) << shown.toStdString();
    view->Action(QStringLiteral("acHYPrint"))->trigger();
    EXPECT_EQ(host.LastReport().Selection, QStringList{QStringLiteral("(PK_FamilyID='%1')").arg(kFamily)});

    // Deleting the family frees the one left.
    prompt.Answer(QMessageBox::Yes);
    view->Action(QStringLiteral("acHyDelete"))->trigger();
    EXPECT_EQ(prompt.Prompts().last().Text, controller.GetText(2104));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblFamilies WHERE PK_FamilyID = '%1'").arg(kFamily)), QStringLiteral("0"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblContacts WHERE F_FamilyID IS NOT NULL")), QStringLiteral("0"));
    EXPECT_EQ(view->MemberGrid()->model()->rowCount(), 0);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

// The server made to refuse: a save that fails is told to the user, and the views show what the
// server holds, with nothing left pending for a later save to send.
TEST_F(ContactsViews, AFailedSaveIsToldAndLeavesNothingPending)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()}, {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()}});
    server->Sql(QStringLiteral(R"(
        CREATE OR REPLACE FUNCTION dbo.refuse_contact_changes() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN RAISE EXCEPTION 'contacts are held'; END $$;
        CREATE TRIGGER hold_contacts BEFORE UPDATE OR DELETE ON dbo.tblContacts FOR EACH ROW EXECUTE FUNCTION dbo.refuse_contact_changes();
        INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, ContactType, F_ContactID, F_MinistryFunctionID)
          VALUES ('{5E000000-0000-0000-0000-000000000002}', 0, '%1', '%2');
    )").arg(KeyOf(QStringLiteral("Smith")), kLector));
    const auto drop = qScopeGuard([] { server->Sql(QStringLiteral("DROP TRIGGER hold_contacts ON dbo.tblContacts;")); });
    QStringList told;
    controller.Data().ShowSaveFailure = [&](const QString &message) { told << message; };
    TSearchListItem family;
    family.Object.Caption = kFamily;
    family.Object.Value = 2;
    family.Object.TypeID = TSearchObject::FamilyType;
    host.SearchAnswer = TSearchObjectList{family};
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    TplgContacts *view = Show<TplgContacts>();
    TDACDSDataTable &list = controller.Data().DAContactList();

    // Action, and whether the two people afterwards are in no family, as the list shows them.
    controller.Data().RunFamilyDialog = [](int) { return TModalResult::Ok; };
    const std::pair<const char *, bool> cases[] = {{"acHYAddFamily", true}, {"acHYAddExistingFamily", true}, {"acHYDelete", false}};
    for (const auto &[action, inNoFamily] : cases) {
        told.clear();
        view->SelectRows(RowsOf(*view, {QStringLiteral("Smith"), QStringLiteral("Trent")}));
        view->Action(QString::fromLatin1(action))->trigger();
        ASSERT_EQ(told.size(), 1) << action;
        EXPECT_TRUE(told[0].startsWith(controller.GetText(1446))) << told[0].toStdString();
        EXPECT_FALSE(list.HasChanges()) << action;
        EXPECT_EQ(list.GetState(), TDATableState::dsBrowse) << action;
        EXPECT_EQ(ShownLastNames(*view), (QStringList{QStringLiteral("Smith"), QStringLiteral("Trent")})) << action;
        for (int r = 0; r < list.GetRecordCount(); ++r) {
            if (inNoFamily) {
                EXPECT_TRUE(list.ValueAt(r, list.FieldIndex(QStringLiteral("F_FamilyID"))).isNull()) << "not in the family the server refused";
            }
        }
    }
    // The person whose deletion failed is whole: the preference is still there.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblLnkServingPrefrence")), QStringLiteral("1"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblContacts")), QStringLiteral("2"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(FamilyName, ',') FROM tblFamilies")), QStringLiteral("Gardener family"))
        << "no family without its members";
    EXPECT_FALSE(controller.Data().DAFamilyDetails().GetActive() && controller.Data().DAFamilyDetails().HasChanges());

    // Into a group whose links the server refuses: no link stays pending in the client.
    const QString group = QStringLiteral("{6A000000-0000-0000-0000-000000000001}");
    server->Sql(QStringLiteral(R"(
        INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES ('%1', 'Choir', '%2');
        CREATE TRIGGER hold_links BEFORE INSERT ON dbo.tblLnkGroupmembers FOR EACH ROW EXECUTE FUNCTION dbo.refuse_contact_changes();
    )").arg(group, EmptyGUID));
    const auto dropLinks = qScopeGuard([group] {
        server->Sql(QStringLiteral("DROP TRIGGER hold_links ON dbo.tblLnkGroupmembers; DELETE FROM tblGroups WHERE PK_GroupID = '%1';").arg(group));
    });
    told.clear();
    view->PickGroups = [group](bool) { return QStringList{group}; };
    view->SelectRows(RowsOf(*view, {QStringLiteral("Smith")}));
    view->Action(QStringLiteral("acHYAddGroup"))->trigger();
    ASSERT_EQ(told.size(), 1);
    EXPECT_FALSE(controller.Data().DALnkGroupMembers().HasChanges());
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblLnkGroupmembers")), QStringLiteral("0"));

    // A picker that fails after a group was made in it: told, and the group not left for a later save.
    told.clear();
    view->PickGroups = [&](bool) -> QStringList {
        TDACDSDataTable &groups = controller.Data().DAGroupsList();
        groups.Insert();
        groups.SetValue(QStringLiteral("PK_GroupID"), QStringLiteral("{6A000000-0000-0000-0000-000000000002}"));
        groups.SetValue(QStringLiteral("GroupName"), QStringLiteral("Made in the picker"));
        groups.SetValue(QStringLiteral("F_ParentGroupID"), EmptyGUID);
        groups.Post();
        throw std::runtime_error("the picker broke");
    };
    view->Action(QStringLiteral("acHYAddGroup"))->trigger();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("the picker broke"))) << told[0].toStdString();
    EXPECT_FALSE(controller.Data().GroupChangesPending());
}

TEST_F(ContactsViews, ARefreshThatFailsIsToldAndMarksTheViewUntilOneSucceeds)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()}});
    const QString served = client->Channel->TargetURL();
    struct Row
    {
        const char *View;
        std::function<QWidget *()> Show;
        std::function<QAction *(QWidget *)> Refresh;
    };
    const Row rows[] = {
        {"contacts", [this] { return Show<TplgContacts>(); },
         [](QWidget *view) { return static_cast<TplgContacts *>(view)->Action(QStringLiteral("acHYRefresh")); }},
        {"families", [this] { return Show<TplgFamilies>(); },
         [](QWidget *view) { return static_cast<TplgFamilies *>(view)->Action(QStringLiteral("acHyRefresh")); }},
        {"groups", [this] { return Show<TplgGroups>(); },
         [](QWidget *view) { return static_cast<TplgGroups *>(view)->Action(QStringLiteral("acHYRefresh")); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.View);
        QWidget *view = row.Show();
        QAction *refresh = row.Refresh(view);
        ASSERT_NE(refresh, nullptr);
        TScriptedPrompt prompt;
        // The server gone: the call answers "Connection refused".
        client->Channel->SetTargetURL(QStringLiteral("http://127.0.0.1:1/BIN"));
        refresh->trigger();
        client->Channel->SetTargetURL(served);
        QStringList told;
        for (const TScriptedPrompt::Shown &shown : prompt.Prompts())
            if (shown.Caption == controller.GetText(ViewRefresh::TextCaption))
                told << shown.Text;
        ASSERT_EQ(told.size(), 1) << Errors().toStdString();
        EXPECT_TRUE(told[0].startsWith(controller.GetText(ViewRefresh::TextFailed).arg(QString()))) << told[0].toStdString();
        EXPECT_TRUE(ViewRefresh::NotCurrent(*view));
        EXPECT_TRUE(Errors().contains(QStringLiteral("efreshExecute"))) << "logged as every failed handler is";

        refresh->trigger();
        EXPECT_FALSE(ViewRefresh::NotCurrent(*view)) << Errors().toStdString();
        host.Log.clear();
    }
}

TEST_F(ContactsViews, AFamiliesViewSaveTheServerRefusesIsToldAndReadBack)
{
    AddPeople({{QStringLiteral("Gardener"), QStringLiteral("Gus"), QString()}, {QStringLiteral("Gardener"), QStringLiteral("Gina"), QString()}});
    server->Sql(QStringLiteral(R"(
        UPDATE tblContacts SET F_FamilyID = '%1';
        CREATE OR REPLACE FUNCTION dbo.refuse_contact_changes() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN RAISE EXCEPTION 'contacts are held'; END $$;
        CREATE TRIGGER hold_contacts BEFORE UPDATE ON dbo.tblContacts FOR EACH ROW EXECUTE FUNCTION dbo.refuse_contact_changes();
    )").arg(kFamily));
    const auto drop = qScopeGuard([] { server->Sql(QStringLiteral("DROP TRIGGER hold_contacts ON dbo.tblContacts;")); });
    QStringList told;
    controller.Data().ShowSaveFailure = [&](const QString &message) { told << message; };
    TplgFamilies *view = Show<TplgFamilies>();
    view->SelectFamilies({kFamily});
    ASSERT_EQ(view->MemberGrid()->model()->rowCount(), 2);
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->SelectMembers({KeyOf(QStringLiteral("Gardener"))});
    view->Action(QStringLiteral("acHYRemoveContact"))->trigger();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("contacts are held"))) << told[0].toStdString();
    EXPECT_FALSE(controller.Data().DAContactList().HasChanges());
    EXPECT_EQ(view->MemberGrid()->model()->rowCount(), 2) << "both still members, as the server holds";
}

TEST_F(ContactsViews, TheMenuBarCarriesFileAndEditWithReportsLabelsAndCustomize)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()}});
    definitions = QStringLiteral(
        "{R1},{00000000-0000-0000-0000-000000000001},{00000000-0000-0000-0000-000000000002},List.rtm,\"Contact list\",x\r\n"
        "{R2},{00000000-0000-0000-0000-000000000001},{00000000-0000-0000-0000-000000000001},Labels.rtm,\"Address labels, 3 x 10\",x\r\n");
    TplgContacts *view = Show<TplgContacts>();
    EXPECT_TRUE(HasTheMenuBar(*view));
    QMenu *file = view->Menu(QStringLiteral("mnuFile"));
    QMenu *edit = view->Menu(QStringLiteral("mnuEdit"));
    ASSERT_TRUE(file && edit);
    for (const char *name : {"acHYNew", "acHYNewCopy", "acHYmnuPrint", "acHYPreview", "mnuSaveAs", "acHYImportExport", "acHYExit"})
        EXPECT_TRUE(file->actions().contains(view->Action(QString::fromLatin1(name)))) << name;
    for (const char *name : {"acHYEdit", "acHYDelete", "acHYFindContact", "mnuFamilies", "mnuGroups", "mnuMinistry", "acCustomize"})
        EXPECT_TRUE(edit->actions().contains(view->Action(QString::fromLatin1(name)))) << name;

    // The reports and the labels of the contacts, each opening the chooser for them.
    QMenu *reports = view->Menu(QStringLiteral("mnuReports"));
    QMenu *labels = view->Menu(QStringLiteral("mnuLabels"));
    emit reports->aboutToShow();
    EXPECT_EQ(host.DefinitionsAsked, QStringLiteral("{00000000-0000-0000-0000-000000000001}"));
    ASSERT_EQ(reports->actions().size(), 1);
    EXPECT_EQ(reports->actions()[0]->text(), QStringLiteral("Contact list"));
    ASSERT_EQ(labels->actions().size(), 1);
    EXPECT_EQ(labels->actions()[0]->text(), QStringLiteral("Address labels, 3 x 10"));
    labels->actions()[0]->trigger();
    EXPECT_EQ(host.LastReport().Category, QStringLiteral("{00000000-0000-0000-0000-000000000001}"));

    // Customize shows a hidden column.
    const int fax = view->Model()->ColumnOf(QStringLiteral("Fax"));
    ASSERT_TRUE(view->TableView()->isColumnHidden(fax));
    view->RunCustomize = [&](QDialog &dialog) {
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("lstColumns"));
        for (int i = 0; list && i < list->count(); ++i)
            if (list->item(i)->data(Qt::UserRole).toInt() == fax)
                list->item(i)->setCheckState(Qt::Checked);
        return true;
    };
    view->Action(QStringLiteral("acCustomize"))->trigger();
    EXPECT_FALSE(view->TableView()->isColumnHidden(fax));
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

// Each entry of the Reports and Labels menus opens the chooser at the report it names.
TEST_F(ContactsViews, EachReportAndLabelEntryOpensTheReportItNames)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()}});
    const QString fields = QStringLiteral(",x,x,x,x,x,x,x,x,x,x,FALSE,x,x,FALSE\r\n");
    definitions = QStringLiteral("{R1},{00000000-0000-0000-0000-000000000001},{00000000-0000-0000-0000-000000000002},List.rtm,\"Contact list\"") + fields +
                       QStringLiteral("{R2},{00000000-0000-0000-0000-000000000001},{00000000-0000-0000-0000-000000000002},Details.rtm,\"Contact details\"") + fields +
                       QStringLiteral("{R3},{00000000-0000-0000-0000-000000000001},{00000000-0000-0000-0000-000000000001},Labels.rtm,\"Address labels\"") + fields +
                       QStringLiteral("{R4},{00000000-0000-0000-0000-000000000001},{00000000-0000-0000-0000-000000000001},Badges.rtm,\"Name badges\"") + fields;
    TplgContacts *view = Show<TplgContacts>();
    const std::pair<const char *, const char *> cases[] = {
        {"mnuReports", "Contact list"}, {"mnuReports", "Contact details"}, {"mnuLabels", "Address labels"}, {"mnuLabels", "Name badges"}};
    for (const auto &[menuName, title] : cases) {
        chosenReport.clear();
        emit view->Menu(QStringLiteral("mnuFile"))->aboutToShow();
        QMenu *menu = view->Menu(QString::fromLatin1(menuName));
        menu->popup(view->mapToGlobal(QPoint(10, 10)));
        QAction *entry = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == QString::fromLatin1(title))
                entry = action;
        ASSERT_TRUE(entry) << title;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        EXPECT_EQ(chosenReport, QString::fromLatin1(title));
        menu->hide();
    }
    EXPECT_EQ(host.LastReport().Selection, QStringList{QStringLiteral("(PK_ContactID='%1')").arg(KeyOf(QStringLiteral("Smith")))});
}

// Customize acts on the view shown: in the card view it chooses the cards' lines and leaves
// the table's columns as they were; the choice is kept for the next time.
TEST_F(ContactsViews, CustomizeInTheCardViewChoosesTheCardsLinesAndLeavesTheTable)
{
    AddPeople({{QStringLiteral("Smith"), QStringLiteral("Ann"), QString()}});
    TplgContacts *view = Show<TplgContacts>();
    const auto hiddenColumns = [view] {
        QList<int> hidden;
        for (int c = 0; c < view->Model()->columnCount(); ++c)
            if (view->TableView()->isColumnHidden(c))
                hidden << c;
        return hidden;
    };
    const QList<int> hiddenBefore = hiddenColumns();
    view->Action(QStringLiteral("acCardView"))->trigger();
    ASSERT_TRUE(view->CardViewShown());
    int listed = 0;
    view->RunCustomize = [&](QDialog &dialog) {
        dialog.show();
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("lstColumns"));
        listed = list->count();
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->data(Qt::UserRole).toInt() == view->Model()->ColumnOf(QStringLiteral("phone1"))) {
                list->setCurrentRow(i);
                QTest::keyClick(list, Qt::Key_Space);
            }
        return true;
    };
    QMenu *edit = view->Menu(QStringLiteral("mnuEdit"));
    edit->popup(view->mapToGlobal(QPoint(10, 10)));
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(view->Action(QStringLiteral("acCustomize"))).center());
    EXPECT_EQ(listed, TplgContacts::CardFields.size());
    QStringList expected = TplgContacts::CardFields;
    expected.removeAll(QStringLiteral("phone1"));
    EXPECT_EQ(view->CardFieldsShown(), expected);
    EXPECT_EQ(hiddenColumns(), hiddenBefore) << "the table is not the view shown";

    view->Deactivate(nullptr);
    TplgContacts *again = Show<TplgContacts>();
    EXPECT_EQ(again->CardFieldsShown(), expected);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

TEST_F(ContactsViews, NewAsCopyStartsWithTheHouseholdOfTheCurrentContact)
{
    server->Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, Street, City, Zip, phone1, F_FamilyID) VALUES "
                               "('{C1000000-0000-0000-0000-000000000001}', 'Ann', 'Smith', '1 Elm Street', 'Springfield', '62701', '+44 20 7946 0958', '%1');")
                    .arg(kFamily));
    QString started;
    controller.Data().RunContactDialog = [&](const QString &key, bool isNew) {
        EXPECT_TRUE(isNew);
        TContactRules editor(controller.Data());
        editor.SetContact(key);
        started = editor.FullName();
        editor.NameTyped();
        editor.FinishName(QStringLiteral("Eva Smith"));
        return TModalResult::Ok;
    };
    TplgContacts *view = Show<TplgContacts>();
    view->SelectRows({0});
    ASSERT_TRUE(view->Action(QStringLiteral("acHYNewCopy"))->isEnabled());
    view->Action(QStringLiteral("acHYNewCopy"))->trigger();
    EXPECT_EQ(started, QStringLiteral("Smith"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT Street || '|' || City || '|' || Zip || '|' || phone1 || '|' || F_FamilyID || '|' || coalesce(DateOfBirth::text, 'none') "
                                    "FROM tblContacts WHERE FirstName = 'Eva'")),
              QStringLiteral("1 Elm Street|Springfield|62701|+44 20 7946 0958|%1|none").arg(kFamily));
    EXPECT_EQ(view->Model()->rowCount(), 2);

    host.User.UserLevel = 0;
    view->UpdateActions();
    EXPECT_FALSE(view->Action(QStringLiteral("acHYNewCopy"))->isEnabled()) << "not for a user without editor rights";
}

// Members... replaces the members the grid shows; with two families chosen it shows none, so
// the action is off and every member stays where they were.
TEST_F(ContactsViews, MembersIsOfferedForOneChosenFamilyOnlyAndSeveralKeepTheirMembers)
{
    const QString other = QStringLiteral("{FA000000-0000-0000-0000-000000000002}");
    AddPeople({{QStringLiteral("Gardener"), QStringLiteral("Gus"), QString()}, {QStringLiteral("Trent"), QStringLiteral("Tom"), QString()}});
    server->Sql(QStringLiteral(R"(
        INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('%2', 'Trent family');
        UPDATE tblContacts SET F_FamilyID = '%1' WHERE LastName = 'Gardener';
        UPDATE tblContacts SET F_FamilyID = '%2' WHERE LastName = 'Trent';
    )").arg(kFamily, other));
    const auto dropFamily = qScopeGuard([other] {
        server->Sql(QStringLiteral("UPDATE tblContacts SET F_FamilyID = NULL; DELETE FROM tblFamilies WHERE PK_FamilyID = '%1';").arg(other));
    });
    TplgFamilies *view = Show<TplgFamilies>();
    QTableView *grid = view->FamilyGrid();
    QAction *members = view->Action(QStringLiteral("acHyAddContact"));
    ASSERT_EQ(grid->model()->rowCount(), 2) << Errors().toStdString();
    const auto rowCentre = [grid](int row) { return grid->visualRect(grid->model()->index(row, grid->horizontalHeader()->logicalIndexAt(0))).center(); };
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(0));
    EXPECT_TRUE(members->isEnabled());
    EXPECT_EQ(view->MemberGrid()->model()->rowCount(), 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(1));
    EXPECT_EQ(view->MemberGrid()->model()->rowCount(), 0);
    EXPECT_FALSE(members->isEnabled()) << "Members... with two families chosen";
    host.SearchAnswer = TSearchObjectList{};
    members->trigger();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblContacts WHERE F_FamilyID IS NOT NULL")), QStringLiteral("2"));
    // Keys move the choice back to one family.
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_TRUE(members->isEnabled());
    EXPECT_EQ(view->MemberGrid()->model()->rowCount(), 1);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().toStdString();
}

TEST_F(ContactsViews, FamiliesForAUserWithoutEditorRightsOnlyBrowse)
{
    host.User.UserLevel = 0;
    TplgFamilies *view = Show<TplgFamilies>();
    for (const char *name : {"acHYNew", "acHyEdit", "acHyDelete", "acHyAddContact", "acHYRemoveContact", "acHYEditContact"})
        EXPECT_FALSE(view->Action(QString::fromLatin1(name))->isEnabled()) << name;
    EXPECT_TRUE(view->Action(QStringLiteral("acHYPrint"))->isEnabled());
    // Its menu bar; the editing items are off there as well.
    EXPECT_TRUE(HasTheMenuBar(*view));
    for (QAction *item : view->Menu(QStringLiteral("mnuEdit"))->actions())
        EXPECT_TRUE(item->isSeparator() || !item->isEnabled() || item->objectName() == QStringLiteral("acHYCopy")) << item->objectName().toStdString();
}

} // namespace
