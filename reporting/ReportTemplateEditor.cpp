#include "reporting/ReportTemplateEditor.h"

#include "reporting/ReportError.h"

#include <QImage>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace {

std::optional<ReportBand> *SingleBand(ReportTemplate &report, ReportBandKind kind)
{
    switch (kind) {
    case ReportBandKind::Title: return &report.TitleBand;
    case ReportBandKind::PageHeader: return &report.PageHeader;
    case ReportBandKind::Detail: return &report.Detail;
    case ReportBandKind::Summary: return &report.Summary;
    case ReportBandKind::PageFooter: return &report.PageFooter;
    case ReportBandKind::GroupHeader:
    case ReportBandKind::GroupFooter: break;
    }
    return nullptr;
}

std::optional<ReportBand> *BandSlot(ReportTemplate &report, const ReportBandRef &band)
{
    if (band.Kind != ReportBandKind::GroupHeader && band.Kind != ReportBandKind::GroupFooter)
        return SingleBand(report, band.Kind);
    if (band.Group < 0 || band.Group >= report.Groups.size())
        return nullptr;
    ReportGroup &group = report.Groups[band.Group];
    return band.Kind == ReportBandKind::GroupHeader ? &group.Header : &group.Footer;
}

ReportBand NewBand(ReportBandKind kind, double height)
{
    ReportBand band;
    band.Kind = kind;
    band.Height = height;
    return band;
}

} // namespace

ReportTemplateEditor::ReportTemplateEditor()
{
    m_report.Detail = NewBand(ReportBandKind::Detail, 20);
}

ReportTemplateEditor::ReportTemplateEditor(ReportTemplate report) : m_report(std::move(report))
{
    if (!m_report.Detail)
        m_report.Detail = NewBand(ReportBandKind::Detail, 20);
}

void ReportTemplateEditor::Load(const QByteArray &xml)
{
    m_report = ReportTemplate::FromXml(xml);
    m_modified = false;
    m_undo.clear();
    m_redo.clear();
    m_merge.clear();
}

QByteArray ReportTemplateEditor::Save() const
{
    const QByteArray xml = m_report.ToXml();
    ReportTemplate::FromXml(xml);
    return xml;
}

template <class Edit> decltype(auto) ReportTemplateEditor::Step(Edit &&edit, const QString &merge)
{
    if (m_inEdit)
        return edit();
    ReportTemplate before = m_report;
    m_inEdit = true;
    const auto done = qScopeGuard([this] { m_inEdit = false; });
    try {
        if constexpr (std::is_void_v<decltype(edit())>) {
            edit();
            Remember(std::move(before), merge);
        } else {
            auto result = edit();
            Remember(std::move(before), merge);
            return result;
        }
    } catch (...) {
        // A refused edit leaves the template as it was, also one refused halfway.
        m_report = std::move(before);
        throw;
    }
}

void ReportTemplateEditor::Remember(ReportTemplate before, const QString &merge)
{
    if (m_stepTaken)
        return;
    // An edit that changed nothing (a drag back to where it started) is no step.
    if (before == m_report)
        return;
    // Letters typed one after another into one property are one step, as in a text editor.
    const bool merged = m_steps == 0 && !merge.isEmpty() && merge == m_merge && !m_undo.isEmpty();
    if (!merged) {
        m_undo.append(std::move(before));
        if (m_undo.size() > kMaxUndo)
            m_undo.removeFirst();
    }
    m_redo.clear();
    m_merge = m_steps == 0 ? merge : QString();
    m_stepTaken = m_steps > 0;
}

void ReportTemplateEditor::BeginStep()
{
    ++m_steps;
    m_merge.clear();
}

QString ReportTemplateEditor::MergeKey(const char *property, const ReportItemRef &item)
{
    return QStringLiteral("%1 %2 %3 %4").arg(QLatin1String(property)).arg(int(item.Band.Kind)).arg(item.Band.Group).arg(item.Index);
}

void ReportTemplateEditor::CheckField(const QString &name) const
{
    if (!m_fields.isEmpty() && !m_fields.contains(name, Qt::CaseInsensitive))
        throw EReportError(QStringLiteral("The data source has no field \"%1\"").arg(name));
}

void ReportTemplateEditor::EndStep()
{
    if (m_steps > 0 && --m_steps == 0)
        m_stepTaken = false;
}

void ReportTemplateEditor::Undo()
{
    if (m_undo.isEmpty())
        return;
    m_merge.clear();
    m_redo.append(std::exchange(m_report, m_undo.takeLast()));
    m_modified = true;
}

void ReportTemplateEditor::Redo()
{
    if (m_redo.isEmpty())
        return;
    m_merge.clear();
    m_undo.append(std::exchange(m_report, m_redo.takeLast()));
    m_modified = true;
}

QList<ReportBandRef> ReportTemplateEditor::Bands() const
{
    QList<ReportBandRef> bands;
    if (m_report.PageHeader)
        bands << ReportBandRef{ReportBandKind::PageHeader};
    if (m_report.TitleBand)
        bands << ReportBandRef{ReportBandKind::Title};
    for (int g = 0; g < m_report.Groups.size(); ++g)
        if (m_report.Groups.at(g).Header)
            bands << ReportBandRef{ReportBandKind::GroupHeader, g};
    bands << ReportBandRef{ReportBandKind::Detail};
    for (int g = int(m_report.Groups.size()) - 1; g >= 0; --g)
        if (m_report.Groups.at(g).Footer)
            bands << ReportBandRef{ReportBandKind::GroupFooter, g};
    if (m_report.Summary)
        bands << ReportBandRef{ReportBandKind::Summary};
    if (m_report.PageFooter)
        bands << ReportBandRef{ReportBandKind::PageFooter};
    return bands;
}

bool ReportTemplateEditor::HasBand(const ReportBandRef &band) const
{
    std::optional<ReportBand> *slot = BandSlot(const_cast<ReportTemplate &>(m_report), band);
    return slot && slot->has_value();
}

const ReportBand &ReportTemplateEditor::Band(const ReportBandRef &band) const
{
    return const_cast<ReportTemplateEditor *>(this)->MutableBand(band);
}

ReportBand &ReportTemplateEditor::MutableBand(const ReportBandRef &band)
{
    std::optional<ReportBand> *slot = BandSlot(m_report, band);
    if (!slot || !*slot)
        throw EReportError(QStringLiteral("The report has no such band"));
    return **slot;
}

const ReportItem &ReportTemplateEditor::Item(const ReportItemRef &item) const
{
    return const_cast<ReportTemplateEditor *>(this)->MutableItem(item);
}

bool ReportTemplateEditor::HasItem(const ReportItemRef &item) const
{
    return item.IsValid() && HasBand(item.Band) && item.Index < Band(item.Band).Items.size();
}

ReportItem &ReportTemplateEditor::MutableItem(const ReportItemRef &item)
{
    ReportBand &band = MutableBand(item.Band);
    if (item.Index < 0 || item.Index >= band.Items.size())
        throw EReportError(QStringLiteral("The band has no item %1").arg(item.Index + 1));
    return band.Items[item.Index];
}

QString ReportTemplateEditor::BandCaption(const ReportBandRef &band) const
{
    switch (band.Kind) {
    case ReportBandKind::Title: return QStringLiteral("Title");
    case ReportBandKind::PageHeader: return QStringLiteral("Page header");
    case ReportBandKind::Detail: return QStringLiteral("Detail");
    case ReportBandKind::Summary: return QStringLiteral("Summary");
    case ReportBandKind::PageFooter: return QStringLiteral("Page footer");
    case ReportBandKind::GroupHeader:
    case ReportBandKind::GroupFooter: break;
    }
    const QString on = band.Group >= 0 && band.Group < m_report.Groups.size() ? m_report.Groups.at(band.Group).Key->Source() : QString();
    return QStringLiteral("Group %1: %2").arg(band.Kind == ReportBandKind::GroupHeader ? QStringLiteral("header") : QStringLiteral("footer"), on);
}

double ReportTemplateEditor::BandWidth(const ReportBandRef &band) const
{
    return m_report.BandWidth(band.Kind);
}

QRectF ReportTemplateEditor::Inside(const ReportBandRef &band, const ReportItem &item, QRectF rect) const
{
    const double width = BandWidth(band);
    if (item.Kind == ReportItemKind::Line) {
        // Both ends inside the band: the line is moved back in as a whole, and cut to the band's size.
        QRectF span = rect.normalized();
        const double dx = span.left() < 0 ? -span.left() : qMin(0.0, width - span.right());
        rect.translate(dx, span.top() < 0 ? -span.top() : 0);
        const auto clampX = [width](double x) { return qBound(0.0, x, width); };
        return QRectF(QPointF(clampX(rect.left()), qMax(0.0, rect.top())), QPointF(clampX(rect.right()), qMax(0.0, rect.bottom())));
    }
    rect = rect.normalized();
    rect.setWidth(qBound(kMinimumSize, rect.width(), width));
    rect.setHeight(qMax(kMinimumSize, rect.height()));
    rect.moveLeft(qBound(0.0, rect.left(), width - rect.width()));
    rect.moveTop(qMax(0.0, rect.top()));
    return rect;
}

void ReportTemplateEditor::SetItemRect(const ReportItemRef &item, const QRectF &rect)
{
    Step([&] {
        ReportItem &target = MutableItem(item);
        target.Rect = Inside(item.Band, target, rect);
        ReportBand &band = MutableBand(item.Band);
        band.Height = qMax(band.Height, target.Rect.normalized().bottom());
        m_modified = true;
    });
}

void ReportTemplateEditor::MoveItem(const ReportItemRef &item, const QPointF &by)
{
    const ReportItem &target = Item(item);
    const QRectF span = target.Rect.normalized();
    // Moving keeps the item within the band's height; resizing may make the band taller.
    const double down = qBound(-span.top(), by.y(), qMax(0.0, Band(item.Band).Height - span.bottom()));
    SetItemRect(item, target.Rect.translated(by.x(), down));
}

void ReportTemplateEditor::ResizeItem(const ReportItemRef &item, const QSizeF &size)
{
    const ReportItem &target = Item(item);
    QRectF rect = target.Rect;
    // A line keeps its direction; everything else has room of at least the smallest size.
    rect.setSize(target.Kind == ReportItemKind::Line ? size : size.expandedTo(QSizeF(kMinimumSize, kMinimumSize)));
    SetItemRect(item, rect);
}

void ReportTemplateEditor::SetBandHeight(const ReportBandRef &band, double height)
{
    Step([&] {
        ReportBand &target = MutableBand(band);
        double lowest = 0;
        for (const ReportItem &item : target.Items)
            lowest = qMax(lowest, item.Rect.normalized().bottom());
        target.Height = std::max({height, lowest, kMinimumSize});
        m_modified = true;
    });
}

ReportItemRef ReportTemplateEditor::AddItem(const ReportBandRef &band, ReportItemKind kind, const QPointF &at, const QString &field)
{
    ReportItem item;
    item.Kind = kind;
    if (m_report.Detail && !m_report.Detail->Items.isEmpty())
        item.Font = m_report.Detail->Items.first().Font;
    const double height = item.Font.PointSize * 1.4;
    QSizeF size(100, height);
    switch (kind) {
    case ReportItemKind::Text: item.Text = QStringLiteral("Text"); break;
    case ReportItemKind::Field:
    case ReportItemKind::Image:
        if (!field.isEmpty())
            CheckField(field);
        if (kind == ReportItemKind::Image && field.isEmpty())
            throw EReportError(QStringLiteral("A picture shows a field or a picture file of its own"));
        item.FieldName = !field.isEmpty() ? field : m_fields.value(0, QStringLiteral("Field"));
        if (kind == ReportItemKind::Image)
            size = QSizeF(72, 72);
        break;
    case ReportItemKind::Expression: item.Expression = ReportExpression::Parse(QStringLiteral("PageNo()")); break;
    case ReportItemKind::Line: size = QSizeF(100, 0); break;
    case ReportItemKind::Box: size = QSizeF(60, 30); break;
    }
    item.Rect = QRectF(at, size);
    return Place(band, std::move(item));
}

ReportItemRef ReportTemplateEditor::AddPicture(const ReportBandRef &band, const QByteArray &image, const QPointF &at)
{
    const QImage picture = QImage::fromData(image);
    if (picture.isNull())
        throw EReportError(QStringLiteral("The file is no picture this program reads"));
    // Its own pictures travel in the template, which has a limit of its own; base64 takes a third more.
    if (image.size() > ReportTemplate::kMaxBytes / 2)
        throw EReportError(QStringLiteral("A picture of a report is at most %1 MB").arg(ReportTemplate::kMaxBytes / 2 / (1024 * 1024)));
    ReportItem item;
    item.Kind = ReportItemKind::Image;
    item.ImageData = image;
    // Two inches wide at most and never wider than the band; the picture keeps its shape.
    const double width = qMin(144.0, BandWidth(band) - at.x());
    const QSizeF size = QSizeF(picture.size()).scaled(QSizeF(qMax(kMinimumSize, width), 144), Qt::KeepAspectRatio);
    item.Rect = QRectF(at, size.expandedTo(QSizeF(kMinimumSize, kMinimumSize)));
    return Place(band, std::move(item));
}

ReportItemRef ReportTemplateEditor::Place(const ReportBandRef &band, ReportItem item)
{
    return Step([&]() -> ReportItemRef {
        ReportBand &target = MutableBand(band);
        int items = 0;
        for (const ReportBand *each : m_report.Bands())
            items += int(each->Items.size());
        if (items >= ReportTemplate::kMaxItems)
            throw EReportError(QStringLiteral("A report has at most %1 items").arg(ReportTemplate::kMaxItems));
        item.Rect = Inside(band, item, item.Rect);
        target.Items << item;
        target.Height = qMax(target.Height, item.Rect.normalized().bottom());
        m_modified = true;
        return {band, int(target.Items.size()) - 1};
    });
}

void ReportTemplateEditor::DeleteItem(const ReportItemRef &item)
{
    Step([&] {
        MutableItem(item);
        MutableBand(item.Band).Items.removeAt(item.Index);
        m_modified = true;
    });
}

ReportBandRef ReportTemplateEditor::AddBand(ReportBandKind kind, const QString &groupOn)
{
    return Step([&]() -> ReportBandRef {
        if (kind == ReportBandKind::GroupHeader || kind == ReportBandKind::GroupFooter) {
            if (m_report.Groups.size() >= ReportTemplate::kMaxGroups)
                throw EReportError(QStringLiteral("A report has at most %1 groups").arg(ReportTemplate::kMaxGroups));
            if (groupOn.trimmed().isEmpty())
                throw EReportError(QStringLiteral("A group needs the value it groups on"));
            ReportGroup group;
            group.Key = ReportExpression::Parse(groupOn.trimmed());
            for (const QString &name : group.Key->FieldNames())
                CheckField(name);
            group.Header = NewBand(ReportBandKind::GroupHeader, 20);
            group.Footer = NewBand(ReportBandKind::GroupFooter, 10);
            m_report.Groups << group;
            const ReportBandRef header{ReportBandKind::GroupHeader, int(m_report.Groups.size()) - 1};
            const ReportItemRef key = AddItem(header, ReportItemKind::Expression, QPointF(0, 3));
            MutableItem(key).Expression = group.Key;
            MutableItem(key).Font.Bold = true;
            return header;
        }
        std::optional<ReportBand> *slot = SingleBand(m_report, kind);
        if (!slot)
            throw EReportError(QStringLiteral("The report has no such band"));
        if (slot->has_value())
            throw EReportError(QStringLiteral("The report has a %1 band already").arg(BandCaption({kind}).toLower()));
        *slot = NewBand(kind, 20);
        m_modified = true;
        return {kind};
    });
}

void ReportTemplateEditor::DeleteBand(const ReportBandRef &band)
{
    Step([&] {
        if (band.Kind == ReportBandKind::Detail)
            throw EReportError(QStringLiteral("A report keeps its detail band"));
        MutableBand(band);
        if (std::optional<ReportBand> *slot = BandSlot(m_report, band))
            slot->reset();
        if (band.Group >= 0) {
            const ReportGroup &group = m_report.Groups.at(band.Group);
            if (!group.Header && !group.Footer)
                m_report.Groups.removeAt(band.Group);
        }
        m_modified = true;
    });
}

void ReportTemplateEditor::SetText(const ReportItemRef &item, const QString &text)
{
    Step([&] {
        ReportItem &target = MutableItem(item);
        if (target.Kind != ReportItemKind::Text)
            throw EReportError(QStringLiteral("Only a text item has a text of its own"));
        target.Text = text;
        m_modified = true;
    }, MergeKey("text", item));
}

void ReportTemplateEditor::SetField(const ReportItemRef &item, const QString &field)
{
    Step([&] {
        ReportItem &target = MutableItem(item);
        if (target.Kind != ReportItemKind::Field && target.Kind != ReportItemKind::Image)
            throw EReportError(QStringLiteral("Only a field item shows a field"));
        const QString name = field.trimmed();
        if (name.isEmpty())
            throw EReportError(QStringLiteral("A field item needs the name of its field"));
        CheckField(name);
        target.FieldName = name;
        m_modified = true;
    });
}

void ReportTemplateEditor::SetExpression(const ReportItemRef &item, const QString &expression)
{
    Step([&] {
        ReportItem &target = MutableItem(item);
        if (target.Kind != ReportItemKind::Expression)
            throw EReportError(QStringLiteral("Only an expression item has an expression"));
        std::shared_ptr<const ReportExpression> parsed = ReportExpression::Parse(expression.trimmed());
        for (const QString &name : parsed->FieldNames())
            CheckField(name);
        target.Expression = std::move(parsed);
        m_modified = true;
    });
}

void ReportTemplateEditor::SetFormat(const ReportItemRef &item, const QString &format)
{
    Step([&] {
        MutableItem(item).Format = format.trimmed();
        m_modified = true;
    });
}

void ReportTemplateEditor::SetFont(const ReportItemRef &item, const ReportFont &font)
{
    Step([&] {
        if (font.Family.trimmed().isEmpty())
            throw EReportError(QStringLiteral("A font needs a family"));
        if (font.PointSize < 2 || font.PointSize > 200)
            throw EReportError(QStringLiteral("A font size is from 2 to 200 points"));
        MutableItem(item).Font = font;
        m_modified = true;
    }, MergeKey("font", item));
}

void ReportTemplateEditor::SetAlignment(const ReportItemRef &item, Qt::Alignment alignment)
{
    Step([&] {
        MutableItem(item).Alignment = alignment;
        m_modified = true;
    });
}

void ReportTemplateEditor::SetWordWrap(const ReportItemRef &item, bool wrap, bool grow)
{
    Step([&] {
        ReportItem &target = MutableItem(item);
        target.CanGrow = grow;
        target.WordWrap = wrap || grow;
        m_modified = true;
    });
}

void ReportTemplateEditor::SetFrame(const ReportItemRef &item, bool frame, double penWidth)
{
    Step([&] {
        if (penWidth < 0 || penWidth > 20)
            throw EReportError(QStringLiteral("A pen is from 0 to 20 points wide"));
        ReportItem &target = MutableItem(item);
        target.Frame = frame && target.Kind != ReportItemKind::Line && target.Kind != ReportItemKind::Box;
        target.PenWidth = penWidth;
        m_modified = true;
    });
}

int ReportTemplateEditor::ItemAt(const ReportBandRef &band, const QPointF &at, double tolerance) const
{
    const QList<ReportItem> &items = Band(band).Items;
    for (int i = int(items.size()) - 1; i >= 0; --i) {
        const QRectF area = items.at(i).Rect.normalized().adjusted(-tolerance, -tolerance, tolerance, tolerance);
        if (area.contains(at))
            return i;
    }
    return -1;
}

double ReportTemplateEditor::Snap(double value, double grid)
{
    return grid > 0 ? std::round(value / grid) * grid : value;
}
