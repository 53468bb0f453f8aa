#include "tools/tolvik/uQorSearches.h"

#include "tools/tolvik/uQorPathHelper.h"
#include "tools/tolvik/uQorXMLProsessor.h"

#include "foundation/FileResolver.h"
#include "foundation/IniFile.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <map>

#include <sys/stat.h>

namespace {

constexpr int kCommandTimeoutMs = 10000;

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

void setText(QDomElement element, const QString &text)
{
    while (element.hasChildNodes())
        element.removeChild(element.firstChild());
    element.appendChild(element.ownerDocument().createTextNode(text));
}

struct KeyNode
{
    QString name;
    QString section; // the store's section that holds this key's values; empty when none
    std::map<QString, KeyNode> children; // by name in upper case: the order keys are listed in
};

void writeKey(QDomElement parent, const IniFile &store, const KeyNode &node)
{
    QDomDocument document = parent.ownerDocument();
    for (const auto &[upper, child] : node.children) {
        QDomElement key = document.createElement(QStringLiteral("key"));
        key.setAttribute(QStringLiteral("name"), child.name);
        parent.appendChild(key);
        // One key that fails costs that key, not the rest of the dump.
        try {
            if (!child.section.isEmpty())
                for (const QString &valueName : store.keys(child.section)) {
                    QDomElement value = document.createElement(QStringLiteral("value"));
                    value.setAttribute(QStringLiteral("name"), valueName);
                    value.setAttribute(QStringLiteral("type"), TRegSearch::TypeName(TRegSearch::ValueType::String));
                    const QString stored = store.value(child.section, valueName);
                    // Bytes that are no text came in as replacement characters.
                    const QString text = TQorSecrets::IsSecretName(valueName) ? TQorSecrets::Hidden
                                       : stored.contains(QChar::ReplacementCharacter)
                                           ? TRegSearch::UnreadableValueText
                                           : TQorSecrets::MaskConnectionString(
                                                 TRegSearch::ValueText(TRegSearch::ValueType::String, stored.toUtf8()));
                    if (!text.isEmpty())
                        value.appendChild(document.createTextNode(text));
                    key.appendChild(value);
                }
            writeKey(key, store, child);
        } catch (const std::exception &error) {
            key.setAttribute(QStringLiteral("exception"), QString::fromUtf8(error.what()));
        }
    }
}

int serviceState(const QString &active, const QString &sub)
{
    if (active == QLatin1String("active") || active == QLatin1String("reloading"))
        return sub == QLatin1String("exited") ? 1 : 4;
    if (active == QLatin1String("activating"))
        return 2;
    if (active == QLatin1String("deactivating"))
        return 3;
    if (active == QLatin1String("inactive") || active == QLatin1String("failed"))
        return 1;
    return 0;
}

QString runCommand(const QString &program, const QStringList &arguments, bool &ok)
{
    QProcess process;
    process.start(program, arguments);
    ok = process.waitForFinished(kCommandTimeoutMs) && process.exitStatus() == QProcess::NormalExit
      && process.exitCode() == 0;
    if (!ok)
        process.kill();
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

} // namespace

// Support has no use for stored secrets; the report must not carry them.
bool TQorSecrets::IsSecretName(const QString &name)
{
    for (const char *word : {"password", "pwd", "secret", "key"})
        if (name.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

QString TQorSecrets::MaskConnectionString(const QString &text)
{
    return MaskConnectionPassword(text, Hidden);
}

QString TQorSecrets::MaskLine(const QString &line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals > 0 && IsSecretName(line.left(equals)))
        return line.left(equals + 1) + Hidden;
    return MaskConnectionString(line);
}

QDomElement TQorSearch::Add(QDomElement parent, const QString &name) const
{
    QDomElement element = parent.ownerDocument().createElement(name);
    parent.appendChild(element);
    return element;
}

void TQorSearch::SetTaskText(const QString &text) const
{
    if (ITaskProgress *wizard = m_processor.Wizard())
        wizard->SetTaskText(text, false);
}

void TQorSearch::SetProgress(const QString &text) const
{
    if (ITaskProgress *wizard = m_processor.Wizard())
        wizard->SetProgress(text, 0, 0);
}

// ---- files ----

void TQorFileSearch::Run()
{
    const QDomElement folders = m_task.firstChildElement(QStringLiteral("searchdirs"));
    if (folders.isNull())
        throw EQorTaskError("Error in xml -> no search directories");
    const QDomElement filter = m_task.firstChildElement(QStringLiteral("filter"));
    const auto on = [&filter](const char *name) { return filter.attribute(QLatin1String(name)) == QLatin1String("true"); };
    m_view = filter.attribute(QStringLiteral("action")) == QLatin1String("view");
    m_version = on("versionnumber");
    m_date = on("filedate");
    m_attributes = on("attributes");
    QString mask = m_task.firstChildElement(QStringLiteral("wildcard")).text().trimmed();
    if (mask.isEmpty())
        mask = QStringLiteral("*");
    for (QDomElement entry = folders.firstChildElement(); !entry.isNull(); entry = entry.nextSiblingElement()) {
        const QString folder = TQorPathHelper::ExpandPath(entry.attribute(QStringLiteral("dir")));
        if (!QFileInfo(folder).isDir())
            break;
        if (!TQorPathHelper::MayRead(folder)) {
            AddToLog(llWarning, QStringLiteral("Tolvik"), QStringLiteral("FileSearch"),
                     QStringLiteral("%1 lies outside the folders a task may read; not searched").arg(folder));
            continue;
        }
        SetTaskText(mask);
        Scan(folder, mask, entry.attribute(QStringLiteral("recursive")) == QLatin1String("true"));
    }
}

void TQorFileSearch::Scan(const QString &folder, const QString &mask, bool recursive)
{
    SetProgress(QFileInfo(folder).fileName());
    const QDir dir(folder);
    for (const QFileInfo &file : dir.entryInfoList({mask}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (TQorPathHelper::MayRead(file.absoluteFilePath()))
            AddFile(file.absoluteFilePath());
    if (!recursive)
        return;
    for (const QFileInfo &sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Name))
        if (TQorPathHelper::MayRead(sub.absoluteFilePath()))
            Scan(sub.absoluteFilePath(), mask, true);
}

void TQorFileSearch::AddFile(const QString &path)
{
    QDomElement file = Add(m_report, QStringLiteral("file"));
    file.setAttribute(QStringLiteral("filename"), path);
    struct stat status{};
    const bool regular = ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
    const bool special = !regular && QFileInfo::exists(path);
    if (special) {
        file.setAttribute(QStringLiteral("exception"), SpecialText);
    } else if (m_view) {
        QFile content(path);
        if (!content.exists())
            throw EQorTaskError(("Missing file " + path).toStdString());
        if (content.open(QIODevice::ReadOnly)) {
            QDomElement details = Add(file, QStringLiteral("Details"));
            QStringList lines = QString::fromLocal8Bit(content.readAll()).split(QLatin1Char('\n'));
            if (!lines.isEmpty() && lines.last().isEmpty())
                lines.removeLast();
            for (QString line : lines) {
                if (line.endsWith(QLatin1Char('\r')))
                    line.chop(1);
                Add(details, QStringLiteral("Line")).setAttribute(QStringLiteral("value"), TQorSecrets::MaskLine(line));
            }
        } else {
            // One file support cannot read is worth knowing, not worth the rest of the report.
            file.setAttribute(QStringLiteral("exception"), UnreadableText + content.errorString());
        }
    }
    if (m_version && !special)
        file.setAttribute(QStringLiteral("versionnumber"), TvoSysInfo::GetFileVersion(path));
    if (m_date)
        file.setAttribute(QStringLiteral("filedate"),
                          QFileInfo(path).lastModified().toLocalTime().toString(QStringLiteral("yyyyMMdd hh:mm")));
    if (m_attributes)
        file.setAttribute(QStringLiteral("attributes"), AttributeText(path));
}

QString TQorFileSearch::AttributeText(const QString &path)
{
    const QFileInfo info(path);
    const QFileDevice::Permissions writable = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QString text = QStringLiteral("[");
    if (!(info.permissions() & writable))
        text += QStringLiteral(" readonly ");
    // Linux files carry no archive or system flag.
    if (info.fileName().startsWith(QLatin1Char('.')))
        text += QStringLiteral(" hidden ");
    return text + QStringLiteral(" ]");
}

// ---- registry ----

void TRegSearch::Run()
{
    SetTaskText(QStringLiteral("Registry"));
    try {
        const QDomElement user = Add(m_report, QStringLiteral("CURRENT_USER"));
        const QDomElement machine = Add(m_report, QStringLiteral("HKEY_LOCAL_MACHINE"));
        WriteSubkeys(user, HKEY_CURRENT_USER, QStringLiteral("Software\\Orbek"));
        WriteSubkeys(machine, HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Orbek"));
    } catch (const std::exception &error) {
        setText(m_report, QStringLiteral("Exception : ") + QString::fromStdString(error.what()));
    }
}

void TRegSearch::WriteSubkeys(QDomElement parent, quint64 root, const QString &keyPath)
{
    const QString storePath = TQorReg::StorePath(HKEY(root));
    if (storePath.isEmpty() || !QFileInfo(storePath).isFile())
        return;
    IniFile store(storePath);
    if (!store.load()) {
        setText(parent, QStringLiteral("Exception ") + keyPath);
        return;
    }
    const QString start = TQorReg::KeySection(keyPath);
    KeyNode top;
    for (const QString &section : store.sections()) {
        const QString name = TQorReg::KeySection(section);
        if (!name.startsWith(start + QLatin1Char('\\'), Qt::CaseInsensitive))
            continue;
        KeyNode *node = &top;
        for (const QString &part : name.mid(start.size() + 1).split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
            KeyNode &child = node->children[part.toUpper()];
            if (child.name.isEmpty())
                child.name = part;
            node = &child;
        }
        if (node != &top)
            node->section = section;
    }
    writeKey(parent, store, top);
}

QString TRegSearch::TypeName(ValueType type)
{
    switch (type) {
    case ValueType::String: return QStringLiteral("string");
    case ValueType::ExpandString: return QStringLiteral("expanded string");
    case ValueType::Integer: return QStringLiteral("integer");
    case ValueType::Binary: return QStringLiteral("binary");
    case ValueType::Unknown: break;
    }
    return QStringLiteral("Unknown");
}

QString TRegSearch::ValueText(ValueType type, const QByteArray &data)
{
    switch (type) {
    case ValueType::String: {
        const QString value = QString::fromUtf8(data);
        if (value.isEmpty())
            return {};
        return QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    }
    case ValueType::ExpandString: return QString::fromUtf8(data);
    case ValueType::Integer: {
        qint32 value = 0;
        for (qsizetype i = 0; i < std::min<qsizetype>(data.size(), 4); ++i)
            value |= qint32(quint32(quint8(data[i])) << (8 * i));
        return QString::number(value);
    }
    case ValueType::Binary: {
        QString text;
        for (const char byte : data)
            text += QStringLiteral("%1 ").arg(QString::number(quint8(byte), 16).toUpper(), 2, QLatin1Char(' '));
        return text;
    }
    case ValueType::Unknown: break;
    }
    return {};
}

// ---- system information ----

void TSysInfoSearch::Run()
{
    SetTaskText(QStringLiteral("System information"));
    QDomElement last = m_report;
    try {
        const QDomElement software = Add(m_report, QStringLiteral("Software"));
        last = software;
        const QLocale locale = QLocale::system();
        const QString client = qEnvironmentVariable("SSH_CLIENT").section(QLatin1Char(' '), 0, 0);
        const std::pair<const char *, std::function<QString()>> items[] = {
            {"Operating_system", [] { return TvoSysInfo::GetOSName(); }},
            {"Client", [&client] { return client; }},
            {"Language", [&locale] {
                 return QStringLiteral("%1 (%2)").arg(QLocale::languageToString(locale.language()),
                                                      QLocale::territoryToString(locale.territory()));
             }},
            {"System_up_time", [] { return UpTimeText(readText(QStringLiteral("/proc/uptime"))); }},
            {"Cpu", [] { return CpuText(readText(QStringLiteral("/proc/cpuinfo"))); }},
            {"Memory", [] { return MemoryText(readText(QStringLiteral("/proc/meminfo"))); }},
        };
        for (const auto &[name, value] : items) {
            last = Add(software, QString::fromLatin1(name));
            last.appendChild(last.ownerDocument().createTextNode(value()));
        }
    } catch (const std::exception &error) {
        setText(last, QStringLiteral("Exception : ") + QString::fromStdString(error.what()));
    }
}

QString TSysInfoSearch::UpTimeText(const QString &procUptime)
{
    bool ok = false;
    const qint64 seconds = qint64(procUptime.section(QLatin1Char(' '), 0, 0).toDouble(&ok));
    if (!ok)
        return QStringLiteral("unknown");
    return QStringLiteral("%1 days, %2:%3:%4")
        .arg(seconds / 86400)
        .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString TSysInfoSearch::CpuText(const QString &procCpuinfo)
{
    QString model;
    int count = 0;
    for (const QString &line : procCpuinfo.split(QLatin1Char('\n'))) {
        const QString key = line.section(QLatin1Char(':'), 0, 0).trimmed();
        if (key == QLatin1String("processor"))
            ++count;
        else if (key == QLatin1String("model name") && model.isEmpty())
            model = line.section(QLatin1Char(':'), 1).trimmed();
    }
    if (model.isEmpty())
        model = QStringLiteral("unknown processor");
    return QStringLiteral("%1(%2)").arg(model).arg(std::max(count, 1));
}

QString TSysInfoSearch::MemoryText(const QString &procMeminfo)
{
    const auto kilobytes = [&procMeminfo](const char *key) -> qint64 {
        const QRegularExpression pattern(QStringLiteral("^%1:\\s*(\\d+)").arg(QLatin1String(key)),
                                         QRegularExpression::MultilineOption);
        return pattern.match(procMeminfo).captured(1).toLongLong();
    };
    return QStringLiteral("%1 MB, %2 MB free").arg(kilobytes("MemTotal") / 1024).arg(kilobytes("MemAvailable") / 1024);
}

// ---- objects ----

void TQorObjectSearch::Run()
{
    const QDomElement details = m_task.firstChildElement(QStringLiteral("objectdetails"));
    const QString method = details.attribute(QStringLiteral("methode"));
    const QString simpleName = details.attribute(QStringLiteral("simplename"));
    SetTaskText(simpleName);
    try {
        QDomElement scan = Add(m_report, QStringLiteral("objectscan"));
        scan.setAttribute(QStringLiteral("simplename"), simpleName);
        const QDomElement parameters = method.isEmpty() ? QDomElement() : m_task.firstChildElement(method);
        if (method.toUpper() == QLatin1String("REGSCAN")) {
            if (parameters.attribute(QStringLiteral("enumroot")) == QLatin1String("HKEY_LOCAL_MACHINE"))
                TRegSearch::WriteSubkeys(scan, HKEY_LOCAL_MACHINE, parameters.attribute(QStringLiteral("enumstart")));
        } else if (method.toUpper() == QLatin1String("OBJECTLOAD")) {
            // In place of an automation object: a program or library of the system beside the tool.
            const QString name = parameters.attribute(QStringLiteral("classname"));
            const QString folder = TQorPathHelper::Folders().Tool;
            QString found;
            if (FileResolver::isPlainFileName(name))
                for (const QString &candidate : {name, name + QStringLiteral(".so"), QStringLiteral("lib") + name + QStringLiteral(".so"),
                                                 name + QStringLiteral(".qor")}) {
                    const QString path = FileResolver::resolve(folder, candidate);
                    if (QFileInfo(path).isFile() && TQorPathHelper::MayRead(path)) {
                        found = path;
                        break;
                    }
                }
            if (found.isEmpty()) {
                scan.setAttribute(QStringLiteral("Exception"),
                                  QStringLiteral("No program or library named \"%1\" in %2").arg(name, folder));
            } else {
                scan.setAttribute(QStringLiteral("Loaded"), QStringLiteral("success"));
                scan.setAttribute(QStringLiteral("version"), TvoSysInfo::GetFileVersion(found));
            }
        }
    } catch (const std::exception &error) {
        setText(m_report, QStringLiteral("exception : ") + QString::fromStdString(error.what()));
    }
}

// ---- the database client ----

void TQorSQLServerSearch::Run()
{
    SetTaskText(QStringLiteral("SQL server"));
    QDomElement probe = Add(m_report, QStringLiteral("SQLDMO"));
    // The database driver stands on the PostgreSQL client library; without it nothing connects.
    QLibrary client(QStringLiteral("pq"), 5);
    if (client.load() && client.resolve("PQlibVersion")) {
        probe.setAttribute(QStringLiteral("available"), QStringLiteral("true"));
    } else {
        probe.setAttribute(QStringLiteral("available"), QStringLiteral("false"));
        probe.setAttribute(QStringLiteral("exception"), client.errorString());
    }
}

// ---- services ----

void TQorProcessSearch::Run()
{
    SetTaskText(QStringLiteral("Services"));
    bool ok = false;
    const QString units = runCommand(QStringLiteral("systemctl"),
                                     {QStringLiteral("list-units"), QStringLiteral("--type=service"), QStringLiteral("--all"),
                                      QStringLiteral("--plain"), QStringLiteral("--no-legend"), QStringLiteral("--no-pager")},
                                     ok);
    if (!ok)
        return;
    QStringList arguments{QStringLiteral("show"), QStringLiteral("--no-pager"),
                          QStringLiteral("--property=Id,Description,ActiveState,SubState,CanStop")};
    for (const QString &line : units.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString unit = line.trimmed().section(QLatin1Char(' '), 0, 0);
        if (unit.endsWith(QLatin1String(".service")) && arguments.size() < MaxServices + 3)
            arguments << unit;
    }
    if (arguments.size() == 3)
        return;
    const QString shown = runCommand(QStringLiteral("systemctl"), arguments, ok);
    if (!ok)
        return;
    for (const Service &service : ParseServices(shown)) {
        QDomElement element = Add(m_report, QStringLiteral("service"));
        element.setAttribute(QStringLiteral("displayname"), service.DisplayName);
        element.setAttribute(QStringLiteral("servicename"), service.ServiceName);
        element.setAttribute(QStringLiteral("type"), TypeText(service.Type));
        element.setAttribute(QStringLiteral("state"), StateText(service.State));
        element.setAttribute(QStringLiteral("controls"), ControlsText(service.Controls));
    }
}

QList<TQorProcessSearch::Service> TQorProcessSearch::ParseServices(const QString &showOutput)
{
    QList<Service> services;
    QMap<QString, QString> fields;
    const auto flush = [&] {
        if (fields.value(QStringLiteral("Id")).isEmpty() || services.size() >= MaxServices) {
            fields.clear();
            return;
        }
        Service service;
        service.ServiceName = fields.value(QStringLiteral("Id"));
        if (service.ServiceName.endsWith(QLatin1String(".service")))
            service.ServiceName.chop(8);
        service.DisplayName = fields.value(QStringLiteral("Description"));
        // Every systemd service runs in processes of its own.
        service.Type = 16;
        service.State = serviceState(fields.value(QStringLiteral("ActiveState")), fields.value(QStringLiteral("SubState")));
        service.Controls = fields.value(QStringLiteral("CanStop")) == QLatin1String("yes") ? 1 : 0;
        services << service;
        fields.clear();
    };
    for (const QString &line : showOutput.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty()) {
            flush();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            fields.insert(line.left(eq), line.mid(eq + 1));
    }
    flush();
    return services;
}

QString TQorProcessSearch::TypeText(int type)
{
    switch (type) {
    case 1: return QStringLiteral("Kernel driver");
    case 2: return QStringLiteral("File system driver");
    case 16: return QStringLiteral("Win32 Process");
    case 32: return QStringLiteral("Win32 Process - Shared process");
    case 256: return QStringLiteral("Interactive process");
    default: return QStringLiteral("-");
    }
}

QString TQorProcessSearch::StateText(int state)
{
    switch (state) {
    case 1: return QStringLiteral("The service is not running.");
    case 2: return QStringLiteral("The service is starting.");
    case 3: return QStringLiteral("The service is stopping.");
    case 4: return QStringLiteral("The service is running.");
    case 5: return QStringLiteral("The service continue is pending.");
    case 6: return QStringLiteral("The service pause is pending.");
    case 7: return QStringLiteral("The service is paused.");
    default: return QStringLiteral("-");
    }
}

QString TQorProcessSearch::ControlsText(int controls)
{
    switch (controls) {
    case 1: return QStringLiteral("The service can be stopped.");
    case 2: return QStringLiteral("The service can be paused and continued.");
    case 4: return QStringLiteral("The service is notified when system shutdown occurs.");
    default: return QStringLiteral("-");
    }
}
