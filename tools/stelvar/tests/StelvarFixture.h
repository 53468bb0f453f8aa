// A program folder for the setup program on the private cluster: the shipped scripts, a
// settings file naming a database of the test's own, and helpers to look into any database.
#pragma once

#include "StelvarSetup.h"

#include "foundation/IniFile.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

class StelvarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!cluster.available())
            GTEST_SKIP();
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("mssqlScripts")));
        for (const char *script : {"CreateScript.sql", "DefaultData.sql", "CalenderData.sql"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/mssqlScripts/") + QLatin1String(script),
                                    folder + QStringLiteral("mssqlScripts/") + QLatin1String(script)));
        made = cluster.name() + QStringLiteral("_made");
        WriteSettings(QStringLiteral("MSSQL"), Source(made));
    }

    void TearDown() override
    {
        if (!cluster.available())
            return;
        auto maintenance = Open(QStringLiteral("postgres"));
        // Whatever a run made beside the test's own database.
        for (const QStringList &row : Rows(*maintenance, QStringLiteral("SELECT datname FROM pg_database WHERE datname LIKE '%1\\_%'")
                                                             .arg(cluster.name())))
            maintenance->NewCommand(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(row.first()))->Execute();
    }

    // A data source as the settings editor writes it, with a password the log must not show.
    QString Source(const QString &database) const
    {
        return QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1,%2;UserID=postgres;Password=%3;Database=%4;")
            .arg(cluster.socketDir()).arg(cluster.port()).arg(password, database);
    }

    void WriteSettings(const QString &dataType, const QString &dataSource, const QString &older = {})
    {
        QList<IniFile::Entry> entries = {{QStringLiteral("Data Access"), QStringLiteral("DataType"), dataType},
                                         {QStringLiteral("Data Access"), QStringLiteral("DataSource"), dataSource},
                                         {QStringLiteral("Unknown"), QStringLiteral("Kept"), QStringLiteral("yes")}};
        if (!older.isEmpty())
            entries.append({QStringLiteral("Data Access"), QStringLiteral("Access"), older});
        ASSERT_TRUE(IniFile::writeStrings(folder + QStringLiteral("Settings.ini"), entries));
    }

    QString Setting(const QString &section, const QString &key) const
    {
        return IniFile::readString(folder + QStringLiteral("Settings.ini"), section, key, QStringLiteral("<missing>"));
    }

    QByteArray SettingsBytes() const
    {
        QFile f(folder + QStringLiteral("Settings.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString LogText() const
    {
        QFile f(folder + TStelvarSetup::LogFileName);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    std::unique_ptr<TDAEADOConnection> Open(const QString &database) const
    {
        auto connection = std::make_unique<TDAEADOConnection>();
        connection->SetConnectionString(kestrova::test::TestDatabase::connectionString(cluster.socketDir(), cluster.port(), database));
        connection->Open();
        return connection;
    }

    static QList<QStringList> Rows(IDAConnection &connection, const QString &sql)
    {
        auto rows = connection.NewDataset(sql);
        rows->Open();
        QList<QStringList> result;
        for (const QVariantList &row : rows->Rows()) {
            QStringList values;
            for (const QVariant &value : row)
                values << value.toString();
            result << values;
        }
        return result;
    }

    QList<QStringList> Rows(const QString &database, const QString &sql) const { return Rows(*Open(database), sql); }

    QString Scalar(const QString &database, const QString &sql) const
    {
        const QList<QStringList> rows = Rows(database, sql);
        return rows.isEmpty() ? QString() : rows.first().first();
    }

    // A table's row count and a digest of all its rows, every column included.
    QString Digest(const QString &database, const QString &table) const
    {
        return Scalar(database, QStringLiteral("SELECT count(*) || ' ' || coalesce(md5(string_agg(x::text, '|' ORDER BY x::text)), '') "
                                               "FROM dbo.%1 x").arg(table));
    }

    QStringList Tables(const QString &database) const
    {
        QStringList names;
        for (const QStringList &row : Rows(database, QStringLiteral("SELECT table_name FROM information_schema.tables WHERE "
                                                                    "table_schema = 'dbo' AND table_type = 'BASE TABLE' ORDER BY 1")))
            names << row.first();
        return names;
    }

    // Databases of the cluster whose name begins with prefix.
    QStringList Databases(const QString &prefix) const
    {
        QStringList names;
        for (const QStringList &row : Rows(QStringLiteral("postgres"),
                                           QStringLiteral("SELECT datname FROM pg_database WHERE datname LIKE '%1%' ORDER BY 1").arg(prefix)))
            names << row.first();
        return names;
    }

    // Prompts that record what the run said and answer the overwrite question with `overwrite`.
    TStelvarPrompts Scripted(bool overwrite)
    {
        TStelvarPrompts prompts;
        prompts.AskYesNo = [this, overwrite](const QString &caption, const QString &text) {
            questions << caption + QLatin1Char('|') + text;
            return overwrite;
        };
        prompts.ShowMessage = [this](const QString &text) { messages << text; };
        prompts.ReportProgress = [this](const QString &caption, int position, int maximum) {
            if (captions.isEmpty() || captions.last() != caption)
                captions << caption;
            lastPosition = position;
            lastMaximum = maximum;
        };
        return prompts;
    }

    kestrova::test::TestDatabase cluster;
    QTemporaryDir dir;
    QString folder;
    QString made;
    const QString password = QUuid::createUuid().toString(QUuid::Id128);
    QStringList questions;
    QStringList messages;
    QStringList captions;
    int lastPosition = -1;
    int lastMaximum = -1;
};
