// Named connection definitions and the connections made from them. With pooling on (as the
// server runs), the connections of a definition that open with its own user are kept open
// after use and handed out again, reset in between: starting a database backend costs far
// more than the statements of a typical request. A connection left inside a transaction is
// rolled back before anyone else gets it, and one that fails its reset is closed.
#pragma once

#include "dataaccess/DataAccessExport.h"
#include "dataaccess/IDAConnection.h"

#include <QList>
#include <QString>

#include <chrono>
#include <memory>
#include <mutex>

class DATAACCESS_EXPORT TDAConnectionDefinition
{
public:
    QString GetName() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    QString GetConnectionString() const { return m_connectionString; }
    void SetConnectionString(const QString &text) { m_connectionString = text; }
    bool GetDefault() const { return m_default; }
    void SetDefault(bool value) { m_default = value; }

private:
    QString m_name;
    QString m_connectionString;
    bool m_default = false;
};

class TDAConnectionPool;
class TDAHandedOut;

class DATAACCESS_EXPORT TDAConnectionManager
{
public:
    // The most connections one definition's pool holds open (in use and idle together).
    static constexpr int kDefaultMaxPoolSize = 40;

    TDAConnectionManager();
    ~TDAConnectionManager();
    TDAConnectionManager(const TDAConnectionManager &) = delete;
    TDAConnectionManager &operator=(const TDAConnectionManager &) = delete;

    // Adds a definition, or replaces the string of the one with that name (case ignored).
    TDAConnectionDefinition &AddConnection(const QString &name, const QString &connectionString,
                                           bool isDefault = false);
    // Throws EDAException when there is no definition of that name.
    TDAConnectionDefinition &ConnectionByName(const QString &name);
    TDAConnectionDefinition *FindConnection(const QString &name);
    int Count() const;
    // The definition marked default, else the first; throws when there is none.
    QString GetDefaultConnectionName() const;

    // A connection of the named definition (the default one when the name is empty), opened
    // now when asked, with the user and password given or those of its string. From the pool
    // when pooling is on, it is to be opened now and no other user is named; it goes back
    // to the pool when the caller destroys it.
    std::unique_ptr<IDAConnection> NewConnection(const QString &name, bool openConnection = true,
                                                 const QString &userId = {}, const QString &password = {});

    bool GetPoolingEnabled() const;
    void SetPoolingEnabled(bool value);
    // Per definition; the pool also stays below half of what the database server takes.
    int GetMaxPoolSize() const;
    void SetMaxPoolSize(int value);
    // How long a request waits for a pooled connection when all are in use before it fails.
    std::chrono::milliseconds GetPoolTimeout() const;
    void SetPoolTimeout(std::chrono::milliseconds value);

    // Connections of the definition's pool: open in all, and idle among them.
    int PooledConnections(const QString &name) const;
    int IdleConnections(const QString &name) const;
    // The pool's size limit as the database server's limit leaves it (known after its first connection).
    int EffectivePoolSize(const QString &name) const;
    // Closes every idle pooled connection.
    void ClearPools();
    // For a program that stops, from any thread: the statements running on every connection
    // handed out are cancelled, and every later statement, and every later NewConnection,
    // fails at once. There is no way back.
    void AbortConnections();

private:
    std::shared_ptr<TDAConnectionPool> PoolFor(const QString &definitionName, const QString &connectionString);
    std::shared_ptr<TDAConnectionPool> FindPool(const QString &name) const;

    mutable std::mutex m_mutex;
    std::shared_ptr<TDAHandedOut> m_handedOut;
    QList<std::shared_ptr<TDAConnectionDefinition>> m_definitions;
    QList<std::shared_ptr<TDAConnectionPool>> m_pools;
    bool m_pooling = false;
    int m_maxPoolSize = kDefaultMaxPoolSize;
    std::chrono::milliseconds m_poolTimeout{30000};
};
