// Reading report templates: paper, units and shares, what each item carries, and the faults
// a template author is told about with their line.
#include "reporting/ReportError.h"
#include "reporting/ReportTemplate.h"
#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QString Refusal(const QString &xml)
{
    try {
        ReportTemplate::FromXml(xml.toUtf8());
    } catch (const EReportError &e) {
        return e.Message();
    }
    return {};
}

} // namespace

TEST(ReportTemplate, PaperUnitsAndSharesBecomePoints)
{
    const ReportTemplate report = ReportTemplate::FromXml(QByteArrayLiteral(
        "<?xml version=\"1.0\"?>\n"
        "<report name=\"Labels\" title=\"Address labels\" page=\"A4\" orientation=\"landscape\" unit=\"in\" margins=\"0.5\" marginLeft=\"10mm\">\n"
        "  <font family=\"DejaVu Serif\" size=\"11\"/>\n"
        "  <columns count=\"2\" width=\"45%\" spacing=\"1cm\" rowSpacing=\"6pt\"/>\n"
        "  <detail height=\"1\">\n"
        "    <field name=\"Name\" x=\"10%\" y=\"0.1\" width=\"80%\" height=\"0.25\" bold=\"true\" align=\"center\" valign=\"middle\"/>\n"
        "    <line x1=\"0\" y1=\"1\" x2=\"100%\" y2=\"1\" pen=\"2pt\" color=\"#808080\"/>\n"
        "  </detail>\n"
        "</report>\n"));
    EXPECT_EQ(report.Name, "Labels");
    EXPECT_EQ(report.Title, "Address labels");
    EXPECT_EQ(report.PageSize.id(), QPageSize::A4);
    EXPECT_NEAR(report.PageSizePoints().width(), 841.9, 0.1);
    EXPECT_NEAR(report.Margins.left(), 28.35, 0.01);
    EXPECT_DOUBLE_EQ(report.Margins.top(), 36);
    const double content = report.PageSizePoints().width() - report.Margins.left() - 36;
    EXPECT_NEAR(report.Columns.Width, content * 0.45, 0.01);
    EXPECT_NEAR(report.Columns.Spacing, 28.35, 0.01);
    EXPECT_DOUBLE_EQ(report.Columns.RowSpacing, 6);
    ASSERT_TRUE(report.Detail);
    EXPECT_DOUBLE_EQ(report.Detail->Height, 72);
    const ReportItem &name = report.Detail->Items.at(0);
    EXPECT_EQ(name.Kind, ReportItemKind::Field);
    EXPECT_EQ(name.FieldName, "Name");
    EXPECT_NEAR(name.Rect.left(), report.Columns.Width * 0.1, 0.01);
    EXPECT_NEAR(name.Rect.width(), report.Columns.Width * 0.8, 0.01);
    EXPECT_DOUBLE_EQ(name.Rect.height(), 18);
    EXPECT_EQ(name.Font.Family, "DejaVu Serif");
    EXPECT_TRUE(name.Font.Bold);
    EXPECT_DOUBLE_EQ(name.Font.PointSize, 11);
    EXPECT_EQ(name.Alignment, Qt::AlignHCenter | Qt::AlignVCenter);
    const ReportItem &line = report.Detail->Items.at(1);
    EXPECT_EQ(line.Kind, ReportItemKind::Line);
    EXPECT_DOUBLE_EQ(line.PenWidth, 2);
    EXPECT_EQ(line.Color, QColor(0x80, 0x80, 0x80));
    EXPECT_NEAR(line.Rect.right(), report.Columns.Width, 0.01);
}

TEST(ReportTemplate, ListsEveryFieldItReadsOnce)
{
    const ReportTemplate report = ReportTemplate::FromXml(QByteArrayLiteral(
        "<report><group on=\"MemberOf\"><header><expression>MemberOf + ' ' + Count()</expression></header></group>"
        "<detail height=\"20\"><field name=\"Name\"/><image field=\"Picture\"/><expression>name + PageCount()</expression></detail></report>"));
    EXPECT_EQ(report.FieldNames(), (QStringList{"MemberOf", "Name", "Picture"}));
    EXPECT_TRUE(report.UsesPageCount());
    EXPECT_EQ(report.Bands().size(), 2);
}

TEST(ReportTemplate, FaultsAreToldWithTheirLine)
{
    const struct { const char *Xml; const char *Says; } cases[] = {
        {"<list/>", "not a report template"},
        {"<report/>", "no <detail> band"},
        {"<report>\n<detail><chart/></detail></report>", "line 2: <chart> is not an item"},
        {"<report><detail><field/></detail></report>", "a <field> needs \"name\""},
        {"<report><detail><text width=\"wide\">x</text></detail></report>", "\"wide\" is not a length"},
        {"<report><detail><text y=\"10%\">x</text></detail></report>", "a share is allowed for widths and across only"},
        {"<report><detail height=\"-1\"/></report>", "not negative"},
        {"<report page=\"Tabloid\"><detail/></report>", "not a paper"},
        {"<report><columns count=\"3\" width=\"3in\"/><detail/></report>", "do not fit across the page"},
        {"<report><detail/><columns count=\"2\"/></report>", "<columns> must come before <detail>"},
        {"<report><group><header/></group><detail/></report>", "a <group> needs \"on\""},
        {"<report><detail><expression>Name +</expression></detail></report>", "a value is missing"},
        {"<report><detail><text bold=\"maybe\">x</text></detail></report>", "not true or false"},
        {"<report><detail><image/></detail></report>", "needs \"field\" or a picture"},
        {"<report><detail><text>x</detail></report>", "line 1"},
        {"<report margins=\"5in\"><detail/></report>", "no room on the page"},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(Refusal(QString::fromUtf8(c.Xml)).contains(QString::fromUtf8(c.Says))) << c.Xml << "\n" << Refusal(QString::fromUtf8(c.Xml)).toStdString();
    EXPECT_TRUE(Refusal(QString()).contains(QStringLiteral("empty")));
    EXPECT_TRUE(Refusal(QStringLiteral("<report>") + QString(int(ReportTemplate::kMaxBytes), QLatin1Char(' '))).contains(QStringLiteral("larger")));
}
