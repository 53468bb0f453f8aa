// What the automatic-scheduling progress window decides, without the window: whether it may
// close, the run it sends itself in running mode (asynchronously, on a channel of its own),
// its Cancel, and the keep-alive probe of the main channel. A window must never lock its user
// out: a run that cannot be sent, an answer that came back, a stop that was asked for and a
// server that stopped answering each let the window close.
#pragma once

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class IEventsService_Async;
class TROMessage;
class TROTransportChannel;

class TServerProgressRun
{
public:
    // The period and lists of a run this window starts itself.
    struct TRequest
    {
        QStringList TemplateIds;
        QStringList MinistryFunctionIds;
        QDateTime FromDate;
        QDateTime ToDate;
    };
    using ChannelFactory = std::function<std::shared_ptr<TROTransportChannel>()>;

    // Watching mode without a request; running mode with one. mainMessage and mainChannel are
    // the host's (the probe's); newChannel makes the channels of the run and of its stop.
    TServerProgressRun(std::shared_ptr<TROMessage> mainMessage, std::shared_ptr<TROTransportChannel> mainChannel,
                       ChannelFactory newChannel, std::optional<TRequest> request = std::nullopt);
    ~TServerProgressRun();

    bool Running() const { return m_request.has_value(); }
    bool CloseAllowed() const { return m_closeAllowed; }
    void AllowClose() { m_closeAllowed = true; }

    // Running mode: sends the run and returns at once. False (logged, closing allowed) when it
    // could not be sent.
    bool Start();
    // Running mode: true once the run's answer or its failure has come back; the proxy is
    // dropped and closing allowed. A failed run is logged.
    bool CheckAnswer();

    // The Cancel button: shown in running mode, and in either mode once the server is lost.
    bool CancelVisible() const { return Running() || m_serverLost; }
    // Disabled while a stop that reached the server waits for the run's end.
    bool CancelEnabled() const { return m_serverLost || !m_stopSent; }
    // A running run is asked to stop (the window stays until its answer or end event); once the
    // server is lost the button closes the window. True when the window should close now.
    bool CancelClicked();

    // Keeps the main channel's connection and session alive while the window is open; skipped
    // while the main channel is busy. False when the server did not answer: it is then taken
    // as lost and the window may be closed.
    bool Probe();
    bool ServerLost() const { return m_serverLost; }

    // The text the server reads as a string list: one id a line.
    static QString ListText(const QStringList &ids);

private:
    std::shared_ptr<TROMessage> NewMessage() const;

    std::shared_ptr<TROMessage> m_mainMessage;
    std::shared_ptr<TROTransportChannel> m_mainChannel;
    ChannelFactory m_newChannel;
    std::optional<TRequest> m_request;
    std::unique_ptr<IEventsService_Async> m_proxy;
    bool m_closeAllowed = false;
    bool m_stopSent = false;
    bool m_serverLost = false;
};
