// What the main window's navigation bar holds, decided without a window: the groups named by
// language texts 20001 to 20019 (up to the first empty one), one item per navigation-bar
// plug-in whose whole rights mask the user's level holds, and no group left empty.
#pragma once

#include <QList>
#include <QPixmap>
#include <QString>

#include <functional>

class TQorPluginManager;

struct TNavBarItem
{
    QString Caption;
    QPixmap Bitmap;
    // The plug-in's place among the navigation-bar plug-ins (GetPlugin(0, Tag)).
    int Tag = 0;
    QString PluginName;
};

struct TNavBarGroup
{
    QString Caption;
    // Its language number minus 20001.
    int Index = 0;
    QList<TNavBarItem> Items;
};

class TNavBarBuilder
{
public:
    static constexpr int FirstGroupText = 20001;
    static constexpr int LastGroupText = 20019;

    // text(number) gives the language text, empty when the module has none.
    using TextSource = std::function<QString(int number)>;

    static bool HasRights(int requiredMask, int userLevel) { return (requiredMask & userLevel) == requiredMask; }

    static QList<TNavBarGroup> CreateNavBarGroups(const TextSource &text);
    // The groups with their items, empty groups removed.
    static QList<TNavBarGroup> LoadHydras(const TQorPluginManager &plugins, int userLevel, const TextSource &text);
    static void FixNavBarGroups(QList<TNavBarGroup> &groups);
};
