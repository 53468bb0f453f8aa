#include "server/services/uLSService.h"

#include "dataaccess/TDAEDataset.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "server/services/ServiceErrors.h"

#include <QUuid>

#include <exception>

namespace {

const QString kSender = QStringLiteral("LSService");

// The values of EventAction.
constexpr qint32 kInsert = 0;
constexpr qint32 kUpdate = 1;
constexpr qint32 kDelete = 2;

// The colour arrives as its value; the events table refers to the colour row that has it.
const QString kColourOfValue =
    QStringLiteral("(SELECT PK_ColorID FROM tblEventColors WHERE ColorIntValue = :EventLabelColor ORDER BY PK_ColorID LIMIT 1)");

// Event times are stored to the whole second.
QVariant WholeSeconds(const QDateTime &value)
{
    if (!value.isValid())
        return QVariant();
    QDateTime truncated = value;
    truncated.setTime(QTime(value.time().hour(), value.time().minute(), value.time().second()));
    return truncated;
}

} // namespace

TLSService::TLSService(TDAConnectionManager &manager, const QString &connectionName)
    : TDataServiceBase(Schema(), manager, connectionName)
{
    DataService().SetLogSender(kSender);
}

const TDASchema &TLSService::Schema()
{
    static const std::unique_ptr<TDASchema> schema = [] {
        auto loaded = std::make_unique<TDASchema>();
        loaded->LoadFromFile(QStringLiteral(":/schemas/LSService.xml"));
        return loaded;
    }();
    return *schema;
}

bool TLSService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId == ILSService::IID) {
        *object = static_cast<ILSService *>(this);
        return true;
    }
    return TDataServiceBase::queryInterface(interfaceId, object);
}

QString TLSService::UpdateEvent(qint32 EventAction, const QString &EventID, const QDateTime &EventStart,
                                const QDateTime &EventEnd, const QString &EventLocationID,
                                const QString &EventLocationCaption, const QString &EventSubject,
                                const QString &EventMessage, qint32 EventLabelColor, bool)
{
    QString sql;
    QString answer;
    switch (EventAction) {
    case kInsert:
        answer = NewKey();
        sql = QStringLiteral("INSERT INTO tblEvents (PK_EventID, EventType, EventState, EventOptions, EventRecurrenceIndex, "
                             "EventLabelColorID, EventSubject, EventLocationID, EventLocationCaption, StartDateTime, "
                             "EndDateTime, EventMessage) VALUES (:EventID, 0, 2, 2, -1, %1, :EventSubject, :EventLocationID, "
                             ":EventLocationCaption, :EventStart, :EventEnd, :EventMessage)")
                  .arg(kColourOfValue);
        break;
    case kUpdate:
        answer = EventID;
        sql = QStringLiteral("UPDATE tblEvents SET EventLabelColorID = %1, EventSubject = :EventSubject, "
                             "EventLocationID = :EventLocationID, EventLocationCaption = :EventLocationCaption, "
                             "StartDateTime = :EventStart, EndDateTime = :EventEnd, EventMessage = :EventMessage "
                             "WHERE PK_EventID = :EventID")
                  .arg(kColourOfValue);
        break;
    case kDelete:
        answer = EventID;
        sql = QStringLiteral("DELETE FROM tblEvents WHERE PK_EventID = :EventID");
        break;
    default:
        return QString();
    }
    try {
        auto statement = DataService().GetConnection().NewCommand(sql);
        const std::pair<const char *, QVariant> values[] = {{"EventID", answer},
                                                            {"EventSubject", EventSubject},
                                                            {"EventLocationID", EventLocationID},
                                                            {"EventLocationCaption", EventLocationCaption},
                                                            {"EventStart", WholeSeconds(EventStart)},
                                                            {"EventEnd", WholeSeconds(EventEnd)},
                                                            {"EventMessage", EventMessage},
                                                            {"EventLabelColor", EventLabelColor}};
        for (const auto &[name, value] : values)
            if (TDAParam *param = statement->GetParams().FindParam(QString::fromLatin1(name)))
                param->Value = value;
        statement->Execute();
        return answer;
    } catch (...) {
        AddToLog(llSevere, kSender, QStringLiteral("UpdateEvent"), ErrorMessage(std::current_exception()));
        return QString();
    }
}
