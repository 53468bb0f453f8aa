// The contacts data module against a real server: what a contact dialog changed arrives
// complete or not at all, Cancel leaves nothing behind, one rule type or one function is
// changed without touching the others, and families gain and lose members.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactRules.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGroupTree.h"
#include "plugins/contacts/uDateField.h"
#include "plugins/contacts/uDialogPicture.h"
#include "plugins/contacts/ufContactDialog.h"
#include "plugins/contacts/ufFamilyDlg.h"
#include "plugins/contacts/ufGroups.h"

#include "testsupport/StandInHost.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QCheckBox>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

const QString kLector = QStringLiteral("{F0000000-0000-0000-0000-00000000000A}");
const QString kUsher = QStringLiteral("{F0000000-0000-0000-0000-00000000000B}");
const QString kEarly = QStringLiteral("{E0000000-0000-0000-0000-00000000000A}");
const QString kLate = QStringLiteral("{E0000000-0000-0000-0000-00000000000B}");
const QString kWeekly = QStringLiteral("{D0000000-0000-0000-0000-00000000000A}");
const QString kMonthly = QStringLiteral("{D0000000-0000-0000-0000-00000000000B}");
// Other contacts the rules point at.
const QStringList kOthers = {QStringLiteral("{C0000000-0000-0000-0000-000000000001}"),
                             QStringLiteral("{C0000000-0000-0000-0000-000000000002}"),
                             QStringLiteral("{C0000000-0000-0000-0000-000000000003}"),
                             QStringLiteral("{C0000000-0000-0000-0000-000000000004}")};

class ContactsData : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new ServiceServer;
        server->Start();
        if (!server->db.available())
            return;
        server->Sql(QStringLiteral(R"(
            INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES ('%1', 'Lector'), ('%2', 'Usher');
            INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, LiturgyIndex) VALUES ('%3', 'Early', 1), ('%4', 'Late', 2);
            INSERT INTO tblServingFrequency (PK_ServingFrequencyID, ServingFreqencyAsInteger, ServingFrequencyDescription)
              VALUES ('%5', 1, 'Weekly'), ('%6', 4, 'Monthly');
            INSERT INTO tblContacts (PK_ContactID, FirstName, LastName) VALUES
              ('%7', 'Olga', 'One'), ('%8', 'Tom', 'Two'), ('%9', 'Thea', 'Three'), ('%10', 'Fred', 'Four');
        )")
                        .arg(kLector, kUsher, kEarly, kLate, kWeekly, kMonthly, kOthers[0], kOthers[1], kOthers[2])
                        .arg(kOthers[3]));
    }
    static void TearDownTestSuite()
    {
        client.reset();
        if (server)
            server->Stop();
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        if (!client)
            client = std::make_unique<ServiceClient>(server->Administrator());
        host.Channel = client->Channel;
        host.Message = client->Message;
        host.User.UserID = ServiceServer::kAdministratorId;
        host.User.UserName = QStringLiteral("admin");
        controller.ModuleCreate();
        controller.SetHost(&host);
        Data().ShowSaveFailure = [this](const QString &message) { failures << message; };
        Data().DAContactList().Open();
    }
    void TearDown() override
    {
        controller.SetHost(nullptr);
        controller.ModuleDestroy();
    }

    TDAContacts &Data() { return controller.Data(); }
    QString Scalar(const QString &sql) { return server->db.scalar(QStringLiteral("SET search_path=dbo; ") + sql); }
    int Count(const QString &sql) { return Scalar(sql).toInt(); }
    QString ContactByName(const QString &last)
    {
        return Scalar(QStringLiteral("SELECT PK_ContactID FROM tblContacts WHERE LastName = '%1'").arg(last));
    }
    bool AnythingPending()
    {
        for (TDACDSDataTable *t : {&Data().DAContactDetails(), &Data().DALnkServingPrefrence(), &Data().DAServingPrefrenceLiturgy(),
                                   &Data().DAServingPrefrenceFrequency(), &Data().DAAllRules(), &Data().DAUnAvailiabillity(),
                                   &Data().DAMinisterSchedule(), &Data().DAContactList()})
            if (t->GetActive() && (t->HasChanges() || t->GetState() != TDATableState::dsBrowse))
                return true;
        return false;
    }
    static TSearchObjectList Pick(int other)
    {
        return {TDAContacts::ContactSearchItem(kOthers[other], QStringLiteral("Other"), QString::number(other),
                                               QStringLiteral("Other %1").arg(other))};
    }

    // What a planner types into a new contact: a name, a fax number, two functions with a
    // liturgy, a frequency and the fill-in mark, a rule of each type and three days away.
    static void FillNewContact(TContactRules &editor, const QString &lastName)
    {
        editor.NameTyped();
        editor.FinishName(QStringLiteral("Ann Marie ") + lastName);
        editor.SetField(TContactRules::PhoneField(4), QStringLiteral("(555) 123-4567"));
        editor.SetField(TContactRules::EmailField(2), QStringLiteral("ann@example.org"));
        editor.CheckFunction(kLector);
        editor.CheckFunction(kUsher);
        editor.SetLiturgy(kLector, kEarly, true);
        editor.SetFrequency(kLector, kWeekly, true);
        editor.SetLiturgy(kUsher, kLate, true);
        editor.SetCanFillIn(kUsher, true);
        for (int type = 0; type < TContactRules::RuleTypeCount; ++type)
            editor.SetRule(type, Pick(type));
        editor.MarkUnavailable({QDate(2027, 1, 3), QDate(2027, 1, 10), QDate(2027, 1, 17)});
    }

    // Saves a new contact as FillNewContact types it; answers its key.
    QString NewFilledContact(const QString &lastName)
    {
        Data().RunContactDialog = [this, lastName](const QString &key, bool) {
            TContactRules editor(Data());
            editor.SetContact(key);
            FillNewContact(editor, lastName);
            return TModalResult::Ok;
        };
        EXPECT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
        return ContactByName(lastName);
    }

    static inline ServiceServer *server = nullptr;
    // One logged-on session for the whole suite.
    static inline std::unique_ptr<ServiceClient> client;
    TStandInHost host{THostPart::Reports};
    TRvContactsController controller;
    QStringList failures;
};

TEST_F(ContactsData, ANewContactArrivesComplete)
{
    const QString key = NewFilledContact(QStringLiteral("Complete"));
    ASSERT_FALSE(key.isEmpty());
    EXPECT_EQ(Scalar(QStringLiteral("SELECT FirstName || '|' || MiddleName || '|' || Fax || '|' || EMail2 || '|' || F_CreatedUserID "
                                    "FROM tblContacts WHERE PK_ContactID = '%1'").arg(key)),
              QStringLiteral("Ann|Marie|(555) 123-4567|ann@example.org|") + ServiceServer::kAdministratorId);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(f.MinistryFunctionName || ':' || CASE WHEN p.ContactCanFillIn <> 0 THEN 'fills in' ELSE 'no' END, ',' "
                                    "ORDER BY f.MinistryFunctionName) FROM tblLnkServingPrefrence p JOIN tblMinistryFunctions f "
                                    "ON f.PK_MinistryFunctionID = p.F_MinistryFunctionID WHERE p.F_ContactID = '%1'").arg(key)),
              QStringLiteral("Lector:no,Usher:fills in"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(f.MinistryFunctionName || ':' || t.LiturgyTemplateName, ',' ORDER BY 1) "
                                    "FROM tblServingPrefrenceLiturgy l JOIN tblLnkServingPrefrence p ON p.PK_ServingPrefrenceID = l.F_ServingPrefrenceID "
                                    "JOIN tblMinistryFunctions f ON f.PK_MinistryFunctionID = p.F_MinistryFunctionID "
                                    "JOIN tblLiturgyTemplates t ON t.PK_LiturgyTemplateID = l.F_LiturgyTemplateID WHERE l.F_ContactID = '%1'").arg(key)),
              QStringLiteral("Lector:Early,Usher:Late"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblServingPrefrenceFrequency WHERE F_ContactID = '%1' AND F_FrequencyID = '%2'").arg(key, kWeekly)), 1);
    for (int type = 0; type < TContactRules::RuleTypeCount; ++type)
        EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(F_RuleMemberID, ',') FROM tblLnkServingRules WHERE F_OwnerMemberID = '%1' AND F_RuleTypeID = '%2'")
                             .arg(key, TContactRules::RuleTypes[type])),
                  kOthers[type]) << type;
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(to_char(UnavailiableDate, 'YYYY-MM-DD'), ',' ORDER BY UnavailiableDate) "
                                    "FROM tblUnAvailiabillity WHERE F_ContactID = '%1'").arg(key)),
              QStringLiteral("2027-01-03,2027-01-10,2027-01-17"));
    EXPECT_FALSE(AnythingPending());
    EXPECT_EQ(Data().DAContactList().AsString(QStringLiteral("PK_ContactID")), key) << "the list stands on the new contact";
}

TEST_F(ContactsData, CancelOfANewContactLeavesNoRowAndNothingPending)
{
    Data().RunContactDialog = [this](const QString &key, bool) {
        TContactRules editor(Data());
        editor.SetContact(key);
        FillNewContact(editor, QStringLiteral("Cancelled"));
        EXPECT_TRUE(editor.HasChanges());
        return TModalResult::Cancel;
    };
    EXPECT_FALSE(Data().NewContact());
    EXPECT_FALSE(AnythingPending());
    // A later save of another contact sends nothing of the cancelled one.
    NewFilledContact(QStringLiteral("SavedAfter"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblContacts WHERE LastName = 'Cancelled'")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblLnkServingPrefrence p WHERE NOT EXISTS "
                                   "(SELECT 1 FROM tblContacts c WHERE c.PK_ContactID = p.F_ContactID)")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblUnAvailiabillity u WHERE NOT EXISTS "
                                   "(SELECT 1 FROM tblContacts c WHERE c.PK_ContactID = u.F_ContactID)")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblLnkServingRules r WHERE NOT EXISTS "
                                   "(SELECT 1 FROM tblContacts c WHERE c.PK_ContactID = r.F_OwnerMemberID)")), 0);
}

TEST_F(ContactsData, EditingOneRuleTypeKeepsTheOthers)
{
    const QString key = NewFilledContact(QStringLiteral("Rules"));
    Data().RunContactDialog = [this](const QString &contact, bool isNew) {
        EXPECT_FALSE(isNew);
        TContactRules editor(Data());
        editor.SetContact(contact);
        EXPECT_EQ(editor.RuleText(1), QStringLiteral("Tom Two"));
        TSearchObjectList picked = Pick(2);
        picked << Pick(3);
        editor.SetRule(1, picked);
        editor.ClearRule(3);
        EXPECT_EQ(editor.RuleText(0), QStringLiteral("Olga One"));
        return TModalResult::Ok;
    };
    ASSERT_TRUE(Data().EditContact(key)) << host.Log.join('\n').toStdString();
    auto members = [&](int type) {
        return Scalar(QStringLiteral("SELECT string_agg(F_RuleMemberID, ',' ORDER BY F_RuleMemberID) FROM tblLnkServingRules "
                                     "WHERE F_OwnerMemberID = '%1' AND F_RuleTypeID = '%2'").arg(key, TContactRules::RuleTypes[type]));
    };
    EXPECT_EQ(members(0), kOthers[0]);
    EXPECT_EQ(members(1), kOthers[2] + QLatin1Char(',') + kOthers[3]);
    EXPECT_EQ(members(2), kOthers[2]);
    EXPECT_EQ(members(3), QString());
}

TEST_F(ContactsData, UncheckingAFunctionDeletesOnlyItsOwnPreferences)
{
    const QString key = NewFilledContact(QStringLiteral("Functions"));
    Data().RunContactDialog = [this](const QString &contact, bool) {
        TContactRules editor(Data());
        editor.SetContact(contact);
        EXPECT_EQ(editor.CheckedFunctions().size(), 2);
        EXPECT_FALSE(editor.AllLiturgies(kLector));
        editor.UncheckFunction(kLector);
        EXPECT_FALSE(editor.FunctionChecked(kLector));
        editor.SetCanFillIn(kUsher, false);
        return TModalResult::Ok;
    };
    ASSERT_TRUE(Data().EditContact(key)) << host.Log.join('\n').toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(F_MinistryFunctionID || ':' || ContactCanFillIn::text, ',') FROM tblLnkServingPrefrence "
                                    "WHERE F_ContactID = '%1'").arg(key)),
              kUsher + QStringLiteral(":0"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(F_LiturgyTemplateID, ',') FROM tblServingPrefrenceLiturgy WHERE F_ContactID = '%1'").arg(key)), kLate);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblServingPrefrenceFrequency WHERE F_ContactID = '%1'").arg(key)), 0);
}

TEST_F(ContactsData, ASaveThatFailsKeepsEverythingTypedForTheNextTry)
{
    int runs = 0;
    Data().ShowSaveFailure = [this](const QString &message) {
        failures << message;
        Data().SetConnection(host.Channel, host.Message); // the server is back
    };
    Data().RunContactDialog = [this, &runs](const QString &key, bool) {
        TContactRules editor(Data());
        editor.SetContact(key);
        if (++runs == 1) {
            FillNewContact(editor, QStringLiteral("Retried"));
            Data().ClearConnection(); // the server goes away before OK
        } else {
            EXPECT_EQ(editor.FullName(), QStringLiteral("Ann Marie Retried"));
            EXPECT_EQ(editor.CheckedFunctions().size(), 2);
            EXPECT_EQ(editor.UnavailableDays().size(), 3);
        }
        return TModalResult::Ok;
    };
    ASSERT_TRUE(Data().NewContact());
    EXPECT_EQ(runs, 2);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains(QStringLiteral("no server connection"))) << failures[0].toStdString();
    const QString key = ContactByName(QStringLiteral("Retried"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblUnAvailiabillity WHERE F_ContactID = '%1'").arg(key)), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblLnkServingRules WHERE F_OwnerMemberID = '%1'").arg(key)), 4);
}

// Planners A and B opened one row; A changed a field and saved, then B changed the same field.
TEST_F(ContactsData, TheLaterOfTwoPlannersToChangeOneFieldIsToldAndLosesNothing)
{
    // A second planner: a session, a host and a data module of his own.
    const ServiceClient otherClient = server->Administrator();
    TStandInHost otherHost{THostPart::Reports};
    otherHost.Channel = otherClient.Channel;
    otherHost.Message = otherClient.Message;
    otherHost.User = host.User;
    TRvContactsController other;
    other.ModuleCreate();
    other.SetHost(&otherHost);
    const auto unload = qScopeGuard([&] {
        other.SetHost(nullptr);
        other.ModuleDestroy();
    });
    other.Data().DAContactList().Open();

    using TRun = std::function<void()>;
    struct TCase
    {
        const char *Dialog;
        QString Key;
        QString Insert;
        QString Stored;
        QString Field;
        QString Name; // how the planner is told which row
        std::function<TDACDSDataTable &(TDAContacts &)> Table;
        std::function<void(TDAContacts &, TRun)> OnDialog;
        std::function<bool(TDAContacts &, const QString &)> Open;
    };
    const TCase cases[] = {
        {"contact", QStringLiteral("{C1000000-0000-0000-0000-000000000001}"),
         QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, City) VALUES ('%1', 'Dana', 'Doyle', 'Dublin')"),
         QStringLiteral("SELECT City FROM tblContacts WHERE PK_ContactID = '%1'"), QStringLiteral("City"), QStringLiteral("Dana Doyle"), [](TDAContacts &d) -> TDACDSDataTable & { return d.DAContactDetails(); },
         [](TDAContacts &d, TRun run) {
             d.RunContactDialog = [run](const QString &, bool) {
                 run();
                 return TModalResult::Ok;
             };
         },
         [](TDAContacts &d, const QString &key) { return d.EditContact(key); }},
        {"family", QStringLiteral("{FA000000-0000-0000-0000-000000000001}"),
         QStringLiteral("INSERT INTO tblFamilies (PK_FamilyID, FamilyName, FamilyCity) VALUES ('%1', 'Doyles', 'Dublin')"),
         QStringLiteral("SELECT FamilyCity FROM tblFamilies WHERE PK_FamilyID = '%1'"), QStringLiteral("FamilyCity"), QStringLiteral("Doyles"), [](TDAContacts &d) -> TDACDSDataTable & { return d.DAFamilyDetails(); },
         [](TDAContacts &d, TRun run) {
             d.RunFamilyDialog = [run](int) {
                 run();
                 return TModalResult::Ok;
             };
         },
         [](TDAContacts &d, const QString &key) { return d.EditFamily(key); }}};
    const auto type = [](TDACDSDataTable &table, const QString &field, const QString &value) {
        if (table.GetState() == TDATableState::dsBrowse)
            table.Edit();
        table.SetValue(field, value);
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Dialog);
        server->Sql(c.Insert.arg(c.Key));
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::No);  // keep what I typed
        prompt.Answer(QMessageBox::Yes); // then load what is stored
        int runs = 0;
        c.OnDialog(Data(), [&] { type(c.Table(Data()), c.Field, QStringLiteral("Cork")); });
        c.OnDialog(other.Data(), [&] {
            TDACDSDataTable &shown = c.Table(other.Data());
            switch (++runs) {
            case 1:
                EXPECT_TRUE(c.Open(Data(), c.Key)) << host.Log.join('\n').toStdString();
                type(shown, c.Field, QStringLiteral("Limerick"));
                break;
            case 2: // refused, and still what he typed
                EXPECT_EQ(shown.AsString(c.Field), QStringLiteral("Limerick"));
                break;
            default: // the stored row, as the other planner left it
                EXPECT_EQ(shown.AsString(c.Field), QStringLiteral("Cork"));
                type(shown, c.Field, QStringLiteral("Limerick"));
            }
        });
        EXPECT_TRUE(c.Open(other.Data(), c.Key)) << otherHost.Log.join('\n').toStdString();
        EXPECT_EQ(runs, 3);
        ASSERT_EQ(prompt.Prompts().size(), 2);
        EXPECT_TRUE(prompt.Prompts()[0].Text.contains(c.Name)) << prompt.Prompts()[0].Text.toStdString();
        EXPECT_EQ(Scalar(c.Stored.arg(c.Key)), QStringLiteral("Limerick"));
    }

    // An action that saves at once, a contact joining a family, is told the same way.
    const QString eve = QStringLiteral("{C1000000-0000-0000-0000-000000000002}");
    const QString theirs = QStringLiteral("{FA000000-0000-0000-0000-000000000002}");
    const QString mine = QStringLiteral("{FA000000-0000-0000-0000-000000000003}");
    server->Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName) VALUES ('%1', 'Eve', 'Egan');"
                               "INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('%2', 'Egans'), ('%3', 'Fords')")
                    .arg(eve, theirs, mine));
    TDACDSDataTable &list = Data().DAContactList();
    list.Refresh();
    ASSERT_TRUE(list.Locate(QStringLiteral("PK_ContactID"), eve));
    server->Sql(QStringLiteral("UPDATE tblContacts SET F_FamilyID = '%1' WHERE PK_ContactID = '%2'").arg(theirs, eve));
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    prompt.Answer(QMessageBox::Yes);
    failures.clear();
    const auto family = [&] { return Scalar(QStringLiteral("SELECT F_FamilyID FROM tblContacts WHERE PK_ContactID = '%1'").arg(eve)); };
    TDAContacts::JoinFamily(list, mine);
    EXPECT_FALSE(Data().SaveOrRevert(QStringLiteral("join"), {&list}));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("Eve Egan"))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_EQ(failures, QStringList()); // not the server's text
    ASSERT_TRUE(list.Locate(QStringLiteral("PK_ContactID"), eve));
    EXPECT_EQ(list.AsString(QStringLiteral("F_FamilyID")), mine);
    EXPECT_TRUE(Data().SaveOrRevert(QStringLiteral("join"), {&list})); // the stored row loaded
    ASSERT_TRUE(list.Locate(QStringLiteral("PK_ContactID"), eve));
    EXPECT_EQ(list.AsString(QStringLiteral("F_FamilyID")), theirs);
    TDAContacts::JoinFamily(list, mine);
    EXPECT_TRUE(Data().SaveOrRevert(QStringLiteral("join"), {&list}));
    EXPECT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(family(), mine);
}

TEST_F(ContactsData, ANewFamilyWithTwoMembersThenOneFreedGetsNull)
{
    const QString ann = NewFilledContact(QStringLiteral("Parent"));
    const QString ben = NewFilledContact(QStringLiteral("Child"));
    TDACDSDataTable &contacts = Data().DAContactList();
    Data().RunFamilyDialog = [&](int mode) {
        EXPECT_EQ(mode, 0);
        TDACDSDataTable &family = Data().DAFamilyDetails();
        family.SetValue(QStringLiteral("FamilyName"), QStringLiteral("Parent-Child"));
        const QString familyKey = family.AsString(QStringLiteral("PK_FamilyID"));
        contacts.ClearFilter();
        for (const QString &member : {ann, ben}) {
            EXPECT_TRUE(contacts.Locate(QStringLiteral("PK_ContactID"), member));
            TDAContacts::JoinFamily(contacts, familyKey);
        }
        return TModalResult::Ok;
    };
    Data().NewFamily();
    const QString family = Scalar(QStringLiteral("SELECT PK_FamilyID FROM tblFamilies WHERE FamilyName = 'Parent-Child'"));
    ASSERT_FALSE(family.isEmpty()) << host.Log.join('\n').toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblContacts WHERE F_FamilyID = '%1'").arg(family)), 2);

    Data().RunFamilyDialog = [&](int mode) {
        EXPECT_EQ(mode, 1);
        EXPECT_EQ(contacts.GetRecordCount(), 2) << "the dialog shows the family's members";
        EXPECT_TRUE(contacts.Locate(QStringLiteral("PK_ContactID"), ben));
        TDAContacts::FreeFromFamily(contacts);
        return TModalResult::Ok;
    };
    EXPECT_TRUE(Data().EditFamily(family));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT coalesce(F_FamilyID, 'NULL') FROM tblContacts WHERE PK_ContactID = '%1'").arg(ben)), QStringLiteral("NULL"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_FamilyID FROM tblContacts WHERE PK_ContactID = '%1'").arg(ann)), family);
}

TEST_F(ContactsData, CancelOfANewFamilyLeavesNoMemberPointingAtIt)
{
    const QString ann = NewFilledContact(QStringLiteral("Lonely"));
    QString familyKey;
    Data().RunFamilyDialog = [&](int) {
        familyKey = Data().DAFamilyDetails().AsString(QStringLiteral("PK_FamilyID"));
        Data().DAContactList().ClearFilter();
        EXPECT_TRUE(Data().DAContactList().Locate(QStringLiteral("PK_ContactID"), ann));
        TDAContacts::JoinFamily(Data().DAContactList(), familyKey);
        return TModalResult::Cancel;
    };
    Data().NewFamily();
    EXPECT_FALSE(AnythingPending());
    NewFilledContact(QStringLiteral("Later"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblContacts WHERE F_FamilyID = '%1'").arg(familyKey)), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblFamilies WHERE PK_FamilyID = '%1'").arg(familyKey)), 0);
}

QStringList Captions(const TGroupNode &node, const QString &indent = {})
{
    QStringList lines{indent + node.Caption};
    for (const TGroupNode &child : node.Children)
        lines << Captions(child, indent + QStringLiteral("  "));
    return lines;
}

TEST_F(ContactsData, GroupMovesIntoTheirOwnDescendantsAreRefused)
{
    TGroupTree tree(Data());
    const QString choir = tree.AddGroup(EmptyGUID, QStringLiteral("Choir"));
    const QString altos = tree.AddGroup(choir, QStringLiteral("Altos"));
    const QString young = tree.AddGroup(altos, QStringLiteral("Young altos"));
    EXPECT_TRUE(host.Log.contains(QStringLiteral("%1 Contacts F1: INSERT").arg(QorLogLevel::Debug))) << "a trace, not a failure";
    Data().ApplyGroupChanges();

    EXPECT_FALSE(tree.MoveGroup(choir, young));
    EXPECT_FALSE(tree.MoveGroup(choir, altos));
    EXPECT_FALSE(tree.MoveGroup(altos, altos));
    EXPECT_FALSE(Data().GroupChangesPending());
    EXPECT_TRUE(tree.MoveGroup(young, choir));
    Data().ApplyGroupChanges();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_ParentGroupID FROM tblGroups WHERE PK_GroupID = '%1'").arg(young)), choir);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_ParentGroupID FROM tblGroups WHERE PK_GroupID = '%1'").arg(choir)), EmptyGUID);
}

TEST_F(ContactsData, FillingTheTreeEndsEvenWhenGroupsPointAtEachOther)
{
    server->Sql(QStringLiteral("INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES "
                               "('{B0000000-0000-0000-0000-00000000000X}', 'Loop X', '{B0000000-0000-0000-0000-00000000000Y}'), "
                               "('{B0000000-0000-0000-0000-00000000000Y}', 'Loop Y', '{B0000000-0000-0000-0000-00000000000X}'), "
                               "('{B0000000-0000-0000-0000-00000000000Z}', 'Ushers', NULL)"));
    TGroupTree tree(Data());
    const QStringList lines = Captions(tree.Build(QStringLiteral("All groups")));
    EXPECT_TRUE(lines.contains(QStringLiteral("  Ushers"))) << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.join('\n').contains(QStringLiteral("Loop")));
    EXPECT_FALSE(tree.MoveGroup(QStringLiteral("{B0000000-0000-0000-0000-00000000000X}"), QStringLiteral("{B0000000-0000-0000-0000-00000000000Y}")));
}

TEST_F(ContactsData, DeletingAGroupRemovesItsSubGroupsAndTheirMemberLinks)
{
    const QString member = NewFilledContact(QStringLiteral("Member"));
    TGroupTree tree(Data());
    const QString youth = tree.AddGroup(EmptyGUID, QStringLiteral("Youth"));
    const QString band = tree.AddGroup(youth, QStringLiteral("Band"));
    const QString other = tree.AddGroup(EmptyGUID, QStringLiteral("Elders"));
    Data().ApplyGroupChanges();
    IContactsService &contacts = *Data().ContactService();
    ASSERT_TRUE(contacts.InsertGroupedContact(member, TDAContacts::ContactMemberType, youth));
    ASSERT_TRUE(contacts.InsertGroupedContact(member, TDAContacts::ContactMemberType, band));
    ASSERT_TRUE(contacts.InsertGroupedContact(member, TDAContacts::ContactMemberType, other));
    Data().DALnkGroupMembers().Refresh();

    ASSERT_TRUE(tree.HasSubGroups(youth));
    tree.DeleteGroup(youth);
    ASSERT_TRUE(Data().GroupChangesPending());
    Data().ApplyGroupChanges();
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblGroups WHERE PK_GroupID IN ('%1', '%2')").arg(youth, band)), 0);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(F_GroupID, ',') FROM tblLnkGroupmembers WHERE F_MemberID = '%1'").arg(member)), other);
}

// ---- the contact dialog, offscreen ----

QListWidgetItem *ItemOf(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

TEST_F(ContactsData, TheContactDialogAsksOnCloseOnlyAfterAChange)
{
    const QString key = NewFilledContact(QStringLiteral("Asked"));
    TScriptedPrompt prompt;
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        dialog.acExit()->trigger();
        EXPECT_TRUE(prompt.Prompts().isEmpty()) << "nothing changed, nothing to ask";
        EXPECT_FALSE(dialog.isVisible());

        dialog.show();
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edCity")), QStringLiteral("Springfield"));
        prompt.Answer(QMessageBox::Cancel);
        dialog.acExit()->trigger();
        EXPECT_EQ(prompt.Prompts().size(), 1);
        EXPECT_TRUE(dialog.isVisible()) << "Cancel keeps the dialog open";
        prompt.Answer(QMessageBox::Yes);
        dialog.acExit()->trigger();
        EXPECT_EQ(prompt.Prompts().size(), 2);
        EXPECT_EQ(prompt.Prompts().last().Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_FALSE(dialog.isVisible());
        return dialog.ModalResult();
    };
    ASSERT_TRUE(Data().EditContact(key)) << "Yes to the question saves";
    EXPECT_EQ(Scalar(QStringLiteral("SELECT City FROM tblContacts WHERE PK_ContactID = '%1'").arg(key)), QStringLiteral("Springfield"));
}

TEST_F(ContactsData, TheContactDialogsOkNeedsAName)
{
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("edFullname"));
        EXPECT_FALSE(dialog.acClose()->isEnabled());
        QTest::keyClicks(name, QStringLiteral("   "));
        EXPECT_FALSE(dialog.acClose()->isEnabled()) << "blanks are no name";
        QTest::keyClicks(name, QStringLiteral("Dr. Ada Byron King"));
        EXPECT_TRUE(dialog.acClose()->isEnabled());
        dialog.acClose()->trigger();
        return dialog.ModalResult();
    };
    ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT Title || '|' || FirstName || '|' || MiddleName || '|' || LastName FROM tblContacts WHERE LastName = 'King'")),
              QStringLiteral("Dr.|Ada|Byron|King"));
}

TEST_F(ContactsData, NewContactFromTheBarKeepsTheNameStillBeingTyped)
{
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("edFullname"));
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Rev. Tom Hart"));
        EXPECT_TRUE(dialog.acNew()->isEnabled());
        dialog.acNew()->trigger(); // the field is never left
        return dialog.ModalResult();
    };
    ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT Title || '|' || FirstName || '|' || LastName FROM tblContacts WHERE LastName = 'Hart'")),
              QStringLiteral("Rev.|Tom|Hart"));
}

TEST_F(ContactsData, TheSchedulePagePrintsThroughTheHostsReportChooser)
{
    const QString key = NewFilledContact(QStringLiteral("Printed"));
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        EXPECT_FALSE(dialog.acPrint()->isVisible()) << "only the schedule page prints";
        dialog.findChild<QTabWidget *>(QStringLiteral("pc"))->setCurrentIndex(TContactRules::SchedulePage);
        EXPECT_TRUE(dialog.acPrint()->isVisible());
        EXPECT_EQ(dialog.acPrint()->isEnabled(), Data().DAMinisterSchedule().GetRecordCount() > 0);
        dialog.acPrint()->setEnabled(true);
        dialog.acPrint()->trigger();
        return TModalResult::Cancel;
    };
    Data().EditContact(key);
    EXPECT_EQ(host.LastReport().Category, TContactRules::ScheduleReportCategory);
    EXPECT_EQ(host.LastReport().Selection, QStringList{QStringLiteral("(PK_ContactID='%1')").arg(key)});
}

TEST_F(ContactsData, AllLiturgiesIsCheckedExactlyWhenNoLiturgyIs)
{
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullname")), QStringLiteral("Lia Turgy"));
        dialog.findChild<QTabWidget *>(QStringLiteral("pc"))->setCurrentIndex(1);
        auto *functions = dialog.findChild<QListWidget *>(QStringLiteral("lstChkFunctions"));
        auto *liturgies = dialog.findChild<QListWidget *>(QStringLiteral("lstchkLiturgies"));
        auto *all = dialog.findChild<QCheckBox *>(QStringLiteral("chkAllLiturgies"));
        QListWidgetItem *lector = ItemOf(functions, QStringLiteral("Lector"));
        QListWidgetItem *early = ItemOf(liturgies, QStringLiteral("Early"));
        if (!lector || !early) {
            ADD_FAILURE() << "the lists miss Lector or Early";
            return TModalResult::Cancel;
        }
        functions->setCurrentItem(lector);
        EXPECT_FALSE(all->isEnabled()) << "an unchecked function has no preferences";
        lector->setCheckState(Qt::Checked);
        EXPECT_TRUE(all->isEnabled());
        EXPECT_TRUE(all->isChecked());
        early->setCheckState(Qt::Checked);
        EXPECT_FALSE(all->isChecked());
        all->click();
        EXPECT_TRUE(all->isChecked());
        EXPECT_EQ(early->checkState(), Qt::Unchecked);
        EXPECT_TRUE(dialog.Editor().AllLiturgies(kLector));
        all->click(); // unchecking alone chooses nothing
        EXPECT_TRUE(all->isChecked());
        dialog.acClose()->trigger();
        return dialog.ModalResult();
    };
    ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
    const QString key = ContactByName(QStringLiteral("Turgy"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(F_MinistryFunctionID, ',') FROM tblLnkServingPrefrence WHERE F_ContactID = '%1'").arg(key)), kLector);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblServingPrefrenceLiturgy WHERE F_ContactID = '%1'").arg(key)), 0);
}

TEST_F(ContactsData, TheFamilyDialogNeedsANameAndAsksOnlyAfterAChange)
{
    const QString ann = NewFilledContact(QStringLiteral("Gardener"));
    TScriptedPrompt prompt;
    Data().RunFamilyDialog = [&](int mode) {
        TfFamilyDlg dialog(Data(), controller);
        dialog.Prepare(mode);
        dialog.show();
        EXPECT_FALSE(dialog.acClose()->isEnabled());
        EXPECT_FALSE(dialog.acAddmember()->isEnabled());
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edCity")), QStringLiteral("Shelbyville"));
        dialog.acExit()->trigger();
        EXPECT_TRUE(prompt.Prompts().isEmpty()) << "a family without a name closes without a question";
        EXPECT_FALSE(dialog.isVisible());

        dialog.show();
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullName")), QStringLiteral("Gardeners"));
        EXPECT_TRUE(dialog.acClose()->isEnabled());
        EXPECT_TRUE(dialog.acAddmember()->isEnabled());
        prompt.Answer(QMessageBox::Cancel);
        dialog.acExit()->trigger();
        EXPECT_EQ(prompt.Prompts().size(), 1);
        EXPECT_TRUE(dialog.isVisible());
        prompt.Answer(QMessageBox::No);
        dialog.acExit()->trigger();
        EXPECT_FALSE(dialog.isVisible());
        return dialog.ModalResult();
    };
    Data().NewFamily();
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblFamilies WHERE FamilyName = 'Gardeners'")), 0);

    Data().RunFamilyDialog = [&](int mode) {
        TfFamilyDlg dialog(Data(), controller);
        dialog.Prepare(mode);
        dialog.show();
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullName")), QStringLiteral("Gardeners"));
        dialog.Editor().SetMembers({TDAContacts::ContactSearchItem(ann, QStringLiteral("Ann"), QStringLiteral("Gardener"), QString())});
        EXPECT_EQ(dialog.Members()->model()->rowCount(), 1) << "the grid shows the new member";
        EXPECT_FALSE(dialog.acEditContact()->isEnabled()) << "members of a new family are edited after it is saved";
        dialog.acClose()->trigger();
        return dialog.ModalResult();
    };
    Data().NewFamily();
    const QString family = Scalar(QStringLiteral("SELECT PK_FamilyID FROM tblFamilies WHERE FamilyName = 'Gardeners'"));
    ASSERT_FALSE(family.isEmpty()) << host.Log.join('\n').toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT F_FamilyID FROM tblContacts WHERE PK_ContactID = '%1'").arg(ann)), family);
}

TEST_F(ContactsData, ThePickerInGroupModeRefusesTheTopAndNoToItsQuestionDropsTheEdits)
{
    TScriptedPrompt prompt;
    TfGroups picker(Data(), controller);
    picker.SetMode(false);
    picker.Prepare();
    picker.Initialize();
    picker.show();
    EXPECT_FALSE(picker.acUse()->isEnabled()) << "the top node is no group";
    EXPECT_FALSE(picker.acRemove()->isEnabled());
    picker.acAdd()->trigger();
    ASSERT_EQ(picker.SelectedIDs().size(), 1);
    const QString outer = picker.SelectedIDs().first();
    EXPECT_TRUE(picker.acUse()->isEnabled());
    picker.acAdd()->trigger();
    const QString inner = picker.SelectedIDs().first();
    EXPECT_FALSE(picker.MoveGroup(outer, inner));
    EXPECT_EQ(picker.Tree()->topLevelItem(0)->child(picker.Tree()->topLevelItem(0)->childCount() - 1)->data(0, Qt::UserRole).toString(), outer);
    // An empty name is refused: the group keeps the one it had, in the tree and in the table.
    QTreeWidgetItem *named = picker.Tree()->currentItem();
    named->setText(0, QStringLiteral("   "));
    EXPECT_EQ(named->text(0), controller.GetText(6004));
    ASSERT_TRUE(Data().DAGroupsList().Locate(QStringLiteral("PK_GroupID"), inner));
    EXPECT_EQ(Data().DAGroupsList().AsString(QStringLiteral("GroupName")), controller.GetText(6004));

    prompt.Answer(QMessageBox::No);
    picker.acClose()->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::No);
    EXPECT_FALSE(Data().GroupChangesPending());
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblGroups WHERE PK_GroupID IN ('%1', '%2')").arg(outer, inner)), 0);
}

TEST_F(ContactsData, ThePickerInFunctionModeTakesSeveralAndNamesThemAll)
{
    TfGroups picker(Data(), controller);
    picker.SetMode(true);
    picker.Prepare();
    picker.Initialize();
    EXPECT_FALSE(picker.acAdd()->isVisible());
    EXPECT_FALSE(picker.acUse()->isEnabled());
    EXPECT_EQ(picker.StatusText(), controller.GetText(8006));
    for (int i = 0; i < picker.Tree()->topLevelItemCount(); ++i)
        picker.Tree()->topLevelItem(i)->setSelected(true);
    EXPECT_EQ(picker.SelectedIDs(), (QStringList{kLector, kUsher}));
    EXPECT_EQ(picker.StatusText(), controller.GetText(8006) + QStringLiteral("Lector, Usher"));
    EXPECT_TRUE(picker.acUse()->isEnabled());
}

// A click on the tool-bar button of the action, as the user gives it.
void ClickAction(QWidget &window, QAction *action)
{
    QWidget *button = nullptr;
    for (QToolBar *bar : window.findChildren<QToolBar *>())
        if (QWidget *widget = bar->widgetForAction(action))
            button = widget;
    ASSERT_NE(button, nullptr) << action->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST_F(ContactsData, OkInThePickerKeepsTheCaptionStillBeingTyped)
{
    TfGroups picker(Data(), controller);
    picker.SetMode(false);
    picker.Prepare();
    picker.Initialize();
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    ClickAction(picker, picker.acAdd());
    const QString key = picker.SelectedIDs().value(0);
    QWidget *editor = picker.Tree()->indexWidget(picker.Tree()->currentIndex());
    ASSERT_NE(editor, nullptr) << "a new group's caption is edited at once";
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("Choir"));
    ClickAction(picker, picker.acUse());
    EXPECT_EQ(picker.ModalResult(), TModalResult::Ok);
    EXPECT_EQ(picker.Tree()->currentItem()->text(0), QStringLiteral("Choir"));
    ASSERT_TRUE(Data().DAGroupsList().Locate(QStringLiteral("PK_GroupID"), key));
    EXPECT_EQ(Data().DAGroupsList().AsString(QStringLiteral("GroupName")), QStringLiteral("Choir"));
    Data().CancelGroupChanges();
}

TEST_F(ContactsData, TheFamilyDialogPrintsTheStoredFamilyThroughTheHostsReportDialog)
{
    const QString family = QStringLiteral("{B2000000-0000-0000-0000-000000000001}");
    server->Sql(QStringLiteral("INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('%1', 'Printers');").arg(family));
    bool newOnePrints = true;
    Data().RunFamilyDialog = [&](int mode) {
        TfFamilyDlg dialog(Data(), controller);
        dialog.Prepare(mode);
        dialog.show();
        if (mode == 0) {
            newOnePrints = dialog.acPrint()->isEnabled();
            return TModalResult::Cancel;
        }
        EXPECT_EQ(dialog.acPrint()->text(), controller.GetText(1303));
        ClickAction(dialog, dialog.acPrint());
        return TModalResult::Cancel;
    };
    Data().NewFamily();
    EXPECT_FALSE(newOnePrints) << "the server has nothing of a family not yet saved";
    EXPECT_TRUE(host.LastReport().Category.isEmpty());
    Data().DAFamilyList().Open();
    Data().EditFamily(family);
    EXPECT_EQ(host.LastReport().Category, TFamilyRules::ReportCategory);
    EXPECT_EQ(host.LastReport().Selection, QStringList{QStringLiteral("(PK_FamilyID='%1')").arg(family)});
}

TEST_F(ContactsData, APartialPhoneIsKeptAndTheFaxChoiceWritesTheFax)
{
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullname")), QStringLiteral("Phil Faxon"));
        auto *phone = dialog.findChild<QLineEdit *>(QStringLiteral("edPhone"));
        phone->setFocus();
        phone->home(false);
        QTest::keyClicks(phone, QStringLiteral("55512"));
        auto *choice = dialog.findChild<QComboBox *>(QStringLiteral("btnPhoneSelect"));
        choice->setCurrentIndex(3);
        emit choice->activated(3); // "Fax"
        phone->setFocus();
        phone->home(false);
        QTest::keyClicks(phone, QStringLiteral("5559876543"));
        dialog.findChild<QLineEdit *>(QStringLiteral("edCity"))->setFocus(); // leaving the field is accepted
        dialog.acClose()->trigger();
        return dialog.ModalResult();
    };
    ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT phone1 || '|' || Fax FROM tblContacts WHERE LastName = 'Faxon'")),
              QStringLiteral("(555) 12-|(555) 987-6543"));
}

// Numbers of other shapes than the mask's are shown as stored and, when the user changes
// something else, saved unchanged, in the contact and in the family dialog.
TEST_F(ContactsData, StoredPhoneNumbersOfOtherShapesAreShownAndSavedUnchanged)
{
    const QStringList numbers = {QStringLiteral("555-123-4567"), QStringLiteral("+44 20 7946 0958"), QStringLiteral("(555) 123-4567"),
                                 QStringLiteral("5551234567"), QStringLiteral("22 33 44 55 ext. 12")};
    for (int i = 0; i < numbers.size(); ++i) {
        const QString key = QStringLiteral("{B0000000-0000-0000-0000-0000000000%1}").arg(i, 2, 10, QLatin1Char('0'));
        const QString family = QStringLiteral("{B1000000-0000-0000-0000-0000000000%1}").arg(i, 2, 10, QLatin1Char('0'));
        server->Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, phone1) VALUES ('%1', 'Pat', 'Shape%2', %3);"
                                   "INSERT INTO tblFamilies (PK_FamilyID, FamilyName, FamilyPhone1) VALUES ('%4', 'Shape%2', %3);")
                        .arg(key, QString::number(i), (QLatin1Char('\'') + numbers[i] + QLatin1Char('\'')), family));
        QString shown;
        // Either dialog: what the phone shows, then a change elsewhere and OK.
        const auto changeTheCity = [&](auto &dialog) {
            dialog.show();
            shown = dialog.template findChild<QLineEdit *>(QStringLiteral("edPhone"))->text();
            auto *city = dialog.template findChild<QLineEdit *>(QStringLiteral("edCity"));
            city->setFocus();
            QTest::keyClicks(city, QStringLiteral("Oslo"));
            dialog.acClose()->trigger();
            return dialog.ModalResult();
        };
        Data().RunContactDialog = [&](const QString &contact, bool isNew) {
            TfContactDlg dialog(Data(), controller);
            dialog.Load(contact, isNew);
            return changeTheCity(dialog);
        };
        ASSERT_TRUE(Data().EditContact(key)) << host.Log.join('\n').toStdString();
        EXPECT_EQ(shown, numbers[i]);
        EXPECT_EQ(Scalar(QStringLiteral("SELECT phone1 || '|' || city FROM tblContacts WHERE PK_ContactID = '%1'").arg(key)),
                  numbers[i] + QStringLiteral("|Oslo"));

        Data().RunFamilyDialog = [&](int mode) {
            TfFamilyDlg dialog(Data(), controller);
            dialog.Prepare(mode);
            return changeTheCity(dialog);
        };
        Data().DAFamilyList().Open();
        ASSERT_TRUE(Data().EditFamily(family)) << host.Log.join('\n').toStdString();
        EXPECT_EQ(shown, numbers[i]);
        EXPECT_EQ(Scalar(QStringLiteral("SELECT FamilyPhone1 || '|' || FamilyCity FROM tblFamilies WHERE PK_FamilyID = '%1'").arg(family)),
                  numbers[i] + QStringLiteral("|Oslo"));
    }
}

// A new number typed into the empty field after a click at its far end: the mask's shape is
// filled in, and a number starting with "+" is kept as typed.
TEST_F(ContactsData, ANewPhoneNumberIsTypedWhereverTheFieldWasClicked)
{
    const std::pair<const char *, const char *> cases[] = {{"5551234567", "(555) 123-4567"}, {"+47 22 33 44 55", "+47 22 33 44 55"}};
    int run = 0;
    for (const auto &[typed, stored] : cases) {
        const QString last = QStringLiteral("Typed%1").arg(++run);
        Data().RunContactDialog = [&](const QString &contact, bool isNew) {
            TfContactDlg dialog(Data(), controller);
            dialog.Load(contact, isNew);
            dialog.show();
            QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullname")), QStringLiteral("Ola ") + last);
            auto *phone = dialog.findChild<QLineEdit *>(QStringLiteral("edPhone"));
            QTest::mouseClick(phone, Qt::LeftButton, {}, QPoint(phone->width() - 4, phone->height() / 2));
            QTest::qWait(10);
            QTest::keyClicks(phone, QString::fromLatin1(typed));
            dialog.acClose()->trigger();
            return dialog.ModalResult();
        };
        ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
        EXPECT_EQ(Scalar(QStringLiteral("SELECT phone1 FROM tblContacts WHERE LastName = '%1'").arg(last)), QString::fromLatin1(stored)) << typed;
    }
}

// Postcodes of every shape are stored as typed in either dialog; a sign no postcode has is not
// taken.
TEST_F(ContactsData, TypedPostcodesAreStoredAsTyped)
{
    const std::pair<const char *, const char *> cases[] = {
        {"D02 X285", "D02 X285"}, {"H91", "H91"}, {"12345 - 6789", "12345 - 6789"}, {"SW1A 1AA", "SW1A 1AA"}, {"0150;", "0150"}};
    int run = 0;
    for (const auto &[typed, stored] : cases) {
        const QString last = QStringLiteral("Zip%1").arg(++run);
        const auto typeTheZip = [&](auto &dialog) {
            dialog.show();
            auto *zip = dialog.template findChild<QLineEdit *>(QStringLiteral("edZip"));
            zip->setFocus();
            zip->selectAll();
            QTest::keyClicks(zip, QString::fromLatin1(typed));
            dialog.acClose()->trigger();
            return dialog.ModalResult();
        };
        Data().RunContactDialog = [&](const QString &contact, bool isNew) {
            TfContactDlg dialog(Data(), controller);
            dialog.Load(contact, isNew);
            QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullname")), QStringLiteral("Ola ") + last);
            return typeTheZip(dialog);
        };
        ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
        EXPECT_EQ(Scalar(QStringLiteral("SELECT zip FROM tblContacts WHERE LastName = '%1'").arg(last)), QString::fromLatin1(stored)) << typed;

        const QString family = QStringLiteral("{C9000000-0000-0000-0000-0000000000%1}").arg(run, 2, 10, QLatin1Char('0'));
        server->Sql(QStringLiteral("INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('%1', '%2');").arg(family, last));
        Data().RunFamilyDialog = [&](int mode) {
            TfFamilyDlg dialog(Data(), controller);
            dialog.Prepare(mode);
            return typeTheZip(dialog);
        };
        Data().DAFamilyList().Open();
        ASSERT_TRUE(Data().EditFamily(family)) << host.Log.join('\n').toStdString();
        EXPECT_EQ(Scalar(QStringLiteral("SELECT FamilyZip FROM tblFamilies WHERE PK_FamilyID = '%1'").arg(family)), QString::fromLatin1(stored))
            << typed;
    }
}

// Dates of birth: typed in the short format, as ISO or with the month's name they are kept;
// 1 January 1900 is a date like any other; text that is not a date is refused with a message and
// stays in the field; emptying the field is "no date".
TEST_F(ContactsData, TypedDatesOfBirthAreKeptAndTextThatIsNoDateIsRefused)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    const std::tuple<const char *, const char *, bool> cases[] = {
        {"03/15/1975", "1975-03-15", false}, {"1978-06-20", "1978-06-20", false}, {"20 Jun 1978", "1978-06-20", false},
        {"1/1/1900", "1900-01-01", false},   {"3/15/75", "1975-03-15", false},    {"3/15/05", "2005-03-15", false},
        {"15 Mar 05", "2005-03-15", false},  {"next tuesday", "none", true},
        {"", "none", false}};
    const QString key = QStringLiteral("{B2000000-0000-0000-0000-000000000001}");
    server->Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, DateOfBirth) VALUES ('%1', 'Dora', 'Dated', '1900-01-01');").arg(key));
    for (const auto &[typed, stored, refused] : cases) {
        TScriptedPrompt prompt;
        QString shownFirst;
        QString left;
        Data().RunContactDialog = [&](const QString &contact, bool isNew) {
            TfContactDlg dialog(Data(), controller);
            dialog.Load(contact, isNew);
            dialog.show();
            auto *born = dialog.findChild<QLineEdit *>(QStringLiteral("dtDOB"));
            shownFirst = born->text();
            born->setFocus();
            born->selectAll();
            QTest::keyClicks(born, QString::fromLatin1(typed));
            if (QString::fromLatin1(typed).isEmpty())
                QTest::keyClick(born, Qt::Key_Delete);
            // OK straight from the field: what is typed is taken first.
            dialog.acClose()->trigger();
            left = born->text();
            if (refused) {
                EXPECT_EQ(dialog.ModalResult(), TModalResult::None) << "a refused date keeps the dialog open";
                dialog.acExit()->trigger();
            }
            return dialog.ModalResult();
        };
        // Every run starts from 1 January 1900, which must come back as that date.
        server->Sql(QStringLiteral("UPDATE tblContacts SET DateOfBirth = '1900-01-01' WHERE PK_ContactID = '%1';").arg(key));
        EXPECT_EQ(Data().EditContact(key), !refused) << host.Log.join('\n').toStdString();
        EXPECT_EQ(shownFirst, QStringLiteral("1/1/1900"));
        const QString expected = refused ? QStringLiteral("1900-01-01") : QString::fromLatin1(stored);
        EXPECT_EQ(Scalar(QStringLiteral("SELECT coalesce(to_char(DateOfBirth, 'YYYY-MM-DD'), 'none') FROM tblContacts WHERE PK_ContactID = '%1'").arg(key)),
                  expected) << typed;
        EXPECT_EQ(prompt.Prompts().size(), refused ? 1 : 0) << typed;
        if (refused) {
            EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(controller.GetText(1447) + QString::fromLatin1(typed)));
            EXPECT_EQ(left, QString::fromLatin1(typed)) << "the text stays as typed";
        }
    }
}

// A two-digit year is the latest year with those digits that gives no date after today.
TEST(ContactsDateField, ATwoDigitYearIsTheLatestThatGivesNoDateToCome)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDate today(2026, 12, 10);
    const std::pair<const char *, QDate> cases[] = {
        {"3/15/05", QDate(2005, 3, 15)},   {"15 Mar 05", QDate(2005, 3, 15)}, {"Mar 15, 05", QDate(2005, 3, 15)},
        {"3/15/99", QDate(1999, 3, 15)},   {"12/10/26", QDate(2026, 12, 10)}, {"12/11/26", QDate(1926, 12, 11)},
        {"2/29/00", QDate(2000, 2, 29)},   {"1/1/00", QDate(2000, 1, 1)},     {"15 March 1905", QDate(1905, 3, 15)},
        {"3/15/1905", QDate(1905, 3, 15)}, {"2/29/25", QDate()}};
    for (const auto &[typed, expected] : cases) {
        bool ok = false;
        const std::optional<QDate> date = TDateField::Parse(QString::fromLatin1(typed), us, &ok, today);
        EXPECT_EQ(ok, expected.isValid()) << typed;
        EXPECT_EQ(date.value_or(QDate()), expected) << typed;
    }
}

TEST(ContactsDateField, ThePopUpOpensAtTheTypedDateOrToday)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    TDateField field;
    field.show();
    field.Edit()->setText(QStringLiteral("20 Jun 1978"));
    field.OpenCalendar();
    EXPECT_EQ(field.Calendar()->selectedDate(), QDate(1978, 6, 20));
    field.Calendar()->hide();
    field.Edit()->clear();
    field.OpenCalendar();
    EXPECT_EQ(field.Calendar()->selectedDate(), QDate::currentDate());
    // A day picked in it is the field's date.
    std::optional<QDate> changed;
    field.Changed = [&](const std::optional<QDate> &date) { changed = date; };
    emit field.Calendar()->clicked(QDate(1900, 1, 1));
    EXPECT_EQ(changed, std::optional<QDate>(QDate(1900, 1, 1)));
    EXPECT_EQ(field.Edit()->text(), QStringLiteral("1/1/1900"));
}

TEST_F(ContactsData, APictureThatCannotBeStoredIsReportedAndNotShown)
{
    TScriptedPrompt prompt;
    QLabel *picture = nullptr;
    bool shown = true;
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.ChoosePicture = []() -> std::optional<std::pair<QImage, QByteArray>> {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::red);
            return std::make_pair(image, PictureAsJpeg(QImage())); // writing fails
        };
        picture = dialog.findChild<QLabel *>(QStringLiteral("imgContact"));
        dialog.findChild<QPushButton *>(QStringLiteral("btnPicture"))->click();
        dialog.show();
        QTest::mouseClick(picture, Qt::LeftButton); // a click on the picture chooses one too
        shown = !picture->pixmap().isNull();
        return TModalResult::Cancel;
    };
    Data().NewContact();
    EXPECT_FALSE(shown);
    ASSERT_EQ(prompt.Prompts().size(), 2);
    for (const auto &shownPrompt : prompt.Prompts())
        EXPECT_TRUE(shownPrompt.Text.startsWith(controller.GetText(1449)));
}

// Several days marked at once: the days from one to another, and the invert button of the
// functions gives the person every function it did not have.
TEST_F(ContactsData, ARangeOfDaysIsMarkedAtOnceAndInvertFlipsEveryFunction)
{
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullname")), QStringLiteral("Rita Ranged"));
        dialog.SelectDays(QDate(2027, 3, 5), QDate(2027, 3, 1)); // picked backwards
        EXPECT_EQ(dialog.SelectedDays().size(), 5);
        dialog.findChild<QPushButton *>(QStringLiteral("btnUnAvailiable"))->click();
        // A click on the 2nd and a click with Shift on the 3rd pick both, as a planner does.
        auto *calendar = dialog.findChild<QCalendarWidget *>(QStringLiteral("DNAvail"));
        calendar->setCurrentPage(2027, 3);
        auto *days = calendar->findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview"));
        const auto cellOf = [days](int day) {
            for (int row = 1; row < days->model()->rowCount(); ++row)
                for (int column = 1; column < days->model()->columnCount(); ++column) {
                    const QModelIndex index = days->model()->index(row, column);
                    // The 2nd and 3rd sit in the first two weeks, before the next month's days.
                    if (row <= 2 && index.data().toInt() == day)
                        return days->visualRect(index).center();
                }
            return QPoint();
        };
        QTest::mouseClick(days->viewport(), Qt::LeftButton, {}, cellOf(2));
        QTest::mouseClick(days->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellOf(3));
        EXPECT_EQ(dialog.SelectedDays(), (QList<QDate>{QDate(2027, 3, 2), QDate(2027, 3, 3)}));
        dialog.findChild<QPushButton *>(QStringLiteral("btnAvailiable"))->click();
        dialog.findChild<QPushButton *>(QStringLiteral("btnInverseFunctions"))->click();
        EXPECT_EQ(dialog.findChild<QMenu *>(QStringLiteral("mnuFile"))->title(), controller.GetText(1201));
        EXPECT_EQ(dialog.findChild<QMenu *>(QStringLiteral("mnuHelp"))->actions(), QList<QAction *>{dialog.acHelp()});
        dialog.acClose()->trigger();
        return dialog.ModalResult();
    };
    ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
    const QString key = ContactByName(QStringLiteral("Ranged"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(to_char(UnavailiableDate, 'MM-DD'), ',' ORDER BY UnavailiableDate) FROM tblUnAvailiabillity "
                                    "WHERE F_ContactID = '%1'").arg(key)),
              QStringLiteral("03-01,03-04,03-05"));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM tblLnkServingPrefrence WHERE F_ContactID = '%1'").arg(key)), 2);
}

// The buttons mark the days shown as picked, by mouse or by keys: a click on the 15th and two
// Right arrows pick the 17th; Shift with the arrows picks from there.
TEST_F(ContactsData, TheAvailabilityButtonsMarkTheDaysPickedWithTheKeyboard)
{
    Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(Data(), controller);
        dialog.Load(contact, isNew);
        dialog.show();
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("edFullname")), QStringLiteral("Kay Keyed"));
        auto *calendar = dialog.findChild<QCalendarWidget *>(QStringLiteral("DNAvail"));
        calendar->setCurrentPage(2027, 12);
        auto *days = calendar->findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview"));
        QPoint fifteenth;
        for (int row = 1; row < days->model()->rowCount(); ++row)
            for (int column = 1; column < days->model()->columnCount(); ++column)
                if (days->model()->index(row, column).data().toInt() == 15) // only once on a month's page
                    fifteenth = days->visualRect(days->model()->index(row, column)).center();
        auto *away = dialog.findChild<QPushButton *>(QStringLiteral("btnUnAvailiable"));
        auto *back = dialog.findChild<QPushButton *>(QStringLiteral("btnAvailiable"));
        QTest::mouseClick(days->viewport(), Qt::LeftButton, {}, fifteenth);
        QTest::keyClick(days, Qt::Key_Right);
        QTest::keyClick(days, Qt::Key_Right);
        EXPECT_EQ(dialog.SelectedDays(), QList<QDate>{QDate(2027, 12, 17)});
        QTest::mouseClick(away, Qt::LeftButton);
        QTest::keyClick(days, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(days, Qt::Key_Right, Qt::ShiftModifier);
        EXPECT_EQ(dialog.SelectedDays(), (QList<QDate>{QDate(2027, 12, 17), QDate(2027, 12, 18), QDate(2027, 12, 19)}));
        QTest::mouseClick(away, Qt::LeftButton);
        QTest::keyClick(days, Qt::Key_Left);
        QTest::mouseClick(back, Qt::LeftButton);
        dialog.acClose()->trigger();
        return dialog.ModalResult();
    };
    ASSERT_TRUE(Data().NewContact()) << host.Log.join('\n').toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(to_char(UnavailiableDate, 'MM-DD'), ',' ORDER BY UnavailiableDate) FROM tblUnAvailiabillity "
                                    "WHERE F_ContactID = '%1'").arg(ContactByName(QStringLiteral("Keyed")))),
              QStringLiteral("12-17,12-19"));
}

TEST_F(ContactsData, ANewFamilyShowsWhoMadeItAndWhen)
{
    QString status;
    Data().RunFamilyDialog = [&](int mode) {
        TfFamilyDlg dialog(Data(), controller);
        dialog.Prepare(mode);
        status = dialog.StatusText();
        return TModalResult::Cancel;
    };
    Data().DAFamilyList().Open();
    Data().NewFamily();
    EXPECT_TRUE(status.startsWith(controller.GetText(1372) + QStringLiteral("admin") + controller.GetText(1373))) << status.toStdString();
    EXPECT_TRUE(status.contains(QLocale().toString(QDate::currentDate(), QLocale::LongFormat))) << status.toStdString();
}

} // namespace
