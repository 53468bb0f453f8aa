// The popup component and its window on a scripted screen: stacking and refusing popups, the
// slide in, the time-out and the slide out, clicks and hovering, and the host's notifier,
// whose clicks never reach the desktop as an address.
#include "client/uMSNPopUp.h"
#include "client/uPopupNotifier.h"

#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace MSNPopUpGeometry;
using namespace std::chrono_literals;

namespace {

const QRect kScreen(0, 0, 1280, 1024);
// A panel 40 pixels high at the bottom.
const QRect kWorkArea(0, 0, 1280, 984);

TMSNPopUp::ScreenAreaSource screenOf(const QRect &screen, const QRect &workArea)
{
    return [screen, workArea] { return std::optional<TMSNPopUp::TScreenArea>(TMSNPopUp::TScreenArea{screen, workArea}); };
}

class PopUp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        popup.SetScreenAreaSource(screenOf(kScreen, kWorkArea));
        popup.SetURLOpener([this](const QString &url) {
            opened << url;
            return true;
        });
    }
    // Placed at once, without sliding.
    void Still() { popup.Settings().Options.setFlag(TMSNPopUpOption::msnAllowScroll, false); }
    TfrmMSNPopUp *Last() const { return popup.Windows().isEmpty() ? nullptr : popup.Windows().last(); }

    kestrova::test::LogCapture log;
    TMSNPopUp popup;
    QStringList opened;
};

} // namespace

TEST_F(PopUp, TwoPopupsInQuickSuccessionStackTheSecondAboveTheFirst)
{
    Still();
    ASSERT_TRUE(popup.ShowPopUp());
    ASSERT_TRUE(popup.ShowPopUp());
    const QList<TfrmMSNPopUp *> windows = popup.Windows();
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows[0]->geometry(), QRect(1280 - 250 - 16, 984 - 2 - 200, 250, 200));
    EXPECT_EQ(windows[1]->geometry(), windows[0]->geometry().translated(0, -(200 + 2)));
    EXPECT_TRUE(windows[1]->isVisible());
    EXPECT_EQ(popup.OpenCount(), 2);
}

TEST_F(PopUp, APopupThatWouldLeaveTheWorkAreaIsNotShown)
{
    Still();
    popup.SetScreenAreaSource(screenOf(QRect(0, 0, 1280, 490), QRect(0, 0, 1280, 450)));
    EXPECT_TRUE(popup.ShowPopUp());
    EXPECT_TRUE(popup.ShowPopUp());
    EXPECT_FALSE(popup.ShowPopUp());
    EXPECT_EQ(popup.Windows().size(), 2);
    EXPECT_EQ(popup.OpenCount(), 2);
}

TEST_F(PopUp, MovingThePanelStartsTheNextPopupAtTheEdgeAgain)
{
    Still();
    ASSERT_TRUE(popup.ShowPopUp());
    ASSERT_TRUE(popup.ShowPopUp());
    popup.SetScreenAreaSource(screenOf(kScreen, QRect(0, 40, 1280, 984)));
    ASSERT_TRUE(popup.ShowPopUp());
    EXPECT_EQ(Last()->geometry().topLeft(), QPoint(1280 - 250 - 16, 40 + 2));
}

TEST_F(PopUp, APopupSlidesInStaysForItsTimeOutThenSlidesOutAndCloses)
{
    popup.Settings().TimeOut = 25;
    popup.Settings().ScrollSpeed = 50;
    ASSERT_TRUE(popup.ShowPopUp());
    QPointer<TfrmMSNPopUp> window = Last();
    const QRect full = *window->FullGeometry();
    EXPECT_EQ(window->Phase(), TfrmMSNPopUp::TPhase::SlidingIn);
    EXPECT_EQ(window->height(), 1);
    EXPECT_FALSE(window->tmrExit()->isActive());
    ASSERT_TRUE(kestrova::test::WaitFor([&] { return window->Phase() == TfrmMSNPopUp::TPhase::Shown; }, 5s));
    EXPECT_EQ(window->geometry(), full);
    EXPECT_TRUE(window->tmrExit()->isActive());
    EXPECT_EQ(window->tmrExit()->interval(), 25000);
    EXPECT_GT(window->tmrExit()->remainingTime(), 24000);
    // Let the 25 seconds be over now.
    window->tmrExit()->start(0);
    ASSERT_TRUE(kestrova::test::WaitFor([&] { return window->Phase() != TfrmMSNPopUp::TPhase::Shown; }, 5s));
    ASSERT_TRUE(kestrova::test::WaitFor([&] { return popup.OpenCount() == 0; }, 5s));
    EXPECT_TRUE(kestrova::test::WaitFor([&] { return window.isNull(); }, 5s)) << "a closed popup frees itself";
}

TEST_F(PopUp, APopupTakesNoFocusAndHasNoFrame)
{
    Still();
    ASSERT_TRUE(popup.ShowPopUp());
    const Qt::WindowFlags flags = Last()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(Last()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(Last()->focusPolicy(), Qt::NoFocus);
}

TEST_F(PopUp, ATitleMovesToTheLeftWhenThereIsNoIcon)
{
    Still();
    ASSERT_TRUE(popup.ShowPopUp());
    EXPECT_EQ(Last()->lblTitle()->pos(), QPoint(8, 8));
    QPixmap icon(32, 32);
    icon.fill(Qt::red);
    popup.Settings().IconBitmap = icon;
    ASSERT_TRUE(popup.ShowPopUp());
    EXPECT_EQ(Last()->lblTitle()->pos(), QPoint(48, 8));
}

TEST_F(PopUp, TheTextIsCentredInThePanelWithItsMargin)
{
    Still();
    popup.Settings().Text = QStringLiteral("Easter vigil: the servers of the night are scheduled");
    ASSERT_TRUE(popup.ShowPopUp());
    const QRect text = Last()->lblText()->geometry();
    EXPECT_EQ(text.width(), 250 - 15);
    EXPECT_EQ(text.x(), 7);
    EXPECT_NEAR(text.y() + text.height() / 2, 100, 1);
    EXPECT_GT(text.height(), Last()->lblText()->fontMetrics().height()) << "long texts wrap";
}

TEST_F(PopUp, HoveringTheTextShowsItAsALink)
{
    Still();
    ASSERT_TRUE(popup.ShowPopUp());
    TMouseLabel *text = Last()->lblText();
    EXPECT_FALSE(text->font().underline());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(text, &enter);
    EXPECT_TRUE(text->font().underline());
    EXPECT_EQ(text->cursor().shape(), Qt::PointingHandCursor);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(text, &leave);
    EXPECT_FALSE(text->font().underline());
}

TEST_F(PopUp, AClickOnTheTextHandsTheURLToItsHandlerAndClosesThePopup)
{
    Still();
    QStringList clicked;
    popup.Settings().URL = QStringLiteral("https://parish.example/news");
    popup.Settings().OnURLClick = [&](QObject *sender, const QString &url) {
        clicked << url;
        EXPECT_TRUE(qobject_cast<TfrmMSNPopUp *>(sender));
        EXPECT_FALSE(qobject_cast<QWidget *>(sender)->isVisible()) << "hidden while its handler runs";
    };
    ASSERT_TRUE(popup.ShowPopUp());
    QTest::mouseClick(Last()->lblText(), Qt::LeftButton);
    EXPECT_EQ(clicked, QStringList{QStringLiteral("https://parish.example/news")});
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://parish.example/news")}) << "msnAutoOpenURL is on by default";
    EXPECT_EQ(popup.OpenCount(), 0);
}

TEST_F(PopUp, OtherClicksGoToTheClickHandlerWithTheComponent)
{
    Still();
    QList<QObject *> senders;
    QStringList urls;
    popup.Settings().OnClick = [&](QObject *sender) { senders << sender; };
    popup.Settings().OnURLClick = [&](QObject *, const QString &url) { urls << url; };
    ASSERT_TRUE(popup.ShowPopUp());
    QTest::mouseClick(Last()->lblTitle(), Qt::LeftButton);
    ASSERT_TRUE(popup.ShowPopUp());
    QTest::mouseClick(Last()->lblText(), Qt::RightButton);
    // Without hyperlinks a left click on the text is a plain click, from the window.
    popup.Settings().Options.setFlag(TMSNPopUpOption::msnAllowHyperlink, false);
    ASSERT_TRUE(popup.ShowPopUp());
    TfrmMSNPopUp *window = Last();
    QTest::mouseClick(window->lblText(), Qt::LeftButton);
    EXPECT_EQ(senders, (QList<QObject *>{&popup, &popup, window}));
    EXPECT_TRUE(urls.isEmpty());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(popup.OpenCount(), 0);
}

TEST(PopupNotifier, AClickGivesTheTagToTheHostAndNeverToTheDesktop)
{
    TPopupNotifier notifier;
    QStringList opened;
    notifier.Component().SetScreenAreaSource(screenOf(kScreen, kWorkArea));
    notifier.Component().SetURLOpener([&](const QString &url) {
        opened << url;
        return true;
    });
    TPopupNotice notice;
    notice.Title = QStringLiteral("New event");
    notice.Text = QStringLiteral("Easter vigil");
    notice.Tag = QStringLiteral("2");
    notice.GradientColor1 = QColor(0xDD, 0xEC, 0xFE);
    notice.GradientColor2 = QColor(0x81, 0xA9, 0xE2);
    QStringList tags;
    notifier.ShowPopup(notice, [&](const QString &tag) { tags << tag; });
    const QList<TfrmMSNPopUp *> windows = notifier.Component().Windows();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0]->lblTitle()->text(), QStringLiteral("New event"));
    EXPECT_EQ(windows[0]->lblText()->text(), QStringLiteral("Easter vigil"));
    EXPECT_EQ(windows[0]->tmrExit()->interval(), 25000);
    QTest::mouseClick(windows[0]->lblText(), Qt::LeftButton);
    EXPECT_EQ(tags, QStringList{QStringLiteral("2")});
    EXPECT_TRUE(opened.isEmpty());
}

TEST(PopupNotifier, NoticesStackWhileSeveralAreOpen)
{
    kestrova::test::LogCapture log;
    TPopupNotifier notifier;
    notifier.Component().SetScreenAreaSource(screenOf(QRect(0, 0, 1280, 490), QRect(0, 0, 1280, 450)));
    TPopupNotice notice;
    notice.Title = QStringLiteral("Notice");
    for (int n = 0; n < 3; ++n)
        notifier.ShowPopup(notice, {});
    EXPECT_EQ(notifier.Component().OpenCount(), 2);
    const QStringList lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const QString &line) { return line.contains(QStringLiteral("Warning    \tDMClient\tOnNewPopup")); }),
              1);
}
