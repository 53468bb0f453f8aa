#include "ui/ufReportDesigner.h"

#include "ui/DialogService.h"
#include "ui/PromptService.h"
#include "ui/uReportCanvas.h"

#include "foundation/QuorvaLogFile.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSaveFile>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
const QString kQuorva = QStringLiteral("Quorva");
const QString kContext = QStringLiteral("ShowDesigner");
const QString kFilter = QStringLiteral("Report templates (*.rtm *.xml)");

TfReportDesigner *g_active = nullptr;

QString KindName(ReportItemKind kind)
{
    switch (kind) {
    case ReportItemKind::Text: return QStringLiteral("Text");
    case ReportItemKind::Field: return QStringLiteral("Field");
    case ReportItemKind::Expression: return QStringLiteral("Expression");
    case ReportItemKind::Line: return QStringLiteral("Line");
    case ReportItemKind::Box: return QStringLiteral("Box");
    case ReportItemKind::Image: return QStringLiteral("Picture");
    }
    return {};
}

QDoubleSpinBox *MillimetreBox(QWidget *parent, const char *name)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(0, 2000);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

QCheckBox *CheckBox(QWidget *parent, const QString &text, const char *name)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

TfReportDesigner::TfReportDesigner(QWidget *parent)
    : TfBaseDialog(parent)
    , m_tabs(new QTabWidget(this))
    , m_canvasScroll(new QScrollArea(this))
    , m_canvas(new TDesignerCanvas(this))
    , m_previewPage(new QLabel(this))
    , m_previewPageNo(new QSpinBox(this))
    , m_previewProblem(new QLabel(this))
    , m_templatePanel(new QLabel(this))
    , m_fields(new QListWidget(this))
{
    setObjectName(QStringLiteral("TfReportDesigner"));
    setWindowTitle(Caption);
    resize(1240, 860);
    m_canvasScroll->setWidget(m_canvas);
    m_canvasScroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_canvasScroll->setBackgroundRole(QPalette::Dark);
    m_tabs->setObjectName(QStringLiteral("pcDesigner"));
    m_tabs->addTab(m_canvasScroll, QStringLiteral("Design"));

    auto *previewTab = new QWidget(this);
    auto *previewLayout = new QVBoxLayout(previewTab);
    auto *pageRow = new QHBoxLayout();
    pageRow->addWidget(new QLabel(QStringLiteral("Page"), previewTab));
    m_previewPageNo->setObjectName(QStringLiteral("edPreviewPage"));
    m_previewPageNo->setMinimum(1);
    pageRow->addWidget(m_previewPageNo);
    m_previewProblem->setObjectName(QStringLiteral("lbPreviewProblem"));
    m_previewProblem->setWordWrap(true);
    m_previewProblem->setStyleSheet(QStringLiteral("color: #b00020;"));
    pageRow->addWidget(m_previewProblem, 1);
    previewLayout->addLayout(pageRow);
    auto *previewScroll = new QScrollArea(previewTab);
    previewScroll->setBackgroundRole(QPalette::Dark);
    previewScroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_previewPage->setObjectName(QStringLiteral("lbPreviewPage"));
    previewScroll->setWidget(m_previewPage);
    previewLayout->addWidget(previewScroll, 1);
    m_tabs->addTab(previewTab, QStringLiteral("Preview"));
    setCentralWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1)
            ShowPreview();
    });
    connect(m_previewPageNo, &QSpinBox::valueChanged, this, [this](int page) { ShowPreviewPage(page - 1); });

    BuildActions();
    BuildPanel();
    statusBar()->addPermanentWidget(m_templatePanel);
    g_active = this;
}

TfReportDesigner::~TfReportDesigner()
{
    if (g_active == this)
        g_active = nullptr;
}

TfReportDesigner *TfReportDesigner::Active()
{
    return g_active && g_active->isVisible() ? g_active : nullptr;
}

QWidget *TfReportDesigner::Canvas() const
{
    return m_canvas;
}

QRect TfReportDesigner::ItemArea(const ReportItemRef &item) const
{
    return m_canvas->ItemArea(item);
}

QAction *TfReportDesigner::AddItemAction(ReportItemKind kind) const
{
    for (const auto &[k, action] : m_addItems)
        if (k == kind)
            return action;
    return nullptr;
}

QAction *TfReportDesigner::AddBandAction(ReportBandKind kind) const
{
    for (const auto &[k, action] : m_addBands)
        if (k == kind)
            return action;
    return nullptr;
}

void TfReportDesigner::BuildActions()
{
    QStyle *look = style();
    const auto make = [this](const char *name, const QString &text, const QIcon &icon = {}) {
        auto *action = new QAction(icon, text, this);
        action->setObjectName(QLatin1String(name));
        addAction(action);
        return action;
    };
    m_acClose = make("acClose", QStringLiteral("Close"), look->standardIcon(QStyle::SP_DialogCloseButton));
    m_acOpen = make("acOpen", QStringLiteral("Open..."), look->standardIcon(QStyle::SP_DialogOpenButton));
    m_acSave = make("acSave", QStringLiteral("Save"), look->standardIcon(QStyle::SP_DialogSaveButton));
    m_acSaveAs = make("acSaveAs", QStringLiteral("Save as..."));
    m_acDelete = make("acDelete", QStringLiteral("Delete item"), look->standardIcon(QStyle::SP_TrashIcon));
    m_acDeleteBand = make("acDeleteBand", QStringLiteral("Delete band"));
    m_acUndo = make("acUndo", QStringLiteral("Undo"), QIcon::fromTheme(QStringLiteral("edit-undo"), look->standardIcon(QStyle::SP_ArrowBack)));
    m_acRedo = make("acRedo", QStringLiteral("Redo"), QIcon::fromTheme(QStringLiteral("edit-redo"), look->standardIcon(QStyle::SP_ArrowForward)));
    m_acUndo->setShortcut(QKeySequence::Undo);
    m_acRedo->setShortcut(QKeySequence::Redo);
    m_acAddPicture = make("acAddPicture", QStringLiteral("Picture..."));
    m_acAddPicture->setToolTip(QStringLiteral("Add a picture from a file to the selected band"));
    m_acGrid = make("acGrid", QStringLiteral("Grid"));
    m_acGrid->setCheckable(true);
    m_acGrid->setChecked(m_gridOn);
    m_acOpen->setShortcut(QKeySequence::Open);
    m_acSave->setShortcut(QKeySequence::Save);
    m_acClose->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acClose->setShortcutContext(Qt::WindowShortcut);

    QToolBar *bar = addToolBar(QStringLiteral("Designer"));
    bar->setObjectName(QStringLiteral("tbDesigner"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(m_acClose);
    bar->addAction(m_acOpen);
    bar->addAction(m_acSave);
    bar->addAction(m_acSaveAs);
    bar->addSeparator();
    bar->addAction(m_acUndo);
    bar->addAction(m_acRedo);
    bar->addSeparator();
    const QList<std::pair<ReportItemKind, const char *>> kinds = {{ReportItemKind::Text, "acAddText"},
                                                                  {ReportItemKind::Field, "acAddField"},
                                                                  {ReportItemKind::Expression, "acAddExpression"},
                                                                  {ReportItemKind::Line, "acAddLine"},
                                                                  {ReportItemKind::Box, "acAddBox"}};
    for (const auto &[kind, name] : kinds) {
        QAction *action = make(name, KindName(kind));
        action->setToolTip(QStringLiteral("Add a %1 item to the selected band").arg(KindName(kind).toLower()));
        const ReportItemKind chosen = kind;
        connect(action, &QAction::triggered, this, [this, chosen] { AddItem(chosen); });
        bar->addAction(action);
        m_addItems.append({kind, action});
    }
    bar->addAction(m_acAddPicture);
    bar->addAction(m_acDelete);
    bar->addSeparator();
    auto *bandMenu = new QMenu(this);
    const QList<std::pair<ReportBandKind, const char *>> bands = {{ReportBandKind::Title, "acAddTitle"},
                                                                  {ReportBandKind::PageHeader, "acAddPageHeader"},
                                                                  {ReportBandKind::GroupHeader, "acAddGroup"},
                                                                  {ReportBandKind::Summary, "acAddSummary"},
                                                                  {ReportBandKind::PageFooter, "acAddPageFooter"}};
    for (const auto &[kind, name] : bands) {
        const QString text = kind == ReportBandKind::GroupHeader ? QStringLiteral("Group...") : m_editor.BandCaption({kind});
        QAction *action = bandMenu->addAction(text);
        action->setObjectName(QLatin1String(name));
        const ReportBandKind chosen = kind;
        connect(action, &QAction::triggered, this, [this, chosen] { AddBand(chosen); });
        m_addBands.append({kind, action});
    }
    auto *addBand = new QToolButton(this);
    addBand->setObjectName(QStringLiteral("btnAddBand"));
    addBand->setText(QStringLiteral("Add band"));
    addBand->setMenu(bandMenu);
    addBand->setPopupMode(QToolButton::InstantPopup);
    bar->addWidget(addBand);
    bar->addAction(m_acDeleteBand);
    bar->addSeparator();
    bar->addAction(m_acGrid);

    connect(m_acClose, &QAction::triggered, this, [this] { close(); });
    connect(m_acOpen, &QAction::triggered, this, &TfReportDesigner::OpenFile);
    connect(m_acSave, &QAction::triggered, this, &TfReportDesigner::Save);
    connect(m_acSaveAs, &QAction::triggered, this, &TfReportDesigner::SaveAs);
    connect(m_acDelete, &QAction::triggered, this, &TfReportDesigner::DeleteSelected);
    connect(m_acUndo, &QAction::triggered, this, [this] { History(true); });
    connect(m_acRedo, &QAction::triggered, this, [this] { History(false); });
    connect(m_acAddPicture, &QAction::triggered, this, &TfReportDesigner::AddPicture);
    connect(m_acDeleteBand, &QAction::triggered, this, &TfReportDesigner::DeleteBand);
    connect(m_acGrid, &QAction::toggled, this, [this](bool on) {
        m_gridOn = on;
        m_canvas->update();
    });
}

void TfReportDesigner::BuildPanel()
{
    auto *dock = new QDockWidget(QStringLiteral("Properties"), this);
    dock->setObjectName(QStringLiteral("dpProperties"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    auto *panel = new QWidget(dock);
    auto *layout = new QVBoxLayout(panel);

    m_itemBox = new QWidget(panel);
    auto *form = new QFormLayout(m_itemBox);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_kind = new QLabel(m_itemBox);
    m_kind->setObjectName(QStringLiteral("lbKind"));
    form->addRow(QStringLiteral("Item"), m_kind);
    m_x = MillimetreBox(m_itemBox, "edLeft");
    m_y = MillimetreBox(m_itemBox, "edTop");
    m_width = MillimetreBox(m_itemBox, "edWidth");
    m_height = MillimetreBox(m_itemBox, "edHeight");
    form->addRow(QStringLiteral("Left"), m_x);
    form->addRow(QStringLiteral("Top"), m_y);
    form->addRow(QStringLiteral("Width"), m_width);
    form->addRow(QStringLiteral("Height"), m_height);
    m_text = new QLineEdit(m_itemBox);
    m_text->setObjectName(QStringLiteral("edText"));
    form->addRow(QStringLiteral("Text"), m_text);
    m_field = new QComboBox(m_itemBox);
    m_field->setObjectName(QStringLiteral("cbField"));
    form->addRow(QStringLiteral("Field"), m_field);
    m_expression = new QLineEdit(m_itemBox);
    m_expression->setObjectName(QStringLiteral("edExpression"));
    form->addRow(QStringLiteral("Expression"), m_expression);
    m_format = new QLineEdit(m_itemBox);
    m_format->setObjectName(QStringLiteral("edFormat"));
    m_format->setPlaceholderText(QStringLiteral("MMMM d, yyyy or 0.00"));
    form->addRow(QStringLiteral("Format"), m_format);
    m_family = new QComboBox(m_itemBox);
    m_family->setObjectName(QStringLiteral("cbFontFamily"));
    m_family->setEditable(true);
    m_family->addItems(QFontDatabase::families());
    form->addRow(QStringLiteral("Font"), m_family);
    m_fontSize = new QDoubleSpinBox(m_itemBox);
    m_fontSize->setObjectName(QStringLiteral("edFontSize"));
    m_fontSize->setRange(2, 200);
    m_fontSize->setDecimals(1);
    m_fontSize->setSuffix(QStringLiteral(" pt"));
    form->addRow(QStringLiteral("Size"), m_fontSize);
    auto *styles = new QHBoxLayout();
    m_bold = CheckBox(m_itemBox, QStringLiteral("Bold"), "chkBold");
    m_italic = CheckBox(m_itemBox, QStringLiteral("Italic"), "chkItalic");
    m_underline = CheckBox(m_itemBox, QStringLiteral("Underline"), "chkUnderline");
    styles->addWidget(m_bold);
    styles->addWidget(m_italic);
    styles->addWidget(m_underline);
    form->addRow(QString(), styles);
    m_align = new QComboBox(m_itemBox);
    m_align->setObjectName(QStringLiteral("cbAlign"));
    m_align->addItem(QStringLiteral("Left"), int(Qt::AlignLeft));
    m_align->addItem(QStringLiteral("Center"), int(Qt::AlignHCenter));
    m_align->addItem(QStringLiteral("Right"), int(Qt::AlignRight));
    form->addRow(QStringLiteral("Across"), m_align);
    m_valign = new QComboBox(m_itemBox);
    m_valign->setObjectName(QStringLiteral("cbVAlign"));
    m_valign->addItem(QStringLiteral("Top"), int(Qt::AlignTop));
    m_valign->addItem(QStringLiteral("Middle"), int(Qt::AlignVCenter));
    m_valign->addItem(QStringLiteral("Bottom"), int(Qt::AlignBottom));
    form->addRow(QStringLiteral("Down"), m_valign);
    auto *wrapping = new QHBoxLayout();
    m_wrap = CheckBox(m_itemBox, QStringLiteral("Wrap"), "chkWrap");
    m_grow = CheckBox(m_itemBox, QStringLiteral("Grow"), "chkGrow");
    wrapping->addWidget(m_wrap);
    wrapping->addWidget(m_grow);
    wrapping->addStretch();
    form->addRow(QString(), wrapping);
    auto *frameRow = new QHBoxLayout();
    m_frame = CheckBox(m_itemBox, QStringLiteral("Frame"), "chkFrame");
    m_pen = new QDoubleSpinBox(m_itemBox);
    m_pen->setObjectName(QStringLiteral("edPen"));
    m_pen->setRange(0, 20);
    m_pen->setDecimals(2);
    m_pen->setSingleStep(0.25);
    m_pen->setSuffix(QStringLiteral(" pt"));
    frameRow->addWidget(m_frame);
    frameRow->addWidget(m_pen, 1);
    form->addRow(QStringLiteral("Pen"), frameRow);
    layout->addWidget(m_itemBox);

    auto *bandForm = new QFormLayout();
    m_bandHeight = MillimetreBox(panel, "edBandHeight");
    bandForm->addRow(QStringLiteral("Band height"), m_bandHeight);
    layout->addLayout(bandForm);
    m_problem = new QLabel(panel);
    m_problem->setObjectName(QStringLiteral("lbProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020;"));
    layout->addWidget(m_problem);
    layout->addWidget(new QLabel(QStringLiteral("Fields of the data source (double-click adds one)"), panel));
    m_fields->setObjectName(QStringLiteral("lwFields"));
    layout->addWidget(m_fields, 1);
    dock->setWidget(panel);
    dock->setMinimumWidth(320);
    addDockWidget(Qt::RightDockWidgetArea, dock);

    const auto geometry = [this](QDoubleSpinBox *box) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] {
            Apply([this](const ReportItemRef &item) {
                const ReportItem &current = m_editor.Item(item);
                QRectF rect(m_x->value() * kPointsPerMm, m_y->value() * kPointsPerMm, m_width->value() * kPointsPerMm,
                            m_height->value() * kPointsPerMm);
                // A line runs from its first point to its second: it keeps its direction.
                if (current.Kind == ReportItemKind::Line)
                    rect = QRectF(current.Rect.topLeft() + (rect.topLeft() - current.Rect.normalized().topLeft()),
                                  QSizeF(std::copysign(rect.width(), current.Rect.width()), std::copysign(rect.height(), current.Rect.height())));
                m_editor.SetItemRect(item, rect);
            });
        });
    };
    for (QDoubleSpinBox *box : {m_x, m_y, m_width, m_height})
        geometry(box);
    connect(m_text, &QLineEdit::textEdited, this, [this](const QString &text) {
        Apply([this, text](const ReportItemRef &item) { m_editor.SetText(item, text); });
    });
    // What is typed in one go is one step to undo; typing again later is another.
    connect(m_text, &QLineEdit::editingFinished, this, [this] { m_editor.EndMerge(); });
    connect(m_field, &QComboBox::currentTextChanged, this, [this](const QString &field) {
        Apply([this, field](const ReportItemRef &item) { m_editor.SetField(item, field); });
    });
    connect(m_expression, &QLineEdit::editingFinished, this, [this] {
        const QString text = m_expression->text();
        if (m_selected.IsValid() && m_editor.Item(m_selected).Kind == ReportItemKind::Expression &&
            text != m_editor.Item(m_selected).Expression->Source())
            Apply([this, text](const ReportItemRef &item) { m_editor.SetExpression(item, text); });
    });
    connect(m_format, &QLineEdit::editingFinished, this, [this] {
        const QString text = m_format->text();
        Apply([this, text](const ReportItemRef &item) { m_editor.SetFormat(item, text); });
    });
    const auto font = [this] {
        Apply([this](const ReportItemRef &item) {
            ReportFont chosen = m_editor.Item(item).Font;
            chosen.Family = m_family->currentText();
            chosen.PointSize = m_fontSize->value();
            chosen.Bold = m_bold->isChecked();
            chosen.Italic = m_italic->isChecked();
            chosen.Underline = m_underline->isChecked();
            m_editor.SetFont(item, chosen);
        });
    };
    connect(m_family, &QComboBox::currentTextChanged, this, font);
    connect(m_family->lineEdit(), &QLineEdit::editingFinished, this, [this] { m_editor.EndMerge(); });
    connect(m_fontSize, &QDoubleSpinBox::valueChanged, this, font);
    for (QCheckBox *box : {m_bold, m_italic, m_underline})
        connect(box, &QCheckBox::toggled, this, font);
    const auto alignment = [this] {
        Apply([this](const ReportItemRef &item) {
            m_editor.SetAlignment(item, Qt::Alignment(m_align->currentData().toInt() | m_valign->currentData().toInt()));
        });
    };
    connect(m_align, &QComboBox::currentIndexChanged, this, alignment);
    connect(m_valign, &QComboBox::currentIndexChanged, this, alignment);
    const auto wrap = [this] {
        Apply([this](const ReportItemRef &item) { m_editor.SetWordWrap(item, m_wrap->isChecked(), m_grow->isChecked()); });
    };
    connect(m_wrap, &QCheckBox::toggled, this, wrap);
    connect(m_grow, &QCheckBox::toggled, this, wrap);
    const auto frame = [this] {
        Apply([this](const ReportItemRef &item) { m_editor.SetFrame(item, m_frame->isChecked(), m_pen->value()); });
    };
    connect(m_frame, &QCheckBox::toggled, this, frame);
    connect(m_pen, &QDoubleSpinBox::valueChanged, this, frame);
    connect(m_bandHeight, &QDoubleSpinBox::valueChanged, this, [this](double height) {
        if (m_refreshing || !m_editor.HasBand(m_band))
            return;
        try {
            m_editor.SetBandHeight(m_band, height * kPointsPerMm);
            Changed();
        } catch (const EReportError &e) {
            Fail(QStringLiteral("SetBandHeight"), e.Message());
        }
    });
    connect(m_fields, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) { AddItem(ReportItemKind::Field, item->text()); });
}

void TfReportDesigner::Open(const TReportDesignerSource &source)
{
    ReportTemplateEditor editor;
    editor.Load(source.TemplateXml);
    m_editor = std::move(editor);
    m_data = source.Data;
    m_templateName = source.TemplateName;
    m_settingsFile = source.SettingsFile;
    m_documentsFolder = source.DocumentsFolder;
    m_fileName.clear();
    m_preview.reset();
    QStringList fields;
    for (const TDAField &field : m_data.Fields)
        fields << field.Name;
    m_editor.SetFields(fields);
    m_refreshing = true;
    m_fields->clear();
    m_fields->addItems(fields);
    m_field->clear();
    m_field->addItems(fields);
    m_refreshing = false;
    m_templatePanel->setText(QStringLiteral("Report : %1").arg(m_templateName));
    ReadSettings();
    m_selected = {};
    m_band = ReportBandRef{ReportBandKind::Detail};
    m_canvas->Relayout();
    RefreshProperties();
}

void TfReportDesigner::Select(const ReportItemRef &item)
{
    m_editor.Item(item);
    m_selected = item;
    m_band = item.Band;
    m_problem->clear();
    RefreshProperties();
    m_canvas->update();
}

void TfReportDesigner::SelectBand(const ReportBandRef &band)
{
    m_editor.Band(band);
    m_selected = {};
    m_band = band;
    m_problem->clear();
    RefreshProperties();
    m_canvas->update();
}

void TfReportDesigner::Apply(const std::function<void(const ReportItemRef &)> &edit)
{
    if (m_refreshing || !m_selected.IsValid())
        return;
    try {
        edit(m_selected);
        m_problem->clear();
    } catch (const EReportError &e) {
        // The edit was refused; the item keeps what it had and the panel shows it again.
        m_problem->setText(e.Message());
        SetStatusText(e.Message());
    }
    Changed();
}

void TfReportDesigner::History(bool back)
{
    back ? m_editor.Undo() : m_editor.Redo();
    // The step may have taken the selected item or band away.
    if (!m_editor.HasItem(m_selected))
        m_selected = {};
    if (!m_editor.HasBand(m_band))
        m_band = m_selected.IsValid() ? m_selected.Band : ReportBandRef{ReportBandKind::Detail};
    m_problem->clear();
    Changed();
}

void TfReportDesigner::AddPicture()
{
    const QString file = Dialogs().GetOpenFileName(this, QStringLiteral("Add a picture"), StartFolder(),
                                                   QStringLiteral("Pictures (*.png *.jpg *.jpeg *.bmp *.gif);;All files (*)"));
    if (file.isEmpty())
        return;
    QFile in(file);
    // Nothing larger than a template can hold is read at all.
    if (in.size() > ReportTemplate::kMaxBytes || !in.open(QIODevice::ReadOnly)) {
        const QString message = in.size() > ReportTemplate::kMaxBytes
                                    ? QStringLiteral("%1 is too large for a report").arg(QDir::toNativeSeparators(file))
                                    : QStringLiteral("%1 could not be read: %2").arg(QDir::toNativeSeparators(file), in.errorString());
        m_problem->setText(message);
        ShowMessage(this, QMessageBox::Warning, Caption, message);
        return;
    }
    try {
        const ReportBandRef band = m_editor.HasBand(m_band) ? m_band : ReportBandRef{ReportBandKind::Detail};
        const ReportItemRef item = m_editor.AddPicture(band, in.readAll());
        Changed();
        Select(item);
    } catch (const EReportError &e) {
        m_problem->setText(e.Message());
        ShowMessage(this, QMessageBox::Warning, Caption, e.Message());
    }
}

void TfReportDesigner::Changed()
{
    m_preview.reset();
    m_canvas->Relayout();
    RefreshProperties();
    SetStatusText(m_editor.IsModified() ? QStringLiteral("Changed") : QString());
}

void TfReportDesigner::RefreshProperties()
{
    m_refreshing = true;
    m_acUndo->setEnabled(m_editor.CanUndo());
    m_acRedo->setEnabled(m_editor.CanRedo());
    const bool item = m_selected.IsValid();
    m_itemBox->setEnabled(item);
    m_acDelete->setEnabled(item);
    m_acDeleteBand->setEnabled(m_band.Kind != ReportBandKind::Detail);
    m_bandHeight->setEnabled(m_editor.HasBand(m_band));
    if (m_editor.HasBand(m_band))
        m_bandHeight->setValue(m_editor.Band(m_band).Height / kPointsPerMm);
    if (item) {
        const ReportItem &current = m_editor.Item(m_selected);
        const QRectF rect = current.Rect.normalized();
        m_kind->setText(QStringLiteral("%1 in %2").arg(KindName(current.Kind), m_editor.BandCaption(m_selected.Band)));
        m_x->setValue(rect.left() / kPointsPerMm);
        m_y->setValue(rect.top() / kPointsPerMm);
        m_width->setValue(rect.width() / kPointsPerMm);
        m_height->setValue(rect.height() / kPointsPerMm);
        const bool texts = current.Kind == ReportItemKind::Text || current.Kind == ReportItemKind::Field ||
                           current.Kind == ReportItemKind::Expression;
        m_text->setEnabled(current.Kind == ReportItemKind::Text);
        m_text->setText(current.Text);
        m_field->setEnabled(current.Kind == ReportItemKind::Field || current.Kind == ReportItemKind::Image);
        m_field->setCurrentIndex(m_field->findText(current.FieldName, Qt::MatchFixedString));
        m_expression->setEnabled(current.Kind == ReportItemKind::Expression);
        m_expression->setText(current.Expression ? current.Expression->Source() : QString());
        m_format->setEnabled(current.Kind == ReportItemKind::Field || current.Kind == ReportItemKind::Expression);
        m_format->setText(current.Format);
        for (QWidget *w : std::initializer_list<QWidget *>{m_family, m_fontSize, m_bold, m_italic, m_underline, m_align, m_valign, m_wrap, m_grow, m_frame})
            w->setEnabled(texts);
        m_family->setCurrentText(current.Font.Family);
        m_fontSize->setValue(current.Font.PointSize);
        m_bold->setChecked(current.Font.Bold);
        m_italic->setChecked(current.Font.Italic);
        m_underline->setChecked(current.Font.Underline);
        m_align->setCurrentIndex(current.Alignment & Qt::AlignHCenter ? 1 : current.Alignment & Qt::AlignRight ? 2 : 0);
        m_valign->setCurrentIndex(current.Alignment & Qt::AlignVCenter ? 1 : current.Alignment & Qt::AlignBottom ? 2 : 0);
        m_wrap->setChecked(current.WordWrap);
        m_grow->setChecked(current.CanGrow);
        m_frame->setChecked(current.Frame);
        m_pen->setValue(current.PenWidth);
    } else {
        m_kind->setText(QStringLiteral("(none selected)"));
    }
    m_refreshing = false;
}

void TfReportDesigner::Fail(const QString &what, const QString &message)
{
    AddToLog(llSevere, kQuorva, kContext, QStringLiteral("%1: %2").arg(what, message));
    ShowMessage(this, QMessageBox::Warning, Caption, message);
}

void TfReportDesigner::AddItem(ReportItemKind kind, const QString &field)
{
    try {
        const ReportBandRef band = m_editor.HasBand(m_band) ? m_band : ReportBandRef{ReportBandKind::Detail};
        const ReportItemRef item = m_editor.AddItem(band, kind, QPointF(0, 0), field);
        Changed();
        Select(item);
    } catch (const EReportError &e) {
        m_problem->setText(e.Message());
    }
}

void TfReportDesigner::AddBand(ReportBandKind kind)
{
    QString on;
    if (kind == ReportBandKind::GroupHeader) {
        bool ok = false;
        on = QInputDialog::getText(this, Caption, QStringLiteral("Group on (a field or an expression):"), QLineEdit::Normal,
                                   m_editor.Fields().value(0), &ok);
        if (!ok)
            return;
    }
    try {
        const ReportBandRef band = m_editor.AddBand(kind, on);
        Changed();
        SelectBand(band);
    } catch (const EReportError &e) {
        m_problem->setText(e.Message());
    }
}

void TfReportDesigner::DeleteSelected()
{
    if (!m_selected.IsValid())
        return;
    m_editor.DeleteItem(m_selected);
    m_selected = {};
    Changed();
}

void TfReportDesigner::DeleteBand()
{
    try {
        m_editor.DeleteBand(m_band);
        m_selected = {};
        m_band = ReportBandRef{ReportBandKind::Detail};
        Changed();
    } catch (const EReportError &e) {
        m_problem->setText(e.Message());
    }
}

void TfReportDesigner::ShowPreview()
{
    if (!m_preview) {
        try {
            m_preview = ReportEngine::Render(m_editor.Template(), m_data);
            m_previewProblem->setText(m_preview->IsEmpty() ? QStringLiteral("No information available to print.") : QString());
        } catch (const EReportError &e) {
            m_previewProblem->setText(e.Message());
            m_previewPage->clear();
            return;
        }
    }
    m_previewPageNo->setMaximum(qMax(1, m_preview->PageCount()));
    m_previewPageNo->setSuffix(QStringLiteral(" of %1").arg(m_preview->PageCount()));
    ShowPreviewPage(m_previewPageNo->value() - 1);
}

void TfReportDesigner::ShowPreviewPage(int page)
{
    if (!m_preview || m_preview->IsEmpty())
        return;
    const QImage image = m_preview->PageImage(qBound(0, page, m_preview->PageCount() - 1), 72.0 * kScale);
    m_previewPage->setPixmap(QPixmap::fromImage(image));
    m_previewPage->resize(image.size());
}

QString TfReportDesigner::StartFolder() const
{
    if (!m_fileName.isEmpty())
        return QFileInfo(m_fileName).absolutePath();
    return !m_lastFolder.isEmpty() && QDir(m_lastFolder).exists() ? m_lastFolder : m_documentsFolder;
}

bool TfReportDesigner::SaveTo(const QString &file)
{
    try {
        const QByteArray xml = m_editor.Save();
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(xml) != xml.size() || !out.commit())
            throw EReportError(QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(file), out.errorString()));
    } catch (const EReportError &e) {
        Fail(QStringLiteral("Save"), e.Message());
        return false;
    }
    m_fileName = file;
    m_lastFolder = QFileInfo(file).absolutePath();
    m_editor.SetModified(false);
    SetStatusText(QStringLiteral("Saved as %1").arg(QDir::toNativeSeparators(file)));
    m_templatePanel->setText(QStringLiteral("Report : %1 (%2)").arg(m_templateName, QFileInfo(file).fileName()));
    return true;
}

bool TfReportDesigner::LoadFrom(const QString &file)
{
    try {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            throw EReportError(QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(file), in.errorString()));
        if (in.size() > ReportTemplate::kMaxBytes)
            throw EReportError(QStringLiteral("%1 is larger than a report template may be").arg(QDir::toNativeSeparators(file)));
        m_editor.Load(in.readAll());
    } catch (const EReportError &e) {
        Fail(QStringLiteral("Open"), e.Message());
        return false;
    }
    m_fileName = file;
    m_lastFolder = QFileInfo(file).absolutePath();
    m_selected = {};
    m_band = ReportBandRef{ReportBandKind::Detail};
    Changed();
    m_templatePanel->setText(QStringLiteral("Report : %1 (%2)").arg(m_templateName, QFileInfo(file).fileName()));
    return true;
}

void TfReportDesigner::Save()
{
    if (m_fileName.isEmpty())
        SaveAs();
    else
        SaveTo(m_fileName);
}

void TfReportDesigner::SaveAs()
{
    const QString suggested = QDir(StartFolder()).filePath(m_templateName.isEmpty() ? QStringLiteral("Report.rtm") : m_templateName);
    const QString file = Dialogs().GetSaveFileName(this, QStringLiteral("Save the report template"), suggested, kFilter,
                                                   QStringLiteral("rtm"), true);
    if (!file.isEmpty())
        SaveTo(file);
}

void TfReportDesigner::OpenFile()
{
    if (m_editor.IsModified() &&
        Prompt().Ask(this, QMessageBox::Question, Caption, QStringLiteral("Read another template and leave the changes unsaved?"),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    const QString file = Dialogs().GetOpenFileName(this, QStringLiteral("Open a report template"), StartFolder(), kFilter);
    if (!file.isEmpty())
        LoadFrom(file);
}

void TfReportDesigner::ReadSettings()
{
    if (m_settingsFile.isEmpty())
        return;
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Report Designer"));
    m_lastFolder = settings.value(QStringLiteral("LastFolder")).toString();
    m_gridOn = settings.value(QStringLiteral("Grid"), true).toBool();
    const double grid = settings.value(QStringLiteral("GridSize"), 1.0).toDouble();
    m_gridSize = (grid >= 0.5 && grid <= 20 ? grid : 1.0) * kPointsPerMm;
    const QByteArray geometry = settings.value(QStringLiteral("Geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    m_acGrid->setChecked(m_gridOn);
}

void TfReportDesigner::WriteSettings() const
{
    if (m_settingsFile.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_settingsFile).absolutePath());
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Report Designer"));
    settings.setValue(QStringLiteral("LastFolder"), m_lastFolder);
    settings.setValue(QStringLiteral("Grid"), m_gridOn);
    settings.setValue(QStringLiteral("GridSize"), m_gridSize / kPointsPerMm);
    settings.setValue(QStringLiteral("Geometry"), saveGeometry());
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        AddToLog(llWarning, kQuorva, kContext, QStringLiteral("The designer's settings could not be written to %1").arg(m_settingsFile));
}

void TfReportDesigner::closeEvent(QCloseEvent *event)
{
    if (m_editor.IsModified()) {
        const QMessageBox::StandardButton answer =
            Prompt().Ask(this, QMessageBox::Question, Caption, QStringLiteral("Save the changes to the report template?"),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        if (answer == QMessageBox::Yes) {
            Save();
            if (m_editor.IsModified()) {
                event->ignore();
                return;
            }
        }
    }
    WriteSettings();
    TfBaseDialog::closeEvent(event);
}
