// Small datasets and templates for the engine's tests.
#pragma once

#include "dataaccess/TDADataStreamer.h"
#include "reporting/ReportTemplate.h"

#include <QString>
#include <QStringList>

namespace kestrova::test {

inline TDATableData Table(const QString &name, const QStringList &fields, const QList<QVariantList> &rows)
{
    TDATableData table;
    table.Name = name;
    for (const QString &field : fields) {
        TDAField f;
        f.Name = field;
        table.Fields << f;
    }
    table.Rows = rows;
    return table;
}

// A template of points on Letter with one-inch margins around the given bands.
inline ReportTemplate Template(const QString &bands, const QString &attributes = {})
{
    return ReportTemplate::FromXml(
        QStringLiteral("<report name=\"Test\" title=\"Test report\" unit=\"pt\" margins=\"72\" %1>%2</report>").arg(attributes, bands).toUtf8());
}

} // namespace kestrova::test
