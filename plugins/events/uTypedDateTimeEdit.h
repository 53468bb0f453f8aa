// Date and time fields that take a typed text whole. Qt's fields take typing section by
// section and drop digits typed over the selected field, so a typed date or time is also read
// as one text, in the field's own format or a few common ones. Leaving the field or pressing
// Enter on a text that names no date (or time) says so and keeps the value the field had.
#pragma once

#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimeEdit>

namespace TypedDateTime {
// The date a typed text names: the field's format, ISO, the locale's formats, or day, month
// and year in the order of the field's format with any of " ./-," between them (a month may be
// named; a two-digit year is of this century).
QDate ReadDate(const QString &text, const QString &format, const QLocale &locale = QLocale());
// The time a typed text names: "18:30", "18.30", "1830", "18", "6:30 pm", or the locale's formats.
QTime ReadTime(const QString &text, const QLocale &locale = QLocale());
} // namespace TypedDateTime

// What the two fields share: a typed text is kept as typed and read whole when the field is
// left or Enter is pressed; arrows, the calendar and the wheel work as in any Qt field.
class TTypedText
{
public:
    // True when the key was taken as typing.
    bool Key(QKeyEvent *event, QLineEdit &line);
    bool Typing() const { return m_typing; }
    QString Text() const { return m_text; }
    void Stop() { m_typing = false; }

private:
    bool m_typing = false;
    QString m_text;
};

// One field of either kind: a typed text is read whole by `TakeTyped`, the one step that
// differs between a date and a time.
template <class Base>
class TTypedEdit : public Base
{
public:
    explicit TTypedEdit(QWidget *parent = nullptr) : Base(parent) {}
    // The message shown when a typed text names no value of the field.
    void SetRefusal(const QString &caption, const QString &text)
    {
        m_caption = caption;
        m_refusal = text;
    }
    // Takes a text still being typed: true when there was none or it names a value.
    bool Finish();

protected:
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Sets the value the text names; false when it names none the field takes.
    bool TakeTyped(const QString &text);

    TTypedText m_typed;
    QString m_caption;
    QString m_refusal;
};

class TTypedDateEdit : public TTypedEdit<QDateEdit>
{
public:
    using TTypedEdit::TTypedEdit;
};

class TTypedTimeEdit : public TTypedEdit<QTimeEdit>
{
public:
    using TTypedEdit::TTypedEdit;
};

template <>
bool TTypedEdit<QDateEdit>::TakeTyped(const QString &text);
template <>
bool TTypedEdit<QTimeEdit>::TakeTyped(const QString &text);
extern template class TTypedEdit<QDateEdit>;
extern template class TTypedEdit<QTimeEdit>;
