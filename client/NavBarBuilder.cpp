#include "client/NavBarBuilder.h"

#include "client/THYModuleManager.h"
#include "client/uPluginManager.h"

#include "foundation/QuorvaLogFile.h"

using namespace Quorva;

namespace {

const QString kSender = QStringLiteral("Quorva");

} // namespace

QList<TNavBarGroup> TNavBarBuilder::CreateNavBarGroups(const TextSource &text)
{
    QList<TNavBarGroup> groups;
    for (int number = FirstGroupText; number <= LastGroupText; ++number) {
        const QString caption = text(number);
        if (caption.isEmpty())
            break;
        groups << TNavBarGroup{caption, number - FirstGroupText, {}};
    }
    return groups;
}

QList<TNavBarGroup> TNavBarBuilder::LoadHydras(const TQorPluginManager &plugins, int userLevel, const TextSource &text)
{
    QList<TNavBarGroup> groups = CreateNavBarGroups(text);
    for (int n = 0; n < plugins.GetPluginCount(TBasePlugin::NavBarKind); ++n) {
        const TBasePlugin *plugin = plugins.GetPlugin(TBasePlugin::NavBarKind, n);
        try {
            const QorPtr<INavBarPluginCtrl> controller = host_cast<INavBarPluginCtrl>(plugin->Controller());
            if (!controller)
                continue;
            if (!HasRights(controller->GetRequiredRights(), userLevel))
                continue;
            const QString name = plugin->Name();
            const int group = controller->GetGroupIndex(name);
            if (group < 0 || group >= groups.size()) {
                AddToLog(llSevere, kSender, QStringLiteral("LoadHydras"),
                         QStringLiteral("%1: no navigation group %2").arg(name).arg(group));
                continue;
            }
            TNavBarItem item;
            item.Tag = n;
            item.PluginName = name;
            item.Bitmap = controller->GetBitmap(name);
            controller->GetCaption(name, item.Caption);
            groups[group].Items << item;
        } catch (const std::exception &e) {
            AddToLog(llSevere, kSender, QStringLiteral("LoadHydras"), QString::fromUtf8(e.what()));
        }
    }
    FixNavBarGroups(groups);
    return groups;
}

void TNavBarBuilder::FixNavBarGroups(QList<TNavBarGroup> &groups)
{
    for (int i = 0; i < groups.size();) {
        if (groups[i].Items.isEmpty())
            groups.removeAt(i);
        else
            ++i;
    }
}
