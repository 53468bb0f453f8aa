// Folders that a task file may name, and the folders its file searches may read.
// Path words stand for the system's folders in their Linux form: "WINDIR" /etc, "WINSYS"
// /usr/lib, "APPDIR" the tool's own folder and "PROGRAMDIR" /opt. Searches read only inside
// the tool's folder and the product's application-data folder, and never the files that hold
// secrets (the registry stores and the key of the sender details).
#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

class EQorSysInfo : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct TQorFolderSet
{
    QString Windows;
    QString System;
    QString Tool;
    QString Programs;
    // The folders searches may read; the tool's folder and the product's application data.
    QStringList Readable;
    // Files that are never read, wherever they are.
    QStringList Private;
};

class TQorSystemPaths
{
public:
    // The path of a shell folder (SpecialFolder ids); empty when the machine has none.
    // Raises EQorSysInfo "GetSystemFolder:\t" + message on failure.
    static QString GetSystemFolder(int folderId);
};

class TQorPathHelper
{
public:
    // The program files folder's shell id.
    static constexpr int ProgramFilesFolder = 38;

    // The folders as this machine has them, read once at start.
    static void Initialize(const QString &toolFolder, const QString &senderKeyFile);
    // For tests: folders of their own choosing.
    static void SetFolders(const TQorFolderSet &folders);
    static const TQorFolderSet &Folders();

    // Replaces the path words, without regard to case and everywhere, by their folders (no
    // trailing separator).
    static QString ExpandPath(const QString &text);
    // Whether a search may enter this folder or read this file: inside a readable folder once
    // links are resolved, and none of the private files.
    static bool MayRead(const QString &path);
};
