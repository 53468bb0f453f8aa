// The LS service: one operation that inserts, changes or deletes a row of the events table
// from plain values. Its schema is empty, so the generic operations reach nothing.
#pragma once

#include "contract/TDataServiceBase.h"

class TLSService : public TDataServiceBase, public ILSService
{
public:
    explicit TLSService(TDAConnectionManager &manager, const QString &connectionName = QStringLiteral("MSSQL"));

    static const TDASchema &Schema();

    bool queryInterface(const QUuid &interfaceId, void **object) override;

    // EventAction 0 inserts (answers the new id), 1 changes and 2 deletes the event EventID
    // (answers EventID); anything else, or a failure, answers an empty text.
    QString UpdateEvent(qint32 EventAction, const QString &EventID, const QDateTime &EventStart, const QDateTime &EventEnd,
                        const QString &EventLocationID, const QString &EventLocationCaption, const QString &EventSubject,
                        const QString &EventMessage, qint32 EventLabelColor, bool EventEditable) override;
};
