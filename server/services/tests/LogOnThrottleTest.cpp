// Repeated failed log-ons slow further attempts for that name and that address, on a clock
// the test moves.
#include "server/services/LogOnThrottle.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

class Throttle : public ::testing::Test
{
protected:
    void Fail(const QString &name, const QString &address, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            throttle.Failed(name, address);
    }
    void Pass(steady_clock::duration d) { now += d; }

    steady_clock::time_point now = steady_clock::time_point() + hours(1000);
    TLogOnThrottle throttle{[this] { return now; }};
};

TEST_F(Throttle, AFewFailuresCostNothingThenEachFurtherOneDoublesTheWait)
{
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"), TLogOnThrottle::kFreeFailuresPerName - 1);
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 0ms);
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 1000ms);
    // The name counts whatever the letter case and the address.
    EXPECT_EQ(throttle.Wait(QStringLiteral("ANNA"), QStringLiteral("10.0.0.2")), 1000ms);
    Pass(400ms);
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 600ms);
    Pass(600ms);
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 0ms);
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 2000ms);
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 4000ms);
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"), 20);
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), duration_cast<milliseconds>(TLogOnThrottle::kMaxDelay));
    EXPECT_EQ(throttle.Wait(QStringLiteral("ben"), QStringLiteral("10.0.0.9")), 0ms);
}

TEST_F(Throttle, ASuccessClearsTheNameAndAQuietSpellClearsEverything)
{
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"), 10);
    throttle.Succeeded(QStringLiteral("Anna"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.3")), 0ms);
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"), 10);
    Pass(TLogOnThrottle::kQuietSpell);
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 0ms);
    // After the spell the count starts again.
    Fail(QStringLiteral("anna"), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("anna"), QStringLiteral("10.0.0.1")), 0ms);
}

TEST_F(Throttle, AnAddressTryingManyNamesIsSlowedItself)
{
    for (int i = 0; i < TLogOnThrottle::kFreeFailuresPerAddress; ++i)
        Fail(QStringLiteral("user%1").arg(i), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("someone"), QStringLiteral("10.0.0.7")), 1000ms);
    EXPECT_EQ(throttle.Wait(QStringLiteral("someone"), QStringLiteral("10.0.0.8")), 0ms);
    // A success of one name leaves the address's count as it is.
    throttle.Succeeded(QStringLiteral("user1"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("someone"), QStringLiteral("10.0.0.7")), 1000ms);
}

TEST_F(Throttle, RandomNamesCannotGrowItsMemoryWithoutBound)
{
    for (int i = 0; i < TLogOnThrottle::kMaxRecords + 50; ++i)
        Fail(QStringLiteral("random%1").arg(i), QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250));
    EXPECT_LE(throttle.RecordCount(), 2 * TLogOnThrottle::kMaxRecords);
    // The oldest records made room; the newest is still counted.
    const QString last = QStringLiteral("random%1").arg(TLogOnThrottle::kMaxRecords + 49);
    Fail(last, QStringLiteral("10.9.9.9"), TLogOnThrottle::kFreeFailuresPerName - 1);
    EXPECT_EQ(throttle.Wait(last, QStringLiteral("10.9.9.8")), 1000ms);
}

} // namespace
