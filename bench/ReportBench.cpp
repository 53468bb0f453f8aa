// Renders the shipped contact list over 2,000 rows to PDF and prints pages per second: the
// layout on pages, the PDF writing, and both together (what GenerateReport and a direct PDF
// cost). Runs offscreen; no database.
// Usage: report_bench [template file]   (default: the shipped ContactList.rtm)
#include "dataaccess/TDADataStreamer.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"
#include "reporting/ReportExport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 2000;
constexpr int kRounds = 5;

TDATableData Contacts()
{
    TDATableData table;
    table.Name = QStringLiteral("rptContacts");
    for (const char *name : {"Name", "TheTitle", "LastName", "FirstName", "TheSuffix", "Street", "Postal", "phone1", "phone2", "EMail1", "TotAdr"}) {
        TDAField field;
        field.Name = QLatin1String(name);
        table.Fields << field;
    }
    for (int i = 0; i < kRows; ++i) {
        const QString last = QStringLiteral("Lastname%1").arg(i, 4, 10, QLatin1Char('0'));
        const QString street = QStringLiteral("%1 Elm Street").arg(i + 1);
        const QString postal = QStringLiteral("Springfield, IL %1").arg(60000 + i);
        table.Rows << QVariantList{last + QStringLiteral(", Mr John P"), QStringLiteral("Mr"), last, QStringLiteral("John"), QString(), street, postal,
                                   QStringLiteral("555-%1").arg(i, 4, 10, QLatin1Char('0')), i % 3 ? QString() : QStringLiteral("555-9999"),
                                   QStringLiteral("john%1@example.org").arg(i), street + QLatin1Char('\n') + postal};
    }
    return table;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KESTROVA_REPORTS_DIR "/ContactList.rtm");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "report_bench: cannot read %s\n", qPrintable(path));
        return 1;
    }
    try {
        const ReportTemplate report = ReportTemplate::FromXml(file.readAll());
        const TDATableData data = Contacts();
        std::vector<double> layout, pdf;
        int pages = 0;
        qsizetype bytes = 0;
        for (int round = 0; round < kRounds; ++round) {
            QElapsedTimer timer;
            timer.start();
            const ReportDocument document = ReportEngine::Render(report, data);
            layout.push_back(timer.nsecsElapsed() / 1e9);
            timer.restart();
            bytes = ReportExport::ToBytes(document, ReportExportKind::Pdf).size();
            pdf.push_back(timer.nsecsElapsed() / 1e9);
            pages = document.PageCount();
        }
        const double l = Median(layout), p = Median(pdf);
        std::printf("%s: %d rows, %d pages, PDF of %lld bytes (median of %d rounds)\n", qPrintable(path), kRows, pages,
                    static_cast<long long>(bytes), kRounds);
        std::printf("  layout (two passes, page count known):  %7.3f s  %8.1f pages/s\n", l, pages / l);
        std::printf("  PDF writing:                             %7.3f s  %8.1f pages/s\n", p, pages / p);
        std::printf("  layout and PDF:                          %7.3f s  %8.1f pages/s\n", l + p, pages / (l + p));
    } catch (const EReportError &e) {
        std::fprintf(stderr, "report_bench: %s\n", qPrintable(e.Message()));
        return 1;
    }
    return 0;
}
