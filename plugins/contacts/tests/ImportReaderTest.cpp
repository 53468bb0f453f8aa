// The spreadsheet readers and the import engine over files other programs wrote: the same
// people come out of an .xlsx, a .csv and an .xls alike; columns, examples and the row count
// follow the header-row choice; damaged or foreign files are refused with a message.
#include "plugins/contacts/uImport.h"
#include "plugins/contacts/uImportReaders.h"
#include "plugins/contacts/ufImportWizard.h"

#include "plugins/contacts/tests/ImportTestFiles.h"
#include "testsupport/TestFiles.h"
#include "ui/PromptService.h"

#include <QFileDialog>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

class ImportReader : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = new QTemporaryDir;
        written = WritePeopleFiles(folder->path());
    }
    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
    }
    void SetUp() override
    {
        if (!written)
            FAIL() << "the spreadsheets could not be written";
    }
    static QString Written(const QString &name) { return QDir(folder->path()).filePath(name); }
    static QString Fixture(const QString &name) { return QDir(ImportDataFolder()).filePath(name); }
    static QString Own(const QString &name, const QByteArray &bytes)
    {
        const QString path = Written(name);
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }

    static inline QTemporaryDir *folder = nullptr;
    static inline bool written = false;
};

TEST_F(ImportReader, ReadsTheSamePeopleFromEachKindOfFile)
{
    for (const QString &path : {Written(QStringLiteral("people.xlsx")), Written(QStringLiteral("people.csv")), Fixture(QStringLiteral("people.xls"))}) {
        SCOPED_TRACE(path.toStdString());
        const auto reader = OpenCellReader(path);
        // The first sheet only: the header and four people.
        EXPECT_EQ(reader->RowCount(), 5);
        EXPECT_EQ(reader->Text(1, 1), QStringLiteral("FirstName"));
        EXPECT_EQ(reader->Text(1, 6), QStringLiteral("EMail"));
        EXPECT_EQ(reader->Text(2, 1), QStringLiteral("Zoë"));
        EXPECT_EQ(reader->Text(2, 2), QStringLiteral("Ødegård"));
        EXPECT_EQ(reader->Text(3, 2), QStringLiteral("Смирнов"));
        EXPECT_EQ(reader->Text(4, 1), QStringLiteral("陈"));
        EXPECT_EQ(reader->Text(5, 2), QStringLiteral("O'Brien"));
        EXPECT_EQ(reader->Text(2, 3), QStringLiteral("1985-03-14"));
        EXPECT_EQ(reader->Text(2, 4), QStringLiteral("01234"));
        EXPECT_EQ(reader->Text(3, 4), QStringLiteral("00501"));
        // An empty city and an empty date of birth.
        EXPECT_TRUE(reader->Cell(3, 5).isNull());
        EXPECT_TRUE(reader->Cell(4, 3).isNull());
        EXPECT_TRUE(reader->Cell(9, 9).isNull());
    }
    // Workbooks keep the date a date; the text file leaves it text.
    EXPECT_EQ(OpenCellReader(Written(QStringLiteral("people.xlsx")))->Cell(2, 3).typeId(), QMetaType::QDate);
    EXPECT_EQ(OpenCellReader(Fixture(QStringLiteral("people.xls")))->Cell(2, 3).typeId(), QMetaType::QDate);
}

TEST_F(ImportReader, NumberCellsOfAnOldWorkbookShowTheirDigits)
{
    // numbers.xls: numbers in the postcode, phone and date columns and an empty row 3.
    const auto reader = OpenCellReader(Fixture(QStringLiteral("numbers.xls")));
    EXPECT_EQ(reader->RowCount(), 4);
    EXPECT_EQ(reader->Text(1, 3), QStringLiteral("Zip"));
    EXPECT_EQ(reader->Cell(2, 3).typeId(), QMetaType::Double);
    EXPECT_EQ(reader->Text(2, 3), QStringLiteral("100000"));
    EXPECT_EQ(reader->Text(2, 4), QStringLiteral("5550000000"));
    EXPECT_EQ(reader->Cell(2, 5), QVariant(QDate(1900, 1, 1)));
    EXPECT_TRUE(reader->Text(3, 1).isEmpty());
    EXPECT_EQ(reader->Text(4, 1), QStringLiteral("Bob"));
    EXPECT_EQ(reader->Text(4, 3), QStringLiteral("2108"));
    EXPECT_EQ(reader->Cell(4, 5), QVariant(QDate(1985, 3, 14)));
}

TEST_F(ImportReader, CsvReadsQuotesSeparatorsAndEncodings)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QStringList row1;
        QStringList row2;
    } cases[] = {
        {"quoted", "a,\"b, c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",x,\n", {"a", "b, c", "say \"hi\""}, {"two\nlines", "x", ""}},
        {"semicolon", "Name;Zip\nMüller;01234\n", {"Name", "Zip"}, {"Müller", "01234"}},
        {"tab", "Name\tCity\nAnn\tRome", {"Name", "City"}, {"Ann", "Rome"}},
        {"bom", "\xEF\xBB\xBFName\nZoë\n", {"Name"}, {"Zoë"}},
        {"latin1", "Name\nM\xFCller\n", {"Name"}, {QStringLiteral("Müller")}},
        {"windows-1252", "Name,Gift\nRen\xE9" "e \x93" "Bee\x94,\x80 5\n", {"Name", "Gift"}, {QStringLiteral("Renée “Bee”"), QStringLiteral("€ 5")}},
        {"utf-8 with a mark and the euro", "\xEF\xBB\xBFName,Gift\nRen\xC3\xA9" "e,\xE2\x82\xAC 5\n", {"Name", "Gift"}, {QStringLiteral("Renée"), QStringLiteral("€ 5")}},
        {"a quote inside an unquoted field", "Name,City\nO\"Neil,Cork\n", {"Name", "City"}, {"O\"Neil", "Cork"}},
        {"a quote at the end of an unquoted field", "Size,Name\n12\",Ann\n", {"Size", "Name"}, {"12\"", "Ann"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto reader = OpenCellReader(Own(QString::fromLatin1(c.name) + QStringLiteral(".csv"), c.bytes));
        EXPECT_EQ(reader->RowCount(), 2);
        for (int i = 0; i < c.row1.size(); ++i)
            EXPECT_EQ(reader->Text(1, i + 1), c.row1[i]);
        for (int i = 0; i < c.row2.size(); ++i)
            EXPECT_EQ(reader->Text(2, i + 1), c.row2[i]);
    }
}

TEST_F(ImportReader, RefusesFilesItCannotRead)
{
    const QString notZip = Own(QStringLiteral("plain.xlsx"), "FirstName,LastName\n");
    const QString notXls = Own(QStringLiteral("plain.xls"), "FirstName,LastName\n");
    const QString other = Own(QStringLiteral("people.txt"), "FirstName\n");
    for (const QString &path : {notZip, notXls, other, Written(QStringLiteral("missing.csv"))}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_THROW(OpenCellReader(path), EImportFileError);
    }
    // The job tells the user and offers no column.
    TScriptedPrompt prompt;
    TvoImportJob job;
    job.LoadFile(notZip);
    EXPECT_TRUE(job.FieldDefs().empty());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("cannot be read")));
}

TEST_F(ImportReader, CsvWhoseQuotingCannotBeReadIsRefusedWithItsLine)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *line;
    } cases[] = {
        {"a quoted field never closes", "Name,City\nAnn,Rome\n\"Bob,Oslo\nCleo,Rome\n", "Line 3 "},
        {"text after a closing quote", "Name,City\nAnn,Rome\nBob,Oslo\n\"Cleo\"x,Rome\n", "Line 4 "},
        {"lines inside a quoted field count", "Name,Note\nAnn,\"two\r\nlines\"\r\n\"Bob\" ,x\r\n", "Line 4 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Own(QStringLiteral("quoting.csv"), c.bytes);
        try {
            OpenCellReader(path);
            ADD_FAILURE() << "the file was read";
        } catch (const EImportFileError &e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(QString::fromLatin1(c.line))) << e.what();
        }
        // The job shows it and offers nothing to import.
        TScriptedPrompt prompt;
        TvoImportJob job;
        job.LoadFile(path);
        EXPECT_TRUE(job.FieldDefs().empty());
        ASSERT_EQ(prompt.Prompts().size(), 1);
        EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QString::fromLatin1(c.line)));
    }
}

TEST_F(ImportReader, NumbersShowAllTheirDigits)
{
    struct Case
    {
        double value;
        const char *text;
    } cases[] = {
        {100000.0, "100000"}, {5550000000.0, "5550000000"}, {2125550123.0, "2125550123"}, {-42.0, "-42"},
        {0.0, "0"}, {12.5, "12.5"}, {0.1 + 0.2, "0.3"}, {123456789012345.0, "123456789012345"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TImportCellReader::CellText(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST_F(ImportReader, SpreadsheetDaysCountAsTheSpreadsheetProgramCountsThem)
{
    struct Case
    {
        double days;
        bool from1904;
        QDateTime expected;
    } cases[] = {
        {1.0, false, QDateTime(QDate(1900, 1, 1), QTime(0, 0))},
        {59.0, false, QDateTime(QDate(1900, 2, 28), QTime(0, 0))},
        {61.0, false, QDateTime(QDate(1900, 3, 1), QTime(0, 0))},
        {1.5, false, QDateTime(QDate(1900, 1, 1), QTime(12, 0))},
        {31120.0, false, QDateTime(QDate(1985, 3, 14), QTime(0, 0))},
        {0.0, true, QDateTime(QDate(1904, 1, 1), QTime(0, 0))},
        {-1.0, false, QDateTime(QDate(1899, 12, 29), QTime(0, 0))},
    };
    for (const Case &c : cases) {
        const QDateTime at = SpreadsheetDayToDateTime(c.days, c.from1904);
        EXPECT_EQ(at.date(), c.expected.date()) << c.days;
        EXPECT_EQ(at.time(), c.expected.time()) << c.days;
    }
    // The 29 February 1900 of the 1900 system never was.
    EXPECT_FALSE(SpreadsheetDayToDateTime(60.0, false).isValid());
}

TEST_F(ImportReader, ExtensionsMatchWithoutRegardToCase)
{
    EXPECT_TRUE(IsImportFile(QStringLiteral("/a/PEOPLE.XLSX")));
    EXPECT_TRUE(IsImportFile(QStringLiteral("people.Xls")));
    EXPECT_TRUE(IsImportFile(QStringLiteral("people.CSV")));
    EXPECT_FALSE(IsImportFile(QStringLiteral("people.xlsx.txt")));
    const QString upper = Written(QStringLiteral("PEOPLE.XLSX"));
    QFile::copy(Written(QStringLiteral("people.xlsx")), upper);
    EXPECT_EQ(OpenCellReader(upper)->Text(2, 1), QStringLiteral("Zoë"));
    // The open dialog shows such files too.
    QFileDialog dialog;
    TfImport::PrepareFileDialog(dialog, QStringLiteral("Open"));
    const QStringList shown = QDir(folder->path()).entryList({QStringLiteral("*.xlsx"), QStringLiteral("*.csv")},
                                                             dialog.filter() & QDir::CaseSensitive ? QDir::Files | QDir::CaseSensitive : QDir::Files);
    EXPECT_TRUE(shown.contains(QStringLiteral("PEOPLE.XLSX")));
    EXPECT_TRUE(shown.contains(QStringLiteral("people.csv")));
}

TEST_F(ImportReader, ColumnsExamplesAndRowCountFollowTheHeaderChoice)
{
    TvoImportJob named;
    named.LoadFile(Written(QStringLiteral("people.csv")));
    ASSERT_EQ(named.FieldDefs().size(), 6u);
    EXPECT_EQ(named.FieldDefs()[0]->FieldName, QStringLiteral("FirstName"));
    EXPECT_EQ(named.FieldDefs()[0]->Column, 1);
    EXPECT_EQ(named.FieldDefs()[3]->Value.toString(), QStringLiteral("01234"));
    EXPECT_EQ(named.Links().Count(), 6);
    EXPECT_EQ(named.Links().ActiveCount(), 6);

    TvoImportJob bare;
    bare.FirstRowAsNames = false;
    bare.LoadFile(Written(QStringLiteral("noheader.csv")));
    ASSERT_EQ(bare.FieldDefs().size(), 2u);
    EXPECT_EQ(bare.FieldDefs()[1]->FieldName, QStringLiteral("Field2"));
    EXPECT_EQ(bare.FieldDefs()[1]->Column, 0);
    EXPECT_EQ(bare.FieldDefs()[0]->Value.toString(), QStringLiteral("Zoë"));

    // The data run to the last row that holds anything, whatever is linked: a row without
    // text in the linked columns is skipped by the run, it does not end it.
    auto *file = bare.ImportFile();
    EXPECT_EQ(file->GetRecordCount(), 4);
    bare.Links().Item(1).DataField = QStringLiteral("LastName");
    EXPECT_EQ(file->GetRecordCount(), 4);
    EXPECT_EQ(bare.LinkedCount(), 1);

    TvoImportJob gap;
    gap.LoadFile(Own(QStringLiteral("gap.csv"), "First,Last\nAnn,One\n,\n\nonly-first,\nCleo,Four\n\n\n"));
    EXPECT_EQ(gap.ImportFile()->GetRecordCount(), 6);
}

TEST_F(ImportReader, AFirstRowWithoutTextGivesNoColumns)
{
    TScriptedPrompt prompt;
    TvoImportJob job;
    job.LoadFile(Own(QStringLiteral("blank.csv"), ",,\nAnn,One\n"));
    EXPECT_TRUE(job.FieldDefs().empty());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("no columns")));
}

} // namespace
