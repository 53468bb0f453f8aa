#include "foundation/uCommon.h"

#include "foundation/IniFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUuid>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

const QString EmptyGUID = QStringLiteral("{00000000-0000-0000-0000-000000000000}");

QString NewKey()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

bool SameKey(const QVariant &value, const QString &key)
{
    return value.toString().compare(key, Qt::CaseInsensitive) == 0;
}

QString ExceptionText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

namespace {

// How long the desktop's opener may take to say whether a program took an address.
constexpr int kOpenerAnswerMs = 3000;

// Every program and library carries this text, so its version can be read from the file alone.
const char kVersionMarker[] = "KESTROVA_FILE_VERSION=";

QString readTextFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

} // namespace

// The stamp of the foundation library itself.
extern "C" __attribute__((used)) const char kestrova_foundation_version[] = "KESTROVA_FILE_VERSION=" KESTROVA_VERSION;

QString TvoSysInfo::DescribeOS(const QString &osRelease, const QString &kernelRelease)
{
    QString name;
    QString version;
    QString pretty;
    for (const QString &line : osRelease.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))))
            value = value.mid(1, value.size() - 2);
        const QString key = line.left(eq).trimmed();
        if (key == QLatin1String("PRETTY_NAME"))
            pretty = value;
        else if (key == QLatin1String("NAME"))
            name = value;
        else if (key == QLatin1String("VERSION"))
            version = value;
    }
    QString system = pretty;
    if (system.isEmpty())
        system = (name + QLatin1Char(' ') + version).trimmed();
    const QString kernel = kernelRelease.trimmed();
    if (system.isEmpty() && kernel.isEmpty())
        return QStringLiteral("Unknown");
    if (kernel.isEmpty())
        return system;
    if (system.isEmpty())
        return QStringLiteral("Linux kernel ") + kernel;
    return system + QStringLiteral(", kernel ") + kernel;
}

QString TvoSysInfo::GetOSName()
{
    QString osRelease = readTextFile(QStringLiteral("/etc/os-release"));
    if (osRelease.isEmpty())
        osRelease = readTextFile(QStringLiteral("/usr/lib/os-release"));
    struct utsname un {};
    const QString kernel = uname(&un) == 0 ? QString::fromLocal8Bit(un.release) : QString();
    return DescribeOS(osRelease, kernel);
}

QString TvoSysInfo::BuildVersion()
{
    return QStringLiteral(KESTROVA_VERSION);
}

QString TvoSysInfo::GetFileVersion(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    uchar *data = size > 0 ? file.map(0, size) : nullptr;
    if (!data)
        return {};
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), size);
    // The bare marker text itself is in the file too; the stamp is the one followed by a digit.
    const qsizetype markerSize = qsizetype(sizeof(kVersionMarker) - 1);
    QString version;
    for (qsizetype at = bytes.indexOf(QByteArrayView(kVersionMarker)); at >= 0 && version.isEmpty();
         at = bytes.indexOf(QByteArrayView(kVersionMarker), at + 1)) {
        const qsizetype start = at + markerSize;
        qsizetype end = start;
        while (end < bytes.size() && (std::isdigit(static_cast<unsigned char>(bytes[end])) || bytes[end] == '.')
               && end - start < 32)
            ++end;
        if (end > start)
            version = QString::fromLatin1(bytes.sliced(start, end - start));
    }
    file.unmap(data);
    return version;
}

QString TvoSysInfo::GetUserName()
{
    struct passwd pw {};
    struct passwd *result = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &result) != 0 || !result)
        return {};
    return QString::fromLocal8Bit(result->pw_name);
}

QString TvoSysInfo::GetComputerName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

QString TvoSysInfo::GetLocalIP()
{
    struct ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    QString last;
    for (struct ifaddrs *it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto *in = reinterpret_cast<const sockaddr_in *>(it->ifa_addr);
        if (ntohl(in->sin_addr.s_addr) >> 24 == 127)
            continue;
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
            last = QString::fromLatin1(text);
    }
    freeifaddrs(list);
    return last;
}

TvoLocalConfigFile::TvoLocalConfigFile(const QString &fileName)
{
    if (!fileName.isEmpty() && QFile::exists(fileName))
        m_fileName = fileName;
}

QString TvoLocalConfigFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    if (m_fileName.isEmpty())
        return defaultValue;
    return IniFile::readString(m_fileName, section, key, defaultValue);
}

bool TvoLocalConfigFile::WriteString(const QString &section, const QString &key, const QString &value) const
{
    if (m_fileName.isEmpty())
        return false;
    return IniFile::writeString(m_fileName, section, key, value);
}

QString TvoLocalConfigFile::ReadFromFile(const QString &fileName, const QString &section, const QString &key,
                                         const QString &defaultValue)
{
    return IniFile::readString(fileName, section, key, defaultValue);
}

bool OpenURL(const QString &url)
{
    if (url.isEmpty())
        return false;
    // The opener hands the address to the desktop's program and ends; an exit status other
    // than 0 says no program took it.
    auto *opener = new QProcess;
    opener->start(QStringLiteral("xdg-open"), {url});
    if (!opener->waitForStarted()) {
        delete opener;
        return false;
    }
    if (opener->waitForFinished(kOpenerAnswerMs)) {
        const bool opened = opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
        delete opener;
        return opened;
    }
    // Still at work (a program it runs in its place): it opened the address, and may go on.
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    return true;
}

bool RunProgram(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool ReplaceProgram(const QString &program, const QStringList &arguments, QString &error)
{
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    // Whatever waits in the standard streams would be lost with this image.
    std::fflush(nullptr);
    ::execv(argv[0], argv.data());
    error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool TryStrToBool(const QString &text, bool &value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        value = true;
        return true;
    }
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        value = false;
        return true;
    }
    bool number = false;
    const qlonglong n = trimmed.toLongLong(&number);
    if (number)
        value = n != 0;
    return number;
}

bool StrToBoolDef(const QString &text, bool defaultValue)
{
    bool value = defaultValue;
    return TryStrToBool(text, value) ? value : defaultValue;
}

QString DateToSQLLiteral(const QDate &date)
{
    if (!date.isValid())
        return QStringLiteral("#01/01/1900#");
    return QStringLiteral("#%1/%2/%3#")
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString GetSpecialFolder(QObject *, int folderId)
{
    QStandardPaths::StandardLocation location;
    switch (static_cast<SpecialFolder>(folderId)) {
    case SpecialFolder::Desktop: location = QStandardPaths::DesktopLocation; break;
    case SpecialFolder::Personal: location = QStandardPaths::DocumentsLocation; break;
    case SpecialFolder::AppData: location = QStandardPaths::GenericConfigLocation; break;
    case SpecialFolder::LocalAppData: location = QStandardPaths::GenericDataLocation; break;
    case SpecialFolder::CommonAppData: return QStringLiteral("/var/lib");
    default: return {};
    }
    return QStandardPaths::writableLocation(location);
}

QString GetTempFileNameIn(const QString &folder)
{
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral("RvXXXXXX.tmp")));
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    return file.fileName();
}

namespace {

bool IsSeparatingBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= ' ';
}

} // namespace

QStringList SplitCommaText(const QString &line)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && IsSeparatingBlank(line[i]))
        ++i;
    while (i < n) {
        QString field;
        if (line[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
        } else {
            while (i < n && !IsSeparatingBlank(line[i]) && line[i] != QLatin1Char(','))
                field += line[i++];
        }
        fields << field;
        while (i < n && IsSeparatingBlank(line[i]))
            ++i;
        if (i < n && line[i] == QLatin1Char(',')) {
            // A comma at the very end still ends a field: the empty one after it.
            if (i + 1 == n)
                fields << QString();
            do
                ++i;
            while (i < n && IsSeparatingBlank(line[i]));
        }
    }
    return fields;
}

std::optional<quint16> ParsePort(const QString &text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (const QChar c : text) {
        // By hand: toInt would take blanks, a sign and digits of other scripts.
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        port = port * 10 + (c.unicode() - u'0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

QString ConnectionStringItem(const QString &name, const QString &value)
{
    const bool quote = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))
                       || value != value.trimmed();
    if (!quote)
        return name + QLatin1Char('=') + value + QLatin1Char(';');
    return name + QStringLiteral("=\"") + QString(value).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QStringLiteral("\";");
}

qsizetype ReadConnectionStringValue(QStringView text, qsizetype from, QString *value)
{
    const qsizetype n = text.size();
    qsizetype j = from;
    while (j < n && text[j] == QLatin1Char(' '))
        ++j;
    QString read;
    if (j < n && (text[j] == QLatin1Char('"') || text[j] == QLatin1Char('\''))) {
        const QChar quote = text[j++];
        while (j < n) {
            if (text[j] == quote) {
                if (j + 1 < n && text[j + 1] == quote) {
                    read += quote;
                    j += 2;
                    continue;
                }
                ++j;
                break;
            }
            read += text[j++];
        }
        // Anything between the closing quote and the ";" belongs to no value.
        while (j < n && text[j] != QLatin1Char(';'))
            ++j;
    } else {
        const qsizetype start = j;
        while (j < n && text[j] != QLatin1Char(';'))
            ++j;
        read = text.mid(start, j - start).trimmed().toString();
    }
    if (value)
        *value = read;
    return j;
}

QString MaskConnectionPassword(const QString &text, const QString &mask)
{
    // The key must start the text or follow a non-word character, so "OldPassword" stays.
    static const QRegularExpression item(QStringLiteral("(^|[^A-Za-z0-9_])(password|pwd)(\\s*=)"),
                                         QRegularExpression::CaseInsensitiveOption);
    // Put together by hand: as a replacement text, a backslash in the mask would be read.
    QString masked;
    qsizetype done = 0;
    QRegularExpressionMatch match;
    while ((match = item.match(text, done)).hasMatch()) {
        masked += QStringView(text).mid(done, match.capturedEnd(3) - done);
        masked += mask;
        done = ReadConnectionStringValue(text, match.capturedEnd(3));
    }
    masked += QStringView(text).mid(done);
    return masked;
}

bool WritePrivateFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                         && file.write(bytes) == bytes.size() && file.commit();
    if (!written && error)
        *error = file.errorString();
    return written;
}
