#include "reporting/WordPackage.h"

#include "reporting/ReportError.h"
#include "reporting/ZipArchive.h"

#include <QFile>
#include <QSaveFile>

namespace {

// A part's name stays inside the package: no absolute names, no climbing out.
bool PlainPartName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    for (const QString &piece : name.split(QLatin1Char('/')))
        if (piece == QLatin1String("..") || piece == QLatin1String("."))
            return false;
    return true;
}

} // namespace

WordPackage WordPackage::FromBytes(const QByteArray &bytes)
{
    WordPackage package;
    for (auto &[name, data] : ZipArchive::Unpack(bytes, {kMaxParts, kMaxPartBytes, kMaxTotalBytes})) {
        if (!PlainPartName(name))
            throw EReportError(QStringLiteral("The Word document has a part named %1").arg(name));
        package.m_parts.append({name, data});
    }
    if (!package.HasPart(DocumentPart))
        throw EReportError(QStringLiteral("The Word document has no %1").arg(DocumentPart));
    return package;
}

WordPackage WordPackage::Read(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EReportError(QStringLiteral("%1 cannot be read: %2").arg(fileName, file.errorString()));
    if (file.size() > kMaxTotalBytes)
        throw EReportError(QStringLiteral("%1 is larger than %2 MiB").arg(fileName).arg(kMaxTotalBytes / (1024 * 1024)));
    return FromBytes(file.readAll());
}

QStringList WordPackage::PartNames() const
{
    QStringList names;
    for (const auto &part : m_parts)
        names << part.first;
    return names;
}

bool WordPackage::HasPart(const QString &name) const
{
    for (const auto &part : m_parts)
        if (part.first == name)
            return true;
    return false;
}

QByteArray WordPackage::Part(const QString &name) const
{
    for (const auto &part : m_parts)
        if (part.first == name)
            return part.second;
    throw EReportError(QStringLiteral("The Word document has no %1").arg(name));
}

void WordPackage::SetPart(const QString &name, const QByteArray &bytes)
{
    if (!PlainPartName(name))
        throw EReportError(QStringLiteral("%1 is not a part name").arg(name));
    for (auto &part : m_parts)
        if (part.first == name) {
            part.second = bytes;
            return;
        }
    m_parts.append({name, bytes});
}

QByteArray WordPackage::ToBytes() const
{
    return ZipArchive::Pack(m_parts);
}

void WordPackage::Write(const QString &fileName) const
{
    const QByteArray bytes = ToBytes();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EReportError(QStringLiteral("%1 cannot be written: %2").arg(fileName, file.errorString()));
}
