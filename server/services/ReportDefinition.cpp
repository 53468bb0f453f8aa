#include "server/services/ReportDefinition.h"

#include "foundation/FileResolver.h"
#include "foundation/IniFile.h"
#include "foundation/QuorvaLogFile.h"

#include <QDir>

#include <exception>
#include <stdexcept>

namespace ReportDefinition {

namespace {

const QString kSection = QStringLiteral("Report definition");
const QString kCategory = QStringLiteral("Category");

bool NeedsQuotes(const QString &value)
{
    for (const QChar c : value)
        if (c.unicode() <= 0x20 || c == QLatin1Char('"') || c == QLatin1Char(','))
            return true;
    return false;
}

} // namespace

const QStringList &Keys()
{
    static const QStringList keys = {
        QStringLiteral("Report ID"),          QStringLiteral("Category"),
        QStringLiteral("Report Type"),        QStringLiteral("Report Name"),
        QStringLiteral("Report Title"),       QStringLiteral("Report Caption"),
        QStringLiteral("Data source"),        QStringLiteral("Description"),
        QStringLiteral("ORDER BY"),           QStringLiteral("Report Format"),
        QStringLiteral("Label width"),        QStringLiteral("Label height"),
        QStringLiteral("Report Paper Format"), QStringLiteral("Report Name Landscape"),
        QStringLiteral("Report Name Portrait"), QStringLiteral("Supports Word"),
        QStringLiteral("WordDoc Portrait"),   QStringLiteral("WordDoc Landscape"),
        QStringLiteral("Supports Period"),
    };
    return keys;
}

QString CommaText(const QStringList &values)
{
    QStringList quoted;
    quoted.reserve(values.size());
    for (const QString &value : values) {
        if (NeedsQuotes(value)) {
            QString inner = value;
            inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            quoted << QLatin1Char('"') + inner + QLatin1Char('"');
        } else {
            quoted << value;
        }
    }
    return quoted.join(QLatin1Char(','));
}

QString ReadReportDefinition(const QString &fileName, const QString &category)
{
    IniFile ini(fileName);
    if (!ini.load())
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(fileName, ini.errorString()).toStdString());
    if (!category.isEmpty()) {
        const QString categories = ini.value(kSection, kCategory);
        if (!categories.contains(category, Qt::CaseSensitive))
            return {};
    }
    QStringList values;
    for (const QString &key : Keys()) {
        const bool boolean = key == QLatin1String("Supports Word") || key == QLatin1String("Supports Period");
        values << ini.value(kSection, key, boolean ? QStringLiteral("FALSE") : QString());
    }
    return CommaText(values);
}

QString GenerateReportDefinition(const QString &folder, const QString &category)
{
    try {
        if (!QDir(folder).exists())
            return {};
        QString result;
        for (const QString &name : FileResolver::match(folder, QStringLiteral("*.def")))
            result += ReadReportDefinition(QDir(folder).filePath(name), category) + QStringLiteral("\r\n");
        return result;
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("ReportSevice"), QStringLiteral("GenerateReportDefinition"),
                 QString::fromUtf8(e.what()));
    } catch (...) {
        AddToLog(llSevere, QStringLiteral("ReportSevice"), QStringLiteral("GenerateReportDefinition"),
                 QStringLiteral("unknown error"));
    }
    return {};
}

} // namespace ReportDefinition
