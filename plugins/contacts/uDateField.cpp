#include "plugins/contacts/uDateField.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QScopeGuard>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolButton>

TDateField::TDateField(QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this)), m_calendar(new QCalendarWidget(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    m_button->setArrowType(Qt::DownArrow);
    m_button->setObjectName(QStringLiteral("btnDatePopup"));
    m_edit->setPlaceholderText(DisplayFormat(QLocale()).toUpper());
    m_calendar->setWindowFlags(Qt::Popup);
    m_calendar->setObjectName(QStringLiteral("calDatePopup"));
    m_calendar->hide();
    connect(m_edit, &QLineEdit::editingFinished, this, [this] { Commit(); });
    connect(m_button, &QToolButton::clicked, this, [this] { OpenCalendar(); });
    connect(m_calendar, &QCalendarWidget::clicked, this, [this](const QDate &date) {
        m_calendar->hide();
        m_edit->setText(QLocale().toString(date, DisplayFormat(QLocale())));
        Commit();
    });
    connect(m_calendar, &QCalendarWidget::activated, m_calendar, &QCalendarWidget::clicked);
}

QString TDateField::DisplayFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

namespace {

// Where the year stands among the numbers a format reads ("M/d/yy": the third); -1 for none.
int YearNumberIn(const QString &format)
{
    int number = 0;
    bool quoted = false;
    for (int i = 0; i < format.size();) {
        const QChar letter = format[i];
        int run = 1;
        while (i + run < format.size() && format[i + run] == letter)
            ++run;
        if (letter == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && letter == QLatin1Char('y'))
            return number;
        else if (!quoted && (letter == QLatin1Char('d') || letter == QLatin1Char('M')) && run <= 2)
            ++number;
        i += run;
    }
    return -1;
}

// A two-digit year is the latest year with those digits that gives no date to come: "05" is
// 2005, "99" 1999. The century is written in before reading, so 29 February 2000 is a day.
std::optional<QDate> ReadTwoDigitYear(const QString &typed, const QString &format, const QLocale &reading, const QDate &today)
{
    const int yearNumber = YearNumberIn(format);
    if (yearNumber < 0)
        return std::nullopt;
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    auto numbers = digits.globalMatch(typed);
    for (int n = 0; n < yearNumber && numbers.hasNext(); ++n)
        numbers.next();
    if (!numbers.hasNext())
        return std::nullopt;
    const QRegularExpressionMatch year = numbers.next();
    if (year.capturedLength() != 2)
        return std::nullopt;
    QString fullFormat = format;
    fullFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    const int century = today.year() / 100;
    for (int hundreds : {century, century - 1}) {
        QString text = typed;
        text.insert(year.capturedStart(), QString::number(hundreds));
        const QDate date = reading.toDate(text, fullFormat);
        if (date.isValid() && date <= today)
            return date;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDate> TDateField::Parse(const QString &text, const QLocale &locale, bool *ok, const QDate &today)
{
    const QString typed = text.simplified();
    *ok = true;
    if (typed.isEmpty())
        return std::nullopt;
    QStringList formats = {DisplayFormat(locale), QStringLiteral("yyyy-MM-dd"), locale.dateFormat(QLocale::LongFormat),
                           QStringLiteral("d MMM yyyy"), QStringLiteral("d MMMM yyyy"), QStringLiteral("MMM d yyyy"),
                           QStringLiteral("MMMM d yyyy"), QStringLiteral("MMM d, yyyy"), QStringLiteral("MMMM d, yyyy")};
    // Each again with two digits for the year, after every four-digit reading.
    for (qsizetype i = 0, count = formats.size(); i < count; ++i)
        if (formats[i].contains(QLatin1String("yyyy")))
            formats << QString(formats[i]).replace(QLatin1String("yyyy"), QLatin1String("yy"));
    for (const QString &format : formats) {
        for (const QLocale &reading : {locale, QLocale::c()}) {
            const bool twoDigits = !format.contains(QLatin1String("yyyy")) && format.contains(QLatin1String("yy"));
            const std::optional<QDate> date =
                twoDigits ? ReadTwoDigitYear(typed, format, reading, today) : std::optional<QDate>(reading.toDate(typed, format));
            if (date && date->isValid())
                return date;
        }
    }
    *ok = false;
    return std::nullopt;
}

void TDateField::SetDate(const std::optional<QDate> &date)
{
    m_date = date;
    m_edit->setText(date ? QLocale().toString(*date, DisplayFormat(QLocale())) : QString());
}

void TDateField::OpenCalendar()
{
    bool ok = false;
    const std::optional<QDate> typed = Parse(m_edit->text(), QLocale(), &ok);
    m_calendar->setSelectedDate(typed ? *typed : QDate::currentDate());
    m_calendar->adjustSize();
    m_calendar->move(m_edit->mapToGlobal(QPoint(0, m_edit->height())));
    m_calendar->show();
    m_calendar->setFocus();
}

bool TDateField::Commit()
{
    // The refusal's message takes the focus, which ends the editing a second time.
    if (m_committing)
        return false;
    m_committing = true;
    const auto done = qScopeGuard([this] { m_committing = false; });
    bool ok = false;
    const std::optional<QDate> date = Parse(m_edit->text(), QLocale(), &ok);
    if (!ok) {
        // The text stays as typed; the stored date is left as it was.
        if (Refused)
            Refused(m_edit->text());
        return false;
    }
    if (date == m_date)
        return true;
    m_date = date;
    m_edit->setText(date ? QLocale().toString(*date, DisplayFormat(QLocale())) : QString());
    if (Changed)
        Changed(m_date);
    return true;
}
