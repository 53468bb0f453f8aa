// The contacts view's cards: one contact per card of the list view, painted over the view's model.
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

// A contact as a card: the name, the address, then the filled-in fields under their captions.
class TContactCardDelegate : public QStyledItemDelegate
{
public:
    // shown: the fields of CardFields the cards show, the view's to change.
    TContactCardDelegate(const QStringList &shown, QObject *parent) : QStyledItemDelegate(parent), m_shown(shown) {}

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override;
    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    const QStringList &m_shown;
};
