// A band-report template: paper, bands, groups and items, read from the XML format that
// docs/report-templates.md describes. Geometry is held in points (1/72 inch). A template is
// read once and then only read: renderings on several threads share one.
#pragma once

#include "reporting/ReportExpression.h"
#include "reporting/ReportingExport.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>

enum class ReportBandKind { Title, PageHeader, GroupHeader, GroupFooter, Detail, Summary, PageFooter };
enum class ReportItemKind { Text, Field, Expression, Line, Box, Image };

struct REPORTING_EXPORT ReportFont
{
    QString Family = QStringLiteral("DejaVu Sans");
    double PointSize = 9;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;

    bool operator==(const ReportFont &other) const = default;
};

struct REPORTING_EXPORT ReportItem
{
    ReportItemKind Kind = ReportItemKind::Text;
    // Points from the band's top left; for a line, from its first point to its second.
    QRectF Rect;
    QString Text;       // a Text item's text
    QString FieldName;  // the field a Field or Image item shows
    std::shared_ptr<const ReportExpression> Expression;
    QString Format;     // date or number format of the value shown
    ReportFont Font;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignTop;
    bool WordWrap = false;
    bool CanGrow = false;   // grows downwards until its whole text shows; items below move down
    QColor Color = Qt::black;
    QColor Fill;            // a box's filling; invalid for none
    double PenWidth = 0.5;  // lines, box borders and frames, points; 0 for a box without border
    bool Frame = false;     // a text, field or expression drawn with a border around it
    QByteArray ImageData;   // an Image item's own picture when it shows no field

    // Expressions compare by object: a parsed anew counts as changed.
    bool operator==(const ReportItem &other) const = default;
};

struct REPORTING_EXPORT ReportBand
{
    ReportBandKind Kind = ReportBandKind::Detail;
    double Height = 0;
    bool PrintOnFirstPage = true;  // page headers and footers
    QList<ReportItem> Items;

    bool operator==(const ReportBand &other) const = default;
};

struct REPORTING_EXPORT ReportGroup
{
    std::shared_ptr<const ReportExpression> Key;  // a new group starts where its value changes
    std::optional<ReportBand> Header;
    std::optional<ReportBand> Footer;
    bool NewPage = false;       // every group starts on a page of its own
    bool RepeatHeader = false;  // the header is printed again on a page the group continues on

    bool operator==(const ReportGroup &other) const = default;
};

// Detail bands side by side, as labels on a label sheet: filled across, then down.
struct REPORTING_EXPORT ReportColumns
{
    int Count = 1;
    double Width = 0;       // of one column; 0 shares the width between the columns
    double Spacing = 0;     // between two columns
    double RowSpacing = 0;  // between two rows of columns

    bool operator==(const ReportColumns &other) const = default;
};

class REPORTING_EXPORT ReportTemplate
{
public:
    static constexpr qsizetype kMaxBytes = 8 * 1024 * 1024;
    static constexpr int kMaxItems = 5000;
    static constexpr int kMaxGroups = 16;
    static constexpr int kMaxColumns = 20;

    // Throws EReportError with the line of the fault for anything it cannot read.
    static ReportTemplate FromXml(const QByteArray &xml);
    // The template in the same format, every length in points: FromXml reads it back as it is.
    QByteArray ToXml() const;

    QString Name;
    QString Title;
    QPageSize PageSize = QPageSize(QPageSize::Letter);
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    QMarginsF Margins = QMarginsF(36, 36, 36, 36);
    ReportColumns Columns;
    std::optional<ReportBand> TitleBand;
    std::optional<ReportBand> PageHeader;
    QList<ReportGroup> Groups;  // outermost first
    std::optional<ReportBand> Detail;
    std::optional<ReportBand> Summary;
    std::optional<ReportBand> PageFooter;

    // The page in points, turned for landscape.
    QSizeF PageSizePoints() const;
    static QSizeF PaperPoints(const QPageSize &paper, QPageLayout::Orientation orientation);
    // Every field the template reads (fields, pictures, expressions), each once, as written.
    QStringList FieldNames() const;
    bool UsesPageCount() const;
    // The bands in the order they are listed, groups' headers and footers included.
    QList<const ReportBand *> Bands() const;
    // The room between the margins.
    double ContentWidth() const;
    // The width the items of a band of this kind are laid out in: a label's for the detail
    // band in columns, else the room between the margins.
    double BandWidth(ReportBandKind kind) const;

    bool operator==(const ReportTemplate &other) const = default;
};
