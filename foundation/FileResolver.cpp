#include "foundation/FileResolver.h"

#include <QDir>
#include <QRegularExpression>

namespace FileResolver {

QString resolve(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    if (dir.exists(name))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return dir.filePath(name);
}

QStringList match(const QString &folder, const QString &mask, bool filesOnly)
{
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(mask),
                                     QRegularExpression::CaseInsensitiveOption);
    const QDir dir(folder);
    QStringList found;
    const auto filters = (filesOnly ? QDir::Files : QDir::AllEntries) | QDir::NoDotAndDotDot | QDir::Hidden;
    for (const QString &entry : dir.entryList(filters, QDir::Name))
        if (pattern.match(entry).hasMatch())
            found << entry;
    return found;
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0))
        && !(name.size() >= 2 && name[1] == QLatin1Char(':'));
}

} // namespace FileResolver
