#include "tools/update/UpdateRun.h"

#include "tools/update/UpdateTexts.h"
#include "tools/update/VersionInstall.h"
#include "tools/update/uDM.h"

#include "updating/uSystemPathsAndFolders.h"

#include "foundation/FileResolver.h"
#include "foundation/IniFile.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString kMain = QStringLiteral("Main");

void note(const QString &context, const QString &text, LogLevel level = llInformation)
{
    AddToLog(level, kMain, context, text);
}

} // namespace

bool TUpdateRun::MayInstall(const QString &last, const QString &candidate)
{
    if (last.isEmpty())
        return !candidate.isEmpty();
    try {
        return TQorVerCompare::Compare(last, candidate) > 0;
    } catch (const std::exception &) {
        return false;
    }
}

TUpdateOrder TUpdateOrder::FromArguments(const QStringList &arguments)
{
    TUpdateOrder order;
    order.ServerURL = arguments.value(0);
    order.AppID = arguments.value(1);
    order.ClientProgram = arguments.value(2);
    order.ClientArguments = arguments.mid(3);
    order.HasServer = arguments.size() > 2;
    return order;
}

TUpdateRun::TUpdateRun(TDM &dm, IUpdateView &view, const QString &folder, const QString &currentVersion)
    : m_dm(dm), m_view(view), m_folder(QDir::cleanPath(QDir(folder).absolutePath())), m_currentVersion(currentVersion)
{
    m_progress = QObject::connect(&m_dm, &TDM::DownloadProgress, &m_dm, [this](int percent) { m_view.SetBar(percent); });
}

TUpdateRun::~TUpdateRun()
{
    QObject::disconnect(m_progress);
}

void TUpdateRun::Run(const QStringList &commandLine)
{
    const TUpdateOrder order = TUpdateOrder::FromArguments(commandLine.mid(1));
    try {
        m_view.SetBusy(true);
        m_view.SetBar(5);
        note(QStringLiteral("Action"), QStringLiteral("Start"));
        note(QStringLiteral("Param"), commandLine.join(QLatin1Char(' ')));
        if (order.HasServer && Connect(order.ServerURL))
            UpdateLoop(order.AppID);
        StartClient(order);
    } catch (const std::exception &error) {
        m_view.ShowError(QString::fromStdString(error.what()), UpdateTexts::Text(UpdateTexts::Title));
    }
    m_view.SetRefreshing(false);
    m_view.SetBusy(false);
}

bool TUpdateRun::Connect(const QString &url)
{
    try {
        const QUrl target(url);
        if (!target.isValid() || (target.scheme() != QLatin1String("http") && target.scheme() != QLatin1String("https")))
            throw std::runtime_error("No server address: " + url.toStdString());
        m_dm.SetTargetURL(url);
        // Reaching the server is what opening the channel proves.
        m_dm.ProbeService()->ProbeServer();
        m_view.SetBar(7);
        m_view.SetStatus(UpdateTexts::Text(UpdateTexts::Querying));
        m_view.ProcessMessages();
        return true;
    } catch (const std::exception &error) {
        note(QStringLiteral("Connect"), QString::fromStdString(error.what()), llWarning);
        m_view.ShowError(UpdateTexts::Text(UpdateTexts::NoUpdateService), UpdateTexts::Text(UpdateTexts::Title));
        return false;
    }
}

void TUpdateRun::UpdateLoop(const QString &appId)
{
    note(QStringLiteral("Param"), QStringLiteral("Connected"));
    m_view.SetStatus(UpdateTexts::Text(UpdateTexts::Located));
    m_view.SetBar(10);
    m_view.ProcessMessages();
    // A version installed without a new client program is known by the recorded one alone.
    QString current = TQorVerCompare::Higher(m_currentVersion, RecordedVersion());
    note(QStringLiteral("Existing version"), current);
    m_view.SetRefreshing(true);

    QString newVersion;
    bool newer = AskNewer(appId, current, newVersion);
    QString last = current;
    while (newer) {
        note(QStringLiteral("new update"), newVersion);
        // A server that offers the same version again would keep the loop going for ever.
        if (!MayInstall(last, newVersion)) {
            note(QStringLiteral("new update"),
                 QStringLiteral("%1 is not newer than %2; no further update").arg(newVersion, last), llWarning);
            break;
        }
        m_view.SetStatus(UpdateTexts::Text(UpdateTexts::NewVersion));
        m_view.ProcessMessages();
        m_view.SetBarMaximum(100);
        m_view.SetBar(0);
        if (!Download(newVersion)) {
            // A path makes no title: the box is the updater's, the version and folder its text.
            m_view.ShowError(QStringLiteral("Error during download\rNewVersion:") + newVersion + QLatin1Char(' ') + m_folder,
                             UpdateTexts::Text(UpdateTexts::Title));
            break;
        }
        current = RecordVersion(newVersion);
        last = newVersion;
        m_view.Installed(newVersion);
        newer = AskNewer(appId, current, newVersion);
    }
}

bool TUpdateRun::AskNewer(const QString &appId, const QString &clientVersion, QString &newVersion)
{
    try {
        return m_dm.LogOnService()->UpdateClientEx(appId, clientVersion, newVersion);
    } catch (const std::exception &error) {
        note(QStringLiteral("UpdateClientEx"), QString::fromStdString(error.what()), llWarning);
        m_view.ShowError(QString::fromStdString(error.what()), UpdateTexts::Text(UpdateTexts::Title));
        newVersion.clear();
        return false;
    }
}

bool TUpdateRun::Download(const QString &version)
{
    m_dm.SetDownloading(true);
    try {
        const std::unique_ptr<UpdateFiles> files = m_dm.LogOnService()->DownloadClientUpdateEX(DownloadAppID, version);
        if (!files) {
            note(QString(), QStringLiteral("Filelist is empty, closing"));
            throw EVersionInstallError("Unable to fetch file list");
        }
        const int count = files->GetCount();
        if (count > 0) {
            TVersionInstall install(m_folder);
            // A single refused name refuses the version before anything is written.
            for (int i = 0; i < count; ++i)
                install.TargetPath(files->Items(i).FileName);
            const int step = 100 / count;
            for (int i = 0; i < count; ++i) {
                m_view.SetBar(i * step);
                const UpdateFile &file = files->Items(i);
                note(QStringLiteral("File"), install.TargetPath(file.FileName));
                install.Stage(file.FileName, file.Filedata().Bytes());
            }
            m_view.SetStatus(UpdateTexts::Text(UpdateTexts::Installing));
            install.Commit();
        }
        m_dm.SetDownloading(false);
        return true;
    } catch (const std::exception &error) {
        m_dm.SetDownloading(false);
        note(QStringLiteral("Download"), QStringLiteral("%1: %2").arg(version, QString::fromStdString(error.what())), llSevere);
        return false;
    }
}

QString TUpdateRun::RecordVersion(const QString &version) const
{
    const QString settings = FileResolver::resolve(m_folder, QStringLiteral("settings.ini"));
    if (!QFileInfo(settings).isFile())
        return {};
    if (!IniFile::writeString(settings, QStringLiteral("System settings"), QStringLiteral("Service Pack"), version)) {
        note(QStringLiteral("RecordVersion"), QStringLiteral("Cannot write %1").arg(settings), llWarning);
        m_view.ShowError(QStringLiteral("Cannot write %1").arg(settings), UpdateTexts::Text(UpdateTexts::Title));
    }
    return version;
}

QString TUpdateRun::RecordedVersion() const
{
    return IniFile::readString(FileResolver::resolve(m_folder, QStringLiteral("settings.ini")), QStringLiteral("System settings"),
                               QStringLiteral("Service Pack"), QString());
}

QString TUpdateRun::ClientProgram(const TUpdateOrder &order) const
{
    if (!order.ClientProgram.isEmpty() && QFileInfo(order.ClientProgram).isFile())
        return order.ClientProgram;
    return FileResolver::resolve(m_folder, DefaultClient);
}

void TUpdateRun::StartClient(const TUpdateOrder &order)
{
    const QString program = ClientProgram(order);
    m_view.SetRefreshing(false);
    if (!QFileInfo(program).isFile()) {
        note(QStringLiteral("Start"), QStringLiteral("No client program %1").arg(program), llWarning);
        m_view.ShowError(QStringLiteral("No client program %1").arg(program), UpdateTexts::Text(UpdateTexts::Title));
        return;
    }
    // Detached: the client outlives the updater, which ends next.
    if (!RunProgram(program, order.ClientArguments))
        m_view.ShowError(QStringLiteral("Cannot start %1").arg(program), UpdateTexts::Text(UpdateTexts::Title));
    else
        note(QStringLiteral("Start"), program);
}
