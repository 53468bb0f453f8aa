// The scheduler's reads and writes through the data-access layer.
#include "server/scheduler/TAutoScheduleDARepository.h"

#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDAEDataset.h"
#include "foundation/QuorvaLogFile.h"

namespace {

// The texts the run has always sent, kept letter for letter.
const QString kHistoryStartDateSQL = QStringLiteral("SELECT * FROM tblHistoryStartDate");
const QString kContactsSQL = QStringLiteral("SELECT tblContacts.PK_ContactID, FlagContact FROM  tblContacts");
// The ranking procedures are set-returning functions of the same names.
const QString kRuleMembersSQL = QStringLiteral("SELECT * FROM sp_AutoSchedule_Rulemembers(:OwnerID, :MemberID)");
const QString kServicesSQL = QStringLiteral("SELECT * FROM sp_Auto_Step2(:StartDate, :EndDate)");
const QString kFunctionsSQL = QStringLiteral("SELECT * FROM step3_ordered(:liturgyID)");
const QString kCandidatesSQL = QStringLiteral(
    "SELECT * FROM step4_weekend_ordered(:weekNum, :templateID, :liturgyID, :functionID, :historyStartDate)");
// The events service's commands for the run's writes.
const QString kDeleteAssignementSQL = QStringLiteral(
    "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = NULL, F_MinistryMemberTypeID = NULL, "
    "FlagMinister = 0, MemberNotAttended = 0 "
    "WHERE F_ScheduledLiturgyID = :LiturgyID AND F_MinistryFunctionID = :FunctionID AND MemberLocked = 0");
const QString kDeleteAssignementsSQL = QStringLiteral(
    "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = NULL, F_MinistryMemberTypeID = NULL, "
    "FlagMinister = 0, MemberNotAttended = 0 WHERE F_ScheduledLiturgyID = :LiturgyID AND MemberLocked = 0");
const QString kInsertAssignmentSQL = QStringLiteral(
    "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberId = :contactID, F_MinistryMemberTypeID = :typeID, "
    "FlagMinister = :flagMinister, MemberNotAttended = 0 WHERE PK_ScheduledMemberID = :memberID");
const QString kInsertEventColorSQL =
    QStringLiteral("UPDATE tblEvents SET EventLabelColorID = :EventColorID WHERE PK_EventID = :EventID");
const QString kInsertEventFlagSQL = QStringLiteral("UPDATE tblEvents SET FlagEvent = :eventCode WHERE PK_EventID = :eventID");

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

} // namespace

TAutoScheduleDARepository::TAutoScheduleDARepository(TDAConnectionManager &manager, const QString &connectionName)
    : m_manager(manager), m_connectionName(connectionName)
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

QList<TAutoScheduleRuleRow> TAutoScheduleDARepository::ReadRuleMembers(const QString &contactId)
{
    auto ds = Reader().NewDataset(kRuleMembersSQL);
    ds->ParamByName(QStringLiteral("OwnerID")).Value = contactId;
    ds->ParamByName(QStringLiteral("MemberID")).Value = contactId;
    Open(*ds);
    QList<TAutoScheduleRuleRow> rows;
    for (; !ds->Eof(); ds->Next())
        rows.append({Text(*ds, "Contact"), Text(*ds, "Rule")});
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
    return rows;
}

QList<TAutoScheduleFunctionRow> TAutoScheduleDARepository::ReadFunctions(const QString &liturgyId)
{
    auto ds = Reader().NewDataset(kFunctionsSQL);
    ds->ParamByName(QStringLiteral("liturgyID")).Value = liturgyId;
    Open(*ds);
    QList<TAutoScheduleFunctionRow> rows;
    for (; !ds->Eof(); ds->Next()) {
        TAutoScheduleFunctionRow row;
        row.FunctionID = Text(*ds, "F_MinistryFunctionID");
        row.ScheduledMemberID = Text(*ds, "PK_ScheduledMemberID");
        row.AllowDuplicate = Flag(*ds, "AllowDuplicate");
        row.MemberLocked = Flag(*ds, "MemberLocked");
        row.MemberID = Text(*ds, "F_MinistryMemberID");
        row.MemberTypeID = Text(*ds, "F_MinistryMemberTypeID");
        row.FlagMinister = Flag(*ds, "FlagMinister");
        row.FunctionName = Text(*ds, "MinistryFunctionName");
        rows.append(row);
    }
    return rows;
}

QList<TAutoScheduleCandidateRow> TAutoScheduleDARepository::ReadCandidates(const TAutoScheduleCandidateQuery &query)
{
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
    IDAConnection &c = Writer();
    ++m_roundTrips;
    c.BeginTransaction();
    try {
        if (!write.FunctionFilter.isEmpty()) {
            for (const QString &functionId : write.FunctionFilter) {
                auto cmd = c.NewCommand(kDeleteAssignementSQL);
                cmd->ParamByName(QStringLiteral("LiturgyID")).Value = write.LiturgyID;
                cmd->ParamByName(QStringLiteral("FunctionID")).Value = functionId;
                Execute(*cmd);
            }
        } else {
            auto cmd = c.NewCommand(kDeleteAssignementsSQL);
            cmd->ParamByName(QStringLiteral("LiturgyID")).Value = write.LiturgyID;
            Execute(*cmd);
        }
        for (const TAutoScheduleServiceWrite::Assignment &a : write.Assignments) {
            auto cmd = c.NewCommand(kInsertAssignmentSQL);
            cmd->ParamByName(QStringLiteral("contactID")).Value = a.ContactID;
            cmd->ParamByName(QStringLiteral("typeID")).Value = TextOrNull(a.MemberTypeID);
            cmd->ParamByName(QStringLiteral("flagMinister")).Value = a.FlagMinister ? 1 : 0;
            cmd->ParamByName(QStringLiteral("memberID")).Value = a.ScheduledMemberID;
            Execute(*cmd);
        }
        auto color = c.NewCommand(kInsertEventColorSQL);
        color->ParamByName(QStringLiteral("EventColorID")).Value = TextOrNull(write.EventColorID);
        color->ParamByName(QStringLiteral("EventID")).Value = write.EventID;
        Execute(*color);
        auto flag = c.NewCommand(kInsertEventFlagSQL);
        flag->ParamByName(QStringLiteral("eventCode")).Value = write.EventCode;
        flag->ParamByName(QStringLiteral("eventID")).Value = write.EventID;
        Execute(*flag);
        ++m_roundTrips;
        c.CommitTransaction();
    } catch (...) {
        if (c.GetInTransaction()) {
            try {
                c.RollbackTransaction();
            } catch (const std::exception &e) {
                AddToLog(llWarning, QStringLiteral("Autoschedule"), QStringLiteral("SaveAssignments"),
                         QString::fromUtf8(e.what()));
            }
        }
        throw;
    }
}
