// Captions of the contacts dialogs: each label keeps its language text number, so the dialog
// can give every caption its text once the module's texts are at hand.
#pragma once

#include <QLabel>
#include <QList>

inline QLabel *Caption(QList<QLabel *> &labels, int number)
{
    auto *label = new QLabel;
    label->setProperty("textNumber", number);
    labels << label;
    return label;
}
