// The self-update of a program from the maker's installation web service: ask for the
// product's files, compare the program's compiled-in version with the listed one, fetch every
// file of a newer product and park new programs as "<name>.new" for the swap program.
// Files reach their place only after every one of them arrived whole; a failed download
// leaves the installation as it was and answers false, so no hand-over starts.
#pragma once

#include "updating/UpdatingExport.h"
#include "updating/uInstallationProvider.h"

#include <QObject>
#include <QString>

#include <stdexcept>

// What a progress window shows; the updater works without one.
class UPDATING_EXPORT IUpdaterProgress
{
public:
    virtual ~IUpdaterProgress() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void SetProgress(int position, const QString &text) = 0;
    virtual void SetMax(int maximum) = 0;
};

// A failed update step; its text goes to the session log.
class UPDATING_EXPORT EUpdateError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class UPDATING_EXPORT TDMUpdater : public QObject
{
    Q_OBJECT
public:
    static constexpr qint32 DefaultLanguage = 1033;

    // Reads the development switch and the service host from "settings.ini" in programFolder
    // (the program's own folder when empty).
    explicit TDMUpdater(const QString &programFolder = QString(), QObject *owner = nullptr);

    QString ProductShortName() const { return m_productShortName; }
    void SetProductShortName(const QString &value) { m_productShortName = value; }
    bool DevelopmentMode() const { return m_developmentMode; }
    QString TargetProduct() const { return m_targetProduct; }
    // The installation service's host; empty (the default) means offline.
    QString InstallationHost() const { return m_host; }
    void SetInstallationHost(const QString &value) { m_host = value; }
    void SetProgressWindow(IUpdaterProgress *window) { m_progress = window; }

    // True when newer files of the program were downloaded and its new version is parked: the
    // caller then hands over to the swap program. folder: the program folder; programFileName:
    // the program to compare, "Brennic" when empty.
    bool CheckForUpdate(const QString &folder, const QString &programFileName = QString());
    // True when the product's files were newer (or forced) and every one of them is in place.
    bool UpdateProduct(const QString &productShortName, const QString &folder, const QString &localFileName,
                       bool park, bool force);
    // The product's file list for wantedVersion "0"; raises EUpdateError "Unable to connect to server".
    ArrayOfInstallationFile GetProductFiles(const QString &productShortName, qint32 languageId) const;
    // Fetches one file and moves it into place once whole; raises EUpdateError.
    void Download(const QString &url, const QString &targetPath, const QString &sizeText, bool park);

    // A listed name as a path below folder; raises EUpdateError for absolute names, "..",
    // and anything else that would leave the folder.
    static QString TargetPath(const QString &folder, const QString &listedName);
    // Programs have no extension here; they are the files that are parked.
    static bool IsProgramFile(const QString &path);
    static QString ParkedName(const QString &path);
    // The swap program's one argument: program, parked program, "True", "WriteLog", each + CR LF.
    static QString HandOverText(const QString &programFileName);
    // Starts the swap program of folder, detached in a session of its own, with the hand-over
    // text and the arguments the program is to be started again with; false when it could not start.
    static bool HandOver(const QString &folder, const QString &programFileName, const QStringList &arguments = {});
    // The same in this process: it becomes the swap program, which then becomes the program
    // again, so a service manager keeps the process it watches. Returns only when that failed.
    static bool HandOverInProcess(const QString &folder, const QString &programFileName, const QStringList &arguments);

private:
    struct StagedFile
    {
        QString tempPath;
        QString finalPath;
    };

    void DownloadAll(const ArrayOfInstallationFile &files, const QString &folder, const QString &localFileName,
                     bool park);
    StagedFile Fetch(const QString &url, const QString &finalPath, const QString &sizeText, QStringList &madeFolders);
    static void Commit(const StagedFile &file);
    void Progress(int position, const QString &text);

    QString m_productShortName;
    QString m_targetProduct;
    QString m_host;
    qint32 m_languageId = DefaultLanguage;
    bool m_developmentMode = false;
    IUpdaterProgress *m_progress = nullptr;
};
