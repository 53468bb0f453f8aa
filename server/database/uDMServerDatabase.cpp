#include "server/database/uDMServerDatabase.h"

#include "dataaccess/DAException.h"
#include "dataaccess/IDAConnection.h"
#include "foundation/FileResolver.h"
#include "foundation/QorDateTime.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/SqlScript.h"
#include "foundation/uCommon.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <stdexcept>
#include <utility>

namespace {

const QString kSender = QStringLiteral("DMServer");
const QString kUnableToUpgrade = QStringLiteral("Unable to upgrade to");
const QString kEmptyGuid = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
// PostgreSQL's error code for a column added twice.
constexpr const char *kDuplicateColumn = "42701";

// Calendar rows go to the database this many at a time, bound as one value per statement.
constexpr int kCalendarRowsPerStatement = 5000;
constexpr int kCalendarColumns = 15;

// A step failed: carries the message for the failure lines.
struct StepFailed : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

QString errorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

QString objectText(const QString &file)
{
    QFile f(QStringLiteral(":/database/objects/") + file + QStringLiteral(".sql"));
    if (!f.open(QIODevice::ReadOnly))
        throw std::logic_error("missing object text " + file.toStdString());
    return QString::fromUtf8(f.readAll());
}

// Orphans are members whose own row is gone: a member may be a contact, a family or a group.
const QString kNotAMember = QStringLiteral(
    " NOT IN (SELECT PK_ContactID FROM tblContacts WHERE PK_ContactID IS NOT NULL)"
    " AND %1 NOT IN (SELECT PK_FamilyID FROM tblFamilies WHERE PK_FamilyID IS NOT NULL)"
    " AND %1 NOT IN (SELECT PK_GroupID FROM tblGroups WHERE PK_GroupID IS NOT NULL)");

QStringList orphanStatements()
{
    const auto gone = &TDMServerDatabase::NotAMember;
    return {
        QStringLiteral("DELETE FROM tblLnkServingRules WHERE ") + gone(QStringLiteral("F_RuleMemberID")) + QStringLiteral(" OR ")
            + gone(QStringLiteral("F_OwnerMemberID")),
        QStringLiteral("DELETE FROM tblLnkGroupmembers WHERE ") + gone(QStringLiteral("F_MemberID")),
        QStringLiteral("DELETE FROM tblUnavailiabillity WHERE F_ContactID NOT IN (SELECT PK_ContactID FROM tblContacts)"),
        QStringLiteral("DELETE FROM tblLnkServingPrefrence WHERE F_ContactID NOT IN (SELECT PK_ContactID FROM tblContacts)"),
    };
}

// RFC 4180 fields of a text: commas separate, double quotes enclose (line breaks included), a
// doubled quote inside stands for one; rows end in CR LF or LF; empty lines are skipped.
// Answers false for an unclosed quote.
bool parseCsv(QStringView text, QList<QStringList> &rows)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        qsizetype lineEnd = i;
        while (lineEnd < n && text[lineEnd] != QLatin1Char('\n') && text[lineEnd] != QLatin1Char('\r'))
            ++lineEnd;
        QStringView line = text.sliced(i, lineEnd - i);
        if (!line.contains(QLatin1Char('"'))) {
            // The common case: no quoting, the line is the row.
            if (!line.isEmpty()) {
                QStringList row;
                for (QStringView field : line.split(QLatin1Char(',')))
                    row << field.toString();
                rows << row;
            }
            i = lineEnd;
        } else {
            QStringList row;
            QString field;
            bool quoted = false;
            for (; i < n; ++i) {
                const QChar c = text[i];
                if (quoted) {
                    if (c != QLatin1Char('"'))
                        field += c;
                    else if (i + 1 < n && text[i + 1] == QLatin1Char('"'))
                        field += text[++i];
                    else
                        quoted = false;
                } else if (c == QLatin1Char('"')) {
                    quoted = true;
                } else if (c == QLatin1Char(',')) {
                    row << field;
                    field.clear();
                } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                    break;
                } else {
                    field += c;
                }
            }
            if (quoted)
                return false;
            row << field;
            rows << row;
        }
        if (i < n && text[i] == QLatin1Char('\r'))
            ++i;
        if (i < n && text[i] == QLatin1Char('\n'))
            ++i;
    }
    return true;
}

enum class Kind { Number, Date, Text };

Kind calendarKind(int column)
{
    switch (column) {
    case 5: return Kind::Date;
    case 6: case 7: case 8: case 11: case 12: case 14: return Kind::Text;
    default: return Kind::Number;
    }
}

// The value of one calendar field; an empty number is 0, an empty text is empty, an empty
// date is NULL. Throws for a value that is not of its kind.
QJsonValue calendarValue(int column, const QString &text)
{
    switch (calendarKind(column)) {
    case Kind::Text:
        return text;
    case Kind::Date: {
        if (text.isEmpty())
            return QJsonValue::Null;
        const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        if (!date.isValid())
            throw std::runtime_error("not a date: " + text.toStdString());
        return date.toString(Qt::ISODate);
    }
    case Kind::Number:
        break;
    }
    if (text.trimmed().isEmpty())
        return 0;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw std::runtime_error("not a number: " + text.toStdString());
    return value;
}

} // namespace

TDMServerDatabase::TDMServerDatabase(IDAConnection &connection, const QString &dataType, const QString &programFolder)
    : m_connection(connection)
    , m_dataType(dataType)
    , m_programFolder(programFolder)
{
}

QString TDMServerDatabase::CalendarFileName()
{
    return QStringLiteral("import.csv");
}

void TDMServerDatabase::Execute(const QString &sql)
{
    m_connection.NewCommand(sql)->Execute();
}

QString TDMServerDatabase::TryExecute(const QString &sql)
{
    try {
        m_connection.RunInSavepoint([&] { Execute(sql); });
    } catch (const std::exception &e) {
        return errorText(e);
    }
    return {};
}

void TDMServerDatabase::SetDatabaseVersion(int version)
{
    Execute(QStringLiteral("UPDATE tblDBVersion SET Version=") + QString::number(version));
}

void TDMServerDatabase::AddDatabaseField(const QString &table, const QString &column, const QString &type)
{
    const QString sql = QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" ADD ") + column + QLatin1Char(' ') + type;
    try {
        m_connection.RunInSavepoint([&] { Execute(sql); });
    } catch (const std::exception &e) {
        // A column that is already there is what the step wanted: a new database has it.
        const auto *database = dynamic_cast<const EDAException *>(&e);
        const bool present = database && database->SqlState() == QLatin1String(kDuplicateColumn);
        AddToLog(present ? llInformation : llSevere, kSender, QStringLiteral("AddDatabaseField"),
                 errorText(e) + QLatin1Char('\t') + sql);
    }
}

void TDMServerDatabase::RemoveDatabaseField(const QString &table, const QString &column, const QString &index)
{
    // An index that is not there is no error worth a line. "MSSQL" names this engine, whose
    // indexes are named alone; other data types get the table-qualified form.
    if (!index.isEmpty()) {
        TryExecute(m_dataType == QLatin1String("MSSQL") ? QStringLiteral("DROP INDEX ") + index
                                                         : QStringLiteral("DROP INDEX ") + index + QStringLiteral(" ON ") + table);
    }
    const QString sql = QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" DROP COLUMN ") + column;
    const QString error = TryExecute(sql);
    if (!error.isEmpty())
        AddToLog(llSevere, kSender, QStringLiteral("RemoveDatabaseField"), error + QLatin1Char('\t') + sql);
}

void TDMServerDatabase::RemoveTable(const QString &table)
{
    const QString sql = QStringLiteral("DROP TABLE ") + table;
    const QString error = TryExecute(sql);
    if (!error.isEmpty()) {
        AddToLog(llSevere, kSender, QStringLiteral("RemoveTable"), error + QLatin1Char('\t') + sql);
        throw StepFailed(error.toStdString());
    }
}

void TDMServerDatabase::ChangeFieldType(const QString &table, const QString &column, const QString &type)
{
    const QString sql = QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" ALTER COLUMN ") + column
                        + QStringLiteral(" TYPE ") + type;
    const QString error = TryExecute(sql);
    if (!error.isEmpty()) {
        AddToLog(llSevere, kSender, QStringLiteral("ChangeFieldType"), error + QLatin1Char('\t') + sql);
        throw StepFailed(error.toStdString());
    }
}

void TDMServerDatabase::UpdateStoredQuery(const QString &name, const QString &text, const QString &kind)
{
    // Views stay views; the procedures are functions on this engine.
    QString drop;
    if (kind.toUpper() == QLatin1String("VIEW"))
        drop = QStringLiteral("DROP VIEW IF EXISTS ") + name;
    else if (kind.toUpper() == QLatin1String("PROCEDURE"))
        drop = QStringLiteral("DROP FUNCTION IF EXISTS ") + name;
    QString error;
    if (!drop.isEmpty())
        error = TryExecute(drop);
    if (error.isEmpty())
        error = TryExecute(text);
    if (!error.isEmpty()) {
        AddToLog(llSevere, kSender, QStringLiteral("UpdateStoredQuery : ") + name, error);
        throw StepFailed(error.toStdString());
    }
}

QString TDMServerDatabase::StoredQueryText(const QString &name, int variant)
{
    // The forms of the retired single-file format have no text on this engine.
    if (name == QLatin1String("grouplabel"))
        return variant == 1 ? objectText(QStringLiteral("grouplabel-1")) : QString();
    if (name == QLatin1String("groupdir") && (variant == 1 || variant == 3 || variant == 4))
        return objectText(QStringLiteral("groupdir-%1").arg(variant));
    return {};
}

void TDMServerDatabase::GetStoredQueryText(const QString &name, int variant, const QString &kind)
{
    const QString text = StoredQueryText(name, variant);
    if (!text.isEmpty())
        UpdateStoredQuery(name, text, kind);
}

void TDMServerDatabase::CreateObject(const QString &name, int variant)
{
    Execute(objectText(variant == 0 ? name : name + QStringLiteral("-%1").arg(variant)));
}

QString TDMServerDatabase::NotAMember(const QString &column)
{
    return QStringLiteral("(") + column + kNotAMember.arg(column) + QStringLiteral(")");
}

void TDMServerDatabase::ExecuteScript(const QStringList &lines, IDAConnection &connection)
{
    for (const QString &batch : SqlScript::SplitBatches(lines, SqlScript::Trailing::Run))
        connection.NewCommand(batch)->Execute();
}

bool TDMServerDatabase::UpdateCalendardata()
{
    const QString path = FileResolver::resolve(m_programFolder, CalendarFileName());
    if (!QFileInfo(path).isFile())
        throw std::runtime_error("Unable to locate importfile");
    AddToLog(llInformation, QStringLiteral("Server"), QStringLiteral("UpdateCalendardata"), QStringLiteral("Located importfile"));

    QList<QStringList> rows;
    QString statement;
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read " + path.toStdString() + ": " + file.errorString().toStdString());
        QString text = QString::fromUtf8(file.readAll());
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        if (!parseCsv(text, rows))
            throw std::runtime_error("the calendar file ends inside a quoted field");
        if (!rows.isEmpty())
            rows.removeFirst(); // the header row
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows[i].size() != kCalendarColumns)
                throw std::runtime_error(QStringLiteral("row %1 of the calendar file has %2 fields, not %3")
                                             .arg(i + 1).arg(rows[i].size()).arg(kCalendarColumns).toStdString());
        }

        Execute(QStringLiteral("DELETE FROM tblCalenderData"));
        // Rows travel as one bound JSON value per statement, taken apart by the database in the
        // table's column order; no value is ever part of the statement's text.
        QStringList columns;
        for (int c = 0; c < kCalendarColumns; ++c) {
            const char *type = calendarKind(c) == Kind::Number ? "integer" : calendarKind(c) == Kind::Date ? "timestamp" : "text";
            columns << QStringLiteral("CAST(r->>%1 AS %2)").arg(c).arg(QLatin1String(type));
        }
        statement = QStringLiteral("INSERT INTO tblCalenderData SELECT ") + columns.join(QStringLiteral(", "))
                    + QStringLiteral(" FROM jsonb_array_elements(CAST(:rows AS jsonb)) AS r");
        for (qsizetype start = 0; start < rows.size(); start += kCalendarRowsPerStatement) {
            const qsizetype end = std::min<qsizetype>(rows.size(), start + kCalendarRowsPerStatement);
            QJsonArray batch;
            for (qsizetype r = start; r < end; ++r) {
                QJsonArray row;
                for (int c = 0; c < kCalendarColumns; ++c)
                    row.append(calendarValue(c, rows[r][c]));
                batch.append(row);
            }
            auto command = m_connection.NewCommand(statement);
            command->ParamByName(QStringLiteral("rows")).Value = QString::fromUtf8(QJsonDocument(batch).toJson(QJsonDocument::Compact));
            try {
                command->Execute();
            } catch (const std::exception &e) {
                // A refused row fails the copy: a calendar with holes is not a calendar.
                AddToLog(llSevere, QStringLiteral("Server"), QStringLiteral("import of Calendardata failed"),
                         errorText(e) + QStringLiteral(" Query : ") + statement
                             + QStringLiteral(" (rows %1 to %2 of %3)").arg(start + 1).arg(end).arg(path));
                return false;
            }
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("Server"), QStringLiteral("UpdateCalendardata"), errorText(e));
        return false;
    }
    AddToLog(llInformation, QStringLiteral("Server"), QStringLiteral("Imported calendardata"), QStringLiteral("OK"));
    return true;
}

void TDMServerDatabase::CleanupOrphans()
{
    for (const QString &sql : orphanStatements())
        Execute(sql);
}

void TDMServerDatabase::GeneralCleanup()
{
    try {
        m_connection.RunInSavepoint([&] {
            CleanupOrphans();
            Execute(QStringLiteral("DELETE FROM tblEvents WHERE NOT EXISTS (SELECT F_EventID FROM tblScheduledLiturgies "
                                   "WHERE F_EventID = PK_EventID)"));
        });
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("General cleanup"), errorText(e));
    }
}

void TDMServerDatabase::RunStep(int version)
{
    auto patching = [](int to) {
        AddToLog(llInformation, kSender, QStringLiteral("Patching database to version:"), QString::number(to));
    };
    const QString proc = QStringLiteral("PROCEDURE");
    switch (version) {
    case 0: case 1: case 2:
        break;
    case 3:
        patching(4);
        RemoveDatabaseField(QStringLiteral("tblMinistryFunctions"), QStringLiteral("F_MinistryFunctionTypeID"),
                            QStringLiteral("MinistryType"));
        RemoveTable(QStringLiteral("tblMinistryFunctionTypes"));
        ChangeFieldType(QStringLiteral("tblScheduledMinistryFunctions"), QStringLiteral("MemberPosition"), QStringLiteral("citext"));
        break;
    case 4:
        patching(5);
        GetStoredQueryText(QStringLiteral("grouplabel"), 0, proc);
        break;
    case 5: case 8: case 10:
        if (version == 5)
            patching(6);
        for (const char *name : {"step4_nw", "step4_nw_ordered", "step4_weekend", "step4_weekend_ordered"})
            GetStoredQueryText(QLatin1String(name), 0, proc);
        break;
    case 6:
        GetStoredQueryText(QStringLiteral("groupdir"), 0, proc);
        GetStoredQueryText(QStringLiteral("grouplabel"), 0, proc);
        break;
    case 7:
        GetStoredQueryText(QStringLiteral("step3"), 0, proc);
        GetStoredQueryText(QStringLiteral("step3_ordered"), 0, proc);
        break;
    case 9:
        GetStoredQueryText(QStringLiteral("grouplabel"), 0, proc);
        break;
    case 12:
        AddDatabaseField(QStringLiteral("tblEvents"), QStringLiteral("EventSynchID"), QStringLiteral("varchar(255) NULL"));
        break;
    case 13: {
        // A database migrated by the settings service enters here with the table (and its row)
        // that the creation script and the copy made: only a missing table or row is added.
        Execute(QStringLiteral("CREATE TABLE IF NOT EXISTS tblHistoryStartDate (PK_ID varchar(38) NOT NULL,\tHistoryStartDate timestamp NULL)"));
        auto insert = m_connection.NewCommand(QStringLiteral(
            "INSERT INTO tblHistoryStartDate SELECT :id, :start WHERE NOT EXISTS (SELECT 1 FROM tblHistoryStartDate)"));
        insert->ParamByName(QStringLiteral("id")).Value = NewKey();
        insert->ParamByName(QStringLiteral("start")).Value = WallClock(QDate(2006, 1, 1));
        insert->Execute();
        break;
    }
    case 14:
        for (const char *table : {"tblLocations", "tblMinistryFunctions", "tblMinistryTemplates",
                                  "tblLnkMinistryTemplateToMinistryFunction"})
            AddDatabaseField(QLatin1String(table), QStringLiteral("SortIndex"), QStringLiteral("int"));
        Execute(QStringLiteral("ALTER TABLE tblEvents ADD COLUMN IF NOT EXISTS EventSynchID varchar(255) NULL"));
        CreateObject(QStringLiteral("NumAssigned"));
        Execute(QStringLiteral("DROP FUNCTION SinceLast"));
        CreateObject(QStringLiteral("SinceLast"));
        CreateObject(QStringLiteral("RotationRatio"), 1);
        Execute(QStringLiteral("DROP FUNCTION step4_nw_ordered"));
        CreateObject(QStringLiteral("step4_nw_ordered"));
        Execute(QStringLiteral("DROP FUNCTION step4_weekend_ordered"));
        CreateObject(QStringLiteral("step4_weekend_ordered"));
        break;
    case 15:
        Execute(QStringLiteral("DROP FUNCTION step3_ordered"));
        CreateObject(QStringLiteral("step3_ordered"));
        break;
    case 16:
        Execute(QStringLiteral("DROP FUNCTION RotationRatio"));
        CreateObject(QStringLiteral("RotationRatio"), 2);
        break;
    case 17:
        Execute(QStringLiteral("DROP FUNCTION RotationRatio"));
        CreateObject(QStringLiteral("RotationRatio"), 3);
        TryExecute(QStringLiteral("DROP FUNCTION Step4"));
        CreateObject(QStringLiteral("Step4"), 1);
        break;
    case 18:
        Execute(QStringLiteral("DROP FUNCTION RotationRatio"));
        CreateObject(QStringLiteral("RotationRatio"), 4);
        Execute(QStringLiteral("DROP FUNCTION Step4"));
        CreateObject(QStringLiteral("Step4"), 2);
        break;
    case 19:
        CleanupOrphans();
        Execute(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = NULL, F_MinistryMemberTypeID = NULL, "
                               "MemberLocked = 0, MemberNotAttended = 0, FlagMinister = 0 "
                               "WHERE F_MinistryMemberID NOT IN (SELECT PK_ContactID FROM tblContacts) "
                               "AND F_MinistryMemberTypeID = '") + kEmptyGuid + QLatin1Char('\''));
        break;
    case 20:
        Execute(QStringLiteral("ALTER TABLE tblLnkMinistryTemplateToMinistryFunction DROP CONSTRAINT tblLnkMinistryTemplateToM_FK00"));
        Execute(QStringLiteral("ALTER TABLE tblLnkMinistryTemplateToMinistryFunction ADD CONSTRAINT tblLnkMinistryTemplateToM_FK00 "
                               "FOREIGN KEY (F_MinistryTemplateID) REFERENCES tblMinistryTemplates (PK_MinistryTemplateID) "
                               "ON DELETE CASCADE"));
        break;
    case 21:
        GetStoredQueryText(QStringLiteral("groupdir"), 1, QStringLiteral("VIEW"));
        break;
    case 22: case 26:
        if (!UpdateCalendardata())
            throw StepFailed("the calendar data could not be copied");
        break;
    case 23: case 24:
        GetStoredQueryText(QStringLiteral("groupdir"), version == 23 ? 3 : 4, QStringLiteral("VIEW"));
        break;
    case 25:
        GetStoredQueryText(QStringLiteral("grouplabel"), 1, QStringLiteral("VIEW"));
        break;
    case 27: case 29:
        Execute(QStringLiteral("DROP FUNCTION IF EXISTS sp_AutoSchedule_Rulemembers"));
        if (version == 29)
            Execute(QStringLiteral("DROP FUNCTION IF EXISTS AutoSchedule_Rulemembers"));
        CreateObject(QStringLiteral("sp_AutoSchedule_Rulemembers"));
        break;
    case 28:
        Execute(QStringLiteral("DROP FUNCTION IF EXISTS sp_Auto_Step2"));
        CreateObject(QStringLiteral("sp_Auto_Step2"));
        break;
    case 30:
        // One layout blob per program, user and name, so that a save is one upsert. Earlier
        // concurrent saves may have left duplicates: the latest row of each stays.
        Execute(QStringLiteral("DELETE FROM tblBlobSettings a USING tblBlobSettings b "
                               "WHERE a.AppID IS NOT DISTINCT FROM b.AppID AND a.F_UserID IS NOT DISTINCT FROM b.F_UserID "
                               "AND a.BlobName IS NOT DISTINCT FROM b.BlobName AND a.PK_BlobSettingID < b.PK_BlobSettingID"));
        Execute(QStringLiteral("ALTER TABLE tblBlobSettings ADD CONSTRAINT tblBlobSettings_Owner_Key "
                               "UNIQUE NULLS NOT DISTINCT (AppID, F_UserID, BlobName)"));
        // The constraint's index serves the lookups the plain index served.
        Execute(QStringLiteral("DROP INDEX IF EXISTS tblBlobSettings_Owner"));
        break;
    case 31:
        // The same ranking, cheaper plans: each function starts from the person's own rows
        // (the member index), the candidate functions drop duplicate rows before computing a
        // person's values once.
        for (const auto &[name, form] : {std::pair{"NumAssigned", 2}, {"SinceLast", 2}, {"RotationRatio", 5},
                                          {"step4_nw_ordered", 2}, {"step4_weekend_ordered", 2}, {"Step4", 3}}) {
            Execute(QStringLiteral("DROP FUNCTION ") + QLatin1String(name));
            CreateObject(QLatin1String(name), form);
        }
        break;
    case 32:
        // The hash of the automatic log-on secret: the account name alone proves nothing.
        Execute(QStringLiteral("ALTER TABLE tblUsers ADD COLUMN IF NOT EXISTS InteractiveLogonHash varchar(255) NULL"));
        break;
    default:
        break;
    }
}

// Runs the step of one version in its own savepoint and climbs on; answers the step's result.
bool TDMServerDatabase::PerformStep(int version)
{
    if (version == 11) {
        AddToLog(llInformation, kSender, QStringLiteral("Running on databaseversion:"), QString::number(version));
        return true;
    }
    if (version == kDatabaseVersion) {
        AddToLog(llInformation, kSender, QStringLiteral("Running on MSSQL databaseversion:"), QString::number(version));
        return true;
    }
    if (version < 0 || version > kDatabaseVersion)
        return true;

    try {
        m_connection.RunInSavepoint([&] {
            RunStep(version);
            SetDatabaseVersion(version + 1);
        });
    } catch (const std::exception &e) {
        const QString message = errorText(e);
        if (version <= 2) {
            AddToLog(llSevere, kSender, QStringLiteral("PreformDatabaseUpdate"), message);
            return true;
        }
        if (version == 21 || version == 22 || version == 23 || version == 24 || version == 26) {
            AddToLog(llInformation, kSender, kUnableToUpgrade, QString::number(version));
        } else if (version >= 27) {
            AddToLog(llSevere, kSender, kUnableToUpgrade, QString::number(version));
            AddToLog(llSevere, kSender, kUnableToUpgrade, message);
            if (SessionLog && version <= 29)
                SessionLog->SetLogText(objectText(version == 28 ? QStringLiteral("sp_Auto_Step2")
                                                                : QStringLiteral("sp_AutoSchedule_Rulemembers")));
        }
        return false;
    }
    PreformDatabaseUpdate();
    return true;
}

bool TDMServerDatabase::PreformDatabaseUpdate()
{
    int version = 0;
    try {
        auto dataset = m_connection.NewDataset(QStringLiteral("SELECT Version FROM tblDBVersion"));
        dataset->Open();
        if (dataset->Eof()) {
            // Without the row no step could record its version: the climb would never end.
            AddToLog(llSevere, kSender, QStringLiteral("PreformDatabaseUpdate"),
                     QStringLiteral("tblDBVersion holds no row; the database is not patched"));
            return false;
        }
        version = dataset->FieldByName(QStringLiteral("Version")).toInt();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("PreformDatabaseUpdate"), errorText(e));
        return false;
    }

    const bool result = PerformStep(version);
    if (version > 20)
        GeneralCleanup();
    return result;
}
