#include "client/ufReports.h"

#include "foundation/QuorvaLogFile.h"
#include "ui/uActionIcons.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace ReportChooserRules;

namespace {

constexpr int kDefinitionRole = Qt::UserRole + 1;

QDateEdit *DateEdit(QWidget *parent, const char *name)
{
    auto *edit = new QDateEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("M/d/yyyy"));
    return edit;
}

QLabel *ValueLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TfReports::TfReports(std::function<QString(int)> text, std::function<QString(const QString &, const QString &)> setting,
                     QWidget *parent)
    : TfBaseDialog(parent)
    , m_text(std::move(text))
    , m_setting(std::move(setting))
    , m_tree(new QTreeWidget(this))
    , m_details(new QStackedWidget(this))
    , m_pnlDescription(new QGroupBox(this))
    , m_lblDescription(new QLabel(m_pnlDescription))
    , m_grpLabel(new QGroupBox(this))
    , m_grpReports(new QGroupBox(this))
    , m_lblOrientation(new QLabel(m_grpReports))
    , m_rbPortrait(new QRadioButton(m_grpReports))
    , m_rbLandscape(new QRadioButton(m_grpReports))
    , m_grpBox(new QGroupBox(this))
    , m_rbSelected(new QRadioButton(m_grpBox))
    , m_rbAll(new QRadioButton(m_grpBox))
    , m_chkLBLAddress(new QCheckBox(m_grpBox))
    , m_lblFrom(new QLabel(m_grpBox))
    , m_dtFrom(DateEdit(m_grpBox, "dtFrom"))
    , m_lblTo(new QLabel(m_grpBox))
    , m_dtTo(DateEdit(m_grpBox, "dtTo"))
    , m_pnlDates(new QGroupBox(this))
    , m_dtExtFrom(DateEdit(m_pnlDates, "dtExtFrom"))
    , m_dtExtto(DateEdit(m_pnlDates, "dtExtto"))
    , m_acPreview(new QAction(this))
    , m_acPrint(new QAction(this))
    , m_acWord(new QAction(this))
    , m_acClose(new QAction(this))
    , m_acHelp(new QAction(this))
{
    setObjectName(QStringLiteral("TfReports"));
    resize(720, 480);
    m_tree->setObjectName(QStringLiteral("tvReports"));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setMinimumWidth(250);
    m_pnlDescription->setObjectName(QStringLiteral("pnlDescription"));
    m_grpLabel->setObjectName(QStringLiteral("grpLabel"));
    m_grpReports->setObjectName(QStringLiteral("grpReports"));
    m_grpBox->setObjectName(QStringLiteral("grpBox"));
    m_pnlDates->setObjectName(QStringLiteral("pnlDates"));
    m_rbSelected->setObjectName(QStringLiteral("rbSelected"));
    m_rbAll->setObjectName(QStringLiteral("rbAll"));
    m_chkLBLAddress->setObjectName(QStringLiteral("chkLBLAddress"));
    m_rbPortrait->setObjectName(QStringLiteral("rbPortrait"));
    m_rbLandscape->setObjectName(QStringLiteral("rbLandscape"));

    const auto caption = [this](QLabel *label, int number) {
        m_captionLabels << label;
        m_captionNumbers << number;
        return label;
    };

    // The detail panels: a description of a kind of report, a label report, a list.
    m_lblDescription->setWordWrap(true);
    m_lblDescription->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    (new QVBoxLayout(m_pnlDescription))->addWidget(m_lblDescription);
    auto *labelForm = new QFormLayout(m_grpLabel);
    for (int number : {5502, 5503, 5504, 5513, 5512}) {
        QLabel *value = ValueLabel(m_grpLabel);
        labelForm->addRow(caption(new QLabel(m_grpLabel), number), value);
        m_labelValues << value;
    }
    auto *reportForm = new QFormLayout(m_grpReports);
    for (int number : {5502, 5503, 5504, 5505}) {
        QLabel *value = ValueLabel(m_grpReports);
        reportForm->addRow(caption(new QLabel(m_grpReports), number), value);
        m_reportValues << value;
    }
    auto *orientation = new QHBoxLayout;
    orientation->addWidget(m_rbPortrait);
    orientation->addWidget(m_rbLandscape);
    orientation->addStretch();
    reportForm->addRow(caption(m_lblOrientation, 3042), orientation);
    auto *orientations = new QButtonGroup(this);
    orientations->addButton(m_rbPortrait);
    orientations->addButton(m_rbLandscape);
    m_rbPortrait->setChecked(true);
    m_details->addWidget(m_pnlDescription);
    m_details->addWidget(m_grpLabel);
    m_details->addWidget(m_grpReports);

    // The print range.
    auto *records = new QButtonGroup(this);
    records->addButton(m_rbSelected);
    records->addButton(m_rbAll);
    auto *range = new QGridLayout(m_grpBox);
    range->addWidget(m_rbSelected, 0, 0, 1, 4);
    range->addWidget(m_rbAll, 1, 0, 1, 4);
    range->addWidget(m_chkLBLAddress, 2, 0, 1, 4);
    range->addWidget(caption(m_lblFrom, 3047), 3, 0);
    range->addWidget(m_dtFrom, 3, 1);
    range->addWidget(caption(m_lblTo, 3048), 3, 2);
    range->addWidget(m_dtTo, 3, 3);
    range->setColumnStretch(4, 1);
    auto *extra = new QGridLayout(m_pnlDates);
    extra->addWidget(caption(new QLabel(m_pnlDates), 3047), 0, 0);
    extra->addWidget(m_dtExtFrom, 0, 1);
    extra->addWidget(caption(new QLabel(m_pnlDates), 3048), 0, 2);
    extra->addWidget(m_dtExtto, 0, 3);
    extra->setColumnStretch(4, 1);

    auto *central = new QWidget(this);
    auto *columns = new QHBoxLayout(central);
    columns->addWidget(m_tree, 2);
    auto *right = new QVBoxLayout;
    right->addWidget(m_details, 1);
    right->addWidget(m_grpBox);
    right->addWidget(m_pnlDates);
    columns->addLayout(right, 3);
    setCentralWidget(central);

    // Actions and keys: Enter anywhere previews, Escape closes.
    QStyle *look = style();
    const QList<std::pair<QAction *, const char *>> names = {
        {m_acPreview, "acPreview"}, {m_acPrint, "acPrint"}, {m_acWord, "acWord"}, {m_acClose, "acClose"}, {m_acHelp, "acHelp"}};
    for (const auto &[action, name] : names) {
        action->setObjectName(QLatin1String(name));
        addAction(action);
    }
    m_acPreview->setIcon(look->standardIcon(QStyle::SP_FileDialogContentsView));
    m_acPrint->setIcon(PrintIcon());
    m_acWord->setIcon(look->standardIcon(QStyle::SP_FileDialogDetailedView));
    m_acClose->setIcon(look->standardIcon(QStyle::SP_DialogCloseButton));
    m_acHelp->setIcon(look->standardIcon(QStyle::SP_DialogHelpButton));
    m_acPreview->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    m_acClose->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acHelp->setShortcut(QKeySequence(Qt::Key_F1));
    QToolBar *bar = addToolBar(QStringLiteral("Reports"));
    bar->setObjectName(QStringLiteral("tbReports"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(m_acPreview);
    bar->addAction(m_acPrint);
    bar->addAction(m_acWord);
    bar->addSeparator();
    bar->addAction(m_acHelp);
    bar->addAction(m_acClose);

    connect(m_acPreview, &QAction::triggered, this, [this] { Choose(true, false); });
    connect(m_acPrint, &QAction::triggered, this, [this] { Choose(false, false); });
    connect(m_acWord, &QAction::triggered, this, [this] { Choose(false, true); });
    connect(m_acClose, &QAction::triggered, this, [this] { SetModalResult(TModalResult::Cancel); });
    connect(m_acHelp, &QAction::triggered, this, [this] { emit HelpRequested(QStringLiteral("Reports")); });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) { tvReportsChange(item); });
    ShowDetail(TNodeDetail{}, nullptr);
}

TfReports::~TfReports() = default;

void TfReports::Caption()
{
    setWindowTitle(m_text(5001));
    m_acClose->setText(m_text(5002));
    m_acPreview->setText(m_text(5004));
    m_acPrint->setText(m_text(5003));
    m_acHelp->setText(m_text(5005));
    m_acWord->setText(m_text(5014));
    m_grpBox->setTitle(m_text(5008));
    m_rbPortrait->setText(m_text(3040));
    m_rbLandscape->setText(m_text(3041));
    m_rbSelected->setText(m_text(5006));
    m_rbAll->setText(m_text(5007));
    m_chkLBLAddress->setText(m_text(5506));
    m_pnlDates->setTitle(m_text(5008));
    for (int i = 0; i < m_captionLabels.size(); ++i)
        m_captionLabels[i]->setText(m_text(m_captionNumbers[i]));
}

void TfReports::LoadDefinitions(const QString &category, const QString &definitionText, const QString &familiesExclusion,
                                int selectionIndex, bool hasSelection)
{
    m_category = category;
    m_word = false;
    m_preview = false;
    m_chosen = nullptr;
    Caption();

    const QDate today = QDate::currentDate();
    m_dtExtFrom->setDate(SettingDate(m_setting(QStringLiteral("ReportExt_StartDate"), SettingText(today))));
    m_dtExtto->setDate(SettingDate(m_setting(QStringLiteral("Report_EndExtDate"), SettingText(today.addMonths(3)))));

    const TCategorySetup setup = ForCategory(category);
    const auto joined = [this](const QList<int> &numbers) {
        QString text;
        for (int number : numbers)
            text += m_text(number);
        return text;
    };
    m_rbSelected->setText(joined(setup.SelectedCaption));
    m_rbAll->setText(joined(setup.AllCaption));
    m_grpBox->setVisible(setup.ShowPrintBox);
    m_rbSelected->setVisible(setup.ShowRecordChoice);
    m_rbAll->setVisible(setup.ShowRecordChoice);
    m_chkLBLAddress->setVisible(setup.ShowLabelAddress);
    for (QWidget *period : {static_cast<QWidget *>(m_lblFrom), static_cast<QWidget *>(m_dtFrom), static_cast<QWidget *>(m_lblTo),
                            static_cast<QWidget *>(m_dtTo)})
        period->setVisible(setup.ShowPeriod);
    if (setup.AllChecked || !hasSelection)
        m_rbAll->setChecked(true);
    else
        m_rbSelected->setChecked(true);
    if (setup.ShowPeriod) {
        m_dtFrom->setDate(SettingDate(m_setting(QStringLiteral("Report_StartDate"), SettingText(today))));
        m_dtTo->setDate(SettingDate(m_setting(QStringLiteral("Report_EndDate"), SettingText(today.addMonths(3)))));
    }

    m_tree->clear();
    m_definitions = ReportDefinitions::ParseDefinitions(definitionText);
    for (const TTreeGroup &group : BuildTree(m_definitions, category, familiesExclusion, m_text)) {
        auto *node = new QTreeWidgetItem(m_tree, QStringList{group.Caption});
        node->setData(0, kDefinitionRole, QVariant::fromValue(static_cast<const void *>(group.First)));
        for (const TBaseReportDef *definition : group.Reports) {
            auto *child = new QTreeWidgetItem(node, QStringList{definition->ReportTitle});
            child->setData(0, kDefinitionRole, QVariant::fromValue(static_cast<const void *>(definition)));
        }
    }
    m_tree->expandAll();
    if (m_tree->topLevelItemCount() > 0)
        SelectNode(category == ReportCategory::SystemSettings ? SystemSettingsNode(selectionIndex) : 0);
}

void TfReports::SelectNode(int index)
{
    int position = 0;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *node = m_tree->topLevelItem(i);
        if (position++ == index) {
            m_tree->setCurrentItem(node);
            return;
        }
        for (int c = 0; c < node->childCount(); ++c)
            if (position++ == index) {
                m_tree->setCurrentItem(node->child(c));
                return;
            }
    }
}

QStringList TfReports::TreeLines() const
{
    QStringList lines;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *node = m_tree->topLevelItem(i);
        lines << node->text(0);
        for (int c = 0; c < node->childCount(); ++c)
            lines << QStringLiteral("  ") + node->child(c)->text(0);
    }
    return lines;
}

const TBaseReportDef *TfReports::DefinitionOf(const QTreeWidgetItem *item) const
{
    return item ? static_cast<const TBaseReportDef *>(item->data(0, kDefinitionRole).value<const void *>()) : nullptr;
}

void TfReports::tvReportsChange(QTreeWidgetItem *item)
{
    try {
        const TBaseReportDef *definition = DefinitionOf(item);
        if (!definition)
            return;
        if (!item->parent()) {
            ShowDetail(ForCategoryNode(*definition, m_category), nullptr);
            m_rbSelected->setEnabled(false);
            m_rbAll->setEnabled(false);
            m_dtFrom->setEnabled(true);
            m_dtTo->setEnabled(true);
            m_chosen = nullptr;
            return;
        }
        const TNodeDetail detail = ForReportNode(*definition, m_category);
        ShowDetail(detail, definition);
        m_rbAll->setEnabled(detail.RecordChoiceEnabled);
        m_rbSelected->setEnabled(detail.RecordChoiceEnabled);
        m_chosen = definition;
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("tvReportsChange"), QString::fromUtf8(e.what()));
    }
}

void TfReports::ShowDetail(const TNodeDetail &detail, const TBaseReportDef *definition)
{
    switch (detail.Kind) {
    case TNodeDetail::Panel::Description:
        m_pnlDescription->setTitle(m_text(detail.Caption));
        m_lblDescription->setText(m_text(detail.Text));
        m_details->setCurrentWidget(m_pnlDescription);
        break;
    case TNodeDetail::Panel::Label: {
        const auto *label = static_cast<const TLabelReportDef *>(definition);
        m_grpLabel->setTitle(m_text(detail.Caption));
        const QStringList values = {label->ReportCaption, label->ReportFormat, label->ReportPaperFormat, label->LabelHeight,
                                    label->LabelWidth};
        for (int i = 0; i < values.size(); ++i)
            m_labelValues[i]->setText(values[i]);
        m_details->setCurrentWidget(m_grpLabel);
        break;
    }
    case TNodeDetail::Panel::Report: {
        m_grpReports->setTitle(m_text(detail.Caption));
        const QStringList values = {definition->ReportCaption, definition->ReportFormat, definition->ReportPaperFormat,
                                    definition->Description};
        for (int i = 0; i < values.size(); ++i)
            m_reportValues[i]->setText(values[i]);
        m_details->setCurrentWidget(m_grpReports);
        break;
    }
    }
    m_lblOrientation->setVisible(detail.ShowOrientation);
    m_rbPortrait->setVisible(detail.ShowOrientation);
    m_rbLandscape->setVisible(detail.ShowOrientation);
    if (detail.ShowOrientation)
        m_rbPortrait->setChecked(true);
    m_pnlDates->setVisible(detail.ShowExtraPeriod);
    m_acPreview->setEnabled(detail.CanPreview);
    m_acPrint->setEnabled(detail.CanPreview);
    m_acWord->setEnabled(detail.CanWord);
}

void TfReports::Choose(bool preview, bool word)
{
    if (!m_chosen)
        return;
    m_preview = preview;
    m_word = word;
    SetModalResult(TModalResult::Ok);
}

TReportChoice TfReports::Choice() const
{
    TReportChoice choice;
    choice.Definition = m_chosen;
    choice.Preview = m_preview;
    choice.Word = m_word;
    choice.Portrait = !(m_chosen && m_chosen->OffersOrientation()) || m_rbPortrait->isChecked();
    choice.AllChecked = m_rbAll->isChecked();
    choice.SelectedChecked = m_rbSelected->isChecked();
    choice.SelectedEnabled = m_rbSelected->isEnabled();
    choice.LabelAddress = m_chkLBLAddress->isChecked();
    choice.PeriodVisible = !m_pnlDates->isHidden();
    choice.From = m_dtFrom->date();
    choice.To = m_dtTo->date();
    choice.ExtFrom = m_dtExtFrom->date();
    choice.ExtTo = m_dtExtto->date();
    return choice;
}

QString TfReports::CurrentPanel() const
{
    return m_details->currentWidget()->objectName();
}

QString TfReports::CurrentPanelCaption() const
{
    return static_cast<QGroupBox *>(m_details->currentWidget())->title();
}

QString TfReports::CurrentPanelText() const
{
    return m_lblDescription->text();
}
