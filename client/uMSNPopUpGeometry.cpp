#include "client/uMSNPopUpGeometry.h"

#include <QPainter>

#include <algorithm>

namespace MSNPopUpGeometry {

namespace {

int right(const QRect &r)
{
    return r.x() + r.width();
}

int bottom(const QRect &r)
{
    return r.y() + r.height();
}

// a * b / c rounded half away from zero, without overflow for colour values.
int mulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

TTaskBarEdge EdgeOf(const QRect &screen, const QRect &workArea)
{
    if (!screen.isValid() || !workArea.isValid())
        return TTaskBarEdge::None;
    const int insets[] = {workArea.x() - screen.x(), workArea.y() - screen.y(), right(screen) - right(workArea),
                          bottom(screen) - bottom(workArea)};
    // The bottom wins a tie, and so does a screen without a panel.
    int edge = 3;
    for (int candidate = 0; candidate < 3; ++candidate)
        if (insets[candidate] > insets[edge])
            edge = candidate;
    return static_cast<TTaskBarEdge>(edge);
}

bool HasRoom(TTaskBarEdge edge, const QRect &workArea, int offset, const TPopupBox &box)
{
    switch (edge) {
    case TTaskBarEdge::None:
        return true;
    case TTaskBarEdge::Top:
        return workArea.y() + box.StartY + offset + box.Height <= bottom(workArea);
    case TTaskBarEdge::Left:
    case TTaskBarEdge::Right:
    case TTaskBarEdge::Bottom:
        return bottom(workArea) - box.StartY - box.Height - offset >= workArea.y();
    }
    return true;
}

std::optional<QRect> Placement(TTaskBarEdge edge, const QRect &workArea, int offset, const TPopupBox &box)
{
    const QSize size(box.Width, box.Height);
    switch (edge) {
    case TTaskBarEdge::None:
        return std::nullopt;
    case TTaskBarEdge::Left:
        return QRect(QPoint(workArea.x() + box.StartX, bottom(workArea) - box.StartY - box.Height - offset), size);
    case TTaskBarEdge::Top:
        return QRect(QPoint(right(workArea) - box.Width - box.StartX, workArea.y() + box.StartY + offset), size);
    case TTaskBarEdge::Right:
    case TTaskBarEdge::Bottom:
        return QRect(QPoint(right(workArea) - box.Width - box.StartX, bottom(workArea) - box.StartY - box.Height - offset), size);
    }
    return std::nullopt;
}

QRect Collapsed(TTaskBarEdge edge, const QRect &full)
{
    switch (edge) {
    case TTaskBarEdge::Left:
        return QRect(full.x(), full.y(), 1, full.height());
    case TTaskBarEdge::Top:
        return QRect(full.x(), full.y(), full.width(), 1);
    case TTaskBarEdge::Right:
        return QRect(right(full), full.y(), 1, full.height());
    case TTaskBarEdge::Bottom:
        return QRect(full.x(), bottom(full), full.width(), 1);
    case TTaskBarEdge::None:
        break;
    }
    return full;
}

QRect SlideIn(TTaskBarEdge edge, const QRect &current, const QRect &full, int speed)
{
    QRect next = current;
    switch (edge) {
    case TTaskBarEdge::None:
        return current;
    case TTaskBarEdge::Left:
        next.setWidth(std::min(current.width() + speed, full.width()));
        break;
    case TTaskBarEdge::Top:
        next.setHeight(std::min(current.height() + speed, full.height()));
        break;
    case TTaskBarEdge::Right: {
        const int width = std::min(current.width() + speed, full.width());
        next = QRect(current.x() - (width - current.width()), current.y(), width, current.height());
        break;
    }
    case TTaskBarEdge::Bottom: {
        const int height = std::min(current.height() + speed, full.height());
        next = QRect(current.x(), current.y() - (height - current.height()), current.width(), height);
        break;
    }
    }
    // At full size the popup snaps to its place.
    return next.size() == full.size() ? full : next;
}

std::optional<QRect> SlideOut(TTaskBarEdge edge, const QRect &current, int speed)
{
    switch (edge) {
    case TTaskBarEdge::None:
        return std::nullopt;
    case TTaskBarEdge::Left:
        if (current.width() - speed <= 0)
            return std::nullopt;
        return QRect(current.x(), current.y(), current.width() - speed, current.height());
    case TTaskBarEdge::Top:
        if (current.height() - speed <= 0)
            return std::nullopt;
        return QRect(current.x(), current.y(), current.width(), current.height() - speed);
    case TTaskBarEdge::Right:
        if (current.width() - speed <= 0)
            return std::nullopt;
        return QRect(current.x() + speed, current.y(), current.width() - speed, current.height());
    case TTaskBarEdge::Bottom:
        if (current.height() - speed <= 0)
            return std::nullopt;
        return QRect(current.x(), current.y() + speed, current.width(), current.height() - speed);
    }
    return std::nullopt;
}

QColor GradientColor(const QColor &c1, const QColor &c2, int position, int extent)
{
    if (extent <= 0)
        return c1;
    return QColor(c1.red() + mulDiv(c2.red() - c1.red(), position, extent),
                  c1.green() + mulDiv(c2.green() - c1.green(), position, extent),
                  c1.blue() + mulDiv(c2.blue() - c1.blue(), position, extent));
}

QImage Gradient(const QSize &size, const QColor &c1, const QColor &c2, TGradientOrientation orientation)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    if (orientation == TGradientOrientation::mbVertical) {
        for (int y = 0; y < size.height(); ++y)
            painter.fillRect(0, y, size.width(), 1, GradientColor(c1, c2, y, size.height()));
    } else {
        for (int x = 0; x < size.width(); ++x)
            painter.fillRect(x, 0, 1, size.height(), GradientColor(c1, c2, x, size.width()));
    }
    return image;
}

std::optional<int> TPopupStack::Reserve(TTaskBarEdge edge, const QRect &workArea, const TPopupBox &box, int marge, bool cascade)
{
    if (m_lastEdge != edge) {
        m_lastEdge = edge;
        m_open = 0;
    }
    if (m_open == 0)
        m_offset = 0;
    else if (!HasRoom(edge, workArea, m_offset, box))
        return std::nullopt;
    ++m_open;
    const int placed = m_offset;
    m_offset = cascade && edge != TTaskBarEdge::None ? m_offset + box.Height + marge : 0;
    return placed;
}

void TPopupStack::Release()
{
    m_open = std::max(0, m_open - 1);
}

} // namespace MSNPopUpGeometry
