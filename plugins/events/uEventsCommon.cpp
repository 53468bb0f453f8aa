#include "plugins/events/uEventsCommon.h"

QList<TvoMinutes> DurationEntries(const QString &minuteWord, const QString &hourWord, const QString &oneHourWord,
                                  const QLocale &locale)
{
    QList<TvoMinutes> entries;
    for (int m = 5; m <= 720; ++m) {
        if (m < 30 && m % 5 == 0)
            entries << TvoMinutes{QString::number(m) + QLatin1Char(' ') + minuteWord, m};
        else if (m >= 30 && m < 60 && m % 15 == 0)
            entries << TvoMinutes{QString::number(m) + QStringLiteral(" minutes"), m};
        else if (m >= 60 && m % 30 == 0)
            entries << DurationEntry(m, minuteWord, hourWord, oneHourWord, locale);
    }
    return entries;
}

TvoMinutes DurationEntry(int minutes, const QString &minuteWord, const QString &hourWord, const QString &oneHourWord,
                         const QLocale &locale)
{
    QString text;
    if (minutes == 60)
        text = QStringLiteral("1 ") + oneHourWord;
    else if (minutes > 60 && minutes % 60 == 0)
        text = QString::number(minutes / 60) + QLatin1Char(' ') + hourWord;
    else if (minutes > 60 && minutes % 30 == 0)
        text = locale.toString(minutes / 60.0, 'f', 1) + QLatin1Char(' ') + hourWord;
    else
        text = QString::number(minutes) + QLatin1Char(' ') + minuteWord;
    return TvoMinutes{text, minutes};
}

int DurationIndex(const QList<TvoMinutes> &entries, int minutes)
{
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].Minutes == minutes)
            return i;
    return -1;
}

int FindTemplateIndex(const QList<TvoLiturgyTemplateData> &items, const QString &id)
{
    for (int i = 0; i < items.size(); ++i)
        if (items[i].ID.compare(id, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString SearchMemberName(const TSearchObject &hit, const QString &listText)
{
    if (!hit.Text1.isEmpty())
        return hit.Text1;
    const QString full = (hit.Text2 + QLatin1Char(' ') + hit.Text3).trimmed();
    if (!full.isEmpty())
        return full;
    return listText;
}

int DurationMinutesOfText(const QList<TvoMinutes> &entries, const QString &text, const QString &hourWord, const QLocale &locale)
{
    const QString typed = text.simplified();
    for (const TvoMinutes &entry : entries)
        if (entry.Text.compare(typed, Qt::CaseInsensitive) == 0)
            return entry.Minutes;
    // A number, then perhaps a word: hours when the word is the hour word or begins it.
    qsizetype split = 0;
    while (split < typed.size() && !typed[split].isSpace() && !typed[split].isLetter())
        ++split;
    const QString word = typed.mid(split).trimmed();
    bool isNumber = false;
    double amount = locale.toDouble(typed.left(split), &isNumber);
    if (!isNumber)
        amount = typed.left(split).toDouble(&isNumber);
    if (!isNumber || amount <= 0)
        return 0;
    const bool hours = !word.isEmpty() && (hourWord.startsWith(word, Qt::CaseInsensitive) || word.compare(QStringLiteral("h"), Qt::CaseInsensitive) == 0);
    const double minutes = hours ? amount * 60 : amount;
    if (!hours && !word.isEmpty() && !word.startsWith(QStringLiteral("m"), Qt::CaseInsensitive))
        return 0;
    if (minutes > kMaxDurationMinutes || minutes != double(int(minutes)))
        return 0;
    return int(minutes);
}
