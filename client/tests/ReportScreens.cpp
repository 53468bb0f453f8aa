// Pictures of the report viewer as a planner sees it: the contact list and the contact labels,
// rendered by the report engine from the shipped templates over a small parish. Run under a
// real display (xvfb-run with the xcb platform); writes report-preview-list.png and
// report-preview-labels.png, and the report designer on the list as report-designer.png, into
// the folder given.
#include "ui/ufPreview.h"
#include "ui/ufReportDesigner.h"

#include "dataaccess/TDADataStreamer.h"
#include "foundation/uResourceHandler.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"

#include "testsupport/ScreenshotSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStyleFactory>

#include <cstdio>

namespace {

using screenshots::Save;
using screenshots::Wait;

TDATableData Parish()
{
    TDATableData table;
    table.Name = QStringLiteral("rptContacts");
    for (const char *name : {"Name", "TheTitle", "LastName", "FirstName", "TheSuffix", "Street", "Postal", "phone1", "phone2", "EMail1", "TotAdr"}) {
        TDAField field;
        field.Name = QLatin1String(name);
        table.Fields << field;
    }
    const QStringList first{QStringLiteral("Anna"), QStringLiteral("Benedikt"), QStringLiteral("Clara"), QStringLiteral("Dominik"),
                            QStringLiteral("Elena"), QStringLiteral("Franz"), QStringLiteral("Greta"), QStringLiteral("Hugo")};
    const QStringList last{QStringLiteral("Adler"), QStringLiteral("Brandt"), QStringLiteral("Castell"), QStringLiteral("Dorn"),
                           QStringLiteral("Eberle"), QStringLiteral("Falk")};
    const QStringList streets{QStringLiteral("Church Street"), QStringLiteral("Elm Avenue"), QStringLiteral("Mill Lane")};
    for (int i = 0; i < 36; ++i) {
        const QString f = first[i % first.size()], l = last[(i / 2) % last.size()];
        const QString title = i % 2 ? QStringLiteral("Mr") : QStringLiteral("Mrs");
        const QString street = QStringLiteral("%1 %2").arg(12 + 7 * i).arg(streets[i % streets.size()]);
        const QString postal = QStringLiteral("Springfield, IL %1").arg(62701 + i % 5);
        table.Rows << QVariantList{QStringLiteral("%1, %2 %3").arg(l, title, f), title, l, f, QString(), street, postal,
                                   QStringLiteral("(217) 555-%1").arg(1200 + 37 * i),
                                   i % 3 ? QString() : QStringLiteral("(217) 555-%1").arg(4300 + i),
                                   QStringLiteral("%1.%2@example.org").arg(f.toLower(), l.toLower()),
                                   street + QLatin1Char('\n') + postal};
    }
    return table;
}

bool Picture(const QString &templateFile, const QString &path, const TVOResourceHandler &texts)
{
    QFile file(templateFile);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(templateFile));
        return false;
    }
    const ReportDocument document = ReportEngine::Render(ReportTemplate::FromXml(file.readAll()), Parish());
    TfPreview viewer;
    viewer.Localize([&texts](int number) { return texts.GetString(number); });
    viewer.SetReport(&document, QFileInfo(templateFile).fileName());
    // The viewer as it is without the report designer switched on.
    viewer.SetDesignerEnabled(false);
    viewer.resize(1000, 760);
    viewer.show();
    Wait(400);
    const bool saved = Save(viewer.grab(), path);
    viewer.close();
    return saved;
}

// The designer on the contact list, its name field chosen.
bool DesignerPicture(const QString &templateFile, const QString &path)
{
    QFile file(templateFile);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(templateFile));
        return false;
    }
    TfReportDesigner designer;
    designer.Open({file.readAll(), QFileInfo(templateFile).fileName(), Parish(), QString(), QDir::tempPath()});
    designer.resize(1240, 860);
    designer.Select({{ReportBandKind::Detail}, 0});
    designer.show();
    Wait(400);
    const bool saved = Save(designer.grab(), path);
    designer.close();
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    TVOResourceHandler texts;
    texts.LoadResourceFile(QStringLiteral(KESTROVA_LANGUAGE_FILE));
    texts.Open();
    const QString reports = QStringLiteral(KESTROVA_REPORTS_DIR);
    try {
        const bool list = Picture(reports + QStringLiteral("/ContactList.rtm"), folder + QStringLiteral("/report-preview-list.png"), texts);
        const bool labels = Picture(reports + QStringLiteral("/ContactLabels.rtm"), folder + QStringLiteral("/report-preview-labels.png"), texts);
        const bool designer = DesignerPicture(reports + QStringLiteral("/ContactList.rtm"), folder + QStringLiteral("/report-designer.png"));
        return list && labels && designer ? 0 : 1;
    } catch (const EReportError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 1;
    }
}
