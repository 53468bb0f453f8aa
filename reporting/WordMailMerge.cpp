#include "reporting/WordMailMerge.h"

#include "reporting/ReportError.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <functional>
#include <optional>

namespace {

const QString kWordNamespace = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
constexpr int kMaxDepth = 256;

// --- a small XML tree that keeps every character --------------------------------------------
// Names stay as written (prefix and all), namespace declarations stay attributes: the document
// is written back as it came, with only the merge fields changed.

struct XmlNode
{
    enum class Kind { Element, Text, Comment, Instruction };

    Kind NodeKind = Kind::Element;
    QString Name;  // element name or instruction target
    QList<std::pair<QString, QString>> Attributes;
    QString Text;  // text, comment or instruction data
    QList<XmlNode> Children;

    QString Attribute(const QString &name) const
    {
        for (const auto &[key, value] : Attributes)
            if (key == name)
                return value;
        return {};
    }
    bool IsElement(const QString &name) const { return NodeKind == Kind::Element && Name == name; }
};

XmlNode ParseXml(const QByteArray &bytes)
{
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    XmlNode document;
    QList<XmlNode *> open{&document};
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (open.size() > kMaxDepth)
                throw EReportError(QStringLiteral("The Word document is nested more than %1 deep").arg(kMaxDepth));
            XmlNode node;
            node.Name = reader.qualifiedName().toString();
            // Without namespace processing the declarations come as attributes.
            for (const QXmlStreamAttribute &attribute : reader.attributes())
                node.Attributes.append({attribute.qualifiedName().toString(), attribute.value().toString()});
            open.last()->Children.append(node);
            open.append(&open.last()->Children.last());
            break;
        }
        case QXmlStreamReader::EndElement:
            open.removeLast();
            break;
        case QXmlStreamReader::Characters: {
            XmlNode node;
            node.NodeKind = XmlNode::Kind::Text;
            node.Text = reader.text().toString();
            open.last()->Children.append(node);
            break;
        }
        case QXmlStreamReader::Comment: {
            XmlNode node;
            node.NodeKind = XmlNode::Kind::Comment;
            node.Text = reader.text().toString();
            open.last()->Children.append(node);
            break;
        }
        case QXmlStreamReader::ProcessingInstruction: {
            XmlNode node;
            node.NodeKind = XmlNode::Kind::Instruction;
            node.Name = reader.processingInstructionTarget().toString();
            node.Text = reader.processingInstructionData().toString();
            open.last()->Children.append(node);
            break;
        }
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            throw EReportError(QStringLiteral("The Word document declares entities"));
        default:
            break;
        }
    }
    if (reader.hasError())
        throw EReportError(QStringLiteral("The Word document is not readable XML (line %1: %2)")
                               .arg(reader.lineNumber())
                               .arg(reader.errorString()));
    return document;
}

void WriteNode(QXmlStreamWriter &writer, const XmlNode &node)
{
    switch (node.NodeKind) {
    case XmlNode::Kind::Element:
        writer.writeStartElement(node.Name);
        for (const auto &[name, value] : node.Attributes)
            writer.writeAttribute(name, value);
        for (const XmlNode &child : node.Children)
            WriteNode(writer, child);
        writer.writeEndElement();
        break;
    case XmlNode::Kind::Text:
        writer.writeCharacters(node.Text);
        break;
    case XmlNode::Kind::Comment:
        writer.writeComment(node.Text);
        break;
    case XmlNode::Kind::Instruction:
        writer.writeProcessingInstruction(node.Name, node.Text);
        break;
    }
}

QByteArray WriteXml(const XmlNode &document)
{
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    for (const XmlNode &child : document.Children)
        if (child.NodeKind != XmlNode::Kind::Text)  // nothing but the root belongs outside it
            WriteNode(writer, child);
    writer.writeEndDocument();
    return bytes;
}

// --- merge fields ---------------------------------------------------------------------------

// The qualified names of the wordprocessing namespace as the document spells them.
class WordNames
{
public:
    explicit WordNames(const XmlNode &root)
    {
        for (const auto &[name, value] : root.Attributes)
            if (value == kWordNamespace && (name == QLatin1String("xmlns") || name.startsWith(QLatin1String("xmlns:"))))
                m_prefix = name == QLatin1String("xmlns") ? QString() : name.mid(6) + QLatin1Char(':');
    }
    QString operator()(const char *local) const { return m_prefix + QLatin1String(local); }

private:
    QString m_prefix = QStringLiteral("w:");
};

// The field name of a MERGEFIELD instruction ("MERGEFIELD  Name \* MERGEFORMAT",
// "MERGEFIELD "Last name""); empty for any other field.
QString MergeFieldName(const QString &instruction)
{
    const QString text = instruction.trimmed();
    static const QString keyword = QStringLiteral("MERGEFIELD");
    if (!text.startsWith(keyword, Qt::CaseInsensitive) || (text.size() > keyword.size() && !text[keyword.size()].isSpace()))
        return {};
    const QString rest = text.mid(keyword.size()).trimmed();
    if (rest.startsWith(QLatin1Char('"'))) {
        const qsizetype end = rest.indexOf(QLatin1Char('"'), 1);
        return end < 0 ? rest.mid(1) : rest.mid(1, end - 1);
    }
    qsizetype end = 0;
    while (end < rest.size() && !rest[end].isSpace() && rest[end] != QLatin1Char('\\'))
        ++end;
    return rest.left(end);
}

// What XML 1.0 cannot carry is left out.
QString XmlSafe(const QString &text)
{
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            safe += c;
            safe += text[++i];
            continue;
        }
        const char16_t u = c.unicode();
        if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF || (u < 0x20 && u != '\t' && u != '\n' && u != '\r'))
            continue;
        safe += c;
    }
    return safe;
}

XmlNode Element(const QString &name, const QList<std::pair<QString, QString>> &attributes = {})
{
    XmlNode node;
    node.Name = name;
    node.Attributes = attributes;
    return node;
}

XmlNode TextNode(const QString &text)
{
    XmlNode node;
    node.NodeKind = XmlNode::Kind::Text;
    node.Text = text;
    return node;
}

// One run holding the value, in the run properties given: lines become breaks, tabs tab stops.
XmlNode ValueRun(const WordNames &w, const QString &value, const XmlNode *properties)
{
    XmlNode run = Element(w("r"));
    if (properties)
        run.Children.append(*properties);
    QString text = XmlSafe(value);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int l = 0; l < lines.size(); ++l) {
        if (l > 0)
            run.Children.append(Element(w("br")));
        const QStringList pieces = lines[l].split(QLatin1Char('\t'));
        for (int p = 0; p < pieces.size(); ++p) {
            if (p > 0)
                run.Children.append(Element(w("tab")));
            if (pieces[p].isEmpty())
                continue;
            XmlNode t = Element(w("t"), {{QStringLiteral("xml:space"), QStringLiteral("preserve")}});
            t.Children.append(TextNode(pieces[p]));
            run.Children.append(t);
        }
    }
    return run;
}

// The run properties of the first run at or below node.
const XmlNode *RunProperties(const WordNames &w, const XmlNode &node)
{
    if (node.IsElement(w("r"))) {
        for (const XmlNode &child : node.Children)
            if (child.IsElement(w("rPr")))
                return &child;
        return nullptr;
    }
    for (const XmlNode &child : node.Children)
        if (child.NodeKind == XmlNode::Kind::Element)
            if (const XmlNode *found = RunProperties(w, child))
                return found;
    return nullptr;
}

// The type of the run's field character ("begin", "separate", "end"); empty for other runs.
QString FieldCharType(const WordNames &w, const XmlNode &node)
{
    if (!node.IsElement(w("r")))
        return {};
    for (const XmlNode &child : node.Children)
        if (child.IsElement(w("fldChar")))
            return child.Attribute(w("fldCharType"));
    return {};
}

QString InstructionText(const WordNames &w, const XmlNode &run)
{
    QString text;
    for (const XmlNode &child : run.Children)
        if (child.IsElement(w("instrText")))
            for (const XmlNode &t : child.Children)
                if (t.NodeKind == XmlNode::Kind::Text)
                    text += t.Text;
    return text;
}

bool HasText(const WordNames &w, const XmlNode &run)
{
    for (const XmlNode &child : run.Children)
        if (child.IsElement(w("t")))
            return true;
    return false;
}

// Gives each merge field a chance to be replaced: the callback answers the run that stands in
// for it, or nothing to keep the field. Fields of several runs ("begin" ... "end") are found
// among siblings; a field that ends in another paragraph is kept.
using FieldReplacer = std::function<std::optional<XmlNode>(const QString &field, const XmlNode *properties)>;

QList<XmlNode> ReplaceFields(const WordNames &w, const QList<XmlNode> &children, const FieldReplacer &replace)
{
    QList<XmlNode> result;
    for (qsizetype i = 0; i < children.size(); ++i) {
        const XmlNode &node = children[i];
        if (node.NodeKind != XmlNode::Kind::Element) {
            result.append(node);
            continue;
        }
        if (node.IsElement(w("fldSimple"))) {
            const QString field = MergeFieldName(node.Attribute(w("instr")));
            if (!field.isEmpty())
                if (std::optional<XmlNode> run = replace(field, RunProperties(w, node))) {
                    result.append(*run);
                    continue;
                }
        } else if (FieldCharType(w, node) == QLatin1String("begin")) {
            // Find the matching end; nested fields count.
            int depth = 0;
            qsizetype end = -1;
            qsizetype separate = -1;
            QString instruction;
            for (qsizetype j = i; j < children.size(); ++j) {
                const QString type = FieldCharType(w, children[j]);
                if (type == QLatin1String("begin"))
                    ++depth;
                else if (type == QLatin1String("separate") && depth == 1 && separate < 0)
                    separate = j;
                else if (type == QLatin1String("end") && --depth == 0) {
                    end = j;
                    break;
                }
                if (depth == 1 && separate < 0 && children[j].IsElement(w("r")))
                    instruction += InstructionText(w, children[j]);
            }
            const QString field = end < 0 ? QString() : MergeFieldName(instruction);
            if (!field.isEmpty()) {
                const XmlNode *properties = nullptr;
                for (qsizetype j = separate < 0 ? end : separate + 1; j < end && !properties; ++j)
                    if (children[j].IsElement(w("r")) && HasText(w, children[j]))
                        properties = RunProperties(w, children[j]);
                if (!properties)
                    properties = RunProperties(w, node);
                if (std::optional<XmlNode> run = replace(field, properties)) {
                    result.append(*run);
                    i = end;
                    continue;
                }
            }
        }
        XmlNode copy = node;
        copy.Children = ReplaceFields(w, node.Children, replace);
        result.append(copy);
    }
    return result;
}

struct ParsedDocument
{
    XmlNode Document;
    XmlNode *Body = nullptr;
    std::optional<WordNames> Names;
};

void Parse(ParsedDocument &parsed, const WordPackage &package)
{
    parsed.Document = ParseXml(package.Part(WordPackage::DocumentPart));
    XmlNode *root = nullptr;
    for (XmlNode &child : parsed.Document.Children)
        if (child.NodeKind == XmlNode::Kind::Element)
            root = &child;
    if (!root)
        throw EReportError(QStringLiteral("The Word document has no document element"));
    parsed.Names.emplace(*root);
    for (XmlNode &child : root->Children)
        if (child.IsElement((*parsed.Names)("body")))
            parsed.Body = &child;
    if (!parsed.Body)
        throw EReportError(QStringLiteral("The Word document has no body"));
}

} // namespace

// --- the server's data ----------------------------------------------------------------------

WordMergeData WordMergeData::FromText(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    WordMergeData data;
    qsizetype position = text.indexOf(QStringLiteral("\r\n"));
    const QString header = position < 0 ? text : text.left(position);
    if (header.isEmpty())
        throw EReportError(QStringLiteral("The Word data has no field names"));
    data.Fields = header.split(QLatin1Char('\t'));
    if (data.Fields.size() > kMaxFields)
        throw EReportError(QStringLiteral("The Word data has more than %1 fields").arg(kMaxFields));
    while (position >= 0) {
        position += 2;  // past CR LF
        QStringList row;
        for (;;) {
            QString value;
            if (position < text.size() && text[position] == QLatin1Char('"')) {
                ++position;
                for (;;) {
                    if (position >= text.size())
                        throw EReportError(QStringLiteral("A value of row %1 of the Word data is not closed").arg(data.Rows.size() + 1));
                    if (text[position] == QLatin1Char('"')) {
                        if (position + 1 < text.size() && text[position + 1] == QLatin1Char('"')) {
                            value += QLatin1Char('"');
                            position += 2;
                            continue;
                        }
                        ++position;
                        break;
                    }
                    value += text[position++];
                }
            } else {
                while (position < text.size() && text[position] != QLatin1Char('\t') && text[position] != QLatin1Char('\r'))
                    value += text[position++];
            }
            row << value;
            if (position < text.size() && text[position] == QLatin1Char('\t')) {
                ++position;
                continue;
            }
            break;
        }
        if (row.size() != data.Fields.size())
            throw EReportError(QStringLiteral("Row %1 of the Word data has %2 values for %3 fields")
                                   .arg(data.Rows.size() + 1)
                                   .arg(row.size())
                                   .arg(data.Fields.size()));
        data.Rows << row;
        if (position >= text.size())
            break;
        if (text.mid(position, 2) != QLatin1String("\r\n"))
            throw EReportError(QStringLiteral("Row %1 of the Word data does not end where its last value ends").arg(data.Rows.size()));
    }
    return data;
}

QString WordMergeData::Value(int row, const QString &field) const
{
    for (qsizetype i = 0; i < Fields.size(); ++i)
        if (Fields[i].compare(field, Qt::CaseInsensitive) == 0)
            return Rows.at(row).value(i);
    return {};
}

// --- merging --------------------------------------------------------------------------------

QStringList WordMailMerge::MergeFields(const WordPackage &document)
{
    ParsedDocument parsed;
    Parse(parsed, document);
    QStringList fields;
    ReplaceFields(*parsed.Names, parsed.Body->Children, [&fields](const QString &field, const XmlNode *) -> std::optional<XmlNode> {
        bool known = false;
        for (const QString &f : fields)
            known = known || f.compare(field, Qt::CaseInsensitive) == 0;
        if (!known)
            fields << field;
        return std::nullopt;
    });
    return fields;
}

WordPackage WordMailMerge::Merge(const WordPackage &document, const WordMergeData &data)
{
    ParsedDocument parsed;
    Parse(parsed, document);
    const WordNames &w = *parsed.Names;
    // The body repeats; its section properties (paper, margins) close it once.
    QList<XmlNode> body = parsed.Body->Children;
    QList<XmlNode> closing;
    for (qsizetype i = body.size() - 1; i >= 0; --i) {
        if (body[i].IsElement(w("sectPr"))) {
            closing = body.mid(i);
            body = body.mid(0, i);
            break;
        }
        if (body[i].NodeKind == XmlNode::Kind::Element)
            break;
    }
    QList<XmlNode> merged;
    for (int row = 0; row < data.Rows.size(); ++row)
        merged += ReplaceFields(w, body, [&](const QString &field, const XmlNode *properties) -> std::optional<XmlNode> {
            return ValueRun(w, data.Value(row, field), properties);
        });
    parsed.Body->Children = merged + closing;
    WordPackage result = document;
    result.SetPart(WordPackage::DocumentPart, WriteXml(parsed.Document));
    return result;
}

// --- templates from a description -----------------------------------------------------------

namespace {

const QString kRelationships = QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");

QByteArray Xml(const std::function<void(QXmlStreamWriter &)> &write)
{
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    write(writer);
    writer.writeEndDocument();
    return bytes;
}

void WriteRun(QXmlStreamWriter &writer, const QString &text, bool bold)
{
    writer.writeStartElement(QStringLiteral("w:r"));
    if (bold) {
        writer.writeStartElement(QStringLiteral("w:rPr"));
        writer.writeEmptyElement(QStringLiteral("w:b"));
        writer.writeEndElement();
    }
    const QStringList pieces = text.split(QLatin1Char('\t'));
    for (int p = 0; p < pieces.size(); ++p) {
        if (p > 0)
            writer.writeEmptyElement(QStringLiteral("w:tab"));
        if (pieces[p].isEmpty())
            continue;
        writer.writeStartElement(QStringLiteral("w:t"));
        writer.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        writer.writeCharacters(pieces[p]);
        writer.writeEndElement();
    }
    writer.writeEndElement();
}

void WriteParagraph(QXmlStreamWriter &writer, const QString &line, int lineNumber)
{
    bool bold = false;
    QString text = line;
    if (text.startsWith(QLatin1String("= "))) {
        bold = true;
        text = text.mid(2);
    }
    writer.writeStartElement(QStringLiteral("w:p"));
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), position);
        if (open < 0) {
            WriteRun(writer, text.mid(position), bold);
            break;
        }
        if (open > position)
            WriteRun(writer, text.mid(position, open - position), bold);
        const qsizetype close = text.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            throw EReportError(QStringLiteral("Line %1 of the Word template has a brace that is not closed").arg(lineNumber));
        const QString field = text.mid(open + 1, close - open - 1).trimmed();
        if (field.isEmpty() || field.contains(QLatin1Char('"')))
            throw EReportError(QStringLiteral("Line %1 of the Word template names no field").arg(lineNumber));
        // A field as Word writes one: begin, instruction, separate, what it shows, end.
        const auto fieldChar = [&writer](const char *type) {
            writer.writeStartElement(QStringLiteral("w:r"));
            writer.writeEmptyElement(QStringLiteral("w:fldChar"));
            writer.writeAttribute(QStringLiteral("w:fldCharType"), QLatin1String(type));
            writer.writeEndElement();
        };
        fieldChar("begin");
        writer.writeStartElement(QStringLiteral("w:r"));
        writer.writeStartElement(QStringLiteral("w:instrText"));
        writer.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        writer.writeCharacters(QStringLiteral(" MERGEFIELD \"%1\" ").arg(field));
        writer.writeEndElement();
        writer.writeEndElement();
        fieldChar("separate");
        WriteRun(writer, QStringLiteral("\u00AB%1\u00BB").arg(field), bold);
        fieldChar("end");
        position = close + 1;
    }
    writer.writeEndElement();
}

} // namespace

WordPackage WordTemplate::FromDescription(const QString &description)
{
    QString title;
    bool landscape = false;
    QStringList paragraphs;
    QList<int> lineNumbers;
    const QStringList lines = description.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('@'))) {
            const QString directive = line.section(QLatin1Char(' '), 0, 0);
            const QString value = line.section(QLatin1Char(' '), 1).trimmed();
            if (directive == QLatin1String("@title"))
                title = value;
            else if (directive == QLatin1String("@orientation") && (value == QLatin1String("portrait") || value == QLatin1String("landscape")))
                landscape = value == QLatin1String("landscape");
            else
                throw EReportError(QStringLiteral("Line %1 of the Word template is not understood: %2").arg(i + 1).arg(line));
            continue;
        }
        paragraphs << line;
        lineNumbers << i + 1;
    }
    // The line break that ends the text ends the last paragraph; it is not one of its own.
    if (description.endsWith(QLatin1Char('\n')) && !paragraphs.isEmpty() && paragraphs.last().isEmpty()) {
        paragraphs.removeLast();
        lineNumbers.removeLast();
    }

    const QByteArray document = Xml([&](QXmlStreamWriter &writer) {
        writer.writeStartElement(QStringLiteral("w:document"));
        writer.writeAttribute(QStringLiteral("xmlns:w"), kWordNamespace);
        writer.writeStartElement(QStringLiteral("w:body"));
        for (int i = 0; i < paragraphs.size(); ++i)
            WriteParagraph(writer, paragraphs[i], lineNumbers[i]);
        writer.writeStartElement(QStringLiteral("w:sectPr"));
        writer.writeEmptyElement(QStringLiteral("w:pgSz"));
        // Letter: 8.5 by 11 inches in twentieths of a point.
        writer.writeAttribute(QStringLiteral("w:w"), landscape ? QStringLiteral("15840") : QStringLiteral("12240"));
        writer.writeAttribute(QStringLiteral("w:h"), landscape ? QStringLiteral("12240") : QStringLiteral("15840"));
        if (landscape)
            writer.writeAttribute(QStringLiteral("w:orient"), QStringLiteral("landscape"));
        writer.writeEmptyElement(QStringLiteral("w:pgMar"));
        for (const char *side : {"w:top", "w:right", "w:bottom", "w:left"})
            writer.writeAttribute(QLatin1String(side), QStringLiteral("1080"));
        writer.writeAttribute(QStringLiteral("w:header"), QStringLiteral("720"));
        writer.writeAttribute(QStringLiteral("w:footer"), QStringLiteral("720"));
        writer.writeAttribute(QStringLiteral("w:gutter"), QStringLiteral("0"));
        writer.writeEndElement();
        writer.writeEndElement();
        writer.writeEndElement();
    });
    const QByteArray styles = Xml([](QXmlStreamWriter &writer) {
        writer.writeStartElement(QStringLiteral("w:styles"));
        writer.writeAttribute(QStringLiteral("xmlns:w"), kWordNamespace);
        writer.writeStartElement(QStringLiteral("w:docDefaults"));
        writer.writeStartElement(QStringLiteral("w:rPrDefault"));
        writer.writeStartElement(QStringLiteral("w:rPr"));
        writer.writeEmptyElement(QStringLiteral("w:rFonts"));
        for (const char *slot : {"w:ascii", "w:hAnsi", "w:cs", "w:eastAsia"})
            writer.writeAttribute(QLatin1String(slot), QStringLiteral("DejaVu Sans"));
        writer.writeEmptyElement(QStringLiteral("w:sz"));
        writer.writeAttribute(QStringLiteral("w:val"), QStringLiteral("20"));
        writer.writeEndElement();
        writer.writeEndElement();
        writer.writeEndElement();
        writer.writeStartElement(QStringLiteral("w:style"));
        writer.writeAttribute(QStringLiteral("w:type"), QStringLiteral("paragraph"));
        writer.writeAttribute(QStringLiteral("w:default"), QStringLiteral("1"));
        writer.writeAttribute(QStringLiteral("w:styleId"), QStringLiteral("Normal"));
        writer.writeEmptyElement(QStringLiteral("w:name"));
        writer.writeAttribute(QStringLiteral("w:val"), QStringLiteral("Normal"));
        writer.writeStartElement(QStringLiteral("w:pPr"));
        writer.writeEmptyElement(QStringLiteral("w:spacing"));
        writer.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
        writer.writeEndElement();
        writer.writeEndElement();
        writer.writeEndElement();
    });
    const QByteArray contentTypes = Xml([](QXmlStreamWriter &writer) {
        writer.writeStartElement(QStringLiteral("Types"));
        writer.writeAttribute(QStringLiteral("xmlns"), QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
        const QList<std::pair<QString, QString>> defaults = {
            {QStringLiteral("rels"), QStringLiteral("application/vnd.openxmlformats-package.relationships+xml")},
            {QStringLiteral("xml"), QStringLiteral("application/xml")}};
        for (const auto &[extension, type] : defaults) {
            writer.writeEmptyElement(QStringLiteral("Default"));
            writer.writeAttribute(QStringLiteral("Extension"), extension);
            writer.writeAttribute(QStringLiteral("ContentType"), type);
        }
        const QList<std::pair<QString, QString>> overrides = {
            {QStringLiteral("/word/document.xml"), QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml")},
            {QStringLiteral("/word/styles.xml"), QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml")},
            {QStringLiteral("/docProps/core.xml"), QStringLiteral("application/vnd.openxmlformats-package.core-properties+xml")}};
        for (const auto &[part, type] : overrides) {
            writer.writeEmptyElement(QStringLiteral("Override"));
            writer.writeAttribute(QStringLiteral("PartName"), part);
            writer.writeAttribute(QStringLiteral("ContentType"), type);
        }
        writer.writeEndElement();
    });
    const auto relationships = [](const QList<std::pair<QString, QString>> &targets) {
        return Xml([&targets](QXmlStreamWriter &writer) {
            writer.writeStartElement(QStringLiteral("Relationships"));
            writer.writeAttribute(QStringLiteral("xmlns"), kRelationships);
            int id = 0;
            for (const auto &[type, target] : targets) {
                writer.writeEmptyElement(QStringLiteral("Relationship"));
                writer.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(++id));
                writer.writeAttribute(QStringLiteral("Type"), type);
                writer.writeAttribute(QStringLiteral("Target"), target);
            }
            writer.writeEndElement();
        });
    };
    const QByteArray core = Xml([&title](QXmlStreamWriter &writer) {
        writer.writeStartElement(QStringLiteral("cp:coreProperties"));
        writer.writeAttribute(QStringLiteral("xmlns:cp"), QStringLiteral("http://schemas.openxmlformats.org/package/2006/metadata/core-properties"));
        writer.writeAttribute(QStringLiteral("xmlns:dc"), QStringLiteral("http://purl.org/dc/elements/1.1/"));
        writer.writeTextElement(QStringLiteral("dc:title"), title);
        writer.writeTextElement(QStringLiteral("dc:creator"), QStringLiteral("Quorva"));
        writer.writeEndElement();
    });

    WordPackage package;
    package.SetPart(QStringLiteral("[Content_Types].xml"), contentTypes);
    package.SetPart(QStringLiteral("_rels/.rels"),
                    relationships({{QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"),
                                    QStringLiteral("word/document.xml")},
                                   {QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties"),
                                    QStringLiteral("docProps/core.xml")}}));
    package.SetPart(QStringLiteral("docProps/core.xml"), core);
    package.SetPart(WordPackage::DocumentPart, document);
    package.SetPart(QStringLiteral("word/_rels/document.xml.rels"),
                    relationships({{QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles"),
                                    QStringLiteral("styles.xml")}}));
    package.SetPart(QStringLiteral("word/styles.xml"), styles);
    return package;
}
