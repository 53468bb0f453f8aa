#include "reporting/ReportEngine.h"

#include "reporting/ReportError.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QGuiApplication>

namespace {

constexpr double kDotsPerPoint = ReportDocument::kLayoutDpi / 72.0;
constexpr double kEpsilon = 0.01; // points: what two lengths may differ by and still meet

QString WithLineFeeds(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// A band's elements, relative to its top left, and the height it takes.
struct Measured
{
    QList<ReportElement> Elements;
    double Height = 0;
};

class Layout
{
public:
    Layout(const ReportTemplate &report, const TDATableData &data, const ReportRenderOptions &options, int pageCount)
        : m_report(report), m_data(data)
    {
        m_paper = options.PageSize ? *options.PageSize : report.PageSize;
        m_orientation = options.Orientation ? *options.Orientation : report.Orientation;
        m_page = ReportTemplate::PaperPoints(m_paper, m_orientation);
        m_left = report.Margins.left();
        for (int i = 0; i < data.Fields.size(); ++i)
            m_fieldIndex.insert(data.Fields.at(i).Name.toLower(), i);
        m_context.Data = &m_data;
        m_context.FieldIndex = &m_fieldIndex;
        m_context.ScopeFirst = 0;
        m_context.ScopeLast = int(data.Rows.size()) - 1;
        m_context.PageCount = pageCount;
        m_context.Now = options.Now.isValid() ? options.Now : QDateTime::currentDateTime();
        m_context.Title = report.Title;
    }

    QList<ReportPage> Run()
    {
        const int rows = int(m_data.Rows.size());
        if (rows > 0)
            LayOut(rows);
        return std::move(m_pages);
    }

    QSizeF PageSize() const { return m_page; }
    QPageSize Paper() const { return m_paper; }
    QPageLayout::Orientation Orientation() const { return m_orientation; }

private:
    void LayOut(int rows)
    {
        const int groups = int(m_report.Groups.size());
        m_keys.resize(rows);
        for (int r = 0; r < rows; ++r) {
            ReportContext context = RowContext(r);
            for (const ReportGroup &group : m_report.Groups)
                m_keys[r] << ReportExpression::ToText(group.Key->Evaluate(context));
        }
        m_groupFirst = QList<int>(groups, -1);

        m_context.Row = 0;
        StartPage();
        if (m_report.TitleBand)
            PlaceBody(*m_report.TitleBand, RowContext(0), 0, false);
        for (int r = 0; r < rows; ++r) {
            m_context.Row = r;
            int level = r == 0 ? 0 : groups;
            for (int g = 0; r > 0 && g < groups; ++g)
                if (m_keys.at(r).at(g) != m_keys.at(r - 1).at(g)) {
                    level = g;
                    break;
                }
            if (level < groups) {
                if (r > 0)
                    CloseGroups(level, r - 1);
                OpenGroups(level, r);
            }
            PlaceDetail(r);
        }
        CloseGroups(0, rows - 1);
        if (m_report.Summary) {
            ReportContext context = RowContext(rows - 1);
            PlaceBody(*m_report.Summary, context, 0, true);
        }
        FlushColumns();
        FinishPage();
    }

    ReportContext RowContext(int row) const
    {
        ReportContext context = m_context;
        context.Row = row;
        return context;
    }

    // The last row of the group of level g that starts at row.
    int GroupLast(int g, int row) const
    {
        int last = row;
        while (last + 1 < m_keys.size() && m_keys.at(last + 1).mid(0, g + 1) == m_keys.at(row).mid(0, g + 1))
            ++last;
        return last;
    }

    void OpenGroups(int level, int row)
    {
        for (int g = level; g < m_report.Groups.size(); ++g) {
            const ReportGroup &group = m_report.Groups.at(g);
            m_groupFirst[g] = row;
            if (group.NewPage && m_rowsOnPage) {
                FlushColumns();
                NewPage(g);
            }
            if (group.Header) {
                ReportContext context = RowContext(row);
                context.ScopeFirst = row;
                context.ScopeLast = GroupLast(g, row);
                PlaceBody(*group.Header, context, g, true);
            }
        }
    }

    void CloseGroups(int level, int lastRow)
    {
        for (int g = int(m_report.Groups.size()) - 1; g >= level; --g) {
            const ReportGroup &group = m_report.Groups.at(g);
            if (group.Footer) {
                ReportContext context = RowContext(lastRow);
                context.ScopeFirst = m_groupFirst.at(g);
                context.ScopeLast = lastRow;
                PlaceBody(*group.Footer, context, g + 1, true);
            }
            m_groupFirst[g] = -1;
        }
    }

    // A full-width band below the last one, on a new page when it does not fit; repeat
    // tells how many groups, from the outermost, get their header again on that new page.
    void PlaceBody(const ReportBand &band, const ReportContext &context, int repeat, bool rows)
    {
        FlushColumns();
        const Measured measured = Measure(band, context);
        if (m_y + measured.Height > m_bodyBottom + kEpsilon && m_anyOnPage)
            NewPage(repeat);
        Emit(measured, m_left, m_y);
        m_y += measured.Height;
        m_anyOnPage = true;
        m_rowsOnPage = m_rowsOnPage || rows;
    }

    void PlaceDetail(int row)
    {
        if (!m_report.Detail)
            return;
        const ReportColumns &columns = m_report.Columns;
        if (columns.Count <= 1) {
            PlaceBody(*m_report.Detail, RowContext(row), int(m_report.Groups.size()), true);
            return;
        }
        const Measured measured = Measure(*m_report.Detail, RowContext(row));
        if (m_column == 0) {
            if (m_y + measured.Height > m_bodyBottom + kEpsilon && m_anyOnPage)
                NewPage(int(m_report.Groups.size()));
            m_rowTop = m_y;
            m_rowHeight = 0;
        }
        Emit(measured, m_left + m_column * (columns.Width + columns.Spacing), m_rowTop);
        m_rowHeight = qMax(m_rowHeight, measured.Height);
        m_anyOnPage = m_rowsOnPage = true;
        if (++m_column == columns.Count)
            FlushColumns();
    }

    void FlushColumns()
    {
        if (m_column == 0)
            return;
        m_y = m_rowTop + m_rowHeight + m_report.Columns.RowSpacing;
        m_column = 0;
    }

    void NewPage(int repeat)
    {
        FinishPage();
        StartPage();
        for (int g = 0; g < repeat && g < m_report.Groups.size(); ++g) {
            const ReportGroup &group = m_report.Groups.at(g);
            if (!group.RepeatHeader || !group.Header || m_groupFirst.at(g) < 0)
                continue;
            ReportContext context = RowContext(m_groupFirst.at(g));
            context.ScopeFirst = m_groupFirst.at(g);
            context.ScopeLast = GroupLast(g, m_groupFirst.at(g));
            const Measured measured = Measure(*group.Header, context);
            Emit(measured, m_left, m_y);
            m_y += measured.Height;
        }
    }

    bool OnThisPage(const ReportBand &band) const { return band.PrintOnFirstPage || m_pages.size() > 1; }

    void StartPage()
    {
        m_pages.append(ReportPage());
        m_context.PageNumber = int(m_pages.size());
        m_y = m_report.Margins.top();
        m_anyOnPage = m_rowsOnPage = false;
        m_bodyBottom = m_page.height() - m_report.Margins.bottom();
        if (m_report.PageFooter && OnThisPage(*m_report.PageFooter))
            m_bodyBottom -= m_report.PageFooter->Height;
        if (m_report.PageHeader && OnThisPage(*m_report.PageHeader)) {
            const Measured measured = Measure(*m_report.PageHeader, m_context);
            Emit(measured, m_left, m_y);
            m_y += measured.Height;
        }
    }

    void FinishPage()
    {
        if (m_report.PageFooter && OnThisPage(*m_report.PageFooter)) {
            const Measured measured = Measure(*m_report.PageFooter, m_context);
            Emit(measured, m_left, m_page.height() - m_report.Margins.bottom() - m_report.PageFooter->Height);
        }
    }

    void Emit(const Measured &measured, double x, double y)
    {
        QList<ReportElement> &elements = m_pages.last().Elements;
        for (ReportElement element : measured.Elements) {
            element.Rect.translate(x, y);
            elements << std::move(element);
        }
    }

    Measured Measure(const ReportBand &band, const ReportContext &context)
    {
        Measured measured;
        const int count = int(band.Items.size());
        QList<double> growth(count, 0);
        bool grew = false;
        measured.Elements.reserve(count);
        for (int i = 0; i < count; ++i) {
            measured.Elements << Element(band, band.Items.at(i), context, growth[i]);
            grew = grew || growth.at(i) > 0;
        }
        double originalBottom = 0;
        for (const ReportItem &item : band.Items)
            originalBottom = qMax(originalBottom, item.Rect.normalized().bottom());
        if (grew) {
            // An item moves down by as much as the items above it (overlapping it across) grew.
            QList<int> order(count);
            for (int i = 0; i < count; ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                return band.Items.at(a).Rect.normalized().top() < band.Items.at(b).Rect.normalized().top();
            });
            QList<double> shift(count, 0);
            for (int j = 0; j < count; ++j) {
                const QRectF below = band.Items.at(order.at(j)).Rect.normalized();
                for (int i = 0; i < j; ++i) {
                    const QRectF above = band.Items.at(order.at(i)).Rect.normalized();
                    if (above.bottom() <= below.top() + kEpsilon && above.left() < below.right() && below.left() < above.right())
                        shift[order.at(j)] = qMax(shift.at(order.at(j)), shift.at(order.at(i)) + growth.at(order.at(i)));
                }
            }
            for (int i = 0; i < count; ++i)
                measured.Elements[i].Rect.translate(0, shift.at(i));
        }
        double bottom = 0;
        for (const ReportElement &element : measured.Elements)
            bottom = qMax(bottom, element.Rect.normalized().bottom());
        measured.Height = qMax(band.Height, bottom + qMax(0.0, band.Height - originalBottom));
        // A frame goes round its item where the item ended up, grown and moved.
        for (int i = 0; i < count; ++i)
            if (band.Items.at(i).Frame) {
                ReportElement frame;
                frame.ElementKind = ReportElement::Kind::Box;
                frame.Band = band.Kind;
                frame.Rect = measured.Elements.at(i).Rect;
                frame.Color = band.Items.at(i).Color;
                frame.PenWidth = band.Items.at(i).PenWidth;
                measured.Elements << frame;
            }
        return measured;
    }

    ReportElement Element(const ReportBand &band, const ReportItem &item, const ReportContext &context, double &growth)
    {
        ReportElement element;
        element.Band = band.Kind;
        element.Rect = item.Rect;
        element.Font = item.Font;
        element.Alignment = item.Alignment;
        element.WordWrap = item.WordWrap;
        element.Color = item.Color;
        element.Fill = item.Fill;
        element.PenWidth = item.PenWidth;
        switch (item.Kind) {
        case ReportItemKind::Text:
            element.Text = WithLineFeeds(item.Text);
            break;
        case ReportItemKind::Field:
            element.Value = context.Data->Rows.at(context.Row).value(m_fieldIndex.value(item.FieldName.toLower()));
            element.Text = WithLineFeeds(ReportExpression::ToText(element.Value, item.Format));
            break;
        case ReportItemKind::Expression:
            element.Value = item.Expression->Evaluate(context);
            element.Text = WithLineFeeds(ReportExpression::ToText(element.Value, item.Format));
            break;
        case ReportItemKind::Line:
            element.ElementKind = ReportElement::Kind::Line;
            break;
        case ReportItemKind::Box:
            element.ElementKind = ReportElement::Kind::Box;
            break;
        case ReportItemKind::Image:
            element.ElementKind = ReportElement::Kind::Image;
            if (item.FieldName.isEmpty())
                element.Image = EmbeddedImage(item);
            else
                element.Image = QImage::fromData(context.Data->Rows.at(context.Row).value(m_fieldIndex.value(item.FieldName.toLower())).toByteArray());
            break;
        }
        if (!element.Text.isEmpty())
            element.Text = Fitted(item, element.Text);
        if (item.CanGrow && !element.Text.isEmpty()) {
            const double height = TextHeight(item.Font, item.Rect.width(), element.Text);
            if (height > item.Rect.height() + kEpsilon) {
                growth = height - item.Rect.height();
                element.Rect.setHeight(height);
            }
        }
        return element;
    }

    QImage EmbeddedImage(const ReportItem &item)
    {
        auto found = m_images.constFind(&item);
        if (found == m_images.constEnd())
            found = m_images.insert(&item, QImage::fromData(item.ImageData));
        return *found;
    }

    const QFontMetricsF &Metrics(const ReportFont &font)
    {
        for (const auto &[key, value] : m_metrics)
            if (key == font)
                return value;
        m_metrics.append({font, QFontMetricsF(ReportDocument::LayoutFont(font))});
        return m_metrics.last().second;
    }

    double TextHeight(const ReportFont &font, double width, const QString &text)
    {
        const QRectF bounds = Metrics(font).boundingRect(QRectF(0, 0, width * kDotsPerPoint, 1e9), Qt::TextWordWrap, text);
        return bounds.height() / kDotsPerPoint;
    }

    // The text as it fits its item: a line wider than the item is broken (wrapping items) or
    // cut (the others) at its edge, and lines below its bottom are left off unless it grows.
    // A text that fits stays as it is.
    QString Fitted(const ReportItem &item, const QString &text)
    {
        const QFontMetricsF &metrics = Metrics(item.Font);
        const double width = item.Rect.width() * kDotsPerPoint;
        // Most values are one line that fits: measured once, and nothing else to do.
        if (!text.contains(QLatin1Char('\n')) && metrics.horizontalAdvance(text) <= width)
            return text;
        const double height = item.CanGrow ? 1e12 : item.Rect.height() * kDotsPerPoint;
        QStringList lines;
        double top = 0;
        bool changed = false;
        for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
            QStringList pieces;
            if (!item.WordWrap) {
                QString line = paragraph;
                if (metrics.horizontalAdvance(line) > width + kEpsilon) {
                    int fits = 0;
                    for (int lo = 0, hi = int(line.size()); lo <= hi;) {
                        const int mid = (lo + hi) / 2;
                        if (metrics.horizontalAdvance(line.left(mid)) <= width)
                            fits = mid, lo = mid + 1;
                        else
                            hi = mid - 1;
                    }
                    line.truncate(fits);
                    changed = true;
                }
                pieces << line;
            } else if (metrics.horizontalAdvance(paragraph) <= width) {
                pieces << paragraph;
            } else {
                // Words where they fit; a word wider than the item is broken where the item ends.
                QTextLayout layout(paragraph, ReportDocument::LayoutFont(item.Font));
                QTextOption option;
                option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                layout.setTextOption(option);
                layout.beginLayout();
                for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                    line.setLineWidth(width);
                    QString piece = paragraph.mid(line.textStart(), line.textLength());
                    // A line that does not end at a blank broke a word: the painter would not.
                    if (line.textStart() + line.textLength() < paragraph.size() && !piece.isEmpty() && !piece.back().isSpace())
                        changed = true;
                    while (!piece.isEmpty() && piece.back().isSpace())
                        piece.chop(1);
                    pieces << piece;
                }
                layout.endLayout();
            }
            for (const QString &piece : std::as_const(pieces)) {
                // A line counts as shown while its base line is inside the item; the first always is.
                if (!lines.isEmpty() && top + metrics.ascent() > height + kEpsilon)
                    return lines.join(QLatin1Char('\n'));
                lines << piece;
                top += metrics.lineSpacing();
            }
        }
        return changed ? lines.join(QLatin1Char('\n')) : text;
    }

    const ReportTemplate &m_report;
    const TDATableData &m_data;
    QSizeF m_page;
    QPageSize m_paper;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    double m_left = 0;
    QHash<QString, int> m_fieldIndex;
    ReportContext m_context;
    QList<QStringList> m_keys;   // per row, the text of each group's key
    QList<int> m_groupFirst;     // per group, the first row of the open group; -1 when closed
    QList<ReportPage> m_pages;
    double m_y = 0;
    double m_bodyBottom = 0;
    bool m_anyOnPage = false;    // a band below the page header is on this page
    bool m_rowsOnPage = false;   // a group or detail band is on this page
    int m_column = 0;
    double m_rowTop = 0;
    double m_rowHeight = 0;
    QHash<const ReportItem *, QImage> m_images;
    QList<std::pair<ReportFont, QFontMetricsF>> m_metrics;
};

} // namespace

QStringList ReportEngine::MissingFields(const ReportTemplate &report, const TDAFieldList &fields)
{
    QStringList missing;
    for (const QString &name : report.FieldNames())
        if (DAFindField(fields, name) < 0)
            missing << name;
    return missing;
}

ReportDocument ReportEngine::Render(const ReportTemplate &report, const TDATableData &data, const ReportRenderOptions &options)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw EReportError(QStringLiteral("The report engine needs a QGuiApplication for its fonts (the offscreen platform will do)"));
    const QStringList missing = MissingFields(report, data.Fields);
    if (!missing.isEmpty())
        throw EReportError(QStringLiteral("The report \"%1\" reads %2, which the dataset \"%3\" does not have")
                               .arg(report.Name, missing.join(QStringLiteral(", ")), data.Name));
    for (const QVariantList &row : data.Rows)
        if (row.size() != data.Fields.size())
            throw EReportError(QStringLiteral("The dataset \"%1\" has a row of %2 values for %3 fields")
                                   .arg(data.Name)
                                   .arg(row.size())
                                   .arg(data.Fields.size()));
    Layout first(report, data, options, 0);
    ReportDocument document;
    document.m_pages = first.Run();
    // Page numbers "of" a total need the total: a second pass lays the same pages out with it.
    if (report.UsesPageCount() && !document.m_pages.isEmpty())
        document.m_pages = Layout(report, data, options, int(document.m_pages.size())).Run();
    document.m_title = report.Title;
    document.m_templateName = report.Name;
    document.m_pageSize = first.PageSize();
    document.m_paper = first.Paper();
    document.m_orientation = first.Orientation();
    return document;
}
