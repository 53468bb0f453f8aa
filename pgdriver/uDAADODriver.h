// The system's database driver "ADO". Its connection strings keep the ADO grammar and the
// SQL Server provider names (SQLOLEDB.1, SQLNCLI.1) so stored settings keep working, but the
// engine behind those provider kinds is PostgreSQL, reached through libpq. Other provider
// kinds are refused when a connection opens.
#pragma once

#include "dataaccess/IDAConnection.h"
#include "dataaccess/uDADriverManager.h"
#include "pgdriver/PgDriverExport.h"

#include <QStringList>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct pg_conn;
struct pg_cancel;
struct pg_result;
namespace pgdriver {
class BoundParams;
}

enum class TDAOleDBProviderType : int {
    oledb_Unknown = 0,
    oledb_MSSQL = 1,
    oledb_Jet = 2,
    oledb_Oracle = 3,
    oledb_ODBC = 4,
    oledb_MSSQL2005 = 5,
    oledb_Postgresql = 6,
    oledb_VFP = 7,
};

// Provider ids per kind; the first id of each kind is the one listed as auxiliary driver.
PGDRIVER_EXPORT QStringList OleDBProviders(TDAOleDBProviderType kind);
PGDRIVER_EXPORT TDAOleDBProviderType OleDBDriverIdToOleDBProviderType(const QString &providerId);
PGDRIVER_EXPORT bool IsSQLServerKind(TDAOleDBProviderType kind);

enum class TDAADOCursorLocation { clUseServer, clUseClient };
enum class TDAADOCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };
enum class TDAADOLockType { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic };

class PGDRIVER_EXPORT TDAEADODriver : public IDADriver
{
public:
    QString GetDriverID() const override;
    QString GetDescription() const override;
    QStringList GetAuxDrivers() const override;
    QStringList GetAuxParams(const QString &auxDriver) const override;
    QString GetDefaultConnectionType(const QString &auxDriver) const override;
    int GetDriverOptions() const override;
    std::unique_ptr<IDAConnection> NewConnection(const QString &connectionString) override;
    QString GetProviderDefaultParameters(const QString &providerId) const;
};

// The process-wide driver, created on the first call.
PGDRIVER_EXPORT IDADriver *GetDriverObject();

// Placing one of these in a program makes sure the driver is registered (the library
// registers itself when loaded; this keeps the library from being dropped by the linker).
class PGDRIVER_EXPORT TDAADODriver
{
public:
    TDAADODriver();
};

class PGDRIVER_EXPORT TDAEADOConnection : public IDAConnection
{
public:
    TDAEADOConnection();
    ~TDAEADOConnection() override;

    QString GetConnectionString() const override { return m_connectionString; }
    void SetConnectionString(const QString &connectionString) override;
    void Open(const QString &userId = {}, const QString &password = {}) override;
    void Close() override;
    bool GetConnected() const override;
    bool IsAlive() const override;
    // Rolls back, then DISCARD ALL and the settings every connection starts with.
    bool ResetSession() override;
    // max_connections less the connections kept for superusers.
    int GetServerConnectionLimit() override;
    // Asks the server to cancel what runs now (libpq's cancel request).
    void Abort() override;

    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    bool GetInTransaction() const override;
    void Savepoint(const QString &name) override;
    void ReleaseSavepoint(const QString &name) override;
    void RollbackToSavepoint(const QString &name) override;

    std::unique_ptr<TDAEDataset> NewDataset(const QString &sql) override;
    std::unique_ptr<TDAEStoredProcedure> NewStoredProcedure(const QString &name) override;

    QStringList GetTableNames() override;
    QStringList GetViewNames() override;
    QStringList GetStoredProcedureNames() override;
    TDAFieldList GetTableFields(const QString &tableName) override;
    QList<TDAForeignKey> GetForeignKeys() override;
    QStringList GetDatabaseNames() override;
    qlonglong GetLastAutoInc(const QString &generatorName) override;
    QPair<QChar, QChar> GetQuoteChars() const override;
    bool IdentifierNeedsQuoting(const QString &identifier) const override;
    QString GetSPSelectSyntax(bool hasArguments) const override;
    QString GetFieldSQLType(const TDAField &field) const override;
    QString BuildCreateTableSQL(const TDAFieldList &fields, const QString &tableName) const override;
    void CreateTable(const TDAFieldList &fields, const QString &tableName) override;

    // Provider information.
    QString GetProviderName() const { return m_providerName; }
    TDAOleDBProviderType GetProviderKind() const { return m_providerKind; }
    int GetCommandTimeout() const { return m_commandTimeout; }
    void SetCommandTimeout(int seconds);
    bool GetNativeSchemas() const { return m_nativeSchemas; }
    TDAADOCursorLocation GetCursorLocation() const { return m_cursorLocation; }
    TDAADOCursorType GetCursorType() const { return m_cursorType; }
    TDAADOLockType GetLockType() const { return m_lockType; }
    // The provider text the connection string amounts to, in the provider's own grammar.
    QString GetADOConnectionString() const { return m_adoConnectionString; }

    // Where libpq goes when the connection opens, for the PostgreSQL programs (pg_dump,
    // pg_restore) that must reach the same database; empty items are left to libpq.
    struct LibpqTarget
    {
        QString Host;
        QString Port;
        QString Database;
        QString User;
        QString Password;
    };
    LibpqTarget GetLibpqTarget() const { return {m_host, m_port, m_database, m_userId, m_password}; }

    // For the driver's commands: runs one statement with positional values bound ("$n").
    // Opens the connection first when it is closed. Throws EDAException with the server's
    // message on failure. The result is owned by the caller (free with PQclear).
    pg_result *Run(const QString &sql, const QVariantList &values = {},
                   const QList<TDADataType> &declared = {});
    // Sends one statement (one only: the text may not hold several) whose rows are then taken a
    // result at a time, in libpq's single-row mode, so a large result never lies in memory
    // whole. NextRows gives the results in turn (each holds rows or, last, none but still
    // describes the fields) and nullptr after the last. Nothing else may run on the connection
    // until NextRows gave nullptr or EndRows read the rest. Failures raise as Run's do.
    void SendForRows(const QString &sql, const QVariantList &values, const QList<TDADataType> &declared);
    pg_result *NextRows();
    void EndRows();

private:
    void DoApplyConnectionString(const QString &connectionString);
    void RunSimple(const QString &sql);
    [[noreturn]] void RaiseServerError(pg_result *result, const QString &what);
    QString BareName(const QString &name) const;

    QString m_connectionString;
    QString m_adoConnectionString;
    QString m_providerName;
    bool m_nativeSchemas = true;
    TDAOleDBProviderType m_providerKind = TDAOleDBProviderType::oledb_Unknown;
    TDAADOCursorType m_cursorType = TDAADOCursorType::ctOpenForwardOnly;
    TDAADOCursorLocation m_cursorLocation = TDAADOCursorLocation::clUseServer;
    TDAADOLockType m_lockType = TDAADOLockType::ltReadOnly;
    int m_commandTimeout = 0;

    // What libpq is given when the connection opens.
    QString m_host;
    QString m_port;
    QString m_database;
    QString m_userId;
    QString m_password;
    QString m_connectTimeout;
    QString m_applicationName;

    // Statements a transaction runs again and again (a delta's generated INSERT, UPDATE and
    // DELETE) are prepared on their second use and run prepared from then on, so the server
    // parses and plans them once. Only within one transaction, where the tables they touch are
    // locked against other sessions' changes; forgotten when it ends or a statement without
    // values (a script, DDL) runs, and deallocated before the next transaction begins.
    struct Reuse
    {
        int Uses = 0;
        QByteArray Name; // set once prepared
    };
    pg_result *RunReused(const QByteArray &text, const pgdriver::BoundParams &bound);
    void ForgetPrepared();
    // Around every statement: a running one is what Abort cancels; after Abort none starts.
    void BeginStatement();
    void EndStatement();

    // Statements are sent without blocking and their answers awaited in short steps, so that
    // one ends when the program stops, when its client hangs up, or when the time limit of the
    // client's request passes (QorRequest): it is cancelled and the connection closed, as a
    // database that does not answer (its processes stopped) never ends it by itself.
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kWatchInterval{100};
    pg_conn *Connect(const char *const *keys, const char *const *values);
    // True when the socket is ready (or failed), false after one watch interval or at the deadline.
    static bool WaitFor(int socket, short events, Clock::time_point deadline);
    // Why a wait on the database must end now, if it must: the connection aborted, the client
    // gone or the deadline passed; the waits of connecting and of a statement share it.
    enum class TWaitEnd { None, Aborted, ClientGone, TimeUp };
    TWaitEnd WaitEnd(Clock::time_point deadline);
    void Await(short events);
    [[noreturn]] void GiveUp(const QString &why, bool cancel);
    void Flush();
    void AwaitResult();
    pg_result *Collect();

    pg_conn *m_conn = nullptr;
    // Abort comes from another thread: the cancel handle and the two flags are under this mutex.
    std::mutex m_abortMutex;
    pg_cancel *m_cancel = nullptr;
    bool m_running = false;
    bool m_aborted = false;
    bool m_sendingRows = false;
    std::chrono::milliseconds m_limit{0};
    Clock::time_point m_deadline = Clock::time_point::max();
    QString m_broken; // why the connection was given up on: every later statement fails with it
    std::unordered_map<std::string, Reuse> m_reuse;
    bool m_preparedLeft = false; // prepared statements of an ended transaction are on the server
    int m_preparedCount = 0;
    unsigned m_textOid = 0; // citext's type, else text
};
