// A host for the contacts module's tests: the channel and message of a real server's session,
// a logged-on user, and a log the tests read.
#pragma once

#include "client/api/ModuleKit.h"
#include "foundation/uCommon.h"

#include <QStringList>

namespace kestrova::test {

class TContactsTestHost final : public Quorva::IHYHost, public Quorva::IROHostConnection, public Quorva::IUserHost, public Quorva::IHostLog,
                                 public Quorva::IReportHost
{
public:
    bool queryInterface(const QUuid &id, void **object) override
    {
        return QorQueryInterface<Quorva::IHYHost, Quorva::IROHostConnection, Quorva::IUserHost, Quorva::IHostLog,
                                 Quorva::IReportHost>(this, id, object);
    }
    int addRef() override { return 1; }
    int release() override { return 1; }

    std::shared_ptr<TROTransportChannel> GetChannel() override { return Channel; }
    std::shared_ptr<TROMessage> GetMessage() override { return Message; }
    TvoUser *GetCurrentUser() override { return &User; }
    void WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message) override
    {
        Log << QStringLiteral("%1 %2 %3: %4").arg(level).arg(sender, location, message);
    }

    // The chooser is not shown; the test reads what it would have been asked for.
    void ShowReportDlg(const QString &category, const QStringList *selection, int, Quorva::IReportCriteriaProvider *, int,
                       const QString &, const QString &, const QString &, const QString &) override
    {
        ReportCategory = category;
        ReportSelection = selection ? *selection : QStringList();
    }
    void GetReportDefinitionsText(const QString &, QString &text) override { text.clear(); }

    std::shared_ptr<TROTransportChannel> Channel;
    std::shared_ptr<TROMessage> Message;
    TvoUser User;
    QStringList Log;
    QString ReportCategory;
    QStringList ReportSelection;
};

} // namespace kestrova::test
