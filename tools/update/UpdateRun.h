// Update's run, from its command line to the restarted client: connect to the data server,
// install every newer client version it offers one after the other, record the version in
// "settings.ini" and start the client again. The window shows it; this class decides.
#pragma once

#include <QMetaObject>
#include <QString>
#include <QStringList>

class TDM;

// What the run shows and asks; the window shows it, tests record it.
class IUpdateView
{
public:
    virtual ~IUpdateView() = default;
    virtual void SetBusy(bool busy) = 0;
    virtual void SetStatus(const QString &text) = 0;
    virtual void SetBar(int position) = 0;
    virtual void SetBarMaximum(int maximum) = 0;
    // Lets pending window messages run.
    virtual void ProcessMessages() = 0;
    // The repaint timer that keeps the window fresh while the server works.
    virtual void SetRefreshing(bool on) = 0;
    // A version is in place; the server is asked for the next one after this.
    virtual void Installed(const QString &version) = 0;
    // A message box with the error icon.
    virtual void ShowError(const QString &text, const QString &caption) = 0;
    // A message box with an OK button only.
    virtual void ShowMessage(const QString &text, const QString &caption) = 0;
};

// The command line: server URL, application id, client program, and the client's own arguments.
struct TUpdateOrder
{
    QString ServerURL;
    QString AppID;
    QString ClientProgram;
    // Handed to the client when it starts again.
    QStringList ClientArguments;
    // With fewer than three arguments no update is tried; the client is only started.
    bool HasServer = false;

    static TUpdateOrder FromArguments(const QStringList &arguments);
};

class TUpdateRun
{
public:
    // The download always names this application, whatever the command line says.
    static inline const QString DownloadAppID = QStringLiteral("A01");
    // The client started when the command line names none that exists.
    static inline const QString DefaultClient = QStringLiteral("Quorva");

    // folder: where the client's files go (the updater's own); currentVersion: the installed one.
    TUpdateRun(TDM &dm, IUpdateView &view, const QString &folder, const QString &currentVersion);
    ~TUpdateRun();
    TUpdateRun(const TUpdateRun &) = delete;
    TUpdateRun &operator=(const TUpdateRun &) = delete;

    // commandLine: the program followed by its arguments.
    void Run(const QStringList &commandLine);

    // Fetches and installs one version; false when any of its files could not be put in place,
    // and then nothing of it is.
    bool Download(const QString &version);
    // Writes the version to "settings.ini" and answers the version to check with next: the new
    // one, or empty when the folder has no "settings.ini".
    QString RecordVersion(const QString &version) const;
    // The version "settings.ini" holds; empty when none.
    QString RecordedVersion() const;
    // The program to start: the one named, else the default client of the folder.
    QString ClientProgram(const TUpdateOrder &order) const;
    // Whether a version offered after last may be installed: only a newer one (any version when
    // nothing is known of last); a text that is no version never.
    static bool MayInstall(const QString &last, const QString &candidate);

private:
    bool Connect(const QString &url);
    void UpdateLoop(const QString &appId);
    bool AskNewer(const QString &appId, const QString &clientVersion, QString &newVersion);
    void StartClient(const TUpdateOrder &order);

    TDM &m_dm;
    IUpdateView &m_view;
    QString m_folder;
    QString m_currentVersion;
    QMetaObject::Connection m_progress;
};
