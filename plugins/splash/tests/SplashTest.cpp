// The splash plug-in in a window like the host's splash window (invisible until made opaque),
// offscreen: it waits about a second, then shows at full opacity with the texts set meanwhile.
#include "plugins/splash/ufSplash.h"

#include "ui/uStyleForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

void Wait(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(Splash, TheWindowStaysInvisibleForASecondThenShowsOpaqueWithTheTextsSetMeanwhile)
{
    TfStyleForm form;
    auto *area = new QWidget(&form);
    (new QVBoxLayout(area))->setContentsMargins(0, 0, 0, 0);
    form.setCentralWidget(area);
    form.SetAlphaBlend(true);
    form.SetAlphaBlendValue(0);
    auto *splash = new TplgSplash;
    splash->SetAnimate(true);
    EXPECT_FALSE(splash->Animate()) << "the splash never animates";
    splash->ShowParented(area);
    form.show();
    EXPECT_GE(form.width(), TplgSplash::FormWidth);
    EXPECT_GE(form.height(), TplgSplash::FormHeight);
    splash->SetProgressText(QStringLiteral("Connecting to the server"));
    Wait(600);
    EXPECT_TRUE(form.AlphaBlend());
    EXPECT_EQ(form.AlphaBlendValue(), 0) << "still invisible";
    Wait(700);
    EXPECT_FALSE(form.AlphaBlend());
    EXPECT_EQ(form.AlphaBlendValue(), 255);
    EXPECT_TRUE(splash->ProgressLabel()->isVisible());
    EXPECT_EQ(splash->ProgressLabel()->text(), QStringLiteral("Connecting to the server"));
    EXPECT_FALSE(splash->DelayTimer().isActive());
    splash->release();
}

TEST(Splash, AnswersTheSplashControllerAndTheQueriesReleaseTheirReferences)
{
    auto *splash = new TplgSplash;
    {
        auto controller = host_cast<Quorva::ISplashController>(splash);
        ASSERT_TRUE(controller);
        EXPECT_TRUE(host_cast<Quorva::ISplashController>(controller.get())) << "asked again, the same object answers";
    }
    EXPECT_EQ(splash->release(), 0) << "the queries released their references";
}
