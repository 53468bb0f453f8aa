// A statement on one connection: SQL text with ":Name" parameters that is either executed
// (rows affected) or opened (its rows kept in memory for reading). Drivers derive from it.
// Values are always bound, never pasted into the text.
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/DASQLParams.h"
#include "dataaccess/DataAccessExport.h"

#include <QList>
#include <QVariant>

class TDADatasetWriter;

class DATAACCESS_EXPORT TDAEDataset
{
public:
    TDAEDataset() = default;
    virtual ~TDAEDataset();
    TDAEDataset(const TDAEDataset &) = delete;
    TDAEDataset &operator=(const TDAEDataset &) = delete;

    QString GetSQL() const { return m_sql; }
    // The text with its parameters turned into "$n" markers, parsed once per text.
    const TDASQLParamText &ParsedSQL() const;
    // Sets the text and rebuilds the parameters from it, keeping values of names that stay.
    void SetSQL(const QString &sql);
    TDAParamCollection &GetParams() { return m_params; }
    const TDAParamCollection &GetParams() const { return m_params; }
    TDAParam &ParamByName(const QString &name) { return m_params.ParamByName(name); }
    virtual void RefreshParams();

    // Runs the statement and returns the number of rows it affected.
    int Execute();
    // Runs the statement and keeps the rows it returns; the cursor is on the first row.
    void Open();
    void Close();
    bool GetActive() const { return m_active; }
    // Rows the last Open or Execute touched (for a statement that returns rows, their number).
    int GetRowsAffected() const { return m_rowsAffected; }

    const TDAFieldList &GetFields() const { return m_fields; }
    int FieldIndex(const QString &name) const { return DAFindField(m_fields, name); }
    int GetRecordCount() const { return int(m_rows.size()); }
    const QList<QVariantList> &Rows() const { return m_rows; }
    QList<QVariantList> TakeRows();

    // Streams the rows instead of keeping them: OpenForStreaming runs the statement (its fields
    // are known after it, its rows are not kept), WriteRows then writes them as the rows of the
    // writer's current table: field i from column columns[i], converted to the field's type, as
    // TDataAbstractService reads them (DAConvertValue).
    void OpenForStreaming();
    void WriteRows(TDADatasetWriter &out, const TDAFieldList &fields, const QList<int> &columns);

    void First() { m_recNo = 0; }
    void Next() { if (m_recNo < m_rows.size()) ++m_recNo; }
    bool Eof() const { return m_recNo >= m_rows.size(); }
    int RecNo() const { return m_recNo; }
    // Value of the named field in the current row (null for SQL NULL); the name matches
    // without regard to case. Throws EDAException for an unknown field or no current row.
    QVariant FieldByName(const QString &name) const;
    QVariant Value(int row, int field) const { return m_rows.at(row).at(field); }

protected:
    virtual int DoExecute() = 0;
    // A statement that returns no rows opens empty, without fields.
    virtual void DoOpen(TDAFieldList &fields, QList<QVariantList> &rows) = 0;
    void SetRowsAffected(int rows) { m_rowsAffected = rows; }
    // Drivers that read their results value by value override the two; by default the rows
    // are read as Open reads them and written from memory.
    virtual void DoOpenForStreaming(TDAFieldList &fields);
    virtual void DoWriteRows(TDADatasetWriter &out, const TDAFieldList &fields, const QList<int> &columns);

private:
    QString m_sql;
    mutable TDASQLParamText m_parsed;
    mutable bool m_parsedValid = false;
    TDAParamCollection m_params;
    TDAFieldList m_fields;
    QList<QVariantList> m_rows;
    int m_recNo = 0;
    int m_rowsAffected = 0;
    bool m_active = false;
};

// A stored procedure called by name with input, output and result parameters.
class DATAACCESS_EXPORT TDAEStoredProcedure
{
public:
    TDAEStoredProcedure() = default;
    virtual ~TDAEStoredProcedure();
    TDAEStoredProcedure(const TDAEStoredProcedure &) = delete;
    TDAEStoredProcedure &operator=(const TDAEStoredProcedure &) = delete;

    QString GetProcedureName() const { return m_name; }
    void SetProcedureName(const QString &name) { m_name = name; }
    TDAParamCollection &GetParams() { return m_params; }
    TDAParam &ParamByName(const QString &name) { return m_params.ParamByName(name); }
    // Replaces the parameters by those the database declares for the procedure.
    virtual void RefreshParams() = 0;
    // Calls the procedure with the input values and reads the output values back.
    virtual int Execute() = 0;

protected:
    TDAParamCollection m_params;

private:
    QString m_name;
};
