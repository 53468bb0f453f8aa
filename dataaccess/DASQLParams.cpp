#include "dataaccess/DASQLParams.h"

#include <QHash>

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Length of the dollar-quote tag starting at i ("$tag$" or "$$"), 0 when there is none.
int dollarTagLength(const QString &s, int i)
{
    if (i > 0 && isNameChar(s[i - 1]))
        return 0; // part of a name such as a$b, not a quote
    int j = i + 1;
    if (j < s.size() && s[j] == QLatin1Char('$'))
        return 2;
    if (j >= s.size() || !isNameStart(s[j]))
        return 0;
    while (j < s.size() && isNameChar(s[j]))
        ++j;
    if (j < s.size() && s[j] == QLatin1Char('$'))
        return j - i + 1;
    return 0;
}

} // namespace

TDASQLParamText DAParseSQLParams(const QString &sql)
{
    TDASQLParamText out;
    out.SQL.reserve(sql.size());
    const int n = int(sql.size());
    int i = 0;
    bool afterSemicolon = false;
    QHash<QString, int> numbers; // case-folded name: its "$n"
    while (i < n) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        const bool comment = (c == QLatin1Char('-') && next == QLatin1Char('-')) || (c == QLatin1Char('/') && next == QLatin1Char('*'));
        if (c == QLatin1Char(';'))
            afterSemicolon = true;
        else if (afterSemicolon && !comment && !c.isSpace())
            out.SingleStatement = false;
        int end = i + 1;
        if (c == QLatin1Char('\'')) {
            // E'...' strings let a backslash escape the quote.
            const bool escapes = i > 0 && (sql[i - 1] == QLatin1Char('E') || sql[i - 1] == QLatin1Char('e'))
                                 && (i < 2 || !isNameChar(sql[i - 2]));
            while (end < n) {
                if (escapes && sql[end] == QLatin1Char('\\')) {
                    end += 2;
                    continue;
                }
                if (sql[end] == QLatin1Char('\'')) {
                    if (end + 1 < n && sql[end + 1] == QLatin1Char('\'')) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
        } else if (c == QLatin1Char('"')) {
            while (end < n && sql[end] != QLatin1Char('"'))
                ++end;
            end = qMin(end + 1, n);
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            while (end < n && sql[end] != QLatin1Char('\n'))
                ++end;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            int depth = 1; // PostgreSQL block comments nest
            end = i + 2;
            while (end < n && depth > 0) {
                if (sql[end] == QLatin1Char('/') && end + 1 < n && sql[end + 1] == QLatin1Char('*')) {
                    ++depth;
                    end += 2;
                } else if (sql[end] == QLatin1Char('*') && end + 1 < n && sql[end + 1] == QLatin1Char('/')) {
                    --depth;
                    end += 2;
                } else {
                    ++end;
                }
            }
        } else if (c == QLatin1Char('$')) {
            const int tag = dollarTagLength(sql, i);
            if (tag > 0) {
                const QString tagText = sql.mid(i, tag);
                const int close = int(sql.indexOf(tagText, i + tag));
                end = close < 0 ? n : close + tag;
            }
        } else if (c == QLatin1Char(':')) {
            if (next == QLatin1Char(':') || next == QLatin1Char('=')) {
                end = i + 2;
            } else if (isNameStart(next) && !(i > 0 && sql[i - 1] == QLatin1Char(':'))) {
                int j = i + 1;
                while (j < n && isNameChar(sql[j]))
                    ++j;
                const QString name = sql.mid(i + 1, j - i - 1);
                const QString key = name.toCaseFolded();
                auto known = numbers.constFind(key);
                if (known == numbers.cend()) {
                    out.Names.append(name);
                    known = numbers.insert(key, int(out.Names.size()));
                }
                out.SQL += QLatin1Char('$') + QString::number(known.value());
                i = j;
                continue;
            }
        }
        out.SQL += QStringView(sql).mid(i, end - i);
        i = end;
    }
    return out;
}
