// The report folder as shipped: every template a definition names (and the one the mail path
// asks for) is there, reads as a template, and reads only fields of its definition's dataset.
#include "server/services/uReportService.h"

#include "foundation/IniFile.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportTemplate.h"
#include "testsupport/QtPrinters.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kReports = QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports/");

ReportTemplate Read(const QString &name)
{
    QFile file(kReports + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return ReportTemplate::FromXml(file.readAll());
}

} // namespace

TEST(ShippedReports, EveryTemplateReadsOnlyFieldsOfItsDataset)
{
    // Template and dataset, as the definitions pair them, plus the client's own pairs.
    QList<std::pair<QString, QString>> uses = {
        {QStringLiteral("rptMinisterScheduleP.rtm"), QStringLiteral("rptScheduledMinisters")},      // the mail path
        {QStringLiteral("ContactLabels.rtm"), QStringLiteral("DARptLabelsContactsInFamily")},        // labels by family
    };
    const QString section = QStringLiteral("Report definition");
    for (const QString &file : QDir(kReports).entryList({QStringLiteral("*.def")}, QDir::Files)) {
        IniFile definition(kReports + file);
        ASSERT_TRUE(definition.load());
        for (const char *key : {"Report Name", "Report Name Portrait", "Report Name Landscape"}) {
            const QString name = definition.value(section, QLatin1String(key));
            if (!name.isEmpty())
                uses << std::pair{name, definition.value(section, QStringLiteral("Data source"))};
        }
    }
    QStringList templates;
    for (const auto &[name, dataset] : uses) {
        const TDASchemaDataset *schema = TReportService::Schema().FindDataset(dataset);
        ASSERT_TRUE(schema) << dataset.toStdString();
        try {
            const ReportTemplate report = Read(name);
            EXPECT_EQ(ReportEngine::MissingFields(report, schema->Fields), QStringList()) << name.toStdString() << " on " << dataset.toStdString();
            EXPECT_EQ(report.PageSize.id(), QPageSize::Letter) << name.toStdString();
        } catch (const std::exception &e) {
            ADD_FAILURE() << name.toStdString() << ": " << e.what();
        }
        if (!templates.contains(name))
            templates << name;
    }
    // Nothing in the folder is left over.
    EXPECT_EQ(QDir(kReports).entryList({QStringLiteral("*.rtm")}, QDir::Files).size(), templates.size());
}
