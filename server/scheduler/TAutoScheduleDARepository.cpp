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
    "e.StartDateTime "
    "FROM tblScheduledMinistryFunctions s "
    "INNER JOIN tblScheduledLiturgies l ON s.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID "
    "INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID "
    "WHERE e.StartDateTime BETWEEN :historyStartDate AND :endDate "
    "ORDER BY e.StartDateTime, s.PK_ScheduledMemberID DESC");

// A service's write in one statement, so it is all or nothing without a transaction. Each row
// the run writes carries the member the run read there ('r'); a row that is locked now, holds
// another member or is gone was changed by someone else during the run: then nothing is written
// and those rows are answered as they are (locked first, so a change committed meanwhile is
// seen). Otherwise the rows get their new members (the last one given for a row wins; none
// clears it) and the event its colour and flag. One UPDATE per table, as a statement may change
// a row only once.
const QString kSaveServiceSQL = QStringLiteral(
    "WITH n AS ("
    " SELECT DISTINCT ON (a->>'m') a->>'m' AS m, a->>'r' AS r, a->>'c' AS c, a->>'t' AS t, CAST(a->>'f' AS smallint) AS f"
    " FROM jsonb_array_elements(CAST(:assignments AS jsonb)) WITH ORDINALITY AS x(a, k) ORDER BY a->>'m', k DESC"
    "), cur AS ("
    " SELECT s.PK_ScheduledMemberID AS m, s.F_MinistryMemberID AS c, s.F_MinistryMemberTypeID AS t, s.FlagMinister AS f,"
    " s.MemberLocked AS l FROM tblScheduledMinistryFunctions s WHERE s.PK_ScheduledMemberID IN (SELECT m FROM n) FOR UPDATE OF s"
    "), w AS ("
    " SELECT a->>'m' AS m, a->>'c' AS c FROM jsonb_array_elements(CAST(:watched AS jsonb)) AS x(a)"
    "), wcur AS ("
    " SELECT s.PK_ScheduledMemberID AS m, s.F_MinistryMemberID AS c, s.F_MinistryMemberTypeID AS t, s.FlagMinister AS f,"
    " s.MemberLocked AS l FROM tblScheduledMinistryFunctions s WHERE s.PK_ScheduledMemberID IN (SELECT m FROM w)"
    "), changed AS ("
    " SELECT n.m, cur.m IS NOT NULL AS present, cur.c, cur.t, cur.f, cur.l FROM n LEFT JOIN cur ON cur.m = n.m"
    " WHERE cur.m IS NULL OR cur.l <> 0 OR COALESCE(cur.c, '') <> COALESCE(n.r, '')"
    " UNION ALL"
    " SELECT w.m, wcur.m IS NOT NULL, wcur.c, wcur.t, wcur.f, wcur.l FROM w LEFT JOIN wcur ON wcur.m = w.m"
    " WHERE wcur.m IS NULL OR COALESCE(wcur.c, '') <> COALESCE(w.c, '')"
    "), members AS ("
    " UPDATE tblScheduledMinistryFunctions s SET F_MinistryMemberID = n.c, F_MinistryMemberTypeID = n.t,"
    " FlagMinister = COALESCE(n.f, 0), MemberNotAttended = 0"
    " FROM n WHERE s.PK_ScheduledMemberID = n.m AND NOT EXISTS (SELECT 1 FROM changed) RETURNING 1"
    "), event AS ("
    " UPDATE tblEvents SET EventLabelColorID = :eventColorID, FlagEvent = :eventCode"
    " WHERE PK_EventID = :eventID AND NOT EXISTS (SELECT 1 FROM changed) RETURNING 1"
    ") SELECT m AS PK_ScheduledMemberID, CASE WHEN present THEN 1 ELSE 0 END AS Present, c AS F_MinistryMemberID,"
    " t AS F_MinistryMemberTypeID, f AS FlagMinister, l AS MemberLocked FROM changed ORDER BY m");

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
                              Text(*ds, "F_MinistryMemberID"),
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

QList<TAutoScheduleChangedRow> TAutoScheduleDARepository::SaveService(const TAutoScheduleServiceWrite &write)
{
    QJsonArray assignments;
    for (const TAutoScheduleServiceWrite::Assignment &a : write.Assignments)
        assignments.append(QJsonObject{{QStringLiteral("m"), a.ScheduledMemberID},
                                       {QStringLiteral("r"), a.ReadMemberID},
                                       {QStringLiteral("c"), JsonText(a.ContactID)},
                                       {QStringLiteral("t"), JsonText(a.MemberTypeID)},
                                       {QStringLiteral("f"), a.FlagMinister ? 1 : 0}});
    QJsonArray watched;
    for (const TAutoScheduleServiceWrite::Watched &row : write.WatchedRows)
        watched.append(QJsonObject{{QStringLiteral("m"), row.ScheduledMemberID}, {QStringLiteral("c"), JsonText(row.MemberID)}});
    auto ds = Writer().NewDataset(kSaveServiceSQL);
    ds->ParamByName(QStringLiteral("assignments")).Value =
        QString::fromUtf8(QJsonDocument(assignments).toJson(QJsonDocument::Compact));
    ds->ParamByName(QStringLiteral("watched")).Value = QString::fromUtf8(QJsonDocument(watched).toJson(QJsonDocument::Compact));
    ds->ParamByName(QStringLiteral("eventColorID")).Value = TextOrNull(write.EventColorID);
    ds->ParamByName(QStringLiteral("eventCode")).Value = write.EventCode;
    ds->ParamByName(QStringLiteral("eventID")).Value = write.EventID;
    Open(*ds);
    QList<TAutoScheduleChangedRow> changed;
    for (; !ds->Eof(); ds->Next())
        changed.append({Text(*ds, "PK_ScheduledMemberID"), Flag(*ds, "Present"), Text(*ds, "F_MinistryMemberID"),
                        Text(*ds, "F_MinistryMemberTypeID"), Flag(*ds, "FlagMinister"), Flag(*ds, "MemberLocked")});
    if (m_ranking) {
        if (changed.isEmpty()) {
            m_ranking->Apply(write);
        } else {
            // Later rankings count the rows as they are now, as the procedures would.
            TAutoScheduleServiceWrite now;
            for (const TAutoScheduleChangedRow &row : std::as_const(changed))
                now.Assignments.append({row.MemberID, row.ScheduledMemberID, row.MemberTypeID, row.FlagMinister, {}});
            m_ranking->Apply(now);
        }
    }
    return changed;
}
