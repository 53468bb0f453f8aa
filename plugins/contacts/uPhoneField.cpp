#include "plugins/contacts/uPhoneField.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTimer>

TPhoneField::TPhoneField(QLineEdit *edit) : QObject(edit), m_edit(edit)
{
    m_edit->setInputMask(Mask);
    m_edit->installEventFilter(this);
    // A field emptied by hand helps with the mask again.
    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (!Masked() && text.isEmpty())
            QTimer::singleShot(0, this, [this] {
                if (m_edit->text().isEmpty())
                    m_edit->setInputMask(Mask);
            });
    });
}

bool TPhoneField::FitsMask(const QString &number)
{
    static const QRegularExpression shape(QStringLiteral("^\\(\\d{3}\\) \\d{3}-\\d{4}$"));
    return number.isEmpty() || shape.match(number).hasMatch();
}

void TPhoneField::SetStored(const QString &number)
{
    m_edit->setInputMask(FitsMask(number) ? Mask : QString());
    m_edit->setText(number);
}

bool TPhoneField::Masked() const
{
    return !m_edit->inputMask().isEmpty();
}

bool TPhoneField::NothingTyped() const
{
    for (const QChar c : m_edit->text())
        if (c.isDigit())
            return false;
    return true;
}

QString TPhoneField::Value() const
{
    if (Masked() && NothingTyped())
        return {};
    return m_edit->text();
}

void TPhoneField::ToStartWhenEmpty()
{
    // Where a click or focus left the cursor in an empty mask, past its blanks, typing is lost.
    QTimer::singleShot(0, this, [this] {
        if (Masked() && NothingTyped())
            m_edit->home(false);
    });
}

bool TPhoneField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (Masked() && NothingTyped() && text.size() == 1 && text[0].isPrint() && !text[0].isDigit() && !text[0].isSpace()) {
            // A number of another shape: the mask goes and the sign is typed as it is.
            m_edit->setInputMask(QString());
            m_edit->clear();
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        ToStartWhenEmpty();
        break;
    case QEvent::FocusIn:
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::TabFocusReason &&
            static_cast<QFocusEvent *>(event)->reason() != Qt::BacktabFocusReason)
            ToStartWhenEmpty();
        break;
    default:
        break;
    }
    return false;
}

void TakePostcodes(QLineEdit *zip)
{
    zip->setMaxLength(kPostcodeLength);
    zip->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\p{L}\\d -]*")), zip));
}
