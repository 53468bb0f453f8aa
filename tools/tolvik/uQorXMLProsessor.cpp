#include "tools/tolvik/uQorXMLProsessor.h"

#include "tools/tolvik/TolvikTexts.h"
#include "tools/tolvik/uQorSearches.h"

#include <QFile>

#include <memory>

namespace {

QDomElement addText(QDomDocument &document, QDomElement parent, const QString &name, const QString &text)
{
    QDomElement element = document.createElement(name);
    element.appendChild(document.createTextNode(text));
    parent.appendChild(element);
    return element;
}

} // namespace

QDomDocument NewReportDocument(const QString &application, const QString &version, const QDate &date)
{
    QDomDocument document;
    document.setContent(QByteArrayLiteral("<?xml version=\"1.0\"?><Support/>"));
    QDomElement root = document.documentElement();
    addText(document, root, QStringLiteral("Application"), application);
    addText(document, root, QStringLiteral("Version"), version);
    addText(document, root, QStringLiteral("Date"), date.toString(QStringLiteral("yyyyMMdd")));
    return document;
}

QString ReportText(const QDomDocument &report)
{
    // The document's own writer quotes the version with single quotes.
    QString text = report.toString(1);
    if (text.startsWith(QLatin1String("<?xml")))
        text.remove(0, text.indexOf(QLatin1Char('\n')) + 1);
    return QStringLiteral("<?xml version=\"1.0\"?>\n") + text;
}

TQorXMLBaseProsessor::TQorXMLBaseProsessor(ITaskProgress *wizard, const QString &taskFileName)
    : m_wizard(wizard), m_taskFileName(taskFileName)
{
}

void TQorXMLBaseProsessor::SetTaskFileName(const QString &name)
{
    if (name != m_taskFileName)
        m_loaded = false;
    m_taskFileName = name;
}

void TQorXMLBaseProsessor::LoadTasks()
{
    if (m_loaded)
        return;
    QFile file(m_taskFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EQorTaskError(QStringLiteral("Cannot read %1: %2").arg(m_taskFileName, file.errorString()).toStdString());
    QDomDocument tasks;
    QString message;
    int line = 0;
    int column = 0;
    if (!tasks.setContent(file.readAll(), &message, &line, &column))
        throw EQorTaskError(QStringLiteral("%1 is no XML document: %2 (line %3, column %4)")
                                .arg(m_taskFileName, message)
                                .arg(line)
                                .arg(column)
                                .toStdString());
    m_tasks = tasks;
    m_loaded = true;
}

void TQorXMLBaseProsessor::Run()
{
    if (!m_output)
        throw EQorTaskError("No report to write into");
    LoadTasks();
    const QDomElement first = m_tasks.documentElement().firstChildElement(QStringLiteral("task"));
    if (first.isNull())
        throw EQorTaskError("invalid node in the configuration node");
    int count = 0;
    for (QDomElement task = first; !task.isNull(); task = task.nextSiblingElement())
        ++count;
    int position = 0;
    for (QDomElement task = first; !task.isNull(); task = task.nextSiblingElement()) {
        ++position;
        const QString category = task.attribute(QStringLiteral("category"));
        if (m_wizard)
            m_wizard->SetProgress(QString(), position, count);
        if (!category.isEmpty())
            Dispatch(category.toUpper(), task);
    }
}

void TQorXMLBaseProsessor::Dispatch(const QString &category, const QDomElement &task)
{
    const bool files = category == QLatin1String("BROWSE") || category == QLatin1String("COMPONENTS");
    const QString prefix =
        files || category == QLatin1String("OBJECTINFO") ? TolvikTexts::GetText(301) : QString();
    if (m_wizard)
        m_wizard->SetTaskText(prefix, true);

    struct Kind
    {
        const char *category;
        const char *progress;
        const char *element;
    };
    static const Kind kinds[] = {{"BROWSE", "", "Browse"},           {"COMPONENTS", "", "Browse"},
                                 {"REGISTRY", "registry", "Registry"}, {"SYSINFO", "Systeminfo", "SystemInfo"},
                                 {"OBJECTINFO", "objects", "Object"},  {"SERVICELIST", "Services", "Servicelist"},
                                 {"SQLSERVER", "SQLServer", "SQLServer"}};
    for (const Kind &kind : kinds) {
        if (category != QLatin1String(kind.category))
            continue;
        if (m_wizard && *kind.progress)
            m_wizard->SetProgress(QString::fromLatin1(kind.progress), 0, 0);
        QDomElement report = m_output->createElement(QString::fromLatin1(kind.element));
        m_output->documentElement().appendChild(report);
        std::unique_ptr<TQorSearch> search;
        if (files) {
            report.setAttribute(QStringLiteral("filetype"), task.attribute(QStringLiteral("filetype")));
            search = std::make_unique<TQorFileSearch>(*this, report, task);
        } else if (category == QLatin1String("REGISTRY")) {
            search = std::make_unique<TRegSearch>(*this, report, task);
        } else if (category == QLatin1String("SYSINFO")) {
            search = std::make_unique<TSysInfoSearch>(*this, report, task);
        } else if (category == QLatin1String("OBJECTINFO")) {
            search = std::make_unique<TQorObjectSearch>(*this, report, task);
        } else if (category == QLatin1String("SERVICELIST")) {
            search = std::make_unique<TQorProcessSearch>(*this, report, task);
        } else {
            search = std::make_unique<TQorSQLServerSearch>(*this, report, task);
        }
        search->Run();
        return;
    }
}
