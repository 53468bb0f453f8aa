// Settings files in the ini format, as the programs of the system share them.
// Sections and keys match without regard to case, keys may hold blanks, and whatever a
// program does not know (sections, keys, comments) is written back untouched. Writes go to
// a temporary file renamed over the old one while the folder is locked, so a reader never
// sees half a file and two writers never lose each other's change.
#pragma once

#include "foundation/FoundationExport.h"

#include <QFileDevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class FOUNDATION_EXPORT IniFile
{
public:
    explicit IniFile(const QString &path);

    QString path() const { return m_path; }
    // Reads the file; a missing file is an empty document (true). False only on a read error.
    bool load();
    // Writes the document atomically; false with errorString() on failure. An existing file
    // keeps its owner, group and permissions; given permissions are the loosest it may have (a
    // file holding credentials is owner-only). A new file gets the given ones, or the usual.
    bool save(QFileDevice::Permissions permissions = {});
    QString errorString() const { return m_error; }

    bool contains(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key, const QString &defaultValue = {}) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    void removeKey(const QString &section, const QString &key);
    QStringList sections() const;
    QStringList keys(const QString &section) const;

    // One read of one value; the default when the file or the key is missing.
    static QString readString(const QString &path, const QString &section, const QString &key,
                              const QString &defaultValue);
    // Reads, changes and writes one value under the folder lock, so concurrent writers of
    // different keys both keep their change. False when the file cannot be written.
    static bool writeString(const QString &path, const QString &section, const QString &key, const QString &value);

    struct Entry
    {
        QString section;
        QString key;
        QString value;
    };
    // Several values in one locked read, change and write, so a reader sees all or none of them.
    static bool writeStrings(const QString &path, const QList<Entry> &entries,
                             QFileDevice::Permissions permissions = {});

private:
    struct Line
    {
        QString key;   // empty for comments and blank lines
        QString value;
        QString raw;   // the line as read, kept for comments
    };
    struct Section
    {
        QString name;  // empty for lines before the first section header
        std::vector<Line> lines;
    };

    const Section *findSection(const QString &name) const;
    Section *findSection(const QString &name);
    QByteArray serialise() const;
    void parse(const QByteArray &bytes);

    QString m_path;
    QString m_error;
    std::vector<Section> m_sections;
};
