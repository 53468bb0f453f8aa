// The navigation bar as a user works it: the real host with the staged plug-ins against the
// real Brennic on a fresh database, on a private X server without a window manager, clicked
// with the mouse through the X server (xdotool) while the program's own event loop runs. After
// every click the view in the window is the clicked item's and the bar marks that item; a
// picture of the screen is kept per step under the build tree.
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/uDMClient.h"
#include "client/uLogOn.h"
#include "client/uServerConnector.h"
#include "client/ufDlgLogin.h"
#include "client/ufMain.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/DialogScript.h"
#include "testsupport/RealBrennic.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"
#include "testsupport/XServer.h"

#include "remoting/ROHTTPChannel.h"
#include "ui/PromptService.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolBox>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;
using namespace std::chrono_literals;

namespace {

const QString kBob = QStringLiteral("{B0000000-0000-0000-0000-00000000000B}");
const QString kBobPassword = QStringLiteral("Gloria77");
constexpr qint64 kAdministrator = 0x7FFFFFFF;
// A switch the user waits longer for than this counts as not done.
constexpr auto kSwitchLimit = 8s;
// Shorter than any view takes to load.
constexpr int kQuickPauseMs = 40;
// Two views differ in more of the area than this (a hovered item is less).
constexpr double kStaleShare = 0.01;

struct Place
{
    int group = -1;
    int item = -1;
    bool operator==(const Place &other) const { return group == other.group && item == other.item; }
};

// Every ordered pair of places once, as one walk: an Euler circuit of the complete directed graph.
QList<Place> EveryPairWalk(const QList<Place> &places)
{
    const int n = int(places.size());
    QList<QList<int>> left(n);
    for (int from = 0; from < n; ++from)
        for (int to = n - 1; to >= 0; --to)
            if (to != from)
                left[from] << to;
    QList<int> stack{0};
    QList<int> circuit;
    while (!stack.isEmpty()) {
        const int at = stack.last();
        if (left[at].isEmpty()) {
            circuit.prepend(at);
            stack.removeLast();
        } else {
            stack << left[at].takeLast();
        }
    }
    QList<Place> walk;
    for (int index : circuit)
        walk << places[index];
    return walk;
}

class XNavigationFactory : public THostComponentFactory
{
public:
    quint16 discoveryPort = 0;
    std::function<void(TfMain &)> inLoop;
    bool loopRan = false;

    void InstallComponents(TDMClient &client) override
    {
        const QUuid session = QUuid::createUuid();
        client.ROHTTP()->SetSessionID(session);
        client.ROHTTPEvents()->SetSessionID(session);
        client.ROProbeHTP()->SetSessionID(session);
        auto connector = std::make_unique<TServerConnector>(client);
        connector->SetDiscoveryTarget(QHostAddress::LocalHost, discoveryPort);
        client.SetServerConnector(std::move(connector));
        client.SetLogOnSteps(std::make_unique<TLogOnSteps>(client));
    }
    void RunMessageLoop(IQuorvaMainWindow &window) override
    {
        loopRan = true;
        window.Widget()->show();
        if (inLoop)
            inLoop(*qobject_cast<TfMain *>(window.Widget()));
        window.Widget()->close();
    }
};

class XNavigation : public RealBrennicSuite
{
protected:
    void SetUp() override
    {
        RealBrennicSuite::SetUp();
        if (!Ready())
            return;
        ASSERT_NE(XServer::Instance(), nullptr);
        s_server->ClearUsersAndSettings();
        s_server->AddUser(kBob, QStringLiteral("bob"), kBobPassword, kAdministrator);
        program.SetSetting(QStringLiteral("Animate splash"), QStringLiteral("False"));
        factory.discoveryPort = s_server->DiscoveryPort();
        // The staged plug-ins, as the program finds them beside itself.
        const QDir staged(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns"));
        for (const QString &file : staged.entryList({QStringLiteral("*.qor"), QStringLiteral("*.lng")}, QDir::Files))
            ASSERT_TRUE(QFile::copy(staged.filePath(file), QDir(program.PluginsFolder()).filePath(file)));
        script.Then<TfDlgLogin>([](TfDlgLogin &dialog) {
            dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(QStringLiteral("bob")));
            dialog.ePwd()->setText(kBobPassword);
            dialog.chkShow()->setChecked(false);
            PressLater(dialog.btnOK());
        });
    }

    void RunStart()
    {
        TQuorvaSteps steps(program.ProgramPath(), factory);
        TQuorvaStartup(steps, program.ProgramPath(), QStringLiteral(KESTROVA_VERSION)).Run();
    }

    const XServer &X() const { return *XServer::Instance(); }

    // The picture of this moment, numbered in step order.
    void Picture(const QString &what) { EXPECT_TRUE(pictures.Take(what)) << what.toStdString(); }


    ProgramFolder program;
    TScriptedPrompt prompt;
    DialogScript script;
    XNavigationFactory factory;
    TestPictures pictures;
};

QAbstractButton *GroupHeader(TfMain &window, int group)
{
    const QString caption = window.NavBarGroups()[group].Caption;
    for (QAbstractButton *button : window.dxNavBar()->findChildren<QAbstractButton *>())
        if (button->text() == caption && button->isVisible())
            return button;
    return nullptr;
}

QString Caption(TfMain &window, const Place &place)
{
    return window.NavBarGroups()[place.group].Items[place.item].Caption;
}

// What the window shows, read from its widgets: the plug-in view in the central area, and the
// bar's open group and its marked items.
struct Shown
{
    QString view;
    int openGroup = -1;
    QList<Place> marked;
    // Shares of the central area and of the bar that the screen does not show as drawn.
    double viewStale = 1;
    double barStale = 1;
    bool OnScreen() const { return viewStale < kStaleShare && barStale < kStaleShare; }
    QString Describe() const
    {
        QStringList items;
        for (const Place &place : marked)
            items << QStringLiteral("%1/%2").arg(place.group).arg(place.item);
        return QStringLiteral("view %1, open group %2, marked %3; not on screen: %4 of the view, %5 of the bar")
            .arg(view)
            .arg(openGroup)
            .arg(items.join(QLatin1Char(' ')))
            .arg(viewStale, 0, 'f', 3)
            .arg(barStale, 0, 'f', 3);
    }
};

Shown WhatIsShown(TfMain &window, bool lookAtScreen = true)
{
    Shown shown;
    QStringList views;
    for (QWidget *child : window.docMain()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isVisible() && child->size() == window.docMain()->size())
            views << (window.ActivePlugin() && window.ActivePlugin()->GetWidget() == child ? window.ActivePlugin()->GetPluginName()
                                                                                             : QStringLiteral("<another view>"));
    shown.view = views.join(QLatin1Char('+'));
    shown.openGroup = window.dxNavBar()->currentIndex();
    for (int g = 0; g < window.NavBarGroups().size(); ++g) {
        QListWidget *list = window.NavBarGroupList(g);
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->font().bold())
                shown.marked << Place{g, i};
    }
    if (lookAtScreen) {
        shown.viewStale = XServer::NotOnScreen(window.docMain());
        shown.barStale = XServer::NotOnScreen(window.dxNavBar());
    }
    return shown;
}

// The menu buttons of the active view's menu bar in the window, in their order.
QList<QToolButton *> MenuButtons(TfMain &window)
{
    QList<QToolButton *> buttons;
    for (QToolBar *bar : window.PluginBars())
        for (QAction *action : bar->actions())
            if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
                button && action->menu() && button->popupMode() == QToolButton::InstantPopup && button->isVisible())
                buttons << button;
    return buttons;
}

// The letter after a caption's "&", as xdotool names the key.
QString MnemonicKey(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i)
        if (caption[i] == QLatin1Char('&') && caption[i + 1] != QLatin1Char('&'))
            return caption[i + 1].isDigit() ? QString(caption[i + 1]) : QString(caption[i + 1].toLower());
    return {};
}

} // namespace

TEST_F(XNavigation, EveryItemClickedWithTheMouseShowsItsViewAndTheBarMarksItInEveryOrder)
{
    int steps = 0;
    factory.inLoop = [&](TfMain &window) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QList<Place> places;
        for (int g = 0; g < window.NavBarGroups().size(); ++g)
            for (int i = 0; i < window.NavBarGroups()[g].Items.size(); ++i)
                places << Place{g, i};
        ASSERT_GE(places.size(), 5) << "the administrator sees every staged view";
        ASSERT_TRUE(WaitInLoop([&] { return window.ActivePlugin() != nullptr; }, kSwitchLimit)) << "the first item opens at the start";
        Picture(QStringLiteral("start"));

        // The header of a group as the user clicks it; the view and the marked item stay.
        const auto openGroup = [&](int group) {
            QAbstractButton *header = GroupHeader(window, group);
            ASSERT_NE(header, nullptr) << window.NavBarGroups()[group].Caption.toStdString();
            const Shown before = WhatIsShown(window);
            ASSERT_TRUE(X().Click(header->mapToGlobal(header->rect().center())));
            EXPECT_TRUE(WaitInLoop([&] { return window.dxNavBar()->currentIndex() == group && WhatIsShown(window).OnScreen(); },
                                   kSwitchLimit))
                << "the click on the header of " << window.NavBarGroups()[group].Caption.toStdString()
                << " opens it: " << WhatIsShown(window).Describe().toStdString();
            const Shown after = WhatIsShown(window);
            EXPECT_EQ(after.view, before.view) << "a header click keeps the view";
            EXPECT_TRUE(after.marked == before.marked) << "a header click keeps the mark: " << after.Describe().toStdString();
            Picture(QStringLiteral("group-") + window.NavBarGroups()[group].Caption);
        };
        // After the clicks: the item's view in the window and on screen, the bar marking it alone.
        const auto expectShown = [&](const Place &to, const QString &order) {
            QListWidget *list = window.NavBarGroupList(to.group);
            const QString expected = window.NavBarGroups()[to.group].Items[to.item].PluginName;
            const bool switched = WaitInLoop(
                [&] {
                    const Shown now = WhatIsShown(window, false);
                    return now.view == expected && now.openGroup == to.group && now.marked == QList<Place>{to} &&
                           WhatIsShown(window).OnScreen();
                },
                kSwitchLimit);
            ++steps;
            Picture(QString(order).replace(QStringLiteral(" then "), QStringLiteral("-to-")));
            ASSERT_TRUE(switched) << order.toStdString() << ": shows " << expected.toStdString() << " and marks it; shown: "
                                  << WhatIsShown(window).Describe().toStdString();
            EXPECT_EQ(window.ActiveGroup(), to.group) << order.toStdString();
            EXPECT_EQ(window.ActiveItem(), to.item) << order.toStdString();
            EXPECT_EQ(list->currentRow(), to.item) << order.toStdString();
        };
        const auto itemPoint = [&](const Place &place) {
            QListWidget *list = window.NavBarGroupList(place.group);
            return list->viewport()->mapToGlobal(list->visualItemRect(list->item(place.item)).center());
        };
        const auto clickItem = [&](const Place &to, const QString &order) {
            if (window.dxNavBar()->currentIndex() != to.group)
                openGroup(to.group);
            ASSERT_TRUE(X().Click(itemPoint(to)));
            expectShown(to, order);
        };

        // Every item from every other, then the bar's order backwards, with the user now and then
        // opening another group's header before going on.
        QList<Place> walk = EveryPairWalk(places);
        for (auto it = places.crbegin(); it != places.crend(); ++it)
            walk << *it;
        Place from{window.ActiveGroup(), window.ActiveItem()};
        for (int step = 0; step < walk.size(); ++step) {
            const Place &to = walk[step];
            if (to == from)
                continue;
            if (step % 4 == 3)
                openGroup((to.group + 1) % int(window.NavBarGroups().size()));
            clickItem(to, Caption(window, from) + QStringLiteral(" then ") + Caption(window, to));
            if (::testing::Test::HasFatalFailure())
                return;
            from = to;
        }

        // A user who does not wait: each item of a group clicked while the one before still
        // loads; the last one clicked is the one shown.
        for (int g = 0; g < window.NavBarGroups().size(); ++g) {
            if (window.NavBarGroups()[g].Items.size() < 2)
                continue;
            openGroup(g);
            QList<Place> quick;
            for (int i = 0; i < window.NavBarGroups()[g].Items.size(); ++i)
                quick << Place{g, i};
            if (quick.last() == Place{window.ActiveGroup(), window.ActiveItem()})
                quick.move(quick.size() - 1, 0);
            QList<QPoint> points;
            QStringList captions;
            for (const Place &place : quick) {
                points << itemPoint(place);
                captions << Caption(window, place);
            }
            ASSERT_TRUE(X().Clicks(points, kQuickPauseMs));
            expectShown(quick.last(), QStringLiteral("quickly ") + captions.join(QStringLiteral(" then ")));
            if (::testing::Test::HasFatalFailure())
                return;
        }
    };
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_GE(steps, 30);
}

// The keyboard alone: Tab and Shift+Tab bring the focus to the bar, the arrow keys and Enter open
// each item in turn, and in each view Alt with a menu's underlined letter opens that menu, F10
// the first; every step is looked at on the screen.
TEST_F(XNavigation, TheKeyboardAloneOpensEveryItemAndEveryMenuOfEachView)
{
    int menusOpened = 0;
    int items = 0;
    factory.inLoop = [&](TfMain &window) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(XServer::ShowActive(&window));
        ASSERT_TRUE(WaitInLoop([&] { return window.ActivePlugin() != nullptr; }, kSwitchLimit));
        QList<Place> places;
        for (int g = 0; g < window.NavBarGroups().size(); ++g)
            for (int i = 0; i < window.NavBarGroups()[g].Items.size(); ++i)
                places << Place{g, i};
        ASSERT_GE(places.size(), 5);
        const auto focusedList = [&]() -> QListWidget * {
            auto *list = qobject_cast<QListWidget *>(QApplication::focusWidget());
            return list && window.dxNavBar()->indexOf(list) >= 0 ? list : nullptr;
        };
        // Tab (or Shift+Tab) until the bar has the focus; each step leaves a visible focus.
        const auto tabToTheBar = [&](const QString &keys) {
            QStringList passed;
            for (int tab = 0; tab < 40 && !focusedList(); ++tab) {
                QWidget *before = QApplication::focusWidget();
                ASSERT_TRUE(X().Key(keys));
                ASSERT_TRUE(WaitInLoop([&] { return QApplication::focusWidget() != before; }, kSwitchLimit))
                    << keys.toStdString() << " moves the focus on from " << (before ? before->objectName().toStdString() : "nothing")
                    << " after " << passed.join(QLatin1Char(' ')).toStdString();
                QWidget *now = QApplication::focusWidget();
                passed << (now->objectName().isEmpty() ? QString::fromLatin1(now->metaObject()->className()) : now->objectName());
                EXPECT_TRUE(now->isVisible() && now->window() == &window) << passed.last().toStdString();
            }
            ASSERT_NE(focusedList(), nullptr) << keys.toStdString() << " reaches the bar: " << passed.join(QLatin1Char(' ')).toStdString();
        };
        const auto expectOpened = [&](const Place &to) {
            const QString expected = window.NavBarGroups()[to.group].Items[to.item].PluginName;
            const bool shown = WaitInLoop(
                [&] {
                    const Shown now = WhatIsShown(window, false);
                    return now.view == expected && now.marked == QList<Place>{to} && WhatIsShown(window).OnScreen();
                },
                kSwitchLimit);
            Picture(QStringLiteral("keys-to-") + Caption(window, to));
            ASSERT_TRUE(shown) << expected.toStdString() << ": " << WhatIsShown(window).Describe().toStdString();
            ++items;
        };
        // Every menu of the view by its Alt key, and the first by F10.
        const auto openEveryMenu = [&](const Place &at) {
            const QList<QToolButton *> buttons = MenuButtons(window);
            ASSERT_FALSE(buttons.isEmpty()) << Caption(window, at).toStdString() << " has menus";
            QList<std::pair<QString, QMenu *>> keys;
            for (QToolButton *button : buttons) {
                const QString key = MnemonicKey(button->text());
                ASSERT_FALSE(key.isEmpty()) << button->text().toStdString() << " shows its Alt letter";
                keys.push_back({QStringLiteral("alt+") + key, button->defaultAction()->menu()});
            }
            keys.push_back({QStringLiteral("F10"), buttons.first()->defaultAction()->menu()});
            for (const auto &[key, menu] : keys) {
                const std::string label = (Caption(window, at) + QLatin1Char(' ') + key).toStdString();
                ASSERT_TRUE(X().Key(key));
                // The menu runs its own loop under the key's handling: it is looked at and closed
                // from in there.
                bool open = false;
                const QString picture = Caption(window, at) + QLatin1Char('-') + key;
                const bool closed = WaitInLoop(
                    [&, menu] {
                        if (!open && QApplication::activePopupWidget() == menu && XServer::NotOnScreen(menu) < kStaleShare) {
                            open = true;
                            Picture(picture);
                            X().Key(QStringLiteral("Escape"));
                        }
                        return open && QApplication::activePopupWidget() == nullptr;
                    },
                    kSwitchLimit);
                EXPECT_TRUE(open) << label << " opens " << menu->title().toStdString();
                if (!open) {
                    Picture(picture);
                    X().Key(QStringLiteral("Escape"));
                }
                ASSERT_TRUE(closed || WaitInLoop([] { return QApplication::activePopupWidget() == nullptr; }, kSwitchLimit)) << label;
                menusOpened += open ? 1 : 0;
            }
        };

        tabToTheBar(QStringLiteral("Tab"));
        Place at{window.ActiveGroup(), window.ActiveItem()};
        ASSERT_EQ(window.dxNavBar()->indexOf(focusedList()), at.group);
        openEveryMenu(at);
        // Down and Enter from the first item to the last, across the groups; then Up and Enter back.
        for (const int step : {1, -1})
            for (;;) {
                const int index = int(places.indexOf(at)) + step;
                if (index < 0 || index >= places.size())
                    break;
                tabToTheBar(step > 0 ? QStringLiteral("shift+Tab") : QStringLiteral("Tab"));
                QListWidget *list = focusedList();
                // From where the bar's cursor is to the open item, then one on.
                const int from = window.dxNavBar()->indexOf(list);
                int row = list->currentRow();
                int position = int(places.indexOf(Place{from, row}));
                while (position != index) {
                    ASSERT_TRUE(X().Key(position < index ? QStringLiteral("Down") : QStringLiteral("Up")));
                    const int wanted = position < index ? position + 1 : position - 1;
                    ASSERT_TRUE(WaitInLoop(
                        [&] {
                            QListWidget *now = focusedList();
                            return now && Place{int(window.dxNavBar()->indexOf(now)), now->currentRow()} == places[wanted] &&
                                   window.dxNavBar()->currentIndex() == places[wanted].group;
                        },
                        kSwitchLimit))
                        << "the arrow key goes on to " << Caption(window, places[wanted]).toStdString();
                    position = wanted;
                }
                ASSERT_TRUE(X().Key(QStringLiteral("Return")));
                at = places[index];
                expectOpened(at);
                if (step > 0)
                    openEveryMenu(at);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
    };
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_GE(items, 8);
    EXPECT_GE(menusOpened, 20);
}
