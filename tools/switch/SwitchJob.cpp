#include "SwitchJob.h"

#include "foundation/FileResolver.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "updating/WebServiceSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <filesystem>

#include <unistd.h>

namespace {

const QString kSender = QStringLiteral("Switch");
constexpr int kPollIntervalMs = 100;

} // namespace

std::optional<SwitchOrder> SwitchOrder::Parse(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n"));
    QStringList lines = text.split(lineEnd);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() < 2)
        return std::nullopt;
    SwitchOrder order;
    order.program = lines[0].trimmed();
    order.parked = lines[1].trimmed();
    if (!FileResolver::isPlainFileName(order.program) || !FileResolver::isPlainFileName(order.parked)
        || order.program == order.parked)
        return std::nullopt;
    order.restart = lines.size() > 2 && lines[2].trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
    order.writeLog = lines.size() > 3 && lines[3].trimmed().compare(QLatin1String("WriteLog"), Qt::CaseInsensitive) == 0;
    return order;
}

std::optional<SwitchOrder> SwitchOrder::FromArguments(const QStringList &arguments)
{
    const bool inProcess = arguments.value(0) == QLatin1String(WebServiceSettings::SwitchInProcessOption);
    const qsizetype list = inProcess ? 1 : 0;
    std::optional<SwitchOrder> order = Parse(arguments.value(list));
    if (order) {
        order->inProcess = inProcess;
        order->arguments = arguments.mid(list + 1);
    }
    return order;
}

QList<qint64> ProcessesRunning(const QString &path)
{
    QList<qint64> found;
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return found;
    const qint64 self = ::getpid();
    const QString deleted = QStringLiteral(" (deleted)");
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        // The link names the file the process started from (other users' processes stay unread).
        QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(entry));
        if (exe.endsWith(deleted))
            exe.chop(deleted.size());
        if (!exe.isEmpty() && exe == target)
            found << pid;
    }
    return found;
}

bool WaitUntilEnded(const QString &path, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!ProcessesRunning(path).isEmpty()) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(kPollIntervalMs);
    }
    return true;
}

int RunSwitch(const SwitchOrder &order, const QString &folder, int waitTimeoutMs)
{
    const QString programPath = QDir(folder).filePath(order.program);
    const QString parkedPath = QDir(folder).filePath(order.parked);
    AddToLog(llInformation, kSender, QStringLiteral("Order"),
             QStringLiteral("Replace %1 by %2 in %3").arg(order.program, order.parked, folder));

    if (!WaitUntilEnded(programPath, waitTimeoutMs)) {
        AddToLog(llSevere, kSender, QStringLiteral("Wait"),
                 QStringLiteral("%1 still runs after %2 ms; nothing replaced").arg(order.program).arg(waitTimeoutMs));
        return 1;
    }
    AddToLog(llInformation, kSender, QStringLiteral("Wait"), QStringLiteral("%1 is not running").arg(order.program));

    int result = 0;
    if (!QFileInfo::exists(parkedPath)) {
        AddToLog(llWarning, kSender, QStringLiteral("Replace"),
                 QStringLiteral("%1 not found; %2 kept").arg(order.parked, order.program));
        result = 1;
    } else {
        QFile::setPermissions(parkedPath, QFile::permissions(parkedPath) | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                              | QFileDevice::ExeOther);
        // One rename: the program is either the old file or the new one, never half of either.
        std::error_code code;
        std::filesystem::rename(QFile::encodeName(parkedPath).toStdString(),
                                QFile::encodeName(programPath).toStdString(), code);
        if (code) {
            AddToLog(llSevere, kSender, QStringLiteral("Replace"),
                     QStringLiteral("Cannot move %1 to %2: %3")
                         .arg(order.parked, order.program, QString::fromStdString(code.message())));
            result = 1;
        } else {
            const QString version = TvoSysInfo::GetFileVersion(programPath);
            AddToLog(llInformation, kSender, QStringLiteral("Replace"),
                     QStringLiteral("%1 replaced by %2 (version %3)")
                         .arg(order.program, order.parked, version.isEmpty() ? QStringLiteral("unknown") : version));
        }
    }

    // The program ended for the swap; it comes back whether or not the swap worked.
    if (order.restart && order.inProcess) {
        AddToLog(llInformation, kSender, QStringLiteral("Start"),
                 QStringLiteral("Starting %1 in process %2").arg(order.program).arg(QCoreApplication::applicationPid()));
        QString error;
        ReplaceProgram(programPath, order.arguments, error);
        AddToLog(llSevere, kSender, QStringLiteral("Start"), QStringLiteral("Cannot start %1: %2").arg(programPath, error));
        result = 1;
    } else if (order.restart) {
        qint64 pid = 0;
        if (QProcess::startDetached(programPath, order.arguments, folder, &pid)) {
            AddToLog(llInformation, kSender, QStringLiteral("Start"),
                     QStringLiteral("Started %1 (process %2)").arg(order.program).arg(pid));
        } else {
            AddToLog(llSevere, kSender, QStringLiteral("Start"), QStringLiteral("Cannot start %1").arg(programPath));
            result = 1;
        }
    }
    return result;
}
