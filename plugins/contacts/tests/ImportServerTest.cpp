// The import wizard against a real server, driven through its actions: people from an .xlsx, a
// .csv and an .xls arrive in the database as the files hold them, a file without a header row
// too; a row the server refuses is put to the user (Continue, Continue All, Stop), as is a
// value that does not fit its field; and the wizard closes after every run, a failed one too.
// Numbers a spreadsheet holds arrive as their digits, blank rows are skipped and counted, hand-
// written CSV files in either encoding bring everyone, and one field takes one column.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uImport.h"
#include "plugins/contacts/ufImportWizard.h"

#include "testsupport/StandInHost.h"
#include "plugins/contacts/tests/ImportTestFiles.h"
#include "testsupport/QtPrinters.h"
#include "plugins/contacts/tests/ContactsServerSuite.h"
#include "testsupport/TestFiles.h"

#include "dataaccess/TDACDSDataTable.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QTableWidget>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <xlsxwriter.h>

#include <optional>

using namespace kestrova::test;

namespace {

// The wizard's last word on a run.
QString Summary(int imported, int blank, int refused)
{
    return QStringLiteral("People imported: %1\nRows skipped as blank: %2\nRows refused by the server: %3")
        .arg(imported)
        .arg(blank)
        .arg(refused);
}

// Every question and message the user was shown, for a failure's message.
std::string Shown(const TScriptedPrompt &prompt)
{
    QStringList texts;
    for (const auto &shown : prompt.Prompts())
        texts << shown.Text;
    return texts.join(QStringLiteral("\n--\n")).toStdString();
}

class ImportWizard : public ContactsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        files = new QTemporaryDir;
        if (!StartSuite())
            return;
        written = WritePeopleFiles(files->path());
        // The database refuses these people, as it would a row breaking any of its rules.
        server->Sql(QStringLiteral("ALTER TABLE tblContacts ADD CONSTRAINT test_refused CHECK (LastName IS NULL OR LastName::text <> 'Refused');"));
    }
    static void TearDownTestSuite()
    {
        StopSuite();
        delete files;
        files = nullptr;
    }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        ASSERT_TRUE(written);
        server->Sql(QStringLiteral("DELETE FROM tblContacts;"));
        ConnectAdministrator(host);
        controller.ModuleCreate();
        controller.SetHost(&host);
    }
    void TearDown() override
    {
        controller.SetHost(nullptr);
        controller.ModuleDestroy();
    }

    static QString File(const QString &name) { return QDir(files->path()).filePath(name); }
    QStringList Rows(const QString &sql) const
    {
        QStringList rows;
        for (const QString &line : server->db.scalar(QStringLiteral("SET search_path=dbo; SELECT string_agg(r, '|') FROM (") + sql +
                                                     QStringLiteral(") AS q(r)"))
                                       .split(u'|', Qt::SkipEmptyParts))
            rows << line;
        rows.sort();
        return rows;
    }
    QStringList LastNames() const { return Rows(QStringLiteral("SELECT LastName::text FROM tblContacts")); }

    // Step 0 with the file, step 1 with each column linked to the field of the same name (or
    // the given fields, in row order), then the run.
    void RunWizard(TfImport &wizard, const QString &file, const QStringList &fields = {})
    {
        wizard.SetTexts();
        wizard.show();
        wizard.ChooseFile(file);
        ASSERT_TRUE(wizard.acNext->isEnabled());
        wizard.acNext->trigger();
        ASSERT_EQ(wizard.Step(), 1);
        EXPECT_FALSE(wizard.acNext->isEnabled());
        for (int r = 0; r < wizard.cxGridFields->rowCount(); ++r)
            wizard.SetMappingField(r, r < fields.size() ? fields[r] : wizard.cxGridFields->item(r, 0)->text());
        ASSERT_TRUE(wizard.acNext->isEnabled());
        wizard.acNext->trigger();
        EXPECT_FALSE(wizard.isVisible());
    }

    TRvContactsController controller;
    TStandInHost host{THostPart::Reports};
    static inline QTemporaryDir *files = nullptr;
    static inline bool written = false;
};

TEST_F(ImportWizard, BringsInThePeopleOfEachKindOfFile)
{
    const QStringList expected = {
        QStringLiteral("Ana María;O'Brien;1970-01-02;10001;New York;ana@example.org"),
        QStringLiteral("Zoë;Ødegård;1985-03-14;01234;Åsgårdstrand;zoe@example.org"),
        QStringLiteral("Дмитрий;Смирнов;1990-12-01;00501;-;dmitri@example.org"),
        QStringLiteral("陈;伟;-;02108;Boston;chen@example.org"),
    };
    for (const QString &file : {File(QStringLiteral("people.xlsx")), File(QStringLiteral("people.csv")),
                                QDir(ImportDataFolder()).filePath(QStringLiteral("people.xls"))}) {
        SCOPED_TRACE(file.toStdString());
        server->Sql(QStringLiteral("DELETE FROM tblContacts;"));
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::Yes);
        TfImport wizard(controller);
        RunWizard(wizard, file,
                  {QStringLiteral("FirstName"), QStringLiteral("LastName"), QStringLiteral("DateOfBirth"), QStringLiteral("Zip"),
                   QStringLiteral("City"), QStringLiteral("EMail1")});
        ASSERT_EQ(prompt.Prompts().size(), 2);
        EXPECT_EQ(prompt.Prompts()[0].Caption, QStringLiteral("Import"));
        EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("4 people")));
        EXPECT_EQ(prompt.Prompts()[1].Text, Summary(4, 0, 0));
        EXPECT_EQ(wizard.Imported(), 4);
        const QStringList people = Rows(QStringLiteral(
            "SELECT concat_ws(';', FirstName, LastName, coalesce(to_char(DateOfBirth, 'YYYY-MM-DD'), '-'), Zip, coalesce(City::text, '-'), EMail1) "
            "FROM tblContacts WHERE F_CreatedUserID = '%1' AND FlagContact = 0 AND PK_ContactID LIKE '{%%}'")
                                              .arg(ServiceServer::kAdministratorId));
        QStringList sorted = expected;
        sorted.sort();
        EXPECT_EQ(people, sorted);
        // The contact list shows them.
        EXPECT_EQ(controller.Data().DAContactList().GetRecordCount(), 4);
    }
}

TEST_F(ImportWizard, ImportsAFileWithoutAHeaderRow)
{
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    TfImport wizard(controller);
    wizard.SetTexts();
    wizard.ChooseFile(File(QStringLiteral("noheader.csv")));
    wizard.chkFirstAsName->setChecked(false);
    ASSERT_EQ(wizard.cxlvImportFields->topLevelItemCount(), 2);
    EXPECT_EQ(wizard.cxlvImportFields->topLevelItem(0)->text(0), QStringLiteral("Field1"));
    EXPECT_EQ(wizard.cxlvImportFields->topLevelItem(0)->text(1), QStringLiteral("Zoë"));
    RunWizard(wizard, File(QStringLiteral("noheader.csv")), {QStringLiteral("FirstName"), QStringLiteral("LastName")});
    EXPECT_EQ(LastNames(), (QStringList{QStringLiteral("O'Brien"), QStringLiteral("Ødegård"), QStringLiteral("Смирнов"), QStringLiteral("伟")}));
}

TEST_F(ImportWizard, AnUntickedColumnIsLeftOut)
{
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    TfImport wizard(controller);
    wizard.SetTexts();
    wizard.ChooseFile(File(QStringLiteral("people.csv")));
    wizard.cxlvImportFields->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    wizard.acNext->trigger();
    ASSERT_EQ(wizard.cxGridFields->rowCount(), 5);
    EXPECT_EQ(wizard.cxGridFields->item(0, 0)->text(), QStringLiteral("LastName"));
    wizard.SetMappingField(0, QStringLiteral("LastName"));
    wizard.acNext->trigger();
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts WHERE FirstName IS NULL AND LastName IS NOT NULL")),
              QStringLiteral("4"));
}

TEST_F(ImportWizard, PutsEachRowTheServerRefusesToTheUser)
{
    const QStringList taken = {QStringLiteral("Fifth"), QStringLiteral("First"), QStringLiteral("Third")};
    struct Case
    {
        const char *name;
        QList<QMessageBox::StandardButton> answers;
        int questions;
        QStringList imported;
        QString summary;
    } cases[] = {
        {"continue", {QMessageBox::Yes, QMessageBox::Yes}, 2, taken, Summary(3, 0, 2)},
        {"continue all", {QMessageBox::YesToAll}, 1, taken, Summary(3, 0, 2)},
        {"stop", {QMessageBox::No}, 1, {QStringLiteral("First")}, Summary(1, 0, 1) + QStringLiteral("\nRows not sent after Stop: 3")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server->Sql(QStringLiteral("DELETE FROM tblContacts;"));
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::Yes); // bring them in
        for (QMessageBox::StandardButton answer : c.answers)
            prompt.Answer(answer);
        TfImport wizard(controller);
        RunWizard(wizard, File(QStringLiteral("refused.csv")));
        ASSERT_EQ(prompt.Prompts().size(), 2 + c.questions);
        const auto &first = prompt.Prompts()[1];
        EXPECT_EQ(first.Caption, QStringLiteral("Error!"));
        EXPECT_EQ(first.Buttons, QMessageBox::YesToAll | QMessageBox::Yes | QMessageBox::No);
        EXPECT_TRUE(first.Text.startsWith(QStringLiteral("Error in import\nRecord: 3\n"))) << first.Text.toStdString();
        if (c.questions > 1) {
            EXPECT_TRUE(prompt.Prompts()[2].Text.contains(QStringLiteral("Record: 5\n")));
        }
        EXPECT_EQ(LastNames(), c.imported);
        EXPECT_EQ(wizard.Imported(), c.imported.size());
        EXPECT_TRUE(host.Log.last().contains(QStringLiteral("%1 of 5 people imported").arg(c.imported.size()))) << host.Log.last().toStdString();
        EXPECT_FALSE(controller.Data().DAImportContacts().GetActive());
        EXPECT_EQ(prompt.Prompts().last().Text, c.summary);
    }
}

TEST_F(ImportWizard, AValueThatDoesNotFitItsFieldIsPutToTheUser)
{
    // The first names go into the date of birth: "Alma" is no date.
    struct Case
    {
        const char *name;
        QMessageBox::StandardButton answer;
        int questions;
        int people;
        QString withLastName;
    } cases[] = {
        {"continue all: every row without the date", QMessageBox::YesToAll, 1, 5, QStringLiteral("5")},
        {"stop: the row posted as far as it got", QMessageBox::No, 1, 1, QStringLiteral("0")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server->Sql(QStringLiteral("DELETE FROM tblContacts;"));
        TScriptedPrompt prompt;
        prompt.Answer(c.answer);
        prompt.Answer(QMessageBox::Yes);
        TfImport wizard(controller);
        // Here the server takes every row.
        server->Sql(QStringLiteral("ALTER TABLE tblContacts DROP CONSTRAINT test_refused;"));
        RunWizard(wizard, File(QStringLiteral("refused.csv")), {QStringLiteral("DateOfBirth"), QStringLiteral("LastName")});
        ASSERT_GE(prompt.Prompts().size(), 2);
        EXPECT_EQ(prompt.Prompts()[0].Caption, QStringLiteral("Error!"));
        EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("Error in import\nRecord: 2\nField: DateOfBirth\n")))
            << prompt.Prompts()[0].Text.toStdString();
        EXPECT_TRUE(prompt.Prompts()[1].Text.startsWith(QStringLiteral("%1 people").arg(c.people)));
        EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts WHERE DateOfBirth IS NULL")), QString::number(c.people));
        EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(LastName) FROM dbo.tblContacts")), c.withLastName);
        server->Sql(QStringLiteral("DELETE FROM tblContacts; ALTER TABLE tblContacts ADD CONSTRAINT test_refused CHECK (LastName IS NULL OR LastName::text <> 'Refused');"));
    }
}

// A workbook as a spreadsheet program writes it: postcodes and phone numbers as numbers, a
// separator row left empty, dates from 1900 on as dates and an older one as text (spreadsheet
// programs keep no earlier date as a date).
QString WriteNumbersWorkbook(const QString &path)
{
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    // The postcode format of spreadsheet programs, which shows the leading zero of Bob's.
    lxw_format *postcode = workbook_add_format(book);
    format_set_num_format(postcode, "00000");
    const char *header[] = {"FirstName", "LastName", "Zip", "Phone1", "DateOfBirth"};
    for (int c = 0; c < 5; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), header[c], nullptr);
    struct Person
    {
        const char *first;
        const char *last;
        double zip;
        double phone;
        lxw_datetime born;
        const char *bornText;
    } people[] = {
        {"Ann", "Lee", 100000, 5550000000, {1900, 1, 1, 0, 0, 0}, nullptr},
        {"Bob", "Kay", 2108, 2125550123, {}, "1850-05-01"},
        {"Cleo", "Refused", 30301, 4045550199, {1970, 1, 2, 0, 0, 0}, nullptr},
        {"Dora", "Fox", 94105, 4155550100, {1985, 3, 14, 0, 0, 0}, nullptr},
    };
    // Row 3 (index 2) stays empty between Ann and Bob.
    const lxw_row_t rows[] = {1, 3, 4, 5};
    for (int i = 0; i < 4; ++i) {
        const Person &p = people[i];
        worksheet_write_string(sheet, rows[i], 0, p.first, nullptr);
        worksheet_write_string(sheet, rows[i], 1, p.last, nullptr);
        worksheet_write_number(sheet, rows[i], 2, p.zip, p.zip < 10000 ? postcode : nullptr);
        worksheet_write_number(sheet, rows[i], 3, p.phone, nullptr);
        if (p.bornText)
            worksheet_write_string(sheet, rows[i], 4, p.bornText, nullptr);
        else
            worksheet_write_datetime(sheet, rows[i], 4, const_cast<lxw_datetime *>(&p.born), date);
    }
    return workbook_close(book) == LXW_NO_ERROR ? path : QString();
}

// Workbooks new and old, and one that counts its days from 1904: someone already there is not
// counted among the people a run brings, and the refused row is put to the user.
TEST_F(ImportWizard, NumbersArriveAsDigitsBlankRowsAreSkippedAndEveryDateIsKept)
{
    const QString numbers = WriteNumbersWorkbook(File(QStringLiteral("numbers.xlsx")));
    ASSERT_FALSE(numbers.isEmpty());
    struct Case
    {
        const char *name;
        QString file;
        int offered;
        const char *refusedRecord; // the question about the row the server refused, when there is one
        QString summary;
        std::optional<QMessageBox::Icon> summaryIcon;
        int imported;
        QStringList people;
    } cases[] = {
        {"xlsx", numbers, 4, "Record: 5\n", Summary(3, 1, 1), QMessageBox::Warning, 3,
         {QStringLiteral("Ann;Lee;100000;5550000000;1900-01-01"), QStringLiteral("Bob;Kay;02108;2125550123;1850-05-01"),
          QStringLiteral("Dora;Fox;94105;4155550100;1985-03-14")}},
        {"xls", QDir(ImportDataFolder()).filePath(QStringLiteral("numbers.xls")), 2, nullptr, Summary(2, 1, 0), std::nullopt, 2,
         {QStringLiteral("Ann;Lee;100000;5550000000;1900-01-01"), QStringLiteral("Bob;Kay;2108;2125550123;1985-03-14")}},
        // The plain number in the date column counts from 1904 as the date cell does.
        {"xlsx from 1904", File(QStringLiteral("numbers1904.xlsx")), 2, nullptr, Summary(2, 0, 0), std::nullopt, 2,
         {QStringLiteral("Ann;Lee;100000;5550000000;1985-03-14"), QStringLiteral("Bob;Kay;2108;2125550123;1990-12-01")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server->Sql(QStringLiteral("DELETE FROM tblContacts; "
                                   "INSERT INTO tblContacts (PK_ContactID, LastName) VALUES ('{11111111-1111-1111-1111-111111111111}', 'Before');"));
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::Yes); // bring them in
        if (c.refusedRecord)
            prompt.Answer(QMessageBox::Yes); // go on after the refused row
        TfImport wizard(controller);
        RunWizard(wizard, c.file);
        ASSERT_EQ(prompt.Prompts().size(), c.refusedRecord ? 3 : 2) << Shown(prompt);
        EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("%1 people").arg(c.offered))) << prompt.Prompts()[0].Text.toStdString();
        if (c.refusedRecord) {
            EXPECT_TRUE(prompt.Prompts()[1].Text.contains(QString::fromLatin1(c.refusedRecord))) << prompt.Prompts()[1].Text.toStdString();
        }
        EXPECT_EQ(prompt.Prompts().last().Text, c.summary);
        if (c.summaryIcon) {
            EXPECT_EQ(prompt.Prompts().last().Icon, *c.summaryIcon);
        }
        EXPECT_EQ(wizard.Imported(), c.imported);
        EXPECT_EQ(Rows(QStringLiteral("SELECT concat_ws(';', FirstName, LastName, Zip, Phone1, coalesce(to_char(DateOfBirth, 'YYYY-MM-DD'), '-')) "
                                      "FROM tblContacts WHERE LastName::text <> 'Before'")),
                  c.people);
    }
}

TEST_F(ImportWizard, OnlyTheZeroDateIsStoredAsNoDate)
{
    TDACDSDataTable &table = controller.Data().DAImportContacts();
    TvoImportJob job;
    job.SetTable(&table);
    job.OpenTableEmpty();
    struct Case
    {
        QDateTime born;
        bool kept;
    } cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), false},
        {QDateTime(QDate(1899, 12, 30), QTime(6, 0)), true},
        {QDateTime(QDate(1899, 12, 29), QTime(0, 0)), true},
        {QDateTime(QDate(1850, 5, 1), QTime(0, 0)), true},
        {QDateTime(QDate(1900, 1, 1), QTime(0, 0)), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.born.toString(Qt::ISODate).toStdString());
        table.Insert();
        table.SetValue(QStringLiteral("DateOfBirth"), c.born);
        table.Post();
        const QVariant stored = table.Value(QStringLiteral("DateOfBirth"));
        EXPECT_EQ(!stored.isNull(), c.kept);
        if (c.kept) {
            EXPECT_EQ(stored.toDateTime().date(), c.born.date());
        }
    }
    table.CancelUpdates();
    table.Close();
}

TEST_F(ImportWizard, HandWrittenCsvFilesBringEveryPerson)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QStringList people;
        int blank;
    } cases[] = {
        {"windows-1252 with a stray quote and blank separator rows",
         "FirstName;LastName;Zip\r\nRen\xE9" "e;O\"Neil;01234\r\n;;\r\n\r\nJos\xE9;M\xFC" "ller \x80;5550\r\n", 
         {QStringLiteral("Jos\u00E9;M\u00FCller \u20AC;5550"), QStringLiteral("Ren\u00E9e;O\"Neil;01234")}, 2},
        {"utf-8 with a mark", "\xEF\xBB\xBF" "FirstName,LastName,Zip\nZo\xC3\xAB,\xC3\x98" "deg\xC3\xA5rd,0150\n,,\nAnn,Lee,9\n",
         {QStringLiteral("Ann;Lee;9"), QStringLiteral("Zo\u00EB;\u00D8deg\u00E5rd;0150")}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server->Sql(QStringLiteral("DELETE FROM tblContacts;"));
        const QString path = File(QStringLiteral("hand.csv"));
        ASSERT_TRUE(WriteFile(path, c.bytes));
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::Yes);
        TfImport wizard(controller);
        RunWizard(wizard, path);
        ASSERT_EQ(prompt.Prompts().size(), 2);
        EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("%1 people").arg(c.people.size())));
        EXPECT_EQ(prompt.Prompts()[1].Text, Summary(int(c.people.size()), c.blank, 0));
        EXPECT_EQ(Rows(QStringLiteral("SELECT concat_ws(';', FirstName, LastName, Zip) FROM tblContacts")), c.people);
    }
}

TEST_F(ImportWizard, ACsvWhoseQuotingCannotBeReadIsRefusedWithItsLine)
{
    const QString path = File(QStringLiteral("broken.csv"));
    ASSERT_TRUE(WriteFile(path, "FirstName,LastName\nAnn,Lee\n\"Bob,Kay\nCleo,Fox\n"));
    TScriptedPrompt prompt;
    TfImport wizard(controller);
    wizard.SetTexts();
    wizard.ChooseFile(path);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("Line 3 of \"broken.csv\""))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_EQ(wizard.cxlvImportFields->topLevelItemCount(), 0);
    EXPECT_FALSE(wizard.acNext->isEnabled());
}

TEST_F(ImportWizard, ATypedFileNameIsCheckedAndAFileThatFitsIsLoaded)
{
    const QString folder = File(QStringLiteral("folder.csv"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString notes = File(QStringLiteral("notes.txt"));
    ASSERT_TRUE(WriteFile(notes, "Ann Lee\n"));
    const std::pair<QString, QString> refused[] = {
        {File(QStringLiteral("nobody.csv")), QStringLiteral("does not exist")},
        {folder, QStringLiteral("is a folder")},
        {notes, QStringLiteral("is not a spreadsheet file")},
    };
    TScriptedPrompt prompt;
    TfImport wizard(controller);
    wizard.SetTexts();
    wizard.show();
    QLineEdit *box = wizard.btnEdFilename;
    const auto type = [box](const QString &text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    };
    for (const auto &[typed, told] : refused) {
        SCOPED_TRACE(typed.toStdString());
        const qsizetype before = prompt.Prompts().size();
        type(typed);
        EXPECT_EQ(box->text(), typed);
        ASSERT_EQ(prompt.Prompts().size(), before + 1);
        EXPECT_TRUE(prompt.Prompts().last().Text.contains(told)) << prompt.Prompts().last().Text.toStdString();
        EXPECT_TRUE(prompt.Prompts().last().Text.contains(QDir::toNativeSeparators(typed)));
        EXPECT_FALSE(wizard.acNext->isEnabled());
    }
    type(File(QStringLiteral("people.csv")));
    EXPECT_EQ(prompt.Prompts().size(), std::size(refused)) << Shown(prompt);
    EXPECT_GT(wizard.cxlvImportFields->topLevelItemCount(), 1);
    EXPECT_TRUE(wizard.acNext->isEnabled());
    // Typing again: the columns shown are not the new name's until it is finished.
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_FALSE(wizard.acNext->isEnabled());
}

TEST_F(ImportWizard, ASecondColumnForTheSameFieldIsRefused)
{
    TScriptedPrompt prompt;
    TfImport wizard(controller);
    wizard.SetTexts();
    wizard.ChooseFile(File(QStringLiteral("people.csv")));
    wizard.acNext->trigger();
    wizard.SetMappingField(0, QStringLiteral("LastName"));
    EXPECT_TRUE(prompt.Prompts().isEmpty());
    wizard.SetMappingField(1, QStringLiteral("LastName"));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text,
              QStringLiteral("The field \"LastName\" is already linked to the column \"FirstName\". A field takes one column."));
    auto *second = qobject_cast<QComboBox *>(wizard.cxGridFields->cellWidget(1, 2));
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->currentText().isEmpty());
    auto *first = qobject_cast<QComboBox *>(wizard.cxGridFields->cellWidget(0, 2));
    EXPECT_EQ(first->currentText(), QStringLiteral("LastName"));
}

TEST_F(ImportWizard, ClosesAfterARunThatFailed)
{
    TScriptedPrompt prompt;
    TfImport wizard(controller);
    wizard.SetTexts();
    wizard.show();
    wizard.ChooseFile(File(QStringLiteral("people.csv")));
    wizard.acNext->trigger();
    wizard.SetMappingField(0, QStringLiteral("FirstName"));
    // The server cannot be reached any more when the run opens the import table.
    controller.Data().ClearConnection();
    wizard.acNext->trigger();
    EXPECT_FALSE(wizard.isVisible());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("Error "))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_EQ(wizard.Imported(), 0);
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts")), QStringLiteral("0"));
}

TEST_F(ImportWizard, NoSendsNothing)
{
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    TfImport wizard(controller);
    RunWizard(wizard, File(QStringLiteral("people.csv")));
    EXPECT_EQ(server->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts")), QStringLiteral("0"));
    EXPECT_FALSE(controller.Data().DAImportContacts().HasChanges());
}

} // namespace
