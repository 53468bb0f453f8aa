// A database of its own for one test, copied from a template built once per set of
// template scripts; dropped again when the test ends. Never points at a system cluster.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrova::test {

// A template built on top of the scripts' template: `prepare` runs once on a fresh copy of it
// (for example the patch ladder), gets that copy's connection string in the system's own
// grammar and answers an error text, empty on success. `tag` names the result and must change
// whenever what `prepare` does changes.
struct TemplateStage
{
    QString tag;
    std::function<QString(const QString &connectionString)> prepare;
};

class TestDatabase
{
public:
    // Skips the current test (GTEST_SKIP) when no cluster is configured, unless
    // KESTROVA_REQUIRE_PG is set, in which case the missing cluster fails the test.
    // The database is a copy of the template scripts' result: a version-14 database.
    TestDatabase();
    // The database is a copy of the template that `stage` makes from the scripts' template.
    explicit TestDatabase(const TemplateStage &stage);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    bool available() const { return !m_name.isEmpty(); }
    QString name() const { return m_name; }
    QString socketDir() const { return m_host; }
    int port() const { return m_port; }
    // libpq keyword string for this database (search_path is not set: connections of the
    // system set it themselves).
    QString conninfo() const;
    // A connection string in the system's own grammar (driver "ADO", provider SQLOLEDB.1).
    QString connectionString() const;
    static QString connectionString(const QString &host, int port, const QString &database);

    // Runs SQL on this database; fails the test with the server's message on error.
    void exec(const QString &sql) const;
    // First column of the first row as text; empty when there is no row.
    QString scalar(const QString &sql) const;
    // Every row, every column as text; SQL NULL is a null QString.
    QList<QStringList> rows(const QString &sql) const;

    // The template scripts, in order (compiled in).
    static QStringList templateScripts();

private:
    void init(const TemplateStage *stage);

    QString m_name;
    QString m_host;
    int m_port = 0;
};

} // namespace kestrova::test
