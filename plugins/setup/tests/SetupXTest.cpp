// The set-up wizard as a user works it: on a private X server without a window manager, with
// clicks and keys sent through the X server (xdotool), against the real services (one server
// and database for the program). A picture of the screen per step stays under the build tree.
#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uplgSetup.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"
#include "testsupport/Wait.h"
#include "testsupport/XServer.h"

#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;
using namespace std::chrono_literals;

namespace {

// Longer than any answer of the wizard to a click or a key takes.
constexpr auto kLimit = 5s;

class SetupX : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new ServiceServer;
        s_server->Start();
    }
    static void TearDownTestSuite()
    {
        if (s_server->server)
            s_server->Stop();
        delete s_server;
    }

    void SetUp() override
    {
        if (!s_server->server)
            GTEST_SKIP();
        ASSERT_NE(XServer::Instance(), nullptr);
        qputenv("KESTROVA_REGISTRY_DIR", QFile::encodeName(registry.path()));
        host.Connect(s_server->NewClient());
        controller.ModuleCreate();
        controller.AttachHost(&host);
        wizard = dynamic_cast<TplgInitialSetup *>(controller.CreatePlugin(TRvSetupController::SetupPlugin));
        ASSERT_NE(wizard, nullptr);
        wizard->SetFinishDelay(0);
        wizard->SetUserName(QStringLiteral("Pastor"));
        wizard->Prepare();
    }
    void TearDown() override
    {
        if (wizard)
            wizard->release();
        controller.AttachHost(nullptr);
        controller.ModuleDestroy();
        qunsetenv("KESTROVA_REGISTRY_DIR");
    }

    template <class W> W *Find(const char *name) const
    {
        W *widget = wizard->findChild<W *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    const XServer &X() const { return *XServer::Instance(); }
    void Click(QWidget *widget) const { EXPECT_TRUE(X().Click(widget->mapToGlobal(widget->rect().center()))) << widget->objectName().toStdString(); }
    // The window as the screen shows it, once it shows what the widgets hold.
    void Picture(QWidget *window, const QString &what) { EXPECT_TRUE(pictures.TakeOf(window, what)) << what.toStdString(); }

    static inline ServiceServer *s_server = nullptr;
    QTemporaryDir registry;
    TStandInHost host;
    TRvSetupController controller;
    TplgInitialSetup *wizard = nullptr;
    TestPictures pictures;
};

// Passwords typed differently: Next waits and the hint says why. A location or liturgy added
// with the button shows its proposed name picked, so what the user types replaces it.
TEST_F(SetupX, PageOneSaysWhyNextWaitsAndTypedNamesReplaceTheProposedOnes)
{
    TScriptedPrompt prompt;
    ASSERT_TRUE(XServer::ShowActive(wizard));
    auto *hint = Find<QLabel>("lblNextHint");
    auto *next = Find<QPushButton>("btnNext");
    const auto typeInto = [&](QLineEdit *edit, const QString &text) {
        Click(edit);
        EXPECT_TRUE(WaitFor([&] { return edit->hasFocus(); }, kLimit)) << edit->objectName().toStdString();
        EXPECT_TRUE(X().Type(text));
    };
    typeInto(Find<QLineEdit>("edPassword1"), QStringLiteral("Credo1"));
    typeInto(Find<QLineEdit>("edPassword2"), QStringLiteral("Credo"));
    EXPECT_TRUE(WaitFor([&] { return Find<QLineEdit>("edPassword2")->text() == QStringLiteral("Credo"); }, kLimit));
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), QStringLiteral("The two passwords differ: type the same password twice."));
    Picture(wizard, QStringLiteral("passwords-differ"));
    EXPECT_TRUE(X().Type(QStringLiteral("1")));
    EXPECT_TRUE(WaitFor([&] { return next->isEnabled() && !hint->isVisible(); }, kLimit));
    Click(next);
    ASSERT_TRUE(WaitFor([&] { return wizard->Step() == 2; }, kLimit));

    // Each name typed after the page opens or after Add replaces the proposed one.
    auto *name = Find<QLineEdit>("edLocationName");
    auto *locations = Find<QListWidget>("lstLocations");
    EXPECT_TRUE(WaitFor([&] { return name->hasFocus(); }, kLimit));
    EXPECT_TRUE(X().Type(QStringLiteral("St. Mary")));
    EXPECT_TRUE(WaitFor([&] { return locations->count() == 1 && locations->item(0)->text() == QStringLiteral("St. Mary"); }, kLimit))
        << name->text().toStdString();
    Click(Find<QPushButton>("btnAddLocation"));
    EXPECT_TRUE(WaitFor([&] { return locations->count() == 2 && name->hasFocus(); }, kLimit));
    EXPECT_TRUE(X().Type(QStringLiteral("St. Joseph Chapel")));
    EXPECT_TRUE(WaitFor([&] { return name->text() == QStringLiteral("St. Joseph Chapel"); }, kLimit)) << name->text().toStdString();
    ASSERT_EQ(locations->count(), 2);
    EXPECT_EQ(locations->item(0)->text(), QStringLiteral("St. Mary"));
    EXPECT_EQ(locations->item(1)->text(), QStringLiteral("St. Joseph Chapel"));
    Picture(wizard, QStringLiteral("locations-named"));

    Click(next);
    ASSERT_TRUE(WaitFor([&] { return wizard->Step() == 3; }, kLimit));
    auto *liturgy = Find<QLineEdit>("edLiturgyName");
    auto *liturgies = Find<QTreeWidget>("tvLiturgies");
    Click(Find<QPushButton>("btnAddLiturgy"));
    EXPECT_TRUE(WaitFor([&] { return liturgies->topLevelItemCount() == 1 && liturgy->hasFocus(); }, kLimit));
    EXPECT_TRUE(X().Type(QStringLiteral("Sunday 9:00")));
    EXPECT_TRUE(WaitFor([&] { return liturgy->text() == QStringLiteral("Sunday 9:00"); }, kLimit)) << liturgy->text().toStdString();
    Picture(wizard, QStringLiteral("liturgy-named"));
    EXPECT_TRUE(prompt.Prompts().isEmpty());
}

} // namespace
