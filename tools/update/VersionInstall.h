// The files of one client version, as the server sends them, put into the client's folder.
// Every name is checked before the first byte is written; the files are written beside the
// installation first and moved into place only when all of them were written whole, so a
// version either arrives complete or leaves the installation as it was.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>
#include <vector>

class EVersionInstallError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TVersionInstall
{
public:
    explicit TVersionInstall(const QString &folder);
    ~TVersionInstall();
    TVersionInstall(const TVersionInstall &) = delete;
    TVersionInstall &operator=(const TVersionInstall &) = delete;

    // The path below the folder, with "/" separators, for a name as the server lists it (a path
    // below its version folder that begins with a backslash). A name ending in "EX_" (any case)
    // ends in "EXe" or "exe" instead. Raises for absolute names, "..", drive letters and empty parts.
    static QString RelativeTarget(const QString &listedName);
    // The absolute path; installed files and folders are matched without regard to case.
    QString TargetPath(const QString &listedName) const;

    // Writes one file beside the installation; raises when it cannot be written.
    void Stage(const QString &listedName, const QByteArray &bytes);
    // Creates the sub-folders and moves every staged file into place.
    void Commit();

private:
    struct Staged
    {
        QString stagedPath;
        QString finalPath;
    };

    QString m_folder;
    std::unique_ptr<QTemporaryDir> m_staging;
    std::vector<Staged> m_files;
};
