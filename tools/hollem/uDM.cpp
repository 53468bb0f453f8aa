#include "uDM.h"

#include "dataaccess/TDAConnectionManager.h"
#include "foundation/FileResolver.h"
#include "foundation/IniFile.h"
#include "server/database/DatabaseBackup.h"
#include "server/database/DatabaseMaintenance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace {

const QString kConnection = QStringLiteral("MSSQL");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh.mm.ss");
const QString kSeparator = QString(34, QLatin1Char('#'));

QString Message(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

TDM::TDM(const QString &programFolder, Clock clock)
    : m_folder(programFolder.endsWith(QLatin1Char('/')) ? programFolder : programFolder + QLatin1Char('/'))
    , m_clock(std::move(clock))
    , m_connections(std::make_unique<TDAConnectionManager>())
    , m_logFile(m_folder + QStringLiteral("backup.txt"))
{
    AppendLine(kSeparator + QStringLiteral("- ") + QLocale::system().toString(m_clock().date(), QLocale::ShortFormat)
               + QStringLiteral(" -") + kSeparator);
}

TDM::~TDM()
{
    Disconnect();
}

bool TDM::IsSilent(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments.at(1).toLower().contains(QLatin1String("backup"));
}

QString TDM::BackupFileName(const QDateTime &time, int copy)
{
    const QString copyText = copy > 1 ? QStringLiteral("-%1").arg(copy) : QString();
    return QStringLiteral("SQLBackup(%1)%2.bak").arg(time.toString(kTimeFormat), copyText);
}

QList<TBackupEntry> TDM::ListBackups(const QString &backupFolder)
{
    static const QRegularExpression named(QStringLiteral("^SQLBackup\\((\\d{4}-\\d{2}-\\d{2} \\d{2}\\.\\d{2}\\.\\d{2})\\)(?:-(\\d+))?\\.bak$"),
                                          QRegularExpression::CaseInsensitiveOption);
    QList<TBackupEntry> entries;
    for (const QString &name : FileResolver::match(backupFolder, QStringLiteral("*.bak"))) {
        const QFileInfo info(QDir(backupFolder).filePath(name));
        TBackupEntry entry;
        entry.Path = info.filePath();
        entry.FileName = name;
        entry.Time = info.lastModified();
        const QRegularExpressionMatch match = named.match(name);
        if (match.hasMatch()) {
            const QDateTime inName = QDateTime::fromString(match.captured(1), kTimeFormat);
            if (inName.isValid()) {
                entry.Time = inName;
                entry.Copy = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
            }
        }
        // A copied or restored file has a new change time; the name keeps when it was made.
        entry.CreatedText = QLocale::system().toString(entry.Time.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                            + QLocale::system().toString(entry.Time.time(), QLocale::LongFormat);
        entries << entry;
    }
    std::stable_sort(entries.begin(), entries.end(), [](const TBackupEntry &a, const TBackupEntry &b) {
        return a.Time != b.Time ? a.Time > b.Time : a.Copy > b.Copy;
    });
    return entries;
}

QString TDM::BackupFolder() const
{
    return FileResolver::resolve(m_folder, QStringLiteral("Backup"));
}

QString TDM::DataSource() const
{
    return IniFile::readString(FileResolver::resolve(m_folder, QStringLiteral("settings.ini")), QStringLiteral("Data Access"),
                               QStringLiteral("DataSource"), QString());
}

void TDM::Connect()
{
    const QString dataSource = DataSource();
    if (dataSource.isEmpty())
        throw std::runtime_error(NoConnectionText.toStdString());
    m_connections->AddConnection(kConnection, dataSource);
    m_connection = m_connections->NewConnection(kConnection);
}

bool TDM::Connected() const
{
    return m_connection && m_connection->GetConnected();
}

void TDM::Initialize()
{
    Log(QStringLiteral("Initialize"), QStringLiteral("start"));
    // A server that never made a backup has no folder yet; the list is then empty.
    if (!QDir().mkpath(BackupFolder()))
        Log(QStringLiteral("Initialize"), QStringLiteral("Cannot create the backup folder ") + BackupFolder());
    try {
        RemoveLeftovers();
    } catch (const std::exception &e) {
        Log(QStringLiteral("RemoveLeftovers"), Message(e));
    }
    try {
        Connect();
    } catch (const std::exception &) {
        // The window opens all the same: a restore needs no live database, a backup connects again.
    }
}

QStringList TDM::RemoveLeftovers()
{
    const QString dataSource = DataSource();
    if (dataSource.isEmpty())
        return {};
    const TDatabaseBackup backup(dataSource);
    TDAEADOConnection maintenance;
    maintenance.SetConnectionString(DatabaseMaintenance::WithDatabase(dataSource, TDatabaseBackup::MaintenanceDatabase));
    maintenance.Open();
    auto names = maintenance.NewDataset(QStringLiteral("SELECT datname FROM pg_database ORDER BY 1"));
    names->Open();
    QStringList removed;
    for (const QVariantList &row : names->Rows()) {
        const QString name = row.value(0).toString();
        // Only what a restore of this database made; a database put aside by a swap is not touched.
        if (!DatabaseMaintenance::IsSideName(name, backup.DatabaseName(), QStringLiteral("restore")))
            continue;
        // A restore at work, perhaps of a second window, holds its claim. Any session left in a
        // database nobody claims (an autovacuum worker, a killed restore's) is ended with it.
        if (!TDatabaseBackup::ClaimSide(maintenance, name)) {
            Log(QStringLiteral("RemoveLeftovers"), name + QStringLiteral(" kept: a restore is at work in it"));
            continue;
        }
        try {
            DatabaseMaintenance::Drop(maintenance, name);
            Log(QStringLiteral("RemoveLeftovers"), name);
            removed << name;
        } catch (const std::exception &e) {
            Log(QStringLiteral("RemoveLeftovers"), name + QStringLiteral(" kept: ") + Message(e));
        }
        TDatabaseBackup::ReleaseSide(maintenance, name);
    }
    return removed;
}

void TDM::Disconnect()
{
    if (m_connection)
        m_connection->Close();
    m_connection.reset();
}

void TDM::Log(const QString &first, const QString &second)
{
    AppendLine(QStringLiteral("#%1\t%2\t%3").arg(QLocale::system().toString(m_clock(), QLocale::ShortFormat), first, second));
}

void TDM::AppendLine(const QString &line)
{
    m_log << line;
    // Each line reaches the file as it happens, after every earlier run's: a run that is killed
    // keeps what it did so far. A file that could not be opened is tried again at the next line.
    if (!m_logFile.isOpen() && !m_logFile.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    m_logFile.write((line + QLatin1Char('\n')).toUtf8());
    m_logFile.flush();
}

QString TDM::BackupDatabase()
{
    try {
        // The database may have come back since the window opened.
        if (!Connected())
            Connect();
        const QString folder = BackupFolder();
        if (!QDir().mkpath(folder))
            throw std::runtime_error(QStringLiteral("Cannot create the backup folder %1").arg(folder).toStdString());
        // The name is taken before the backup starts, so two backups never share a file.
        const QDateTime now = m_clock();
        QString path;
        for (int copy = 1; path.isEmpty(); ++copy) {
            const QString candidate = QDir(folder).filePath(BackupFileName(now, copy));
            QFile reserved(candidate);
            if (reserved.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                path = candidate;
            else if (!reserved.exists())
                throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(candidate, reserved.errorString()).toStdString());
        }
        try {
            TDatabaseBackup(m_connection->GetConnectionString()).Backup(path);
        } catch (...) {
            QFile::remove(path);
            throw;
        }
        Log(QStringLiteral("BackupDatabase"), path);
        return path;
    } catch (const std::exception &e) {
        Log(QStringLiteral("BackupDatabase"), Message(e));
        throw;
    }
}

void TDM::RestoreDatabase(const QString &path)
{
    try {
        // A restore is for a database that is broken or gone: it needs no live connection, and
        // it makes the database when there is none.
        const QString dataSource = DataSource();
        if (dataSource.isEmpty())
            throw std::runtime_error(NoConnectionText.toStdString());
        // Its own session would be ended with every other one when the databases swap.
        Disconnect();
        try {
            TDatabaseBackup(dataSource).Restore(path);
        } catch (...) {
            try {
                Connect();
            } catch (const std::exception &) {
                // The restore's own error is the one to report.
            }
            throw;
        }
        Connect();
        Log(QStringLiteral("RestoreDatabase"), path);
    } catch (const std::exception &e) {
        Log(QStringLiteral("RestoreDatabase"), Message(e));
        throw;
    }
}
