#include "server/services/PasswordHash.h"

#include "foundation/InteractiveLogon.h"

#include <sodium.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace {

// OWASP's minimum for argon2id: 19 MiB and two passes.
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = 19u * 1024u * 1024u;
constexpr int kMaxConcurrent = 4;

void EnsureSodium()
{
    static const int ready = sodium_init();
    if (ready < 0)
        throw std::runtime_error("libsodium could not be initialised");
}

class Slots
{
public:
    void Acquire()
    {
        std::unique_lock lock(m_mutex);
        m_free.wait(lock, [this] { return m_used < kMaxConcurrent; });
        ++m_used;
    }
    void Release()
    {
        {
            std::lock_guard lock(m_mutex);
            --m_used;
        }
        m_free.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_free;
    int m_used = 0;
};

Slots &HashSlots()
{
    static Slots hashSlots;
    return hashSlots;
}

class SlotGuard
{
public:
    SlotGuard() { HashSlots().Acquire(); }
    ~SlotGuard() { HashSlots().Release(); }
    SlotGuard(const SlotGuard &) = delete;
    SlotGuard &operator=(const SlotGuard &) = delete;
};

} // namespace

QString HashPassword(const QString &password)
{
    EnsureSodium();
    const QByteArray utf8 = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    SlotGuard slot;
    if (crypto_pwhash_str_alg(hash, utf8.constData(), static_cast<unsigned long long>(utf8.size()), kOpsLimit,
                              kMemLimit, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("Out of memory while hashing a password");
    return QString::fromLatin1(hash);
}

bool IsPasswordHash(const QString &stored)
{
    return stored.startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX));
}

bool VerifyPassword(const QString &stored, const QString &password)
{
    EnsureSodium();
    if (stored.isEmpty())
        return password.isEmpty();
    const QByteArray given = password.toUtf8();
    if (!IsPasswordHash(stored)) {
        const QByteArray old = stored.toUtf8();
        return old.size() == given.size() && sodium_memcmp(old.constData(), given.constData(), size_t(old.size())) == 0;
    }
    const QByteArray hash = stored.toLatin1();
    SlotGuard slot;
    return crypto_pwhash_str_verify(hash.constData(), given.constData(), static_cast<unsigned long long>(given.size())) == 0;
}

QString HashInteractiveLogonSecret(const QString &password, const QString &userName, const QString &account)
{
    QString secret;
    {
        SlotGuard slot;
        secret = DeriveInteractiveLogonSecret(password, userName, account);
    }
    return HashPassword(secret);
}

bool VerifyInteractiveLogonSecret(const QString &stored, const QString &secret)
{
    return IsPasswordHash(stored) && !secret.isEmpty() && VerifyPassword(stored, secret);
}
