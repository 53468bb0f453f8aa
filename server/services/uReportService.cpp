#include "server/services/uReportService.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/FileResolver.h"
#include "foundation/LogText.h"
#include "foundation/QorDateTime.h"
#include "foundation/QuorvaLogFile.h"
#include "remoting/ROErrors.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"
#include "reporting/ReportPdfExporter.h"
#include "server/services/ClientSqlCondition.h"
#include "server/services/ReportCriteria.h"
#include "server/services/ReportDefinition.h"
#include "server/services/ServiceErrors.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {

const QString kSender = QStringLiteral("ReportSevice");
const QString kVerificationDataset = QStringLiteral("DummyForVerificationForm");
const QString kStatisticsDataset = QStringLiteral("rptScheduleStatistics");
const QChar kLF(10);

const QString kRuleAlways = QStringLiteral("{AE7ADCC4-541B-497C-BB5B-B0005C51471E}");
const QString kRulePrefer = QStringLiteral("{C9663A14-AD78-4BAD-91D3-5ED2597DA1C2}");
const QString kRuleDontApart = QStringLiteral("{D88258F0-95AF-4E8E-B82C-547C1B6235BB}");

// Logs the failure and passes it on: the client gets the error instead of an empty answer
// that would read as "no data".
[[noreturn]] void LogAndRethrow(const QString &context)
{
    const std::exception_ptr error = std::current_exception();
    AddToLog(llSevere, kSender, context, ErrorMessage(error));
    try {
        std::rethrow_exception(error);
    } catch (const EClientSqlCondition &e) {
        throw EROException(QStringLiteral("EReportRequestRefused"), e.Message());
    } catch (const EReportError &e) {
        throw EROException(QStringLiteral("EReportError"), e.Message());
    }
}

std::unique_ptr<TROBinaryMemoryStream> Stream(const QByteArray &bytes)
{
    return std::make_unique<TROBinaryMemoryStream>(bytes);
}

// A value as the text a mail merge or a verification line shows.
QString Text(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime at = value.toDateTime();
        return at.time() == QTime(0, 0) ? at.date().toString(QStringLiteral("M/d/yyyy"))
                                        : at.toString(QStringLiteral("M/d/yyyy h:mm:ss AP"));
    }
    if (value.typeId() == QMetaType::QByteArray)
        return {};
    return value.toString();
}

QString Field(const TDATableData &table, const QVariantList &row, const QString &name)
{
    const int i = DAFindField(table.Fields, name);
    if (i < 0)
        throw EDAException(QStringLiteral("Dataset \"%1\" has no field \"%2\"").arg(table.Name, name));
    return Text(row.at(i));
}

QString WithoutLastSeparator(QString list)
{
    list.chop(2); // the final ", "
    return list;
}

} // namespace

TReportService::TReportService(const TReportServiceContext &context)
    : m_context(context), m_service(Schema(), context.Manager, context.ConnectionName)
{
}

const TDASchema &TReportService::Schema()
{
    static const std::unique_ptr<TDASchema> schema = [] {
        auto loaded = std::make_unique<TDASchema>();
        loaded->LoadFromFile(QStringLiteral(":/schemas/ReportService.xml"));
        return loaded;
    }();
    return *schema;
}

bool TReportService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId == IReportService::IID) {
        *object = static_cast<IReportService *>(this);
        return true;
    }
    return false;
}

QString TReportService::OrdinalText(const QString &text)
{
    if (text == QLatin1String("1"))
        return QStringLiteral("1st");
    if (text == QLatin1String("2"))
        return QStringLiteral("2nd");
    if (text == QLatin1String("3"))
        return QStringLiteral("3rd");
    if (text == QLatin1String("4") || text == QLatin1String("5"))
        return text + QStringLiteral("th");
    return text;
}

QString TReportService::ReportFile(const QString &name) const
{
    if (!FileResolver::isPlainFileName(name))
        throw EROException(QStringLiteral("EReportRequestRefused"),
                           QStringLiteral("\"%1\" is not a file name of the report folder").arg(name));
    return FileResolver::resolve(m_context.ReportPath, name);
}

TDATableData TReportService::CreateReportData(const QString &DataSetName, const QString &Criteria, const QString &OrderBy)
{
    try {
        if (DataSetName == kVerificationDataset)
            return GetMinisterVerifycationReport(Criteria, OrderBy);
        const TDASchemaDataset &dataset = Schema().DatasetByName(DataSetName);
        const TReportFilter filter =
            ReportCriteria::Build(dataset, Criteria, OrderBy, m_context.DataType == QLatin1String("MSSQL"));

        QString sql = dataset.StatementFor(m_service.GetConnection().GetName());
        DataParameterArray parameters;
        if (DataSetName == kStatisticsDataset) {
            // The criteria only carry the period: the statement filters on it itself.
            if (filter.Dates.size() < 2)
                throw EClientSqlCondition(QStringLiteral("The schedule statistics need a period of two dates"));
            parameters << DataParameter{QStringLiteral("fromDate"), WallClock(filter.Dates.at(0))}
                       << DataParameter{QStringLiteral("toDate"), WallClock(filter.Dates.at(1))};
        } else if (!filter.Condition.isEmpty()) {
            sql += QStringLiteral(" WHERE ") + filter.Condition;
        }
        if (!filter.OrderBy.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + filter.OrderBy;
        return m_service.ReadDatasetStatement(DataSetName, sql, filter.Values, parameters);
    } catch (...) {
        AddToLog(llSevere, QStringLiteral("CreateReportData"), LogExcerpt(DataSetName), ErrorMessage(std::current_exception()));
        throw;
    }
}

TDATableData TReportService::GetMinisterVerifycationReport(const QString &Criteria, const QString &OrderBy)
{
    try {
        TDATableData report;
        report.Name = kVerificationDataset;
        report.Fields = Schema().DatasetByName(kVerificationDataset).Fields;

        const TReportFilter filter = ReportCriteria::Build(Schema().DatasetByName(QStringLiteral("DAContactVerification")),
                                                           Criteria, OrderBy, m_context.DataType == QLatin1String("MSSQL"));
        QString sql = Schema().DatasetByName(QStringLiteral("DAContactVerification")).StatementFor(m_service.GetConnection().GetName());
        if (!filter.Condition.isEmpty())
            sql += QStringLiteral(" WHERE ") + filter.Condition;
        if (!filter.OrderBy.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + filter.OrderBy;
        const TDATableData contacts = m_service.ReadDatasetStatement(QStringLiteral("DAContactVerification"), sql, filter.Values);
        const TDATableData families = m_service.ReadDataset(QStringLiteral("DAFamNameList"));

        for (const QVariantList &contact : contacts.Rows) {
            const auto value = [&](const QString &name) { return Field(contacts, contact, name); };
            const QString contactId = value(QStringLiteral("PK_ContactID"));

            QString info = value(QStringLiteral("Title")) + QLatin1Char(' ') + value(QStringLiteral("LastName")) +
                           QStringLiteral(", ") + value(QStringLiteral("FirstName"));
            if (!value(QStringLiteral("Suffix")).isEmpty())
                info += QLatin1Char(' ') + value(QStringLiteral("Suffix"));
            info += kLF + value(QStringLiteral("TotAdr"));
            for (const char *name : {"phone1", "phone2", "phone3", "EMail1", "EMail2", "EMail3"})
                if (!value(QLatin1String(name)).isEmpty())
                    info += kLF + value(QLatin1String(name));
            info += kLF + value(QStringLiteral("DateOfBirth"));

            TableRequestInfoV5 ruleRequest;
            ruleRequest.Parameters << DataParameter{QStringLiteral("OwnerID"), contactId}
                                   << DataParameter{QStringLiteral("MemberID"), contactId};
            const TDATableData rules = m_service.ReadDataset(QStringLiteral("DARulesForContact"), ruleRequest);
            QString always, prefer, dontApart;
            for (const QVariantList &rule : rules.Rows) {
                const QString type = Field(rules, rule, QStringLiteral("F_RuleTypeID"));
                const QString person = Field(rules, rule, QStringLiteral("FirstName")) + QLatin1Char(' ') +
                                       Field(rules, rule, QStringLiteral("LastName")) + QStringLiteral(", ");
                if (type == kRuleAlways)
                    always += person;
                else if (type == kRulePrefer)
                    prefer += person;
                else if (type == kRuleDontApart)
                    dontApart += person;
            }

            TableRequestInfoV5 contactRequest;
            contactRequest.Parameters << DataParameter{QStringLiteral("ContactID"), contactId};
            const TDATableData preferences = m_service.ReadDataset(QStringLiteral("DAServPrefForContact"), contactRequest);
            QString serving;
            QString pending;
            QStringList liturgies, frequencies;
            const auto finish = [&] {
                serving += liturgies.isEmpty() ? QStringLiteral(" at all liturgies") : QStringLiteral(" at ") + liturgies.join(QStringLiteral(", "));
                if (frequencies.isEmpty()) {
                    serving += QStringLiteral(" on all weekends.");
                } else {
                    QStringList ordinals;
                    for (const QString &f : frequencies)
                        ordinals << OrdinalText(f);
                    serving += QStringLiteral(" on ") + ordinals.join(QStringLiteral(", ")) + QStringLiteral(" weekend(s)");
                }
                serving += kLF;
            };
            for (const QVariantList &row : preferences.Rows) {
                const QString id = Field(preferences, row, QStringLiteral("PK_ServingPrefrenceID"));
                const QString liturgy = Field(preferences, row, QStringLiteral("LiturgyTemplateName"));
                const QString frequency = Field(preferences, row, QStringLiteral("ServingFreqencyAsInteger"));
                if (id != pending) {
                    if (!pending.isEmpty())
                        finish();
                    pending = id;
                    serving += Field(preferences, row, QStringLiteral("MinistryFunctionName"));
                    liturgies.clear();
                    frequencies.clear();
                }
                if (!liturgy.isEmpty() && !liturgies.contains(liturgy))
                    liturgies << liturgy;
                if (!frequency.isEmpty() && !frequencies.contains(frequency))
                    frequencies << frequency;
            }
            if (!pending.isEmpty())
                finish();

            QString membership;
            const QString familyId = value(QStringLiteral("F_FamilyID"));
            if (!familyId.isEmpty()) {
                for (const QVariantList &family : families.Rows)
                    if (Field(families, family, QStringLiteral("PK_FamilyID")) == familyId) {
                        membership += Field(families, family, QStringLiteral("FamilyName")) + kLF;
                        break;
                    }
            }
            const TDATableData groups = m_service.ReadDataset(QStringLiteral("DAGroupsForContact"), contactRequest);
            for (const QVariantList &group : groups.Rows)
                membership += Field(groups, group, QStringLiteral("GroupName")) + kLF;

            QVariantList row(report.Fields.size());
            const auto set = [&](const QString &name, const QString &text) { row[DAFindField(report.Fields, name)] = text; };
            set(QStringLiteral("Info"), info);
            set(QStringLiteral("Comment"), value(QStringLiteral("Comments")));
            set(QStringLiteral("ServeRulesAlways"), WithoutLastSeparator(always));
            set(QStringLiteral("ServeRulesDontApart"), WithoutLastSeparator(dontApart));
            set(QStringLiteral("ServeRulesPrefer"), WithoutLastSeparator(prefer));
            set(QStringLiteral("ServingPreference"), serving);
            set(QStringLiteral("tempMemberShip"), membership);
            report.Rows << row;
        }
        return report;
    } catch (...) {
        AddToLog(llSevere, QStringLiteral("GetMinisterVerifycationReport"), QStringLiteral("Exception"),
                 ErrorMessage(std::current_exception()));
        throw;
    }
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GenerateReport(const QString &ReportName, const QString &DataSetName,
                                                                      const QString &ACriteria, const QString &AOrderBy)
{
    try {
        const QString path = ReportFile(ReportName);
        QFile file(path);
        if (!QFileInfo(path).isFile()) {
            AddToLog(llSevere, kSender, QStringLiteral("GenerateReport"), QStringLiteral("Unable to locate:") + LogExcerpt(path));
            throw EROException(QStringLiteral("EReportNotFound"), QStringLiteral("There is no report \"%1\"").arg(ReportName));
        }
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()).toStdString());
        const ReportTemplate layout = ReportTemplate::FromXml(file.readAll());
        // Rendered in memory and answered as PDF: concurrent requests share no file.
        const ReportDocument document = ReportEngine::Render(layout, CreateReportData(DataSetName, ACriteria, AOrderBy));
        if (document.IsEmpty())
            throw EROException(QStringLiteral("EReportNoData"), QStringLiteral("No information available to print."));
        return Stream(ReportPdfExporter::ToBytes(document));
    } catch (...) {
        LogAndRethrow(QStringLiteral("GenerateReport:") + LogExcerpt(ReportName));
    }
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GetReportSchema(const QString &DatasetName)
{
    try {
        const TDASchemaDataset &dataset = Schema().DatasetByName(DatasetName);
        TDATableData table;
        table.Name = dataset.Name;
        table.Fields = dataset.Fields;
        return Stream(TDADataStreamer::WriteDatasets({table}));
    } catch (...) {
        LogAndRethrow(QStringLiteral("GetReportSchema: ") + LogExcerpt(DatasetName));
    }
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GetReportData(qint32 MaxRows, const QString &DataSetName, qint32 &TotalRows)
{
    TotalRows = 0;
    try {
        if (DataSetName == kVerificationDataset)
            throw EDAException(QStringLiteral("\"%1\" is only a structure").arg(DataSetName));
        TableRequestInfoV5 request;
        if (DataSetName == kStatisticsDataset) {
            const QDateTime now = WallClockNow();
            request.Parameters << DataParameter{QStringLiteral("fromDate"), now} << DataParameter{QStringLiteral("toDate"), now};
        }
        TDATableData table = m_service.ReadDataset(DataSetName, request);
        if (MaxRows >= 0 && table.Rows.size() > MaxRows)
            table.Rows.resize(MaxRows);
        TotalRows = qint32(table.Rows.size());
        return Stream(TDADataStreamer::WriteDatasets({table}));
    } catch (...) {
        LogAndRethrow(QStringLiteral("GetReportData"));
    }
}

QString TReportService::GetReportDefinitions(const QString &ACategory)
{
    return ReportDefinition::GenerateReportDefinition(m_context.ReportPath, ACategory);
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GetReportDefinitionsEx()
{
    return nullptr;
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GetWordReportTemplate(const QString &AWordDoc)
{
    try {
        const QString path = ReportFile(AWordDoc);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()).toStdString());
        return Stream(file.readAll());
    } catch (const EROException &) {
        AddToLog(llSevere, kSender, QStringLiteral("GetWordReportTemplate"), ErrorMessage(std::current_exception()));
        throw;
    } catch (...) {
        // A missing template answers nil, as the client expects.
        AddToLog(llSevere, kSender, QStringLiteral("GetWordReportTemplate"), ErrorMessage(std::current_exception()));
        return nullptr;
    }
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GetWordReportData(const QString &ADatasetName, const QString &ACriteria,
                                                                         const QString &AOrderBy)
{
    try {
        const TDATableData data = CreateReportData(ADatasetName, ACriteria, AOrderBy);
        // Tab-separated, every value in double quotes with its own quotes doubled, one row a
        // CR LF line after the header; no line break after the last row.
        const auto quoted = [](const QString &value) {
            QString inner = value;
            inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + inner + QLatin1Char('"');
        };
        QStringList names;
        for (const TDAField &field : data.Fields)
            names << field.Name;
        QString text = names.join(QLatin1Char('\t'));
        for (const QVariantList &row : data.Rows) {
            QStringList values;
            for (const QVariant &value : row)
                values << quoted(Text(value));
            text += QStringLiteral("\r\n") + values.join(QLatin1Char('\t'));
        }
        return Stream(text.toUtf8());
    } catch (...) {
        LogAndRethrow(QStringLiteral("GetWordReportData"));
    }
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GetReportDataAsDataset(const QString &DataSetName, const QString &ACriteria,
                                                                              const QString &AOrderBy)
{
    try {
        return Stream(TDADataStreamer::WriteDatasets({CreateReportData(DataSetName, ACriteria, AOrderBy)}));
    } catch (...) {
        LogAndRethrow(QStringLiteral("GetReportDataAsDataset:") + LogExcerpt(DataSetName) + QLatin1Char('-') + LogExcerpt(ACriteria)
                      + QLatin1Char('-') + LogExcerpt(AOrderBy));
    }
}

std::unique_ptr<TROBinaryMemoryStream> TReportService::GetReportFile(const QString &Reportname)
{
    QString path;
    try {
        path = ReportFile(Reportname);
        auto result = std::make_unique<TROBinaryMemoryStream>();
        if (!QFileInfo(path).isFile())
            return result; // a missing layout is an empty answer, not an error
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()).toStdString());
        result->SetBytes(file.readAll());
        return result;
    } catch (...) {
        LogAndRethrow(QStringLiteral("GetReportFile:") + LogExcerpt(path.isEmpty() ? Reportname : path));
    }
}
