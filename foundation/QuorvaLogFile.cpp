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

TQorLog *SessionLog = nullptr;

namespace {

// One lock for every log instance: two instances may name the same file.
QMutex &lineLock()
{
    static QMutex lock;
    return lock;
}

const QString kFrame = QString(82, QLatin1Char('*'));

QString defaultTimeFormat()
{
    const QLocale locale = QLocale::system();
    return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + locale.timeFormat(QLocale::LongFormat);
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
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw std::runtime_error("cannot open the session log " + m_fileName.toStdString() + ": "
                                 + file.errorString().toStdString());
    const QByteArray bytes = text.toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write the session log " + m_fileName.toStdString() + ": "
                                 + file.errorString().toStdString());
    file.close();
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

void AddToLog(LogLevel level, const QString &sender, const QString &context, const QString &text)
{
    if (!SessionLog)
        return;
    SessionLog->SetLogText(TQorLog::LevelWord(level) + QLatin1Char('\t') + sender + QLatin1Char('\t') + context
                           + QLatin1Char(' ') + text);
}
