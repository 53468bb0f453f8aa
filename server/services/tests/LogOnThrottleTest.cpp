// Repeated failed log-ons slow further attempts for that name from that address and for that
// address, on a clock the test moves.
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
    // The name counts whatever the letter case.
    EXPECT_EQ(throttle.Wait(QStringLiteral("ANNA"), QStringLiteral("10.0.0.1")), 1000ms);
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
    throttle.Succeeded(QStringLiteral("Anna"), QStringLiteral("10.0.0.1"));
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
    throttle.Succeeded(QStringLiteral("user1"), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("someone"), QStringLiteral("10.0.0.7")), 1000ms);
}

TEST_F(Throttle, RandomNamesCannotGrowItsMemoryWithoutBound)
{
    for (int i = 0; i < TLogOnThrottle::kMaxRecords + 50; ++i)
        Fail(QStringLiteral("random%1").arg(i), QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250));
    EXPECT_LE(throttle.RecordCount(), 2 * TLogOnThrottle::kMaxRecords);
    // The oldest records made room; the newest is still counted.
    const int i = TLogOnThrottle::kMaxRecords + 49;
    const QString last = QStringLiteral("random%1").arg(i);
    const QString address = QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250);
    Fail(last, address, TLogOnThrottle::kFreeFailuresPerName - 1);
    EXPECT_EQ(throttle.Wait(last, address), 1000ms);
}

// Guessing a name's password from one computer slows that computer only: the name's owner at
// another one is answered at once, and a success there leaves the guesser slowed.
TEST_F(Throttle, ANameIsSlowedOnlyAtTheAddressItFailedFrom)
{
    const struct
    {
        const char *address;
        milliseconds wait;
        bool firstRefusal;
    } table[] = {
        {"127.0.0.2", 1000ms, true},
        {"127.0.0.2", 1000ms, false},
        {"127.0.0.1", 0ms, false},
        {"127.0.0.3", 0ms, false},
    };
    Fail(QStringLiteral("admin"), QStringLiteral("127.0.0.2"), TLogOnThrottle::kFreeFailuresPerName);
    for (const auto &row : table) {
        SCOPED_TRACE(row.address);
        bool first = !row.firstRefusal;
        EXPECT_EQ(throttle.Wait(QStringLiteral("Admin"), QLatin1String(row.address), &first), row.wait);
        EXPECT_EQ(first, row.firstRefusal);
    }
    throttle.Succeeded(QStringLiteral("admin"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(throttle.Wait(QStringLiteral("admin"), QStringLiteral("127.0.0.2")), 1000ms);
}

} // namespace
