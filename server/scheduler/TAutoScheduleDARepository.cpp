// The scheduler's reads and writes through the data-access layer.
#include "server/scheduler/TAutoScheduleDARepository.h"

#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDAEDataset.h"
#include "foundation/QuorvaLogFile.h"
#include "server/scheduler/TAutoScheduleRanking.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <type_traits>

namespace {

// The texts the run has always sent, kept letter for letter.
const QString kHistoryStartDateSQL = QStringLiteral("SELECT * FROM tblHistoryStartDate");
const QString kContactsSQL = QStringLiteral("SELECT tblContacts.PK_ContactID, FlagContact FROM  tblContacts");
// The ranking procedures are set-returning functions of the same names.
const QString kServicesSQL = QStringLiteral("SELECT * FROM sp_Auto_Step2(:StartDate, :EndDate)");
const QString kFunctionsSQL = QStringLiteral("SELECT * FROM step3_ordered(:liturgyID)");
const QString kCandidatesSQL = QStringLiteral(
    "SELECT * FROM step4_weekend_ordered(:weekNum, :templateID, :liturgyID, :functionID, :historyStartDate)");

// sp_AutoSchedule_Rulemembers for every person at once: the owner's partners either way, by
// partner and rule type.
const QString kRulesSQL = QStringLiteral(
    "SELECT F_OwnerMemberID AS Owner, F_RuleMemberID AS Contact, F_RuleTypeID AS Rule FROM tblLnkServingRules "
    "UNION SELECT F_RuleMemberID, F_OwnerMemberID, F_RuleTypeID FROM tblLnkServingRules ORDER BY 1, 2, 3");

// step3_ordered for every liturgy of the period at once, each liturgy's rows in its order.
const QString kAllFunctionsSQL = QStringLiteral(
    "SELECT s.F_ScheduledLiturgyID, s.F_MinistryFunctionID, s.PK_ScheduledMemberID, f.AllowDuplicate, s.MemberLocked, "
    "s.F_MinistryMemberID, s.F_MinistryMemberTypeID, s.FlagMinister, f.MinistryFunctionName "
    "FROM tblScheduledLiturgies l INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID "
    "INNER JOIN tblScheduledMinistryFunctions s ON s.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID "
    "INNER JOIN tblMinistryFunctions f ON s.F_MinistryFunctionID = f.PK_MinistryFunctionID "
    "WHERE e.StartDateTime >= :StartDate AND e.StartDateTime <= :EndDate "
    "ORDER BY s.F_ScheduledLiturgyID, "
    "(SELECT COUNT(*) FROM tblLnkServingPrefrence lsp WHERE lsp.F_MinistryFunctionID = s.F_MinistryFunctionID), "
    "(SELECT COUNT(*) FROM tblScheduledMinistryFunctions mf WHERE mf.F_ScheduledLiturgyID = s.F_ScheduledLiturgyID "
    "AND mf.F_MinistryFunctionID = s.F_MinistryFunctionID), s.F_MinistryFunctionID, s.PK_ScheduledMemberID");

// What the in-memory ranking reads: the candidate query's tables, once.
const QString kRankingContactsSQL = QStringLiteral("SELECT PK_ContactID FROM tblContacts ORDER BY PK_ContactID");
const QString kRankingPreferencesSQL = QStringLiteral(
    "SELECT p.PK_ServingPrefrenceID, p.F_ContactID, p.F_MinistryFunctionID, p.ContactCanFillIn, "
    "pl.F_LiturgyTemplateID, sf.ServingFreqencyAsInteger "
    "FROM tblLnkServingPrefrence p "
    "LEFT JOIN tblServingPrefrenceLiturgy pl ON pl.F_ServingPrefrenceID = p.PK_ServingPrefrenceID "
    "LEFT JOIN tblServingPrefrenceFrequency pf ON pf.F_ServingPrefrenceID = p.PK_ServingPrefrenceID "
    "LEFT JOIN tblServingFrequency sf ON pf.F_FrequencyID = sf.PK_ServingFrequencyID");
const QString kRankingUnavailableSQL = QStringLiteral(
    "SELECT F_ContactID, UnavailiableDate FROM tblUnAvailiabillity "
    "WHERE UnavailiableDate >= :startDate AND UnavailiableDate < :endDate");
// Earliest first and, at one start, by key descending: the rotation ratio walks the reverse.
const QString kRankingRowsSQL = QStringLiteral(
    "SELECT s.PK_ScheduledMemberID, s.F_ScheduledLiturgyID, s.F_MinistryFunctionID, s.F_MinistryMemberID, "
    "CASE WHEN s.MemberLocked = 0 THEN 1 ELSE 0 END AS Clearable, e.StartDateTime "
    "FROM tblScheduledMinistryFunctions s "
    "INNER JOIN tblScheduledLiturgies l ON s.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID "
    "INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID "
    "WHERE e.StartDateTime BETWEEN :historyStartDate AND :endDate "
    "ORDER BY e.StartDateTime, s.PK_ScheduledMemberID DESC");

// A service's write in one statement, so it is all or nothing without a transaction: the
// unlocked rows of the filtered functions (all when the filter is empty) lose their members,
// the new members are set (the last one given for a row wins), and the event gets its colour
// and flag. One UPDATE per table, as a statement may change a row only once; the rows are
// found by key array and liturgy, so both indexes serve.
const QString kSaveServiceSQL = QStringLiteral(
    "WITH n AS ("
    " SELECT DISTINCT ON (a->>'m') a->>'m' AS m, a->>'c' AS c, a->>'t' AS t, CAST(a->>'f' AS smallint) AS f"
    " FROM jsonb_array_elements(CAST(:assignments AS jsonb)) WITH ORDINALITY AS x(a, k) ORDER BY a->>'m', k DESC"
    "), members AS ("
    " UPDATE tblScheduledMinistryFunctions s SET"
    " F_MinistryMemberID = (SELECT n.c FROM n WHERE n.m = s.PK_ScheduledMemberID),"
    " F_MinistryMemberTypeID = (SELECT n.t FROM n WHERE n.m = s.PK_ScheduledMemberID),"
    " FlagMinister = COALESCE((SELECT n.f FROM n WHERE n.m = s.PK_ScheduledMemberID), 0), MemberNotAttended = 0"
    " WHERE s.PK_ScheduledMemberID = ANY (CAST(:members AS varchar[]))"
    " OR (s.F_ScheduledLiturgyID = :liturgyID AND s.MemberLocked = 0"
    " AND (cardinality(CAST(:functions AS varchar[])) = 0 OR upper(s.F_MinistryFunctionID) = ANY (CAST(:functions AS varchar[]))))"
    " RETURNING 1"
    ") UPDATE tblEvents SET EventLabelColorID = :eventColorID, FlagEvent = :eventCode WHERE PK_EventID = :eventID");

QString Text(const TDAEDataset &ds, const char *field)
{
    const QVariant v = ds.FieldByName(QString::fromLatin1(field));
    return v.isNull() ? QString() : v.toString();
}

bool Flag(const TDAEDataset &ds, const char *field)
{
    return ds.FieldByName(QString::fromLatin1(field)).toInt() != 0;
}

QVariant TextOrNull(const QString &value)
{
    return value.isEmpty() ? QVariant() : QVariant(value);
}

template <typename T>
std::optional<T> Optional(const TDAEDataset &ds, const char *field)
{
    const QVariant v = ds.FieldByName(QString::fromLatin1(field));
    if (v.isNull())
        return std::nullopt;
    if constexpr (std::is_same_v<T, QString>)
        return v.toString();
    else
        return v.toInt();
}

QJsonValue JsonText(const QString &value)
{
    return value.isEmpty() ? QJsonValue() : QJsonValue(value);
}

// A text array as PostgreSQL reads it: every element quoted, quotes and backslashes escaped.
QString ArrayLiteral(const QStringList &values)
{
    QStringList quoted;
    for (QString v : values)
        quoted << QLatin1Char('"') + v.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""))
                      + QLatin1Char('"');
    return QLatin1Char('{') + quoted.join(QLatin1Char(',')) + QLatin1Char('}');
}

} // namespace

TAutoScheduleDARepository::TAutoScheduleDARepository(TDAConnectionManager &manager, const QString &connectionName,
                                                     TAutoScheduleRankingSource ranking)
    : m_manager(manager), m_connectionName(connectionName), m_source(ranking)
{
}

TAutoScheduleDARepository::~TAutoScheduleDARepository() = default;

IDAConnection &TAutoScheduleDARepository::Reader()
{
    if (!m_reader)
        m_reader = m_manager.NewConnection(m_connectionName);
    return *m_reader;
}

IDAConnection &TAutoScheduleDARepository::Writer()
{
    if (!m_writer)
        m_writer = m_manager.NewConnection(m_connectionName);
    return *m_writer;
}

void TAutoScheduleDARepository::Open(TDAEDataset &dataset)
{
    ++m_roundTrips;
    dataset.Open();
}

void TAutoScheduleDARepository::Execute(TDAEDataset &dataset)
{
    ++m_roundTrips;
    dataset.Execute();
}

void TAutoScheduleDARepository::BeginRead()
{
    ++m_roundTrips;
    Reader().BeginTransaction();
}

void TAutoScheduleDARepository::CommitRead()
{
    ++m_roundTrips;
    Reader().CommitTransaction();
}

void TAutoScheduleDARepository::RollbackRead() noexcept
{
    if (!m_reader || !m_reader->GetInTransaction())
        return;
    try {
        ++m_roundTrips;
        m_reader->RollbackTransaction();
    } catch (const std::exception &e) {
        AddToLog(llWarning, QStringLiteral("Autoschedule"), QStringLiteral("RollbackRead"), QString::fromUtf8(e.what()));
    }
}

std::optional<QDateTime> TAutoScheduleDARepository::ReadHistoryStartDate()
{
    auto ds = Reader().NewDataset(kHistoryStartDateSQL);
    Open(*ds);
    if (ds->Eof())
        return std::nullopt;
    const QVariant value = ds->FieldByName(QStringLiteral("HistoryStartDate"));
    // A row without a date counts as no row: the period's start is used.
    if (value.isNull())
        return std::nullopt;
    return value.toDateTime();
}

QList<TAutoScheduleContactRow> TAutoScheduleDARepository::ReadContacts()
{
    auto ds = Reader().NewDataset(kContactsSQL);
    Open(*ds);
    QList<TAutoScheduleContactRow> rows;
    for (; !ds->Eof(); ds->Next())
        rows.append({Text(*ds, "PK_ContactID"), Flag(*ds, "FlagContact")});
    return rows;
}

QList<TAutoScheduleRuleRow> TAutoScheduleDARepository::ReadRules()
{
    auto ds = Reader().NewDataset(kRulesSQL);
    Open(*ds);
    QList<TAutoScheduleRuleRow> rows;
    for (; !ds->Eof(); ds->Next())
        rows.append({Text(*ds, "Owner"), Text(*ds, "Contact"), Text(*ds, "Rule")});
    return rows;
}

QList<TAutoScheduleServiceRow> TAutoScheduleDARepository::ReadServices(const QDateTime &start, const QDateTime &end)
{
    auto ds = Reader().NewDataset(kServicesSQL);
    ds->ParamByName(QStringLiteral("StartDate")).Value = start;
    ds->ParamByName(QStringLiteral("EndDate")).Value = end;
    Open(*ds);
    QList<TAutoScheduleServiceRow> rows;
    for (; !ds->Eof(); ds->Next())
        rows.append({Text(*ds, "PK_ScheduledLiturgyID"), ds->FieldByName(QStringLiteral("StartDateTime")).toDateTime(),
                     Text(*ds, "F_LiturgyTemplateID"), Text(*ds, "F_EventID")});
    m_servicesFrom = start;
    m_servicesTo = end;
    m_functions.reset();
    return rows;
}

namespace {

TAutoScheduleFunctionRow FunctionRow(const TDAEDataset &ds)
{
    TAutoScheduleFunctionRow row;
    row.FunctionID = Text(ds, "F_MinistryFunctionID");
    row.ScheduledMemberID = Text(ds, "PK_ScheduledMemberID");
    row.AllowDuplicate = Flag(ds, "AllowDuplicate");
    row.MemberLocked = Flag(ds, "MemberLocked");
    row.MemberID = Text(ds, "F_MinistryMemberID");
    row.MemberTypeID = Text(ds, "F_MinistryMemberTypeID");
    row.FlagMinister = Flag(ds, "FlagMinister");
    row.FunctionName = Text(ds, "MinistryFunctionName");
    return row;
}

} // namespace

QList<TAutoScheduleFunctionRow> TAutoScheduleDARepository::ReadFunctions(const QString &liturgyId)
{
    if (m_source == TAutoScheduleRankingSource::InMemory) {
        // The rows of every liturgy of the services read, in one statement at the first call.
        if (!m_functions) {
            m_functions = std::make_unique<QHash<QString, QList<TAutoScheduleFunctionRow>>>();
            auto ds = Reader().NewDataset(kAllFunctionsSQL);
            ds->ParamByName(QStringLiteral("StartDate")).Value = m_servicesFrom;
            ds->ParamByName(QStringLiteral("EndDate")).Value = m_servicesTo;
            Open(*ds);
            for (; !ds->Eof(); ds->Next())
                (*m_functions)[Text(*ds, "F_ScheduledLiturgyID")].append(FunctionRow(*ds));
        }
        return m_functions->value(liturgyId);
    }
    auto ds = Reader().NewDataset(kFunctionsSQL);
    ds->ParamByName(QStringLiteral("liturgyID")).Value = liturgyId;
    Open(*ds);
    QList<TAutoScheduleFunctionRow> rows;
    for (; !ds->Eof(); ds->Next())
        rows.append(FunctionRow(*ds));
    return rows;
}

void TAutoScheduleDARepository::PrepareRanking(const QDateTime &historyStartDate, const QDateTime &start,
                                               const QDateTime &end)
{
    if (m_source != TAutoScheduleRankingSource::InMemory)
        return;
    TAutoScheduleRankingRows rows;
    {
        auto ds = Reader().NewDataset(kRankingContactsSQL);
        Open(*ds);
        for (; !ds->Eof(); ds->Next())
            rows.Contacts.append(Text(*ds, "PK_ContactID"));
    }
    {
        auto ds = Reader().NewDataset(kRankingPreferencesSQL);
        Open(*ds);
        for (; !ds->Eof(); ds->Next())
            rows.Preferences.append({Text(*ds, "PK_ServingPrefrenceID"), Text(*ds, "F_ContactID"), Text(*ds, "F_MinistryFunctionID"),
                                     Optional<int>(*ds, "ContactCanFillIn"), Optional<QString>(*ds, "F_LiturgyTemplateID"),
                                     Optional<int>(*ds, "ServingFreqencyAsInteger")});
    }
    {
        // The days of the liturgies read: the day of the period's last moment included.
        auto ds = Reader().NewDataset(kRankingUnavailableSQL);
        ds->ParamByName(QStringLiteral("startDate")).Value = QDateTime(start.date(), QTime(0, 0));
        ds->ParamByName(QStringLiteral("endDate")).Value = QDateTime(end.date().addDays(1), QTime(0, 0));
        Open(*ds);
        for (; !ds->Eof(); ds->Next())
            rows.Unavailable.append({Text(*ds, "F_ContactID"), ds->FieldByName(QStringLiteral("UnavailiableDate")).toDate()});
    }
    {
        auto ds = Reader().NewDataset(kRankingRowsSQL);
        ds->ParamByName(QStringLiteral("historyStartDate")).Value = historyStartDate;
        ds->ParamByName(QStringLiteral("endDate")).Value = end;
        Open(*ds);
        for (; !ds->Eof(); ds->Next())
            rows.Rows.append({Text(*ds, "PK_ScheduledMemberID"), Text(*ds, "F_ScheduledLiturgyID"), Text(*ds, "F_MinistryFunctionID"),
                              Text(*ds, "F_MinistryMemberID"), Flag(*ds, "Clearable"),
                              ds->FieldByName(QStringLiteral("StartDateTime")).toDateTime()});
    }
    m_ranking = std::make_unique<TAutoScheduleRanking>(rows, historyStartDate);
}

QList<TAutoScheduleCandidateRow> TAutoScheduleDARepository::ReadCandidates(const TAutoScheduleCandidateQuery &query)
{
    if (m_source == TAutoScheduleRankingSource::InMemory) {
        if (!m_ranking)
            throw std::logic_error("candidates asked for before the ranking was prepared");
        return m_ranking->Candidates(query);
    }
    auto ds = Reader().NewDataset(kCandidatesSQL);
    ds->ParamByName(QStringLiteral("weekNum")).Value = query.WeekNum;
    ds->ParamByName(QStringLiteral("templateID")).Value = TextOrNull(query.TemplateID);
    ds->ParamByName(QStringLiteral("liturgyID")).Value = query.LiturgyID;
    ds->ParamByName(QStringLiteral("functionID")).Value = query.FunctionID;
    ds->ParamByName(QStringLiteral("historyStartDate")).Value = query.HistoryStartDate;
    Open(*ds);
    QList<TAutoScheduleCandidateRow> rows;
    for (; !ds->Eof(); ds->Next())
        rows.append({Text(*ds, "PK_ContactID"), ds->FieldByName(QStringLiteral("IsFillIn")).toInt()});
    return rows;
}

void TAutoScheduleDARepository::SaveService(const TAutoScheduleServiceWrite &write)
{
    QJsonArray assignments;
    QStringList members;
    for (const TAutoScheduleServiceWrite::Assignment &a : write.Assignments) {
        assignments.append(QJsonObject{{QStringLiteral("m"), a.ScheduledMemberID},
                                       {QStringLiteral("c"), a.ContactID},
                                       {QStringLiteral("t"), JsonText(a.MemberTypeID)},
                                       {QStringLiteral("f"), a.FlagMinister ? 1 : 0}});
        members << a.ScheduledMemberID;
    }
    auto cmd = Writer().NewCommand(kSaveServiceSQL);
    cmd->ParamByName(QStringLiteral("assignments")).Value =
        QString::fromUtf8(QJsonDocument(assignments).toJson(QJsonDocument::Compact));
    cmd->ParamByName(QStringLiteral("members")).Value = ArrayLiteral(members);
    // Clients send the ids in either case.
    QStringList functions;
    for (const QString &id : write.FunctionFilter)
        functions << id.toUpper();
    cmd->ParamByName(QStringLiteral("functions")).Value = ArrayLiteral(functions);
    cmd->ParamByName(QStringLiteral("liturgyID")).Value = write.LiturgyID;
    cmd->ParamByName(QStringLiteral("eventColorID")).Value = TextOrNull(write.EventColorID);
    cmd->ParamByName(QStringLiteral("eventCode")).Value = write.EventCode;
    cmd->ParamByName(QStringLiteral("eventID")).Value = write.EventID;
    Execute(*cmd);
    if (m_ranking)
        m_ranking->Apply(write);
}
