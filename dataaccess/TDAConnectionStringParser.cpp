#include "dataaccess/TDAConnectionStringParser.h"

#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"

namespace {

// Splits "a=1;b='x;y';c=\"q\"\"r\"" into items; values are read as the writers quote them.
QList<QPair<QString, QString>> splitItems(const QString &text)
{
    QList<QPair<QString, QString>> items;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        int eq = i;
        while (eq < n && text[eq] != QLatin1Char('=') && text[eq] != QLatin1Char(';'))
            ++eq;
        const QString name = text.mid(i, eq - i).trimmed();
        if (eq >= n || text[eq] == QLatin1Char(';')) {
            if (!name.isEmpty())
                items.append({name, QString()});
            i = eq + 1;
            continue;
        }
        QString value;
        const int j = int(ReadConnectionStringValue(text, eq + 1, &value));
        items.append({name, value});
        i = j + 1;
    }
    return items;
}

bool is(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

} // namespace

void TDAConnectionStringParser::Parse(const QString &connectionString)
{
    *this = TDAConnectionStringParser();
    const QString text = connectionString.trimmed();
    const int question = int(text.indexOf(QLatin1Char('?')));
    const int firstEq = int(text.indexOf(QLatin1Char('=')));
    QString rest;
    if (question > 0 && (firstEq < 0 || question < firstEq)) {
        m_driverId = text.left(question).trimmed();
        rest = text.mid(question + 1);
    } else if (text.startsWith(QLatin1String("Provider"), Qt::CaseInsensitive) && firstEq > 0
               && is(text.left(firstEq).trimmed(), "Provider")) {
        // A bare provider string, as the scheduler hands to its own connection.
        m_driverId = QStringLiteral("ADO");
        rest = text;
    } else {
        throw EDADriverException(QStringLiteral("Invalid connection string: no driver named in \"%1\"")
                                     .arg(text.left(text.indexOf(QLatin1Char(';')))));
    }
    for (const auto &item : splitItems(rest)) {
        const QString &name = item.first;
        if (is(name, "Server"))
            m_server = item.second;
        else if (is(name, "Database"))
            m_database = item.second;
        else if (is(name, "UserID"))
            m_userId = item.second;
        else if (is(name, "Password"))
            m_password = item.second;
        else if (is(name, "AuxDriver") || (is(name, "Provider") && m_auxDriver.isEmpty()))
            m_auxDriver = item.second;
        else
            m_auxParams.append(item);
    }
}

QString TDAConnectionStringParser::AuxParam(const QString &name) const
{
    for (const auto &p : m_auxParams)
        if (p.first.compare(name, Qt::CaseInsensitive) == 0)
            return p.second;
    return {};
}

bool TDAConnectionStringParser::HasAuxParam(const QString &name) const
{
    for (const auto &p : m_auxParams)
        if (p.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
