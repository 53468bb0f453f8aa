#include "client/uLocaleInfo.h"

#include <algorithm>
#include <climits>
#include <optional>

#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace {

// Qt's date and time formats: the order of day, month and year, as 0 month-day-year,
// 1 day-month-year, 2 year-month-day.
int dateOrder(const QString &format)
{
    const qsizetype day = format.indexOf(QLatin1Char('d'));
    const qsizetype month = format.indexOf(QLatin1Char('M'));
    const qsizetype year = format.indexOf(QLatin1Char('y'));
    if (year >= 0 && year < month && month < day)
        return 2;
    if (day >= 0 && day < month)
        return 1;
    return 0;
}

// The first character between the fields of a format.
QString separator(const QString &format)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && !c.isLetter() && !c.isSpace())
            return QString(c);
    }
    return QString();
}

QString number(int value)
{
    return QString::number(value);
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

// Where the currency symbol stands in an amount, and whether a space parts it from the digits.
struct TCurrencyPlacement
{
    bool Precedes = true;
    bool Separated = false;
};

TCurrencyPlacement currencyPlacement(const QLocale &locale, double amount)
{
    const QString text = locale.toCurrencyString(amount);
    const QString symbol = locale.currencySymbol();
    const qsizetype at = symbol.isEmpty() ? -1 : text.indexOf(symbol);
    const auto digit = std::find_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    const qsizetype firstDigit = digit == text.end() ? -1 : digit - text.begin();
    if (at < 0 || firstDigit < 0)
        return {};
    TCurrencyPlacement placement;
    placement.Precedes = at < firstDigit;
    if (placement.Precedes) {
        const qsizetype after = at + symbol.size();
        placement.Separated = after < text.size() && text.at(after).isSpace();
    } else {
        placement.Separated = at > 0 && text.at(at - 1).isSpace();
    }
    return placement;
}

int currencyCode(const TCurrencyPlacement &placement)
{
    return (placement.Precedes ? 0 : 1) + (placement.Separated ? 2 : 0);
}

// How the locale writes money: from the C library's locale of that name (localeconv) when
// it has one, else from Qt's locale data, which knows no sign positions.
struct TMoney
{
    TCurrencyPlacement Positive;
    TCurrencyPlacement Negative;
    int PosSignPosn = -1; // the C library's p_sign_posn and n_sign_posn, -1 when not known
    int NegSignPosn = -1;
    int Digits = 0;
    int IntlDigits = 0;
    QString Symbol;
    QString IntlSymbol;
    QString DecimalSep;
    QString ThousandSep;
    QString Grouping;
};

// The C library's group sizes ("\3\3", "\3\2") as "3;0" or "3;2;0": the last size repeats
// unless CHAR_MAX ends the list, when no "0" follows.
QString cGrouping(const char *sizes)
{
    QList<int> kept;
    bool repeats = true;
    for (const char *c = sizes; c && *c; ++c) {
        if (*c == CHAR_MAX) {
            repeats = false;
            break;
        }
        kept << int(*c);
    }
    if (kept.isEmpty())
        return QStringLiteral("0");
    if (repeats)
        while (kept.size() > 1 && kept.last() == kept.at(kept.size() - 2))
            kept.removeLast();
    QStringList out;
    for (int size : kept)
        out << QString::number(size);
    if (repeats)
        out << QStringLiteral("0");
    return out.join(QLatin1Char(';'));
}

int cFlag(char value, int unknown = -1)
{
    return value == CHAR_MAX ? unknown : int(value);
}

// The C library's locale of one category: "" is the user's own (LC_ALL, the category's variable,
// LANG); a name is tried with the UTF-8 suffixes first. Null where the C library lacks it.
locale_t cLocale(int mask, const QString &name)
{
    QList<QByteArray> candidates;
    if (name.isEmpty())
        candidates << QByteArray();
    else
        candidates << (name + QStringLiteral(".UTF-8")).toLocal8Bit() << (name + QStringLiteral(".utf8")).toLocal8Bit()
                   << name.toLocal8Bit();
    for (const QByteArray &candidate : candidates)
        if (const locale_t found = newlocale(mask, candidate.constData(), nullptr))
            return found;
    return nullptr;
}

// Windows' number of the first week of the year from the C library's LC_TIME "week" (its third
// part, the days the first week needs): 0 the week of 1 January, 1 the first whole week, 2 the
// first with four days; 0 when the C library lacks the locale.
int firstWeekOfYear(const QString &name)
{
    const locale_t time = cLocale(LC_TIME_MASK, name);
    if (!time)
        return 0;
    const int days = *nl_langinfo_l(_NL_TIME_WEEK_1STWEEK, time);
    freelocale(time);
    return days == 7 ? 1 : days == 4 ? 2 : 0;
}

// The currency format of the C library's locale of that name.
std::optional<TMoney> cMoney(const QString &name)
{
    const locale_t money = cLocale(LC_MONETARY_MASK, name);
    if (!money)
        return std::nullopt;
    const locale_t previous = uselocale(money);
    const lconv *c = localeconv();
    TMoney out;
    out.Positive = {cFlag(c->p_cs_precedes, 1) != 0, cFlag(c->p_sep_by_space, 0) != 0};
    out.Negative = {cFlag(c->n_cs_precedes, 1) != 0, cFlag(c->n_sep_by_space, 0) != 0};
    out.PosSignPosn = cFlag(c->p_sign_posn);
    out.NegSignPosn = cFlag(c->n_sign_posn);
    out.Digits = cFlag(c->frac_digits, 0);
    out.IntlDigits = cFlag(c->int_frac_digits, 0);
    out.Symbol = QString::fromUtf8(c->currency_symbol);
    out.IntlSymbol = QString::fromUtf8(c->int_curr_symbol).trimmed();
    out.DecimalSep = QString::fromUtf8(c->mon_decimal_point);
    out.ThousandSep = QString::fromUtf8(c->mon_thousands_sep);
    out.Grouping = cGrouping(c->mon_grouping);
    uselocale(previous);
    freelocale(money);
    return out;
}

// The negative amount's form as Windows numbers its sixteen ("-$1.1" is 1, "-1.1 $" is 8), the
// nearest for a form it lacks; -1 when the sign's place is not known.
int negativeCurrency(const TMoney &money)
{
    if (money.NegSignPosn < 0)
        return -1;
    static const int before[2][5] = {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}};  // symbol first: unparted, parted
    static const int after[2][5] = {{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}};   // symbol last
    const int posn = std::min(money.NegSignPosn, 4);
    return (money.Negative.Precedes ? before : after)[money.Negative.Separated ? 1 : 0][posn];
}

// A value the locale does not give is left empty.
QString known(int value)
{
    return value < 0 ? QString() : number(value);
}

// The values that a user's own settings may change, read from locale under the prefix.
void addOverridable(TQorCrashHandler::Properties &properties, const QString &prefix, const QLocale &locale, const TMoney &money)
{
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const QString longDate = locale.dateFormat(QLocale::LongFormat);
    const QString time = locale.timeFormat(QLocale::LongFormat);
    const TCurrencyPlacement positive = money.Positive;
    const TCurrencyPlacement negative = money.Negative;
    const QString trimmedTime = time.trimmed();
    properties << std::pair{prefix + QStringLiteral("ICurrency"), number(currencyCode(positive))}
               << std::pair{prefix + QStringLiteral("IDate"), number(dateOrder(shortDate))}
               << std::pair{prefix + QStringLiteral("ILDate"), number(dateOrder(longDate))}
               << std::pair{prefix + QStringLiteral("INegCurr"), known(negativeCurrency(money))}
               << std::pair{prefix + QStringLiteral("INegSepBySpace"), flag(negative.Separated)}
               << std::pair{prefix + QStringLiteral("INegSignPosN"), known(money.NegSignPosn)}
               << std::pair{prefix + QStringLiteral("INegSymPrecedes"), flag(negative.Precedes)}
               // The user's value is spelt so in every report, the locale's own without the extra s.
               << std::pair{prefix + (prefix.isEmpty() ? QStringLiteral("IPossSepBySpace") : QStringLiteral("IPosSepBySpace")),
                            flag(positive.Separated)}
               << std::pair{prefix + QStringLiteral("IPosSignPosN"), known(money.PosSignPosn)}
               << std::pair{prefix + QStringLiteral("IPosSymPrecedes"), flag(positive.Precedes)}
               << std::pair{prefix + QStringLiteral("ITime"), flag(!time.contains(QLatin1Char('a'), Qt::CaseInsensitive))}
               << std::pair{prefix + QStringLiteral("ITlZero"), flag(trimmedTime.startsWith(QStringLiteral("hh"), Qt::CaseInsensitive))}
               << std::pair{prefix + QStringLiteral("SDate"), separator(shortDate)}
               << std::pair{prefix + QStringLiteral("SLongDate"), longDate}
               << std::pair{prefix + QStringLiteral("SShortDate"), shortDate}
               << std::pair{prefix + QStringLiteral("STime"), separator(time)}
               << std::pair{prefix + QStringLiteral("STimeFormat"), time};
}

// The sizes of the digit groups of a number as the locale writes it, from the right: "3;0" for
// groups of three throughout (the last size repeats), "3;2;0" for three and then two; "0" for none.
QString grouping(const QLocale &locale, const QString &written)
{
    const QString separator = locale.groupSeparator();
    QString kept;
    for (const QChar c : written)
        if (c.isDigit() || separator.contains(c))
            kept += c;
    if (separator.isEmpty() || !kept.contains(separator))
        return QStringLiteral("0");
    QList<int> sizes;
    const QStringList parts = kept.split(separator);
    for (qsizetype i = parts.size() - 1; i > 0; --i)
        sizes << int(parts[i].size());
    QStringList out;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        out << QString::number(sizes[i]);
        if (std::all_of(sizes.begin() + i, sizes.end(), [&](int size) { return size == sizes[i]; }))
            break;
    }
    out << QStringLiteral("0");
    return out.join(QLatin1Char(';'));
}

// Where a negative number's sign stands: 0 in parentheses, 1 before, 2 before with a space,
// 3 after, 4 after with a space.
int negativeNumber(const QLocale &locale)
{
    const QString text = locale.toString(-1.1, 'f', 1);
    const QString sign = locale.negativeSign();
    if (text.startsWith(QLatin1Char('(')))
        return 0;
    if (text.startsWith(sign))
        return text.mid(sign.size()).startsWith(QLatin1Char(' ')) ? 2 : 1;
    if (text.endsWith(sign))
        return text.chopped(sign.size()).endsWith(QLatin1Char(' ')) ? 4 : 3;
    return 1;
}

// The digits after the decimal point of an amount of money.
int currencyDigits(const QLocale &locale)
{
    const QString text = locale.toCurrencyString(1.0);
    const qsizetype point = text.indexOf(locale.decimalPoint());
    if (point < 0)
        return 0;
    int digits = 0;
    for (qsizetype i = point + locale.decimalPoint().size(); i < text.size() && text.at(i).isDigit(); ++i)
        ++digits;
    return digits;
}

TMoney qtMoney(const QLocale &locale)
{
    TMoney money;
    money.Positive = currencyPlacement(locale, 1.0);
    money.Negative = currencyPlacement(locale, -1.0);
    money.Digits = money.IntlDigits = currencyDigits(locale);
    money.Symbol = locale.currencySymbol();
    money.IntlSymbol = locale.currencySymbol(QLocale::CurrencyIsoCode);
    money.DecimalSep = locale.decimalPoint();
    money.ThousandSep = locale.groupSeparator();
    money.Grouping = grouping(locale, locale.toCurrencyString(qlonglong(1234567890)));
    return money;
}

// The code page of the character set the C library works in, as Windows numbers them.
int codePage()
{
    const QByteArray set = QByteArray(nl_langinfo(CODESET)).toUpper();
    if (set == "UTF-8" || set == "UTF8")
        return 65001;
    if (set == "ISO-8859-1")
        return 28591;
    if (set == "ANSI_X3.4-1968" || set == "ASCII")
        return 20127;
    return 0;
}

QString systemDefaultLocale()
{
    const QByteArray lang = qgetenv("LANG");
    return lang.isEmpty() ? QLocale::c().name() : QLocale(QString::fromLocal8Bit(lang)).name();
}

} // namespace

TLocaleInfo::TLocaleInfo() : m_locale(QLocale::system().name())
{
    Read();
}

void TLocaleInfo::SetLocale(const QString &name)
{
    if (name == m_locale)
        return;
    m_locale = name;
    Read();
}

QString TLocaleInfo::Value(const QString &name) const
{
    for (const auto &[key, value] : m_properties)
        if (key == name)
            return value;
    return QString();
}

void TLocaleInfo::Read()
{
    ++m_reads;
    // The user's locale with their own settings; any other as it comes.
    const QLocale own(m_locale);
    const QLocale locale = m_locale == QLocale::system().name() ? QLocale::system() : own;
    TQorCrashHandler::Properties properties;
    for (int day = 1; day <= 7; ++day)
        properties << std::pair{QStringLiteral("AbbrDayNames.SName%1").arg(day), locale.dayName(day, QLocale::ShortFormat)};
    for (int day = 1; day <= 7; ++day)
        properties << std::pair{QStringLiteral("DayNames.SName%1").arg(day), locale.dayName(day, QLocale::LongFormat)};
    // A thirteenth month only calendars with one have.
    for (int month = 1; month <= 13; ++month)
        properties << std::pair{QStringLiteral("AbbrMonthNames.SName%1").arg(month, 2, 10, QLatin1Char('0')),
                                month <= 12 ? locale.monthName(month, QLocale::ShortFormat) : QString()};
    for (int month = 1; month <= 13; ++month)
        properties << std::pair{QStringLiteral("MonthNames.SName%1").arg(month, 2, 10, QLatin1Char('0')),
                                month <= 12 ? locale.monthName(month, QLocale::LongFormat) : QString()};

    const bool users = m_locale == QLocale::system().name();
    const TMoney money = cMoney(users ? QString() : m_locale).value_or(qtMoney(locale));
    const TMoney ownMoney = users ? cMoney(m_locale).value_or(qtMoney(own)) : money;
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    QString digits;
    for (int digit = 0; digit <= 9; ++digit)
        digits += locale.toString(digit);
    TQorCrashHandler::Properties values{
        {QStringLiteral("ICalendarType"), QStringLiteral("1")},
        {QStringLiteral("ICentury"), flag(shortDate.contains(QStringLiteral("yyyy")))},
        {QStringLiteral("ICurrDigits"), number(money.Digits)},
        {QStringLiteral("IDefaultAnsiCodePage"), number(codePage())},
        {QStringLiteral("IDefaultCodePage"), number(codePage())},
        {QStringLiteral("IIntlCurrDigits"), number(money.IntlDigits)},
        {QStringLiteral("INegNumber"), number(negativeNumber(locale))},
        {QStringLiteral("SGrouping"), grouping(locale, locale.toString(qlonglong(1234567890)))},
        {QStringLiteral("SMonGrouping"), money.Grouping},
        {QStringLiteral("IDayLZero"), flag(shortDate.contains(QStringLiteral("dd")))},
        {QStringLiteral("IFirstDayOfWeek"), number(int(locale.firstDayOfWeek()) - 1)},
        {QStringLiteral("IFirstWeekOfYear"), number(firstWeekOfYear(users ? QString() : m_locale))},
        {QStringLiteral("ILZero"), flag(locale.toString(0.5).startsWith(locale.zeroDigit()))},
        {QStringLiteral("IMeasure"), flag(locale.measurementSystem() != QLocale::MetricSystem)},
        {QStringLiteral("IMonLZero"), flag(shortDate.contains(QStringLiteral("MM")))},
        {QStringLiteral("Locale"), m_locale},
        {QStringLiteral("S1159"), locale.amText()},
        {QStringLiteral("S2359"), locale.pmText()},
        {QStringLiteral("SAbbrCtryName"), QLocale::territoryToCode(locale.territory())},
        {QStringLiteral("SAbbrevLangName"), QLocale::languageToCode(locale.language())},
        {QStringLiteral("SCountry"), locale.nativeTerritoryName()},
        {QStringLiteral("SCurreny"), money.Symbol},
        {QStringLiteral("SDecimal"), locale.decimalPoint()},
        {QStringLiteral("SEngCountry"), QLocale::territoryToString(locale.territory())},
        {QStringLiteral("SEngLanguage"), QLocale::languageToString(locale.language())},
        {QStringLiteral("SIntlSymbol"), money.IntlSymbol},
        {QStringLiteral("SLanguage"), locale.nativeLanguageName()},
        {QStringLiteral("SMonDecimalSep"), money.DecimalSep},
        {QStringLiteral("SMonThousandSep"), money.ThousandSep},
        {QStringLiteral("SNativeCtryName"), locale.nativeTerritoryName()},
        {QStringLiteral("SNativeDigits"), digits},
        {QStringLiteral("SNativeLangName"), locale.nativeLanguageName()},
        {QStringLiteral("SNegativeSign"), locale.negativeSign()},
        {QStringLiteral("SPositiveSign"), locale.positiveSign()},
        {QStringLiteral("SThousand"), locale.groupSeparator()},
        {QStringLiteral("SystemLocale"), systemDefaultLocale()},
        {QStringLiteral("SystemLocaleConstant"), number(SystemLocaleConstant)},
        {QStringLiteral("UserLocale"), QLocale::system().name()},
        {QStringLiteral("UserLocaleConstant"), number(UserLocaleConstant)},
    };
    addOverridable(values, QString(), locale, money);
    addOverridable(values, QStringLiteral("NUO_"), own, ownMoney);
    // After the names of days and months, the values in the order of their names.
    std::stable_sort(values.begin(), values.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first, Qt::CaseInsensitive) < 0; });
    properties << values;
    m_properties = properties;
}

void TLocaleInfo::RegisterSection()
{
    TQorCrashHandler::RegisterSection(SectionName, SectionDescription,
                                      [] { return TQorCrashHandler::NameValueText(TLocaleInfo().Properties()); });
}

void TLocaleInfo::UnregisterSection()
{
    TQorCrashHandler::UnregisterSection(SectionName);
}
