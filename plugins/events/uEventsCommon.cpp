#include "plugins/events/uEventsCommon.h"

QList<TvoMinutes> DurationEntries(const QString &minuteWord, const QString &hourWord, const QLocale &locale)
{
    QList<TvoMinutes> entries;
    for (int m = 5; m <= 720; ++m) {
        QString number;
        QString word;
        if (m < 30 && m % 5 == 0) {
            number = QString::number(m);
            word = minuteWord;
        } else if (m >= 30 && m < 60 && m % 15 == 0) {
            number = QString::number(m);
            word = QStringLiteral("minutes");
        } else if (m >= 60 && m % 60 == 0) {
            number = QString::number(m / 60);
            word = hourWord;
        } else if (m >= 60 && m % 30 == 0) {
            number = locale.toString(m / 60.0, 'f', 1);
            word = hourWord;
        } else {
            continue;
        }
        entries << TvoMinutes{number + QLatin1Char(' ') + word, m};
    }
    return entries;
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

int DurationIndexOfText(const QList<TvoMinutes> &entries, const QString &text, const QString &hourWord, const QLocale &locale)
{
    const QString typed = text.simplified();
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].Text.compare(typed, Qt::CaseInsensitive) == 0)
            return i;
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
        return -1;
    const bool hours = !word.isEmpty() && (hourWord.startsWith(word, Qt::CaseInsensitive) || word.compare(QStringLiteral("h"), Qt::CaseInsensitive) == 0);
    const double minutes = hours ? amount * 60 : amount;
    if (!hours && !word.isEmpty() && !word.startsWith(QStringLiteral("m"), Qt::CaseInsensitive))
        return -1;
    if (minutes != double(int(minutes)))
        return -1;
    return DurationIndex(entries, int(minutes));
}
