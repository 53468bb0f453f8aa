// The scheduler's database in memory: contacts, rules, liturgies with their function rows,
// who may serve which function, and the events' colours and flags. Its ranking puts people
// who prefer the function before fill-ins, then fewest assignments since the history start
// (saved services count), then the contact key.
#pragma once

#include "server/scheduler/IAutoScheduleRepository.h"

#include <QMap>
#include <QSet>

#include <functional>

class TMemoryRepository : public IAutoScheduleRepository
{
public:
    struct Liturgy
    {
        QString LiturgyID;
        QString EventID;
        QString TemplateID;
        QDateTime Start;
    };
    struct Rule
    {
        QString Owner;
        QString Member;
        QString RuleType;
    };
    struct Eligible
    {
        QString ContactID;
        QString FunctionID;
        int IsFillIn = 0;
    };
    struct Row
    {
        QString LiturgyID;
        TAutoScheduleFunctionRow Function;
    };

    // Contents.
    std::optional<QDateTime> HistoryStartDate;
    QList<TAutoScheduleContactRow> Contacts;
    QList<Rule> Rules;
    QList<Liturgy> Liturgies;
    QList<Row> Rows;
    QList<Eligible> Eligibles;
    QSet<QPair<QString, QDate>> Unavailable;
    QMap<QString, QString> EventColors;
    QMap<QString, int> EventFlags;

    // Observations and faults.
    QStringList Calls;
    QStringList SavedLiturgies;
    QString FailSaveOfLiturgy;
    bool ReadOpen = false;
    bool Committed = false;
    bool RolledBack = false;
    std::function<void(const QString &call)> OnCall;

    // Builders.
    void AddContact(const QString &id, bool flag = false) { Contacts.append({id, flag}); }
    void AddRule(const QString &owner, const QString &member, const QString &type) { Rules.append({owner, member, type}); }
    void AddLiturgy(const QString &id, const QDateTime &start, const QString &templateId = QStringLiteral("T"));
    // Adds a function row; answers its row id (liturgy + "/" + position).
    QString AddRow(const QString &liturgyId, const QString &functionId, bool allowDuplicate = false,
                   const QString &lockedMember = {});
    void AddEligible(const QString &contactId, const QString &functionId, int isFillIn = 0)
    {
        Eligibles.append({contactId, functionId, isFillIn});
    }
    QString MemberOf(const QString &rowId) const;
    int CountCalls(const QString &prefix) const;

    void BeginRead() override;
    void CommitRead() override;
    void RollbackRead() noexcept override;
    std::optional<QDateTime> ReadHistoryStartDate() override;
    QList<TAutoScheduleContactRow> ReadContacts() override;
    QList<TAutoScheduleRuleRow> ReadRules() override;
    QList<TAutoScheduleServiceRow> ReadServices(const QDateTime &start, const QDateTime &end) override;
    QList<TAutoScheduleFunctionRow> ReadFunctions(const QString &liturgyId) override;
    void PrepareRanking(const QDateTime &historyStartDate, const QDateTime &start, const QDateTime &end) override;
    QList<TAutoScheduleCandidateRow> ReadCandidates(const TAutoScheduleCandidateQuery &query) override;
    QList<TAutoScheduleChangedRow> SaveService(const TAutoScheduleServiceWrite &write) override;

private:
    void Note(const QString &call);
    const Liturgy *FindLiturgy(const QString &id) const;
    int NumAssigned(const QString &contactId, const QDateTime &from, const QDateTime &to) const;
};
