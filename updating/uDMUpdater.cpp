#include "updating/uDMUpdater.h"

#include "updating/FileDownload.h"
#include "updating/SoapCall.h"
#include "updating/WebServiceSettings.h"
#include "updating/uSystemPathsAndFolders.h"

#include "foundation/FileResolver.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <filesystem>
#include <limits>

namespace {

const QString kDefaultProduct = QStringLiteral("Kestrova_Server");
const QString kDevelopmentProduct = QStringLiteral("Kestrova_Server_Development");
const QString kDefaultProgram = QStringLiteral("Brennic");
const QString kSwitchProduct = QStringLiteral("VivAdaduz");
const QString kParkedSuffix = QStringLiteral(".new");
const QString kCrLf = QStringLiteral("\r\n");

// Removes the temporary files of a download that did not reach its end, and the folders
// made for them, so a failed update leaves the folder as it found it.
class StagingGuard
{
public:
    QStringList paths;
    QStringList folders;
    ~StagingGuard()
    {
        for (const QString &path : paths)
            QFile::remove(path);
        for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder)
            QDir().rmdir(*folder);
    }
    void Committed() { paths.clear(); folders.clear(); }
};

// Makes the folder and every missing one above it; the new ones are added to made, top first.
bool makeFolder(const QString &folder, QStringList &made)
{
    QStringList missing;
    for (QFileInfo info(folder); !info.exists(); info = QFileInfo(info.path())) {
        missing.prepend(info.absoluteFilePath());
        if (info.path() == info.filePath())
            break;
    }
    for (const QString &path : missing) {
        if (!QDir().mkdir(path))
            return false;
        made << path;
    }
    return true;
}

int clampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

} // namespace

TDMUpdater::TDMUpdater(const QString &programFolder, QObject *owner)
    : QObject(owner)
{
    const QString folder = programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
    const TvoLocalConfigFile settings(WebServiceSettings::SettingsFile(folder));
    m_developmentMode = settings.ReadString(QStringLiteral("Updater"), QStringLiteral("Development"),
                                            QStringLiteral("Diabled")).toUpper() == QLatin1String("ENABLED");
    if (m_developmentMode)
        AddToLog(llDebug, QStringLiteral("Updater"), QString(), QStringLiteral("Using development mode"));
    m_host = WebServiceSettings::Host(folder, WebServiceSettings::InstallationKey);
}

void TDMUpdater::Progress(int position, const QString &text)
{
    if (m_progress)
        m_progress->SetProgress(position, text);
}

bool TDMUpdater::CheckForUpdate(const QString &folder, const QString &programFileName)
{
    if (m_productShortName.isEmpty())
        m_productShortName = kDefaultProduct;
    const QString fileName = programFileName.isEmpty() ? kDefaultProgram : programFileName;
    m_languageId = DefaultLanguage;
    if (m_host.isEmpty()) {
        AddToLog(llInformation, QStringLiteral("DMUpdater"), QStringLiteral("CheckForUpdate"),
                 QStringLiteral("No installation service configured; no update"));
        return false;
    }
    if (m_progress)
        m_progress->Show();
    const QString switchProgram = QLatin1String(WebServiceSettings::SwitchProgram);
    if (UpdateProduct(kSwitchProduct, folder, switchProgram, false, false))
        AddToLog(llInformation, QStringLiteral("Update"), QStringLiteral("new version of"), switchProgram);
    m_targetProduct = m_developmentMode ? kDevelopmentProduct : m_productShortName;
    const bool result = UpdateProduct(m_targetProduct, folder, fileName, true, false);
    if (m_progress)
        m_progress->Hide();
    return result;
}

bool TDMUpdater::UpdateProduct(const QString &productShortName, const QString &folder, const QString &localFileName,
                               bool park, bool force)
{
    Progress(0, localFileName);
    if (m_host.isEmpty()) {
        AddToLog(llInformation, QStringLiteral("DMUpdater"), QStringLiteral("Updateproduct"),
                 QStringLiteral("No installation service configured; no update of %1").arg(productShortName));
        return false;
    }
    try {
        QString localVersion = QStringLiteral("0");
        const QString localPath = FileResolver::resolve(folder, localFileName);
        if (QFileInfo::exists(localPath)) {
            const QString stamped = TvoSysInfo::GetFileVersion(localPath);
            if (!stamped.isEmpty())
                localVersion = stamped;
        }
        const ArrayOfInstallationFile files = GetProductFiles(productShortName, m_languageId);
        bool result = false;
        for (const InstallationFile &file : files) {
            if (file.FileName.compare(localFileName, Qt::CaseInsensitive) == 0
                && TQorVerCompare::Compare(localVersion, file.Version) > 0) {
                result = true;
                break;
            }
            result = force;
        }
        if (!result)
            return false;
        DownloadAll(files, folder, localFileName, park);
        return true;
    } catch (const std::exception &error) {
        AddToLog(llSevere, QStringLiteral("DMUpdater"), QStringLiteral("Updateproduct"), QString::fromStdString(error.what()));
        return false;
    }
}

ArrayOfInstallationFile TDMUpdater::GetProductFiles(const QString &productShortName, qint32 languageId) const
{
    try {
        QString deliveredVersion;
        return TInstallationProvider(m_host).GetProductFiles(productShortName, languageId, QStringLiteral("0"),
                                                             deliveredVersion);
    } catch (const std::exception &error) {
        // The caller's message is the fixed one; the cause is kept for whoever reads the log closely.
        AddToLog(llDebug, QStringLiteral("DMUpdater"), QStringLiteral("GetProductFiles"),
                 QString::fromStdString(error.what()));
        throw EUpdateError("Unable to connect to server");
    }
}

void TDMUpdater::DownloadAll(const ArrayOfInstallationFile &files, const QString &folder, const QString &localFileName,
                             bool park)
{
    struct Plan
    {
        QString url;
        QString finalPath;
        QString sizeText;
    };
    // Every name is checked before the first byte is fetched, so a hostile list changes nothing.
    QList<Plan> plans;
    for (const InstallationFile &file : files) {
        QString target = TargetPath(folder, file.FileName);
        const QFileInfo info(target);
        // The program keeps the spelling the hand-over list uses; other names find their file
        // whatever its case.
        const QString name = file.FileName.compare(localFileName, Qt::CaseInsensitive) == 0 ? localFileName
                                                                                            : info.fileName();
        target = FileResolver::resolve(info.path(), name);
        if (park && IsProgramFile(target))
            target = ParkedName(target);
        // Found now rather than at the move, when other files would already be in place.
        if (QFileInfo(target).isDir())
            throw EUpdateError(QStringLiteral("%1 is a folder, not a file").arg(target).toStdString());
        plans << Plan{file.DownloadPath, target, file.Size};
    }
    std::vector<StagedFile> staged;
    StagingGuard guard;
    for (const Plan &plan : plans) {
        staged.push_back(Fetch(plan.url, plan.finalPath, plan.sizeText, guard.folders));
        guard.paths << staged.back().tempPath;
    }
    for (const StagedFile &file : staged) {
        Commit(file);
        guard.paths.removeOne(file.tempPath);
    }
    guard.Committed();
}

void TDMUpdater::Download(const QString &url, const QString &targetPath, const QString &sizeText, bool park)
{
    const QString target = park && IsProgramFile(targetPath) ? ParkedName(targetPath) : targetPath;
    StagingGuard guard;
    const StagedFile file = Fetch(url, target, sizeText, guard.folders);
    guard.paths << file.tempPath;
    Commit(file);
    guard.Committed();
}

TDMUpdater::StagedFile TDMUpdater::Fetch(const QString &url, const QString &finalPath, const QString &sizeText,
                                         QStringList &madeFolders)
{
    bool sizeOk = false;
    const qint64 size = sizeText.trimmed().toLongLong(&sizeOk);
    if (!sizeOk || size < 0)
        throw EUpdateError(QStringLiteral("%1 has no valid size (\"%2\")").arg(finalPath, sizeText).toStdString());
    const QUrl source(url);
    // Only the web: a list naming "file:" or other schemes would copy this machine's own files.
    if (!source.isValid() || (source.scheme() != QLatin1String("http") && source.scheme() != QLatin1String("https")))
        throw EUpdateError(QStringLiteral("Refused download address \"%1\"").arg(url).toStdString());

    const QString folder = QFileInfo(finalPath).path();
    if (!makeFolder(folder, madeFolders))
        throw EUpdateError(QStringLiteral("Cannot create the folder %1").arg(folder).toStdString());
    const QString temp = GetTempFileNameIn(folder);
    if (temp.isEmpty())
        throw EUpdateError(QStringLiteral("Cannot create a file in %1").arg(folder).toStdString());

    const QString displayName = QFileInfo(finalPath).fileName();
    Progress(0, QString());
    if (m_progress)
        m_progress->SetMax(clampToInt(size));
    QString error;
    const bool whole = TFileDownload::Fetch(source, temp, size, finalPath, [this, &displayName](qint64 total) {
        Progress(clampToInt(total), QStringLiteral("%1 (%2)").arg(displayName, TQorFolders::FormatSize(clampToInt(total))));
    }, error);
    if (!whole) {
        QFile::remove(temp);
        throw EUpdateError(error.toStdString());
    }
    return {temp, finalPath};
}

void TDMUpdater::Commit(const StagedFile &file)
{
    const QFileDevice::Permissions readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                            | QFileDevice::ReadOther;
    const QFileDevice::Permissions runnable = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QFile::setPermissions(file.tempPath, IsProgramFile(file.finalPath) || file.finalPath.endsWith(kParkedSuffix)
                                             ? readable | runnable
                                             : readable);
    // A rename replaces the old file in one step; a running program keeps the file it started from.
    std::error_code code;
    std::filesystem::rename(QFile::encodeName(file.tempPath).toStdString(),
                            QFile::encodeName(file.finalPath).toStdString(), code);
    if (code)
        throw EUpdateError(QStringLiteral("Cannot put %1 in place: %2")
                               .arg(file.finalPath, QString::fromStdString(code.message()))
                               .toStdString());
}

QString TDMUpdater::TargetPath(const QString &folder, const QString &listedName)
{
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    const QStringList parts = listedName.split(separators);
    for (const QString &part : parts)
        if (!FileResolver::isPlainFileName(part))
            throw EUpdateError(QStringLiteral("Refused file name \"%1\" from the service").arg(listedName).toStdString());
    return QDir(folder).filePath(parts.join(QLatin1Char('/')));
}

bool TDMUpdater::IsProgramFile(const QString &path)
{
    return !QFileInfo(path).fileName().contains(QLatin1Char('.'));
}

QString TDMUpdater::ParkedName(const QString &path)
{
    return path + kParkedSuffix;
}

QString TDMUpdater::HandOverText(const QString &programFileName)
{
    return programFileName + kCrLf + ParkedName(programFileName) + kCrLf + QStringLiteral("True") + kCrLf
         + QStringLiteral("WriteLog") + kCrLf;
}

bool TDMUpdater::HandOver(const QString &folder, const QString &programFileName, const QStringList &arguments)
{
    const QString switchProgram = QDir(folder).filePath(QLatin1String(WebServiceSettings::SwitchProgram));
    if (RunProgram(switchProgram, QStringList{HandOverText(programFileName)} + arguments))
        return true;
    AddToLog(llSevere, QStringLiteral("DMUpdater"), QStringLiteral("HandOver"),
             QStringLiteral("Cannot start %1").arg(switchProgram));
    return false;
}

bool TDMUpdater::HandOverInProcess(const QString &folder, const QString &programFileName, const QStringList &arguments)
{
    const QString switchProgram = QDir(folder).filePath(QLatin1String(WebServiceSettings::SwitchProgram));
    AddToLog(llInformation, QStringLiteral("DMUpdater"), QStringLiteral("HandOver"),
             QStringLiteral("%1 becomes %2 in process %3").arg(programFileName, switchProgram).arg(QCoreApplication::applicationPid()));
    QString error;
    ReplaceProgram(switchProgram, QStringList{QLatin1String(WebServiceSettings::SwitchInProcessOption), HandOverText(programFileName)} + arguments, error);
    AddToLog(llSevere, QStringLiteral("DMUpdater"), QStringLiteral("HandOver"),
             QStringLiteral("Cannot start %1: %2").arg(switchProgram, error));
    return false;
}
