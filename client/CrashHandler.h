// The client's exception reporter, in place from the first step of the start-up: a fatal
// signal or an exception nobody caught writes a crash report (what happened, the call stack,
// then every registered section) into one text file and ends the program. Sections describing
// the machine are registered by name by whoever provides them.
#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <utility>

class TQorCrashHandler
{
public:
    using SectionWriter = std::function<QString()>;
    // What a section describes, one name and value each, in order.
    using Properties = QList<std::pair<QString, QString>>;

    // Reports go to reportFile (appended); title heads each report.
    static void Install(const QString &reportFile, const QString &title);
    static void Uninstall();
    static bool Installed();
    static QString ReportFile();

    // Writes a report of an exception that ends the program; the caller then ends it.
    static void ReportException(const QString &message);

    static void RegisterSection(const QString &name, const QString &description, SectionWriter writer);
    static void UnregisterSection(const QString &name);
    // The report text for that message: title, message, time and every section.
    static QString BuildReport(const QString &message);
    // Every registered section, headed by its name and description.
    static QString SectionsText();
    // The text of a section: one "name=value" line for each property.
    static QString NameValueText(const Properties &properties);
};
