#include "plugins/contacts/uImportReaders.h"

#include "foundation/QorDateTime.h"
#include "reporting/ReportError.h"
#include "reporting/ZipArchive.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <freexl.h>

#include <cmath>

namespace {

// Cells that were read whole when the file was opened (.xlsx and .csv), kept sparse so that a
// lone cell far down the sheet costs one entry.
class TGridCellReader : public TImportCellReader
{
public:
    int RowCount() const override { return m_rows; }
    QVariant Cell(int row, int column) const override { return m_cells.value(Key(row, column)); }

protected:
    void Put(int row, int column, const QVariant &value)
    {
        if (row < 1 || column < 1 || row > ImportLimits::MaxRows || column > ImportLimits::MaxColumns)
            throw EImportFileError(QStringLiteral("The cell in row %1, column %2 lies outside a sheet").arg(row).arg(column));
        if (!value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty()))
            return;
        m_cells.insert(Key(row, column), value);
        m_rows = std::max(m_rows, row);
    }

private:
    static qint64 Key(int row, int column) { return qint64(row) * (ImportLimits::MaxColumns + 1) + column; }

    QHash<qint64, QVariant> m_cells;
    int m_rows = 0;
};

QByteArray ReadWhole(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EImportFileError(QStringLiteral("The file \"%1\" cannot be opened: %2").arg(fileName, file.errorString()));
    if (file.size() > ImportLimits::MaxFileBytes)
        throw EImportFileError(QStringLiteral("The file \"%1\" is larger than %2 MB").arg(fileName).arg(ImportLimits::MaxFileBytes >> 20));
    return file.readAll();
}

// ---- .csv ----

// The characters Windows-1252 puts at 0x80..0x9F (0: unused there); every other byte is the
// Latin-1 character of the same code.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString FromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char16_t high = b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : 0;
        text[i] = QChar(high ? high : char16_t(b));
    }
    return text;
}

class TCsvCellReader : public TGridCellReader
{
public:
    explicit TCsvCellReader(const QString &fileName) : m_fileName(QFileInfo(fileName).fileName()) { Parse(Decode(ReadWhole(fileName))); }

private:
    // UTF-8 (with or without its mark) or UTF-16 with its mark; a file that is not valid UTF-8 is
    // taken as Windows-1252, the encoding older spreadsheet programs save text in.
    static QString Decode(const QByteArray &bytes)
    {
        const auto marked = QStringConverter::encodingForData(bytes);
        QStringDecoder decoder(marked.value_or(QStringConverter::Utf8), QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(bytes);
        if (decoder.hasError())
            text = FromWindows1252(bytes);
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }

    // The separator is the one of comma, semicolon and tab that the first line holds most of
    // outside quoted fields; a file of one column keeps the comma.
    static QChar Separator(const QString &text)
    {
        int counts[3] = {0, 0, 0};
        const QChar candidates[3] = {u',', u';', u'\t'};
        bool quoted = false;
        bool fieldStart = true;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                    ++i;
                else if (c == u'"')
                    quoted = false;
                continue;
            }
            if (c == u'\n' || c == u'\r')
                break;
            if (c == u'"' && fieldStart) {
                quoted = true;
                continue;
            }
            fieldStart = false;
            for (int k = 0; k < 3; ++k)
                if (c == candidates[k]) {
                    ++counts[k];
                    fieldStart = true;
                }
        }
        int best = 0;
        for (int i = 1; i < 3; ++i)
            if (counts[i] > counts[best])
                best = i;
        return candidates[best];
    }

    [[noreturn]] void Refuse(int line, const QString &why) const
    {
        throw EImportFileError(QStringLiteral("Line %1 of \"%2\" cannot be read: %3. Nothing of the file is imported.").arg(line).arg(m_fileName, why));
    }

    // A quote opens a quoted field only at the start of a field; anywhere else it is an
    // ordinary character (O"Neil). A quoted field must close, and only a separator or the end
    // of the line may follow its closing quote: a file that breaks that is refused whole.
    void Parse(const QString &text)
    {
        const QChar separator = Separator(text);
        int row = 1;
        int column = 1;
        int line = 1;
        int quoteLine = 0;
        QString field;
        bool quoted = false;
        bool fieldStart = true;
        auto endField = [&] {
            Put(row, column, field);
            field.clear();
            ++column;
            fieldStart = true;
        };
        auto isLineEnd = [&](qsizetype i) { return i >= text.size() || text[i] == u'\r' || text[i] == u'\n'; };
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c == u'\n' || (c == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')))
                    ++line;
                if (c != u'"') {
                    field += c;
                } else if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += text[++i];
                } else {
                    quoted = false;
                    if (!isLineEnd(i + 1) && text[i + 1] != separator)
                        Refuse(line, QStringLiteral("a quoted field is followed by \"%1\" instead of a separator").arg(text[i + 1]));
                }
            } else if (c == u'"' && fieldStart) {
                quoted = true;
                quoteLine = line;
                fieldStart = false;
            } else if (c == separator) {
                endField();
            } else if (c == u'\r' || c == u'\n') {
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                endField();
                ++row;
                ++line;
                column = 1;
            } else {
                field += c;
                fieldStart = false;
            }
        }
        if (quoted)
            Refuse(quoteLine, QStringLiteral("its quoted field never closes"));
        if (!field.isEmpty() || column > 1)
            endField();
    }

    QString m_fileName;
};

// ---- .xlsx ----

// Dates are numbers in a date format: the built-in date and time formats, or a format code
// with day, month, year, hour or second letters outside quoted text and brackets.
bool IsDateFormat(int id, const QString &code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    QString bare;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\\')
            ++i;
        else if (c == u'[')
            ++bracket;
        else if (c == u']')
            bracket = std::max(0, bracket - 1);
        else if (bracket == 0)
            bare += c.toLower();
    }
    return bare.contains(QRegularExpression(QStringLiteral("[dmyhs]")));
}

QVariant SerialDate(double serial, bool from1904)
{
    const QDateTime at = serial < 0 ? QDateTime() : SpreadsheetDayToDateTime(serial, from1904);
    if (!at.isValid())
        return serial;
    if (at.time() == QTime(0, 0))
        return at.date();
    return at;
}

class TXlsxCellReader : public TGridCellReader
{
public:
    explicit TXlsxCellReader(const QString &fileName)
    {
        const ZipArchive::Limits limits{20000, ImportLimits::MaxUnpackedBytes, ImportLimits::MaxUnpackedBytes};
        try {
            for (auto &[name, data] : ZipArchive::Unpack(ReadWhole(fileName), limits))
                m_parts.insert(name, std::move(data));
        } catch (const EReportError &e) {
            throw EImportFileError(QStringLiteral("The workbook \"%1\" cannot be read: %2").arg(fileName, QString::fromStdString(e.what())));
        }
        const QString workbook = Target(QStringLiteral("_rels/.rels"), QString(), QStringLiteral("officeDocument"))
                                     .value(QString(), QStringLiteral("xl/workbook.xml"));
        const QString sheet = FirstSheet(workbook);
        ReadSharedStrings(Folder(workbook));
        ReadStyles(Folder(workbook));
        ReadSheet(sheet);
    }

private:
    static QString Folder(const QString &part) { return part.left(part.lastIndexOf(u'/') + 1); }
    static QString RelsOf(const QString &part) { return Folder(part) + QStringLiteral("_rels/") + part.mid(part.lastIndexOf(u'/') + 1) + QStringLiteral(".rels"); }

    QByteArray Part(const QString &name, bool required) const
    {
        const auto it = m_parts.constFind(name);
        if (it == m_parts.constEnd()) {
            if (required)
                throw EImportFileError(QStringLiteral("The workbook lacks its part \"%1\"").arg(name));
            return {};
        }
        return *it;
    }

    static void Check(const QXmlStreamReader &xml, const QString &part)
    {
        if (xml.hasError())
            throw EImportFileError(QStringLiteral("The workbook part \"%1\" is damaged: %2").arg(part, xml.errorString()));
    }

    // The targets of a relationships part by id (or, with a type, by the end of the type),
    // resolved against the folder of the part they belong to.
    QHash<QString, QString> Target(const QString &rels, const QString &base, const QString &type = {}) const
    {
        QHash<QString, QString> targets;
        const QByteArray data = Part(rels, false);
        if (data.isEmpty())
            return targets;
        QXmlStreamReader xml(data);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != u"Relationship")
                continue;
            const auto a = xml.attributes();
            QString target = a.value(QLatin1String("Target")).toString();
            target = target.startsWith(u'/') ? target.mid(1) : base + target;
            while (target.contains(QStringLiteral("/../"))) {
                const qsizetype up = target.indexOf(QStringLiteral("/../"));
                const qsizetype start = target.lastIndexOf(u'/', up - 1) + 1;
                target.remove(start, up + 4 - start);
            }
            if (type.isEmpty())
                targets.insert(a.value(QLatin1String("Id")).toString(), target);
            else if (a.value(QLatin1String("Type")).endsWith(type))
                targets.insert(QString(), target);
        }
        Check(xml, rels);
        return targets;
    }

    QString FirstSheet(const QString &workbook)
    {
        QXmlStreamReader xml(Part(workbook, true));
        QString firstId;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"workbookPr") {
                const QStringView v = xml.attributes().value(QLatin1String("date1904"));
                m_from1904 = v == u"1" || v == u"true";
            } else if (xml.name() == u"sheet" && firstId.isEmpty()) {
                for (const QXmlStreamAttribute &a : xml.attributes())
                    if (a.name() == u"id")
                        firstId = a.value().toString();
            }
        }
        Check(xml, workbook);
        if (firstId.isEmpty())
            throw EImportFileError(QStringLiteral("The workbook has no sheet"));
        const QString sheet = Target(RelsOf(workbook), Folder(workbook)).value(firstId);
        if (sheet.isEmpty())
            throw EImportFileError(QStringLiteral("The workbook does not say where its first sheet is"));
        return sheet;
    }

    void ReadSharedStrings(const QString &folder)
    {
        // Optional: some programs write every text into the sheet itself.
        const QString part = folder + QStringLiteral("sharedStrings.xml");
        const QByteArray data = Part(part, false);
        if (data.isEmpty())
            return;
        QXmlStreamReader xml(data);
        int phonetic = 0;
        QString current;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == u"si")
                    current.clear();
                else if (xml.name() == u"rPh")
                    ++phonetic;
                else if (xml.name() == u"t" && phonetic == 0)
                    current += xml.readElementText();
            } else if (xml.isEndElement()) {
                if (xml.name() == u"si")
                    m_strings << current;
                else if (xml.name() == u"rPh")
                    --phonetic;
            }
        }
        Check(xml, part);
    }

    void ReadStyles(const QString &folder)
    {
        const QString part = folder + QStringLiteral("styles.xml");
        const QByteArray data = Part(part, false);
        if (data.isEmpty())
            return;
        QXmlStreamReader xml(data);
        QHash<int, QString> codes;
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                const auto a = xml.attributes();
                if (xml.name() == u"numFmt")
                    codes.insert(a.value(QLatin1String("numFmtId")).toInt(), a.value(QLatin1String("formatCode")).toString());
                else if (xml.name() == u"cellXfs")
                    inCellXfs = true;
                else if (xml.name() == u"xf" && inCellXfs) {
                    const int id = a.value(QLatin1String("numFmtId")).toInt();
                    m_dateStyles << IsDateFormat(id, codes.value(id));
                    // "00000", the postcode format, shows leading zeros.
                    const QString code = codes.value(id);
                    m_zeroPadding << (!code.isEmpty() && code.count(u'0') == code.size() ? int(code.size()) : 0);
                    xml.skipCurrentElement();
                }
            } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
                inCellXfs = false;
            }
        }
        Check(xml, part);
    }

    // "BC12" -> column 55, row 12.
    static bool ParseReference(QStringView ref, int &row, int &column)
    {
        int c = 0;
        qsizetype i = 0;
        for (; i < ref.size() && ref[i].isLetter(); ++i) {
            c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
            if (c > ImportLimits::MaxColumns)
                return false;
        }
        bool ok = false;
        const int r = ref.mid(i).toInt(&ok);
        if (i == 0 || !ok)
            return false;
        row = r;
        column = c;
        return true;
    }

    void ReadSheet(const QString &part)
    {
        QXmlStreamReader xml(Part(part, true));
        int row = 0;
        int column = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"row") {
                bool ok = false;
                const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
                row = ok ? r : row + 1;
                column = 0;
            } else if (xml.name() == u"c") {
                const auto a = xml.attributes();
                int r = row;
                int c = column + 1;
                if (a.hasAttribute(QLatin1String("r")) && !ParseReference(a.value(QLatin1String("r")), r, c))
                    throw EImportFileError(QStringLiteral("The sheet names a cell \"%1\" that cannot be").arg(a.value(QLatin1String("r"))));
                row = r;
                column = c;
                const QString type = a.value(QLatin1String("t")).toString();
                const int style = a.value(QLatin1String("s")).toInt();
                QString value;
                QString inlineText;
                while (xml.readNextStartElement()) {
                    if (xml.name() == u"v") {
                        value = xml.readElementText();
                    } else if (xml.name() == u"is") {
                        while (!xml.atEnd() && !(xml.isEndElement() && xml.name() == u"is")) {
                            xml.readNext();
                            if (xml.isStartElement() && xml.name() == u"t")
                                inlineText += xml.readElementText();
                        }
                    } else {
                        xml.skipCurrentElement();
                    }
                }
                Put(row, column, CellValue(type, style, value, inlineText));
            }
        }
        Check(xml, part);
    }

    QVariant CellValue(const QString &type, int style, const QString &value, const QString &inlineText) const
    {
        if (type == u"s") {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (!ok || index < 0 || index >= m_strings.size())
                throw EImportFileError(QStringLiteral("The sheet refers to a text the workbook does not hold"));
            return m_strings[index];
        }
        if (type == u"inlineStr")
            return inlineText;
        if (type == u"str" || type == u"e")
            return value;
        if (type == u"b")
            return value.isEmpty() ? QVariant() : QVariant(value == u"1");
        if (type == u"d") {
            const QDateTime dt = QDateTime::fromString(value, Qt::ISODate);
            return dt.isValid() ? QVariant(dt) : QVariant(value);
        }
        if (value.isEmpty())
            return {};
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            return value;
        if (style >= 0 && style < m_dateStyles.size() && m_dateStyles[style])
            return SerialDate(number, m_from1904);
        if (style >= 0 && style < m_zeroPadding.size() && m_zeroPadding[style] > 0 && number >= 0 && number == std::floor(number))
            return CellText(number).rightJustified(m_zeroPadding[style], u'0');
        return number;
    }

    QHash<QString, QByteArray> m_parts;
    QStringList m_strings;
    QList<bool> m_dateStyles;
    QList<int> m_zeroPadding;
};

// ---- .xls ----

// Read cell by cell from FreeXL, which holds the first sheet while the reader lives.
class TXlsCellReader : public TImportCellReader
{
public:
    explicit TXlsCellReader(const QString &fileName)
    {
        const QFileInfo info(fileName);
        if (!info.isFile())
            throw EImportFileError(QStringLiteral("The file \"%1\" cannot be opened").arg(fileName));
        if (info.size() > ImportLimits::MaxFileBytes)
            throw EImportFileError(QStringLiteral("The file \"%1\" is larger than %2 MB").arg(fileName).arg(ImportLimits::MaxFileBytes >> 20));
        int rc = freexl_open(QFile::encodeName(fileName).constData(), &m_handle);
        if (rc != FREEXL_OK) {
            m_handle = nullptr;
            throw EImportFileError(QStringLiteral("The workbook \"%1\" cannot be read (FreeXL error %2)").arg(fileName).arg(rc));
        }
        unsigned int sheets = 0;
        rc = freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
        if (rc == FREEXL_OK && sheets > 0)
            rc = freexl_select_active_worksheet(m_handle, 0);
        if (rc == FREEXL_OK && sheets > 0)
            rc = freexl_worksheet_dimensions(m_handle, &m_rows, &m_columns);
        if (rc != FREEXL_OK || sheets == 0) {
            freexl_close(m_handle);
            m_handle = nullptr;
            throw EImportFileError(QStringLiteral("The workbook \"%1\" has no readable sheet").arg(fileName));
        }
        // The sheet's dimensions may take in formatted rows that hold nothing.
        m_rows = std::min<unsigned>(m_rows, ImportLimits::MaxRows);
        try {
            while (m_rows > 0 && RowIsEmpty(int(m_rows)))
                --m_rows;
        } catch (...) {
            freexl_close(m_handle);
            m_handle = nullptr;
            throw;
        }
    }
    ~TXlsCellReader() override
    {
        if (m_handle)
            freexl_close(m_handle);
    }
    TXlsCellReader(const TXlsCellReader &) = delete;
    TXlsCellReader &operator=(const TXlsCellReader &) = delete;

    int RowCount() const override { return int(m_rows); }

    QVariant Cell(int row, int column) const override
    {
        if (row < 1 || column < 1 || unsigned(row) > m_rows || column > m_columns)
            return {};
        FreeXL_CellValue cell;
        if (freexl_get_cell_value(m_handle, unsigned(row - 1), static_cast<unsigned short>(column - 1), &cell) != FREEXL_OK)
            throw EImportFileError(QStringLiteral("The cell in row %1, column %2 cannot be read").arg(row).arg(column));
        switch (cell.type) {
        case FREEXL_CELL_INT:
            return double(cell.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return cell.value.double_value;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_TIME: {
            const QString text = QString::fromUtf8(cell.value.text_value);
            return text.isEmpty() ? QVariant() : QVariant(text);
        }
        case FREEXL_CELL_DATE:
            return QDate::fromString(QString::fromLatin1(cell.value.text_value), Qt::ISODate);
        case FREEXL_CELL_DATETIME:
            return QDateTime::fromString(QString::fromLatin1(cell.value.text_value), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        default:
            return {};
        }
    }

private:
    bool RowIsEmpty(int row) const
    {
        for (int c = 1; c <= m_columns; ++c)
            if (!CellText(Cell(row, c)).isEmpty())
                return false;
        return true;
    }

    const void *m_handle = nullptr;
    unsigned int m_rows = 0;
    unsigned short m_columns = 0;
};

} // namespace

QDateTime SpreadsheetDayToDateTime(double days, bool from1904)
{
    if (from1904)
        return OleToDateTime(days + 1462.0);
    // The 1900 system counts 1 January 1900 as day 1 and holds a 29 February 1900 (day 60)
    // that never was; from day 61 on it agrees with the day count that starts at 30 December 1899.
    if (days >= 60.0 && days < 61.0)
        return {};
    return OleToDateTime(days > 0 && days < 60.0 ? days + 1.0 : days);
}

TImportCellReader::~TImportCellReader() = default;

QString TImportCellReader::Text(int row, int column) const
{
    return CellText(Cell(row, column));
}

QVariant TImportCellReader::DayToDate(double days) const
{
    const QDateTime at = SpreadsheetDayToDateTime(days, m_from1904);
    return at.isValid() ? QVariant(at) : QVariant(days);
}

QString TImportCellReader::CellText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default:
        return value.toString();
    }
}

QStringList ImportFileExtensions()
{
    return {QStringLiteral(".XLSX"), QStringLiteral(".XLS"), QStringLiteral(".CSV")};
}

bool IsImportFile(const QString &fileName)
{
    for (const QString &extension : ImportFileExtensions())
        if (fileName.endsWith(extension, Qt::CaseInsensitive))
            return true;
    return false;
}

std::unique_ptr<TImportCellReader> OpenCellReader(const QString &fileName)
{
    if (fileName.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return std::make_unique<TXlsxCellReader>(fileName);
    if (fileName.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive))
        return std::make_unique<TXlsCellReader>(fileName);
    if (fileName.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return std::make_unique<TCsvCellReader>(fileName);
    throw EImportFileError(QStringLiteral("\"%1\" is not a spreadsheet file (.xlsx, .xls or .csv)").arg(fileName));
}
