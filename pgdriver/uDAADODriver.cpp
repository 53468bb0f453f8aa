#include "pgdriver/uDAADODriver.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionStringParser.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/RequestScope.h"
#include "pgdriver/PgValues.h"
#include "pgdriver/uDAADOQuery.h"

#include <QRegularExpression>

#include <libpq-fe.h>

#include <poll.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct ResultDeleter { void operator()(PGresult *r) const { PQclear(r); } };
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// Settings every connection starts with: plain and dbo-qualified names both resolve (public
// holds the citext extension), and date-times read back in ISO form.
constexpr const char *kSessionOptions = "-c search_path=dbo,public -c DateStyle=ISO,MDY";
constexpr const char *kDefaultApplicationName = "Kestrova";
constexpr const char *kAbortedText = "The program is stopping: its database work was ended";
// SQLSTATE codes the driver gives its own failures: no connection, and a statement cancelled.
constexpr const char *kCannotConnect = "08001";
constexpr const char *kCancelled = "57014";

QString seconds(std::chrono::milliseconds limit)
{
    return QString::number(double(limit.count()) / 1000.0);
}

// The cancel request goes out on a thread of its own: libpq waits for the server to take it,
// which a database whose processes are stopped never does.
void cancelAside(PGconn *conn)
{
    PGcancel *cancel = PQgetCancel(conn);
    if (!cancel)
        return;
    std::thread([cancel] {
        char error[256];
        PQcancel(cancel, error, int(sizeof error));
        PQfreeCancel(cancel);
    }).detach();
}

bool is(const QString &a, const char *b)
{
    return a.trimmed().compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

QString firstNonEmpty(std::initializer_list<QString> values)
{
    for (const QString &v : values)
        if (!v.isEmpty())
            return v;
    return {};
}

std::unique_ptr<TDAEADODriver> &driverSingleton()
{
    static std::unique_ptr<TDAEADODriver> driver;
    return driver;
}

std::mutex &driverMutex()
{
    static std::mutex m;
    return m;
}

// Registers the driver when the library loads and removes it when the library unloads.
struct UnitRegistration
{
    UnitRegistration() { RegisterDriverProc(&GetDriverObject); }
    ~UnitRegistration() { UnregisterDriverProc(&GetDriverObject); }
} unitRegistration;

} // namespace

// ---------------------------------------------------------------- providers

QStringList OleDBProviders(TDAOleDBProviderType kind)
{
    switch (kind) {
    case TDAOleDBProviderType::oledb_MSSQL: return {QStringLiteral("SQLOLEDB.1"), QStringLiteral("SQLOLEDB")};
    case TDAOleDBProviderType::oledb_Jet: return {QStringLiteral("Microsoft.Jet.OLEDB.4.0")};
    case TDAOleDBProviderType::oledb_Oracle: return {QStringLiteral("OraOLEDB.Oracle")};
    case TDAOleDBProviderType::oledb_ODBC: return {QStringLiteral("MSDASQL.1"), QStringLiteral("MSDASQL")};
    case TDAOleDBProviderType::oledb_MSSQL2005: return {QStringLiteral("SQLNCLI.1"), QStringLiteral("SQLNCLI")};
    case TDAOleDBProviderType::oledb_Postgresql: return {QStringLiteral("PostgreSQL.1"), QStringLiteral("PostgreSQL OLE DB Provider")};
    case TDAOleDBProviderType::oledb_VFP: return {QStringLiteral("VFPOLEDB.1")};
    case TDAOleDBProviderType::oledb_Unknown: break;
    }
    return {};
}

TDAOleDBProviderType OleDBDriverIdToOleDBProviderType(const QString &providerId)
{
    const QString id = providerId.trimmed();
    for (int k = 1; k <= 7; ++k) {
        const auto kind = static_cast<TDAOleDBProviderType>(k);
        for (const QString &known : OleDBProviders(kind))
            if (id.compare(known, Qt::CaseInsensitive) == 0)
                return kind;
    }
    return TDAOleDBProviderType::oledb_Unknown;
}

bool IsSQLServerKind(TDAOleDBProviderType kind)
{
    return kind == TDAOleDBProviderType::oledb_MSSQL || kind == TDAOleDBProviderType::oledb_MSSQL2005;
}

// ---------------------------------------------------------------- driver

IDADriver *GetDriverObject()
{
    std::lock_guard lock(driverMutex());
    auto &driver = driverSingleton();
    if (!driver)
        driver = std::make_unique<TDAEADODriver>();
    return driver.get();
}

TDAADODriver::TDAADODriver()
{
    RegisterDriverProc(&GetDriverObject);
}

QString TDAEADODriver::GetDriverID() const
{
    return QStringLiteral("ADO");
}

QString TDAEADODriver::GetDescription() const
{
    return QStringLiteral("Borland ADOExpress Driver");
}

QStringList TDAEADODriver::GetAuxDrivers() const
{
    QStringList list;
    for (int k = 1; k <= 7; ++k)
        list << OleDBProviders(static_cast<TDAOleDBProviderType>(k)).first();
    return list;
}

QStringList TDAEADODriver::GetAuxParams(const QString &auxDriver) const
{
    QStringList list;
    const QString id = auxDriver.trimmed();
    if (is(id, "SQLNCLI.1") || is(id, "SQLOLEDB.1"))
        list << QStringLiteral("Integrated Security=SSPI") << QStringLiteral("Schemas=(0,1)");
    list << QStringLiteral("CursorLocation=(clUseServer,clUseClient)")
         << QStringLiteral("CursorType=(ctUnspecified,ctOpenForwardOnly,ctKeyset,ctDynamic,ctStatic)")
         << QStringLiteral("LockType=(ltUnspecified,ltReadOnly,ltPessimistic,ltOptimistic,ltBatchOptimistic)")
         << QString()
         << QStringLiteral("You can pass any parameters directly to driver. Use the prefix '@' for this, e.g.:")
         << QStringLiteral("CursorLocation=clUseServer;@Mode=Read");
    return list;
}

QString TDAEADODriver::GetDefaultConnectionType(const QString &auxDriver) const
{
    switch (OleDBDriverIdToOleDBProviderType(auxDriver)) {
    case TDAOleDBProviderType::oledb_MSSQL:
    case TDAOleDBProviderType::oledb_MSSQL2005: return QStringLiteral("MSSQL");
    case TDAOleDBProviderType::oledb_Jet: return QStringLiteral("Access");
    case TDAOleDBProviderType::oledb_Oracle: return QStringLiteral("Oracle");
    case TDAOleDBProviderType::oledb_Postgresql: return QStringLiteral("PostgreSQL");
    case TDAOleDBProviderType::oledb_VFP: return QStringLiteral("FoxPro");
    case TDAOleDBProviderType::oledb_ODBC: return {};
    case TDAOleDBProviderType::oledb_Unknown: break;
    }
    return QStringLiteral("MSSQL"); // the framework's default
}

int TDAEADODriver::GetDriverOptions() const
{
    return doAutoCommit | doServerList | doDatabaseList | doCustomConnectionString | doLoginPrompt;
}

QString TDAEADODriver::GetProviderDefaultParameters(const QString &providerId) const
{
    if (is(providerId, "SQLNCLI.1"))
        return QStringLiteral("Schemas=1;Integrated Security=SSPI;");
    if (is(providerId, "SQLOLEDB.1"))
        return QStringLiteral("Integrated Security=SSPI;");
    return {};
}

std::unique_ptr<IDAConnection> TDAEADODriver::NewConnection(const QString &connectionString)
{
    auto connection = std::make_unique<TDAEADOConnection>();
    connection->SetConnectionString(connectionString);
    return connection;
}

// ---------------------------------------------------------------- connection

TDAEADOConnection::TDAEADOConnection() = default;

TDAEADOConnection::~TDAEADOConnection()
{
    Close();
}

void TDAEADOConnection::SetConnectionString(const QString &connectionString)
{
    Close();
    DoApplyConnectionString(connectionString);
    m_connectionString = connectionString;
}

void TDAEADOConnection::DoApplyConnectionString(const QString &connectionString)
{
    const TDAConnectionStringParser parser(connectionString);
    if (parser.AuxDriver().isEmpty())
        throw EDADriverException(QStringLiteral("No aux driver specified for ADO connection"));

    // The provider's own names stand in for the framework's where those are missing.
    const QString server = firstNonEmpty({parser.Server(), parser.AuxParam(QStringLiteral("Data Source")),
                                          parser.AuxParam(QStringLiteral("Address")), parser.AuxParam(QStringLiteral("Addr"))});
    const QString database = firstNonEmpty({parser.Database(), parser.AuxParam(QStringLiteral("Initial Catalog")),
                                            parser.AuxParam(QStringLiteral("Location"))});
    const QString user = firstNonEmpty({parser.UserID(), parser.AuxParam(QStringLiteral("User ID"))});
    const QString password = parser.Password();

    QString ado = QStringLiteral("Provider=%1;").arg(parser.AuxDriver());
    m_providerName = parser.AuxDriver();
    m_providerKind = OleDBDriverIdToOleDBProviderType(m_providerName);
    if (!user.isEmpty())
        ado += QStringLiteral("User ID=%1;").arg(user);
    if (!password.isEmpty())
        ado += QStringLiteral("Password=%1;").arg(password);
    if (m_providerKind == TDAOleDBProviderType::oledb_Jet) {
        ado += QStringLiteral("Data Source=%1;").arg(database);
    } else {
        if (!database.isEmpty())
            ado += (m_providerKind == TDAOleDBProviderType::oledb_Postgresql ? QStringLiteral("Location=%1;")
                                                                              : QStringLiteral("Initial Catalog=%1;"))
                       .arg(database);
        if (!server.isEmpty())
            ado += QStringLiteral("Data Source=%1;").arg(server);
        if (m_providerKind != TDAOleDBProviderType::oledb_Postgresql)
            ado += QStringLiteral("OLE DB SERVICES=-2;");
    }

    m_nativeSchemas = false;
    bool integrated = false;
    m_connectTimeout.clear();
    m_applicationName.clear();
    static const QStringList kProviderNamesTaken = {
        QStringLiteral("Data Source"), QStringLiteral("Initial Catalog"), QStringLiteral("User ID"),
        QStringLiteral("Location"), QStringLiteral("Address"), QStringLiteral("Addr")};
    for (const auto &item : parser.AuxParams()) {
        const QString name = item.first.trimmed();
        const QString &value = item.second;
        if (name.isEmpty())
            continue;
        if (kProviderNamesTaken.contains(name, Qt::CaseInsensitive))
            continue; // already placed above
        if (is(name, "SCHEMAS")) {
            m_nativeSchemas = value == QLatin1String("1");
        } else if (is(name, "CursorLocation")) {
            if (is(value, "clUseServer"))
                m_cursorLocation = TDAADOCursorLocation::clUseServer;
            else if (is(value, "clUseClient"))
                m_cursorLocation = TDAADOCursorLocation::clUseClient;
        } else if (is(name, "CursorType")) {
            static const char *const names[] = {"ctUnspecified", "ctOpenForwardOnly", "ctKeyset", "ctDynamic", "ctStatic"};
            for (int i = 0; i < 5; ++i)
                if (is(value, names[i]))
                    m_cursorType = static_cast<TDAADOCursorType>(i);
        } else if (is(name, "LockType")) {
            static const char *const names[] = {"ltUnspecified", "ltReadOnly", "ltPessimistic", "ltOptimistic", "ltBatchOptimistic"};
            for (int i = 0; i < 5; ++i)
                if (is(value, names[i]))
                    m_lockType = static_cast<TDAADOLockType>(i);
        } else {
            const QString bare = name.startsWith(QLatin1Char('@')) ? name.mid(1) : name;
            ado += bare + QLatin1Char('=') + value + QLatin1Char(';');
            if (is(bare, "Integrated Security"))
                integrated = !is(value, "false") && !is(value, "no");
            else if (is(bare, "Connect Timeout") || is(bare, "Connection Timeout"))
                m_connectTimeout = value;
            else if (is(bare, "Application Name"))
                m_applicationName = value;
        }
    }
    m_adoConnectionString = ado;
    if (!m_nativeSchemas) {
        const QString upper = m_providerName.toUpper();
        m_nativeSchemas = upper == QLatin1String("SQLNCLI") || upper == QLatin1String("SQLNCLI.1");
    }

    // Server: "host", "host,port", a socket folder ("/run/postgresql" or "/path,port"), or
    // the local machine ("(local)", "."); a SQL Server instance suffix "\NAME" is dropped.
    QString host = server.trimmed();
    m_port.clear();
    const int comma = int(host.lastIndexOf(QLatin1Char(',')));
    if (comma >= 0) {
        m_port = host.mid(comma + 1).trimmed();
        host = host.left(comma).trimmed();
    }
    if (!host.startsWith(QLatin1Char('/'))) {
        const int backslash = int(host.indexOf(QLatin1Char('\\')));
        if (backslash >= 0)
            host = host.left(backslash);
        if (host == QLatin1String("(local)") || host == QLatin1String("."))
            host.clear();
    }
    // Integrated security means the operating-system user over the local socket.
    if (integrated && !host.startsWith(QLatin1Char('/')))
        host.clear();
    m_host = host;
    m_database = database;
    m_userId = integrated ? QString() : user;
    m_password = integrated ? QString() : password;
}

void TDAEADOConnection::Open(const QString &userId, const QString &password)
{
    if (m_conn)
        return;
    {
        std::lock_guard lock(m_abortMutex);
        if (m_aborted)
            throw EDAException(QString::fromLatin1(kAbortedText));
    }
    if (!IsSQLServerKind(m_providerKind))
        throw EDADriverException(QStringLiteral("The database provider \"%1\" is not supported: use SQLOLEDB.1 or SQLNCLI.1")
                                     .arg(m_providerName));
    QList<QByteArray> keys;
    QList<QByteArray> values;
    auto put = [&](const char *key, const QString &value) {
        if (!value.isEmpty()) {
            keys << QByteArray(key);
            values << value.toUtf8();
        }
    };
    put("host", m_host);
    put("port", m_port);
    put("dbname", m_database);
    put("user", firstNonEmpty({userId, m_userId}));
    put("password", firstNonEmpty({password, m_password}));
    put("connect_timeout", m_connectTimeout);
    put("application_name", firstNonEmpty({m_applicationName, QString::fromLatin1(kDefaultApplicationName)}));
    put("client_encoding", QStringLiteral("UTF8"));
    put("options", QString::fromLatin1(kSessionOptions));
    std::vector<const char *> k;
    std::vector<const char *> v;
    for (int i = 0; i < keys.size(); ++i) {
        k.push_back(keys[i].constData());
        v.push_back(values[i].constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    m_conn = Connect(k.data(), v.data());
    m_broken.clear();
    {
        std::lock_guard lock(m_abortMutex);
        m_cancel = PQgetCancel(m_conn);
    }
    // The server's notices ("... does not exist, skipping") belong in the session log, not on stderr.
    PQsetNoticeProcessor(m_conn, [](void *, const char *message) {
        AddToLog(llDebug, QStringLiteral("ADODriver"), QStringLiteral("Notice"), QString::fromUtf8(message).trimmed());
    }, nullptr);
    m_textOid = pgdriver::kOidText;
    Result citext(Run(QStringLiteral("SELECT coalesce(to_regtype('citext')::oid, 25)")));
    if (PQntuples(citext.get()) == 1)
        m_textOid = QByteArray(PQgetvalue(citext.get(), 0, 0)).toUInt();
    if (m_commandTimeout > 0)
        SetCommandTimeout(m_commandTimeout);
}

void TDAEADOConnection::Close()
{
    m_broken.clear();
    m_sendingRows = false;
    m_reuse.clear();
    m_preparedLeft = false;
    {
        std::lock_guard lock(m_abortMutex);
        if (m_cancel)
            PQfreeCancel(m_cancel);
        m_cancel = nullptr;
        m_running = false;
    }
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

bool TDAEADOConnection::GetConnected() const
{
    return m_conn != nullptr;
}

bool TDAEADOConnection::IsAlive() const
{
    return m_conn && PQstatus(m_conn) == CONNECTION_OK;
}

bool TDAEADOConnection::ResetSession()
{
    if (!IsAlive())
        return false;
    try {
        if (PQtransactionStatus(m_conn) != PQTRANS_IDLE)
            RunSimple(QStringLiteral("ROLLBACK"));
        if (PQtransactionStatus(m_conn) != PQTRANS_IDLE)
            return false;
        // Temporary tables, prepared statements, settings and advisory locks of the last user go.
        RunSimple(QStringLiteral("DISCARD ALL"));
        m_preparedLeft = false;
        QString settings = QStringLiteral("SET search_path = dbo, public; SET DateStyle = ISO, MDY");
        if (m_commandTimeout > 0)
            settings += QStringLiteral("; SET statement_timeout = %1").arg(qlonglong(m_commandTimeout) * 1000);
        RunSimple(settings);
        return PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    } catch (const std::exception &) {
        // A database that did not answer in time will not answer the next connection either.
        if (!m_broken.isEmpty())
            throw;
        return false;
    }
}

int TDAEADOConnection::GetServerConnectionLimit()
{
    Result r(Run(QStringLiteral("SELECT current_setting('max_connections')::int - current_setting('superuser_reserved_connections')::int")));
    return PQntuples(r.get()) == 1 ? QByteArray(PQgetvalue(r.get(), 0, 0)).toInt() : 0;
}

void TDAEADOConnection::Abort()
{
    std::lock_guard lock(m_abortMutex);
    m_aborted = true;
    // A cancel that reaches the server before the statement itself is lost; the stopping
    // program's own bound on its wait covers that moment.
    if (m_running && m_cancel) {
        char error[256];
        PQcancel(m_cancel, error, int(sizeof error));
    }
}

void TDAEADOConnection::BeginStatement()
{
    std::lock_guard lock(m_abortMutex);
    if (m_aborted)
        throw EDAException(QString::fromLatin1(kAbortedText));
    m_running = true;
    m_limit = QorRequest::StatementLimit();
    m_deadline = m_limit.count() > 0 ? Clock::now() + m_limit : Clock::time_point::max();
}

void TDAEADOConnection::EndStatement()
{
    std::lock_guard lock(m_abortMutex);
    m_running = false;
}

void TDAEADOConnection::SetCommandTimeout(int seconds)
{
    m_commandTimeout = seconds;
    if (m_conn)
        RunSimple(QStringLiteral("SET statement_timeout = %1").arg(qlonglong(seconds) * 1000));
}

void TDAEADOConnection::RaiseServerError(PGresult *result, const QString &what)
{
    QString message;
    QString state;
    QString field;
    if (result) {
        message = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
        state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        field = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_COLUMN_NAME));
        // A unique violation names its columns only in the detail: "Key (a, b)=(...) already exists."
        static const QRegularExpression key(QStringLiteral("^Key \\((.*?)\\)="));
        const QRegularExpressionMatch m = key.match(QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)));
        if (field.isEmpty() && m.hasMatch())
            field = m.captured(1);
    }
    if (message.isEmpty())
        message = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    if (state.isEmpty() && PQstatus(m_conn) == CONNECTION_BAD)
        state = QStringLiteral("08006"); // the connection was lost
    if (message.isEmpty())
        message = what + QStringLiteral(" failed");
    PQclear(result);
    throw EDAException(message, state, field);
}

namespace {

constexpr int kMaxReused = 256;

// The generated statements of a delta; a SELECT may read through functions that change tables.
bool isChange(const QByteArray &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\t' || text[i] == '\r'))
        ++i;
    const QByteArrayView rest = QByteArrayView(text).sliced(i);
    for (const char *verb : {"INSERT ", "UPDATE ", "DELETE "})
        if (rest.size() > 7 && qstrnicmp(rest.data(), verb, 7) == 0)
            return true;
    return false;
}

bool isSavepointCommand(const QByteArray &text)
{
    return text.startsWith("SAVEPOINT ") || text.startsWith("RELEASE SAVEPOINT ") || text.startsWith("ROLLBACK TO SAVEPOINT ");
}

} // namespace

PGresult *TDAEADOConnection::Run(const QString &sql, const QVariantList &values, const QList<TDADataType> &declared)
{
    if (!m_broken.isEmpty())
        throw EDAException(m_broken, QString::fromLatin1(kCancelled));
    if (!m_conn)
        Open();
    EndRows();
    BeginStatement();
    struct Running
    {
        TDAEADOConnection *Connection;
        ~Running() { Connection->EndStatement(); }
    } running{this};
    PGresult *result = nullptr;
    const QByteArray text = sql.toUtf8();
    if (values.isEmpty()) {
        // Without values a text may hold several statements (scripts), DDL among them.
        if (!isSavepointCommand(text))
            ForgetPrepared();
        if (!PQsendQuery(m_conn, text.constData()))
            RaiseServerError(nullptr, QStringLiteral("The statement"));
        result = Collect();
    } else {
        pgdriver::BoundParams bound(m_textOid);
        for (int i = 0; i < values.size(); ++i)
            bound.add(values[i], i < declared.size() ? declared[i] : TDADataType::datUnknown);
        result = RunReused(text, bound);
    }
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY)
        RaiseServerError(result, QStringLiteral("The statement"));
    return result;
}

PGresult *TDAEADOConnection::RunReused(const QByteArray &text, const pgdriver::BoundParams &bound)
{
    if (!m_reuse.empty() && !GetInTransaction())
        ForgetPrepared(); // their transaction ended
    Reuse *reuse = nullptr;
    if (GetInTransaction() && isChange(text)) {
        // The same text with values of other types is another statement.
        std::string key(text.constData(), size_t(text.size()));
        key.append(1, '\0');
        key.append(reinterpret_cast<const char *>(bound.types()), size_t(bound.count()) * sizeof(Oid));
        auto it = m_reuse.find(key);
        if (it == m_reuse.end() && m_reuse.size() < kMaxReused)
            it = m_reuse.emplace(std::move(key), Reuse()).first;
        if (it != m_reuse.end())
            reuse = &it->second;
    }
    if (reuse && reuse->Name.isEmpty() && ++reuse->Uses >= 2) {
        const QByteArray name = "kestrova_" + QByteArray::number(++m_preparedCount);
        if (!PQsendPrepare(m_conn, name.constData(), text.constData(), bound.count(), bound.types()))
            RaiseServerError(nullptr, QStringLiteral("The statement"));
        PGresult *prepared = Collect();
        if (PQresultStatus(prepared) != PGRES_COMMAND_OK)
            RaiseServerError(prepared, QStringLiteral("The statement"));
        PQclear(prepared);
        reuse->Name = name;
        m_preparedLeft = true;
    }
    const int sent = reuse && !reuse->Name.isEmpty()
                         ? PQsendQueryPrepared(m_conn, reuse->Name.constData(), bound.count(), bound.values(), bound.lengths(),
                                               bound.formats(), 0)
                         : PQsendQueryParams(m_conn, text.constData(), bound.count(), bound.types(), bound.values(),
                                             bound.lengths(), bound.formats(), 0);
    if (!sent)
        RaiseServerError(nullptr, QStringLiteral("The statement"));
    return Collect();
}

PGconn *TDAEADOConnection::Connect(const char *const *keys, const char *const *values)
{
    PGconn *conn = PQconnectStartParams(keys, values, 0);
    if (!conn)
        throw EDAException(QStringLiteral("Cannot connect to the database"), QString::fromLatin1(kCannotConnect));
    const auto failure = [conn](const QString &message, const char *state) {
        PQfinish(conn);
        return EDAException(message, QString::fromLatin1(state));
    };
    // libpq honours connect_timeout only while it blocks; here it bounds the wait beside the
    // request's own limit.
    std::chrono::milliseconds limit = QorRequest::StatementLimit();
    const int given = m_connectTimeout.toInt();
    if (given > 0 && (limit.count() <= 0 || std::chrono::milliseconds(std::chrono::seconds(given)) < limit))
        limit = std::chrono::seconds(given);
    const Clock::time_point deadline = limit.count() > 0 ? Clock::now() + limit : Clock::time_point::max();
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (PQstatus(conn) != CONNECTION_BAD && state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        for (;;) {
            switch (WaitEnd(deadline)) {
            case TWaitEnd::Aborted:
                throw failure(QString::fromLatin1(kAbortedText), kCannotConnect);
            case TWaitEnd::ClientGone:
                throw failure(QStringLiteral("The client closed its connection: no database connection was made"), kCancelled);
            case TWaitEnd::TimeUp:
                throw failure(QStringLiteral("The database did not answer within %1 s: no connection was made").arg(seconds(limit)),
                     kCannotConnect);
            case TWaitEnd::None:
                break;
            }
            if (WaitFor(PQsocket(conn), state == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline))
                break;
        }
        state = PQconnectPoll(conn);
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        throw failure(message.isEmpty() ? QStringLiteral("Cannot connect to the database") : message, kCannotConnect);
    }
    // Sending never blocks: a statement larger than the socket takes waits in Flush, within its limit.
    PQsetnonblocking(conn, 1);
    return conn;
}

bool TDAEADOConnection::WaitFor(int socket, short events, Clock::time_point deadline)
{
    using std::chrono::milliseconds;
    const milliseconds left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    const milliseconds wait = std::clamp(left, milliseconds(0), kWatchInterval);
    pollfd p{socket, events, 0};
    const int n = ::poll(&p, 1, int(wait.count()));
    // An error of the socket itself is libpq's to find and report.
    return n > 0 || (n < 0 && errno != EINTR);
}

TDAEADOConnection::TWaitEnd TDAEADOConnection::WaitEnd(Clock::time_point deadline)
{
    {
        std::lock_guard lock(m_abortMutex);
        if (m_aborted)
            return TWaitEnd::Aborted;
    }
    if (QorRequest::ClientGone())
        return TWaitEnd::ClientGone;
    return Clock::now() >= deadline ? TWaitEnd::TimeUp : TWaitEnd::None;
}

void TDAEADOConnection::Await(short events)
{
    for (;;) {
        switch (WaitEnd(m_deadline)) {
        case TWaitEnd::Aborted:
            GiveUp(QString::fromLatin1(kAbortedText), false);
        case TWaitEnd::ClientGone:
            GiveUp(QStringLiteral("The client closed its connection: its database statement was cancelled"), true);
        case TWaitEnd::TimeUp:
            GiveUp(QStringLiteral("The database did not finish the statement within %1 s: it was cancelled").arg(seconds(m_limit)),
                   true);
        case TWaitEnd::None:
            break;
        }
        if (WaitFor(PQsocket(m_conn), events, m_deadline))
            return;
    }
}

void TDAEADOConnection::GiveUp(const QString &why, bool cancel)
{
    // What the server still does for this connection is cancelled, and the connection closed:
    // a late cancel must not meet a later statement, and a stopped database may never answer.
    if (cancel)
        cancelAside(m_conn);
    Close();
    m_broken = why;
    throw EDAException(why, QString::fromLatin1(kCancelled));
}

void TDAEADOConnection::Flush()
{
    for (;;) {
        const int left = PQflush(m_conn);
        if (left == 0)
            return;
        if (left < 0)
            RaiseServerError(nullptr, QStringLiteral("The statement"));
        Await(POLLOUT | POLLIN);
        if (!PQconsumeInput(m_conn))
            RaiseServerError(nullptr, QStringLiteral("The statement"));
    }
}

void TDAEADOConnection::AwaitResult()
{
    Flush();
    while (PQisBusy(m_conn)) {
        Await(POLLIN);
        if (!PQconsumeInput(m_conn))
            RaiseServerError(nullptr, QStringLiteral("The statement"));
    }
}

namespace {

bool failedResult(const PGresult *r)
{
    const ExecStatusType status = PQresultStatus(r);
    return status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY;
}

} // namespace

PGresult *TDAEADOConnection::Collect()
{
    // As PQexec answers: the last result, or the error (the server runs nothing after it).
    Result last;
    for (;;) {
        AwaitResult();
        PGresult *next = PQgetResult(m_conn);
        if (!next)
            break;
        if (last && failedResult(last.get()))
            PQclear(next);
        else
            last.reset(next);
    }
    if (!last)
        RaiseServerError(nullptr, QStringLiteral("The statement"));
    return last.release();
}


void TDAEADOConnection::ForgetPrepared()
{
    m_reuse.clear();
}

void TDAEADOConnection::SendForRows(const QString &sql, const QVariantList &values, const QList<TDADataType> &declared)
{
    if (!m_conn)
        Open();
    EndRows();
    const QByteArray text = sql.toUtf8();
    pgdriver::BoundParams bound(m_textOid);
    for (int i = 0; i < values.size(); ++i)
        bound.add(values[i], i < declared.size() ? declared[i] : TDADataType::datUnknown);
    // Running until the last result is taken.
    BeginStatement();
    if (!PQsendQueryParams(m_conn, text.constData(), bound.count(), bound.types(), bound.values(), bound.lengths(),
                           bound.formats(), 0)) {
        EndStatement();
        RaiseServerError(nullptr, QStringLiteral("The statement"));
    }
    m_sendingRows = true;
    // Without it the rows still come, in one result: NextRows' callers take either.
    PQsetSingleRowMode(m_conn);
    try {
        Flush();
    } catch (...) {
        m_sendingRows = false;
        EndStatement();
        throw;
    }
}

PGresult *TDAEADOConnection::NextRows()
{
    if (!m_sendingRows)
        return nullptr;
    try {
        AwaitResult();
    } catch (...) {
        m_sendingRows = false;
        EndStatement();
        throw;
    }
    PGresult *result = PQgetResult(m_conn);
    if (!result) {
        m_sendingRows = false;
        EndStatement();
        return nullptr;
    }
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
        EndRows(); // the connection is ready again before the error is raised
        RaiseServerError(result, QStringLiteral("The statement"));
    }
    return result;
}

void TDAEADOConnection::EndRows()
{
    if (!m_sendingRows)
        return;
    try {
        for (;;) {
            AwaitResult();
            PGresult *rest = PQgetResult(m_conn);
            if (!rest)
                break;
            PQclear(rest);
        }
    } catch (const std::exception &) {
        // The connection is closed or lost now; its next statement reports that.
    }
    m_sendingRows = false;
    EndStatement();
}

void TDAEADOConnection::RunSimple(const QString &sql)
{
    PQclear(Run(sql));
}

void TDAEADOConnection::BeginTransaction()
{
    if (GetInTransaction())
        throw EDAException(QStringLiteral("A transaction is already open on this connection"));
    // Statements an earlier transaction prepared go in the same round trip.
    const bool deallocate = m_preparedLeft;
    RunSimple(deallocate ? QStringLiteral("DEALLOCATE ALL; BEGIN") : QStringLiteral("BEGIN"));
    if (deallocate)
        m_preparedLeft = false;
}

void TDAEADOConnection::CommitTransaction()
{
    if (!GetInTransaction())
        throw EDAException(QStringLiteral("There is no open transaction to commit"));
    Result r(Run(QStringLiteral("COMMIT")));
    if (qstrcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
        throw EDAException(QStringLiteral("The transaction was rolled back: a statement in it had failed"));
}

void TDAEADOConnection::RollbackTransaction()
{
    if (m_conn && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        RunSimple(QStringLiteral("ROLLBACK"));
}

bool TDAEADOConnection::GetInTransaction() const
{
    if (!m_conn)
        return false;
    const PGTransactionStatusType s = PQtransactionStatus(m_conn);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

void TDAEADOConnection::Savepoint(const QString &name)
{
    if (!GetInTransaction())
        throw EDAException(QStringLiteral("A savepoint needs an open transaction"));
    RunSimple(QStringLiteral("SAVEPOINT ") + QuoteIdentifier(name));
}

void TDAEADOConnection::ReleaseSavepoint(const QString &name)
{
    RunSimple(QStringLiteral("RELEASE SAVEPOINT ") + QuoteIdentifier(name));
}

void TDAEADOConnection::RollbackToSavepoint(const QString &name)
{
    RunSimple(QStringLiteral("ROLLBACK TO SAVEPOINT ") + QuoteIdentifier(name));
}

std::unique_ptr<TDAEDataset> TDAEADOConnection::NewDataset(const QString &sql)
{
    auto query = std::make_unique<TDAEADOQuery>(this);
    query->SetSQL(sql);
    return query;
}

std::unique_ptr<TDAEStoredProcedure> TDAEADOConnection::NewStoredProcedure(const QString &name)
{
    auto proc = std::make_unique<TDAEADOStoredProcedure>(this);
    proc->SetProcedureName(name);
    return proc;
}

// ---------------------------------------------------------------- metadata

namespace {

QStringList firstColumn(PGresult *r)
{
    QStringList list;
    for (int i = 0; i < PQntuples(r); ++i)
        list << QString::fromUtf8(PQgetvalue(r, i, 0));
    PQclear(r);
    return list;
}

} // namespace

QString TDAEADOConnection::BareName(const QString &name) const
{
    // "dbo.Name", "[dbo].[Name]" and "\"Name\"" all name the object Name of schema dbo.
    QString n = name.trimmed();
    n.remove(QLatin1Char('[')).remove(QLatin1Char(']')).remove(QLatin1Char('"'));
    const int dot = int(n.lastIndexOf(QLatin1Char('.')));
    return dot >= 0 ? n.mid(dot + 1) : n;
}

QStringList TDAEADOConnection::GetTableNames()
{
    return firstColumn(Run(QStringLiteral(
        "SELECT CASE WHEN $1 = 1 THEN table_schema || '.' ELSE '' END || table_name FROM information_schema.tables "
        "WHERE table_schema = 'dbo' AND table_type = 'BASE TABLE' ORDER BY table_name"), {m_nativeSchemas ? 1 : 0},
        {TDADataType::datInteger}));
}

QStringList TDAEADOConnection::GetViewNames()
{
    return firstColumn(Run(QStringLiteral(
        "SELECT CASE WHEN $1 = 1 THEN table_schema || '.' ELSE '' END || table_name FROM information_schema.views "
        "WHERE table_schema = 'dbo' ORDER BY table_name"), {m_nativeSchemas ? 1 : 0}));
}

QStringList TDAEADOConnection::GetStoredProcedureNames()
{
    return firstColumn(Run(QStringLiteral(
        "SELECT DISTINCT CASE WHEN $1 = 1 THEN n.nspname || '.' ELSE '' END || p.proname FROM pg_proc p "
        "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'dbo' ORDER BY 1"), {m_nativeSchemas ? 1 : 0}));
}

TDAFieldList TDAEADOConnection::GetTableFields(const QString &tableName)
{
    const QString bare = BareName(tableName);
    Result r(Run(QStringLiteral(
        "SELECT a.attname, a.atttypid, CASE WHEN a.atttypmod > 4 AND t.typname IN ('varchar','bpchar') "
        "THEN a.atttypmod - 4 ELSE 0 END, a.attnotnull, coalesce(pg_get_expr(d.adbin, d.adrelid), ''), "
        "coalesce(col_description(c.oid, a.attnum), ''), "
        "EXISTS (SELECT 1 FROM pg_index i WHERE i.indrelid = c.oid AND i.indisprimary AND a.attnum = ANY(i.indkey)), "
        "t.typname, a.attidentity <> '' "
        "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
        "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
        "JOIN pg_type t ON t.oid = a.atttypid "
        "LEFT JOIN pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum "
        "WHERE n.nspname = 'dbo' AND lower(c.relname) = lower($1) ORDER BY a.attnum"), {bare}));
    TDAFieldList fields;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        TDAField f;
        f.Name = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        const QString typname = QString::fromUtf8(PQgetvalue(r.get(), i, 7));
        f.DataType = pgdriver::dataTypeOfOid(QByteArray(PQgetvalue(r.get(), i, 1)).toUInt());
        if (typname == QLatin1String("text") || typname == QLatin1String("citext"))
            f.DataType = TDADataType::datMemo;
        f.Size = QByteArray(PQgetvalue(r.get(), i, 2)).toInt();
        f.Required = PQgetvalue(r.get(), i, 3)[0] == 't';
        f.DefaultValue = QString::fromUtf8(PQgetvalue(r.get(), i, 4));
        f.Description = QString::fromUtf8(PQgetvalue(r.get(), i, 5));
        f.InPrimaryKey = PQgetvalue(r.get(), i, 6)[0] == 't';
        if (PQgetvalue(r.get(), i, 8)[0] == 't' || f.DefaultValue.startsWith(QLatin1String("nextval(")))
            f.DataType = f.DataType == TDADataType::datLargeInt ? TDADataType::datLargeAutoInc : TDADataType::datAutoInc;
        fields << f;
    }
    if (fields.isEmpty())
        throw EDAException(QStringLiteral("Table \"%1\" not found").arg(tableName));
    return fields;
}

QList<TDAForeignKey> TDAEADOConnection::GetForeignKeys()
{
    Result r(Run(QStringLiteral(
        "SELECT CASE WHEN $1 = 1 THEN fn.nspname || '.' ELSE '' END || fc.relname, "
        "CASE WHEN $1 = 1 THEN pn.nspname || '.' ELSE '' END || pc.relname, "
        "(SELECT string_agg(a.attname, ',' ORDER BY k.n) FROM unnest(con.conkey) WITH ORDINALITY k(att, n) "
        " JOIN pg_attribute a ON a.attrelid = con.conrelid AND a.attnum = k.att), "
        "(SELECT string_agg(a.attname, ',' ORDER BY k.n) FROM unnest(con.confkey) WITH ORDINALITY k(att, n) "
        " JOIN pg_attribute a ON a.attrelid = con.confrelid AND a.attnum = k.att) "
        "FROM pg_constraint con JOIN pg_class fc ON fc.oid = con.conrelid JOIN pg_namespace fn ON fn.oid = fc.relnamespace "
        "JOIN pg_class pc ON pc.oid = con.confrelid JOIN pg_namespace pn ON pn.oid = pc.relnamespace "
        "WHERE con.contype = 'f' AND fn.nspname = 'dbo' ORDER BY 1, 2, 3"), {m_nativeSchemas ? 1 : 0}));
    QList<TDAForeignKey> keys;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        keys << TDAForeignKey{QString::fromUtf8(PQgetvalue(r.get(), i, 0)), QString::fromUtf8(PQgetvalue(r.get(), i, 1)),
                              QString::fromUtf8(PQgetvalue(r.get(), i, 2)), QString::fromUtf8(PQgetvalue(r.get(), i, 3))};
    return keys;
}

QStringList TDAEADOConnection::GetDatabaseNames()
{
    return firstColumn(Run(QStringLiteral(
        "SELECT datname FROM pg_database WHERE NOT datistemplate AND datallowconn ORDER BY datname")));
}

qlonglong TDAEADOConnection::GetLastAutoInc(const QString &generatorName)
{
    Result r(generatorName.isEmpty()
                 ? Run(QStringLiteral("SELECT lastval()"))
                 : Run(QStringLiteral("SELECT currval($1::regclass)"), {generatorName}));
    return QByteArray(PQgetvalue(r.get(), 0, 0)).toLongLong();
}

QPair<QChar, QChar> TDAEADOConnection::GetQuoteChars() const
{
    // The engine quotes names with double quotes where SQL Server uses brackets.
    return {QLatin1Char('"'), QLatin1Char('"')};
}

bool TDAEADOConnection::IdentifierNeedsQuoting(const QString &identifier) const
{
    // Names are written unquoted and fold to lower case; quoting a plain name in mixed case
    // would make it a different name, so only names that cannot stand bare are quoted.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    static const QStringList reserved = {
        QStringLiteral("all"), QStringLiteral("and"), QStringLiteral("as"), QStringLiteral("by"),
        QStringLiteral("case"), QStringLiteral("check"), QStringLiteral("column"), QStringLiteral("create"),
        QStringLiteral("default"), QStringLiteral("desc"), QStringLiteral("end"), QStringLiteral("from"),
        QStringLiteral("group"), QStringLiteral("order"), QStringLiteral("select"), QStringLiteral("table"),
        QStringLiteral("to"), QStringLiteral("user"), QStringLiteral("where"), QStringLiteral("with")};
    return !plain.match(identifier).hasMatch() || reserved.contains(identifier.toLower());
}

QString TDAEADOConnection::GetSPSelectSyntax(bool hasArguments) const
{
    return hasArguments ? QStringLiteral("SELECT * FROM {0}({1})") : QStringLiteral("SELECT * FROM {0}()");
}

QString TDAEADOConnection::GetFieldSQLType(const TDAField &field) const
{
    switch (field.DataType) {
    case TDADataType::datUnknown: return QStringLiteral("unknown");
    case TDADataType::datString: return QStringLiteral("citext");
    case TDADataType::datDateTime: return QStringLiteral("timestamp");
    case TDADataType::datFloat: return QStringLiteral("double precision");
    case TDADataType::datCurrency: return QStringLiteral("numeric(19,4)");
    case TDADataType::datAutoInc: return QStringLiteral("integer GENERATED BY DEFAULT AS IDENTITY");
    case TDADataType::datInteger: return QStringLiteral("integer");
    case TDADataType::datLargeInt: return QStringLiteral("bigint");
    case TDADataType::datBoolean: return QStringLiteral("smallint");
    case TDADataType::datMemo: return QStringLiteral("citext");
    case TDADataType::datBlob: return QStringLiteral("bytea");
    default: return {};
    }
}

QString TDAEADOConnection::BuildCreateTableSQL(const TDAFieldList &fields, const QString &tableName) const
{
    if (tableName.trimmed().isEmpty())
        throw EDAException(QStringLiteral("A table needs a name to be created"));
    QStringList columns;
    QStringList keys;
    for (const TDAField &f : fields) {
        QString type = GetFieldSQLType(f);
        if (type.isEmpty() && f.DataType == TDADataType::datGuid)
            type = QStringLiteral("varchar(38)"); // keys are braced GUID texts
        if (type.isEmpty() || type == QLatin1String("unknown"))
            throw EDAException(QStringLiteral("Field \"%1\" has no column type for table \"%2\"").arg(f.Name, tableName));
        columns << QuoteIdentifierIfNeeded(f.Name) + QLatin1Char(' ') + type
                       + (f.Required || f.InPrimaryKey ? QStringLiteral(" NOT NULL") : QString());
        if (f.InPrimaryKey)
            keys << QuoteIdentifierIfNeeded(f.Name);
    }
    if (!keys.isEmpty())
        columns << QStringLiteral("PRIMARY KEY (%1)").arg(keys.join(QStringLiteral(", ")));
    QStringList nameParts;
    for (const QString &part : tableName.split(QLatin1Char('.')))
        nameParts << QuoteIdentifierIfNeeded(part.trimmed());
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(nameParts.join(QLatin1Char('.')), columns.join(QStringLiteral(", ")));
}

void TDAEADOConnection::CreateTable(const TDAFieldList &fields, const QString &tableName)
{
    RunSimple(BuildCreateTableSQL(fields, tableName));
}
