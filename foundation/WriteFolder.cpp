#include "foundation/WriteFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

QString UserStateFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return withSlash(state) + QStringLiteral("Orbek/Kestrova/");
}

QString WriteFolderOf(const QString &programFolder)
{
    // As this process's own user and groups see it, not as the account that started it.
    if (::faccessat(AT_FDCWD, QFile::encodeName(programFolder).constData(), W_OK, AT_EACCESS) == 0)
        return withSlash(programFolder);
    const QString folder = UserStateFolder();
    // The user's alone: a log names the computer and its servers.
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}
