// Points the session log at a temporary file for one test and reads its lines back; the log
// that was there before comes back at the end.
#pragma once

#include "foundation/QuorvaLogFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace kestrova::test {

class LogCapture
{
public:
    LogCapture()
    {
        m_log = std::make_unique<TQorLog>();
        m_log->SetFileName(m_dir.filePath(QStringLiteral("session.txt")));
        m_previous = SessionLog;
        SessionLog = m_log.get();
    }
    ~LogCapture() { SessionLog = m_previous; }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const
    {
        QFile f(m_log->FileName());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    QStringList linesWith(const QString &text) const { return lines().filter(text); }
    // Lines whose level word, sender and context are these, with the text after them.
    QStringList texts(const QString &level, const QString &sender, const QString &context) const
    {
        QStringList result;
        const LogLevel wanted = level == QLatin1String("Severe")    ? llSevere
                                : level == QLatin1String("Warning") ? llWarning
                                                                    : llInformation;
        const QString head = TQorLog::LevelWord(wanted)
                             + QLatin1Char('\t') + sender + QLatin1Char('\t') + context + QLatin1Char(' ');
        for (const QString &line : lines()) {
            if (line.startsWith(head))
                result << line.mid(head.size());
        }
        return result;
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TQorLog> m_log;
    TQorLog *m_previous = nullptr;
};

} // namespace kestrova::test
