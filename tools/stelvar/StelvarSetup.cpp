#include "StelvarSetup.h"

#include "uQorConStrGen.h"

#include "dataaccess/DAException.h"
#include "foundation/FileResolver.h"
#include "foundation/IniFile.h"
#include "foundation/SqlScript.h"
#include "server/database/DatabaseMaintenance.h"
#include "server/database/uDMServerDatabase.h"

#include <QDate>
#include <QDir>

#include <stdexcept>

namespace {

const QString kDataAccess = QStringLiteral("Data Access");
const QString kOldData = QStringLiteral("Old Data");
const QString kTest = QStringLiteral("MSSQL_Test");
const QString kMigrate = QStringLiteral("MSSQL_Migrate");
const QString kSource = QStringLiteral("Access");
// Where migrated rows wait in the new database until they are cleaned.
const QString kStaging = QStringLiteral("migration");
const QString kHistoryId = QStringLiteral("{B560F2F6-06F1-4233-9644-82857C983CAF}");
// The version the three scripts build; the server climbs on from there.
constexpr int kScriptsVersion = 14;

QString Message(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

QString Literal(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

int Execute(IDAConnection &connection, const QString &sql)
{
    return connection.NewCommand(sql)->Execute();
}

QString Scalar(IDAConnection &connection, const QString &sql)
{
    auto rows = connection.NewDataset(sql);
    rows->Open();
    return rows->Rows().isEmpty() ? QString() : rows->Rows().first().value(0).toString();
}

// The base tables of the older database's "dbo" schema, in lower case as the server keeps them;
// a connection that names schemas gives "dbo.name", and only the name is compared.
QStringList SourceTables(IDAConnection &source)
{
    QStringList names;
    for (const QString &name : source.GetTableNames())
        names << name.mid(name.lastIndexOf(QLatin1Char('.')) + 1).toLower();
    return names;
}

QString Members(const QString &column)
{
    return TDMServerDatabase::NotAMember(column);
}

// The columns of a table in the "dbo" schema, in order, each with its type as the database
// spells it, so that a column of a newer version can be made alike.
QList<std::pair<QString, QString>> Columns(IDAConnection &connection, const QString &table)
{
    auto rows = connection.NewDataset(QStringLiteral(
        "SELECT a.attname::text, format_type(a.atttypid, a.atttypmod) FROM pg_attribute a "
        "JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
        "WHERE n.nspname = 'dbo' AND c.relname::text = :Table AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum"));
    rows->ParamByName(QStringLiteral("Table")).Value = table.toLower();
    rows->Open();
    QList<std::pair<QString, QString>> columns;
    for (const QVariantList &row : rows->Rows())
        columns.append({row.at(0).toString(), row.at(1).toString()});
    return columns;
}

} // namespace

struct TStelvarSetup::Run
{
    explicit Run(const TStelvarPrompts &p)
        : prompts(p)
    {
    }

    const TStelvarPrompts &prompts;
    QString name;
    QString build;
    bool buildCreated = false;
    std::unique_ptr<IDAConnection> maintenance;
    std::unique_ptr<IDAConnection> source;
    std::unique_ptr<IDAConnection> target;
    QStringList createBatches;
    QStringList defaultBatches;
    QStringList calendarBatches;
    // Rows each clean-up statement changed, both passes together.
    QList<int> cleaned;
    // Tables of the older database with rows that no table of the new one takes.
    QStringList leftBehind;
    QString caption;
    int position = 0;
    int maximum = 0;

    void Progress(const QString &text)
    {
        caption = text;
        if (prompts.ReportProgress)
            prompts.ReportProgress(caption, position, maximum);
    }
    void Advance()
    {
        ++position;
        if (prompts.ReportProgress)
            prompts.ReportProgress(caption, position, maximum);
    }
    // Runs every batch closed by a "GO" line, one step of the bar each.
    void RunScript(const QStringList &batches)
    {
        for (const QString &batch : batches) {
            Execute(*target, batch);
            Advance();
        }
    }
};

const QList<TStelvarSetup::MigratedTable> &TStelvarSetup::MigratedTables()
{
    static const QList<MigratedTable> tables = [] {
        QList<MigratedTable> list;
        const auto group = [&list](const char *caption, std::initializer_list<const char *> names) {
            for (const char *name : names)
                list.append({QLatin1String(caption), QLatin1String(name)});
        };
        group("Migrating settings", {"tblDBVersion", "tblGroups", "tblSettings", "tblMinistryFunctions", "tblMinistryTemplates",
                                     "tblRuleTypes", "tblLnkMinistryTemplateToMinistryFunction", "tblLiturgyTemplates",
                                     "tblLnkServingRules", "tblLocations"});
        group("Migrating contacts", {"tblBlobSettings", "tblCalenderData", "tblContacts", "tblContactTypes", "tblFamilies",
                                     "tblEventColors", "tblLnkGroupmembers", "tblLnkServingPrefrence",
                                     "tblLnkContactFunctionFrequency", "tblServingFrequency", "tblServingPrefrenceFrequency",
                                     "tblServingPrefrenceLiturgy"});
        group("Migrating liturgies", {"tblEvents", "tblEventSeries", "tblLnkEventSeries", "tblScheduledLiturgies",
                                      "tblScheduledMinistryFunctions", "tblUnAvailiabillity"});
        group("Migrating users", {"tblUserLevels", "tblUsers"});
        return list;
    }();
    return tables;
}

// A member may be a contact, a family or a group, and a NULL in a key list must not hide
// every orphan, so the member tests are the server's own clean-up conditions.
const QList<TStelvarSetup::Cleaning> &TStelvarSetup::CleaningStatements()
{
    static const QList<Cleaning> statements = {
        {QStringLiteral("DELETE FROM tblLnkServingRules WHERE ") + Members(QStringLiteral("F_RuleMemberID")) + QStringLiteral(" OR ")
             + Members(QStringLiteral("F_OwnerMemberID")),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblLnkServingRules"), QStringLiteral("serving rules naming a contact that no longer exists")},
        {QStringLiteral("DELETE FROM tblLnkGroupMembers WHERE ") + Members(QStringLiteral("F_MemberID"))
             + QStringLiteral(" OR F_GroupID NOT IN (SELECT PK_GroupID FROM tblGroups WHERE PK_GroupID IS NOT NULL)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblLnkGroupMembers"), QStringLiteral("group memberships of a member or group that no longer exists")},
        {QStringLiteral("DELETE FROM tblUnAvailiabillity WHERE F_ContactID NOT IN (SELECT PK_ContactID FROM tblContacts)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblUnavailabillity"), QStringLiteral("absences of a contact that no longer exists")},
        {QStringLiteral("DELETE FROM tblLiturgyTemplates WHERE F_LocationID NOT IN (SELECT PK_LocationID FROM tblLocations)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblLiturgyTemplates"), QStringLiteral("liturgies of a location that no longer exists")},
        {QStringLiteral("DELETE FROM tblLnkMinistryTemplateToMinistryFunction WHERE F_MinistryTemplateID NOT IN (SELECT "
                        "PK_MinistryTemplateID FROM tblMinistryTemplates) OR F_MinistryFunctionID NOT IN (SELECT "
                        "PK_MinistryFunctionID FROM tblMinistryFunctions)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblLnkMinistryTemplatesToMinistryFunctions"), QStringLiteral("links between a ministry template and a ministry function, one of which no longer exists")},
        {QStringLiteral("DELETE FROM tblLnkServingPrefrence WHERE F_ContactID NOT IN (SELECT PK_ContactID FROM tblContacts) OR "
                        "F_MinistryFunctionID NOT IN (SELECT PK_MinistryFunctionID FROM tblMinistryFunctions)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblLnkServingPrefrence"), QStringLiteral("serving preferences of a contact or ministry function that no longer exists")},
        {QStringLiteral("DELETE FROM tblServingPrefrenceFrequency WHERE F_ServingPrefrenceID NOT IN (SELECT PK_ServingPrefrenceID "
                        "FROM tblLnkServingPrefrence)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblServingPrefrenceFrequency"), QStringLiteral("frequencies of a serving preference that no longer exists")},
        {QStringLiteral("DELETE FROM tblServingPrefrenceLiturgy WHERE F_ServingPrefrenceID NOT IN (SELECT PK_ServingPrefrenceID "
                        "FROM tblLnkServingPrefrence)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblServingPrefrenceLiturgy"), QStringLiteral("liturgies of a serving preference that no longer exists")},
        {QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = NULL, MemberLocked = 0 WHERE ")
             + Members(QStringLiteral("F_MinistryMemberID")),
         QStringLiteral("Updated "), QStringLiteral(" invalid rows from tblScheduledMinistryFunctions"), QStringLiteral("assignments to a member that no longer exists; the places stay, unassigned")},
        {QStringLiteral("DELETE FROM tblScheduledLiturgies WHERE F_LiturgyTemplateID NOT IN (SELECT PK_LiturgyTemplateID FROM "
                        "tblLiturgyTemplates)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblScheduledLiturgies"), QStringLiteral("scheduled liturgies whose liturgy no longer exists")},
        {QStringLiteral("DELETE FROM tblScheduledLiturgies WHERE F_EventID NOT IN (SELECT PK_EventID FROM tblEvents)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblScheduledLiturgies"), QStringLiteral("scheduled liturgies of an event that no longer exists")},
        {QStringLiteral("DELETE FROM tblEvents WHERE NOT EXISTS (SELECT F_EventID FROM tblScheduledLiturgies WHERE F_EventID = "
                        "PK_EventID)"),
         QStringLiteral("Deleted "), QStringLiteral(" invalid rows from tblEvents"), QStringLiteral("events without a scheduled liturgy, which no calendar can show or schedule")},
        {QStringLiteral("UPDATE tblScheduledMinistryFunctions SET MemberLocked = 0 WHERE F_MinistryMemberID IS NULL"),
         QStringLiteral("Updated "), QStringLiteral(" invalid memberlocked rows"), QStringLiteral("unassigned places that were still locked")},
        {QStringLiteral("DELETE FROM tblUnAvailiabillity WHERE PK_UnavailiableID IS NULL"), QStringLiteral("Delete "),
         QStringLiteral(" invalid rows from tblUnavailiaility"), QStringLiteral("absences without a key")},
    };
    return statements;
}

QString TStelvarSetup::MigrationSummary(const QList<int> &cleaned, const QStringList &leftBehind)
{
    QStringList lines;
    const QList<Cleaning> &statements = CleaningStatements();
    for (qsizetype i = 0; i < cleaned.size() && i < statements.size(); ++i) {
        if (cleaned[i] > 0)
            lines << statements[i].verb + QString::number(cleaned[i]) + statements[i].text + QStringLiteral(": ") + statements[i].reason;
    }
    QString text;
    if (!lines.isEmpty())
        text = QStringLiteral("The older data was cleaned during the migration:\r\n") + lines.join(QStringLiteral("\r\n"));
    if (!leftBehind.isEmpty()) {
        if (!text.isEmpty())
            text += QStringLiteral("\r\n\r\n");
        text += QStringLiteral("These tables of the older database were not migrated, the new database has no place for them:\r\n")
                + leftBehind.join(QStringLiteral("\r\n"));
    }
    return text;
}

TStelvarSetup::TStelvarSetup(const QString &programFolder)
    : m_programFolder(programFolder)
{
}

TStelvarSetup::~TStelvarSetup() = default;

QString TStelvarSetup::SettingsPath() const
{
    return FileResolver::resolve(m_programFolder, SettingsFileName);
}

bool TStelvarSetup::SettingsExist() const
{
    return QFileInfo(SettingsPath()).isFile();
}

void TStelvarSetup::LoadSettings()
{
    IniFile settings(SettingsPath());
    if (!settings.load())
        throw std::runtime_error(settings.errorString().toStdString());
    m_dataType = settings.value(kDataAccess, QStringLiteral("DataType"), QStringLiteral("NA"));
    m_target = settings.value(kDataAccess, QStringLiteral("DataSource"), QStringLiteral("NA"));
    // The older database, where the server's own migration finds it too.
    m_source = settings.value(kDataAccess, kSource);
    if (!m_source.isEmpty())
        m_connections.AddConnection(kSource, m_source);
}

bool TStelvarSetup::MigrationAllowed() const
{
    return m_dataType.compare(QLatin1String("Access"), Qt::CaseInsensitive) == 0;
}

bool TStelvarSetup::TestServerConnection(QString *reason)
{
    m_master = TQorConStrGen::MasterConnectionString(m_target);
    try {
        if (m_master.isEmpty())
            throw std::runtime_error("The connection string names no database");
        DatabaseMaintenance::CheckName(TQorConStrGen::GetDatabaseName(m_target));
        m_connections.AddConnection(kTest, m_master);
        m_connections.NewConnection(kTest);
        return true;
    } catch (const std::exception &e) {
        if (reason)
            *reason = Message(e);
        return false;
    }
}

void TStelvarSetup::Log(const QString &text)
{
    if (m_log.isOpen()) {
        m_log.write(text.toUtf8() + '\n');
        m_log.flush();
    }
}

QStringList TStelvarSetup::LoadScript(const QString &name) const
{
    const QString path = FileResolver::resolve(FileResolver::resolve(m_programFolder, QStringLiteral("mssqlScripts")), name);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot read the script %1: %2").arg(path, file.errorString()).toStdString());
    return SqlScript::SplitBatches(file.readAll(), SqlScript::Trailing::Drop);
}

bool TStelvarSetup::RunSetup(bool migrate, const TStelvarPrompts &prompts)
{
    Run run(prompts);
    bool result = false;
    const auto show = [&prompts](const QString &text) {
        if (prompts.ShowMessage)
            prompts.ShowMessage(text);
    };
    const auto fail = [&](const QString &message) {
        show(QStringLiteral("An error occurred: ") + message);
        Log(QStringLiteral("An error occurred: ") + message);
    };

    m_master = TQorConStrGen::MasterConnectionString(m_target);
    m_connections.AddConnection(kMigrate, m_master);
    run.name = TQorConStrGen::GetDatabaseName(m_target);
    m_log.setFileName(QDir(m_programFolder).filePath(LogFileName));
    m_log.open(QIODevice::WriteOnly | QIODevice::Truncate);
    Log(QStringLiteral("Connecting .."));

    [&] {
        // Nothing is created before the name and the three scripts have been checked.
        try {
            if (m_master.isEmpty())
                throw std::runtime_error("The connection string names no database");
            DatabaseMaintenance::CheckName(run.name);
            run.createBatches = LoadScript(QStringLiteral("CreateScript.sql"));
            if (!migrate)
                run.defaultBatches = LoadScript(QStringLiteral("DefaultData.sql"));
            run.calendarBatches = LoadScript(QStringLiteral("CalenderData.sql"));
        } catch (const std::exception &e) {
            fail(Message(e));
            return;
        }
        run.maximum = 3 + int(run.createBatches.size() + run.calendarBatches.size())
                      + (migrate ? int(MigratedTables().size() + CleaningStatements().size()) + 12 + 1
                                 : int(run.defaultBatches.size()) + 1);
        run.Progress(QStringLiteral("Creating database"));
        Log(DatabaseMaintenance::MaskPassword(m_master));

        try {
            run.maintenance = m_connections.NewConnection(kMigrate);
        } catch (const std::exception &e) {
            show(QStringLiteral("A problem with the MSSQL-server occurred: ") + Message(e));
            Log(QStringLiteral("MSSQL_Migrate.Open => ") + Message(e));
            return;
        }
        if (migrate) {
            Log(QStringLiteral("Checked for migration"));
            try {
                if (!m_connections.FindConnection(kSource))
                    throw EDAException(QStringLiteral("settings.ini names no older database ([Data Access] Access)"));
                run.source = m_connections.NewConnection(kSource);
                // One snapshot of the older database, which is only ever read.
                Execute(*run.source, QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
                run.source->BeginTransaction();
            } catch (const std::exception &e) {
                Log(QStringLiteral("Access.Open => ") + Message(e));
                show(QStringLiteral("A problem occurred while attempting to contact the old database: ") + Message(e));
                return;
            }
            // A database of a later server than this program knows is left alone, before anything is made.
            try {
                const int version = SourceTables(*run.source).contains(QStringLiteral("tbldbversion"))
                                      ? Scalar(*run.source, QStringLiteral("SELECT max(Version) FROM dbo.tblDBVersion")).toInt()
                                      : 0;
                if (version > kDatabaseVersion) {
                    const QString text = QStringLiteral("The old database is of version %1; this setup program knows versions up "
                                                        "to %2. Install the newer version of the system and migrate with its setup "
                                                        "program.").arg(version).arg(kDatabaseVersion);
                    Log(text);
                    show(text);
                    return;
                }
            } catch (const std::exception &e) {
                Log(QStringLiteral("Access.Open => ") + Message(e));
                show(QStringLiteral("A problem occurred while attempting to contact the old database: ") + Message(e));
                return;
            }
        }

        try {
            result = Build(run, migrate);
        } catch (const std::exception &e) {
            if (run.target && run.target->GetInTransaction()) {
                try {
                    run.target->RollbackTransaction();
                } catch (const std::exception &) {
                    // The connection goes and takes the transaction with it.
                }
            }
            run.target.reset();
            if (run.buildCreated) {
                try {
                    DatabaseMaintenance::Drop(*run.maintenance, run.build);
                } catch (const std::exception &dropError) {
                    Log(QStringLiteral("DROP DATABASE ") + run.build + QStringLiteral(" => ") + Message(dropError));
                }
            }
            fail(Message(e));
        }
    }();

    if (result && migrate) {
        const QString summary = MigrationSummary(run.cleaned, run.leftBehind);
        if (!summary.isEmpty())
            show(summary);
    }
    show(result ? ReadyText : NotFinishedText);
    m_log.close();
    run.source.reset();
    run.target.reset();
    run.maintenance.reset();
    return result;
}

bool TStelvarSetup::Build(Run &run, bool migrate)
{
    IDAConnection &maintenance = *run.maintenance;
    Log(QStringLiteral("Starting db creation"));
    Log(QStringLiteral("Query : SELECT datname FROM pg_database WHERE datname = ") + Literal(run.name));
    if (DatabaseMaintenance::Exists(maintenance, run.name)) {
        // Declining keeps the database and the settings file as they are.
        if (!run.prompts.AskYesNo || !run.prompts.AskYesNo(ExistsCaption, ExistsText))
            return true;
    } else {
        Log(QStringLiteral("Database does not exist."));
    }

    run.build = DatabaseMaintenance::SideName(run.name, QStringLiteral("setup"));
    Log(QStringLiteral("Create database"));
    Execute(maintenance, QStringLiteral("CREATE DATABASE %1").arg(DatabaseMaintenance::QuoteName(run.build)));
    run.buildCreated = true;
    run.target = m_connections.NewConnection(kMigrate, false);
    run.target->SetConnectionString(DatabaseMaintenance::WithDatabase(m_master, run.build));
    run.target->Open();
    IDAConnection &target = *run.target;
    target.BeginTransaction();

    Log(QStringLiteral("Starting table creation"));
    run.Advance();
    run.Progress(QStringLiteral("Creating tables"));
    run.RunScript(run.createBatches);

    const auto clean = [&](qsizetype count) {
        const QList<Cleaning> &statements = CleaningStatements();
        run.cleaned.resize(statements.size(), 0);
        for (qsizetype i = 0; i < count; ++i) {
            const int rows = Execute(target, statements[i].statement);
            run.cleaned[i] += rows;
            Log(statements[i].verb + QString::number(rows) + statements[i].text);
            run.Advance();
        }
    };

    if (migrate) {
        QStringList older = SourceTables(*run.source);
        // The history starts where the older database says it does; today only without a date.
        QString start = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        if (older.contains(QStringLiteral("tblhistorystartdate"))) {
            const QString kept = Scalar(*run.source, QStringLiteral(
                "SELECT to_char(min(HistoryStartDate), 'YYYY-MM-DD HH24:MI:SS.US') FROM dbo.tblHistoryStartDate"));
            if (!kept.isEmpty())
                start = kept;
        }
        auto history = target.NewCommand(QStringLiteral("INSERT INTO tblHistoryStartDate VALUES(:Id, CAST(:Start AS timestamp))"));
        history->ParamByName(QStringLiteral("Id")).Value = kHistoryId;
        history->ParamByName(QStringLiteral("Start")).Value = start;
        history->Execute();
        Log(QStringLiteral("Starting migration"));

        // A source of a later version than the scripts build has columns they do not: the new
        // tables get them too, so that every row arrives whole and the server's climb finds
        // them in place.
        const QList<MigratedTable> &tables = MigratedTables();
        for (const MigratedTable &t : tables) {
            if (!older.contains(t.table.toLower()))
                continue;
            QStringList present;
            for (const auto &column : Columns(target, t.table))
                present << column.first.toLower();
            for (const auto &[column, type] : Columns(*run.source, t.table)) {
                if (present.contains(column.toLower()))
                    continue;
                Log(QStringLiteral("Adding the older database's column %1.%2 (%3)").arg(t.table, column, type));
                Execute(target, QStringLiteral("ALTER TABLE dbo.%1 ADD COLUMN %2 %3").arg(t.table, target.QuoteIdentifier(column), type));
            }
        }

        // The older rows land beside the new tables first: they are cleaned here, in the new
        // database, and the older database is only read.
        Execute(target, QStringLiteral("CREATE SCHEMA ") + kStaging);
        for (const MigratedTable &t : tables)
            Execute(target, QStringLiteral("CREATE TABLE %1.%2 (LIKE dbo.%2)").arg(kStaging, t.table));
        for (qsizetype i = 0; i < tables.size(); ++i) {
            run.Progress(i == 0 ? QStringLiteral("Migrating settings") : tables[i].caption);
            Log(QStringLiteral("Migrating: ") + tables[i].table);
            // A database older than the table has nothing to carry for it.
            if (older.removeAll(tables[i].table.toLower()) > 0)
                DatabaseMaintenance::CopyTable(*run.source, target, tables[i].table, kStaging + QLatin1Char('.') + tables[i].table);
            else
                Log(QStringLiteral("Not in the older database: ") + tables[i].table);
            run.Advance();
        }
        // The history start was carried above; anything else with rows is said, not dropped silently.
        older.removeAll(QStringLiteral("tblhistorystartdate"));
        for (const QString &table : std::as_const(older)) {
            const QString rows = Scalar(*run.source, QStringLiteral("SELECT count(*) FROM dbo.%1").arg(run.source->QuoteIdentifier(table)));
            if (rows.toLongLong() > 0) {
                run.leftBehind << QStringLiteral("%1 (%2 rows)").arg(table, rows);
                Log(QStringLiteral("Not migrated: %1 (%2 rows)").arg(table, rows));
            }
        }

        run.Progress(QStringLiteral("Cleaning old data"));
        Execute(target, QStringLiteral("SET LOCAL search_path = %1, dbo, public").arg(kStaging));
        clean(CleaningStatements().size());
        Execute(target, QStringLiteral("SET LOCAL search_path = dbo, public"));

        for (const MigratedTable &t : tables) {
            auto columns = target.NewDataset(QStringLiteral(
                "SELECT column_name FROM information_schema.columns WHERE table_schema = :Schema AND table_name = :Table "
                "ORDER BY ordinal_position"));
            columns->ParamByName(QStringLiteral("Schema")).Value = kStaging;
            columns->ParamByName(QStringLiteral("Table")).Value = t.table.toLower();
            columns->Open();
            QStringList names;
            for (const QVariantList &row : columns->Rows())
                names << target.QuoteIdentifier(row.at(0).toString());
            const QString list = names.join(QStringLiteral(", "));
            Execute(target, QStringLiteral("INSERT INTO dbo.%1 (%2) SELECT %2 FROM %3.%1").arg(t.table, list, kStaging));
        }
        Execute(target, QStringLiteral("DROP SCHEMA %1 CASCADE").arg(kStaging));
        DatabaseMaintenance::RestartIdentities(target);

        run.Progress(QStringLiteral("Migrating users"));
        // Exactly one version row, whatever the older database held.
        Execute(target, QStringLiteral("DELETE FROM tblDBVersion"));
        Execute(target, QStringLiteral("INSERT INTO tblDBVersion VALUES(%1)").arg(kScriptsVersion));
        run.Advance();
    } else {
        Execute(target, QStringLiteral("INSERT INTO tblHistoryStartDate VALUES('%1','1900-01-01')").arg(kHistoryId));
        Log(QStringLiteral("Loading default data"));
        run.Progress(QStringLiteral("Creating start data"));
        run.RunScript(run.defaultBatches);
        Execute(target, QStringLiteral("INSERT INTO tblDBVersion VALUES(%1)").arg(kScriptsVersion));
        run.Advance();
    }

    run.Progress(QStringLiteral("Updating calenderdata"));
    Execute(target, QStringLiteral("DELETE FROM tblCalenderData"));
    run.Advance();
    run.RunScript(run.calendarBatches);

    if (migrate) {
        run.Progress(QStringLiteral("Cleaning data"));
        clean(12);
    }

    run.Progress(QStringLiteral("Finishing"));
    target.CommitTransaction();
    run.target.reset();
    DatabaseMaintenance::Replace(maintenance, run.build, run.name);
    run.buildCreated = false;
    run.Advance();

    QList<IniFile::Entry> entries;
    if (migrate)
        entries << IniFile::Entry{kOldData, QStringLiteral("DataType"), QStringLiteral("Access")}
                << IniFile::Entry{kOldData, QStringLiteral("DataSource"), m_source};
    entries << IniFile::Entry{kDataAccess, QStringLiteral("DataType"), QStringLiteral("MSSQL")}
            << IniFile::Entry{kDataAccess, QStringLiteral("DataSource"), m_target};
    // The file holds the database's credentials.
    if (!IniFile::writeStrings(SettingsPath(), entries, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw std::runtime_error(QStringLiteral("The settings file %1 could not be written").arg(SettingsPath()).toStdString());
    return true;
}
