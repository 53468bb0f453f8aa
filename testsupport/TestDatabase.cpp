#include "testsupport/TestDatabase.h"

#include "TemplateScripts.h"
#include "foundation/SqlScript.h"

#include <QCryptographicHash>
#include <QFile>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <atomic>
#include <memory>
#include <unistd.h>

namespace kestrova::test {
namespace {

struct PgConnDeleter { void operator()(PGconn *c) const { PQfinish(c); } };
struct PgResultDeleter { void operator()(PGresult *r) const { PQclear(r); } };
using PgConn = std::unique_ptr<PGconn, PgConnDeleter>;
using PgResult = std::unique_ptr<PGresult, PgResultDeleter>;

// An arbitrary but fixed key, so concurrent test processes build the template only once.
constexpr long long kTemplateLockKey = 0x4b45535452;

QString quoteIdent(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Test connections see the schema dbo first, as the system's own connections do.
PgConn connectTo(const QString &host, int port, const QString &db)
{
    const QByteArray info = QStringLiteral("host='%1' port=%2 dbname='%3' user=postgres "
                                           "options='-c search_path=dbo,public -c DateStyle=ISO'")
                                .arg(host).arg(port).arg(db).toUtf8();
    PgConn c(PQconnectdb(info.constData()));
    if (PQstatus(c.get()) != CONNECTION_OK)
        ADD_FAILURE() << "cannot connect to the test cluster: " << PQerrorMessage(c.get());
    return c;
}

bool run(PGconn *c, const QString &sql, QString *error = nullptr)
{
    PgResult r(PQexec(c, sql.toUtf8().constData()));
    const auto st = PQresultStatus(r.get());
    if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(PQresultErrorMessage(r.get()));
    return false;
}

QByteArray readScript(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read template script " << path.toStdString();
        return {};
    }
    return f.readAll();
}

} // namespace

QStringList TestDatabase::templateScripts()
{
    return QString::fromUtf8(KESTROVA_TEMPLATE_SQL).split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

namespace {

// Scripts run batch by batch, split on their "GO" lines like every other runner of them.
bool runScript(PGconn *c, const QByteArray &script, QString *error)
{
    for (const QString &batch : SqlScript::SplitBatches(script)) {
        if (!run(c, batch, error))
            return false;
    }
    return true;
}

// Builds `name` under the caller's lock with `build` when it does not exist yet; the work
// happens in a side database renamed into place, so a failed build leaves nothing behind.
bool ensureTemplate(PGconn *admin, const QString &name, const std::function<bool(const QString &, QString *)> &build,
                    QString *error)
{
    PgResult exists(PQexec(admin, QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'")
                                      .arg(name).toUtf8().constData()));
    if (PQntuples(exists.get()) > 0)
        return true;
    const QString building = name + QStringLiteral("_build");
    run(admin, QStringLiteral("DROP DATABASE IF EXISTS %1").arg(quoteIdent(building)));
    bool ok = build(building, error);
    if (ok)
        ok = run(admin, QStringLiteral("ALTER DATABASE %1 RENAME TO %2").arg(quoteIdent(building), quoteIdent(name)), error);
    if (!ok)
        run(admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quoteIdent(building)));
    return ok;
}

} // namespace

TestDatabase::TestDatabase()
{
    init(nullptr);
}

TestDatabase::TestDatabase(const TemplateStage &stage)
{
    init(&stage);
}

void TestDatabase::init(const TemplateStage *stage)
{
    const QByteArray urlText = qgetenv("KESTROVA_TEST_PG");
    if (urlText.isEmpty()) {
        if (qEnvironmentVariableIsSet("KESTROVA_REQUIRE_PG"))
            ADD_FAILURE() << "KESTROVA_TEST_PG is not set; run the tests through scripts/test";
        else
            GTEST_SKIP() << "no private PostgreSQL cluster (KESTROVA_TEST_PG); run scripts/test";
        return;
    }
    const QUrl url(QString::fromUtf8(urlText));
    const QUrlQuery query(url);
    m_host = query.queryItemValue(QStringLiteral("host"));
    m_port = query.queryItemValue(QStringLiteral("port")).toInt();

    // The template's name carries a hash of its scripts, so a changed script makes a new one.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QList<QByteArray> scripts;
    for (const QString &path : templateScripts()) {
        scripts << readScript(path);
        hash.addData(scripts.last());
    }
    const QString templateName = QStringLiteral("kestrova_tmpl_") + QString::fromLatin1(hash.result().toHex().left(16));

    PgConn admin = connectTo(m_host, m_port, QStringLiteral("postgres"));
    if (PQstatus(admin.get()) != CONNECTION_OK)
        return;
    QString error;
    run(admin.get(), QStringLiteral("SELECT pg_advisory_lock(%1)").arg(kTemplateLockKey));
    bool ok = ensureTemplate(admin.get(), templateName, [&](const QString &building, QString *err) {
        if (!run(admin.get(), QStringLiteral("CREATE DATABASE %1").arg(quoteIdent(building)), err))
            return false;
        PgConn t = connectTo(m_host, m_port, building);
        for (int i = 0; i < scripts.size(); ++i) {
            if (!runScript(t.get(), scripts[i], err)) {
                *err = templateScripts()[i] + QStringLiteral(": ") + *err;
                return false;
            }
        }
        return true;
    }, &error);
    QString sourceName = templateName;
    if (ok && stage) {
        QCryptographicHash stageHash(QCryptographicHash::Sha1);
        stageHash.addData(stage->tag.toUtf8());
        sourceName = templateName + QStringLiteral("_") + QString::fromLatin1(stageHash.result().toHex().left(12));
        ok = ensureTemplate(admin.get(), sourceName, [&](const QString &building, QString *err) {
            if (!run(admin.get(), QStringLiteral("CREATE DATABASE %1 TEMPLATE %2")
                                      .arg(quoteIdent(building), quoteIdent(templateName)), err))
                return false;
            *err = stage->prepare(connectionString(m_host, m_port, building));
            if (!err->isEmpty())
                *err = QStringLiteral("template stage ") + stage->tag + QStringLiteral(": ") + *err;
            return err->isEmpty();
        }, &error);
    }
    run(admin.get(), QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kTemplateLockKey));
    if (!ok) {
        ADD_FAILURE() << "building the template database failed: " << error.toStdString();
        return;
    }

    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("kestrova_t_%1_%2_%3")
                             .arg(getpid()).arg(counter.fetch_add(1))
                             .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    if (!run(admin.get(), QStringLiteral("CREATE DATABASE %1 TEMPLATE %2")
                              .arg(quoteIdent(name), quoteIdent(sourceName)), &error)) {
        ADD_FAILURE() << "creating the test database failed: " << error.toStdString();
        return;
    }
    m_name = name;
}

TestDatabase::~TestDatabase()
{
    if (m_name.isEmpty())
        return;
    PgConn admin = connectTo(m_host, m_port, QStringLiteral("postgres"));
    QString error;
    if (!run(admin.get(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quoteIdent(m_name)), &error))
        ADD_FAILURE() << "dropping the test database failed: " << error.toStdString();
}

QString TestDatabase::conninfo() const
{
    return QStringLiteral("host='%1' port=%2 dbname='%3' user=postgres").arg(m_host).arg(m_port).arg(m_name);
}

QString TestDatabase::connectionString() const
{
    return connectionString(m_host, m_port, m_name);
}

QString TestDatabase::connectionString(const QString &host, int port, const QString &database)
{
    return QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1,%2;Database=%3;UserID=postgres;")
        .arg(host).arg(port).arg(database);
}

void TestDatabase::exec(const QString &sql) const
{
    PgConn c = connectTo(m_host, m_port, m_name);
    QString error;
    if (!run(c.get(), sql, &error))
        ADD_FAILURE() << "SQL failed: " << error.toStdString() << "\n" << sql.toStdString();
}

QString TestDatabase::scalar(const QString &sql) const
{
    PgConn c = connectTo(m_host, m_port, m_name);
    PgResult r(PQexec(c.get(), sql.toUtf8().constData()));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
        ADD_FAILURE() << "SQL failed: " << PQresultErrorMessage(r.get()) << "\n" << sql.toStdString();
        return {};
    }
    if (PQntuples(r.get()) == 0)
        return {};
    return QString::fromUtf8(PQgetvalue(r.get(), 0, 0));
}

QList<QStringList> TestDatabase::rows(const QString &sql) const
{
    PgConn c = connectTo(m_host, m_port, m_name);
    PgResult r(PQexec(c.get(), sql.toUtf8().constData()));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
        ADD_FAILURE() << "SQL failed: " << PQresultErrorMessage(r.get()) << "\n" << sql.toStdString();
        return {};
    }
    QList<QStringList> result;
    for (int row = 0; row < PQntuples(r.get()); ++row) {
        QStringList values;
        for (int col = 0; col < PQnfields(r.get()); ++col)
            values << (PQgetisnull(r.get(), row, col) ? QString() : QString::fromUtf8(PQgetvalue(r.get(), row, col)));
        result << values;
    }
    return result;
}

} // namespace kestrova::test
