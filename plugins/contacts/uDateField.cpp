#include "plugins/contacts/uDateField.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QScopeGuard>
#include <QLineEdit>
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

std::optional<QDate> TDateField::Parse(const QString &text, const QLocale &locale, bool *ok)
{
    const QString typed = text.simplified();
    *ok = true;
    if (typed.isEmpty())
        return std::nullopt;
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    const QStringList formats = {DisplayFormat(locale), shortFormat, QStringLiteral("yyyy-MM-dd"), locale.dateFormat(QLocale::LongFormat),
                                 QStringLiteral("d MMM yyyy"), QStringLiteral("d MMMM yyyy"), QStringLiteral("MMM d yyyy"),
                                 QStringLiteral("MMMM d yyyy"), QStringLiteral("MMM d, yyyy"), QStringLiteral("MMMM d, yyyy")};
    for (const QString &format : formats) {
        for (const QLocale &reading : {locale, QLocale::c()}) {
            QDate date = reading.toDate(typed, format);
            if (!date.isValid())
                continue;
            // A two-digit year is a birthday of the last hundred years, never one to come.
            if (!format.contains(QLatin1String("yyyy")) && format.contains(QLatin1String("yy")) && date > QDate::currentDate())
                date = date.addYears(-100);
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
