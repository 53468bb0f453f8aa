#include "plugins/contacts/uGridExport.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QSaveFile>
#include <QTableView>
#include <QTextStream>
#include <QTreeView>
#include <QXmlStreamWriter>

#include <xlsxwriter.h>

#include <stdexcept>

namespace {

constexpr int kMaxCellCharacters = 32767; // what a spreadsheet cell holds
constexpr int kMaxSheetRows = 1048576;

QVariant Cell(const QAbstractItemModel &model, int row, int column)
{
    const QModelIndex index = model.index(row, column);
    const QVariant check = model.data(index, Qt::CheckStateRole);
    if (check.isValid())
        return check.toInt() == Qt::Checked;
    QVariant value = model.data(index, Qt::EditRole);
    if (!value.isValid())
        value = model.data(index, Qt::DisplayRole);
    return value;
}

bool IsDate(const QVariant &value)
{
    return value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate;
}

QDateTime AsDateTime(const QVariant &value)
{
    return value.typeId() == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0)) : value.toDateTime();
}

bool HasTime(const QDateTime &moment)
{
    return moment.time() != QTime(0, 0);
}

// What a reader sees in a text or HTML cell.
QString CellText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (IsDate(value)) {
        const QDateTime moment = AsDateTime(value);
        return HasTime(moment) ? QLocale().toString(moment, QLocale::ShortFormat)
                               : QLocale().toString(moment.date(), QLocale::ShortFormat);
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return value.toString();
}

// Machine-readable, for XML.
QString CellValue(const QVariant &value)
{
    if (IsDate(value)) {
        const QDateTime moment = AsDateTime(value);
        return HasTime(moment) ? moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : moment.date().toString(Qt::ISODate);
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.toString();
}

// A name usable as an XML element: letters, digits, "_", "-" and "."; never starting with a digit.
QString ElementName(const QString &caption)
{
    QString name;
    for (const QChar c : caption)
        name += (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('.')) ? c : QLatin1Char('_');
    if (name.isEmpty() || !(name[0].isLetter() || name[0] == QLatin1Char('_')))
        name.prepend(QLatin1Char('_'));
    return name;
}

void Fail(const QString &fileName, const QString &why)
{
    throw std::runtime_error(QStringLiteral("The grid cannot be written to %1: %2").arg(fileName, why).toStdString());
}

class Writer
{
public:
    Writer(const QString &fileName) : m_file(fileName)
    {
        if (!m_file.open(QIODevice::WriteOnly))
            Fail(fileName, m_file.errorString());
    }
    QIODevice *Device() { return &m_file; }
    void Commit()
    {
        if (!m_file.commit())
            Fail(m_file.fileName(), m_file.errorString());
    }

private:
    QSaveFile m_file;
};

void WriteText(const QAbstractItemModel &model, const QList<TGridColumn> &columns, const QString &fileName)
{
    Writer writer(fileName);
    QTextStream out(writer.Device());
    out.setEncoding(QStringConverter::Utf8);
    const auto clean = [](QString text) {
        text.replace(QLatin1Char('\t'), QLatin1Char(' '));
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        return text;
    };
    QStringList line;
    for (const TGridColumn &c : columns)
        line << clean(c.Caption);
    out << line.join(QLatin1Char('\t')) << "\r\n";
    for (int row = 0; row < model.rowCount(); ++row) {
        line.clear();
        for (const TGridColumn &c : columns)
            line << clean(CellText(Cell(model, row, c.Column)));
        out << line.join(QLatin1Char('\t')) << "\r\n";
    }
    out.flush();
    writer.Commit();
}

void WriteHtml(const QAbstractItemModel &model, const QList<TGridColumn> &columns, const QString &fileName)
{
    Writer writer(fileName);
    QTextStream out(writer.Device());
    out.setEncoding(QStringConverter::Utf8);
    out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n</head>\n<body>\n<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<tr>";
    for (const TGridColumn &c : columns)
        out << "<th>" << c.Caption.toHtmlEscaped() << "</th>";
    out << "</tr>\n";
    for (int row = 0; row < model.rowCount(); ++row) {
        out << "<tr>";
        for (const TGridColumn &c : columns) {
            QString text = CellText(Cell(model, row, c.Column)).toHtmlEscaped();
            text.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
            out << "<td>" << (text.isEmpty() ? QStringLiteral("&nbsp;") : text) << "</td>";
        }
        out << "</tr>\n";
    }
    out << "</table>\n</body>\n</html>\n";
    out.flush();
    writer.Commit();
}

void WriteXml(const QAbstractItemModel &model, const QList<TGridColumn> &columns, const QString &fileName)
{
    Writer writer(fileName);
    QXmlStreamWriter xml(writer.Device());
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("Grid"));
    QStringList names;
    for (const TGridColumn &c : columns)
        names << ElementName(c.Caption);
    for (int row = 0; row < model.rowCount(); ++row) {
        xml.writeStartElement(QStringLiteral("Row"));
        for (int i = 0; i < columns.size(); ++i) {
            xml.writeStartElement(names[i]);
            xml.writeAttribute(QStringLiteral("caption"), columns[i].Caption);
            xml.writeCharacters(CellValue(Cell(model, row, columns[i].Column)));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    writer.Commit();
}

void WriteXlsx(const QAbstractItemModel &model, const QList<TGridColumn> &columns, const QString &fileName)
{
    if (model.rowCount() + 1 > kMaxSheetRows)
        Fail(fileName, QStringLiteral("a sheet holds at most %1 rows").arg(kMaxSheetRows - 1));
    const QByteArray path = QFile::encodeName(fileName);
    lxw_workbook *book = workbook_new(path.constData());
    if (!book)
        Fail(fileName, QStringLiteral("the file cannot be made"));
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *header = workbook_add_format(book);
    format_set_bold(header);
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "yyyy-mm-dd hh:mm");
    const auto text = [](const QString &value) { return value.left(kMaxCellCharacters).toUtf8(); };
    for (int i = 0; i < columns.size(); ++i)
        worksheet_write_string(sheet, 0, lxw_col_t(i), text(columns[i].Caption).constData(), header);
    for (int row = 0; row < model.rowCount(); ++row) {
        const lxw_row_t r = lxw_row_t(row + 1);
        for (int i = 0; i < columns.size(); ++i) {
            const lxw_col_t c = lxw_col_t(i);
            const QVariant value = Cell(model, row, columns[i].Column);
            if (!value.isValid() || value.isNull())
                continue;
            switch (value.typeId()) {
            case QMetaType::Bool: worksheet_write_boolean(sheet, r, c, value.toBool(), nullptr); break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Double:
            case QMetaType::Float: worksheet_write_number(sheet, r, c, value.toDouble(), nullptr); break;
            case QMetaType::QDate:
            case QMetaType::QDateTime: {
                const QDateTime moment = AsDateTime(value);
                lxw_datetime stamp{moment.date().year(), moment.date().month(), moment.date().day(),
                                   moment.time().hour(), moment.time().minute(), moment.time().second() + moment.time().msec() / 1000.0};
                worksheet_write_datetime(sheet, r, c, &stamp, HasTime(moment) ? dateTime : date);
                break;
            }
            default: {
                const QString s = value.toString();
                if (!s.isEmpty())
                    worksheet_write_string(sheet, r, c, text(s).constData(), nullptr);
            }
            }
        }
    }
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR)
        Fail(fileName, QString::fromUtf8(lxw_strerror(error)));
}

} // namespace

QList<TGridColumn> GridColumns(const QAbstractItemView &view)
{
    QList<TGridColumn> columns;
    const QAbstractItemModel *model = view.model();
    if (!model)
        return columns;
    const QHeaderView *header = nullptr;
    if (const auto *table = qobject_cast<const QTableView *>(&view))
        header = table->horizontalHeader();
    else if (const auto *tree = qobject_cast<const QTreeView *>(&view))
        header = tree->header();
    const auto caption = [&](int column) { return model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(); };
    if (!header) {
        for (int c = 0; c < model->columnCount(); ++c)
            columns << TGridColumn{c, caption(c)};
        return columns;
    }
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical >= 0 && !header->isSectionHidden(logical))
            columns << TGridColumn{logical, caption(logical)};
    }
    return columns;
}

QString GridExportExtension(TGridExportKind kind)
{
    switch (kind) {
    case TGridExportKind::Excel: return QStringLiteral("xlsx");
    case TGridExportKind::Text: return QStringLiteral("txt");
    case TGridExportKind::Html: return QStringLiteral("html");
    case TGridExportKind::Xml: return QStringLiteral("xml");
    }
    return QString();
}

void ExportGridFile(TGridExportKind kind, const QAbstractItemModel &model, const QList<TGridColumn> &columns,
                    const QString &fileName)
{
    switch (kind) {
    case TGridExportKind::Excel: WriteXlsx(model, columns, fileName); return;
    case TGridExportKind::Text: WriteText(model, columns, fileName); return;
    case TGridExportKind::Html: WriteHtml(model, columns, fileName); return;
    case TGridExportKind::Xml: WriteXml(model, columns, fileName); return;
    }
    throw std::runtime_error("Unknown kind of grid export");
}
