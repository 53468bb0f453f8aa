// Who may change what through a data service: the rights (bits of the caller's level) that a
// client's change of each dataset, each command and each changing operation of the service
// takes, checked before anything of the change runs. Reads are not governed here.
#pragma once

#include <QString>

#include <initializer_list>
#include <map>
#include <utility>

class IDAConnection;
class TDataServiceBase;
class TROSession;

class TServiceRights
{
public:
    // Names not listed take the default; case is ignored.
    TServiceRights(QString sender, int defaultRights, std::initializer_list<std::pair<const char *, int>> rights);

    int Required(const QString &name) const;

    // The session's user holds every bit of rights; a session nobody logged on in only while no
    // user exists (the initial set-up).
    static bool Holds(const TROSession *session, IDAConnection &connection, int rights);

    // Refuses, with EROAccessDenied "<what> is not allowed for this user" and a Warning line,
    // unless the caller of the service holds what the name takes.
    void Require(TDataServiceBase &service, const QString &name, const QString &what) const;
    void RequireRights(TDataServiceBase &service, int rights, const QString &what) const;

    // What describes a change of a dataset and a run of a command in those refusals.
    static QString Changing(const QString &dataset);
    static QString Running(const QString &command);

    // Checks every change set and command of a client against the table.
    void Install(TDataServiceBase &service) const;

private:
    QString m_sender;
    int m_default;
    std::map<QString, int> m_rights;
};
