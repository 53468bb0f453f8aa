#include "tools/tolvik/uQorPathHelper.h"

#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"

#include <QDir>
#include <QFileInfo>

namespace {

TQorFolderSet &folders()
{
    static TQorFolderSet set;
    return set;
}

QString canonical(const QString &path)
{
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : resolved;
}

bool inside(const QString &path, const QString &folder)
{
    const QString root = canonical(folder);
    return !root.isEmpty() && (path == root || path.startsWith(root + QLatin1Char('/')));
}

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QString TQorSystemPaths::GetSystemFolder(int folderId)
{
    if (folderId == TQorPathHelper::ProgramFilesFolder)
        return QStringLiteral("/opt");
    try {
        return GetSpecialFolder(nullptr, folderId);
    } catch (const std::exception &error) {
        throw EQorSysInfo(std::string("GetSystemFolder:\t") + error.what());
    }
}

void TQorPathHelper::Initialize(const QString &toolFolder, const QString &senderKeyFile)
{
    TQorFolderSet set;
    set.Windows = QStringLiteral("/etc");
    set.System = QStringLiteral("/usr/lib");
    set.Tool = withoutTrailingSeparator(toolFolder);
    set.Programs = TQorSystemPaths::GetSystemFolder(ProgramFilesFolder);
    set.Readable << set.Tool;
    const QString appData = TQorSystemPaths::GetSystemFolder(int(SpecialFolder::AppData));
    if (!appData.isEmpty())
        set.Readable << QDir(appData).filePath(QStringLiteral("Orbek"));
    set.Private << TQorReg::StorePath(HKEY_CURRENT_USER) << TQorReg::StorePath(HKEY_LOCAL_MACHINE) << senderKeyFile;
    SetFolders(set);
}

void TQorPathHelper::SetFolders(const TQorFolderSet &set)
{
    folders() = set;
}

const TQorFolderSet &TQorPathHelper::Folders()
{
    return folders();
}

QString TQorPathHelper::ExpandPath(const QString &text)
{
    const TQorFolderSet &set = folders();
    QString path = text;
    // The tool's folder goes in last, so that words inside its own path stay as they are.
    for (const auto &[word, folder] : {std::pair{QStringLiteral("PROGRAMDIR"), set.Programs},
                                       std::pair{QStringLiteral("WINDIR"), set.Windows},
                                       std::pair{QStringLiteral("WINSYS"), set.System},
                                       std::pair{QStringLiteral("APPDIR"), set.Tool}})
        path.replace(word, withoutTrailingSeparator(folder), Qt::CaseInsensitive);
    return path;
}

bool TQorPathHelper::MayRead(const QString &path)
{
    const QString resolved = canonical(path);
    for (const QString &secret : folders().Private)
        if (!secret.isEmpty() && resolved == canonical(secret))
            return false;
    for (const QString &root : folders().Readable)
        if (inside(resolved, root))
            return true;
    return false;
}
