// Where popup notifications go and how they move, as pure functions of the screen's geometry:
// which screen edge the task bar holds, whether a stacked popup still fits the work area, its
// place, its slide in and out, and its background gradient. Rectangles are Qt's: x, y, width
// and height; "right" and "bottom" below mean x + width and y + height.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <optional>

namespace MSNPopUpGeometry {

// The screen edge the task bar (a panel) sits at; None without a screen.
enum class TTaskBarEdge { None = -1, Left = 0, Top = 1, Right = 2, Bottom = 3 };

enum class TGradientOrientation { mbHorizontal, mbVertical };

// A popup's size and its distances from the work area's edges.
struct TPopupBox
{
    int Width = 250;
    int Height = 200;
    int StartX = 16;
    int StartY = 2;
};

// The edge whose side of the screen the work area leaves the most room at; a work area that
// fills the screen (no panel) counts as a bar at the bottom, where notices usually appear.
TTaskBarEdge EdgeOf(const QRect &screen, const QRect &workArea);

// Whether a popup placed at the stacking offset lies inside the work area along the direction
// popups stack in: upwards from the bottom for the left, right and bottom edges, downwards
// from the top for the top edge. Always true for None.
bool HasRoom(TTaskBarEdge edge, const QRect &workArea, int offset, const TPopupBox &box);

// The popup's rectangle at full size; none for None (not placed).
std::optional<QRect> Placement(TTaskBarEdge edge, const QRect &workArea, int offset, const TPopupBox &box);

// The one-pixel strip along the edge a sliding popup starts from.
QRect Collapsed(TTaskBarEdge edge, const QRect &full);

// One step of the slide in, by speed pixels, towards full (reached exactly at the end).
QRect SlideIn(TTaskBarEdge edge, const QRect &current, const QRect &full, int speed);

// One step of the slide out; none when the step would leave nothing and the popup closes.
std::optional<QRect> SlideOut(TTaskBarEdge edge, const QRect &current, int speed);

// The colour at position of extent: each channel c1 + (c2 - c1) * position / extent, rounded.
QColor GradientColor(const QColor &c1, const QColor &c2, int position, int extent);

// Rows (vertical) or columns (horizontal) from c1 to c2.
QImage Gradient(const QSize &size, const QColor &c1, const QColor &c2, TGradientOrientation orientation);

// The notifier's count of open popups and the offset the next one stacks at.
class TPopupStack
{
public:
    // The offset for a new popup, counted as open; none when it would not fit. A bar that moved
    // to another edge starts the stack afresh.
    std::optional<int> Reserve(TTaskBarEdge edge, const QRect &workArea, const TPopupBox &box, int marge, bool cascade);
    // A popup closed for good.
    void Release();

    int OpenCount() const { return m_open; }
    int Offset() const { return m_offset; }

private:
    int m_open = 0;
    int m_offset = 0;
    std::optional<TTaskBarEdge> m_lastEdge;
};

} // namespace MSNPopUpGeometry
