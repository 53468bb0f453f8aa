// Word output: the server's merge data read back, templates built from their descriptions, and
// merged documents read with python-docx, the reader users' tools rely on.
#include "reporting/ReportError.h"
#include "reporting/WordMailMerge.h"
#include "reporting/WordPackage.h"
#include "reporting/ZipArchive.h"

#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

// The data as GetWordReportData writes it.
QByteArray MergeText(const QStringList &fields, const QList<QStringList> &rows)
{
    QString text = fields.join(QLatin1Char('\t'));
    for (const QStringList &row : rows) {
        QStringList quoted;
        for (QString value : row)
            quoted << QLatin1Char('"') + value.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        text += QStringLiteral("\r\n") + quoted.join(QLatin1Char('\t'));
    }
    return text.toUtf8();
}

DocxText ReadBack(const WordPackage &package)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("merged.docx"));
    package.Write(path);
    return DocxRead(path);
}

QByteArray Zip(const ZipArchive::Entries &entries)
{
    return ZipArchive::Pack(entries);
}

const QString kContactBlock = QStringLiteral(
    "# one block per contact\n"
    "@title Contact list\n"
    "= {Name}\n"
    "{TotAdr}\n"
    "Phone:\t{phone1}\n"
    "\n");

} // namespace

TEST(WordMergeData, ReadsTheServersTextWithQuotesLineBreaksAndTabsInsideValues)
{
    const WordMergeData data = WordMergeData::FromText(
        MergeText({QStringLiteral("Name"), QStringLiteral("TotAdr")},
                  {{QStringLiteral("\"Bud\" O'Neil"), QStringLiteral("3 Pine Rd\r\nPeoria, IL")},
                   {QStringLiteral("Zoë\tÅberg"), QString()}}));
    EXPECT_EQ(data.Fields, (QStringList{QStringLiteral("Name"), QStringLiteral("TotAdr")}));
    ASSERT_EQ(data.Rows.size(), 2);
    EXPECT_EQ(data.Value(0, QStringLiteral("name")), QStringLiteral("\"Bud\" O'Neil"));
    EXPECT_EQ(data.Value(0, QStringLiteral("TotAdr")), QStringLiteral("3 Pine Rd\r\nPeoria, IL"));
    EXPECT_EQ(data.Value(1, QStringLiteral("Name")), QStringLiteral("Zoë\tÅberg"));
    EXPECT_EQ(data.Value(1, QStringLiteral("Missing")), QString());
}

TEST(WordMergeData, AHeaderAloneIsNoRows)
{
    EXPECT_TRUE(WordMergeData::FromText("Name\tTotAdr").Rows.isEmpty());
}

TEST(WordMergeData, RefusesTextOutOfShape)
{
    for (const QByteArray &text : {QByteArray(), QByteArray("Name\tCity\r\n\"Ann\""), QByteArray("Name\r\n\"Ann"),
                                   QByteArray("Name\r\n\"Ann\"x")}) {
        EXPECT_THROW(WordMergeData::FromText(text), EReportError) << text.toStdString();
    }
}

TEST(WordTemplate, ADescriptionGivesADocumentWithItsFieldsAndPaper)
{
    const WordPackage portrait = WordTemplate::FromDescription(kContactBlock);
    EXPECT_EQ(WordMailMerge::MergeFields(portrait), (QStringList{QStringLiteral("Name"), QStringLiteral("TotAdr"), QStringLiteral("phone1")}));
    const DocxText text = ReadBack(portrait);
    // Before a merge Word shows each field by its name.
    EXPECT_EQ(text.Paragraphs,
              (QStringList{QStringLiteral("«Name»"), QStringLiteral("«TotAdr»"), QStringLiteral("Phone:\t«phone1»"), QString()}));
    EXPECT_EQ(text.Orientation, QStringLiteral("portrait"));

    EXPECT_EQ(ReadBack(WordTemplate::FromDescription(QStringLiteral("@orientation landscape\n{Name}\n"))).Orientation,
              QStringLiteral("landscape"));
}

TEST(WordTemplate, RefusesWhatItDoesNotUnderstand)
{
    EXPECT_THROW(WordTemplate::FromDescription(QStringLiteral("@paper A4\n")), EReportError);
    EXPECT_THROW(WordTemplate::FromDescription(QStringLiteral("{Name\n")), EReportError);
    EXPECT_THROW(WordTemplate::FromDescription(QStringLiteral("{}\n")), EReportError);
}

TEST(WordMailMerge, EveryRowGetsItsOwnCopyOfTheBodyWithItsValuesInPlace)
{
    const WordPackage document = WordTemplate::FromDescription(kContactBlock);
    const WordMergeData data = WordMergeData::FromText(
        MergeText({QStringLiteral("Name"), QStringLiteral("TotAdr"), QStringLiteral("phone1")},
                  {{QStringLiteral("\"Bud\" O'Neil & Sons <Ltd>"), QStringLiteral("3 Pine Rd\r\nPeoria, IL"), QStringLiteral("555-0103")},
                   {QStringLiteral("Zoë Ølstrup-Дмитриев 王"), QStringLiteral("Hauptstraße 5"), QString()},
                   {QStringLiteral("Adams, John"), QString(), QStringLiteral("555-0101")}}));
    const DocxText text = ReadBack(WordMailMerge::Merge(document, data));
    EXPECT_EQ(text.Paragraphs, (QStringList{
                                   QStringLiteral("\"Bud\" O'Neil & Sons <Ltd>"), QStringLiteral("3 Pine Rd\nPeoria, IL"),
                                   QStringLiteral("Phone:\t555-0103"), QString(),
                                   QStringLiteral("Zoë Ølstrup-Дмитриев 王"), QStringLiteral("Hauptstraße 5"), QStringLiteral("Phone:\t"), QString(),
                                   QStringLiteral("Adams, John"), QString(), QStringLiteral("Phone:\t555-0101"), QString(),
                               }));
    EXPECT_EQ(text.Orientation, QStringLiteral("portrait"));
}

TEST(WordMailMerge, FieldsOfOneElementOrSeveralRunsKeepTheirFormattingAndOtherFieldsStay)
{
    // As Word and LibreOffice save a field: begin, instruction, separate, shown result, end;
    // or as one simple-field element.
    const QByteArray body = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>
<w:p><w:r><w:t xml:space="preserve">Dear </w:t></w:r><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> MERGEFIELD </w:instrText></w:r><w:r><w:instrText>FirstName \* MERGEFORMAT </w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:rPr><w:i/></w:rPr><w:t>«FirstName»</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r><w:r><w:t>, page </w:t></w:r><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>1</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>
<w:p><w:fldSimple w:instr=" MERGEFIELD  &quot;Last Name&quot; "><w:r><w:rPr><w:b/></w:rPr><w:t>«Last Name»</w:t></w:r></w:fldSimple></w:p>
<w:sectPr><w:pgSz w:w="12240" w:h="15840"/></w:sectPr></w:body></w:document>)";
    WordPackage document = WordTemplate::FromDescription(QStringLiteral("x\n"));
    document.SetPart(WordPackage::DocumentPart, body);
    EXPECT_EQ(WordMailMerge::MergeFields(document), (QStringList{QStringLiteral("FirstName"), QStringLiteral("Last Name")}));

    const WordPackage merged = WordMailMerge::Merge(
        document, WordMergeData::FromText(MergeText({QStringLiteral("FIRSTNAME"), QStringLiteral("Last Name")},
                                                    {{QStringLiteral("Åsa"), QStringLiteral("Berg")}, {QStringLiteral("Ines"), QStringLiteral("Ruiz")}})));
    const QString xml = QString::fromUtf8(merged.Part(WordPackage::DocumentPart));
    EXPECT_TRUE(xml.contains(QStringLiteral("<w:r><w:rPr><w:i/></w:rPr><w:t xml:space=\"preserve\">Åsa</w:t></w:r>"))) << xml.toStdString();
    EXPECT_TRUE(xml.contains(QStringLiteral("<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">Ruiz</w:t></w:r>"))) << xml.toStdString();
    EXPECT_EQ(xml.count(QStringLiteral("MERGEFIELD")), 0);
    EXPECT_EQ(xml.count(QStringLiteral(" PAGE ")), 2);
    EXPECT_EQ(ReadBack(merged).Paragraphs, (QStringList{QStringLiteral("Dear Åsa, page 1"), QStringLiteral("Berg"),
                                                        QStringLiteral("Dear Ines, page 1"), QStringLiteral("Ruiz")}));
}

TEST(WordMailMerge, CharactersXmlCannotCarryAreLeftOut)
{
    const WordPackage merged = WordMailMerge::Merge(
        WordTemplate::FromDescription(QStringLiteral("{Name}\n")),
        WordMergeData::FromText(MergeText({QStringLiteral("Name")}, {{QStringLiteral("Ann\x01\x1F Lee")}})));
    EXPECT_EQ(ReadBack(merged).Paragraphs, QStringList{QStringLiteral("Ann Lee")});
}

TEST(WordPackage, RefusesWhatIsNotAWordDocumentWithinItsLimits)
{
    EXPECT_THROW(WordPackage::FromBytes("not a zip"), EReportError);
    EXPECT_THROW(WordPackage::FromBytes(Zip({{QStringLiteral("word/styles.xml"), "<x/>"}})), EReportError);
    EXPECT_THROW(WordPackage::FromBytes(Zip({{QStringLiteral("../evil.xml"), "<x/>"}, {WordPackage::DocumentPart, "<x/>"}})),
                 EReportError);
    // Zeros pack into a few kilobytes and would unpack past the limit.
    const QByteArray huge(WordPackage::kMaxPartBytes + 1, '\0');
    EXPECT_THROW(WordPackage::FromBytes(Zip({{WordPackage::DocumentPart, huge}})), EReportError);

    const WordPackage package = WordPackage::FromBytes(Zip({{WordPackage::DocumentPart, "<x/>"}, {QStringLiteral("a/b.xml"), "b"}}));
    EXPECT_EQ(package.PartNames(), (QStringList{WordPackage::DocumentPart, QStringLiteral("a/b.xml")}));
    EXPECT_EQ(WordPackage::FromBytes(package.ToBytes()).Part(QStringLiteral("a/b.xml")), QByteArray("b"));
}
