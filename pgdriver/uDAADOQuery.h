// The driver's two command kinds: SQL text with ":Name" parameters, and stored procedures
// (PostgreSQL functions and procedures) called by name with input and output parameters.
#pragma once

#include "dataaccess/TDAEDataset.h"
#include "pgdriver/PgDriverExport.h"

#include <memory>

class TDAEADOConnection;
struct pg_result;

class PGDRIVER_EXPORT TDAEADOQuery : public TDAEDataset
{
public:
    explicit TDAEADOQuery(TDAEADOConnection *connection);
    ~TDAEADOQuery() override;

protected:
    int DoExecute() override;
    void DoOpen(TDAFieldList &fields, QList<QVariantList> &rows) override;
    // Rows come from the database one at a time and go into the stream value by value,
    // without rows of variants (a text of several statements is read whole, as Open reads it).
    void DoOpenForStreaming(TDAFieldList &fields) override;
    void DoWriteRows(TDADatasetWriter &out, const TDAFieldList &fields, const QList<int> &columns) override;

private:
    struct ResultDeleter
    {
        void operator()(pg_result *r) const;
    };
    // Ends a stream of rows still coming, so the connection can run the next statement.
    void EndStreaming();

    TDAEADOConnection *m_connection;
    bool m_streaming = false;
    std::unique_ptr<pg_result, ResultDeleter> m_pending; // the stream's first result, fields and all
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
