#include "server/database/DatabaseBackup.h"

#include "server/database/DatabaseMaintenance.h"

#include "foundation/uCommon.h"
#include "pgdriver/uDAADODriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <csignal>
#include <stdexcept>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

// One line of a libpq password file matching every server, database and user.
QByteArray PasswordLine(QString password)
{
    password.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char(':'), QLatin1String("\\:"));
    return (QStringLiteral("*:*:*:*:") + password + QLatin1Char('\n')).toUtf8();
}

// The program ends with this process, even a killed one: a restore must not run on into its side
// database unseen, nor a backup write on. Told to end, pg_restore and pg_dump cancel their
// statement on the server first. The signal follows the thread that started the program: all
// of them start on the main thread.
void EndWithThisProcess(QProcess &process)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1); // gone before the signal was asked for
    });
}

// Key of the advisory lock a restore holds for its side database.
const QString kSideLock = QStringLiteral("hashtextextended(CAST(:Name AS text), 0)");

} // namespace

TDatabaseBackup::TDatabaseBackup(const QString &connectionString)
    : m_connectionString(connectionString)
{
    // The driver reads the string exactly as it does when the server connects.
    TDAEADOConnection connection;
    connection.SetConnectionString(connectionString);
    const TDAEADOConnection::LibpqTarget target = connection.GetLibpqTarget();
    m_host = target.Host;
    m_port = target.Port;
    m_database = target.Database;
    m_user = target.User;
    m_password = target.Password;
    if (m_database.isEmpty())
        Fail(QStringLiteral("The connection string names no database"));
    DatabaseMaintenance::CheckName(m_database);
}

QString TDatabaseBackup::Program(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStringLiteral("/usr/lib/postgresql/15/bin/") + name : found;
}

QStringList TDatabaseBackup::ConnectionArguments(const QString &database) const
{
    // The "--name=value" form: a value never reads as an option of its own.
    QStringList arguments;
    if (!m_host.isEmpty())
        arguments << QStringLiteral("--host=") + m_host;
    if (!m_port.isEmpty())
        arguments << QStringLiteral("--port=") + m_port;
    if (!m_user.isEmpty())
        arguments << QStringLiteral("--username=") + m_user;
    arguments << QStringLiteral("--no-password") << QStringLiteral("--dbname=") + database;
    return arguments;
}

void TDatabaseBackup::Run(const QString &program, const QStringList &arguments) const
{
    QTemporaryFile passwordFile(QDir::temp().filePath(QStringLiteral("kestrova-pgpass-XXXXXX")));
    if (!passwordFile.open() || passwordFile.write(PasswordLine(m_password)) < 0 || !passwordFile.flush())
        Fail(QStringLiteral("Cannot write the password file for %1").arg(program));
    passwordFile.close();

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSFILE"), passwordFile.fileName());
    process.setProcessEnvironment(environment);
    EndWithThisProcess(process);
    process.start(Program(program), arguments);
    if (!process.waitForStarted(-1))
        Fail(QStringLiteral("%1 could not be started: %2").arg(program, process.errorString()));
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString messages = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        Fail(QStringLiteral("%1 failed: %2").arg(program, messages.isEmpty() ? process.errorString() : messages));
    }
}

void TDatabaseBackup::Backup(const QString &file) const
{
    const QString partial = file + QStringLiteral(".partial");
    QFile::remove(partial);
    // Made private before pg_dump writes a byte into it; pg_dump keeps the mode of a file it finds.
    QString error;
    if (!WritePrivateFile(partial, {}, &error))
        Fail(QStringLiteral("Cannot write %1: %2").arg(partial, error));
    try {
        Run(QStringLiteral("pg_dump"), QStringList{QStringLiteral("--format=custom"), QStringLiteral("--file=") + partial}
                                           + ConnectionArguments(m_database));
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    QFile::remove(file);
    if (!QFile::rename(partial, file)) {
        QFile::remove(partial);
        Fail(QStringLiteral("Cannot move the backup into place at %1").arg(file));
    }
}

void TDatabaseBackup::Check(const QString &file) const
{
    if (!QFileInfo(file).isFile())
        Fail(QStringLiteral("The backup file %1 does not exist").arg(file));
    // Listing the contents reads the whole table of contents without touching any database.
    QProcess process;
    EndWithThisProcess(process);
    process.start(Program(QStringLiteral("pg_restore")), {QStringLiteral("--list"), file});
    if (!process.waitForStarted(-1))
        Fail(QStringLiteral("pg_restore could not be started: %1").arg(process.errorString()));
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        Fail(QStringLiteral("%1 is not a readable backup: %2")
                 .arg(file, QString::fromLocal8Bit(process.readAllStandardError()).trimmed()));
}

bool TDatabaseBackup::ClaimSide(IDAConnection &maintenance, const QString &side)
{
    auto claim = maintenance.NewDataset(QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(kSideLock));
    claim->ParamByName(QStringLiteral("Name")).Value = side;
    claim->Open();
    return claim->Value(0, 0).toBool();
}

void TDatabaseBackup::ReleaseSide(IDAConnection &maintenance, const QString &side)
{
    auto release = maintenance.NewDataset(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kSideLock));
    release->ParamByName(QStringLiteral("Name")).Value = side;
    release->Open();
}

void TDatabaseBackup::Restore(const QString &file) const
{
    Check(file);
    TDAEADOConnection maintenance;
    maintenance.SetConnectionString(DatabaseMaintenance::WithDatabase(m_connectionString, MaintenanceDatabase));
    maintenance.Open();
    const QString side = DatabaseMaintenance::SideName(m_database, QStringLiteral("restore"));
    // Held until the maintenance session ends, with this process at the latest.
    if (!ClaimSide(maintenance, side))
        Fail(QStringLiteral("The side database %1 is claimed by another restore").arg(side));
    maintenance.NewCommand(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0").arg(DatabaseMaintenance::QuoteName(side)))->Execute();
    try {
        Run(QStringLiteral("pg_restore"), QStringList{QStringLiteral("--exit-on-error"), QStringLiteral("--single-transaction"),
                                                      QStringLiteral("--no-owner")}
                                              + ConnectionArguments(side) + QStringList{file});
        DatabaseMaintenance::Replace(maintenance, side, m_database);
    } catch (...) {
        try {
            DatabaseMaintenance::Drop(maintenance, side);
        } catch (const std::exception &) {
            // The first error is the one to report; the side database carries its purpose in its name.
        }
        // A damaged file passes the listing of its contents and fails in its data with words
        // such as "out of memory" that name no file: read through, it says what it is.
        CheckWhole(file);
        throw;
    }
}

void TDatabaseBackup::CheckWhole(const QString &file) const
{
    QProcess process;
    EndWithThisProcess(process);
    process.start(Program(QStringLiteral("pg_restore")), {QStringLiteral("--file=/dev/null"), file});
    if (!process.waitForStarted(-1))
        return;
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        Fail(QStringLiteral("The backup %1 is damaged and cannot be restored: %2")
                 .arg(file, QString::fromLocal8Bit(process.readAllStandardError()).trimmed()));
}
