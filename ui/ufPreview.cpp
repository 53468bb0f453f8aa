#include "ui/ufPreview.h"

#include "ui/DialogService.h"
#include "ui/uActionIcons.h"

#include "foundation/QuorvaLogFile.h"
#include "reporting/ReportDocument.h"
#include "reporting/ReportError.h"

#include <QAction>
#include <QApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace {

// Grey around the paper, so that its edges show.
constexpr int kPaperMargin = 12;

} // namespace

// The page as it is shown: white paper with a thin border, painted by the document at the
// viewer's scale.
class TPreviewPage : public QWidget
{
public:
    explicit TPreviewPage(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

    void Show(const ReportDocument *document, int page, double scale)
    {
        m_document = document;
        m_page = page;
        m_scale = scale;
        const QSizeF paper = document ? document->PageSize() * scale : QSizeF();
        setFixedSize(int(paper.width()) + 2 * kPaperMargin, int(paper.height()) + 2 * kPaperMargin);
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        if (!m_document || m_document->IsEmpty())
            return;
        const QRectF paper(kPaperMargin, kPaperMargin, width() - 2 * kPaperMargin, height() - 2 * kPaperMargin);
        painter.fillRect(paper, Qt::white);
        painter.setPen(QPen(Qt::black, 0));
        painter.drawRect(paper.adjusted(-0.5, -0.5, 0.5, 0.5));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_document->PaintPage(painter, m_page, paper);
    }

private:
    const ReportDocument *m_document = nullptr;
    int m_page = 0;
    double m_scale = 1;
};

TfPreview::TfPreview(QWidget *parent)
    : TfBaseDialog(parent)
    , m_scroll(new QScrollArea(this))
    , m_pageView(new TPreviewPage(m_scroll))
    , m_edPage(new QLineEdit(this))
    , m_reportPanel(new QLabel(this))
    , m_btnExport(new QToolButton(this))
    , m_btnZoom(new QToolButton(this))
    , m_acClose(new QAction(this))
    , m_acPrint(new QAction(this))
    , m_acViewWhole(new QAction(this))
    , m_acViewPage(new QAction(this))
    , m_acView100(new QAction(this))
    , m_acFirst(new QAction(this))
    , m_acPrevious(new QAction(this))
    , m_acNext(new QAction(this))
    , m_acLast(new QAction(this))
    , m_acHelp(new QAction(this))
    , m_acReportDesigner(new QAction(this))
{
    setObjectName(QStringLiteral("TfPreview"));
    resize(900, 760);
    m_scroll->setWidget(m_pageView);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    setCentralWidget(m_scroll);

    QStyle *look = style();
    const auto name = [](QAction *action, const char *objectName) { action->setObjectName(QLatin1String(objectName)); };
    name(m_acClose, "acClose");
    name(m_acPrint, "acPrint");
    name(m_acViewWhole, "acViewWhole");
    name(m_acViewPage, "acViewPage");
    name(m_acView100, "acView100");
    name(m_acFirst, "acFirst");
    name(m_acPrevious, "acPrevious");
    name(m_acNext, "acNext");
    name(m_acLast, "acLast");
    name(m_acHelp, "acHelp");
    name(m_acReportDesigner, "acReportDesigner");
    m_acClose->setIcon(look->standardIcon(QStyle::SP_DialogCloseButton));
    m_acPrint->setIcon(PrintIcon());
    m_acFirst->setIcon(look->standardIcon(QStyle::SP_MediaSkipBackward));
    m_acPrevious->setIcon(look->standardIcon(QStyle::SP_ArrowLeft));
    m_acNext->setIcon(look->standardIcon(QStyle::SP_ArrowRight));
    m_acLast->setIcon(look->standardIcon(QStyle::SP_MediaSkipForward));
    m_acHelp->setIcon(look->standardIcon(QStyle::SP_DialogHelpButton));

    // Escape closes without the key reaching anything else.
    m_acClose->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acClose->setShortcutContext(Qt::WindowShortcut);
    m_acFirst->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
    m_acPrevious->setShortcut(QKeySequence(Qt::Key_PageUp));
    m_acNext->setShortcut(QKeySequence(Qt::Key_PageDown));
    m_acLast->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
    m_acHelp->setShortcut(QKeySequence(Qt::Key_F1));
    for (QAction *action : {m_acClose, m_acPrint, m_acViewWhole, m_acViewPage, m_acView100, m_acFirst, m_acPrevious, m_acNext,
                            m_acLast, m_acHelp, m_acReportDesigner})
        addAction(action);

    auto *exportMenu = new QMenu(this);
    const QList<std::pair<ReportExportKind, const char *>> exports = {{ReportExportKind::Pdf, "btnPDF"},
                                                                      {ReportExportKind::Xlsx, "btnXLS"},
                                                                      {ReportExportKind::Rtf, "btnRTF"},
                                                                      {ReportExportKind::Html, "btnHTML"},
                                                                      {ReportExportKind::Text, "btnText"}};
    for (const auto &[kind, objectName] : exports) {
        QAction *action = exportMenu->addAction(QString());
        action->setObjectName(QLatin1String(objectName));
        const ReportExportKind chosen = kind;
        connect(action, &QAction::triggered, this, [this, chosen] { ChooseExport(chosen); });
        m_exportActions.append({kind, action});
    }
    m_btnExport->setObjectName(QStringLiteral("btnExport"));
    m_btnExport->setMenu(exportMenu);
    m_btnExport->setPopupMode(QToolButton::InstantPopup);
    m_btnExport->setIcon(look->standardIcon(QStyle::SP_DialogSaveButton));
    m_btnExport->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto *zoomMenu = new QMenu(this);
    zoomMenu->addAction(m_acViewWhole);
    zoomMenu->addAction(m_acViewPage);
    zoomMenu->addAction(m_acView100);
    m_btnZoom->setObjectName(QStringLiteral("btnZoom"));
    m_btnZoom->setMenu(zoomMenu);
    m_btnZoom->setPopupMode(QToolButton::InstantPopup);
    m_btnZoom->setIcon(look->standardIcon(QStyle::SP_FileDialogContentsView));
    m_btnZoom->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    m_edPage->setObjectName(QStringLiteral("edPage"));
    m_edPage->setValidator(new QIntValidator(1, 999999, m_edPage));
    m_edPage->setFixedWidth(m_edPage->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    m_edPage->setAlignment(Qt::AlignCenter);

    QToolBar *bar = addToolBar(QStringLiteral("Preview"));
    bar->setObjectName(QStringLiteral("tbPreview"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(m_acClose);
    bar->addAction(m_acPrint);
    bar->addWidget(m_btnExport);
    bar->addWidget(m_btnZoom);
    bar->addSeparator();
    bar->addAction(m_acFirst);
    bar->addAction(m_acPrevious);
    bar->addWidget(m_edPage);
    bar->addAction(m_acNext);
    bar->addAction(m_acLast);
    bar->addSeparator();
    bar->addAction(m_acHelp);
    bar->addAction(m_acReportDesigner);
    for (QAction *action : {m_acFirst, m_acPrevious, m_acNext, m_acLast})
        if (QWidget *button = bar->widgetForAction(action))
            if (auto *tool = qobject_cast<QToolButton *>(button))
                tool->setToolButtonStyle(Qt::ToolButtonIconOnly);

    statusBar()->addPermanentWidget(m_reportPanel);
    statusBar()->installEventFilter(this);
    for (QWidget *child : statusBar()->findChildren<QWidget *>())
        child->installEventFilter(this);

    connect(m_acClose, &QAction::triggered, this, [this] {
        m_exportKind = ReportExportKind::None;
        SetModalResult(TModalResult::Cancel);
    });
    connect(m_acPrint, &QAction::triggered, this, &TfPreview::Print);
    connect(m_acViewWhole, &QAction::triggered, this, [this] { SetZoom(ZoomMode::WholePage); });
    connect(m_acViewPage, &QAction::triggered, this, [this] { SetZoom(ZoomMode::PageWidth); });
    connect(m_acView100, &QAction::triggered, this, [this] { SetZoom(ZoomMode::Actual); });
    connect(m_acFirst, &QAction::triggered, this, [this] { ShowPage(0); });
    connect(m_acPrevious, &QAction::triggered, this, [this] { ShowPage(m_page - 1); });
    connect(m_acNext, &QAction::triggered, this, [this] { ShowPage(m_page + 1); });
    connect(m_acLast, &QAction::triggered, this, [this] { ShowPage(PageCount() - 1); });
    connect(m_acHelp, &QAction::triggered, this, [this] { emit HelpRequested(QStringLiteral("Reports")); });
    connect(m_acReportDesigner, &QAction::triggered, this, [this] {
        if (m_designerEnabled)
            emit DesignerRequested();
    });
    connect(m_edPage, &QLineEdit::returnPressed, this, &TfPreview::GoToTypedPage);
    SetDesignerEnabled(true);
}

TfPreview::~TfPreview() = default;

void TfPreview::SetReport(const ReportDocument *document, const QString &templateName)
{
    m_document = document;
    m_page = 0;
    m_reportPanel->setText(QStringLiteral("Report : %1").arg(templateName));
    UpdateView();
}

void TfPreview::Localize(const std::function<QString(int)> &text)
{
    setWindowTitle(text(3000));
    m_acClose->setText(text(3001));
    m_acHelp->setText(text(3002));
    m_acPrint->setText(text(3003));
    m_btnZoom->setText(text(3008));
    m_acView100->setText(text(3009));
    m_acViewPage->setText(text(3010));
    m_acViewWhole->setText(text(3011));
    m_acReportDesigner->setText(text(3012));
    m_btnExport->setText(text(2596));
    const QList<std::pair<ReportExportKind, int>> captions = {{ReportExportKind::Pdf, 2594},
                                                              {ReportExportKind::Xlsx, 2595},
                                                              {ReportExportKind::Rtf, 2597},
                                                              {ReportExportKind::Html, 2598},
                                                              {ReportExportKind::Text, 2599}};
    for (const auto &[kind, number] : captions)
        ExportAction(kind)->setText(text(number));
    // Page navigation speaks through its icons; the captions become tips.
    for (QAction *action : {m_acFirst, m_acPrevious, m_acNext, m_acLast})
        action->setToolTip(action->text());
}

void TfPreview::SetDesignerEnabled(bool enabled)
{
    m_designerEnabled = enabled;
    m_acReportDesigner->setVisible(enabled);
    m_acReportDesigner->setEnabled(enabled);
}

int TfPreview::PageCount() const
{
    return m_document ? m_document->PageCount() : 0;
}

QAction *TfPreview::ExportAction(ReportExportKind kind) const
{
    for (const auto &[k, action] : m_exportActions)
        if (k == kind)
            return action;
    return nullptr;
}

QString TfPreview::ReportText() const
{
    return m_reportPanel->text();
}

void TfPreview::ShowPage(int index)
{
    if (PageCount() == 0)
        return;
    m_page = qBound(0, index, PageCount() - 1);
    UpdateView();
    m_scroll->verticalScrollBar()->setValue(0);
}

double TfPreview::Scale() const
{
    if (!m_document || m_document->IsEmpty())
        return 1;
    const QSizeF paper = m_document->PageSize();
    const QSize room = m_scroll->viewport()->size() - QSize(2 * kPaperMargin, 2 * kPaperMargin);
    switch (m_zoom) {
    case ZoomMode::WholePage:
        return qMax(0.05, qMin(room.width() / paper.width(), room.height() / paper.height()));
    case ZoomMode::PageWidth:
        // Room for the vertical scroll bar that a page taller than the window brings.
        return qMax(0.05, (room.width() - m_scroll->verticalScrollBar()->sizeHint().width()) / paper.width());
    case ZoomMode::Actual:
        break;
    }
    return logicalDpiX() / 72.0;
}

void TfPreview::SetZoom(ZoomMode mode)
{
    m_zoom = mode;
    UpdateView();
}

void TfPreview::UpdateView()
{
    m_pageView->Show(m_document, m_page, Scale());
    const int count = PageCount();
    m_edPage->setText(count ? QString::number(m_page + 1) : QString());
    // The viewer's status: where in the report this page is.
    SetStatusText(count ? QStringLiteral("%1 / %2").arg(m_page + 1).arg(count) : QString());
}

void TfPreview::GoToTypedPage()
{
    bool number = false;
    const int page = m_edPage->text().toInt(&number);
    if (number)
        ShowPage(page - 1);
    else
        UpdateView();
}

void TfPreview::ChooseExport(ReportExportKind kind)
{
    m_exportKind = kind;
    SetModalResult(TModalResult::Ok);
}

bool TfPreview::PrintDocument(QWidget *parent, const ReportDocument &document)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(document.PageLayout());
    printer.setDocName(document.Title());
    printer.setCreator(QStringLiteral("Quorva"));
    if (!Dialogs().ChoosePrinter(parent, printer, document.PageCount()))
        return false;
    int first = 0;
    int last = -1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = qBound(0, printer.fromPage() - 1, document.PageCount() - 1);
        last = qBound(first, printer.toPage() - 1, document.PageCount() - 1);
    }
    document.Print(printer, first, last, printer.pageLayout());
    return true;
}

void TfPreview::Print()
{
    try {
        if (m_document && !m_document->IsEmpty())
            PrintDocument(this, *m_document);
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("TfPreview.acPrint"), QString::fromUtf8(e.what()));
    }
}

bool TfPreview::eventFilter(QObject *watched, QEvent *event)
{
    // The way into the report designer: a double click on the status bar with Shift and Ctrl held.
    if (event->type() == QEvent::MouseButtonDblClick) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const Qt::KeyboardModifiers both = Qt::ShiftModifier | Qt::ControlModifier;
        if ((mouse->modifiers() & both) == both && m_designerEnabled) {
            m_acReportDesigner->trigger();
            return true;
        }
    }
    return TfBaseDialog::eventFilter(watched, event);
}

void TfPreview::resizeEvent(QResizeEvent *event)
{
    TfBaseDialog::resizeEvent(event);
    if (m_zoom != ZoomMode::Actual)
        UpdateView();
}

void TfPreview::showEvent(QShowEvent *event)
{
    TfBaseDialog::showEvent(event);
    // A viewer opens at page width.
    m_zoom = ZoomMode::PageWidth;
    UpdateView();
}
