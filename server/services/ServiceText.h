// Key lists that clients send one key a line, as the services read them.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// One key a line, at CR, LF or CR LF; blank lines name nothing.
inline QStringList KeyLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList result;
    for (const QString &line : text.split(breaks)) {
        const QString key = line.trimmed();
        if (!key.isEmpty())
            result << key;
    }
    return result;
}
