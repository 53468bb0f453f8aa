// Reads a comma-delimited line the way the client's reader does, independently of the server's
// writer: quoted fields keep commas and blanks, a doubled quote inside them stands for one.
#pragma once

#include <QString>
#include <QStringList>

namespace kestrova::test {

inline QStringList SplitLine(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
            field += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

} // namespace kestrova::test
