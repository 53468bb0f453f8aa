#include "reporting/WordPackage.h"

#include "reporting/ReportError.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

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
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip))
        throw EReportError(QStringLiteral("The Word document is not a zip package (error %1)").arg(zip.getZipError()));
    WordPackage package;
    qint64 total = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString name = zip.getCurrentFileName();
        if (name.endsWith(QLatin1Char('/')))
            continue; // a folder entry holds nothing
        if (!PlainPartName(name))
            throw EReportError(QStringLiteral("The Word document has a part named %1").arg(name));
        if (package.m_parts.size() >= kMaxParts)
            throw EReportError(QStringLiteral("The Word document has more than %1 parts").arg(kMaxParts));
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::ReadOnly))
            throw EReportError(QStringLiteral("The part %1 of the Word document cannot be read").arg(name));
        // Counted while unpacking: the sizes in the headers are the sender's word.
        QByteArray data;
        char chunk[65536];
        for (;;) {
            const qint64 read = file.read(chunk, sizeof chunk);
            if (read < 0)
                throw EReportError(QStringLiteral("The part %1 of the Word document is damaged").arg(name));
            if (read == 0)
                break;
            if (data.size() + read > kMaxPartBytes || total + read > kMaxTotalBytes)
                throw EReportError(QStringLiteral("The Word document unpacks to more than %1 MiB").arg(kMaxTotalBytes / (1024 * 1024)));
            data.append(chunk, read);
            total += read;
        }
        file.close();
        if (file.getZipError() != UNZ_OK)
            throw EReportError(QStringLiteral("The part %1 of the Word document is damaged").arg(name));
        package.m_parts.append({name, data});
    }
    if (zip.getZipError() != UNZ_OK)
        throw EReportError(QStringLiteral("The Word document is damaged (error %1)").arg(zip.getZipError()));
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
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        throw EReportError(QStringLiteral("The Word document cannot be packed (error %1)").arg(zip.getZipError()));
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto &[name, data] : m_parts) {
        QuaZipFile file(&zip);
        QuaZipNewInfo info(name);
        info.dateTime = now;
        if (!file.open(QIODevice::WriteOnly, info) || file.write(data) != data.size())
            throw EReportError(QStringLiteral("The part %1 cannot be packed").arg(name));
        file.close();
        if (file.getZipError() != ZIP_OK)
            throw EReportError(QStringLiteral("The part %1 cannot be packed").arg(name));
    }
    zip.close();
    if (zip.getZipError() != ZIP_OK)
        throw EReportError(QStringLiteral("The Word document cannot be packed (error %1)").arg(zip.getZipError()));
    return bytes;
}

void WordPackage::Write(const QString &fileName) const
{
    const QByteArray bytes = ToBytes();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EReportError(QStringLiteral("%1 cannot be written: %2").arg(fileName, file.errorString()));
}
