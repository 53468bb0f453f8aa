#include "foundation/InteractiveLogon.h"

#include <sodium.h>

#include <QByteArray>

#include <stdexcept>

namespace {

// Changing any of these changes every secret: clients and server must agree on them.
constexpr char kSaltKey[] = "Kestrova interactive log-on v1";
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = 19u * 1024u * 1024u;
constexpr size_t kSecretBytes = 32;

} // namespace

QString DeriveInteractiveLogonSecret(const QString &password, const QString &userName, const QString &account)
{
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium could not be initialised");
    static_assert(sizeof kSaltKey - 1 >= crypto_generichash_KEYBYTES_MIN);
    static_assert(crypto_pwhash_SALTBYTES >= crypto_generichash_BYTES_MIN);

    // The salt ties the secret to this user and account: BLAKE2b of name, NUL, account.
    const QByteArray who = userName.toUtf8() + '\0' + account.toUtf8();
    unsigned char salt[crypto_pwhash_SALTBYTES];
    crypto_generichash(salt, sizeof salt, reinterpret_cast<const unsigned char *>(who.constData()),
                       static_cast<unsigned long long>(who.size()), reinterpret_cast<const unsigned char *>(kSaltKey),
                       sizeof kSaltKey - 1);

    const QByteArray secret = password.toUtf8();
    unsigned char key[kSecretBytes];
    if (crypto_pwhash(key, sizeof key, secret.constData(), static_cast<unsigned long long>(secret.size()), salt,
                      kOpsLimit, kMemLimit, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("Out of memory while deriving the automatic log-on secret");
    const QString text = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(key), sizeof key).toHex());
    sodium_memzero(key, sizeof key);
    return text;
}
