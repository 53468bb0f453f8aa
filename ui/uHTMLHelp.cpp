#include "ui/uHTMLHelp.h"

#include "foundation/FileResolver.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QFileInfo>

namespace {

struct THelpState
{
    bool Installed = false;
    QString HelpFile;
    TconHTMLHelp::Opener Open;
};

THelpState &State()
{
    static THelpState state;
    return state;
}

QString ExistingPage(const QString &folder, const QString &name)
{
    if (name.isEmpty() || !FileResolver::isPlainFileName(name))
        return {};
    const QString page = FileResolver::resolve(folder, name + QStringLiteral(".html"));
    return QFileInfo(page).isFile() ? page : QString();
}

} // namespace

TconHTMLHelp::TCall TconHTMLHelp::Map(int request, const QVariant &data)
{
    switch (request) {
    case Context:
    case ContextPopup:
        return {DisplayContext, data};
    case Quit:
        return {CloseAll, 0};
    case Contents:
        return {DisplayToc, 0};
    case Finder:
        return {DisplayTopic, data};
    case Key:
        return {DisplayIndex, data};
    default:
        return {DisplayTopic, 0};
    }
}

void TconHTMLHelp::Install(const QString &helpFile)
{
    THelpState &state = State();
    state.Installed = true;
    state.HelpFile = helpFile;
}

void TconHTMLHelp::Remove()
{
    State().Installed = false;
    State().HelpFile.clear();
}

void TconHTMLHelp::SetOpener(Opener opener)
{
    State().Open = std::move(opener);
}

bool TconHTMLHelp::Installed()
{
    return State().Installed;
}

QString TconHTMLHelp::HelpFile()
{
    return State().HelpFile;
}

QString TconHTMLHelp::PageFor(const TCall &call)
{
    if (call.Command == CloseAll)
        return {};
    const QString contents = State().HelpFile;
    const QString folder = QFileInfo(contents).absolutePath();
    // A topic, an index key or a context number each may have a page of that name.
    QString name;
    if (call.Command == DisplayTopic || call.Command == DisplayIndex || call.Command == DisplayContext)
        name = call.Data.toString();
    if (name == QLatin1String("0"))
        name.clear();
    const QString page = ExistingPage(folder, name);
    return page.isEmpty() ? contents : page;
}

bool TconHTMLHelp::HelpCommand(int request, const QVariant &data)
{
    const THelpState &state = State();
    if (!state.Installed)
        return false;
    const QString page = PageFor(Map(request, data));
    if (page.isEmpty())
        return false;
    if (!QFileInfo::exists(page)) {
        AddToLog(llWarning, QStringLiteral("Quorva"), QStringLiteral("HelpCommand"), QStringLiteral("No help page ") + page);
        return false;
    }
    const auto open = [&state](const QString &address) { return state.Open ? state.Open(QUrl(address)) : OpenURL(address); };
    if (OpenFileOrTellPath(nullptr, page, QStringLiteral("Help"), NotOpenedText, open))
        return true;
    AddToLog(llWarning, QStringLiteral("Quorva"), QStringLiteral("HelpCommand"), QStringLiteral("No program opens ") + page);
    return false;
}

bool TconHTMLHelp::ShowTopic(const QString &topic)
{
    return HelpCommand(Finder, topic);
}
