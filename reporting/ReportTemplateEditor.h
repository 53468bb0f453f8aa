// The report designer's edits of a template, apart from any window: the bands and their items,
// moving and resizing items inside their band, adding and deleting items and bands, an item's
// text, field, expression, font, alignment and frame, and the template written back in its
// format. Every edit keeps the template one the engine reads: items stay inside their band
// (so nothing is printed past the margins), a field is one of the data source's, an
// expression parses; a refused edit throws EReportError and changes nothing. Every edit that
// changes the template is one step to undo.
#pragma once

#include "reporting/ReportTemplate.h"
#include "reporting/ReportingExport.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QStringList>

// A band of the template: its kind and, for a group's header or footer, the group.
struct REPORTING_EXPORT ReportBandRef
{
    ReportBandKind Kind = ReportBandKind::Detail;
    int Group = -1;

    bool operator==(const ReportBandRef &other) const = default;
};

struct REPORTING_EXPORT ReportItemRef
{
    ReportBandRef Band;
    int Index = -1;

    bool IsValid() const { return Index >= 0; }
    bool operator==(const ReportItemRef &other) const = default;
};

class REPORTING_EXPORT ReportTemplateEditor
{
public:
    static constexpr double kMinimumSize = 2;  // points: the smallest item and band

    ReportTemplateEditor();
    explicit ReportTemplateEditor(ReportTemplate report);
    // Throws EReportError for a template the engine does not read; the editor keeps the one it
    // had. A loaded template has nothing to undo.
    void Load(const QByteArray &xml);
    // The template in its format; read back before it is answered, so what is saved loads.
    QByteArray Save() const;
    const ReportTemplate &Template() const { return m_report; }
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }

    static constexpr int kMaxUndo = 100;
    bool CanUndo() const { return !m_undo.isEmpty(); }
    bool CanRedo() const { return !m_redo.isEmpty(); }
    void Undo();
    void Redo();
    // Everything edited between the two is one step: a drag of the mouse is undone at once.
    void BeginStep();
    void EndStep();
    // Texts and fonts set one after another on one item are one step (typing); the next one
    // after this starts a step of its own.
    void EndMerge() { m_merge.clear(); }

    // The fields of the report's data source; with none known, any name is taken.
    void SetFields(const QStringList &fields) { m_fields = fields; }
    const QStringList &Fields() const { return m_fields; }

    // The bands in the order they print down a page: title, page header, groups' headers
    // (outermost first), detail, groups' footers (innermost first), summary, page footer.
    QList<ReportBandRef> Bands() const;
    bool HasBand(const ReportBandRef &band) const;
    // Throw EReportError for a band or item the template does not have.
    const ReportBand &Band(const ReportBandRef &band) const;
    const ReportItem &Item(const ReportItemRef &item) const;
    bool HasItem(const ReportItemRef &item) const;
    QString BandCaption(const ReportBandRef &band) const;
    double BandWidth(const ReportBandRef &band) const;

    // Geometry, in points from the band's top left, kept inside the band.
    void MoveItem(const ReportItemRef &item, const QPointF &by);
    void SetItemRect(const ReportItemRef &item, const QRectF &rect);
    void ResizeItem(const ReportItemRef &item, const QSizeF &size);
    // Never less than the bottom of its lowest item.
    void SetBandHeight(const ReportBandRef &band, double height);

    // A new item of its kind at a place of the band, of a usual size; a field item shows the
    // first field of the data source, or the one given; a picture shows the field given.
    ReportItemRef AddItem(const ReportBandRef &band, ReportItemKind kind, const QPointF &at = {}, const QString &field = {});
    // A picture of its own (PNG, JPEG, ...), kept in shape and fitted into the band's width.
    ReportItemRef AddPicture(const ReportBandRef &band, const QByteArray &image, const QPointF &at = {});
    void DeleteItem(const ReportItemRef &item);
    // Title, page header, summary and page footer once each; a group is added with its header
    // and footer, the header showing the value it groups on.
    ReportBandRef AddBand(ReportBandKind kind, const QString &groupOn = {});
    // Every band but the detail band goes; a group goes with its last band.
    void DeleteBand(const ReportBandRef &band);

    void SetText(const ReportItemRef &item, const QString &text);
    void SetField(const ReportItemRef &item, const QString &field);
    void SetExpression(const ReportItemRef &item, const QString &expression);
    void SetFormat(const ReportItemRef &item, const QString &format);
    void SetFont(const ReportItemRef &item, const ReportFont &font);
    void SetAlignment(const ReportItemRef &item, Qt::Alignment alignment);
    void SetWordWrap(const ReportItemRef &item, bool wrap, bool grow);
    // A border round a text, field or expression; a line's or box's pen.
    void SetFrame(const ReportItemRef &item, bool frame, double penWidth);

    // The item whose area holds the point (points from the band's top left), the topmost first;
    // tolerance widens thin lines.
    int ItemAt(const ReportBandRef &band, const QPointF &at, double tolerance = 2) const;
    static double Snap(double value, double grid);

private:
    ReportBand &MutableBand(const ReportBandRef &band);
    ReportItem &MutableItem(const ReportItemRef &item);
    QRectF Inside(const ReportBandRef &band, const ReportItem &item, QRectF rect) const;
    ReportItemRef Place(const ReportBandRef &band, ReportItem item);
    // Runs an edit and keeps the template it started from as a step, when it changed anything
    // and no open step has one already; edits inside an edit are part of it.
    template <class Edit> decltype(auto) Step(Edit &&edit, const QString &merge = {});
    void Remember(ReportTemplate before, const QString &merge);
    static QString MergeKey(const char *property, const ReportItemRef &item);
    void CheckField(const QString &name) const;

    ReportTemplate m_report;
    QList<ReportTemplate> m_undo;
    QList<ReportTemplate> m_redo;
    int m_steps = 0;
    bool m_stepTaken = false;
    bool m_inEdit = false;
    QString m_merge;  // the property the last step typed into
    QStringList m_fields;
    bool m_modified = false;
};
