// Captions of the contacts dialogs: each label keeps its language text number, so the dialog
// can give every caption its text once the module's texts are at hand.
#pragma once

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QList>

inline QLabel *Caption(QList<QLabel *> &labels, int number)
{
    auto *label = new QLabel;
    label->setProperty("textNumber", number);
    labels << label;
    return label;
}

// The status line of the contact and family dialogs: texts 1372, 1373 and 1374 around the last
// modifier, the date and the time. Empty for a row that was never stamped, rather than the
// captions around nothing.
template <class TextOf>
QString LastChangedText(const TextOf &text, const QString &modifiedBy, const QDateTime &modified)
{
    if (!modified.isValid())
        return {};
    return text(1372) + modifiedBy + text(1373) + QLocale().toString(modified.date(), QLocale::LongFormat) + text(1374) +
           QLocale().toString(modified.time(), QLocale::LongFormat);
}
