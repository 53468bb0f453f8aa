#include "foundation/IniFile.h"

#include "foundation/FileLock.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A value that would not read back as written on a line of its own goes in double quotes
// with backslash escapes: line breaks and other control characters, blanks at either end
// (a read trims them), and a leading quote (it would look like a quoted value).
bool needsQuotes(const QString &value)
{
    if (value.isEmpty())
        return false;
    if (value.front().isSpace() || value.back().isSpace() || value.front() == QLatin1Char('"'))
        return true;
    for (const QChar c : value)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    return false;
}

QString quoted(const QString &value)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '"': out += QLatin1String("\\\""); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

// The text of a quoted value; nothing when the value is not in the form quoted() writes.
std::optional<QString> unquoted(const QString &raw)
{
    if (raw.size() < 2 || raw.front() != QLatin1Char('"') || raw.back() != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    const qsizetype end = raw.size() - 1;
    for (qsizetype i = 1; i < end; ++i) {
        const QChar c = raw[i];
        if (c == QLatin1Char('"'))
            return std::nullopt;
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= end)
            return std::nullopt;
        switch (raw[i].unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case '"': out += QLatin1Char('"'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'x': {
            const auto hex = [&](qsizetype at) { return at < end && isxdigit(raw[at].toLatin1()) ? raw[at] : QChar(); };
            if (hex(i + 1).isNull() || hex(i + 2).isNull())
                return std::nullopt;
            out += QChar(char16_t(raw.mid(i + 1, 2).toUShort(nullptr, 16)));
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

// Only what quoted() would have written is decoded: a value that merely stands in quotes
// (files written before, hand edits such as Name="My Church") reads as it always did.
QString decoded(const QString &raw)
{
    const std::optional<QString> text = unquoted(raw);
    return text && needsQuotes(*text) ? *text : raw;
}

QString encoded(const QString &value)
{
    return needsQuotes(value) ? quoted(value) : value;
}

} // namespace

IniFile::IniFile(const QString &path)
    : m_path(path)
{
}

bool IniFile::load()
{
    m_sections.clear();
    m_error.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return false;
    }
    parse(file.readAll());
    return true;
}

void IniFile::parse(const QByteArray &bytes)
{
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    m_sections.push_back(Section{});
    for (QByteArray rawBytes : text.split('\n')) {
        if (rawBytes.endsWith('\r'))
            rawBytes.chop(1);
        const QString raw = QString::fromUtf8(rawBytes);
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            m_sections.push_back(Section{trimmed.mid(1, trimmed.size() - 2).trimmed(), {}});
            continue;
        }
        const qsizetype eq = raw.indexOf(QLatin1Char('='));
        if (eq <= 0 || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'))
            || raw.left(eq).trimmed().isEmpty()) {
            m_sections.back().lines.push_back(Line{{}, {}, raw});
            continue;
        }
        m_sections.back().lines.push_back(Line{raw.left(eq).trimmed(), decoded(raw.mid(eq + 1).trimmed()), raw});
    }
    // A file ending in a line break leaves one empty line behind; it is written back anyway.
    auto &last = m_sections.back().lines;
    if (!last.empty() && last.back().key.isEmpty() && last.back().raw.isEmpty())
        last.pop_back();
}

QByteArray IniFile::serialise() const
{
    QByteArray out;
    for (const Section &section : m_sections) {
        if (!section.name.isEmpty() || &section != &m_sections.front())
            out += '[' + section.name.toUtf8() + "]\n";
        for (const Line &line : section.lines) {
            if (line.key.isEmpty())
                out += line.raw.toUtf8() + '\n';
            else
                out += line.key.toUtf8() + '=' + encoded(line.value).toUtf8() + '\n';
        }
    }
    return out;
}

namespace {

mode_t modeOf(QFileDevice::Permissions permissions)
{
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
        {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto &[permission, bit] : bits)
        if (permissions.testFlag(permission))
            mode |= bit;
    return mode;
}

} // namespace

bool IniFile::save(QFileDevice::Permissions permissions)
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = file.errorString();
        return false;
    }
    struct stat old {};
    const bool existed = ::stat(QFile::encodeName(m_path).constData(), &old) == 0;
    struct stat made {};
    const int handle = file.handle();
    const auto fail = [&](const QString &what) {
        m_error = QStringLiteral("%1 %2: %3").arg(what, m_path, QString::fromLocal8Bit(std::strerror(errno)));
        file.cancelWriting();
        return false;
    };
    // Set on the temporary file, so the final name never shows the values to others. A file
    // rewritten by root for a service stays the service's, or the service could not read it.
    if (existed && ::fstat(handle, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid)
        && ::fchown(handle, old.st_uid, old.st_gid) != 0)
        return fail(QStringLiteral("Cannot keep the owner and group of"));
    if (existed || permissions) {
        mode_t mode = existed ? old.st_mode & 07777 : modeOf(permissions);
        // Given permissions are the loosest the file may have.
        if (permissions)
            mode &= modeOf(permissions);
        if (::fchmod(handle, mode) != 0)
            return fail(QStringLiteral("Cannot set the permissions of"));
    }
    file.write(serialise());
    if (!file.commit()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    for (const Section &s : m_sections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0 && (!name.isEmpty() || &s == &m_sections.front()))
            return &s;
    return nullptr;
}

IniFile::Section *IniFile::findSection(const QString &name)
{
    return const_cast<Section *>(std::as_const(*this).findSection(name));
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    if (const Section *s = findSection(section))
        for (const Line &line : s->lines)
            if (!line.key.isEmpty() && line.key.compare(key, Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

QString IniFile::value(const QString &section, const QString &key, const QString &defaultValue) const
{
    if (const Section *s = findSection(section))
        for (const Line &line : s->lines)
            if (!line.key.isEmpty() && line.key.compare(key, Qt::CaseInsensitive) == 0)
                return line.value;
    return defaultValue;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    Section *s = findSection(section);
    if (!s) {
        if (m_sections.empty())
            m_sections.push_back(Section{});
        m_sections.push_back(Section{section, {}});
        s = &m_sections.back();
    }
    for (Line &line : s->lines) {
        if (!line.key.isEmpty() && line.key.compare(key, Qt::CaseInsensitive) == 0) {
            line.value = value;
            return;
        }
    }
    // New keys go after the last entry, so trailing blank lines stay between sections.
    auto pos = s->lines.end();
    while (pos != s->lines.begin() && std::prev(pos)->key.isEmpty() && std::prev(pos)->raw.trimmed().isEmpty())
        --pos;
    s->lines.insert(pos, Line{key, value, {}});
}

void IniFile::removeKey(const QString &section, const QString &key)
{
    if (Section *s = findSection(section))
        std::erase_if(s->lines, [&](const Line &l) {
            return !l.key.isEmpty() && l.key.compare(key, Qt::CaseInsensitive) == 0;
        });
}

QStringList IniFile::sections() const
{
    QStringList names;
    for (const Section &s : m_sections)
        if (!s.name.isEmpty())
            names << s.name;
    return names;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList names;
    if (const Section *s = findSection(section))
        for (const Line &line : s->lines)
            if (!line.key.isEmpty())
                names << line.key;
    return names;
}

QString IniFile::readString(const QString &path, const QString &section, const QString &key,
                            const QString &defaultValue)
{
    IniFile ini(path);
    if (!ini.load())
        return defaultValue;
    return ini.value(section, key, defaultValue);
}

bool IniFile::writeString(const QString &path, const QString &section, const QString &key, const QString &value)
{
    FileLock lock(QFileInfo(path).absolutePath());
    IniFile ini(path);
    if (!ini.load())
        return false;
    ini.setValue(section, key, value);
    return ini.save();
}

bool IniFile::writeStrings(const QString &path, const QList<Entry> &entries, QFileDevice::Permissions permissions)
{
    FileLock lock(QFileInfo(path).absolutePath());
    IniFile ini(path);
    if (!ini.load())
        return false;
    for (const Entry &entry : entries)
        ini.setValue(entry.section, entry.key, entry.value);
    return ini.save(permissions);
}
