#include "reporting/ReportXlsxExporter.h"

#include "reporting/ReportError.h"
#include "reporting/ReportTextGrid.h"

#include <QDateTime>
#include <QHash>
#include <QMap>

#include <xlsxwriter.h>

namespace {

constexpr int kMaxCellCharacters = 32767;   // what a spreadsheet cell holds
constexpr double kPointsPerCharacterWidth = 5.25;
constexpr double kPointsPerRowLine = 15.0;

QByteArray SheetName(const QString &title)
{
    QString name = title;
    for (const QChar c : QStringLiteral("[]:*?/\\"))
        name.remove(c);
    name = name.trimmed().left(31);
    return (name.isEmpty() ? QStringLiteral("Report") : name).toUtf8();
}

class Workbook
{
public:
    explicit Workbook(const QString &fileName)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_FALSE;
        options.tmpdir = nullptr;
        options.use_zip64 = LXW_FALSE;
        m_path = fileName.toLocal8Bit();
        m_book = workbook_new_opt(m_path.constData(), &options);
        if (!m_book)
            throw EReportError(QStringLiteral("The spreadsheet %1 cannot be made").arg(fileName));
    }

    ~Workbook()
    {
        if (m_book)
            workbook_close(m_book);
    }

    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    lxw_workbook *Book() const { return m_book; }

    // A cell format for a font, alignment and kind of value, made once.
    lxw_format *Format(const ReportElement &element, bool dated, bool timed)
    {
        const ReportFont &font = element.Font;
        const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                                .arg(font.Bold)
                                .arg(font.Italic)
                                .arg(font.Underline)
                                .arg(font.PointSize)
                                .arg(int(element.Alignment))
                                .arg(dated)
                                .arg(timed);
        if (lxw_format *found = m_formats.value(key))
            return found;
        lxw_format *format = workbook_add_format(m_book);
        format_set_font_size(format, font.PointSize);
        if (font.Bold)
            format_set_bold(format);
        if (font.Italic)
            format_set_italic(format);
        if (font.Underline)
            format_set_underline(format, LXW_UNDERLINE_SINGLE);
        format_set_text_wrap(format);
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
        if (element.Alignment & Qt::AlignRight)
            format_set_align(format, LXW_ALIGN_RIGHT);
        else if (element.Alignment & Qt::AlignHCenter)
            format_set_align(format, LXW_ALIGN_CENTER);
        if (dated)
            format_set_num_format(format, timed ? "m/d/yyyy h:mm" : "m/d/yyyy");
        m_formats.insert(key, format);
        return format;
    }

    void Close(const QString &fileName)
    {
        const lxw_error error = workbook_close(m_book);
        m_book = nullptr;
        if (error != LXW_NO_ERROR)
            throw EReportError(QStringLiteral("The spreadsheet %1 could not be written: %2").arg(fileName, QString::fromUtf8(lxw_strerror(error))));
    }

private:
    QByteArray m_path;
    lxw_workbook *m_book = nullptr;
    QHash<QString, lxw_format *> m_formats;
};

void Check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw EReportError(QStringLiteral("A spreadsheet cell could not be written: %1").arg(QString::fromUtf8(lxw_strerror(error))));
}

} // namespace

void ReportXlsxExporter::Write(const ReportDocument &document, const QString &fileName)
{
    if (document.IsEmpty())
        throw EReportError(QStringLiteral("The report has no pages to write"));
    const ReportTextGrid grid(document);
    Workbook book(fileName);
    const QByteArray title = document.Title().toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char *>(title.constData());
    properties.author = const_cast<char *>("Quorva");
    properties.keywords = const_cast<char *>("Kestrova");
    Check(workbook_set_properties(book.Book(), &properties));
    lxw_worksheet *sheet = workbook_add_worksheet(book.Book(), SheetName(document.Title()).constData());
    if (!sheet)
        throw EReportError(QStringLiteral("The spreadsheet %1 cannot be made").arg(fileName));

    const QList<double> &columns = grid.Columns();
    const double pageRight = document.PageSize().width() - (columns.isEmpty() ? 0 : columns.first());
    for (int c = 0; c < columns.size(); ++c) {
        const double width = (c + 1 < columns.size() ? columns.at(c + 1) : pageRight) - columns.at(c);
        Check(worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), qBound(2.0, width / kPointsPerCharacterWidth, 100.0), nullptr));
    }

    lxw_row_t sheetRow = 0;
    for (int p = 0; p < grid.PageCount(); ++p) {
        for (const ReportGridRow &row : grid.Rows(p)) {
            // Two texts that start at one place in one row share their cell.
            QMap<int, QList<const ReportGridCell *>> cells;
            qsizetype lines = 1;
            for (const ReportGridCell &cell : row.Cells) {
                cells[cell.Column] << &cell;
                lines = qMax(lines, cell.Lines.size());
            }
            for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
                const lxw_col_t column = lxw_col_t(it.key());
                const ReportElement &element = *it.value().first()->Element;
                const QVariant &value = element.Value;
                const bool single = it.value().size() == 1;
                const int type = value.typeId();
                if (single && !value.isNull() &&
                    (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double)) {
                    Check(worksheet_write_number(sheet, sheetRow, column, value.toDouble(), book.Format(element, false, false)));
                } else if (single && !value.isNull() && (type == QMetaType::QDateTime || type == QMetaType::QDate)) {
                    const QDateTime at = value.toDateTime();
                    lxw_datetime stamp{at.date().year(), at.date().month(), at.date().day(), at.time().hour(), at.time().minute(),
                                       at.time().second() + at.time().msec() / 1000.0};
                    Check(worksheet_write_datetime(sheet, sheetRow, column, &stamp, book.Format(element, true, at.time() != QTime(0, 0))));
                } else {
                    QStringList texts;
                    for (const ReportGridCell *cell : it.value())
                        texts << cell->Element->Text;
                    const QByteArray text = texts.join(QLatin1Char(' ')).left(kMaxCellCharacters).toUtf8();
                    Check(worksheet_write_string(sheet, sheetRow, column, text.constData(), book.Format(element, false, false)));
                }
            }
            if (lines > 1)
                Check(worksheet_set_row(sheet, sheetRow, double(lines) * kPointsPerRowLine, nullptr));
            ++sheetRow;
        }
    }
    book.Close(fileName);
}
