// The candidate ranking of a run, held in memory: it answers, for one function of one liturgy,
// exactly the rows and order of the database's step4_weekend_ordered, from rows read once at
// the start of the run, and follows the run's own writes. It never touches a database.
#pragma once

#include "server/scheduler/IAutoScheduleRepository.h"
#include "server/scheduler/SchedulerExport.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One serving preference joined with its preferred liturgies and frequencies, as the candidate
// query joins them: one row per combination, nothing where a link is missing.
struct TAutoSchedulePreferenceRow
{
    QString PreferenceID;
    QString ContactID;
    QString FunctionID;
    std::optional<int> CanFillIn;
    std::optional<QString> LiturgyTemplateID;
    std::optional<int> WeekOfMonth; // ServingFreqencyAsInteger
};

struct TAutoScheduleUnavailableRow
{
    QString ContactID;
    QDate Day;
};

// One row of tblScheduledMinistryFunctions whose liturgy starts in the window read.
struct TAutoScheduleMemberRow
{
    QString ScheduledMemberID;
    QString LiturgyID;
    QString FunctionID;
    QString MemberID; // empty when the row has no member
    QDateTime Start;
};

struct TAutoScheduleRankingRows
{
    // Every contact key, in the database's order of keys (ties of the ranking follow it).
    QStringList Contacts;
    QList<TAutoSchedulePreferenceRow> Preferences;
    QList<TAutoScheduleUnavailableRow> Unavailable;
    // Earliest first, and within one start time by key descending: the reverse of the order in
    // which the rotation ratio walks a person's history.
    QList<TAutoScheduleMemberRow> Rows;
};

class SCHEDULER_EXPORT TAutoScheduleRanking
{
public:
    // Rows before the history start are left out: nothing counts them.
    TAutoScheduleRanking(const TAutoScheduleRankingRows &rows, const QDateTime &historyStartDate);

    // The rows step4_weekend_ordered answers for the query, in its order. The liturgy's start
    // is the query's StartDateTime.
    QList<TAutoScheduleCandidateRow> Candidates(const TAutoScheduleCandidateQuery &query) const;

    // Applies rows as SaveService writes them: each row given gets its member (none for an
    // empty one).
    void Apply(const TAutoScheduleServiceWrite &write);

    // The three ranking values of a person at a moment, as the database functions give them.
    int NumAssigned(const QString &contactId, const QDateTime &now) const;
    int SinceLast(const QString &contactId, const QDateTime &checkAgainst) const;
    double RotationRatio(const QString &contactId, const QString &functionId, const QDateTime &now) const;

private:
    struct Row
    {
        qint64 Stamp = 0;
        int Function = -1;
        int Member = -1; // contact index, -1 for none or a member that is no contact
    };
    struct Person
    {
        std::vector<int> Rows; // ordinals, ascending
        QHash<int, std::vector<int>> ByFunction;
        QList<qint64> UnavailableDays;
        int NumFunctions = 0;
    };
    struct Preference
    {
        int Contact = -1;
        std::optional<int> CanFillIn;
        std::optional<QString> LiturgyTemplateID;
        std::optional<int> WeekOfMonth;
    };
    struct Values
    {
        int NumAssigned = 0;
        int SinceLast = 0;
        double RotationRatio = 0;
    };

    Values ValuesAt(int contact, int function, qint64 stamp) const;
    int Contact(const QString &id) const;
    int Function(const QString &id) const;
    void SetMember(int ordinal, int contact);
    // First ordinal whose start is after / at or after the moment.
    int OrdinalAfter(qint64 stamp) const;
    int OrdinalFrom(qint64 stamp) const;

    QStringList m_contactIds;
    QHash<QString, int> m_contacts;
    std::vector<Person> m_persons;
    QHash<QString, int> m_functions;
    QHash<int, std::vector<Preference>> m_preferences; // by function
    std::vector<Row> m_rows;
    std::vector<qint64> m_stamps; // of m_rows, ascending
    QHash<QString, int> m_rowByKey;
    QStringList m_functionIds;
};
