#include "plugins/contacts/uNameExtractor.h"

#include "foundation/uCommon.h"

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

// One trailing comma goes.
QString WithoutComma(QString word)
{
    if (word.endsWith(QLatin1Char(',')))
        word.chop(1);
    return word;
}

} // namespace

QStringList ReadCommaText(const QString &text)
{
    // The title list's empty entries ("", a doubled comma) name no title.
    QStringList items = SplitCommaText(text);
    items.removeAll(QString());
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
    qsizetype commaWord = -1;
    for (qsizetype i = 0; i < n && commaWord < 0; ++i)
        if (m_words[i].contains(QLatin1Char(',')))
            commaWord = i;
    // "Smith, John", "Van Buren, Martin": the words before the comma are the last name. Only a
    // suffix after the comma ("John Smith, MD", "Smith, Esq.") makes the comma end the name.
    if (commaWord >= 0 && commaWord + 1 < n && !IsSuffix(commaWord + 1))
        SplitLastNameFirst(commaWord);
    else
        SplitFirstNameFirst();
}

bool TNameExtractor::IsSuffix(qsizetype word) const
{
    const QString text = WithoutComma(m_words[word]);
    if (InList(m_suffixes, text))
        return true;
    if (TitleWords(word, m_words.size()) > 0 || text.size() > 5)
        return false;
    // Short and in capitals ("MD", "RN") or with a final stop ("Esq.", "Ph.D.").
    const bool capitals = text.size() > 1 && text == text.toUpper() && text != text.toLower();
    return capitals || text.endsWith(QLatin1Char('.'));
}

qsizetype TNameExtractor::TitleWords(qsizetype from, qsizetype to) const
{
    // The longest run of words that the title list holds as one entry ("Rev. Fr.").
    for (qsizetype k = to - from; k > 0; --k)
        if (InList(m_titles, JoinWords(m_words, from, from + k)))
            return k;
    return 0;
}

void TNameExtractor::SplitLastNameFirst(qsizetype commaWord)
{
    const qsizetype n = m_words.size();
    m_lastName = WithoutComma(JoinWords(m_words, 0, commaWord + 1));
    // What a second comma leaves behind, or the listed suffixes at the end, is the suffix.
    qsizetype end = n;
    for (qsizetype i = commaWord + 1; i < n && end == n; ++i)
        if (m_words[i].contains(QLatin1Char(',')))
            end = i + 1;
    if (end == n)
        while (end - 1 > commaWord + 1 && InList(m_suffixes, m_words[end - 1]))
            --end;
    m_suffix = JoinWords(m_words, end, n);
    QStringList given = m_words.mid(commaWord + 1, end - commaWord - 1);
    given.last() = WithoutComma(given.last());
    // A title may open the given names ("Smith, Rev. Fr. John"), one name is left after it.
    const qsizetype titleWords = TitleWords(commaWord + 1, end - 1);
    m_title = given.mid(0, titleWords).join(QLatin1Char(' '));
    m_firstName = given[titleWords];
    m_middleName = given.mid(titleWords + 1).join(QLatin1Char(' '));
    m_complete = true;
}

void TNameExtractor::SplitFirstNameFirst()
{
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
    m_lastName = WithoutComma(m_words[last]);

    qsizetype title = -1;
    if (const qsizetype words = last != 0 ? TitleWords(0, last) : 0; words > 0) {
        m_title = JoinWords(m_words, 0, words);
        title = words - 1;
    }
    qsizetype first = -1;
    if (title + 1 < last) {
        first = title + 1;
        m_firstName = m_words[first];
    }
    m_middleName = JoinWords(m_words, std::max(first, title) + 1, last);
    m_complete = first >= 0;
}
