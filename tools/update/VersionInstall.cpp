#include "tools/update/VersionInstall.h"

#include "updating/uDMUpdater.h"

#include "foundation/FileResolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <filesystem>

namespace {

std::string text(const QString &value)
{
    return value.toStdString();
}

} // namespace

TVersionInstall::TVersionInstall(const QString &folder)
    : m_folder(QDir(folder).absolutePath())
{
}

TVersionInstall::~TVersionInstall() = default;

QString TVersionInstall::RelativeTarget(const QString &listedName)
{
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    // The server writes one backslash before every name; the rest must stay inside the folder.
    QString name = listedName;
    if (name.startsWith(QLatin1Char('\\')))
        name.remove(0, 1);
    const QStringList parts = name.split(separators);
    for (const QString &part : parts)
        if (!FileResolver::isPlainFileName(part))
            throw EVersionInstallError(text(QStringLiteral("Refused file name \"%1\" from the server").arg(listedName)));
    QString relative = parts.join(QLatin1Char('/'));
    if (relative.right(3).toUpper() == QLatin1String("EX_"))
        relative.replace(relative.size() - 1, 1, QLatin1Char('e'));
    return relative;
}

QString TVersionInstall::TargetPath(const QString &listedName) const
{
    // An installed file or folder of another case is the one the name means, as it was on Windows.
    QString path = m_folder;
    for (const QString &part : RelativeTarget(listedName).split(QLatin1Char('/')))
        path = FileResolver::resolve(path, part);
    return path;
}

void TVersionInstall::Stage(const QString &listedName, const QByteArray &bytes)
{
    const QString finalPath = TargetPath(listedName);
    if (!m_staging) {
        // Beside the installation, so the move into place is a rename on the same file system.
        m_staging = std::make_unique<QTemporaryDir>(QDir(m_folder).filePath(QStringLiteral(".update-XXXXXX")));
        if (!m_staging->isValid())
            throw EVersionInstallError(text(QStringLiteral("Cannot write into %1: %2").arg(m_folder, m_staging->errorString())));
    }
    const QString stagedPath = m_staging->filePath(QString::number(m_files.size()));
    QSaveFile file(stagedPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EVersionInstallError(text(QStringLiteral("Cannot write %1: %2").arg(finalPath, file.errorString())));
    const QFileDevice::Permissions readable =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const QFileDevice::Permissions runnable = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QFile::setPermissions(stagedPath, TDMUpdater::IsProgramFile(finalPath) ? readable | runnable : readable);
    m_files.push_back({stagedPath, finalPath});
}

void TVersionInstall::Commit()
{
    // Everything that could stop the moves half way is found before anything changes.
    for (const Staged &file : m_files) {
        if (QFileInfo(file.finalPath).isDir())
            throw EVersionInstallError(text(QStringLiteral("%1 is a folder, not a file").arg(file.finalPath)));
        QFileInfo existing(QFileInfo(file.finalPath).path());
        while (!existing.exists())
            existing = QFileInfo(existing.path());
        if (!existing.isDir())
            throw EVersionInstallError(text(QStringLiteral("%1 is a file, not a folder").arg(existing.filePath())));
    }
    for (const Staged &file : m_files) {
        const QString parent = QFileInfo(file.finalPath).path();
        if (!QDir().mkpath(parent))
            throw EVersionInstallError(text(QStringLiteral("Cannot create the folder %1").arg(parent)));
    }
    for (const Staged &file : m_files) {
        // A rename replaces the old file in one step.
        std::error_code code;
        std::filesystem::rename(QFile::encodeName(file.stagedPath).toStdString(),
                                QFile::encodeName(file.finalPath).toStdString(), code);
        if (code)
            throw EVersionInstallError(
                text(QStringLiteral("Cannot put %1 in place: %2").arg(file.finalPath, QString::fromStdString(code.message()))));
    }
    m_files.clear();
    m_staging.reset();
}
