#include "plugins/contacts/uContactCardDelegate.h"

#include "plugins/contacts/uContactsPane.h"

#include "ui/TDATableModel.h"

#include <QPainter>
#include <QRegularExpression>

namespace {

constexpr QSize kCardSize(270, 150);

} // namespace

QSize TContactCardDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return kCardSize;
}

void TContactCardDelegate::paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const TDATableModel *>(index.model());
    if (!model)
        return;
    const auto value = [&](const QString &field) {
        const int column = model->ColumnOf(field);
        if (column < 0)
            return QString();
        const QVariant v = index.sibling(index.row(), column).data();
        if (v.metaType().id() == QMetaType::QDateTime || v.metaType().id() == QMetaType::QDate)
            return TRvContactsPane::DateText(v);
        return v.toString().simplified();
    };
    const QRect card = option.rect.adjusted(4, 4, -4, -4);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &pal = option.palette;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid));
    p->setBrush(pal.color(QPalette::Base));
    p->drawRoundedRect(card, 4, 4);
    QRect title(card.left() + 1, card.top() + 1, card.width() - 1, option.fontMetrics.height() + 8);
    p->fillRect(title, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::AlternateBase));
    QFont bold = option.font;
    bold.setBold(true);
    p->setFont(bold);
    p->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    const QString name = QStringList{value(QStringLiteral("FirstName")), value(QStringLiteral("MiddleName")),
                                     value(QStringLiteral("LastName"))}
                             .filter(QRegularExpression(QStringLiteral("\\S")))
                             .join(QLatin1Char(' '));
    p->drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft,
                option.fontMetrics.elidedText(name, Qt::ElideRight, title.width() - 16));

    p->setFont(option.font);
    const QFontMetrics &fm = option.fontMetrics;
    const int lineHeight = fm.height() + 1;
    int y = title.bottom() + 4;
    const int left = card.left() + 8;
    const int width = card.width() - 16;
    int captionWidth = 0;
    for (const QString &field : m_shown)
        captionWidth = qMax(captionWidth, fm.horizontalAdvance(model->headerData(model->ColumnOf(field), Qt::Horizontal).toString()));
    captionWidth = qMin(captionWidth + 10, width / 2);
    const auto line = [&](const QString &caption, const QString &text) {
        if (text.isEmpty() || y + lineHeight > card.bottom() - 2)
            return;
        if (!caption.isEmpty()) {
            p->setPen(pal.color(QPalette::PlaceholderText));
            p->drawText(QRect(left, y, captionWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                        fm.elidedText(caption, Qt::ElideRight, captionWidth - 4));
        }
        const int textLeft = caption.isEmpty() ? left : left + captionWidth;
        p->setPen(pal.color(QPalette::Text));
        p->drawText(QRect(textLeft, y, left + width - textLeft, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                    fm.elidedText(text, Qt::ElideRight, left + width - textLeft));
        y += lineHeight;
    };
    line({}, value(QStringLiteral("Street")));
    line({}, QStringList{value(QStringLiteral("Zip")), value(QStringLiteral("City")), value(QStringLiteral("State"))}
                 .filter(QRegularExpression(QStringLiteral("\\S")))
                 .join(QLatin1Char(' ')));
    for (const QString &field : m_shown) {
        const int column = model->ColumnOf(field);
        if (column >= 0)
            line(model->headerData(column, Qt::Horizontal).toString(), value(field));
    }
    p->restore();
}
