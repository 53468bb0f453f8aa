// Key lists that clients send one key a line, as the services read them.
#pragma once

#include <QString>
#include <QStringList>

// One key a line; blank lines and the CR of CR LF texts are dropped.
inline QStringList KeyLines(const QString &text)
{
    QStringList result;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString key = line.trimmed();
        if (!key.isEmpty())
            result << key;
    }
    return result;
}
