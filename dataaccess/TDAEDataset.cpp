#include "dataaccess/TDAEDataset.h"

#include "dataaccess/DAException.h"
#include "dataaccess/DASQLParams.h"
#include "dataaccess/TDADataStreamer.h"

TDAEDataset::~TDAEDataset() = default;
TDAEStoredProcedure::~TDAEStoredProcedure() = default;

void TDAEDataset::SetSQL(const QString &sql)
{
    Close();
    m_sql = sql;
    m_parsedValid = false;
    RefreshParams();
}

const TDASQLParamText &TDAEDataset::ParsedSQL() const
{
    if (!m_parsedValid) {
        m_parsed = DAParseSQLParams(m_sql);
        m_parsedValid = true;
    }
    return m_parsed;
}

void TDAEDataset::RefreshParams()
{
    TDAParamCollection fresh;
    for (const QString &name : ParsedSQL().Names) {
        if (const TDAParam *old = m_params.FindParam(name)) {
            TDAParam &p = fresh.Add(name);
            p = *old;
        } else {
            fresh.Add(name);
        }
    }
    m_params = fresh;
}

int TDAEDataset::Execute()
{
    m_rowsAffected = DoExecute();
    return m_rowsAffected;
}

void TDAEDataset::Open()
{
    Close();
    DoOpen(m_fields, m_rows);
    m_recNo = 0;
    m_active = true;
}

void TDAEDataset::Close()
{
    m_fields.clear();
    m_rows.clear();
    m_recNo = 0;
    m_active = false;
}

QList<QVariantList> TDAEDataset::TakeRows()
{
    QList<QVariantList> rows;
    rows.swap(m_rows);
    m_recNo = 0;
    return rows;
}

QVariant TDAEDataset::FieldByName(const QString &name) const
{
    const int index = FieldIndex(name);
    if (index < 0)
        throw EDAException(QStringLiteral("Field \"%1\" not found").arg(name));
    if (Eof())
        throw EDAException(QStringLiteral("No current record to read \"%1\" from").arg(name));
    return m_rows.at(m_recNo).at(index);
}

void TDAEDataset::OpenForStreaming()
{
    Close();
    DoOpenForStreaming(m_fields);
    m_active = true;
}

void TDAEDataset::WriteRows(TDADatasetWriter &out, const TDAFieldList &fields, const QList<int> &columns)
{
    if (!m_active)
        throw EDAException(QStringLiteral("The statement is not open"));
    DoWriteRows(out, fields, columns);
    Close();
}

void TDAEDataset::DoOpenForStreaming(TDAFieldList &fields)
{
    DoOpen(fields, m_rows);
}

void TDAEDataset::DoWriteRows(TDADatasetWriter &out, const TDAFieldList &fields, const QList<int> &columns)
{
    QList<bool> nulls(fields.size());
    QVariantList values(fields.size());
    for (const QVariantList &row : m_rows) {
        for (int i = 0; i < fields.size(); ++i) {
            const QVariant &v = row.at(columns[i]);
            nulls[i] = DAIsNull(v);
            values[i] = nulls[i] ? QVariant() : DAConvertValue(v, fields[i].DataType);
        }
        out.BeginRow(nulls.constData());
        for (int i = 0; i < fields.size(); ++i)
            if (!nulls[i])
                out.PutValue(values[i]);
    }
}
