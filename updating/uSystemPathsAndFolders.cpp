#include "updating/uSystemPathsAndFolders.h"

#include "foundation/FileResolver.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int kVersionParts = 4;
// "MB" has no leading blank; the texts are kept exactly as the labels always showed them.
const std::array<const char *, 4> kSizeUnits = {" Bytes", " KB", "MB", " GB"};

// A part is a 32-bit integer as the number parser reads it: an optional sign, then digits.
bool readPart(const QString &part, qint64 &value)
{
    if (part.isEmpty())
        return false;
    qsizetype at = 0;
    bool negative = false;
    if (part[0] == QLatin1Char('+') || part[0] == QLatin1Char('-')) {
        negative = part[0] == QLatin1Char('-');
        at = 1;
    }
    if (at == part.size())
        return false;
    qint64 result = 0;
    for (; at < part.size(); ++at) {
        const QChar c = part[at];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        result = result * 10 + (c.unicode() - '0');
        if (result > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result < std::numeric_limits<qint32>::min() || result > std::numeric_limits<qint32>::max())
        return false;
    value = result;
    return true;
}

// Trims as the settings and service texts were always trimmed: blanks and control characters.
QString trimControls(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= ' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= ' ')
        --last;
    return text.mid(first, last - first);
}

} // namespace

bool TQorVerCompare::NormalizeVersion(const QString &text, QString &normalized)
{
    normalized.clear();
    QString version = trimControls(text);
    if (version.endsWith(QLatin1Char('.')))
        version.chop(1);
    QStringList parts;
    if (!version.isEmpty())
        parts = version.split(QLatin1Char('.'));
    while (parts.size() < kVersionParts)
        parts << QStringLiteral("0");
    parts = parts.mid(0, kVersionParts);
    for (const QString &part : parts) {
        qint64 value = 0;
        if (!readPart(part, value))
            return false;
    }
    normalized = parts.join(QLatin1Char('.'));
    return true;
}

QString TQorVerCompare::Higher(const QString &first, const QString &second)
{
    QString normalized;
    const bool firstIsVersion = NormalizeVersion(first, normalized);
    if (!NormalizeVersion(second, normalized))
        return firstIsVersion ? first : QString();
    if (!firstIsVersion)
        return second;
    return Compare(first, second) > 0 ? second : first;
}

int TQorVerCompare::Compare(const QString &first, const QString &second)
{
    QString firstNormal;
    QString secondNormal;
    if (!NormalizeVersion(first, firstNormal))
        throw EVersionError("\"" + first.toStdString() + "\" is not a version");
    if (!NormalizeVersion(second, secondNormal))
        throw EVersionError("\"" + second.toStdString() + "\" is not a version");
    const QStringList a = firstNormal.split(QLatin1Char('.'));
    const QStringList b = secondNormal.split(QLatin1Char('.'));
    for (int i = 0; i < kVersionParts; ++i) {
        qint64 x = 0;
        qint64 y = 0;
        readPart(a[i], x);
        readPart(b[i], y);
        if (y != x)
            return y > x ? 1 : -1;
    }
    return 0;
}

QString TQorFolders::FormatSize(qint32 bytes)
{
    double value = bytes;
    int unit = -1;
    while (unit < int(kSizeUnits.size()) - 1) {
        value /= 1024;
        ++unit;
        if (std::trunc(value) == 0) {
            value *= 1024;
            break;
        }
    }
    // The label always shows thousands separators, also where the locale leaves them out by default.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2) + QLatin1String(kSizeUnits[std::size_t(unit)]);
}

std::optional<QStringList> TQorFolders::GetSubFolders(const QString &mask)
{
    const QFileInfo info(mask);
    const QString folder = info.path();
    const QString pattern = info.fileName();
    if (pattern.isEmpty())
        return std::nullopt;
    const QDir dir(folder);
    if (!dir.exists())
        return QStringList();
    if (!dir.isReadable())
        return std::nullopt;
    return FileResolver::match(folder, pattern, false);
}
