#include "reporting/ReportTextGrid.h"

#include <algorithm>

namespace {

constexpr double kMeet = 3.0; // points: tops or left edges this close belong together

} // namespace

ReportTextGrid::ReportTextGrid(const ReportDocument &document)
{
    QList<double> lefts;
    for (int p = 0; p < document.PageCount(); ++p)
        for (const ReportElement &element : document.Page(p).Elements)
            if (element.ElementKind == ReportElement::Kind::Text && !element.Text.isEmpty())
                lefts << element.Rect.left();
    std::sort(lefts.begin(), lefts.end());
    for (double left : lefts)
        if (m_columns.isEmpty() || left > m_columns.last() + kMeet)
            m_columns << left;
    const auto columnOf = [this](double left) {
        const auto next = std::upper_bound(m_columns.cbegin(), m_columns.cend(), left + kMeet);
        return int(qMax<qsizetype>(0, next - m_columns.cbegin() - 1));
    };

    for (int p = 0; p < document.PageCount(); ++p) {
        QList<const ReportElement *> texts;
        for (const ReportElement &element : document.Page(p).Elements)
            if (element.ElementKind == ReportElement::Kind::Text && !element.Text.isEmpty())
                texts << &element;
        std::stable_sort(texts.begin(), texts.end(), [](const ReportElement *a, const ReportElement *b) {
            return a->Rect.top() < b->Rect.top();
        });
        QList<ReportGridRow> rows;
        for (const ReportElement *element : texts) {
            if (rows.isEmpty() || element->Rect.top() > rows.last().Top + kMeet)
                rows << ReportGridRow{element->Rect.top(), {}};
            rows.last().Cells << ReportGridCell{columnOf(element->Rect.left()), element, element->Text.split(QLatin1Char('\n'))};
        }
        for (ReportGridRow &row : rows)
            std::stable_sort(row.Cells.begin(), row.Cells.end(), [](const ReportGridCell &a, const ReportGridCell &b) {
                return a.Element->Rect.left() < b.Element->Rect.left();
            });
        m_pages << rows;
    }
}
