// Points the session log at a file of its own for one test and reads back its lines.
#pragma once

#include "foundation/QuorvaLogFile.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

class LogCapture
{
public:
    LogCapture()
    {
        m_log.SetFileName(m_dir.filePath(QStringLiteral("session.txt")));
        m_previous = SessionLog;
        SessionLog = &m_log;
    }
    ~LogCapture() { SessionLog = m_previous; }

    QStringList Lines() const
    {
        QFile file(m_log.FileName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines;
    }
    QStringList LinesWith(const QString &text) const { return Lines().filter(text); }

private:
    QTemporaryDir m_dir;
    TQorLog m_log;
    TQorLog *m_previous = nullptr;
};
