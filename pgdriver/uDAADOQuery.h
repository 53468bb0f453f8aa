// The driver's two command kinds: SQL text with ":Name" parameters, and stored procedures
// (PostgreSQL functions and procedures) called by name with input and output parameters.
#pragma once

#include "dataaccess/TDAEDataset.h"
#include "pgdriver/PgDriverExport.h"

class TDAEADOConnection;

class PGDRIVER_EXPORT TDAEADOQuery : public TDAEDataset
{
public:
    explicit TDAEADOQuery(TDAEADOConnection *connection) : m_connection(connection) {}

protected:
    int DoExecute() override;
    void DoOpen(TDAFieldList &fields, QList<QVariantList> &rows) override;

private:
    struct Prepared;
    TDAEADOConnection *m_connection;
};

class PGDRIVER_EXPORT TDAEADOStoredProcedure : public TDAEStoredProcedure
{
public:
    explicit TDAEADOStoredProcedure(TDAEADOConnection *connection) : m_connection(connection) {}

    void RefreshParams() override;
    int Execute() override;

private:
    struct Argument
    {
        QString Name;
        char Mode = 'i';
        unsigned Type = 0;
    };
    void LoadSignature();

    TDAEADOConnection *m_connection;
    bool m_loaded = false;
    QString m_qualifiedName;
    bool m_isProcedure = false;
    unsigned m_returnType = 0;
    QList<Argument> m_arguments;
};
