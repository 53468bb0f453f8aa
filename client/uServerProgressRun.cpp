#include "client/uServerProgressRun.h"

#include "Quorva_Data_Service_Async.h"
#include "Quorva_Data_Service_Intf.h"
#include "foundation/QuorvaLogFile.h"
#include "remoting/ROErrors.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"

namespace {

const QString kDMClient = QStringLiteral("DMClient");

QString errorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

TServerProgressRun::TServerProgressRun(std::shared_ptr<TROMessage> mainMessage, std::shared_ptr<TROTransportChannel> mainChannel,
                                       ChannelFactory newChannel, std::optional<TRequest> request)
    : m_mainMessage(std::move(mainMessage))
    , m_mainChannel(std::move(mainChannel))
    , m_newChannel(std::move(newChannel))
    , m_request(std::move(request))
{
}

TServerProgressRun::~TServerProgressRun() = default;

QString TServerProgressRun::ListText(const QStringList &ids)
{
    QString text;
    for (const QString &id : ids)
        text += id + QStringLiteral("\r\n");
    return text;
}

std::shared_ptr<TROMessage> TServerProgressRun::NewMessage() const
{
    // A message of its own: the host's message is in use by the host's calls meanwhile.
    return std::make_shared<TROMessage>(*m_mainMessage);
}

bool TServerProgressRun::Start()
{
    if (!m_request)
        return false;
    try {
        m_proxy = CoEventsService_Async::Create(NewMessage(), m_newChannel());
        m_proxy->Invoke_RunAutoSchedule(m_request->FromDate, m_request->ToDate, ListText(m_request->TemplateIds),
                                        ListText(m_request->MinistryFunctionIds));
        return true;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("FormShow"), errorText(e));
        m_proxy.reset();
        m_closeAllowed = true;
        return false;
    }
}

bool TServerProgressRun::CheckAnswer()
{
    if (!m_proxy || !m_proxy->GetAnswerReceived())
        return false;
    try {
        if (!m_proxy->Retrieve_RunAutoSchedule())
            AddToLog(llInformation, kDMClient, QStringLiteral("tmrTick"), QStringLiteral("The scheduling run ended without success"));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("tmrTick"), errorText(e));
    }
    m_proxy.reset();
    m_closeAllowed = true;
    return true;
}

bool TServerProgressRun::CancelClicked()
{
    if (m_serverLost) {
        m_closeAllowed = true;
        return true;
    }
    if (!Running() || m_stopSent)
        return false;
    try {
        CoEventsService::Create(NewMessage(), m_newChannel())->StopAutoSchedule();
        m_stopSent = true;
    } catch (const EROTransportError &e) {
        // The stop cannot reach the server, and neither will the run's end: let the user go.
        AddToLog(llSevere, kDMClient, QStringLiteral("btnCancelClick"), e.Message());
        m_serverLost = true;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("btnCancelClick"), errorText(e));
    }
    m_closeAllowed = true;
    return false;
}

bool TServerProgressRun::Probe()
{
    if (m_mainChannel->Busy())
        return true;
    try {
        CoLogOnService::Create(m_mainMessage, m_mainChannel)->GetServerVersion();
        return true;
    } catch (const EROTransportError &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ProbeWhileAutoschedule"), e.Message());
        m_serverLost = true;
        m_closeAllowed = true;
        return false;
    } catch (const std::exception &e) {
        // The server answered, if only with an error: it is there.
        AddToLog(llSevere, kDMClient, QStringLiteral("ProbeWhileAutoschedule"), errorText(e));
        return true;
    }
}
