// Slows password guessing without sleeping: after a few failed log-ons for one user name from
// one address, or from one address for any names, further attempts from there are refused
// unchecked until a delay has passed since the last failure; the delay doubles with every
// further failure, up to a ceiling. A name is counted per address, so that guessing from one
// computer never locks the name's owner out at another. A name's record ends with a successful
// log-on from that address, any record after a quiet spell.
#pragma once

#include <QHash>
#include <QString>

#include <chrono>
#include <functional>
#include <mutex>

class TLogOnThrottle
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Failures allowed before the delay starts: a shared address (an office behind one router)
    // gets more than one name.
    static constexpr int kFreeFailuresPerName = 5;
    static constexpr int kFreeFailuresPerAddress = 20;
    static constexpr std::chrono::seconds kFirstDelay{1};
    static constexpr std::chrono::seconds kMaxDelay{60};
    // A record without a failure for this long is forgotten.
    static constexpr std::chrono::minutes kQuietSpell{15};
    // Records kept per kind; beyond it the longest-quiet ones go first.
    static constexpr int kMaxRecords = 10000;

    explicit TLogOnThrottle(Clock clock = &std::chrono::steady_clock::now);

    // Zero when an attempt for the name from the address may be checked now, else how long to
    // wait. firstRefusal tells whether this is the first refusal of the record holding the
    // attempt back since it began counting, so that a refusal is logged once, not per attempt.
    std::chrono::milliseconds Wait(const QString &userName, const QString &address, bool *firstRefusal = nullptr);
    void Failed(const QString &userName, const QString &address);
    void Succeeded(const QString &userName, const QString &address);

    // Records held, names per address and addresses together.
    int RecordCount() const;

    void SetClock(Clock clock);
    void Clear();

    // The one the log-on service uses.
    static TLogOnThrottle &Server();

private:
    struct Record
    {
        int Failures = 0;
        bool Refused = false;
        std::chrono::steady_clock::time_point Last;
    };
    using Records = QHash<QString, Record>;

    std::chrono::milliseconds WaitFor(const Records &records, const QString &key, int free,
                                      std::chrono::steady_clock::time_point now) const;
    static QString NameKey(const QString &userName, const QString &address);
    void Count(Records &records, const QString &key, std::chrono::steady_clock::time_point now);

    mutable std::mutex m_mutex;
    Clock m_clock;
    // By name and address together.
    Records m_names;
    Records m_addresses;
};
