#include "dataaccess/TDAConnectionManager.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionStringParser.h"
#include "dataaccess/uDADriverManager.h"

TDAConnectionDefinition &TDAConnectionManager::AddConnection(const QString &name, const QString &connectionString,
                                                             bool isDefault)
{
    std::lock_guard lock(m_mutex);
    for (auto &d : m_definitions)
        if (d->GetName().compare(name, Qt::CaseInsensitive) == 0) {
            d->SetConnectionString(connectionString);
            if (isDefault)
                d->SetDefault(true);
            return *d;
        }
    auto d = std::make_shared<TDAConnectionDefinition>();
    d->SetName(name);
    d->SetConnectionString(connectionString);
    d->SetDefault(isDefault);
    m_definitions.append(d);
    return *d;
}

TDAConnectionDefinition *TDAConnectionManager::FindConnection(const QString &name)
{
    std::lock_guard lock(m_mutex);
    for (auto &d : m_definitions)
        if (d->GetName().compare(name, Qt::CaseInsensitive) == 0)
            return d.get();
    return nullptr;
}

TDAConnectionDefinition &TDAConnectionManager::ConnectionByName(const QString &name)
{
    if (TDAConnectionDefinition *d = FindConnection(name))
        return *d;
    throw EDAException(QStringLiteral("Connection \"%1\" not found").arg(name));
}

int TDAConnectionManager::Count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_definitions.size());
}

QString TDAConnectionManager::GetDefaultConnectionName() const
{
    std::lock_guard lock(m_mutex);
    for (const auto &d : m_definitions)
        if (d->GetDefault())
            return d->GetName();
    if (m_definitions.isEmpty())
        throw EDAException(QStringLiteral("No connection is defined"));
    return m_definitions.first()->GetName();
}

std::unique_ptr<IDAConnection> TDAConnectionManager::NewConnection(const QString &name, bool openConnection,
                                                                   const QString &userId, const QString &password)
{
    const QString wanted = name.isEmpty() ? GetDefaultConnectionName() : name;
    QString text;
    QString definitionName;
    {
        const TDAConnectionDefinition &d = ConnectionByName(wanted);
        std::lock_guard lock(m_mutex);
        text = d.GetConnectionString();
        definitionName = d.GetName();
    }
    const TDAConnectionStringParser parser(text);
    std::unique_ptr<IDAConnection> connection = DriverByID(parser.DriverID())->NewConnection(text);
    connection->SetName(definitionName);
    if (openConnection)
        connection->Open(userId, password);
    return connection;
}
