// Where popups go and how they move, for a task bar at each of the four edges: the edge read
// from the screen's geometry, the place of stacked popups, the room check along the direction
// they stack in, the slide in and out, and the gradient.
#include "client/uMSNPopUpGeometry.h"

#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

using namespace MSNPopUpGeometry;

inline void PrintTo(const QRect &r, std::ostream *out)
{
    *out << '(' << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height() << ')';
}

inline void PrintTo(const QColor &c, std::ostream *out)
{
    *out << c.name().toStdString();
}

namespace {

const QRect kScreen(0, 0, 1280, 1024);
const TPopupBox kBox{250, 200, 16, 2};
constexpr int kMarge = 2;

struct EdgeCase
{
    const char *name;
    QRect workArea;
    TTaskBarEdge edge;
    QPoint first;      // where the first popup goes
    int stackStep;     // how far each further popup moves down (negative: up)
    int popupsThatFit; // popups of kBox that the work area holds stacked
};

// Panels of 40 pixels at each edge of a 1280 by 1024 screen.
const EdgeCase kEdges[] = {
    {"left", QRect(40, 0, 1240, 1024), TTaskBarEdge::Left, QPoint(56, 822), -202, 5},
    {"top", QRect(0, 40, 1280, 984), TTaskBarEdge::Top, QPoint(1014, 42), 202, 4},
    {"right", QRect(0, 0, 1240, 1024), TTaskBarEdge::Right, QPoint(974, 822), -202, 5},
    {"bottom", QRect(0, 0, 1280, 984), TTaskBarEdge::Bottom, QPoint(1014, 782), -202, 4},
};

void PrintTo(const EdgeCase &c, std::ostream *out)
{
    *out << c.name;
}

class EachEdge : public ::testing::TestWithParam<EdgeCase>
{
};

} // namespace

TEST_P(EachEdge, TheEdgeIsTheSideTheWorkAreaLeavesToThePanel)
{
    EXPECT_EQ(EdgeOf(kScreen, GetParam().workArea), GetParam().edge);
}

TEST_P(EachEdge, StackedPopupsMoveAwayFromTheEdgeByTheirHeightAndTheMarge)
{
    const EdgeCase &c = GetParam();
    TPopupStack stack;
    for (int n = 0; n < 3; ++n) {
        const std::optional<int> offset = stack.Reserve(c.edge, c.workArea, kBox, kMarge, true);
        ASSERT_TRUE(offset);
        EXPECT_EQ(*offset, n * (kBox.Height + kMarge));
        EXPECT_EQ(Placement(c.edge, c.workArea, *offset, kBox),
                  std::optional<QRect>(QRect(c.first + QPoint(0, n * c.stackStep), QSize(kBox.Width, kBox.Height))))
            << c.name << " popup " << n;
    }
    EXPECT_EQ(stack.OpenCount(), 3);
}

TEST_P(EachEdge, APopupThatWouldLeaveTheWorkAreaAlongTheStackIsRefused)
{
    const EdgeCase &c = GetParam();
    TPopupStack stack;
    for (int n = 0; n < c.popupsThatFit; ++n) {
        const std::optional<int> offset = stack.Reserve(c.edge, c.workArea, kBox, kMarge, true);
        ASSERT_TRUE(offset) << c.name << " popup " << n;
        const QRect placed = *Placement(c.edge, c.workArea, *offset, kBox);
        EXPECT_TRUE(c.workArea.contains(placed)) << c.name << " popup " << n;
    }
    EXPECT_EQ(stack.Reserve(c.edge, c.workArea, kBox, kMarge, true), std::nullopt) << c.name;
    EXPECT_EQ(stack.OpenCount(), c.popupsThatFit);
    // Once one closes, the stack is still full at its top: the offset does not come back.
    stack.Release();
    EXPECT_EQ(stack.Reserve(c.edge, c.workArea, kBox, kMarge, true), std::nullopt);
}

TEST_P(EachEdge, APopupSlidesInFromTheEdgeAndSnapsToItsPlace)
{
    const EdgeCase &c = GetParam();
    const QRect full = *Placement(c.edge, c.workArea, 0, kBox);
    QRect now = Collapsed(c.edge, full);
    EXPECT_TRUE(now.width() == 1 || now.height() == 1);
    int steps = 0;
    int previousArea = now.width() * now.height();
    while (now != full && steps < 1000) {
        now = SlideIn(c.edge, now, full, 9);
        const int area = now.width() * now.height();
        EXPECT_GT(area, previousArea) << c.name << " step " << steps;
        previousArea = area;
        ++steps;
    }
    EXPECT_EQ(now, full);
    // 9 pixels a step across 250 (left, right) or 200 (top, bottom) pixels.
    const bool across = c.edge == TTaskBarEdge::Left || c.edge == TTaskBarEdge::Right;
    EXPECT_EQ(steps, across ? 28 : 23) << c.name;
}

TEST_P(EachEdge, APopupSlidesOutTowardsTheEdgeUntilNothingIsLeft)
{
    const EdgeCase &c = GetParam();
    const QRect full = *Placement(c.edge, c.workArea, 0, kBox);
    std::optional<QRect> now = full;
    QRect last = full;
    int steps = 0;
    while (now) {
        last = *now;
        now = SlideOut(c.edge, *now, 50);
        ++steps;
    }
    EXPECT_EQ(steps, c.edge == TTaskBarEdge::Left || c.edge == TTaskBarEdge::Right ? 5 : 4) << c.name;
    // It stays at the edge it slid in from.
    switch (c.edge) {
    case TTaskBarEdge::Left:
    case TTaskBarEdge::Top:
        EXPECT_EQ(last.topLeft(), full.topLeft());
        break;
    case TTaskBarEdge::Right:
        EXPECT_EQ(last.x() + last.width(), full.x() + full.width());
        break;
    case TTaskBarEdge::Bottom:
        EXPECT_EQ(last.y() + last.height(), full.y() + full.height());
        break;
    case TTaskBarEdge::None:
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(PopupGeometry, EachEdge, ::testing::ValuesIn(kEdges),
                         [](const ::testing::TestParamInfo<EdgeCase> &edge) { return std::string(edge.param.name); });

TEST(PopupGeometry, AScreenWithoutPanelsShowsPopupsAtTheBottomAndNoScreenPlacesNothing)
{
    EXPECT_EQ(EdgeOf(kScreen, kScreen), TTaskBarEdge::Bottom);
    EXPECT_EQ(EdgeOf(QRect(), QRect()), TTaskBarEdge::None);
    EXPECT_EQ(Placement(TTaskBarEdge::None, kScreen, 0, kBox), std::nullopt);
    EXPECT_TRUE(HasRoom(TTaskBarEdge::None, QRect(), 100000, kBox));
    EXPECT_EQ(SlideIn(TTaskBarEdge::None, QRect(1, 2, 3, 4), QRect(0, 0, 250, 200), 9), QRect(1, 2, 3, 4));
}

TEST(PopupGeometry, APanelThatMovesStartsTheStackAtTheEdgeAgain)
{
    TPopupStack stack;
    const QRect bottom(0, 0, 1280, 984);
    EXPECT_EQ(stack.Reserve(TTaskBarEdge::Bottom, bottom, kBox, kMarge, true), std::optional<int>(0));
    EXPECT_EQ(stack.Reserve(TTaskBarEdge::Bottom, bottom, kBox, kMarge, true), std::optional<int>(202));
    EXPECT_EQ(stack.Reserve(TTaskBarEdge::Top, QRect(0, 40, 1280, 984), kBox, kMarge, true), std::optional<int>(0));
    EXPECT_EQ(stack.OpenCount(), 1);
}

TEST(PopupGeometry, WithoutCascadingEveryPopupTakesThePlaceAtTheEdge)
{
    TPopupStack stack;
    const QRect area(0, 0, 1280, 984);
    EXPECT_EQ(stack.Reserve(TTaskBarEdge::Bottom, area, kBox, kMarge, false), std::optional<int>(0));
    EXPECT_EQ(stack.Reserve(TTaskBarEdge::Bottom, area, kBox, kMarge, false), std::optional<int>(0));
    stack.Release();
    stack.Release();
    stack.Release(); // never below none open
    EXPECT_EQ(stack.OpenCount(), 0);
}

TEST(PopupGeometry, TheGradientRunsFromTheFirstColourTowardsTheSecond)
{
    const QColor light(0xDD, 0xEC, 0xFE);
    const QColor dark(0x81, 0xA9, 0xE2);
    EXPECT_EQ(GradientColor(light, dark, 0, 200), light);
    EXPECT_EQ(GradientColor(light, dark, 200, 200), dark);
    // Half way, each channel rounded half away from zero: green 236 - 33.5 gives 202.
    EXPECT_EQ(GradientColor(light, dark, 100, 200), QColor(175, 202, 240));
    const QImage rows = Gradient(QSize(4, 200), light, dark, TGradientOrientation::mbVertical);
    EXPECT_EQ(QColor(rows.pixel(3, 0)), light);
    EXPECT_EQ(QColor(rows.pixel(0, 100)), QColor(175, 202, 240));
    EXPECT_EQ(QColor(rows.pixel(0, 100)), QColor(rows.pixel(3, 100)));
    const QImage columns = Gradient(QSize(200, 4), light, dark, TGradientOrientation::mbHorizontal);
    EXPECT_EQ(QColor(columns.pixel(100, 3)), QColor(175, 202, 240));
}
