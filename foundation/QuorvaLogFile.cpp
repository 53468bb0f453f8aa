#include "foundation/QuorvaLogFile.h"

#include "foundation/uCommon.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <stdexcept>

TQorLog *SessionLog = nullptr;

namespace {

// One lock for every log instance: two instances may name the same file.
QMutex &lineLock()
{
    static QMutex lock;
    return lock;
}

const QString kFrame = QString(82, QLatin1Char('*'));

// The pattern without its time-zone field: a line has no place for the zone's name.
QString withoutZone(const QString &format)
{
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            kept += c;
    }
    return kept.simplified();
}

QString defaultTimeFormat()
{
    const QLocale locale = QLocale::system();
    return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + withoutZone(locale.timeFormat(QLocale::LongFormat));
}

[[noreturn]] void raise(const char *what, const QString &fileName, const QFile &file)
{
    throw std::runtime_error(std::string(what) + " the session log " + fileName.toStdString() + ": "
                             + file.errorString().toStdString());
}

} // namespace

TQorLog::TQorLog(QObject *owner)
    : QObject(owner)
    , m_timeFormat(defaultTimeFormat())
{
    SetFileName(DefaultFileName());
}

TQorLog::~TQorLog()
{
    if (SessionLog == this)
        SessionLog = nullptr;
}

QString TQorLog::DefaultFileName()
{
    QString program = QCoreApplication::applicationFilePath();
    if (program.isEmpty())
        program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QFileInfo info(program);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".txt");
}

void TQorLog::SetFileName(const QString &value)
{
    m_fileName = value.isEmpty() ? DefaultFileName() : value;
    if (!m_enabled)
        return;
    // Failures here are not reported: the first line written will raise instead.
    const QFileInfo info(m_fileName);
    QDir folder = info.absoluteDir();
    if (!folder.exists())
        QDir().mkdir(folder.absolutePath());
    if (m_deleteOnChangeName && info.exists())
        QFile::remove(m_fileName);
}

QString TQorLog::LogText() const
{
    QMutexLocker locker(&lineLock());
    return m_logText;
}

void TQorLog::SetTimeFormat(const QString &value)
{
    m_timeFormat = value.isEmpty() ? defaultTimeFormat() : value;
}

void TQorLog::SetLogText(const QString &line)
{
    if (m_fileName.isEmpty() || !m_enabled)
        return;

    QString prefix;
    if (m_timeStamp)
        prefix = QLocale::system().toString(QDateTime::currentDateTime(), m_timeFormat) + QStringLiteral(" :");
    if (!m_prefixText.isEmpty())
        prefix = prefix.isEmpty() ? m_prefixText + QStringLiteral(" -")
                                  : prefix + QLatin1Char(' ') + m_prefixText + QStringLiteral(" -");
    if (m_userName) {
        const QString user = QLatin1Char('(') + TvoSysInfo::GetUserName() + QLatin1Char(')');
        prefix = prefix.isEmpty() ? user : prefix + QLatin1Char(' ') + user;
    }
    const QString text = prefix.isEmpty() ? line : prefix + QLatin1Char(' ') + line;

    QMutexLocker locker(&lineLock());
    // The echo comes first, so a line that cannot reach its file is still seen.
    if (m_echo) {
        const QByteArray echoed = text.toUtf8() + '\n';
        std::fwrite(echoed.constData(), 1, std::size_t(echoed.size()), stderr);
        std::fflush(stderr);
    }
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        raise("cannot open", m_fileName, file);
    const QByteArray bytes = text.toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size())
        raise("cannot write", m_fileName, file);
    // A full disk shows only when the buffered line reaches the file.
    if (!file.flush())
        raise("cannot write", m_fileName, file);
    file.close();
    if (file.error() != QFileDevice::NoError)
        raise("cannot close", m_fileName, file);
    m_logText = text;
}

QString TQorLog::LevelWord(LogLevel level)
{
    switch (level) {
    case llInformation: return QStringLiteral("Information");
    case llWarning: return QStringLiteral("Warning    ");
    case llSevere: return QStringLiteral("Severe     ");
    case llDebug: return QStringLiteral("Debug      ");
    default: return QStringLiteral("Unknown    :");
    }
}

void TQorLog::AddToLog(LogLevel level, const QString &sender, const QString &context, const QString &text)
{
    ::AddToLog(level, sender, context, text);
}

void TQorLog::CreateHeader(const QString &application, const QString &path)
{
    SetLogText(kFrame);
    SetLogText(QStringLiteral("* Application   :%1 ").arg(application));
    SetLogText(QStringLiteral("* Path          : %1 ").arg(path));
    SetLogText(QStringLiteral("* Computer name : %1 (%2) ").arg(TvoSysInfo::GetComputerName(), TvoSysInfo::GetLocalIP()));
    SetLogText(QStringLiteral("* %1").arg(TvoSysInfo::GetOSName()));
    SetLogText(kFrame);
}

void TQorLog::CreateFooter()
{
    SetLogText(kFrame);
}

namespace {

QString entry(LogLevel level, const QString &sender, const QString &context, const QString &text)
{
    return TQorLog::LevelWord(level) + QLatin1Char('\t') + sender + QLatin1Char('\t') + context + QLatin1Char(' ') + text;
}

// Qt messages that arrived while no session log existed.
QMutex heldLock;
QStringList held;
std::atomic_bool anyHeld{false};
constexpr qsizetype kMostHeld = 50;

void writeHeld()
{
    QStringList lines;
    {
        QMutexLocker locker(&heldLock);
        lines.swap(held);
        anyHeld = false;
    }
    for (const QString &line : lines)
        SessionLog->SetLogText(line);
}

// A message raised while a line is being written (by the file itself) must not come back here.
thread_local bool inQtHandler = false;

void qtMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const LogLevel level = type == QtWarningMsg                          ? llWarning
                           : type == QtCriticalMsg || type == QtFatalMsg ? llSevere
                                                                         : llDebug;
    const QString line = entry(level, QStringLiteral("Qt"), QString(), message);
    // A fatal message ends the program at once, and one raised while a line is written would
    // come back here: both go to the console only.
    if (type == QtFatalMsg || inQtHandler) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    if (!SessionLog) {
        QMutexLocker locker(&heldLock);
        if (held.size() < kMostHeld)
            held << line;
        anyHeld = true;
        return;
    }
    inQtHandler = true;
    try {
        SessionLog->SetLogText(line);
    } catch (const std::exception &) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
    inQtHandler = false;
}

} // namespace

namespace {

thread_local unsigned long long t_errorEntries = 0;

} // namespace

unsigned long long ErrorEntriesOfThisThread()
{
    return t_errorEntries;
}

void AddToLog(LogLevel level, const QString &sender, const QString &context, const QString &text)
{
    if (level == llWarning || level == llSevere)
        ++t_errorEntries;
    if (!SessionLog)
        return;
    SessionLog->SetLogText(entry(level, sender, context, text));
    if (anyHeld)
        writeHeld();
}

void RouteQtMessagesToSessionLog()
{
    qInstallMessageHandler(qtMessage);
}
