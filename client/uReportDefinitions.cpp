#include "client/uReportDefinitions.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <stdexcept>

namespace {

// The line as the log shows it: short and on one line.
QString Excerpt(const QStringList &fields)
{
    QString text = fields.join(QLatin1Char(','));
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.size() > 80 ? text.left(77) + QStringLiteral("...") : text;
}

} // namespace

QString TBaseReportDef::TemplateName(bool portrait) const
{
    if (!OffersOrientation())
        return ReportName;
    return portrait ? ReportNamePortrait : ReportNameLandscape;
}

namespace ReportDefinitions {


std::unique_ptr<TBaseReportDef> ParseDefinition(const QStringList &fields)
{
    if (fields.size() <= 2) {
        if (!fields.isEmpty())
            AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("GetReportDefObject"),
                     QStringLiteral("A definition without its report type: %1").arg(Excerpt(fields)));
        return nullptr;
    }
    std::unique_ptr<TBaseReportDef> definition;
    TLabelReportDef *label = nullptr;
    if (fields[2] == ReportType::Label) {
        auto labels = std::make_unique<TLabelReportDef>();
        label = labels.get();
        definition = std::move(labels);
    } else if (fields[2] == ReportType::List || fields[2] == ReportType::Summary) {
        definition = std::make_unique<TReportReportDef>();
    } else {
        return nullptr;
    }

    try {
        const auto boolean = [&fields](int index) {
            bool value = false;
            if (!TryStrToBool(fields[index], value))
                throw std::runtime_error(QStringLiteral("Field %1 is not a Boolean: %2").arg(index).arg(fields[index]).toStdString());
            return value;
        };
        for (int index = 0; index < TBaseReportDef::kFieldCount; ++index) {
            if (index >= fields.size())
                throw std::runtime_error(QStringLiteral("The definition has %1 of %2 fields").arg(fields.size()).arg(TBaseReportDef::kFieldCount).toStdString());
            const QString &value = fields[index];
            switch (index) {
            case 0: definition->ReportID = value; break;
            case 1: definition->Category = value; break;
            case 2: definition->ReportType = value; break;
            case 3: definition->ReportName = value; break;
            case 4: definition->ReportTitle = value; break;
            case 5: definition->ReportCaption = value; break;
            case 6: definition->DataSource = value; break;
            case 7: definition->Description = QString(value).replace(QStringLiteral("#13"), QStringLiteral("\r")); break;
            case 8: definition->OrderBy = value; break;
            case 9: definition->ReportFormat = value; break;
            case 10: if (label) label->LabelWidth = value; break;
            case 11: if (label) label->LabelHeight = value; break;
            case 12: definition->ReportPaperFormat = value; break;
            case 13: definition->ReportNameLandscape = value; break;
            case 14: definition->ReportNamePortrait = value; break;
            case 15: definition->SupportsWord = boolean(index); break;
            case 16: definition->WordDocPortrait = value; break;
            case 17: definition->WordDocLandscape = value; break;
            case 18: definition->SupportsPeriod = boolean(index); break;
            default: break;
            }
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("GetReportDefObject"),
                 QStringLiteral("%1: %2").arg(QString::fromUtf8(e.what()), Excerpt(fields)));
    }
    return definition;
}

TReportDefinitionList ParseDefinitions(const QString &text)
{
    TReportDefinitionList definitions;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (std::unique_ptr<TBaseReportDef> definition = ParseDefinition(SplitCommaText(line)))
            definitions.push_back(std::move(definition));
    }
    return definitions;
}

} // namespace ReportDefinitions
