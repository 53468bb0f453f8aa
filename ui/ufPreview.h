// The report viewer TfPreview: shows a rendered report one page at a time with page
// navigation and zoom, prints it through the printer dialog and hands an export choice back to
// its caller. Shown modally, it ends with Ok and an export kind, or Cancel (closed, Escape).
#pragma once

#include "ui/ufBaseDialog.h"

#include "reporting/ReportExport.h"

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QScrollArea;
class QToolButton;
class ReportDocument;
class TPreviewPage;

class UI_EXPORT TfPreview : public TfBaseDialog
{
    Q_OBJECT
public:
    enum class ZoomMode { WholePage, PageWidth, Actual };

    explicit TfPreview(QWidget *parent = nullptr);
    ~TfPreview() override;

    // The document stays the caller's and must outlive the viewer. The status bar's second
    // panel names the template.
    void SetReport(const ReportDocument *document, const QString &templateName);
    const ReportDocument *Document() const { return m_document; }
    // Captions by language text number.
    void Localize(const std::function<QString(int)> &text);
    // The report designer's action is shown and the status-bar gesture reaches it only when on.
    void SetDesignerEnabled(bool enabled);
    bool DesignerEnabled() const { return m_designerEnabled; }

    // What the user chose to export; None unless the viewer closed with Ok.
    ReportExportKind ExportKind() const { return m_exportKind; }
    // 0-based.
    int CurrentPage() const { return m_page; }
    int PageCount() const;
    void ShowPage(int index);
    ZoomMode Zoom() const { return m_zoom; }
    // Screen pixels per point of the page as shown.
    double Scale() const;
    QString ReportText() const;

    QAction *acClose() const { return m_acClose; }
    QAction *acPrint() const { return m_acPrint; }
    QAction *acViewWhole() const { return m_acViewWhole; }
    QAction *acViewPage() const { return m_acViewPage; }
    QAction *acView100() const { return m_acView100; }
    QAction *acFirst() const { return m_acFirst; }
    QAction *acPrevious() const { return m_acPrevious; }
    QAction *acNext() const { return m_acNext; }
    QAction *acLast() const { return m_acLast; }
    QAction *acHelp() const { return m_acHelp; }
    QAction *acReportDesigner() const { return m_acReportDesigner; }
    // btnPDF, btnXLS, btnText, btnHTML, btnRTF of the export drop-down.
    QAction *ExportAction(ReportExportKind kind) const;
    QLineEdit *edPage() const { return m_edPage; }

    // The document on a printer the user chose in the printer dialog, in the range chosen
    // there; false when the dialog was cancelled. Throws EReportError when printing fails.
    static bool PrintDocument(QWidget *parent, const ReportDocument &document);

signals:
    void HelpRequested(const QString &topic);
    void DesignerRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void SetZoom(ZoomMode mode);
    void UpdateView();
    void Print();
    void ChooseExport(ReportExportKind kind);
    void GoToTypedPage();

    const ReportDocument *m_document = nullptr;
    int m_page = 0;
    ZoomMode m_zoom = ZoomMode::PageWidth;
    ReportExportKind m_exportKind = ReportExportKind::None;
    bool m_designerEnabled = true;

    QScrollArea *m_scroll;
    TPreviewPage *m_pageView;
    QLineEdit *m_edPage;
    QLabel *m_reportPanel;
    QToolButton *m_btnExport;
    QToolButton *m_btnZoom;
    QAction *m_acClose;
    QAction *m_acPrint;
    QAction *m_acViewWhole;
    QAction *m_acViewPage;
    QAction *m_acView100;
    QAction *m_acFirst;
    QAction *m_acPrevious;
    QAction *m_acNext;
    QAction *m_acLast;
    QAction *m_acHelp;
    QAction *m_acReportDesigner;
    QList<std::pair<ReportExportKind, QAction *>> m_exportActions;
};
