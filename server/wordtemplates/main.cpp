// Makes one Word template of the report folder from its plain description (the format of
// WordTemplate::FromDescription): MakeWordTemplate <description> <document.docx>.
#include "reporting/ReportError.h"
#include "reporting/WordMailMerge.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: %s <description> <document.docx>\n", argv[0]);
        return 2;
    }
    QFile description(arguments[1]);
    if (!description.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(arguments[1]), qPrintable(description.errorString()));
        return 1;
    }
    try {
        WordTemplate::FromDescription(QString::fromUtf8(description.readAll())).Write(arguments[2]);
    } catch (const EReportError &e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(arguments[1]), e.what());
        return 1;
    }
    return 0;
}
