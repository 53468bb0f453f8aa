// The contact and family dialogs and the picker offscreen against a real server: when they ask
// on close, what their OK needs, printing through the host's chooser, the liturgies, phone
// numbers, postcodes, dates of birth, the picture and the days away.
#include "plugins/contacts/tests/ContactsDataFixture.h"

using namespace contacts_data_test;

namespace {

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
