// A Word document (.docx) as the parts of its zip package: names and bytes, in the order of the
// archive. Reading takes bytes from the network or a user's folder, so it stops at fixed limits
// on the number of parts and on what they unpack to, whatever the archive's headers claim.
#pragma once

#include "reporting/ReportingExport.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

class REPORTING_EXPORT WordPackage
{
public:
    static constexpr int kMaxParts = 1000;
    static constexpr qint64 kMaxPartBytes = 32 * 1024 * 1024;
    static constexpr qint64 kMaxTotalBytes = 64 * 1024 * 1024;

    static inline const QString DocumentPart = QStringLiteral("word/document.xml");

    // Throws EReportError for anything that is not a zip package within the limits.
    static WordPackage FromBytes(const QByteArray &bytes);
    static WordPackage Read(const QString &fileName);

    QStringList PartNames() const;
    bool HasPart(const QString &name) const;
    // Throws EReportError for a part the package does not have.
    QByteArray Part(const QString &name) const;
    // Replaces the part of that name, or adds it at the end.
    void SetPart(const QString &name, const QByteArray &bytes);

    QByteArray ToBytes() const;
    // The file appears only when it is complete. Throws EReportError when it cannot be written.
    void Write(const QString &fileName) const;

private:
    QList<std::pair<QString, QByteArray>> m_parts;
};
