// The contacts data module against a real server: the suite's server and session, the test's
// host and controller, and how a planner fills a new contact.
#pragma once

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
#include "plugins/contacts/tests/ContactsServerSuite.h"

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

namespace contacts_data_test {

inline const QString kLector = QStringLiteral("{F0000000-0000-0000-0000-00000000000A}");
inline const QString kUsher = QStringLiteral("{F0000000-0000-0000-0000-00000000000B}");
inline const QString kEarly = QStringLiteral("{E0000000-0000-0000-0000-00000000000A}");
inline const QString kLate = QStringLiteral("{E0000000-0000-0000-0000-00000000000B}");
inline const QString kWeekly = QStringLiteral("{D0000000-0000-0000-0000-00000000000A}");
inline const QString kMonthly = QStringLiteral("{D0000000-0000-0000-0000-00000000000B}");
// Other contacts the rules point at.
inline const QStringList kOthers = {QStringLiteral("{C0000000-0000-0000-0000-000000000001}"),
                                    QStringLiteral("{C0000000-0000-0000-0000-000000000002}"),
                                    QStringLiteral("{C0000000-0000-0000-0000-000000000003}"),
                                    QStringLiteral("{C0000000-0000-0000-0000-000000000004}")};

class ContactsData : public ContactsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        if (!StartSuite())
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
    static void TearDownTestSuite() { StopSuite(); }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        ConnectAdministrator(host);
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

    // One logged-on session for the whole suite.
    TStandInHost host{THostPart::Reports};
    TRvContactsController controller;
    QStringList failures;
};

} // namespace contacts_data_test
