// The groups view against a real server and its database: every kind of node lists the
// people it stands for, groups are made, renamed, moved and deleted with their links, and
// setting a group's members touches its contact links only. With KESTROVA_SCREENSHOTS set
// to a folder, the view's picture is saved there as groups-view.png.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGroupsRules.h"
#include "plugins/contacts/uGroupsView.h"

#include "plugins/contacts/tests/ContactsServerSuite.h"
#include "testsupport/StandInHost.h"

#include "client/api/ModuleKit.h"
#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QToolBar>
#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

const QString kLector = QStringLiteral("{F1000000-0000-0000-0000-000000000001}");
const QString kUsher = QStringLiteral("{F1000000-0000-0000-0000-000000000002}");
const QString kCantor = QStringLiteral("{F1000000-0000-0000-0000-000000000003}");
const QString kEarly = QStringLiteral("{E1000000-0000-0000-0000-000000000001}");
const QString kLate = QStringLiteral("{E1000000-0000-0000-0000-000000000002}");
const QString kChoir = QStringLiteral("{61000000-0000-0000-0000-000000000001}");
const QString kSopranos = QStringLiteral("{61000000-0000-0000-0000-000000000002}");
const QString kYouth = QStringLiteral("{61000000-0000-0000-0000-000000000003}");
const QString kWelcome = QStringLiteral("{61000000-0000-0000-0000-000000000004}");
const QString kCouncil = QStringLiteral("{61000000-0000-0000-0000-000000000005}");
const QString kFinance = QStringLiteral("{61000000-0000-0000-0000-000000000006}");
const QString kFamily = QStringLiteral("{FA000000-0000-0000-0000-000000000001}");
const QStringList kNames = {QStringLiteral("Anna"), QStringLiteral("Ben"), QStringLiteral("Cara"), QStringLiteral("Dan"),
                            QStringLiteral("Eve"), QStringLiteral("Finn"), QStringLiteral("Gus")};

const QStringList kLastNames = {QStringLiteral("Adler"), QStringLiteral("Brandt"), QStringLiteral("Castell"), QStringLiteral("Dorn"),
                                QStringLiteral("Eberle"), QStringLiteral("Falk"), QStringLiteral("Gruber")};

QString Key(const QString &name)
{
    return QStringLiteral("{C1000000-0000-0000-0000-00000000000%1}").arg(kNames.indexOf(name) + 1);
}

class GroupsView : public ContactsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        if (!StartSuite())
            return;
        QString contacts;
        for (const QString &name : kNames)
            contacts += QStringLiteral("%1('%2', '%3', '%4', '%5@example.org', '%6 Church Street', 'Springfield', '62701', 'IL')")
                            .arg(contacts.isEmpty() ? QString() : QStringLiteral(", "), Key(name), name,
                                 kLastNames[kNames.indexOf(name)], name.toLower())
                            .arg(10 + 7 * kNames.indexOf(name));
        server->Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, EMail1, Street, City, Zip, State) VALUES ") +
                    contacts + QLatin1Char(';'));
        // Anna reads at the early Mass, Ben reads at any, Cara ushers at the late one and may
        // fill in, Dan sings at any and may fill in; Eve, Finn and Gus serve in groups only.
        server->Sql(QStringLiteral(R"(
            INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, SortIndex) VALUES
              ('%1', 'Lector', 0), ('%2', 'Usher', 1), ('%3', 'Cantor', 2);
            INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, LiturgyIndex) VALUES
              ('%4', 'Early Mass', 1), ('%5', 'Late Mass', 2);
            INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn, ContactType) VALUES
              ('P1', '%6', '%1', 0, 0), ('P2', '%7', '%1', 0, 0), ('P3', '%8', '%2', 1, 0), ('P4', '%9', '%3', 1, 0);
            INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_LiturgyTemplateID) VALUES
              ('PL1', 'P1', '%6', '%4'), ('PL3', 'P3', '%8', '%5');
        )")
                        .arg(kLector, kUsher, kCantor, kEarly, kLate, Key(QStringLiteral("Anna")), Key(QStringLiteral("Ben")),
                             Key(QStringLiteral("Cara")), Key(QStringLiteral("Dan"))));
        server->Sql(QStringLiteral(R"(
            INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('%8', 'Parish');
            INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES
              ('%1', 'Choir', '%5'), ('%2', 'Sopranos', '%1'), ('%3', 'Youth', '%5'), ('%4', 'Welcome team', '%5');
            INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID, F_MemberTypeID) VALUES
              ('M1', '%1', '%6', '%5'), ('M2', '%2', '%7', '%5'), ('M3', '%3', '%9', '%5'),
              ('W1', '%4', '%6', '%5'), ('W2', '%4', '%10', '%5'), ('W3', '%4', '%8', '%11'), ('W4', '%4', '%3', '%12');
        )")
                        .arg(kChoir, kSopranos, kYouth, kWelcome, EmptyGUID, Key(QStringLiteral("Eve")), Key(QStringLiteral("Finn")),
                             kFamily, Key(QStringLiteral("Anna")), Key(QStringLiteral("Gus")), TDAContacts::FamilyMemberType)
                        .arg(TDAContacts::GroupMemberType));
    }
    static void TearDownTestSuite() { StopSuite(); }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        ConnectAdministrator(host);
        host.User.UserLevel = 1;
        // Failures only: the data module's debug lines and the refresh's note are no failures.
        host.LogLine = [this](const TStandInHost::TLogEntry &entry) {
            if (entry.Location == QStringLiteral("acHYRefreshExecute") && entry.Message == QStringLiteral("c"))
                ++refreshNotes;
            else if (entry.Level <= QorLogLevel::Severe)
                return entry.Location + QStringLiteral(": ") + entry.Message;
            return QString();
        };
        host.SearchAnswer = TSearchObjectList();
        controller.ModuleCreate();
        controller.SetHost(&host);
        view = new TplgGroups(controller);
        view->resize(1000, 560);
        view->Activate(nullptr);
    }
    void TearDown() override
    {
        if (view) {
            view->Deactivate(nullptr);
            view->release();
        }
        controller.SetHost(nullptr);
        controller.ModuleDestroy();
    }

    QString Scalar(const QString &sql) { return server->db.scalar(QStringLiteral("SET search_path=dbo; ") + sql); }
    int Count(const QString &sql) { return Scalar(sql).toInt(); }
    // The people chosen in the search, by first name.
    static TSearchObjectList Chosen(const QStringList &names)
    {
        TSearchObjectList chosen;
        for (const QString &name : names)
            chosen << TDAContacts::ContactSearchItem(Key(name), name, kLastNames[kNames.indexOf(name)], name);
        return chosen;
    }
    QSet<QString> Preselected() const
    {
        QSet<QString> captions;
        for (const TSearchListItem &item : host.Preselected)
            captions << item.Object.Caption;
        return captions;
    }
    // What the chooser was given: the category, the selection, the view's criteria, the families'
    // exclusion, the override marker, the data source and the criteria.
    QStringList Report() const
    {
        if (host.Reports.isEmpty())
            return {};
        const TStandInHost::TReportCall call = host.LastReport();
        return QStringList{call.Category, call.HadSelection ? call.Selection.join(QLatin1Char('|')) : QString(), call.CriteriaText} +
               call.Texts;
    }
    QSet<QString> GroupMembers(const QString &group, const QString &type)
    {
        const QStringList members =
            Scalar(QStringLiteral("SELECT string_agg(F_MemberID, ',') FROM tblLnkGroupmembers WHERE F_GroupID = '%1' AND F_MemberTypeID = '%2'")
                       .arg(group, type))
                .split(QLatin1Char(','), Qt::SkipEmptyParts);
        return {members.begin(), members.end()};
    }

    // The people the view lists for its selected node, by first name.
    QSet<QString> Listed()
    {
        QSet<QString> names;
        TDACDSDataTable &members = controller.Data().DAContactByGroup();
        for (int row = 0; members.GetActive() && row < members.GetRecordCount(); ++row)
            names << members.ValueAt(row, members.FieldIndex(QStringLiteral("FirstName"))).toString();
        return names;
    }
    QTreeWidgetItem *Select(TGroupsNodeKind kind, const QString &id)
    {
        QTreeWidgetItem *item = view->FindNode(kind, id);
        if (item)
            view->Tree()->setCurrentItem(item);
        return item;
    }
    void SetShowChildren(bool on)
    {
        QAction *action = view->Action(QStringLiteral("acShowChildren"));
        if (action->isChecked() != on)
            action->trigger();
    }

    // The host the view lives in: the server's session, a user, a log, settings, and a search
    // that answers as the test says.
    TStandInHost host{THostPart::Search | THostPart::Reports | THostPart::Settings};
    int refreshNotes = 0;
    TRvContactsController controller;
    TplgGroups *view = nullptr;
};

struct TNodeCase
{
    const char *Node;
    TGroupsNodeKind Kind;
    QString ID;
    bool ShowChildren;
    QStringList Expected;
};

TEST_F(GroupsView, EveryKindOfNodeListsThePeopleItStandsFor)
{
    const QList<TNodeCase> cases = {
        {"a function", TGroupsNodeKind::MinistryFunction, kLector, false, {"Anna", "Ben"}},
        {"the functions root alone", TGroupsNodeKind::MinistryFunction, EmptyGUID, false, {}},
        {"the functions root with all below", TGroupsNodeKind::MinistryFunction, EmptyGUID, true, {"Anna", "Ben", "Cara", "Dan"}},
        {"a group", TGroupsNodeKind::Group, kChoir, false, {"Eve"}},
        {"a group with its sub-groups", TGroupsNodeKind::Group, kChoir, true, {"Eve", "Finn"}},
        {"the groups root with all below", TGroupsNodeKind::Group, EmptyGUID, true, {"Eve", "Finn", "Anna", "Gus"}},
        {"those who can fill in", TGroupsNodeKind::CanFillIn, QString(), false, {"Cara", "Dan"}},
        {"a liturgy, with those of no liturgy", TGroupsNodeKind::Liturgy, kEarly, false, {"Anna", "Ben", "Dan"}},
        {"the other liturgy", TGroupsNodeKind::Liturgy, kLate, true, {"Ben", "Cara", "Dan"}},
        {"a function under a liturgy", TGroupsNodeKind::FunctionOfLiturgy, kLector, false, {"Anna", "Ben"}},
        {"the usher under the late liturgy", TGroupsNodeKind::FunctionOfLiturgy, kUsher, false, {"Cara"}},
        {"a liturgy under a function", TGroupsNodeKind::LiturgyOfFunction, kLate, false, {"Cara"}},
        {"any liturgy under a function", TGroupsNodeKind::AnyLiturgy, QString(), false, {"Ben"}},
    };
    for (const TNodeCase &c : cases) {
        SCOPED_TRACE(c.Node);
        SetShowChildren(c.ShowChildren);
        ASSERT_TRUE(Select(c.Kind, c.ID));
        QSet<QString> expected;
        for (const QString &name : c.Expected)
            expected << name;
        EXPECT_EQ(Listed(), expected) << view->LastRequest().Dataset.toStdString() << " " << view->LastRequest().Where.toStdString();
        EXPECT_TRUE(view->Sum()->text().startsWith(QString::number(expected.size()) + QStringLiteral(" ")))
            << view->Sum()->text().toStdString();
    }
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

TEST_F(GroupsView, TheTreeHasItsFourRootsAndAnyLiturgyOnlyWhereLiturgiesAreLinked)
{
    QTreeWidget *tree = view->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    QStringList roots;
    for (int i = 0; i < 4; ++i)
        roots << tree->topLevelItem(i)->text(0);
    EXPECT_EQ(roots, (QStringList{controller.GetText(6001), controller.GetText(6005), controller.GetText(6003), controller.GetText(6002)}));
    // Opened on the groups root.
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(3));
    QTreeWidgetItem *lector = view->FindNode(TGroupsNodeKind::MinistryFunction, kLector);
    ASSERT_TRUE(lector);
    ASSERT_EQ(lector->childCount(), 2);
    EXPECT_EQ(lector->child(0)->text(0), TGroupsRules::AnyLiturgyCaption);
    EXPECT_EQ(lector->child(1)->text(0), QStringLiteral("Early Mass"));
    EXPECT_EQ(view->FindNode(TGroupsNodeKind::MinistryFunction, kCantor)->childCount(), 0);
    QTreeWidgetItem *late = view->FindNode(TGroupsNodeKind::Liturgy, kLate);
    ASSERT_EQ(late->childCount(), 1);
    EXPECT_EQ(late->child(0)->text(0), QStringLiteral("Usher"));
    EXPECT_EQ(view->FindNode(TGroupsNodeKind::Group, kSopranos)->parent(), view->FindNode(TGroupsNodeKind::Group, kChoir));

    // The root is a group node for new groups but cannot be renamed, deleted or given members.
    Select(TGroupsNodeKind::Group, EmptyGUID);
    EXPECT_TRUE(view->Action(QStringLiteral("acHYNew"))->isEnabled());
    for (const char *name : {"acHYEdit", "acHYDelete", "acHYAddContact"})
        EXPECT_FALSE(view->Action(QLatin1String(name))->isEnabled()) << name;
    Select(TGroupsNodeKind::Liturgy, kEarly);
    EXPECT_FALSE(view->Action(QStringLiteral("acHYNew"))->isEnabled());
    Select(TGroupsNodeKind::Group, kChoir);
    EXPECT_TRUE(view->Action(QStringLiteral("acHYAddContact"))->isEnabled());
    // Without bit 0 nothing is changed.
    host.User.UserLevel = 2;
    Select(TGroupsNodeKind::Group, kSopranos);
    for (const char *name : {"acHYNew", "acHYEdit", "acHYDelete", "acHYAddContact", "acHYRemoveContact", "acHYEditContact"})
        EXPECT_FALSE(view->Action(QLatin1String(name))->isEnabled()) << name;
}

TEST_F(GroupsView, TheChosenNodeAndTheSubGroupChoiceAreFoundAgainAfterARestart)
{
    SetShowChildren(false);
    // The same key under two roots: the first in tree order is chosen (Lector, not the
    // Lector below the early liturgy).
    ASSERT_TRUE(Select(TGroupsNodeKind::FunctionOfLiturgy, kLector));
    QTreeWidgetItem *chosen = view->Tree()->currentItem();
    const auto pathOf = [](QTreeWidgetItem *node) {
        QStringList path;
        for (; node; node = node->parent())
            path.prepend(node->text(0));
        return path;
    };
    const QStringList chosenPath = pathOf(chosen);
    view->Deactivate(nullptr);
    EXPECT_EQ(host.Settings.value(QStringLiteral("ActiveGroupNodeID")), kLector);
    // Shown again in the same session: the very node, not the first of its key.
    view->release();
    view = new TplgGroups(controller);
    view->Activate(nullptr);
    EXPECT_EQ(pathOf(view->Tree()->currentItem()), chosenPath);
    EXPECT_EQ(TplgGroups::KindOf(view->Tree()->currentItem()), TGroupsNodeKind::FunctionOfLiturgy);
    view->Deactivate(nullptr);
    // A restart begins without what the session kept.
    controller.GroupsNodeLeft.clear();
    EXPECT_EQ(host.Settings.value(QStringLiteral("GroupsView_ShowChildren")), QStringLiteral("0"));
    EXPECT_TRUE(host.Blobs.contains(QStringLiteral("GroupsListView")));
    host.Settings.insert(QStringLiteral("ActiveGroupNodeID"), kSopranos.toLower());
    host.Settings.insert(QStringLiteral("GroupGridWidth"), QStringLiteral("310"));
    view->release();
    view = new TplgGroups(controller);
    view->resize(1000, 560);
    view->Activate(nullptr);
    view->show(); // as the host does, after activating it
    EXPECT_EQ(view->Tree()->currentItem(), view->FindNode(TGroupsNodeKind::Group, kSopranos));
    EXPECT_FALSE(view->Action(QStringLiteral("acShowChildren"))->isChecked());
    EXPECT_EQ(view->Splitter()->sizes().value(0), 310);
    EXPECT_EQ(Listed(), QSet<QString>{QStringLiteral("Finn")});
    host.Settings.insert(QStringLiteral("ActiveGroupNodeID"), kLector);
    view->release();
    view = new TplgGroups(controller);
    view->Activate(nullptr);
    EXPECT_EQ(view->Tree()->currentItem(), view->FindNode(TGroupsNodeKind::MinistryFunction, kLector));
    host.Settings.clear();
}

TEST_F(GroupsView, PreviewPrintAndEditTakeTheListedPeople)
{
    SetShowChildren(false);
    ASSERT_TRUE(Select(TGroupsNodeKind::MinistryFunction, kLector));
    QStringList pageTexts;
    int pages = 0;
    view->RunPreview = [&](const ReportDocument &document) {
        pages = document.PageCount();
        for (const ReportElement &element : document.Page(0).Elements)
            pageTexts << element.Text;
    };
    view->Action(QStringLiteral("acHYPreview"))->trigger();
    EXPECT_EQ(pages, 1);
    for (const QString &text : {controller.GetText(8501) + QStringLiteral("Lector"), controller.GetText(1252), QStringLiteral("Adler"),
                                QStringLiteral("Brandt"), QStringLiteral("17 Church Street"), controller.GetText(8502),
                                QStringLiteral("Page 1 of 1")})
        EXPECT_TRUE(pageTexts.contains(text)) << text.toStdString();

    // The second row (sorted by last name, descending: Brandt, Adler) selected, then printed.
    view->Grid()->selectRow(1);
    view->Action(QStringLiteral("acHYPrint"))->trigger();
    EXPECT_EQ(Report(), (QStringList{TGroupsRules::ReportCategory, QStringLiteral("(PK_ContactID LIKE '%1')").arg(Key(QStringLiteral("Anna"))),
                                        QStringLiteral(" theID LIKE '%1'").arg(kLector), kLector, TGroupsRules::ReportOverride,
                                        QStringLiteral("rptDAContactByMinistryFunction"),
                                        QStringLiteral(" tblLnkServingPrefrence.F_MinistryFunctionID='%1'").arg(kLector)}));
    // Enter on the grid edits the first selected contact.
    QString edited;
    controller.Data().RunContactDialog = [&edited](const QString &key, bool) {
        edited = key;
        return TModalResult::Cancel;
    };
    ASSERT_TRUE(view->Action(QStringLiteral("acHYEditContact"))->isEnabled());
    view->Action(QStringLiteral("acHYEditContact"))->trigger();
    EXPECT_EQ(edited, Key(QStringLiteral("Anna")));

    // A group excludes no family; those who can fill in have their own criteria.
    Select(TGroupsNodeKind::Group, kChoir);
    view->Action(QStringLiteral("acHYPrint"))->trigger();
    EXPECT_EQ(Report().value(3), QString());
    Select(TGroupsNodeKind::CanFillIn, QString());
    view->Action(QStringLiteral("acHYPrint"))->trigger();
    EXPECT_EQ(Report().value(2), QStringLiteral(" (tblLnkServingPrefrence.ContactCanFillIn=1)"));
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

TEST_F(GroupsView, AGroupIsMadeRenamedMovedAndDeletedWithItsLinks)
{
    server->Sql(QStringLiteral(R"(
        INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES ('%1', 'Council', '%3'), ('%2', 'Finance', '%3');
        INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID, F_MemberTypeID) VALUES
          ('C1', '%1', '%4', '%3'), ('C2', '%2', '%5', '%3'), ('C3', '%2', '%6', '%3');
    )")
                    .arg(kCouncil, kFinance, EmptyGUID, Key(QStringLiteral("Anna")), Key(QStringLiteral("Ben")), Key(QStringLiteral("Cara"))));
    const int notes = refreshNotes;
    view->Action(QStringLiteral("acHYRefresh"))->trigger();
    EXPECT_EQ(refreshNotes, notes + 1) << "a refresh notes itself in the log";
    QTreeWidgetItem *council = view->FindNode(TGroupsNodeKind::Group, kCouncil);
    QTreeWidgetItem *finance = view->FindNode(TGroupsNodeKind::Group, kFinance);
    ASSERT_TRUE(council && finance);

    // New, under the council.
    view->Tree()->setCurrentItem(council);
    view->Action(QStringLiteral("acHYNew"))->trigger();
    const QString added = TplgGroups::IDOf(view->Tree()->currentItem());
    EXPECT_EQ(view->Tree()->currentItem()->parent(), council);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT GroupName || '|' || F_ParentGroupID FROM tblGroups WHERE PK_GroupID = '%1'").arg(added)),
              controller.GetText(6004) + QLatin1Char('|') + kCouncil);

    // Renamed, and an empty name refused.
    view->EditGroupNode(view->Tree()->currentItem(), QStringLiteral("Building"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT GroupName FROM tblGroups WHERE PK_GroupID = '%1'").arg(added)), QStringLiteral("Building"));
    view->EditGroupNode(view->Tree()->currentItem(), QStringLiteral("  "));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT GroupName FROM tblGroups WHERE PK_GroupID = '%1'").arg(added)), QStringLiteral("Building"));
    EXPECT_EQ(view->Tree()->currentItem()->text(0), QStringLiteral("Building"));

    // Moved: finance under the council; the council under its own child is refused, as is a
    // drop onto a node that is no group.
    view->Tree()->setCurrentItem(finance);
    ASSERT_TRUE(view->CanDrop(finance, council));
    view->DropGroup(finance, council);
    EXPECT_EQ(finance->parent(), council);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_ParentGroupID FROM tblGroups WHERE PK_GroupID = '%1'").arg(kFinance)), kCouncil);
    EXPECT_FALSE(view->CanDrop(council, finance));
    EXPECT_FALSE(view->CanDrop(council, council));
    EXPECT_FALSE(view->CanDrop(finance, view->FindNode(TGroupsNodeKind::Liturgy, kEarly)));

    // Deleted with everything below and every member link of them.
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->Tree()->setCurrentItem(council);
    view->Action(QStringLiteral("acHYDelete"))->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, controller.GetText(6013));
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::No);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblGroups WHERE PK_GroupID IN ('%1', '%2', '%3')").arg(kCouncil, kFinance, added)), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblLnkGroupmembers WHERE F_GroupID IN ('%1', '%2')").arg(kCouncil, kFinance)), 0);
    EXPECT_FALSE(view->FindNode(TGroupsNodeKind::Group, kCouncil));
    EXPECT_EQ(view->Tree()->currentItem(), view->FindNode(TGroupsNodeKind::Group, EmptyGUID));
    // The other groups keep their links.
    EXPECT_EQ(GroupMembers(kChoir, TDAContacts::ContactMemberType), QSet<QString>{Key(QStringLiteral("Eve"))});
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

TEST_F(GroupsView, SettingMembersKeepsFamilyAndGroupMembersAndRemovingTakesThemOut)
{
    SetShowChildren(false);
    ASSERT_TRUE(Select(TGroupsNodeKind::Group, kWelcome));
    EXPECT_EQ(Listed(), (QSet<QString>{QStringLiteral("Eve"), QStringLiteral("Gus")}));
    host.SearchAnswer = Chosen({QStringLiteral("Gus"), QStringLiteral("Finn"), QStringLiteral("Cara")});
    view->Action(QStringLiteral("acHYAddContact"))->trigger();
    EXPECT_EQ(host.SearchCaption, controller.GetText(6017).replace(QStringLiteral("%s"), QStringLiteral("Welcome team")));
    EXPECT_EQ(Preselected(),
              (QSet<QString>{Key(QStringLiteral("Eve")), Key(QStringLiteral("Gus"))}));
    EXPECT_EQ(GroupMembers(kWelcome, TDAContacts::ContactMemberType),
              (QSet<QString>{Key(QStringLiteral("Gus")), Key(QStringLiteral("Finn")), Key(QStringLiteral("Cara"))}));
    EXPECT_EQ(GroupMembers(kWelcome, TDAContacts::FamilyMemberType), QSet<QString>{kFamily});
    EXPECT_EQ(GroupMembers(kWelcome, TDAContacts::GroupMemberType), QSet<QString>{kYouth});
    // Gus kept his link rather than getting a new one.
    EXPECT_EQ(Scalar(QStringLiteral("SELECT PK_LinkID FROM tblLnkGroupmembers WHERE F_GroupID = '%1' AND F_MemberID = '%2'")
                         .arg(kWelcome, Key(QStringLiteral("Gus")))),
              QStringLiteral("W2"));
    EXPECT_EQ(Listed(), (QSet<QString>{QStringLiteral("Gus"), QStringLiteral("Finn"), QStringLiteral("Cara")}));

    // Two selected and No: out of this group alone.
    QTableView *grid = view->Grid();
    grid->clearSelection();
    grid->selectionModel()->select(grid->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid->selectionModel()->select(grid->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QStringList removed = view->SelectedContacts();
    ASSERT_EQ(removed.size(), 2);
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    view->Action(QStringLiteral("acHYRemoveContact"))->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, controller.GetText(6015).replace(QStringLiteral("%s"), QStringLiteral("2")));
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::Cancel);
    EXPECT_EQ(GroupMembers(kWelcome, TDAContacts::ContactMemberType).size(), 1);
    for (const QString &key : removed)
        EXPECT_FALSE(GroupMembers(kWelcome, TDAContacts::ContactMemberType).contains(key));
    EXPECT_EQ(GroupMembers(kWelcome, TDAContacts::FamilyMemberType), QSet<QString>{kFamily});

    // Yes on the choir: Finn leaves the sopranos below it too.
    SetShowChildren(true);
    Select(TGroupsNodeKind::Group, kChoir);
    EXPECT_EQ(Listed(), (QSet<QString>{QStringLiteral("Eve"), QStringLiteral("Finn")}));
    grid->selectAll();
    prompt.Answer(QMessageBox::Yes);
    view->Action(QStringLiteral("acHYRemoveContact"))->trigger();
    EXPECT_TRUE(GroupMembers(kChoir, TDAContacts::ContactMemberType).isEmpty());
    EXPECT_TRUE(GroupMembers(kSopranos, TDAContacts::ContactMemberType).isEmpty());
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();
}

// The server made to refuse: a member removal it does not carry out, and a rename it refuses,
// are told to the user, and the view shows what the server holds.
TEST_F(GroupsView, RefusedRemovalsAndRenamesAreToldAndTheViewShowsTheServersState)
{
    QStringList told;
    controller.Data().ShowSaveFailure = [&](const QString &message) { told << message; };
    server->Sql(QStringLiteral(R"(
        CREATE OR REPLACE FUNCTION dbo.refuse_group_changes() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN RAISE EXCEPTION 'groups are held'; END $$;
        CREATE TRIGGER hold_links BEFORE DELETE ON dbo.tblLnkGroupmembers FOR EACH ROW EXECUTE FUNCTION dbo.refuse_group_changes();
        CREATE TRIGGER hold_groups BEFORE UPDATE ON dbo.tblGroups FOR EACH ROW EXECUTE FUNCTION dbo.refuse_group_changes();
    )"));
    const auto drop = qScopeGuard([] {
        server->Sql(QStringLiteral("DROP TRIGGER hold_links ON dbo.tblLnkGroupmembers; DROP TRIGGER hold_groups ON dbo.tblGroups;"));
    });
    SetShowChildren(false);
    ASSERT_TRUE(Select(TGroupsNodeKind::Group, kYouth));
    const QSet<QString> before = Listed();
    ASSERT_FALSE(before.isEmpty());
    view->Grid()->selectAll();
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    view->Action(QStringLiteral("acHYRemoveContact"))->trigger();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(controller.GetText(1446))) << told[0].toStdString();
    EXPECT_EQ(Listed(), before) << "still members, as the server holds";

    view->EditGroupNode(view->FindNode(TGroupsNodeKind::Group, kYouth), QStringLiteral("Teens"));
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[1].contains(QStringLiteral("groups are held"))) << told[1].toStdString();
    EXPECT_FALSE(controller.Data().DAGroupsList().HasChanges());
    EXPECT_EQ(view->FindNode(TGroupsNodeKind::Group, kYouth)->text(0), QStringLiteral("Youth"));
}

// A change to the groups left pending (a rename the picker of the contacts view made) that the
// server refuses when Refresh or leaving the view sends it: told, and the server's name shown.
TEST_F(GroupsView, APendingGroupChangeRefusedOnRefreshOrLeavingIsToldAndDropped)
{
    QStringList told;
    controller.Data().ShowSaveFailure = [&](const QString &message) { told << message; };
    server->Sql(QStringLiteral(R"(
        CREATE OR REPLACE FUNCTION dbo.refuse_group_changes() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN RAISE EXCEPTION 'groups are held'; END $$;
        CREATE TRIGGER hold_groups BEFORE UPDATE ON dbo.tblGroups FOR EACH ROW EXECUTE FUNCTION dbo.refuse_group_changes();
    )"));
    const auto drop = qScopeGuard([] { server->Sql(QStringLiteral("DROP TRIGGER hold_groups ON dbo.tblGroups;")); });
    TDACDSDataTable &groups = controller.Data().DAGroupsList();
    const auto renamePending = [&] {
        ASSERT_TRUE(groups.Locate(QStringLiteral("PK_GroupID"), kYouth));
        groups.Edit();
        groups.SetValue(QStringLiteral("GroupName"), QStringLiteral("Teens"));
        groups.Post();
        ASSERT_TRUE(groups.HasChanges());
    };
    renamePending();
    view->Action(QStringLiteral("acHYRefresh"))->trigger();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("groups are held"))) << told[0].toStdString();
    EXPECT_FALSE(groups.HasChanges());
    EXPECT_EQ(view->FindNode(TGroupsNodeKind::Group, kYouth)->text(0), QStringLiteral("Youth"));

    renamePending();
    view->Deactivate(nullptr);
    ASSERT_EQ(told.size(), 2);
    EXPECT_FALSE(groups.HasChanges());
    view->Activate(nullptr);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT GroupName FROM tblGroups WHERE PK_GroupID = '%1'").arg(kYouth)), QStringLiteral("Youth"));
}

// Not a check: the picture for the documentation, when a folder is named.
TEST_F(GroupsView, Picture)
{
    const QString folder = qEnvironmentVariable("KESTROVA_SCREENSHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "KESTROVA_SCREENSHOTS names no folder";
    // A youth group the size of a real one.
    const QStringList first = {QStringLiteral("Clara"), QStringLiteral("Dominik"), QStringLiteral("Elena"), QStringLiteral("Franz"),
                               QStringLiteral("Greta"), QStringLiteral("Hugo"), QStringLiteral("Ida"), QStringLiteral("Jonas"),
                               QStringLiteral("Katharina"), QStringLiteral("Lukas")};
    const QStringList last = {QStringLiteral("Hoffmann"), QStringLiteral("Imhof"), QStringLiteral("Jansen"), QStringLiteral("Kellner"),
                              QStringLiteral("Lindqvist"), QStringLiteral("Meier-Oberholzer"), QStringLiteral("Novak"),
                              QStringLiteral("Ortega"), QStringLiteral("Petersen"), QStringLiteral("Quast")};
    for (int i = 0; i < int(first.size()); ++i) {
        const QString key = QStringLiteral("{C2000000-0000-0000-0000-0000000000%1}").arg(10 + i);
        server->Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, Street, Zip, City, State, EMail1) VALUES "
                                   "('%1', '%2', '%3', '%4 Mill Lane', '6270%5', 'Springfield', 'IL', '%6@example.org');"
                                   "INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID, F_MemberTypeID) VALUES ('Y%5', '%7', '%1', '%8');")
                        .arg(key, first[i], last[i], QString::number(3 + 11 * i), QString::number(i), first[i].toLower(), kYouth)
                        .arg(EmptyGUID));
    }
    view->Action(QStringLiteral("acHYRefresh"))->trigger();
    SetShowChildren(true);
    view->Tree()->expandAll();
    Select(TGroupsNodeKind::Group, kYouth);
    // Framed as the main window shows it: the view's menus and tool bar above it.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kestrova"));
    for (QToolBar *bar : view->GetBarManager()) {
        auto *copy = new QToolBar(&window);
        copy->setIconSize(QSize(24, 24));
        copy->setMovable(false);
        copy->addActions(bar->actions());
        window.addToolBar(Qt::TopToolBarArea, copy);
        window.addToolBarBreak();
    }
    window.setCentralWidget(view);
    window.resize(1100, 620);
    window.show();
    for (int i = 0; i < 30; ++i)
        QApplication::processEvents();
    const bool saved = window.grab().save(QDir(folder).filePath(QStringLiteral("groups-view.png")));
    view->setParent(nullptr); // the view goes with its last reference, not with the window
    ASSERT_TRUE(saved);
}

} // namespace
