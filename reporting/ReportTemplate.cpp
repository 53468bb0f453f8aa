#include "reporting/ReportTemplate.h"

#include "reporting/ReportError.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

constexpr double kPointsPerInch = 72.0;

class TemplateReader
{
public:
    explicit TemplateReader(const QByteArray &xml) : m_xml(xml) {}

    ReportTemplate Read()
    {
        if (!m_xml.readNextStartElement() || m_xml.name() != QLatin1String("report"))
            Fail(QStringLiteral("the document is not a report template"));
        ReadReport();
        if (m_xml.hasError())
            Fail(m_xml.errorString());
        return std::move(m_report);
    }

private:
    [[noreturn]] void Fail(const QString &what) const
    {
        throw EReportError(QStringLiteral("Report template, line %1: %2").arg(m_xml.lineNumber()).arg(what));
    }

    QString Attribute(QLatin1String name) const { return m_xml.attributes().value(name).toString().trimmed(); }
    bool Has(QLatin1String name) const { return m_xml.attributes().hasAttribute(name); }

    bool Flag(QLatin1String name, bool fallback) const
    {
        if (!Has(name))
            return fallback;
        const QString value = Attribute(name).toLower();
        if (value == QLatin1String("true") || value == QLatin1String("1") || value == QLatin1String("yes"))
            return true;
        if (value == QLatin1String("false") || value == QLatin1String("0") || value == QLatin1String("no"))
            return false;
        Fail(QStringLiteral("\"%1\" is not true or false").arg(value));
    }

    // A length in the report's unit unless it names its own (mm, cm, in, pt); "%" takes a
    // share of the reference width.
    double Length(const QString &text, double reference = 0) const
    {
        QString value = text.trimmed();
        double scale = m_unit;
        bool percent = false;
        const struct { const char *Suffix; double Points; } units[] = {
            {"mm", kPointsPerInch / 25.4}, {"cm", kPointsPerInch / 2.54}, {"in", kPointsPerInch}, {"pt", 1.0}};
        for (const auto &unit : units)
            if (value.endsWith(QLatin1String(unit.Suffix), Qt::CaseInsensitive)) {
                scale = unit.Points;
                value.chop(2);
                break;
            }
        if (value.endsWith(QLatin1Char('%'))) {
            if (reference <= 0)
                Fail(QStringLiteral("\"%1\": a share is allowed for widths and across only").arg(text));
            percent = true;
            value.chop(1);
        }
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok || number < -10000 || number > 10000)
            Fail(QStringLiteral("\"%1\" is not a length").arg(text));
        return percent ? reference * number / 100.0 : number * scale;
    }

    double LengthAttribute(QLatin1String name, double fallback, double reference = 0) const
    {
        return Has(name) ? Length(Attribute(name), reference) : fallback;
    }

    void ReadFont(ReportFont &font) const
    {
        if (Has(QLatin1String("font")))
            font.Family = Attribute(QLatin1String("font"));
        if (Has(QLatin1String("family")))
            font.Family = Attribute(QLatin1String("family"));
        if (Has(QLatin1String("size"))) {
            bool ok = false;
            font.PointSize = Attribute(QLatin1String("size")).toDouble(&ok);
            if (!ok || font.PointSize < 2 || font.PointSize > 200)
                Fail(QStringLiteral("\"%1\" is not a font size").arg(Attribute(QLatin1String("size"))));
        }
        font.Bold = Flag(QLatin1String("bold"), font.Bold);
        font.Italic = Flag(QLatin1String("italic"), font.Italic);
        font.Underline = Flag(QLatin1String("underline"), font.Underline);
    }

    QColor Color(QLatin1String name, const QColor &fallback) const
    {
        if (!Has(name))
            return fallback;
        const QColor color = QColor::fromString(Attribute(name));
        if (!color.isValid())
            Fail(QStringLiteral("\"%1\" is not a colour").arg(Attribute(name)));
        return color;
    }

    void ReadReport()
    {
        m_report.Name = Attribute(QLatin1String("name"));
        m_report.Title = Attribute(QLatin1String("title"));
        if (Has(QLatin1String("unit"))) {
            const QString unit = Attribute(QLatin1String("unit")).toLower();
            if (unit == QLatin1String("mm"))
                m_unit = kPointsPerInch / 25.4;
            else if (unit == QLatin1String("cm"))
                m_unit = kPointsPerInch / 2.54;
            else if (unit == QLatin1String("in"))
                m_unit = kPointsPerInch;
            else if (unit == QLatin1String("pt"))
                m_unit = 1.0;
            else
                Fail(QStringLiteral("\"%1\" is not a unit (mm, cm, in, pt)").arg(unit));
        }
        const QString paper = Has(QLatin1String("page")) ? Attribute(QLatin1String("page")).toLower() : QStringLiteral("letter");
        if (paper == QLatin1String("letter"))
            m_report.PageSize = QPageSize(QPageSize::Letter);
        else if (paper == QLatin1String("a4"))
            m_report.PageSize = QPageSize(QPageSize::A4);
        else if (paper == QLatin1String("legal"))
            m_report.PageSize = QPageSize(QPageSize::Legal);
        else
            Fail(QStringLiteral("\"%1\" is not a paper (Letter, A4, Legal)").arg(paper));
        const QString orientation = Attribute(QLatin1String("orientation")).toLower();
        if (orientation == QLatin1String("landscape"))
            m_report.Orientation = QPageLayout::Landscape;
        else if (orientation.isEmpty() || orientation == QLatin1String("portrait"))
            m_report.Orientation = QPageLayout::Portrait;
        else
            Fail(QStringLiteral("\"%1\" is not an orientation").arg(orientation));
        const double margin = LengthAttribute(QLatin1String("margins"), 36);
        m_report.Margins = QMarginsF(LengthAttribute(QLatin1String("marginLeft"), margin), LengthAttribute(QLatin1String("marginTop"), margin),
                                     LengthAttribute(QLatin1String("marginRight"), margin),
                                     LengthAttribute(QLatin1String("marginBottom"), margin));
        const QSizeF page = m_report.PageSizePoints();
        m_contentWidth = m_report.ContentWidth();
        if (m_contentWidth < 36 || page.height() - m_report.Margins.top() - m_report.Margins.bottom() < 36)
            Fail(QStringLiteral("the margins leave no room on the page"));

        bool detailSeen = false;
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == QLatin1String("font")) {
                ReadFont(m_font);
                m_xml.skipCurrentElement();
            } else if (name == QLatin1String("columns")) {
                if (detailSeen)
                    Fail(QStringLiteral("<columns> must come before <detail>"));
                ReadColumns();
            } else if (name == QLatin1String("title")) {
                m_report.TitleBand = ReadBand(ReportBandKind::Title);
            } else if (name == QLatin1String("pageHeader")) {
                m_report.PageHeader = ReadBand(ReportBandKind::PageHeader);
            } else if (name == QLatin1String("group")) {
                ReadGroup();
            } else if (name == QLatin1String("detail")) {
                detailSeen = true;
                m_report.Detail = ReadBand(ReportBandKind::Detail);
            } else if (name == QLatin1String("summary")) {
                m_report.Summary = ReadBand(ReportBandKind::Summary);
            } else if (name == QLatin1String("pageFooter")) {
                m_report.PageFooter = ReadBand(ReportBandKind::PageFooter);
            } else {
                Fail(QStringLiteral("<%1> is not a part of a report").arg(name));
            }
        }
        if (!m_report.Detail)
            Fail(QStringLiteral("the report has no <detail> band"));
    }

    void ReadColumns()
    {
        ReportColumns &c = m_report.Columns;
        bool ok = false;
        c.Count = Attribute(QLatin1String("count")).toInt(&ok);
        if (!ok || c.Count < 1 || c.Count > ReportTemplate::kMaxColumns)
            Fail(QStringLiteral("\"%1\" is not a number of columns").arg(Attribute(QLatin1String("count"))));
        c.Spacing = LengthAttribute(QLatin1String("spacing"), 0);
        c.RowSpacing = LengthAttribute(QLatin1String("rowSpacing"), 0);
        c.Width = LengthAttribute(QLatin1String("width"), (m_contentWidth - c.Spacing * (c.Count - 1)) / c.Count, m_contentWidth);
        if (c.Width <= 0 || c.Count * c.Width + (c.Count - 1) * c.Spacing > m_contentWidth + 0.5)
            Fail(QStringLiteral("%1 columns of that width do not fit across the page").arg(c.Count));
        m_xml.skipCurrentElement();
    }

    void ReadGroup()
    {
        if (m_report.Groups.size() >= ReportTemplate::kMaxGroups)
            Fail(QStringLiteral("a report has at most %1 groups").arg(ReportTemplate::kMaxGroups));
        ReportGroup group;
        const QString key = Attribute(QLatin1String("on"));
        if (key.isEmpty())
            Fail(QStringLiteral("a <group> needs \"on\""));
        group.Key = Parse(key);
        group.NewPage = Flag(QLatin1String("newPage"), false);
        group.RepeatHeader = Flag(QLatin1String("repeatHeader"), false);
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("header"))
                group.Header = ReadBand(ReportBandKind::GroupHeader);
            else if (m_xml.name() == QLatin1String("footer"))
                group.Footer = ReadBand(ReportBandKind::GroupFooter);
            else
                Fail(QStringLiteral("<%1> is not a part of a group").arg(m_xml.name()));
        }
        m_report.Groups << group;
    }

    std::shared_ptr<const ReportExpression> Parse(const QString &text) const
    {
        try {
            return ReportExpression::Parse(text);
        } catch (const EReportError &e) {
            Fail(e.Message());
        }
    }

    ReportBand ReadBand(ReportBandKind kind)
    {
        const double width = m_report.BandWidth(kind);
        ReportBand band;
        band.Kind = kind;
        band.Height = LengthAttribute(QLatin1String("height"), 0);
        if (band.Height < 0)
            Fail(QStringLiteral("a band's height is not negative"));
        band.PrintOnFirstPage = Flag(QLatin1String("firstPage"), true);
        while (m_xml.readNextStartElement()) {
            if (++m_items > ReportTemplate::kMaxItems)
                Fail(QStringLiteral("a report has at most %1 items").arg(ReportTemplate::kMaxItems));
            band.Items << ReadItem(width);
        }
        return band;
    }

    ReportItem ReadItem(double width)
    {
        ReportItem item;
        const auto name = m_xml.name();
        item.Font = m_font;
        ReadFont(item.Font);
        item.Color = Color(QLatin1String("color"), Qt::black);
        item.Format = Attribute(QLatin1String("format"));
        item.WordWrap = Flag(QLatin1String("wrap"), false);
        item.CanGrow = Flag(QLatin1String("grow"), false);
        item.WordWrap = item.WordWrap || item.CanGrow;
        item.PenWidth = LengthAttribute(QLatin1String("pen"), 0.5);
        item.Frame = Flag(QLatin1String("frame"), false);
        item.Alignment = Alignment();
        if (name == QLatin1String("line")) {
            item.Kind = ReportItemKind::Line;
            item.Rect = QRectF(QPointF(LengthAttribute(QLatin1String("x1"), 0, width), LengthAttribute(QLatin1String("y1"), 0)),
                               QPointF(LengthAttribute(QLatin1String("x2"), 0, width), LengthAttribute(QLatin1String("y2"), 0)));
            m_xml.skipCurrentElement();
            return item;
        }
        const double x = LengthAttribute(QLatin1String("x"), 0, width);
        item.Rect = QRectF(x, LengthAttribute(QLatin1String("y"), 0), LengthAttribute(QLatin1String("width"), width - x, width),
                           LengthAttribute(QLatin1String("height"), item.Font.PointSize * 1.3));
        if (item.Rect.width() <= 0 || item.Rect.height() <= 0)
            Fail(QStringLiteral("<%1> has no room").arg(name));
        if (name == QLatin1String("text")) {
            item.Kind = ReportItemKind::Text;
            item.Text = m_xml.readElementText();
        } else if (name == QLatin1String("field")) {
            item.Kind = ReportItemKind::Field;
            item.FieldName = Attribute(QLatin1String("name"));
            if (item.FieldName.isEmpty())
                Fail(QStringLiteral("a <field> needs \"name\""));
            m_xml.skipCurrentElement();
        } else if (name == QLatin1String("expression")) {
            item.Kind = ReportItemKind::Expression;
            item.Expression = Parse(m_xml.readElementText().trimmed());
        } else if (name == QLatin1String("box")) {
            item.Kind = ReportItemKind::Box;
            item.Fill = Color(QLatin1String("fill"), QColor());
            m_xml.skipCurrentElement();
        } else if (name == QLatin1String("image")) {
            item.Kind = ReportItemKind::Image;
            item.FieldName = Attribute(QLatin1String("field"));
            const QByteArray data = m_xml.readElementText().trimmed().toLatin1();
            item.ImageData = QByteArray::fromBase64(data);
            if (item.FieldName.isEmpty() && item.ImageData.isEmpty())
                Fail(QStringLiteral("an <image> needs \"field\" or a picture in base64"));
        } else {
            Fail(QStringLiteral("<%1> is not an item (text, field, expression, line, box, image)").arg(name));
        }
        return item;
    }

    Qt::Alignment Alignment() const
    {
        Qt::Alignment alignment;
        const QString across = Attribute(QLatin1String("align")).toLower();
        if (across.isEmpty() || across == QLatin1String("left"))
            alignment = Qt::AlignLeft;
        else if (across == QLatin1String("center"))
            alignment = Qt::AlignHCenter;
        else if (across == QLatin1String("right"))
            alignment = Qt::AlignRight;
        else
            Fail(QStringLiteral("\"%1\" is not an alignment (left, center, right)").arg(across));
        const QString down = Attribute(QLatin1String("valign")).toLower();
        if (down.isEmpty() || down == QLatin1String("top"))
            alignment |= Qt::AlignTop;
        else if (down == QLatin1String("middle"))
            alignment |= Qt::AlignVCenter;
        else if (down == QLatin1String("bottom"))
            alignment |= Qt::AlignBottom;
        else
            Fail(QStringLiteral("\"%1\" is not an alignment (top, middle, bottom)").arg(down));
        return alignment;
    }

    QXmlStreamReader m_xml;
    ReportTemplate m_report;
    ReportFont m_font;
    double m_unit = kPointsPerInch / 25.4;
    double m_contentWidth = 0;
    int m_items = 0;
};

QString Number(double value)
{
    // Six decimals of a point keep every length a template can hold; no trailing zeros.
    QString text = QString::number(value, 'f', 6);
    while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString Bool(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString PaperName(const QPageSize &paper)
{
    switch (paper.id()) {
    case QPageSize::A4: return QStringLiteral("A4");
    case QPageSize::Legal: return QStringLiteral("Legal");
    default: return QStringLiteral("Letter");
    }
}

class TemplateWriter
{
public:
    explicit TemplateWriter(QByteArray &out) : m_xml(&out) { m_xml.setAutoFormatting(true); }

    void Write(const ReportTemplate &report)
    {
        m_xml.writeStartDocument();
        m_xml.writeStartElement(QStringLiteral("report"));
        m_xml.writeAttribute(QStringLiteral("name"), report.Name);
        m_xml.writeAttribute(QStringLiteral("title"), report.Title);
        m_xml.writeAttribute(QStringLiteral("page"), PaperName(report.PageSize));
        m_xml.writeAttribute(QStringLiteral("orientation"),
                             report.Orientation == QPageLayout::Landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"));
        m_xml.writeAttribute(QStringLiteral("unit"), QStringLiteral("pt"));
        m_xml.writeAttribute(QStringLiteral("marginLeft"), Number(report.Margins.left()));
        m_xml.writeAttribute(QStringLiteral("marginTop"), Number(report.Margins.top()));
        m_xml.writeAttribute(QStringLiteral("marginRight"), Number(report.Margins.right()));
        m_xml.writeAttribute(QStringLiteral("marginBottom"), Number(report.Margins.bottom()));
        if (report.Columns.Count > 1) {
            m_xml.writeEmptyElement(QStringLiteral("columns"));
            m_xml.writeAttribute(QStringLiteral("count"), QString::number(report.Columns.Count));
            m_xml.writeAttribute(QStringLiteral("width"), Number(report.Columns.Width));
            m_xml.writeAttribute(QStringLiteral("spacing"), Number(report.Columns.Spacing));
            m_xml.writeAttribute(QStringLiteral("rowSpacing"), Number(report.Columns.RowSpacing));
        }
        Band(QStringLiteral("title"), report.TitleBand);
        Band(QStringLiteral("pageHeader"), report.PageHeader);
        for (const ReportGroup &group : report.Groups) {
            m_xml.writeStartElement(QStringLiteral("group"));
            m_xml.writeAttribute(QStringLiteral("on"), group.Key->Source());
            m_xml.writeAttribute(QStringLiteral("newPage"), Bool(group.NewPage));
            m_xml.writeAttribute(QStringLiteral("repeatHeader"), Bool(group.RepeatHeader));
            Band(QStringLiteral("header"), group.Header);
            Band(QStringLiteral("footer"), group.Footer);
            m_xml.writeEndElement();
        }
        Band(QStringLiteral("detail"), report.Detail);
        Band(QStringLiteral("summary"), report.Summary);
        Band(QStringLiteral("pageFooter"), report.PageFooter);
        m_xml.writeEndElement();
        m_xml.writeEndDocument();
    }

private:
    void Band(const QString &element, const std::optional<ReportBand> &band)
    {
        if (!band)
            return;
        m_xml.writeStartElement(element);
        m_xml.writeAttribute(QStringLiteral("height"), Number(band->Height));
        if (!band->PrintOnFirstPage)
            m_xml.writeAttribute(QStringLiteral("firstPage"), Bool(false));
        for (const ReportItem &item : band->Items)
            Item(item);
        m_xml.writeEndElement();
    }

    void Item(const ReportItem &item)
    {
        static const char *const names[] = {"text", "field", "expression", "line", "box", "image"};
        m_xml.writeStartElement(QLatin1String(names[int(item.Kind)]));
        if (item.Kind == ReportItemKind::Line) {
            m_xml.writeAttribute(QStringLiteral("x1"), Number(item.Rect.left()));
            m_xml.writeAttribute(QStringLiteral("y1"), Number(item.Rect.top()));
            m_xml.writeAttribute(QStringLiteral("x2"), Number(item.Rect.right()));
            m_xml.writeAttribute(QStringLiteral("y2"), Number(item.Rect.bottom()));
        } else {
            m_xml.writeAttribute(QStringLiteral("x"), Number(item.Rect.left()));
            m_xml.writeAttribute(QStringLiteral("y"), Number(item.Rect.top()));
            m_xml.writeAttribute(QStringLiteral("width"), Number(item.Rect.width()));
            m_xml.writeAttribute(QStringLiteral("height"), Number(item.Rect.height()));
        }
        if (item.Kind == ReportItemKind::Field)
            m_xml.writeAttribute(QStringLiteral("name"), item.FieldName);
        if (item.Kind == ReportItemKind::Image && !item.FieldName.isEmpty())
            m_xml.writeAttribute(QStringLiteral("field"), item.FieldName);
        m_xml.writeAttribute(QStringLiteral("family"), item.Font.Family);
        m_xml.writeAttribute(QStringLiteral("size"), Number(item.Font.PointSize));
        m_xml.writeAttribute(QStringLiteral("bold"), Bool(item.Font.Bold));
        m_xml.writeAttribute(QStringLiteral("italic"), Bool(item.Font.Italic));
        m_xml.writeAttribute(QStringLiteral("underline"), Bool(item.Font.Underline));
        m_xml.writeAttribute(QStringLiteral("color"), item.Color.name());
        // The first of a table of alignments that the item's alignment holds.
        const auto alignment = [&](const QString &attribute, std::initializer_list<std::pair<Qt::AlignmentFlag, const char *>> table) {
            for (const auto &[flag, name] : table)
                if (item.Alignment & flag) {
                    m_xml.writeAttribute(attribute, QLatin1String(name));
                    return;
                }
        };
        alignment(QStringLiteral("align"), {{Qt::AlignHCenter, "center"}, {Qt::AlignRight, "right"}, {Qt::AlignLeft, "left"}});
        alignment(QStringLiteral("valign"), {{Qt::AlignVCenter, "middle"}, {Qt::AlignBottom, "bottom"}, {Qt::AlignTop, "top"}});
        if (item.CanGrow)
            m_xml.writeAttribute(QStringLiteral("grow"), Bool(true));
        else if (item.WordWrap)
            m_xml.writeAttribute(QStringLiteral("wrap"), Bool(true));
        if (!item.Format.isEmpty())
            m_xml.writeAttribute(QStringLiteral("format"), item.Format);
        m_xml.writeAttribute(QStringLiteral("pen"), Number(item.PenWidth));
        if (item.Frame)
            m_xml.writeAttribute(QStringLiteral("frame"), Bool(true));
        if (item.Fill.isValid())
            m_xml.writeAttribute(QStringLiteral("fill"), item.Fill.name(item.Fill.alpha() < 255 ? QColor::HexArgb : QColor::HexRgb));
        switch (item.Kind) {
        case ReportItemKind::Text: m_xml.writeCharacters(item.Text); break;
        case ReportItemKind::Expression: m_xml.writeCharacters(item.Expression->Source()); break;
        case ReportItemKind::Image:
            if (item.FieldName.isEmpty())
                m_xml.writeCharacters(QString::fromLatin1(item.ImageData.toBase64()));
            break;
        default: break;
        }
        m_xml.writeEndElement();
    }

    QXmlStreamWriter m_xml;
};

void AddNames(QStringList &names, const QStringList &more)
{
    for (const QString &name : more)
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
}

} // namespace

ReportTemplate ReportTemplate::FromXml(const QByteArray &xml)
{
    if (xml.size() > kMaxBytes)
        throw EReportError(QStringLiteral("A report template of %1 bytes is larger than %2").arg(xml.size()).arg(kMaxBytes));
    if (xml.trimmed().isEmpty())
        throw EReportError(QStringLiteral("The report template is empty"));
    return TemplateReader(xml).Read();
}

QByteArray ReportTemplate::ToXml() const
{
    QByteArray out;
    TemplateWriter(out).Write(*this);
    return out;
}

double ReportTemplate::ContentWidth() const
{
    return PageSizePoints().width() - Margins.left() - Margins.right();
}

double ReportTemplate::BandWidth(ReportBandKind kind) const
{
    return kind == ReportBandKind::Detail && Columns.Count > 1 ? Columns.Width : ContentWidth();
}

QSizeF ReportTemplate::PaperPoints(const QPageSize &paper, QPageLayout::Orientation orientation)
{
    // In the paper's own unit: QPageSize rounds sizes in points to whole points.
    const QSizeF size = paper.definitionUnits() == QPageSize::Millimeter ? paper.definitionSize() * 72.0 / 25.4
                                                                         : paper.size(QPageSize::Inch) * 72.0;
    return orientation == QPageLayout::Landscape ? size.transposed() : size;
}

QSizeF ReportTemplate::PageSizePoints() const
{
    return PaperPoints(PageSize, Orientation);
}

QList<const ReportBand *> ReportTemplate::Bands() const
{
    QList<const ReportBand *> bands;
    for (const std::optional<ReportBand> *band : {&TitleBand, &PageHeader})
        if (*band)
            bands << &**band;
    for (const ReportGroup &group : Groups) {
        if (group.Header)
            bands << &*group.Header;
        if (group.Footer)
            bands << &*group.Footer;
    }
    for (const std::optional<ReportBand> *band : {&Detail, &Summary, &PageFooter})
        if (*band)
            bands << &**band;
    return bands;
}

QStringList ReportTemplate::FieldNames() const
{
    QStringList names;
    for (const ReportGroup &group : Groups)
        AddNames(names, group.Key->FieldNames());
    for (const ReportBand *band : Bands())
        for (const ReportItem &item : band->Items) {
            if (!item.FieldName.isEmpty())
                AddNames(names, {item.FieldName});
            if (item.Expression)
                AddNames(names, item.Expression->FieldNames());
        }
    return names;
}

bool ReportTemplate::UsesPageCount() const
{
    for (const ReportBand *band : Bands())
        for (const ReportItem &item : band->Items)
            if (item.Expression && item.Expression->UsesPageCount())
                return true;
    return false;
}
