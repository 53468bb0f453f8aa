// A service's schema: named datasets (fields, parameters, the table they write to) and
// commands, each with one SQL statement per connection name or one default. Loaded from an
// XML file, normally a compiled-in resource. The SQL of a schema never leaves the server.
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/DataAccessExport.h"
#include "dataaccess/IDAConnection.h"

#include <QList>
#include <QString>

struct DATAACCESS_EXPORT TDASchemaStatement
{
    QString ConnectionName; // empty for the default statement
    QString SQL;
};

struct DATAACCESS_EXPORT TDASchemaElement
{
    QString Name;
    TDAParamCollection Params;
    QList<TDASchemaStatement> Statements;
    // The statement for this connection name, else the default; throws when neither exists.
    QString StatementFor(const QString &connectionName) const;
};

struct DATAACCESS_EXPORT TDASchemaDataset : TDASchemaElement
{
    QString TableName;      // the table its changes go to; empty for read-only datasets
    TDAFieldList Fields;
};

struct DATAACCESS_EXPORT TDASchemaCommand : TDASchemaElement
{
};

class DATAACCESS_EXPORT TDASchema
{
public:
    // Throws EDAException with the file and line when the XML is not a valid schema.
    void LoadFromXml(const QByteArray &xml, const QString &origin = QStringLiteral("schema"));
    void LoadFromFile(const QString &path);

    QString GetName() const { return m_name; }
    const QList<TDASchemaDataset> &Datasets() const { return m_datasets; }
    const QList<TDASchemaCommand> &Commands() const { return m_commands; }
    const TDASchemaDataset *FindDataset(const QString &name) const;
    const TDASchemaCommand *FindCommand(const QString &name) const;
    // Throw EDAException naming the element when the schema has none of that name.
    const TDASchemaDataset &DatasetByName(const QString &name) const;
    const TDASchemaCommand &CommandByName(const QString &name) const;
    void AddDataset(const TDASchemaDataset &dataset) { m_datasets << dataset; }
    void AddCommand(const TDASchemaCommand &command) { m_commands << command; }

    // The schema's description for clients: names, fields and parameters, without SQL. With
    // names given, only those datasets (and commands) are described.
    QString ToClientXml(const QStringList &datasetNames = {}, const QStringList &commandNames = {},
                        bool allDatasets = true, bool allCommands = true) const;

    // A dataset of the connection on the statement for its connection name, with the
    // schema's parameters (their types kept) and the values given by name.
    std::unique_ptr<TDAEDataset> NewDataset(IDAConnection &connection, const QString &datasetName) const;
    std::unique_ptr<TDAEDataset> NewCommand(IDAConnection &connection, const QString &commandName) const;

private:
    QString m_name;
    QList<TDASchemaDataset> m_datasets;
    QList<TDASchemaCommand> m_commands;
};
