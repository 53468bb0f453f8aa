// Word output of a report: the server's Word template (.docx with merge fields) filled with the
// rows of the report's Word data, saved where the user chose with the data file (".dat")
// beside it, and opened with the desktop's program for Word documents. The downloads wait in
// a temporary folder of the user's, which goes when the output is done.
#pragma once

#include <QString>

#include <functional>

class IReportService;
class QWidget;

struct TWordReportHost
{
    std::function<QString(int)> Text;
    QWidget *Owner = nullptr;
    // Where the save dialog starts: the user's documents folder.
    QString DocumentsFolder;
    // Opens a document with the desktop's program for it; false when none could be started.
    std::function<bool(const QString &file)> OpenDocument;
};

class TWordReport
{
public:
    TWordReport(IReportService &service, TWordReportHost host);

    // The merged document's file name; empty when nothing was written (no rows, the dialog
    // cancelled, a failure, which is logged as Severe "DMClient" "  PreviewReport" and told to
    // the user).
    QString PreviewWordReport(const QString &wordTemplate, const QString &dataSource, const QString &orderBy,
                              const QString &criteria);
    // The user-facing part: the save dialog, the merge, the data file beside the document and
    // the opening. A place where the document or its data cannot be written is told to the
    // user, who chooses again. Throws EReportError for a template or data that cannot be read.
    QString RunWordMailMerge(const QString &templateFile, const QString &dataFile);

    // The data file that goes beside a document: its name with the extension ".dat".
    static QString DataFileFor(const QString &document);

private:
    void Tell(const std::exception &e) const;

    IReportService &m_service;
    TWordReportHost m_host;
};
