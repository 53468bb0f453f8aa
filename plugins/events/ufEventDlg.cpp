#include "plugins/events/ufEventDlg.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"
#include "plugins/events/uRecurrence.h"
#include "plugins/events/ufRecurrence.h"
#include "plugins/events/uFunctionGridDelegate.h"
#include "plugins/events/uTypedDateTimeEdit.h"

#include "client/api/HostInterfaces.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"
#include "ui/uHTMLHelp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

TDAEvents &Data()
{
    return *RvEvents()->DataModule();
}

QString ModuleText(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}

} // namespace

TfEventDlg::TfEventDlg(QWidget *parent)
    : TfBaseDialog(parent)
    , m_rules(Data(), ModuleText)
    , m_templates(new QComboBox(this))
    , m_date(new TTypedDateEdit(this))
    , m_time(new TTypedTimeEdit(this))
    , m_duration(new QComboBox(this))
    , m_grid(new QTableView(this))
    , m_recurrencePanel(new QLabel(this))
    , m_templateButton(new QToolButton(this))
    , m_templateMenu(new QMenu(this))
    , m_acOK(new QAction(this))
    , m_acClose(new QAction(this))
    , m_acHelp(new QAction(this))
    , m_acAdd(new QAction(this))
    , m_acRemove(new QAction(this))
    , m_acRemoveAll(new QAction(this))
    , m_acRecurrence(new QAction(this))
    , m_acLookup(new QAction(this))
    , m_acClearMember(new QAction(this))
{
    setWindowModality(Qt::ApplicationModal);
    resize(640, 480);
    m_date->setCalendarPopup(true);
    // Hours and minutes: a liturgy starts on the minute.
    m_time->setDisplayFormat(QLocale().timeFormat(QLocale::ShortFormat).remove(QRegularExpression(QStringLiteral("[:.]ss?"))));
    // Typed durations are read when the field is left; the list's own completion would turn
    // "2" into "20 min".
    m_duration->setEditable(true);
    m_duration->setInsertPolicy(QComboBox::NoInsert);
    m_duration->setCompleter(nullptr);
    m_acOK->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_acClose->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acHelp->setShortcut(QKeySequence(Qt::Key_F1));
    m_acLookup->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    m_templateButton->setMenu(m_templateMenu);
    m_templateButton->setPopupMode(QToolButton::InstantPopup);
    m_templateButton->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto *bar = addToolBar(QStringLiteral("Liturgy"));
    bar->setMovable(false);
    bar->addAction(m_acOK);
    bar->addAction(m_acClose);
    bar->addSeparator();
    bar->addAction(m_acRecurrence);
    bar->addAction(m_acHelp);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *details = new QGroupBox(central);
    details->setObjectName(QStringLiteral("grpLiturgyDetails"));
    auto *form = new QFormLayout(details);
    auto *lblTemplate = new QLabel(details);
    auto *lblStart = new QLabel(details);
    auto *lblDuration = new QLabel(details);
    auto *startRow = new QHBoxLayout;
    startRow->addWidget(m_date);
    startRow->addWidget(m_time);
    startRow->addStretch();
    form->addRow(lblTemplate, m_templates);
    form->addRow(lblStart, startRow);
    form->addRow(lblDuration, m_duration);
    layout->addWidget(details);

    auto *grpFunctions = new QGroupBox(central);
    auto *functionsLayout = new QVBoxLayout(grpFunctions);
    auto *gridBar = new QToolBar(grpFunctions);
    gridBar->addAction(m_acAdd);
    gridBar->addAction(m_acRemove);
    gridBar->addAction(m_acRemoveAll);
    gridBar->addAction(m_acLookup);
    gridBar->addAction(m_acClearMember);
    gridBar->addWidget(m_templateButton);
    functionsLayout->addWidget(gridBar);
    functionsLayout->addWidget(m_grid);
    layout->addWidget(grpFunctions, 1);
    setCentralWidget(central);
    statusBar()->addWidget(m_recurrencePanel, 1);

    // Texts by number; the caption follows the mode in Prepare.
    setWindowTitle(Text(3011));
    details->setTitle(Text(3004));
    lblTemplate->setText(Text(3007));
    lblStart->setText(Text(3002));
    lblDuration->setText(Text(5004));
    m_acClose->setText(Text(3009));
    m_acHelp->setText(Text(3010));
    m_acOK->setText(Text(3012));
    m_date->SetRefusal(Text(3011), Text(3052));
    m_time->SetRefusal(Text(3011), Text(3053));
    m_acAdd->setText(Text(3018));
    m_acRemove->setText(Text(3019));
    m_acRemoveAll->setText(Text(3051));
    m_templateButton->setText(Text(2569));
    grpFunctions->setTitle(Text(3016));
    SetStatusText(Text(3017));
    m_acRecurrence->setText(Text(3033));
    m_acLookup->setText(Text(3022));
    m_acLookup->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    // The member column's second button: an icon only, as in the grid cell.
    m_acClearMember->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));

    m_model = new TDATableModel(&Data().DAScheduledMinistryFunctions, this);
    m_model->SetColumns({QStringLiteral("MemberLocked"), QStringLiteral("F_MinistryFunctionID"), QStringLiteral("MemberPosition"),
                         QStringLiteral("MemberCaption"), QStringLiteral("FlagMinister")});
    m_model->SetCaption(QStringLiteral("F_MinistryFunctionID"), Text(3020));
    m_model->SetCaption(QStringLiteral("MemberPosition"), Text(3021));
    m_model->SetCaption(QStringLiteral("MemberCaption"), Text(3022));
    m_model->SetCaption(QStringLiteral("MemberLocked"), Text(3023));
    m_model->SetCaption(QStringLiteral("FlagMinister"), Text(3025));
    ShowRefusedEdits(m_model, this);
    m_grid->setModel(m_model);
    auto *cells = new TFunctionGridDelegate(m_model, m_grid);
    cells->SetMemberButtons([this](int button) { PostLookup(button); });
    m_grid->setItemDelegate(cells);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->hide();

    connect(m_acOK, &QAction::triggered, this, [this] {
        if (TakeTypedInput())
            SetModalResult(TModalResult::Ok);
    });
    connect(m_duration->lineEdit(), &QLineEdit::editingFinished, this, [this] { TakeTypedInput(); });
    connect(m_acClose, &QAction::triggered, this, [this] {
        SetModalResult(TModalResult::Cancel);
        QCoreApplication::processEvents();
    });
    connect(m_acHelp, &QAction::triggered, this, [this] { TconHTMLHelp::ShowTopic(m_rules.HelpTopic()); });
    m_flagHint = new TMinisterFlagHintTracker(m_grid, m_model);
    connect(m_acAdd, &QAction::triggered, this, [this] {
        try {
            TDACDSDataTable &functions = Data().MinistryFunctions;
            if (!functions.GetActive())
                functions.Open();
            m_rules.AddFunction(functions.Eof() ? QString() : functions.AsString(QStringLiteral("PK_MinistryFunctionID")), LiturgyId());
            ShowFunctionCount();
            m_grid->setFocus();
        } catch (const std::exception &e) {
            QorLogFailure(RvEvents(), QStringLiteral("acAddExecute"), e);
        }
    });
    connect(m_acRemove, &QAction::triggered, this, [this] {
        try {
            m_rules.RemoveCurrent();
            ShowFunctionCount();
        } catch (const std::exception &e) {
            QorLogFailure(RvEvents(), QStringLiteral("acRemoveExecute"), e);
        }
    });
    connect(m_acRemoveAll, &QAction::triggered, this, [this] {
        try {
            if (Data().DAScheduledMinistryFunctions.GetState() != TDATableState::dsBrowse)
                Data().DAScheduledMinistryFunctions.Post();
            if (!m_rules.AskRemoveAll())
                return;
            m_rules.RemoveAllFunctions();
            m_rules.SetModified();
            ShowFunctionCount();
        } catch (const std::exception &e) {
            QorLogFailure(RvEvents(), QStringLiteral("acRemoveAllExecute"), e);
        }
    });
    connect(m_acRecurrence, &QAction::triggered, this, [this] { EditRecurrence(); });
    connect(m_acLookup, &QAction::triggered, this, [this] { PostLookup(0); });
    connect(m_acClearMember, &QAction::triggered, this, [this] { PostLookup(1); });
    connect(m_model, &TDATableModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        const int lock = m_model->ColumnOf(QStringLiteral("MemberLocked"));
        if (from.column() <= lock && lock <= to.column() && m_rules.Activated())
            m_rules.SetModified();
        UpdateActions();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    connect(m_templates, &QComboBox::currentIndexChanged, this, [this] { m_rules.FieldChanged(); });
    connect(m_date, &QDateEdit::dateChanged, this, [this] { m_rules.FieldChanged(); });
    connect(m_duration, &QComboBox::currentIndexChanged, this, [this] { m_rules.FieldChanged(); });
    UpdateActions();
}

TfEventDlg::~TfEventDlg() = default;

QDateEdit *TfEventDlg::dtStart() const
{
    return m_date;
}

QTimeEdit *TfEventDlg::teStartTime() const
{
    return m_time;
}

bool TfEventDlg::TakeTypedInput()
{
    if (!m_date->Finish() || !m_time->Finish())
        return false;
    const QString typed = m_duration->currentText().trimmed();
    const int chosen = m_duration->currentIndex();
    if (m_duration->count() == 0 || (chosen >= 0 && typed == m_duration->itemText(chosen)) || (chosen < 0 && typed.isEmpty()))
        return true;
    if (const int minutes = DurationMinutesOfText(m_rules.Durations(), typed, Text(2568)); minutes > 0) {
        SetDurationMinutes(minutes);
        m_duration->setEditText(m_duration->currentText());
        return true;
    }
    // Back to the chosen entry, and the user is told why.
    m_duration->setEditText(chosen >= 0 ? m_duration->itemText(chosen) : QString());
    ShowMessage(this, QMessageBox::Warning, windowTitle(), Text(3054));
    m_duration->setFocus();
    return false;
}

const TMinisterFlagHint &TfEventDlg::FlagHint() const
{
    return m_flagHint->Hint();
}

QString TfEventDlg::Text(int number) const
{
    return ModuleText(number);
}

QString TfEventDlg::LiturgyId() const
{
    if (m_rules.IsNew())
        return {};
    // Only the edited event's own liturgy: the table may hold others, and its current row is
    // no proof of whose it is.
    TDACDSDataTable &liturgies = Data().ScheduledLiturgies;
    const TDACDSDataTable &events = Data().EventList;
    if (!liturgies.GetActive() || !events.GetActive() || events.Eof())
        return {};
    const QString eventId = events.AsString(QStringLiteral("PK_EventID"));
    return liturgies.Locate(QStringLiteral("F_EventID"), eventId) ? liturgies.AsString(QStringLiteral("PK_ScheduledLiturgyID")) : QString();
}

void TfEventDlg::Prepare(bool isNew)
{
    m_rules.Prepare(isNew);
    setWindowTitle(m_rules.Caption());
    const int chosen = DurationMinutes();
    m_duration->clear();
    for (const TvoMinutes &entry : m_rules.Durations())
        m_duration->addItem(entry.Text, entry.Minutes);
    if (chosen > 0)
        SetDurationMinutes(chosen);
    try {
        FillLiturgyTemplates();
        FillMinistryTemplateMenu();
        if (!Data().MinistryFunctions.GetActive())
            Data().MinistryFunctions.Open();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("CreateFunctionList"), e);
    }
    ShowFunctionCount();
}

void TfEventDlg::SetEventDateTime(const QDateTime &start)
{
    m_date->setDate(start.date());
    m_time->setTime(start.time());
}

void TfEventDlg::SetDurationMinutes(int minutes)
{
    m_pendingDuration = minutes;
    if (m_duration->count() == 0 || minutes <= 0) {
        m_duration->setCurrentIndex(m_duration->findData(minutes));
        return;
    }
    // A length the list lacks (a typed 75, a stored 50) gets its own entry in order, so that
    // what the event holds is what is shown and saved.
    int index = m_duration->findData(minutes);
    if (index < 0) {
        index = 0;
        while (index < m_duration->count() && m_duration->itemData(index).toInt() < minutes)
            ++index;
        const TvoMinutes entry = m_rules.Duration(minutes);
        m_duration->insertItem(index, entry.Text, entry.Minutes);
    }
    m_duration->setCurrentIndex(index);
}

void TfEventDlg::SelectTemplate(const QString &templateId)
{
    const int index = templateId.isEmpty() ? (m_templateData.isEmpty() ? -1 : 0) : FindTemplateIndex(m_templateData, templateId);
    m_templates->setCurrentIndex(index);
}

std::optional<TvoLiturgyTemplateData> TfEventDlg::SelectedTemplate() const
{
    const int index = m_templates->currentIndex();
    if (index < 0 || index >= m_templateData.size())
        return std::nullopt;
    return m_templateData[index];
}

QDateTime TfEventDlg::Start() const
{
    const QTime time = m_time->time();
    return QDateTime(m_date->date(), QTime(time.hour(), time.minute()));
}

int TfEventDlg::DurationMinutes() const
{
    if (m_duration->count() == 0)
        return m_pendingDuration;
    return m_duration->currentIndex() < 0 ? 0 : m_duration->currentData().toInt();
}

bool TfEventDlg::Execute()
{
    m_saved = false;
    ShowModal();
    return m_saved;
}

void TfEventDlg::showEvent(QShowEvent *event)
{
    TfBaseDialog::showEvent(event);
    if (!m_rules.Activated()) {
        m_rules.Activate();
        QApplication::restoreOverrideCursor();
    }
}

void TfEventDlg::closeEvent(QCloseEvent *event)
{
    switch (m_rules.DecideClose(ModalResult() == TModalResult::Ok)) {
    case TEventEditorRules::CloseDecision::KeepOpen:
        event->ignore();
        return;
    case TEventEditorRules::CloseDecision::Save:
        m_saved = true;
        break;
    case TEventEditorRules::CloseDecision::Close:
        m_saved = false;
        break;
    }
    if (m_saved && Data().DAScheduledMinistryFunctions.GetState() != TDATableState::dsBrowse)
        Data().DAScheduledMinistryFunctions.Post();
    TfBaseDialog::closeEvent(event);
}

void TfEventDlg::FillLiturgyTemplates()
{
    m_templates->blockSignals(true);
    m_templates->clear();
    m_templateData.clear();
    TDACDSDataTable &templates = Data().LiturgyTemplates;
    templates.Close();
    templates.Open();
    templates.Sort(QStringLiteral("LiturgyIndex"));
    for (templates.First(); !templates.Eof(); templates.Next()) {
        TvoLiturgyTemplateData entry;
        entry.ID = templates.AsString(QStringLiteral("PK_LiturgyTemplateID"));
        entry.Name = templates.AsString(QStringLiteral("LiturgyTemplateName"));
        TDACDSDataTable &locations = Data().DALocations;
        if (!locations.GetActive())
            locations.Open();
        const QString location = locations.Locate(QStringLiteral("PK_LocationID"), templates.Value(QStringLiteral("F_LocationID")))
                                     ? locations.AsString(QStringLiteral("LocationName"))
                                     : QString();
        entry.Text = entry.Name + QStringLiteral(" (") + location + QLatin1Char(')');
        m_templateData << entry;
        m_templates->addItem(entry.Text);
    }
    m_templates->setCurrentIndex(m_templateData.isEmpty() ? -1 : 0);
    m_templates->blockSignals(false);
}

void TfEventDlg::FillMinistryTemplateMenu()
{
    TDACDSDataTable &templates = Data().DAMinistryTemplates;
    if (!templates.GetActive())
        templates.Open();
    m_templateMenu->clear();
    for (templates.First(); !templates.Eof(); templates.Next()) {
        const QString id = templates.AsString(QStringLiteral("PK_MinistryTemplateID"));
        QAction *item = m_templateMenu->addAction(templates.AsString(QStringLiteral("MinistryTemplateName")));
        item->setData(id);
        connect(item, &QAction::triggered, this, [this, id] {
            try {
                if (!m_rules.AskReplaceByTemplate())
                    return;
                m_rules.AddFunctionsFromTemplate(id, LiturgyId());
                ShowFunctionCount();
            } catch (const std::exception &e) {
                QorLogFailure(RvEvents(), QStringLiteral("popUpItemClick"), e);
            }
        });
    }
}

void TfEventDlg::ShowFunctionCount()
{
    SetStatusText(m_rules.FunctionCountText());
    UpdateActions();
}

void TfEventDlg::UpdateActions()
{
    const TDACDSDataTable &rows = Data().DAScheduledMinistryFunctions;
    const bool focused = rows.GetActive() && rows.GetRecordCount() > 0;
    m_acRemove->setEnabled(focused);
    m_acRemoveAll->setEnabled(focused);
    m_acLookup->setEnabled(focused);
    m_acClearMember->setEnabled(focused);
}

QString TfEventDlg::RecurrenceStatus() const
{
    return m_recurrencePanel->text();
}

void TfEventDlg::PostLookup(int buttonIndex)
{
    QMetaObject::invokeMethod(this, [this, buttonIndex] { LookupResponsible(buttonIndex); }, Qt::QueuedConnection);
}

void TfEventDlg::LookupResponsible(int buttonIndex)
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    try {
        const int row = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : m_model->CurrentRow();
        if (row >= 0)
            m_model->SetCurrentRow(row);
        if (buttonIndex == 0) {
            QApplication::restoreOverrideCursor();
            std::unique_ptr<TSearchObjectList> hits;
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            if (RvEvents()->PerformSearch(1 + 2 + 4, QString(), 0, false, nullptr, nullptr, hits) && hits)
                m_rules.PickMember(*hits, m_date->date());
        } else {
            m_rules.ClearMember();
        }
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("cxEditBthRespPropertiesButtonClick"), e);
    }
    QApplication::restoreOverrideCursor();
}

void TfEventDlg::EditRecurrence()
{
    try {
        if (!m_recurrence)
            return;
        TfRecurrence dialog(this);
        dialog.LoadTexts();
        dialog.SetRecurrence(m_recurrence);
        dialog.SetEventDate(m_date->date());
        dialog.LoadRecurrence();
        const bool ok = RunRecurrenceDialog ? RunRecurrenceDialog(dialog) : dialog.exec() == QDialog::Accepted;
        if (!ok)
            return;
        if (m_recurrence->StartDate() != m_date->date())
            m_date->setDate(m_recurrence->StartDate());
        m_recurrence->Expand(false);
        m_recurrencePanel->setText(m_rules.RecurrenceText(m_recurrence->StartDate(), m_recurrence->EndDate(),
                                                          int(m_recurrence->Dates().size())));
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acRecurrenceExecute"), e);
    }
}
