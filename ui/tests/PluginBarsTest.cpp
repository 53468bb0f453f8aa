// The host's copies of a plug-in's bars: the menu bar opens a menu at the press on its caption,
// a tool bar's buttons keep running their actions.
#include "ui/uPluginBars.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

TEST(PluginBars, TheMenuBarsCopyOpensItsMenusAtOnceAndAToolBarKeepsItsActions)
{
    QMainWindow window;
    QMenu items;
    items.addAction(QStringLiteral("Exit"));
    const auto barWith = [&](const QString &name) {
        auto *bar = new QToolBar(QStringLiteral("Menu"), &window);
        bar->setObjectName(name);
        auto *holder = bar->addAction(QStringLiteral("File"));
        holder->setMenu(&items);
        bar->addAction(QStringLiteral("Refresh"));
        return bar;
    };
    struct Case
    {
        const char *name;
        QToolButton::ToolButtonPopupMode menuMode;
    };
    for (const Case &c : {Case{"barMenu", QToolButton::InstantPopup}, Case{"barTools", QToolButton::MenuButtonPopup}}) {
        QToolBar *copy = CopyPluginBar(barWith(QString::fromLatin1(c.name)), &window);
        ASSERT_EQ(copy->actions().size(), 2) << c.name;
        EXPECT_EQ(copy->windowTitle(), QStringLiteral("Menu"));
        EXPECT_FALSE(copy->isMovable());
        EXPECT_EQ(copy->iconSize(), QSize(24, 24));
        auto *file = qobject_cast<QToolButton *>(copy->widgetForAction(copy->actions()[0]));
        auto *refresh = qobject_cast<QToolButton *>(copy->widgetForAction(copy->actions()[1]));
        ASSERT_TRUE(file && refresh) << c.name;
        EXPECT_EQ(file->popupMode(), c.menuMode) << c.name;
        EXPECT_EQ(refresh->popupMode(), QToolButton::DelayedPopup) << c.name << ": a plain action is left as it is";
        // The menu bar's caption carries its Alt letter, also after the plug-in names it anew.
        EXPECT_EQ(file->text(), QString::fromLatin1(c.menuMode == QToolButton::InstantPopup ? "&File" : "File")) << c.name;
        copy->actions()[0]->setText(QStringLiteral("Datei"));
        EXPECT_EQ(file->text(), QString::fromLatin1(c.menuMode == QToolButton::InstantPopup ? "&Datei" : "Datei")) << c.name;
    }
    EXPECT_NE(CopyPluginBar(nullptr, &window), nullptr) << "a missing bar gives an empty one";
}

TEST(PluginBars, EachMenuGetsItsOwnOrItsFirstFreeLetter)
{
    const struct
    {
        QStringList Captions, Marked;
    } cases[] = {
        {{"File", "Edit", "View", "Tools", "Help"}, {"&File", "&Edit", "&View", "&Tools", "&Help"}},
        // A caption's own letter wins over an earlier caption's first letter.
        {{"File", "Families", "&Groups", "Format", "gallery"}, {"&File", "F&amilies", "&Groups", "F&ormat", "ga&llery"}},
        {{"Save && Close", "Sa&ve"}, {"&Save && Close", "Sa&ve"}},
        {{"", "12"}, {"", "&12"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MenuMnemonics(c.Captions), c.Marked) << c.Captions.join(QLatin1Char('|')).toStdString();
}
