#include "dataaccess/TDAConnectionManager.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionStringParser.h"
#include "dataaccess/uDADriverManager.h"
#include "foundation/RequestScope.h"

#include <condition_variable>
#include <unordered_set>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// An idle connection this old is closed rather than kept: the server may long have dropped it.
constexpr auto kMaxIdle = std::chrono::minutes(5);
// How often a request waiting for a pooled connection looks whether its client is still there.
constexpr auto kClientWatch = std::chrono::milliseconds(250);

std::unique_ptr<IDAConnection> OpenDriverConnection(const QString &connectionString)
{
    const TDAConnectionStringParser parser(connectionString);
    return DriverByID(parser.DriverID())->NewConnection(connectionString);
}

const QString kStoppingText = QStringLiteral("The program is stopping: no database connection is handed out");

} // namespace

// The driver connections in their users' hands, for AbortConnections.
class TDAHandedOut
{
public:
    void Add(IDAConnection *connection)
    {
        std::lock_guard lock(m_mutex);
        m_live.insert(connection);
        if (m_aborted)
            connection->Abort();
    }
    void Remove(IDAConnection *connection)
    {
        std::lock_guard lock(m_mutex);
        m_live.erase(connection);
    }
    void AbortAll()
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
        for (IDAConnection *connection : m_live)
            connection->Abort();
    }
    bool Aborted() const
    {
        std::lock_guard lock(m_mutex);
        return m_aborted;
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_set<IDAConnection *> m_live;
    bool m_aborted = false;
};

// The open connections of one definition, handed out one user at a time.
class TDAConnectionPool : public std::enable_shared_from_this<TDAConnectionPool>
{
public:
    TDAConnectionPool(const QString &name, const QString &connectionString, int maxSize, std::chrono::milliseconds timeout)
        : m_name(name), m_connectionString(connectionString), m_maxSize(maxSize), m_timeout(timeout)
    {
    }

    QString Name() const { return m_name; }
    QString ConnectionString() const { return m_connectionString; }

    void SetLimits(int maxSize, std::chrono::milliseconds timeout)
    {
        std::lock_guard lock(m_mutex);
        m_maxSize = maxSize;
        m_timeout = timeout;
        m_available.notify_all();
    }

    std::unique_ptr<IDAConnection> Acquire(const std::shared_ptr<TDAHandedOut> &handedOut);
    void Release(std::unique_ptr<IDAConnection> connection);

    int Open() const
    {
        std::lock_guard lock(m_mutex);
        return m_open;
    }
    int IdleCount() const
    {
        std::lock_guard lock(m_mutex);
        return int(m_idle.size());
    }
    int Effective() const
    {
        std::lock_guard lock(m_mutex);
        return EffectiveLocked();
    }

    // Closes the idle connections; with retire, those in use are closed when they come back.
    void Clear(bool retire)
    {
        std::vector<IdleConnection> closing;
        {
            std::lock_guard lock(m_mutex);
            closing.swap(m_idle);
            m_open -= int(closing.size());
            m_retired = m_retired || retire;
            m_available.notify_all();
        }
    }

private:
    struct IdleConnection
    {
        std::unique_ptr<IDAConnection> Connection;
        Clock::time_point Since;
    };

    int EffectiveLocked() const
    {
        // Other programs (tools, backups, other servers) need room on the cluster too.
        return m_serverLimit > 0 ? std::max(1, std::min(m_maxSize, m_serverLimit / 2)) : std::max(1, m_maxSize);
    }

    // Takes the idle connections that have waited too long out of the pool, for closing.
    void PruneLocked(std::vector<IdleConnection> &closing)
    {
        const auto now = Clock::now();
        while (!m_idle.empty() && now - m_idle.front().Since > kMaxIdle) {
            closing.push_back(std::move(m_idle.front()));
            m_idle.erase(m_idle.begin());
            --m_open;
        }
    }

    const QString m_name;
    const QString m_connectionString;
    mutable std::mutex m_mutex;
    std::condition_variable m_available;
    std::vector<IdleConnection> m_idle; // the most recently used last
    int m_open = 0;           // in use and idle
    int m_maxSize;
    int m_serverLimit = 0;
    bool m_retired = false;
    std::chrono::milliseconds m_timeout;
};

namespace {

// What a caller holds: the driver's connection, known to AbortConnections while held; a pool's
// goes back to its pool when destroyed.
class TDAHandedConnection : public IDAConnection
{
public:
    TDAHandedConnection(std::unique_ptr<IDAConnection> connection, std::shared_ptr<TDAConnectionPool> pool,
                        std::shared_ptr<TDAHandedOut> handedOut)
        : m_connection(std::move(connection)), m_pool(std::move(pool)), m_handedOut(std::move(handedOut))
    {
        m_handedOut->Add(m_connection.get());
    }
    ~TDAHandedConnection() override
    {
        m_handedOut->Remove(m_connection.get());
        if (m_pool)
            m_pool->Release(std::move(m_connection));
    }

    QString GetConnectionString() const override { return m_connection->GetConnectionString(); }
    void SetConnectionString(const QString &text) override { m_connection->SetConnectionString(text); }
    void Open(const QString &userId, const QString &password) override { m_connection->Open(userId, password); }
    void Close() override { m_connection->Close(); }
    bool GetConnected() const override { return m_connection->GetConnected(); }
    bool IsAlive() const override { return m_connection->IsAlive(); }
    bool ResetSession() override { return m_connection->ResetSession(); }
    int GetServerConnectionLimit() override { return m_connection->GetServerConnectionLimit(); }
    void Abort() override { m_connection->Abort(); }

    void BeginTransaction() override { m_connection->BeginTransaction(); }
    void CommitTransaction() override { m_connection->CommitTransaction(); }
    void RollbackTransaction() override { m_connection->RollbackTransaction(); }
    bool GetInTransaction() const override { return m_connection->GetInTransaction(); }
    void Savepoint(const QString &name) override { m_connection->Savepoint(name); }
    void ReleaseSavepoint(const QString &name) override { m_connection->ReleaseSavepoint(name); }
    void RollbackToSavepoint(const QString &name) override { m_connection->RollbackToSavepoint(name); }

    std::unique_ptr<TDAEDataset> NewDataset(const QString &sql) override { return m_connection->NewDataset(sql); }
    std::unique_ptr<TDAEStoredProcedure> NewStoredProcedure(const QString &name) override
    {
        return m_connection->NewStoredProcedure(name);
    }

    QStringList GetTableNames() override { return m_connection->GetTableNames(); }
    QStringList GetViewNames() override { return m_connection->GetViewNames(); }
    QStringList GetStoredProcedureNames() override { return m_connection->GetStoredProcedureNames(); }
    TDAFieldList GetTableFields(const QString &tableName) override { return m_connection->GetTableFields(tableName); }
    QList<TDAForeignKey> GetForeignKeys() override { return m_connection->GetForeignKeys(); }
    QStringList GetDatabaseNames() override { return m_connection->GetDatabaseNames(); }
    qlonglong GetLastAutoInc(const QString &generatorName) override { return m_connection->GetLastAutoInc(generatorName); }
    QPair<QChar, QChar> GetQuoteChars() const override { return m_connection->GetQuoteChars(); }
    bool IdentifierNeedsQuoting(const QString &identifier) const override { return m_connection->IdentifierNeedsQuoting(identifier); }
    QString GetSPSelectSyntax(bool hasArguments) const override { return m_connection->GetSPSelectSyntax(hasArguments); }
    QString GetFieldSQLType(const TDAField &field) const override { return m_connection->GetFieldSQLType(field); }
    QString BuildCreateTableSQL(const TDAFieldList &fields, const QString &tableName) const override
    {
        return m_connection->BuildCreateTableSQL(fields, tableName);
    }
    void CreateTable(const TDAFieldList &fields, const QString &tableName) override { m_connection->CreateTable(fields, tableName); }

private:
    std::unique_ptr<IDAConnection> m_connection;
    std::shared_ptr<TDAConnectionPool> m_pool;
    std::shared_ptr<TDAHandedOut> m_handedOut;
};

} // namespace

std::unique_ptr<IDAConnection> TDAConnectionPool::Acquire(const std::shared_ptr<TDAHandedOut> &handedOut)
{
    const auto handOut = [&](std::unique_ptr<IDAConnection> connection) {
        return std::make_unique<TDAHandedConnection>(std::move(connection), shared_from_this(), handedOut);
    };
    // A connection that failed on its way out is no longer counted, and a waiter may open another.
    const auto forget = [this] {
        std::lock_guard again(m_mutex);
        --m_open;
        m_available.notify_one();
    };
    std::unique_lock lock(m_mutex);
    const auto deadline = Clock::now() + m_timeout;
    for (;;) {
        if (handedOut->Aborted())
            throw EDAException(kStoppingText);
        std::vector<IdleConnection> closing;
        PruneLocked(closing);
        while (!m_idle.empty()) {
            std::unique_ptr<IDAConnection> connection = std::move(m_idle.back().Connection);
            m_idle.pop_back();
            lock.unlock();
            // The reset is also the health check: a connection the server dropped fails it. One
            // the server did not answer in time ends the wait: the next would wait as long.
            bool fit = false;
            try {
                fit = connection->IsAlive() && connection->ResetSession();
            } catch (...) {
                connection.reset();
                forget();
                throw;
            }
            if (fit)
                return handOut(std::move(connection));
            connection.reset();
            lock.lock();
            --m_open;
        }
        if (m_open < EffectiveLocked()) {
            ++m_open;
            const bool first = m_serverLimit == 0;
            lock.unlock();
            closing.clear();
            std::unique_ptr<IDAConnection> connection;
            try {
                connection = OpenDriverConnection(m_connectionString);
                connection->Open();
                const int limit = first ? connection->GetServerConnectionLimit() : 0;
                if (limit > 0) {
                    std::lock_guard again(m_mutex);
                    m_serverLimit = limit;
                }
            } catch (...) {
                connection.reset();
                forget();
                throw;
            }
            return handOut(std::move(connection));
        }
        // A request whose client has hung up stops waiting.
        if (QorRequest::ClientGone())
            throw EDAException(QStringLiteral("The client closed its connection: no database connection was handed out"),
                               QStringLiteral("57014"));
        const auto step = std::min(deadline, Clock::now() + kClientWatch);
        if (m_available.wait_until(lock, step) == std::cv_status::timeout && Clock::now() >= deadline && m_idle.empty() &&
            m_open >= EffectiveLocked())
            throw EDAException(QStringLiteral("All %1 database connections of \"%2\" are in use and none came free within %3 s")
                                   .arg(EffectiveLocked())
                                   .arg(m_name)
                                   .arg(double(m_timeout.count()) / 1000.0));
    }
}

void TDAConnectionPool::Release(std::unique_ptr<IDAConnection> connection)
{
    bool keep = connection && connection->GetConnected() && connection->GetConnectionString() == m_connectionString;
    // Whatever a user left open is undone now, so that its locks go at once; a connection
    // still inside a transaction after that is never handed out again.
    try {
        if (keep && connection->GetInTransaction())
            connection->RollbackTransaction();
        keep = keep && !connection->GetInTransaction() && connection->IsAlive();
    } catch (...) {
        keep = false;
    }
    std::vector<IdleConnection> closing;
    {
        std::lock_guard lock(m_mutex);
        PruneLocked(closing);
        if (keep && !m_retired && int(m_idle.size()) < EffectiveLocked()) {
            m_idle.push_back({std::move(connection), Clock::now()});
        } else {
            --m_open;
        }
        m_available.notify_one();
    }
    connection.reset();
}

TDAConnectionManager::TDAConnectionManager() : m_handedOut(std::make_shared<TDAHandedOut>())
{
}

void TDAConnectionManager::AbortConnections()
{
    m_handedOut->AbortAll();
    // Requests waiting for a pooled connection give up now.
    std::lock_guard lock(m_mutex);
    for (const auto &pool : m_pools)
        pool->Clear(true);
}

TDAConnectionManager::~TDAConnectionManager()
{
    // Connections still in use keep their pool alive; the idle ones close now.
    for (const auto &pool : m_pools)
        pool->Clear(true);
}

TDAConnectionDefinition &TDAConnectionManager::AddConnection(const QString &name, const QString &connectionString,
                                                             bool isDefault)
{
    std::lock_guard lock(m_mutex);
    for (auto &d : m_definitions)
        if (d->GetName().compare(name, Qt::CaseInsensitive) == 0) {
            d->SetConnectionString(connectionString);
            if (isDefault)
                d->SetDefault(true);
            return *d;
        }
    auto d = std::make_shared<TDAConnectionDefinition>();
    d->SetName(name);
    d->SetConnectionString(connectionString);
    d->SetDefault(isDefault);
    m_definitions.append(d);
    return *d;
}

TDAConnectionDefinition *TDAConnectionManager::FindConnection(const QString &name)
{
    std::lock_guard lock(m_mutex);
    for (auto &d : m_definitions)
        if (d->GetName().compare(name, Qt::CaseInsensitive) == 0)
            return d.get();
    return nullptr;
}

TDAConnectionDefinition &TDAConnectionManager::ConnectionByName(const QString &name)
{
    if (TDAConnectionDefinition *d = FindConnection(name))
        return *d;
    throw EDAException(QStringLiteral("Connection \"%1\" not found").arg(name));
}

int TDAConnectionManager::Count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_definitions.size());
}

QString TDAConnectionManager::GetDefaultConnectionName() const
{
    std::lock_guard lock(m_mutex);
    for (const auto &d : m_definitions)
        if (d->GetDefault())
            return d->GetName();
    if (m_definitions.isEmpty())
        throw EDAException(QStringLiteral("No connection is defined"));
    return m_definitions.first()->GetName();
}

std::shared_ptr<TDAConnectionPool> TDAConnectionManager::FindPool(const QString &name) const
{
    std::lock_guard lock(m_mutex);
    for (const auto &pool : m_pools)
        if (pool->Name().compare(name, Qt::CaseInsensitive) == 0)
            return pool;
    return nullptr;
}

// A definition whose string changed gets a new pool; the old one's connections close.
std::shared_ptr<TDAConnectionPool> TDAConnectionManager::PoolFor(const QString &definitionName, const QString &connectionString)
{
    std::lock_guard lock(m_mutex);
    for (qsizetype i = 0; i < m_pools.size(); ++i) {
        if (m_pools[i]->Name().compare(definitionName, Qt::CaseInsensitive) != 0)
            continue;
        if (m_pools[i]->ConnectionString() == connectionString)
            return m_pools[i];
        m_pools[i]->Clear(true);
        m_pools.removeAt(i);
        break;
    }
    auto pool = std::make_shared<TDAConnectionPool>(definitionName, connectionString, m_maxPoolSize, m_poolTimeout);
    m_pools.append(pool);
    return pool;
}

std::unique_ptr<IDAConnection> TDAConnectionManager::NewConnection(const QString &name, bool openConnection,
                                                                   const QString &userId, const QString &password)
{
    const QString wanted = name.isEmpty() ? GetDefaultConnectionName() : name;
    QString text;
    QString definitionName;
    bool pooled = false;
    {
        const TDAConnectionDefinition &d = ConnectionByName(wanted);
        std::lock_guard lock(m_mutex);
        text = d.GetConnectionString();
        definitionName = d.GetName();
        pooled = m_pooling && openConnection && userId.isEmpty() && password.isEmpty();
    }
    if (m_handedOut->Aborted())
        throw EDAException(kStoppingText);
    std::unique_ptr<IDAConnection> connection;
    if (pooled) {
        connection = PoolFor(definitionName, text)->Acquire(m_handedOut);
    } else {
        connection = std::make_unique<TDAHandedConnection>(OpenDriverConnection(text), nullptr, m_handedOut);
        if (openConnection)
            connection->Open(userId, password);
    }
    connection->SetName(definitionName);
    return connection;
}

bool TDAConnectionManager::GetPoolingEnabled() const
{
    std::lock_guard lock(m_mutex);
    return m_pooling;
}

void TDAConnectionManager::SetPoolingEnabled(bool value)
{
    {
        std::lock_guard lock(m_mutex);
        m_pooling = value;
    }
    if (!value)
        ClearPools();
}

int TDAConnectionManager::GetMaxPoolSize() const
{
    std::lock_guard lock(m_mutex);
    return m_maxPoolSize;
}

void TDAConnectionManager::SetMaxPoolSize(int value)
{
    std::lock_guard lock(m_mutex);
    m_maxPoolSize = std::max(1, value);
    for (const auto &pool : m_pools)
        pool->SetLimits(m_maxPoolSize, m_poolTimeout);
}

std::chrono::milliseconds TDAConnectionManager::GetPoolTimeout() const
{
    std::lock_guard lock(m_mutex);
    return m_poolTimeout;
}

void TDAConnectionManager::SetPoolTimeout(std::chrono::milliseconds value)
{
    std::lock_guard lock(m_mutex);
    m_poolTimeout = value;
    for (const auto &pool : m_pools)
        pool->SetLimits(m_maxPoolSize, m_poolTimeout);
}

int TDAConnectionManager::PooledConnections(const QString &name) const
{
    const auto pool = FindPool(name);
    return pool ? pool->Open() : 0;
}

int TDAConnectionManager::IdleConnections(const QString &name) const
{
    const auto pool = FindPool(name);
    return pool ? pool->IdleCount() : 0;
}

int TDAConnectionManager::EffectivePoolSize(const QString &name) const
{
    const auto pool = FindPool(name);
    return pool ? pool->Effective() : GetMaxPoolSize();
}

void TDAConnectionManager::ClearPools()
{
    std::lock_guard lock(m_mutex);
    for (const auto &pool : m_pools)
        pool->Clear(false);
}
