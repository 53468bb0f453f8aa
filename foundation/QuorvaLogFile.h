// The session log: one plain-text file per program run, one line per entry.
// Every line is a whole open-append-close under one process-wide lock, so lines
// written from request threads never tear; nothing is buffered between lines.
#pragma once

#include "foundation/FoundationExport.h"

#include <QObject>
#include <QString>

#include <cstdint>

using LogLevel = std::uint8_t;

constexpr LogLevel llInformation = 0;
constexpr LogLevel llWarning = 1;
constexpr LogLevel llSevere = 2;
constexpr LogLevel llDebug = 3;

class FOUNDATION_EXPORT TQorLog : public QObject
{
    Q_OBJECT
public:
    explicit TQorLog(QObject *owner = nullptr);
    ~TQorLog() override;

    bool DeleteOnChangeName() const { return m_deleteOnChangeName; }
    void SetDeleteOnChangeName(bool value) { m_deleteOnChangeName = value; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &value);
    QString LogText() const;
    void SetLogText(const QString &line);
    QString PrefixText() const { return m_prefixText; }
    void SetPrefixText(const QString &value) { m_prefixText = value; }
    bool TimeStamp() const { return m_timeStamp; }
    void SetTimeStamp(bool value) { m_timeStamp = value; }
    bool UserName() const { return m_userName; }
    void SetUserName(bool value) { m_userName = value; }
    QString TimeFormat() const { return m_timeFormat; }
    void SetTimeFormat(const QString &value);
    // Also write every line to standard error, so a console or the system journal shows it.
    bool EchoToStandardError() const { return m_echo; }
    void SetEchoToStandardError(bool value) { m_echo = value; }

    // Writes through the global SessionLog whatever instance it is called on.
    void AddToLog(LogLevel level, const QString &sender, const QString &context, const QString &text);
    void CreateHeader(const QString &application, const QString &path);
    void CreateFooter();

    // The level word with its padding, as it appears in the first field of a line.
    static QString LevelWord(LogLevel level);
    // The program's own path with its extension changed to ".txt".
    static QString DefaultFileName();

private:
    bool m_deleteOnChangeName = true;
    bool m_enabled = true;
    QString m_fileName;
    QString m_logText;
    QString m_prefixText;
    bool m_timeStamp = false;
    bool m_userName = false;
    QString m_timeFormat;
    bool m_echo = false;
};

// The program's one session log; the start-up creates and assigns it.
FOUNDATION_EXPORT extern TQorLog *SessionLog;

// Writes one entry through SessionLog; does nothing while no session log exists.
FOUNDATION_EXPORT void AddToLog(LogLevel level, const QString &sender, const QString &context, const QString &text);
// How many Warning and Severe entries this thread has written (or would have, without a
// session log), so a caller can tell whether the work it called has reported its failure.
FOUNDATION_EXPORT unsigned long long ErrorEntriesOfThisThread();

// Qt's own messages (platform plug-in, fonts, files) become session-log lines with the sender
// "Qt" instead of raw console text, where a service echoes its log. Messages from before the
// session log exists are held (a few) and written after its next line.
FOUNDATION_EXPORT void RouteQtMessagesToSessionLog();
