#include "uQorServerSettings.h"

#include "dataaccess/TDAConnectionStringParser.h"
#include "foundation/IniFile.h"
#include "foundation/uCommon.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

const QString kDataAccess = QStringLiteral("Data Access");
const QString kServer = QStringLiteral("Server");
const QString kDiscovery = QStringLiteral("Discovery Service");
const QString kUseDiscovery = QStringLiteral("Use discovery");

// "TRUE"/"FALSE" in any case, or a number where 0 is false; anything else keeps the default.
bool ReadBoolean(const QString &text, bool defaultValue)
{
    const QString value = text.trimmed();
    if (value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool number = false;
    const long long n = value.toLongLong(&number);
    return number ? n != 0 : defaultValue;
}

} // namespace

TQorServerSettings::TQorServerSettings(const QString &filePath)
{
    SetFilePath(filePath);
}

void TQorServerSettings::SetFilePath(const QString &filePath)
{
    if (!QFileInfo(filePath).isFile())
        throw std::runtime_error((QStringLiteral("Unable to locate ") + filePath).toStdString());
    m_filePath = filePath;
    Load();
}

void TQorServerSettings::Load()
{
    IniFile file(m_filePath);
    if (!file.load())
        throw std::runtime_error(file.errorString().toStdString());
    m_dataSource = file.value(kDataAccess, QStringLiteral("DataSource"));
    m_serverName = ExtractServerName(m_dataSource);
    IntegratedSecurity = m_dataSource.contains(QLatin1String("Integrated Security"));
    m_serverPort = file.value(kServer, QStringLiteral("Port"), QStringLiteral("8099"));
    m_discoveryPort = file.value(kDiscovery, QStringLiteral("Port"), QStringLiteral("8098"));
    // A value that is no boolean text leaves discovery on, as a missing one does.
    m_useDiscovery = ReadBoolean(file.value(kDiscovery, kUseDiscovery, QStringLiteral("TRUE")), true);

    m_userName.clear();
    m_password.clear();
    m_database = DefaultDatabase;
    try {
        const TDAConnectionStringParser parser(m_dataSource);
        m_userName = parser.UserID().isEmpty() ? parser.AuxParam(QStringLiteral("User ID")) : parser.UserID();
        m_password = parser.Password();
        const QString database = parser.Database().isEmpty() ? parser.AuxParam(QStringLiteral("Initial Catalog")) : parser.Database();
        if (!database.isEmpty())
            m_database = database;
    } catch (const std::exception &) {
        // A data source that is no connection string gives no user and the default database.
    }
}

QString TQorServerSettings::ExtractServerName(const QString &dataSource)
{
    if (dataSource.isEmpty())
        return {};
    for (const QString &key : {QStringLiteral("Server="), QStringLiteral("Data Source=")}) {
        const qsizetype at = dataSource.indexOf(key);
        if (at < 0)
            continue;
        const qsizetype start = at + key.size();
        const qsizetype end = dataSource.indexOf(QLatin1Char(';'), start);
        if (end >= 0 && end > start)
            return dataSource.mid(start, end - start);
    }
    return {};
}

QString TQorServerSettings::DataSourceText(bool integratedSecurity, const QString &serverName, const QString &database,
                                           const QString &userName, const QString &password)
{
    QString text = QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;");
    if (integratedSecurity)
        return text + QStringLiteral("Integrated Security=SSPI;") + ConnectionStringItem(QStringLiteral("Server"), serverName)
               + ConnectionStringItem(QStringLiteral("Database"), database);
    text += ConnectionStringItem(QStringLiteral("Server"), serverName);
    if (!userName.isEmpty())
        text += ConnectionStringItem(QStringLiteral("UserID"), userName);
    if (!password.isEmpty())
        text += ConnectionStringItem(QStringLiteral("Password"), password);
    return text + ConnectionStringItem(QStringLiteral("Database"), database);
}

bool TQorServerSettings::IsValidPort(const QString &text)
{
    return ParsePort(text).has_value();
}

void TQorServerSettings::CreateFile(const QString &filePath)
{
    if (QFileInfo::exists(filePath))
        return;
    QFile shipped(QStringLiteral(":/morvane/Settings.ini"));
    if (!shipped.open(QIODevice::ReadOnly))
        throw std::runtime_error("The default settings are missing from this program");
    QString error;
    if (!WritePrivateFile(filePath, shipped.readAll(), &error))
        throw std::runtime_error((QStringLiteral("Unable to write ") + filePath + QStringLiteral(": ") + error).toStdString());
}

void TQorServerSettings::Save() const
{
    const QList<IniFile::Entry> entries = {
        {kDataAccess, QStringLiteral("DataSource"),
         DataSourceText(IntegratedSecurity, m_serverName, m_database, m_userName, m_password)},
        {kServer, QStringLiteral("Port"), m_serverPort},
        {kDiscovery, kUseDiscovery, m_useDiscovery ? QStringLiteral("TRUE") : QStringLiteral("FALSE")},
        {kDiscovery, QStringLiteral("Port"), m_discoveryPort},
    };
    if (!IniFile::writeStrings(m_filePath, entries, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw std::runtime_error((QStringLiteral("Unable to write ") + m_filePath).toStdString());
}
