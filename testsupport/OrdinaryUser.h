// A stretch of a test run as an ordinary user, for what a user of a shared installation meets:
// as root the process becomes "nobody" (user, group and supplementary groups) until the guard
// ends; the saved user stays root, to come back. Run as anyone else the test is an ordinary user
// already. Folders the user must not write are made read-only for both cases by ReadOnly().
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace kestrova::test {

// Environment variables set (or, given a null value, removed) for a stretch of a test.
class ScopedEnvironment
{
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char *, QByteArray>> values)
    {
        for (const auto &[name, value] : values) {
            m_saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    ~ScopedEnvironment()
    {
        for (const auto &[name, value] : m_saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    std::vector<std::pair<const char *, QByteArray>> m_saved;
};

class AsOrdinaryUser
{
public:
    AsOrdinaryUser()
    {
        if (::geteuid() != 0)
            return;
        const passwd *user = ::getpwnam("nobody");
        if (!user)
            return;
        const int count = ::getgroups(0, nullptr);
        m_groups.resize(std::size_t(count > 0 ? count : 0));
        if (count > 0)
            ::getgroups(count, m_groups.data());
        const gid_t group = user->pw_gid;
        m_switched = ::setgroups(1, &group) == 0 && ::setresgid(group, group, 0) == 0
                     && ::setresuid(user->pw_uid, user->pw_uid, 0) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (!m_switched)
            return;
        if (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0
            || ::setgroups(m_groups.size(), m_groups.data()) != 0)
            std::abort();
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

    // True when the process is an ordinary user now.
    bool Ordinary() const { return m_switched || ::geteuid() != 0; }

    // The ordinary user's ids, for folders made for it beforehand (as the test's user otherwise).
    static uid_t UserId()
    {
        const passwd *user = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
        return user ? user->pw_uid : ::geteuid();
    }
    static gid_t GroupId()
    {
        const passwd *user = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
        return user ? user->pw_gid : ::getegid();
    }
    // Hands a folder made by the test to the ordinary user.
    static bool GiveToUser(const QString &path)
    {
        return ::chown(QFile::encodeName(path).constData(), UserId(), GroupId()) == 0 || ::geteuid() != 0;
    }
    // Readable and searchable by all, writable by none but root.
    static bool ReadOnly(const QString &path)
    {
        return QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                               | QFile::ReadOther | QFile::ExeOther);
    }

private:
    std::vector<gid_t> m_groups;
    bool m_switched = false;
};

} // namespace kestrova::test
