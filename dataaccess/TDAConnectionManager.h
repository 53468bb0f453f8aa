// Named connection definitions and the connections made from them. Pooling stays off:
// every NewConnection call hands out a connection of its own.
#pragma once

#include "dataaccess/DataAccessExport.h"
#include "dataaccess/IDAConnection.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>

class DATAACCESS_EXPORT TDAConnectionDefinition
{
public:
    QString GetName() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    QString GetConnectionString() const { return m_connectionString; }
    void SetConnectionString(const QString &text) { m_connectionString = text; }
    bool GetDefault() const { return m_default; }
    void SetDefault(bool value) { m_default = value; }

private:
    QString m_name;
    QString m_connectionString;
    bool m_default = false;
};

class DATAACCESS_EXPORT TDAConnectionManager
{
public:
    TDAConnectionManager() = default;
    TDAConnectionManager(const TDAConnectionManager &) = delete;
    TDAConnectionManager &operator=(const TDAConnectionManager &) = delete;

    // Adds a definition, or replaces the string of the one with that name (case ignored).
    TDAConnectionDefinition &AddConnection(const QString &name, const QString &connectionString,
                                           bool isDefault = false);
    // Throws EDAException when there is no definition of that name.
    TDAConnectionDefinition &ConnectionByName(const QString &name);
    TDAConnectionDefinition *FindConnection(const QString &name);
    int Count() const;
    // The definition marked default, else the first; throws when there is none.
    QString GetDefaultConnectionName() const;

    // A new connection of the named definition (the default one when the name is empty),
    // opened now when asked, with the user and password given or those of its string.
    std::unique_ptr<IDAConnection> NewConnection(const QString &name, bool openConnection = true,
                                                 const QString &userId = {}, const QString &password = {});

    bool GetPoolingEnabled() const { return false; }

private:
    mutable std::mutex m_mutex;
    QList<std::shared_ptr<TDAConnectionDefinition>> m_definitions;
};
