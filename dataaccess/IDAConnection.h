// A connection to one database, handed out by the connection manager; one owner, one thread
// at a time (Abort excepted). Failures raise EDAException with the server's own message.
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/DataAccessExport.h"
#include "dataaccess/TDAEDataset.h"

#include <QStringList>

#include <functional>
#include <memory>

class DATAACCESS_EXPORT IDAConnection
{
public:
    IDAConnection() = default;
    virtual ~IDAConnection();
    IDAConnection(const IDAConnection &) = delete;
    IDAConnection &operator=(const IDAConnection &) = delete;

    // The name of the definition it came from ("MSSQL"): it picks schema statements.
    QString GetName() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }

    virtual QString GetConnectionString() const = 0;
    // Parses and applies the text; throws when the driver refuses it. Closes the connection.
    virtual void SetConnectionString(const QString &connectionString) = 0;
    // Opens with the given user and password, or those of the connection string when empty.
    virtual void Open(const QString &userId = {}, const QString &password = {}) = 0;
    virtual void Close() = 0;
    virtual bool GetConnected() const = 0;
    virtual bool IsAlive() const = 0;
    // Makes an open connection fit for its next user: any transaction rolled back and the
    // session's state back as a fresh connection has it. False when the connection is not
    // fit (broken, or the driver cannot reset it): it must then be closed, not reused.
    virtual bool ResetSession() { return false; }
    // How many connections the database server takes in all, for its ordinary users; 0 when
    // unknown.
    virtual int GetServerConnectionLimit() { return 0; }
    // From any thread, for a program that stops: the statement running now is cancelled and
    // every later one fails at once; the connection is of no further use.
    virtual void Abort() {}

    virtual void BeginTransaction() = 0;
    // Throws when the server answers the commit with a rollback (an earlier statement failed).
    virtual void CommitTransaction() = 0;
    virtual void RollbackTransaction() = 0;
    virtual bool GetInTransaction() const = 0;
    // Savepoints let one statement fail without losing the transaction around it.
    virtual void Savepoint(const QString &name) = 0;
    virtual void ReleaseSavepoint(const QString &name) = 0;
    virtual void RollbackToSavepoint(const QString &name) = 0;
    // Runs work in a savepoint of the open transaction: on an exception the work alone is
    // undone and the exception passes on; the transaction stays usable.
    void RunInSavepoint(const std::function<void()> &work);

    virtual std::unique_ptr<TDAEDataset> NewDataset(const QString &sql) = 0;
    std::unique_ptr<TDAEDataset> NewCommand(const QString &sql) { return NewDataset(sql); }
    virtual std::unique_ptr<TDAEStoredProcedure> NewStoredProcedure(const QString &name) = 0;

    // Metadata.
    virtual QStringList GetTableNames() = 0;
    virtual QStringList GetViewNames() = 0;
    virtual QStringList GetStoredProcedureNames() = 0;
    virtual TDAFieldList GetTableFields(const QString &tableName) = 0;
    virtual QList<TDAForeignKey> GetForeignKeys() = 0;
    virtual QStringList GetDatabaseNames() = 0;
    virtual qlonglong GetLastAutoInc(const QString &generatorName) = 0;
    virtual QPair<QChar, QChar> GetQuoteChars() const = 0;
    virtual bool IdentifierNeedsQuoting(const QString &identifier) const = 0;
    QString QuoteIdentifier(const QString &identifier) const;
    QString QuoteIdentifierIfNeeded(const QString &identifier) const;
    // "{0}" stands for the procedure name, "{1}" for its arguments.
    virtual QString GetSPSelectSyntax(bool hasArguments) const = 0;
    virtual QString GetFieldSQLType(const TDAField &field) const = 0;
    virtual QString BuildCreateTableSQL(const TDAFieldList &fields, const QString &tableName) const = 0;
    virtual void CreateTable(const TDAFieldList &fields, const QString &tableName) = 0;

private:
    QString m_name;
    int m_savepointCounter = 0;
};
