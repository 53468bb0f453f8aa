#include "plugins/contacts/uNameExtractor.h"

#include <algorithm>

namespace {

bool IsSeparator(QChar c)
{
    return c.unicode() <= 32;
}

bool InList(const QStringList &list, const QString &word)
{
    return list.contains(word, Qt::CaseInsensitive);
}

QString JoinWords(const QStringList &words, qsizetype from, qsizetype to)
{
    QStringList part;
    for (qsizetype i = from; i < to; ++i)
        part << words[i];
    return part.join(QLatin1Char(' '));
}

} // namespace

QStringList ReadCommaText(const QString &text)
{
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && (text[i] == QLatin1Char(',') || IsSeparator(text[i])))
            ++i;
        if (i >= n)
            break;
        QString item;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && text[i] != QLatin1Char(',') && !IsSeparator(text[i]))
                item += text[i++];
        }
        if (!item.isEmpty())
            items << item;
    }
    return items;
}

void TNameExtractor::SetTitleList(const QString &commaText)
{
    m_titleList = commaText;
    m_titles = ReadCommaText(commaText);
}

void TNameExtractor::SetSuffixLixt(const QString &commaText)
{
    m_suffixList = commaText;
    m_suffixes = ReadCommaText(commaText);
}

void TNameExtractor::SetFullName(const QString &text)
{
    if (text == m_fullName)
        return;
    m_fullName = text;
    Split();
}

void TNameExtractor::JoinParts(const QString &title, const QString &first, const QString &middle, const QString &last,
                               const QString &suffix)
{
    m_title = title;
    m_firstName = first;
    m_middleName = middle;
    m_lastName = last;
    m_suffix = suffix;
    QString full = title;
    for (const QString &part : {first, middle, last, suffix})
        if (!part.isEmpty())
            full += QLatin1Char(' ') + part;
    m_fullName = full;
    m_complete = true;
}

void TNameExtractor::Split()
{
    m_title.clear();
    m_firstName.clear();
    m_middleName.clear();
    m_lastName.clear();
    m_suffix.clear();
    m_words.clear();

    // QString steps by UTF-16 unit; characters outside the basic plane are two units above 32
    // and so always stay whole inside a word.
    QString word;
    for (const QChar c : m_fullName) {
        if (IsSeparator(c)) {
            if (!word.isEmpty())
                m_words << word;
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.isEmpty())
        m_words << word;
    if (m_words.isEmpty())
        return;
    m_complete = true;

    const qsizetype n = m_words.size();
    // Trailing words with a period, everything after the first word with a comma, and
    // trailing recognised suffixes all belong to the suffix.
    qsizetype periods = n;
    for (qsizetype i = n - 1; i >= 0 && m_words[i].contains(QLatin1Char('.')); --i)
        periods = i;
    qsizetype comma = n;
    for (qsizetype i = n - 1; i >= 0; --i)
        if (m_words[i].contains(QLatin1Char(',')))
            comma = i + 1;
    qsizetype listed = n;
    for (qsizetype i = n - 1; i >= 0 && InList(m_suffixes, m_words[i]); --i)
        listed = i;
    const qsizetype start = std::min({periods, comma, listed});
    const qsizetype suffixStart = start == n ? -1 : start;
    if (suffixStart >= 0)
        m_suffix = JoinWords(m_words, suffixStart, n);

    const qsizetype last = suffixStart < 0 ? n - 1 : std::max<qsizetype>(suffixStart - 1, 0);
    m_lastName = m_words[last];
    if (m_lastName.endsWith(QLatin1Char(',')))
        m_lastName.chop(1);

    qsizetype title = -1;
    if (last != 0 && InList(m_titles, m_words[0])) {
        m_title = m_words[0];
        title = 0;
    }
    qsizetype first = -1;
    if (title + 1 < last) {
        first = title + 1;
        m_firstName = m_words[first];
    }
    m_middleName = JoinWords(m_words, std::max(first, title) + 1, last);
    m_complete = first >= 0;
}
