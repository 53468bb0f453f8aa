// The contacts data module against a real server: what a contact dialog changed arrives
// complete or not at all, Cancel leaves nothing behind, one rule type or one function is
// changed without touching the others, two planners, families gain and lose members, and the
// groups' tree.
#include "plugins/contacts/tests/ContactsDataFixture.h"

using namespace contacts_data_test;

namespace {

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

} // namespace
