#include "ui/uActionIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

// A printer body with a sheet going in at the top and coming out at the front.
QPixmap DrawPrinter(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal u = size / 24.0;
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.2 * u));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6 * u, 2.5 * u, 12 * u, 7 * u));   // the sheet going in
    p.setBrush(QColor(0x8a, 0x93, 0x9e));
    p.drawRoundedRect(QRectF(2.5 * u, 8.5 * u, 19 * u, 9 * u), 2 * u, 2 * u); // the body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6 * u, 14.5 * u, 12 * u, 7 * u)); // the printed sheet
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1 * u));
    p.drawLine(QPointF(8 * u, 17 * u), QPointF(16 * u, 17 * u));
    p.drawLine(QPointF(8 * u, 19 * u), QPointF(14 * u, 19 * u));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3c, 0xb0, 0x4a));
    p.drawEllipse(QPointF(18.5 * u, 11 * u), 1 * u, 1 * u); // the power light
    return picture;
}

} // namespace

QIcon PrintIcon()
{
    if (QIcon::hasThemeIcon(QStringLiteral("document-print")))
        return QIcon::fromTheme(QStringLiteral("document-print"));
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(DrawPrinter(size));
    return icon;
}
