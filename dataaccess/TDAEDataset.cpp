#include "dataaccess/TDAEDataset.h"

#include "dataaccess/DAException.h"
#include "dataaccess/DASQLParams.h"

TDAEDataset::~TDAEDataset() = default;
TDAEStoredProcedure::~TDAEStoredProcedure() = default;

void TDAEDataset::SetSQL(const QString &sql)
{
    Close();
    m_sql = sql;
    RefreshParams();
}

void TDAEDataset::RefreshParams()
{
    TDAParamCollection fresh;
    for (const QString &name : DAParseSQLParams(m_sql).Names) {
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
