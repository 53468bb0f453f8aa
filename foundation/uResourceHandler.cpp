#include "foundation/uResourceHandler.h"

#include <QFile>

#include <stdexcept>

namespace {

QByteArray unescape(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const char next = value[++i];
        switch (next) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += next; break;
        }
    }
    return out;
}

// Cuts UTF-8 text to at most maxBytes without splitting a character.
QByteArray cutUtf8(const QByteArray &text, qsizetype maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    qsizetype end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.left(end);
}

} // namespace

TVOResourceHandler::~TVOResourceHandler()
{
    Close();
}

void TVOResourceHandler::LoadResourceFile(const QString &path)
{
    if (!QFile::exists(path))
        throw std::runtime_error("Unable to locate resourcefile : " + path.toStdString());
    m_fileName = path;
    Open();
}

void TVOResourceHandler::Open()
{
    Close();
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_open = Parse(file.readAll());
    if (!m_open)
        Close();
}

void TVOResourceHandler::Close()
{
    m_open = false;
    m_texts.clear();
    m_html.clear();
    m_data.clear();
}

bool TVOResourceHandler::Parse(const QByteArray &text, int *errorLine)
{
    m_texts.clear();
    m_html.clear();
    m_data.clear();
    int lineNo = 0;
    for (QByteArray line : text.split('\n')) {
        ++lineNo;
        if (line.endsWith('\r'))
            line.chop(1);
        if (lineNo == 1 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const qsizetype eq = line.indexOf('=');
        QByteArray key = eq > 0 ? line.left(eq).trimmed() : QByteArray();
        QHash<int, QByteArray> *table = &m_texts;
        if (key.startsWith("html:")) {
            table = &m_html;
            key.remove(0, 5);
        } else if (key.startsWith("data:")) {
            table = &m_data;
            key.remove(0, 5);
        }
        bool ok = false;
        const int number = key.toInt(&ok);
        if (!ok || number < 0) {
            if (errorLine)
                *errorLine = lineNo;
            return false;
        }
        const QByteArrayView value = QByteArrayView(line).sliced(eq + 1);
        if (table == &m_data)
            (*table)[number] = QByteArray::fromBase64(value.trimmed().toByteArray());
        else
            (*table)[number] = unescape(value);
    }
    return true;
}

QString TVOResourceHandler::GetString(int number, bool emptyIfMissing) const
{
    if (!m_open)
        return QString::number(number);
    const auto it = m_texts.constFind(number);
    if (it == m_texts.constEnd() || it->isEmpty())
        return emptyIfMissing ? QString() : QString::number(number);
    return QString::fromUtf8(cutUtf8(*it, MaxTextBytes - 1));
}

QString TVOResourceHandler::GetHTML(int number) const
{
    return QString::fromUtf8(m_html.value(number));
}

QByteArray TVOResourceHandler::GetData(int number) const
{
    return m_data.value(number);
}
