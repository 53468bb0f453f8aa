// Reading and writing whole files in tests, and what a folder holds.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace kestrova::test {

// Empty when the file cannot be read.
inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes the file's folder as needed.
inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Everything below folder, hidden entries included, as sorted relative paths.
inline QStringList FolderEntries(const QString &folder)
{
    QStringList found;
    for (const QFileInfo &info :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        found << info.fileName();
        if (info.isDir() && !info.isSymLink())
            for (const QString &inner : FolderEntries(info.absoluteFilePath()))
                found << info.fileName() + QLatin1Char('/') + inner;
    }
    return found;
}

} // namespace kestrova::test
