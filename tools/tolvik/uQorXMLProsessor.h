// The task processor: runs the tasks of the task file ("configuration.xml") in order and
// writes what each search finds into the report document under its own element.
#pragma once

#include <QDate>
#include <QDomDocument>
#include <QString>

#include <stdexcept>

// A failure that ends the run; the wizard shows its text.
class EQorTaskError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Where the processor reports progress: the wizard's progress page.
class ITaskProgress
{
public:
    virtual ~ITaskProgress() = default;
    // A text that is not empty replaces the action label; a maximum above 0 sets the bar's
    // maximum; a position above 0 sets its position.
    virtual void SetProgress(const QString &text, int position, int maximum) = 0;
    // replace: the text becomes the task prefix and the task label; otherwise the task label
    // shows the prefix followed by the text.
    virtual void SetTaskText(const QString &text, bool replace) = 0;
};

// The report as the wizard starts it: "Support" with "Application", "Version" and "Date".
QDomDocument NewReportDocument(const QString &application, const QString &version, const QDate &date);
// The report as text, beginning with the declaration "<?xml version="1.0"?>".
QString ReportText(const QDomDocument &report);

class TQorXMLBaseProsessor
{
public:
    TQorXMLBaseProsessor(ITaskProgress *wizard, const QString &taskFileName);
    virtual ~TQorXMLBaseProsessor() = default;

    QString TaskFileName() const { return m_taskFileName; }
    // A new task document is read at the next run.
    void SetTaskFileName(const QString &name);
    void SetOutput(QDomDocument *report) { m_output = report; }
    QDomDocument *Output() const { return m_output; }
    ITaskProgress *Wizard() const { return m_wizard; }

    // Runs every task; raises EQorTaskError when the task file cannot be read, holds no task,
    // or a file search cannot go on.
    void Run();

private:
    void LoadTasks();
    void Dispatch(const QString &category, const QDomElement &task);

    ITaskProgress *m_wizard;
    QString m_taskFileName;
    QDomDocument m_tasks;
    bool m_loaded = false;
    QDomDocument *m_output = nullptr;
};

class TQorXMLProsessor : public TQorXMLBaseProsessor
{
public:
    using TQorXMLBaseProsessor::TQorXMLBaseProsessor;
};
