// The automatic-scheduling progress window on scripted channels: it refuses to close until its
// run lets it, sends its own run on a channel of its own and closes at the answer, asks the
// server to stop on Cancel without closing, keeps the main channel alive, and lets its user
// go when the run cannot be sent or the server no longer answers.
#include "client/ufServerProgress.h"

#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"

#include "Quorva_Data_Service_Intf.h"
#include "remoting/ROErrors.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// A channel that answers every synchronous call at once and holds asynchronous ones until told.
class ScriptedChannel : public TROTransportChannel
{
public:
    void Dispatch(TROMessage &message) override
    {
        calls << message.MessageName();
        if (!failure.isEmpty())
            throw EROTransportError(failure);
        TROMessage reply;
        reply.InitializeResponse(message.LibraryName(), message.InterfaceName(), message.MessageName());
        if (message.MessageName() == QLatin1String("GetServerVersion"))
            reply.WriteAnsiString(QStringLiteral("Result"), QStringLiteral("1.0.0.0"));
        message.LoadFromBytes(reply.SaveToBytes(), RemotingLimits::kMaxReplySize);
    }
    void DispatchAsync(const TROMessage &message, AsyncDone done) override
    {
        if (!failure.isEmpty())
            throw EROChannelBusy(failure);
        calls << message.MessageName();
        sent = std::make_unique<TROMessage>(message);
        pending = std::move(done);
    }
    bool Busy() const override { return busy; }

    void Answer(bool result)
    {
        TROMessage reply;
        reply.InitializeResponse(sent->LibraryName(), sent->InterfaceName(), sent->MessageName());
        reply.WriteBoolean(QStringLiteral("Result"), result);
        std::exchange(pending, {})(reply.SaveToBytes(), QString());
    }
    void Fail(const QString &error) { std::exchange(pending, {})(QByteArray(), error); }

    QStringList calls;
    QString failure;
    bool busy = false;
    std::unique_ptr<TROMessage> sent;
    AsyncDone pending;
};

const TServerProgressTimings kFast{10ms, 30ms};

class ServerProgress : public ::testing::Test
{
protected:
    // A call never answered holds its proxy's state, which holds the channel.
    void TearDown() override
    {
        for (const std::shared_ptr<ScriptedChannel> &channel : made)
            channel->pending = {};
    }
    std::unique_ptr<TfServerProgress> Window(std::optional<TServerProgressRun::TRequest> request = std::nullopt,
                                             TServerProgressTimings timings = kFast)
    {
        auto run = std::make_unique<TServerProgressRun>(
            std::make_shared<TROMessage>(), main,
            [this]() -> std::shared_ptr<TROTransportChannel> {
                if (!newChannelFailure.isEmpty())
                    throw EROTransportError(newChannelFailure);
                made.push_back(std::make_shared<ScriptedChannel>());
                return made.back();
            },
            std::move(request));
        return std::make_unique<TfServerProgress>(std::move(run), [](int number) { return QStringLiteral("text %1").arg(number); },
                                                  nullptr, timings);
    }
    static TServerProgressRun::TRequest Request()
    {
        return {{QStringLiteral("T1"), QStringLiteral("T2")}, {QStringLiteral("F1")}, QDateTime(QDate(2026, 11, 1), QTime(0, 0)),
                QDateTime(QDate(2026, 12, 1), QTime(0, 0))};
    }
    // Runs the window modally while script acts in it; answers whether ShowModal returned in time.
    static bool ShowModalWhile(TfServerProgress &window, const std::function<void()> &script, std::chrono::milliseconds limit = 5s)
    {
        bool returned = false;
        // Timers of this call, so that nothing of it is left for a later test.
        QTimer start;
        start.setSingleShot(true);
        QObject::connect(&start, &QTimer::timeout, [&] { script(); });
        start.start(0);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] { window.AllowCloseAndClose(); });
        guard.start(limit);
        window.ShowModal();
        returned = guard.isActive();
        return returned;
    }

    kestrova::test::LogCapture log;
    std::shared_ptr<ScriptedChannel> main = std::make_shared<ScriptedChannel>();
    std::vector<std::shared_ptr<ScriptedChannel>> made;
    QString newChannelFailure;
};

} // namespace

TEST_F(ServerProgress, AWatchingWindowRefusesToCloseUntilTheRunIsOver)
{
    auto window = Window();
    bool stayedOpen = false;
    EXPECT_TRUE(ShowModalWhile(*window, [&] {
        window->close();
        stayedOpen = window->isVisible();
        window->UpdateProgress(3, 10);
        window->AllowCloseAndClose();
    }));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(window->pb()->maximum(), 10);
    EXPECT_EQ(window->pb()->value(), 3);
    EXPECT_FALSE(window->btnCancel()->isVisible());
    EXPECT_EQ(window->size(), QSize(TfServerProgress::ClientWidth, TfServerProgress::WatchingHeight));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("text 212"));
    EXPECT_EQ(window->Label1()->text(), QStringLiteral("text 211"));
    EXPECT_TRUE(made.empty()) << "watching sends nothing";
}

TEST_F(ServerProgress, TheRunGoesOutOnAChannelOfItsOwnAndItsAnswerClosesTheWindow)
{
    auto window = Window(Request());
    bool openBeforeAnswer = false;
    EXPECT_TRUE(ShowModalWhile(*window, [&] {
        ASSERT_EQ(made.size(), 1u);
        kestrova::test::WaitFor([] { return false; }, 50ms);
        openBeforeAnswer = window->isVisible();
        made[0]->Answer(true);
    }));
    EXPECT_TRUE(openBeforeAnswer);
    EXPECT_EQ(made[0]->calls, QStringList{QStringLiteral("RunAutoSchedule")});
    EXPECT_TRUE(main->calls.isEmpty() || QSet<QString>(main->calls.begin(), main->calls.end()) == QSet<QString>{QStringLiteral("GetServerVersion")});
    TROMessage &sent = *made[0]->sent;
    EXPECT_EQ(sent.InterfaceName(), QStringLiteral("EventsService"));
    EXPECT_EQ(sent.ReadDateTime(QStringLiteral("AFromDate")), QDateTime(QDate(2026, 11, 1), QTime(0, 0)));
    EXPECT_EQ(sent.ReadDateTime(QStringLiteral("AToDate")), QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
    EXPECT_EQ(sent.ReadAnsiString(QStringLiteral("ATemplateList")), QStringLiteral("T1\r\nT2\r\n"));
    EXPECT_EQ(sent.ReadAnsiString(QStringLiteral("AMinistryFunctionList")), QStringLiteral("F1\r\n"));
    EXPECT_EQ(window->size(), QSize(TfServerProgress::ClientWidth, TfServerProgress::RunningHeight));
}

TEST_F(ServerProgress, ARunWhoseAnswerIsAFailureClosesTheWindowAndIsLogged)
{
    auto window = Window(Request());
    EXPECT_TRUE(ShowModalWhile(*window, [&] { made.at(0)->Fail(QStringLiteral("Connection refused")); }));
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("tmrTick")).size(), 1);
}

TEST_F(ServerProgress, ARunThatCannotBeSentClosesTheWindowAtOnce)
{
    newChannelFailure = QStringLiteral("no channel");
    auto window = Window(Request());
    EXPECT_TRUE(ShowModalWhile(*window, [] {}, 1s));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("FormShow")),
              QStringList{QStringLiteral("no channel")});
}

TEST_F(ServerProgress, CancelAsksTheServerToStopOnAnotherChannelAndTheWindowWaitsForTheEnd)
{
    auto window = Window(Request());
    bool openAfterCancel = false;
    bool enabledAfterCancel = true;
    EXPECT_TRUE(ShowModalWhile(*window, [&] {
        ASSERT_TRUE(window->btnCancel()->isVisible());
        window->btnCancel()->click();
        kestrova::test::WaitFor([] { return false; }, 50ms);
        openAfterCancel = window->isVisible();
        enabledAfterCancel = window->btnCancel()->isEnabled();
        made.at(0)->Answer(false);
    }));
    EXPECT_TRUE(openAfterCancel);
    EXPECT_FALSE(enabledAfterCancel) << "one stop is enough";
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[1]->calls, QStringList{QStringLiteral("StopAutoSchedule")});
}

TEST_F(ServerProgress, TheProbeKeepsTheMainChannelAliveAndLeavesABusyOneAlone)
{
    auto window = Window();
    EXPECT_TRUE(ShowModalWhile(*window, [&] {
        kestrova::test::WaitFor([&] { return main->calls.size() >= 2; }, 2s);
        main->busy = true;
        const qsizetype seen = main->calls.size();
        kestrova::test::WaitFor([] { return false; }, 100ms);
        EXPECT_EQ(main->calls.size(), seen);
        window->AllowCloseAndClose();
    }));
    EXPECT_GE(main->calls.size(), 2);
    EXPECT_EQ(QSet<QString>(main->calls.begin(), main->calls.end()), QSet<QString>{QStringLiteral("GetServerVersion")});
    EXPECT_TRUE(window->Run().CloseAllowed());
    EXPECT_FALSE(window->Run().ServerLost());
}

TEST_F(ServerProgress, WhenTheServerStopsAnsweringAWatchingWindowCanBeClosed)
{
    auto window = Window();
    bool cancelShown = false;
    EXPECT_TRUE(ShowModalWhile(*window, [&] {
        main->failure = QStringLiteral("Connection refused");
        kestrova::test::WaitFor([&] { return window->btnCancel()->isVisible(); }, 2s);
        cancelShown = window->btnCancel()->isVisible() && window->btnCancel()->isEnabled();
        window->btnCancel()->click();
    }));
    EXPECT_TRUE(cancelShown);
    EXPECT_TRUE(window->Run().ServerLost());
    EXPECT_FALSE(log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("ProbeWhileAutoschedule")).isEmpty());
}

TEST_F(ServerProgress, ACancelThatCannotReachTheServerLetsTheWindowClose)
{
    auto window = Window(Request());
    EXPECT_TRUE(ShowModalWhile(*window, [&] {
        newChannelFailure = QStringLiteral("Connection refused");
        window->btnCancel()->click();
        ASSERT_TRUE(window->isVisible()) << "the first press only asks for the stop";
        ASSERT_TRUE(window->btnCancel()->isEnabled());
        window->btnCancel()->click();
    }));
    EXPECT_TRUE(window->Run().ServerLost());
}
