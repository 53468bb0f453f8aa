// What the scheduling-run tests share: a small parish to schedule, and a client-side target
// that records the auto-schedule events it receives.
#pragma once

#include "Quorva_Data_Service_Intf.h"
#include "remoting/ROEventReceiver.h"

#include <QString>
#include <QStringList>

namespace kestrova::test {

inline const QString kServerFunction = QStringLiteral("{F0000000-0000-0000-0000-0000000000A2}");

// Records each event as "begin", "end" or "position/max".
class AutoScheduleWatcher : public IROInterface, public IAutoScheduleEvent
{
public:
    bool queryInterface(const QUuid &id, void **object) override
    {
        if (id != IAutoScheduleEvent::IID)
            return false;
        *object = static_cast<IAutoScheduleEvent *>(this);
        return true;
    }
    void OnAutoScheduleProgress(qint32 APosition, qint32 AMax) override { calls << QStringLiteral("%1/%2").arg(APosition).arg(AMax); }
    void OnAutoScheduleBegin() override { calls << QStringLiteral("begin"); }
    void OnAutoScheduleEnd() override { calls << QStringLiteral("end"); }
    QStringList calls;
};

// One liturgy "S<n>" of event "E<n>" on the given day, with two rows of the server function.
inline QString LiturgySql(int n, const QString &start)
{
    return QStringLiteral("INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime, FlagEvent) VALUES ('E%1', 'S%1', '%2', 0);"
                          "INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID) VALUES ('S%1', 'E%1');"
                          "INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID) "
                          "VALUES ('S%1-1', 'S%1', '%3'), ('S%1-2', 'S%1', '%3');")
        .arg(n)
        .arg(start, kServerFunction);
}

// Two servers with a preference for the function, and liturgies S1.. on consecutive days of
// November 2026 from the 2nd (run them from 2026-11-01 to 2026-12-01).
inline QString ParishSql(int liturgies)
{
    QString sql = QStringLiteral("UPDATE tblHistoryStartDate SET HistoryStartDate = '2026-01-01';"
                                 "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES ('%1', 'Server');")
                      .arg(kServerFunction);
    for (const char *who : {"1", "2"})
        sql += QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, FlagContact) VALUES ('{C%1}', 'P%1', 'Fixture', 0);"
                              "INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID) "
                              "VALUES ('{P%1}', '{C%1}', '%2');")
                   .arg(QString::fromLatin1(who), kServerFunction);
    for (int n = 1; n <= liturgies; ++n)
        sql += LiturgySql(n, QStringLiteral("2026-11-%1 10:00").arg(n + 1, 2, 10, QLatin1Char('0')));
    return sql;
}

// What a watcher of a whole run sees: begin, every position up to twice the liturgies, end.
inline QStringList WholeRun(int liturgies)
{
    QStringList expected{QStringLiteral("begin")};
    for (int i = 1; i <= 2 * liturgies; ++i)
        expected << QStringLiteral("%1/%2").arg(i).arg(2 * liturgies);
    return expected << QStringLiteral("end");
}

} // namespace kestrova::test
