#include "plugins/events/uTypedDateTimeEdit.h"

#include "ui/PromptService.h"

#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTimer>

namespace {

// Longer text is no date or time, whatever it holds.
constexpr qsizetype kMaxTyped = 40;

// The order of day, month and year in a date format ("dMy", "Mdy" or "yMd"); empty when the
// format lacks one of them.
QString DateOrder(const QString &format)
{
    QString order;
    for (const QChar c : format)
        if ((c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) && !order.contains(c))
            order += c;
    return order.size() == 3 ? order : QString();
}

bool IsModifierAlone(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

// Says that the text left in the field names nothing; the field has taken back its value.
void Refuse(QWidget *field, const QString &caption, const QString &text)
{
    QTimer::singleShot(0, field, [field, caption, text] {
        // A dialog closed meanwhile has nothing left to correct.
        if (!field->isVisible())
            return;
        ShowMessage(field->window(), QMessageBox::Warning, caption, text);
        field->setFocus();
    });
}

} // namespace

QDate TypedDateTime::ReadDate(const QString &text, const QString &format, const QLocale &locale)
{
    const QString typed = text.simplified();
    if (typed.isEmpty() || typed.size() > kMaxTyped)
        return {};
    const QDate iso = QDate::fromString(typed, Qt::ISODate);
    if (iso.isValid())
        return iso;
    const QDate own = locale.toDate(typed, format);
    if (own.isValid() && own.year() >= 1000)
        return own;
    for (const QLocale::FormatType kind : {QLocale::ShortFormat, QLocale::LongFormat, QLocale::NarrowFormat}) {
        const QDate date = locale.toDate(typed, kind);
        if (date.isValid() && date.year() >= 1000)
            return date;
    }
    // Numbers in the locale's order; a month may also be named.
    const QStringList parts = typed.split(QRegularExpression(QStringLiteral("[\\s./,-]+")), Qt::SkipEmptyParts);
    if (parts.size() != 3)
        return {};
    QString order = DateOrder(format);
    if (order.isEmpty())
        order = DateOrder(locale.dateFormat(QLocale::ShortFormat));
    if (order.isEmpty())
        order = QStringLiteral("dMy");
    int day = 0;
    int month = 0;
    int year = 0;
    for (int i = 0; i < 3; ++i) {
        bool number = false;
        const int value = parts[i].toInt(&number);
        const QChar field = order[i];
        if (!number) {
            for (int m = 1; m <= 12 && field == QLatin1Char('M') && month == 0; ++m)
                if (locale.monthName(m, QLocale::LongFormat).startsWith(parts[i], Qt::CaseInsensitive) && parts[i].size() >= 3)
                    month = m;
            if (month == 0)
                return {};
            continue;
        }
        if (field == QLatin1Char('d'))
            day = value;
        else if (field == QLatin1Char('M'))
            month = value;
        else
            year = parts[i].size() <= 2 ? 2000 + value : value;
    }
    return QDate(year, month, day);
}

QTime TypedDateTime::ReadTime(const QString &text, const QLocale &locale)
{
    const QString typed = text.simplified();
    if (typed.isEmpty() || typed.size() > kMaxTyped)
        return {};
    for (const QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QTime time = locale.toTime(typed, format);
        if (time.isValid())
            return time;
    }
    static const QRegularExpression shape(QStringLiteral("^(\\d{1,2})(?:[:.h ]?(\\d{2}))?\\s*(am|pm|a|p)?$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = shape.match(typed);
    if (!match.hasMatch())
        return {};
    int hour = match.captured(1).toInt();
    const int minute = match.captured(2).isEmpty() ? 0 : match.captured(2).toInt();
    const QString half = match.captured(3).toLower();
    if (!half.isEmpty()) {
        if (hour < 1 || hour > 12)
            return {};
        hour = hour % 12 + (half.startsWith(QLatin1Char('p')) ? 12 : 0);
    }
    return QTime(hour, minute);
}

bool TTypedText::Key(QKeyEvent *event, QLineEdit &line)
{
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const QString text = event->text();
    const bool printable = plain && !text.isEmpty() && text.at(0).isPrint();
    // Through X a capital comes after a press of Shift alone (AltGr for some signs): part of
    // the typing, not its end.
    if (m_typing && IsModifierAlone(event->key()))
        return true;
    if (m_typing && event->key() == Qt::Key_Backspace) {
        m_text.chop(1);
    } else if (printable && (m_typing || !text.at(0).isSpace())) {
        if (!m_typing)
            m_text.clear();
        m_typing = true;
        m_text += text;
    } else {
        return false;
    }
    if (m_text.size() > kMaxTyped)
        m_text.truncate(kMaxTyped);
    // Shown as typed; the field's own sections take it only once it is read whole.
    const QSignalBlocker quiet(line);
    line.setText(m_text);
    line.setCursorPosition(int(m_text.size()));
    return true;
}

template <>
bool TTypedEdit<QDateEdit>::TakeTyped(const QString &text)
{
    const QDate typed = TypedDateTime::ReadDate(text, displayFormat());
    if (!typed.isValid() || typed < minimumDate() || typed > maximumDate())
        return false;
    setDate(typed);
    return true;
}

template <>
bool TTypedEdit<QTimeEdit>::TakeTyped(const QString &text)
{
    const QTime typed = TypedDateTime::ReadTime(text);
    if (!typed.isValid())
        return false;
    setTime(typed);
    return true;
}

template <class Base>
bool TTypedEdit<Base>::Finish()
{
    if (!m_typed.Typing())
        return true;
    m_typed.Stop();
    const bool taken = TakeTyped(m_typed.Text());
    this->lineEdit()->setText(this->textFromDateTime(this->dateTime()));
    if (!taken)
        Refuse(this, m_caption, m_refusal);
    return taken;
}

template <class Base>
void TTypedEdit<Base>::focusOutEvent(QFocusEvent *event)
{
    Finish();
    Base::focusOutEvent(event);
}

// Tab comes here before any key or focus handler, and Qt's own date field would read the
// typed text section by section (31 Feb as 28 Feb): it is read whole first, and a refused one
// keeps the focus in the field.
template <class Base>
bool TTypedEdit<Base>::focusNextPrevChild(bool next)
{
    if (!Finish())
        return true;
    return Base::focusNextPrevChild(next);
}

template <class Base>
void TTypedEdit<Base>::keyPressEvent(QKeyEvent *event)
{
    if (m_typed.Key(event, *this->lineEdit())) {
        event->accept();
        return;
    }
    if (!Finish() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        return;
    }
    Base::keyPressEvent(event);
}

template class TTypedEdit<QDateEdit>;
template class TTypedEdit<QTimeEdit>;
