#include "tools/tolvik/uQorCustomerInfo.h"

#include "foundation/IniFile.h"
#include "foundation/uCommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sodium.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSection = QStringLiteral("User information");

using Key = QByteArray;

void initSodium()
{
    if (sodium_init() < 0)
        throw ECustomerInfoError("The cipher library cannot start");
}

// The user's key, or an empty one when there is none that can be used.
Key readKey(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A key others could read keeps nothing from them; it is the user's alone from now on.
    if (file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther))
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const Key key = file.read(crypto_secretbox_KEYBYTES + 1);
    return key.size() == qsizetype(crypto_secretbox_KEYBYTES) ? key : Key();
}

Key makeKey(const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw ECustomerInfoError("Cannot create the folder of " + path.toStdString());
    Key key(crypto_secretbox_KEYBYTES, Qt::Uninitialized);
    crypto_secretbox_keygen(reinterpret_cast<unsigned char *>(key.data()));
    // Made readable by its user only from the first byte on.
    const QByteArray temporary = QFile::encodeName(path + QStringLiteral(".new"));
    ::unlink(temporary.constData());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        throw ECustomerInfoError("Cannot create the key file " + path.toStdString());
    const bool written = ::write(fd, key.constData(), size_t(key.size())) == key.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temporary.constData());
        throw ECustomerInfoError("Cannot write the key file " + path.toStdString());
    }
    return key;
}

QString encipher(const QString &value, const Key &key)
{
    const QByteArray plain = value.toUtf8();
    QByteArray sealed(qsizetype(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES) + plain.size(), Qt::Uninitialized);
    auto *nonce = reinterpret_cast<unsigned char *>(sealed.data());
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES, reinterpret_cast<const unsigned char *>(plain.constData()),
                          quint64(plain.size()), nonce, reinterpret_cast<const unsigned char *>(key.constData()));
    return QString::fromLatin1(sealed.toBase64());
}

QString decipher(const QString &text, const Key &key)
{
    const QByteArray sealed = QByteArray::fromBase64(text.toLatin1());
    const qsizetype overhead = qsizetype(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES);
    if (key.isEmpty() || sealed.size() < overhead)
        return {};
    QByteArray plain(sealed.size() - overhead, Qt::Uninitialized);
    const auto *nonce = reinterpret_cast<const unsigned char *>(sealed.constData());
    if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char *>(plain.data()), nonce + crypto_secretbox_NONCEBYTES,
                                   quint64(sealed.size() - qsizetype(crypto_secretbox_NONCEBYTES)), nonce,
                                   reinterpret_cast<const unsigned char *>(key.constData()))
        != 0)
        return {};
    return QString::fromUtf8(plain);
}

} // namespace

TQorCustomerInfo::TQorCustomerInfo(const QString &path, const QString &keyPath)
    : m_path(path), m_keyPath(keyPath.isEmpty() ? DefaultKeyPath() : keyPath)
{
}

QString TQorCustomerInfo::DefaultKeyPath()
{
    return QDir(GetSpecialFolder(nullptr, int(SpecialFolder::AppData))).filePath(QStringLiteral("Orbek/Tolvik.key"));
}

bool TQorCustomerInfo::Load()
{
    m_customerId.clear();
    m_owner.clear();
    m_organization.clear();
    m_email.clear();
    if (!QFileInfo(m_path).isFile())
        return false;
    initSodium();
    IniFile file(m_path);
    if (!file.load())
        return false;
    const Key key = readKey(m_keyPath);
    m_customerId = decipher(file.value(kSection, QStringLiteral("CustomerID")), key);
    m_owner = decipher(file.value(kSection, QStringLiteral("Owner")), key);
    m_organization = decipher(file.value(kSection, QStringLiteral("Organization")), key);
    m_email = decipher(file.value(kSection, QStringLiteral("Email")), key);
    return true;
}

void TQorCustomerInfo::Save() const
{
    initSodium();
    Key key = readKey(m_keyPath);
    if (key.isEmpty())
        key = makeKey(m_keyPath);
    IniFile file(m_path);
    if (!file.load())
        throw ECustomerInfoError("Cannot read " + m_path.toStdString());
    file.setValue(kSection, QStringLiteral("CustomerID"), encipher(m_customerId, key));
    file.setValue(kSection, QStringLiteral("Owner"), encipher(m_owner, key));
    file.setValue(kSection, QStringLiteral("Organization"), encipher(m_organization, key));
    file.setValue(kSection, QStringLiteral("Email"), encipher(m_email, key));
    if (!file.save())
        throw ECustomerInfoError(("Cannot write " + m_path + ": " + file.errorString()).toStdString());
}

bool TQorCustomerInfo::Forget() const
{
    return !QFileInfo::exists(m_path) || QFile::remove(m_path);
}
