// The report service: report data for the client's preview, print and Word output, the report
// folder's definitions, layouts and Word templates, the verification report built here, and
// reports rendered to PDF by the shared report engine.
// Client criteria and sort orders reach a statement only as rebuilt by ReportCriteria, and
// file names from clients never leave the report folder.
#pragma once

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDataAbstractService.h"
#include "remoting/ROService.h"

struct TReportServiceContext
{
    TDAConnectionManager &Manager;
    QString ReportPath;                                // the report folder, with a trailing separator
    QString DataType = QStringLiteral("MSSQL");        // [Data Access] "Datatype"
    QString ConnectionName = QStringLiteral("MSSQL");
};

class TReportService : public TRORemoteDataModule, public IReportService
{
public:
    explicit TReportService(const TReportServiceContext &context);

    // The report schema, read once from the program's resources.
    static const TDASchema &Schema();

    bool queryInterface(const QUuid &interfaceId, void **object) override;

    std::unique_ptr<TROBinaryMemoryStream> GenerateReport(const QString &ReportName, const QString &DataSetName,
                                                          const QString &ACriteria, const QString &AOrderBy) override;
    std::unique_ptr<TROBinaryMemoryStream> GetReportSchema(const QString &DatasetName) override;
    std::unique_ptr<TROBinaryMemoryStream> GetReportData(qint32 MaxRows, const QString &DataSetName, qint32 &TotalRows) override;
    QString GetReportDefinitions(const QString &ACategory) override;
    std::unique_ptr<TROBinaryMemoryStream> GetReportDefinitionsEx() override;
    std::unique_ptr<TROBinaryMemoryStream> GetWordReportTemplate(const QString &AWordDoc) override;
    std::unique_ptr<TROBinaryMemoryStream> GetWordReportData(const QString &ADatasetName, const QString &ACriteria,
                                                             const QString &AOrderBy) override;
    std::unique_ptr<TROBinaryMemoryStream> GetReportDataAsDataset(const QString &DataSetName, const QString &ACriteria,
                                                                  const QString &AOrderBy) override;
    std::unique_ptr<TROBinaryMemoryStream> GetReportFile(const QString &Reportname) override;

    // "1" to "5" as "1st" to "5th"; any other text unchanged.
    static QString OrdinalText(const QString &text);

private:
    TDATableData CreateReportData(const QString &DataSetName, const QString &Criteria, const QString &OrderBy);
    TDATableData GetMinisterVerifycationReport(const QString &Criteria, const QString &OrderBy);
    // The path of a file of the report folder named by a client; refuses names that would
    // leave the folder.
    QString ReportFile(const QString &name) const;

    TReportServiceContext m_context;
    TDataAbstractService m_service;
};
