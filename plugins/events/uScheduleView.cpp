#include "plugins/events/uScheduleView.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"
#include "plugins/events/uEventImages.h"
#include "plugins/events/uFunctionGridDelegate.h"
#include "plugins/events/uGroupedRows.h"
#include "plugins/events/uScheduleRules.h"
#include "plugins/events/uWaitCursor.h"
#include "plugins/events/ufAutoScheduleStart.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"
#include "ui/uHTMLHelp.h"
#include "ui/ViewRefresh.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

const QString kProductSite = QStringLiteral("https://www.kestrova.org/");
const QString kStart = QStringLiteral("StartDateTime");
const QString kEventKey = QStringLiteral("PK_EventID");
const QString kFunctionKey = QStringLiteral("PK_ScheduledMemberID");
const QString kMemberId = QStringLiteral("F_MinistryMemberID");

// Upper grid columns, in this order; the start shows twice, as its date and as its time.
enum EventColumn { ecEventID, ecCanFillIn, ecDate, ecLocation, ecFlag, ecSubject, ecTime };
// Lower grid columns; the function shows twice, hidden as its key and as its name.
enum FunctionColumn { fcFunctionID, fcLock, fcFunctionName, fcPosition, fcAttended, fcMember, fcMemberID, fcMemberTypeID, fcFlag, fcComments };

QString Text(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}

// Painting frozen while it lives.
class TFrozen
{
public:
    explicit TFrozen(QWidget *widget) : m_widget(widget) { m_widget->setUpdatesEnabled(false); }
    ~TFrozen() { m_widget->setUpdatesEnabled(true); }
    TFrozen(const TFrozen &) = delete;
    TFrozen &operator=(const TFrozen &) = delete;

private:
    QWidget *m_widget;
};

// The events as planners read them: the date and the time of the start apart, the label colour
// as a colour box, the fill-in mark as a check box.
class TScheduleEventsModel : public TDATableModel
{
public:
    using TDATableModel::TDATableModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        const QVariant value = TDATableModel::data(index, Qt::EditRole);
        switch (index.column()) {
        case ecDate:
            if (role == Qt::DisplayRole)
                return value.isValid() ? QLocale().toString(value.toDateTime().date(), QLocale::ShortFormat) : QString();
            break;
        case ecTime:
            if (role == Qt::DisplayRole)
                return value.isValid() ? value.toDateTime().time().toString(QStringLiteral("h:mm AP")) : QString();
            break;
        case ecFlag:
            if (role == Qt::DisplayRole)
                return {};
            break;
        case ecCanFillIn:
            if (role == Qt::CheckStateRole)
                return value.isValid() && value.toInt() != 0 ? Qt::Checked : Qt::Unchecked;
            if (role == Qt::DisplayRole)
                return {};
            break;
        default:
            break;
        }
        return TDATableModel::data(index, role);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == ecDate)
            return Text(2560);
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == ecTime)
            return QStringLiteral("Time");
        return TDATableModel::headerData(section, orientation, role);
    }
};

// The label colour as a framed box filling the cell, without a name.
class TColorBoxDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QColor color = TScheduleRules::LabelColor(index.data(Qt::EditRole));
        if (!color.isValid())
            return;
        const QRect box = option.rect.adjusted(4, 3, -4, -3);
        painter->save();
        painter->fillRect(box, color);
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

// Position and attendance are edited only on a row with a member; the member and the flag
// change through the member buttons alone.
class TScheduleFunctionsModel : public TDATableModel
{
public:
    using TDATableModel::TDATableModel;

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags result = TDATableModel::flags(index);
        const Qt::ItemFlags edits = Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
        if (IsMemberField(index.column()) && !HasMember(index.row()))
            result &= ~edits;
        return result;
    }
    // The member cell leaves room for its two buttons; a name longer than the rest is read
    // whole in its tooltip.
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ToolTipRole && index.column() == fcMember)
            return TDATableModel::data(index, Qt::DisplayRole);
        return TDATableModel::data(index, role);
    }
    // One click, one key or one menu choice changes the lock once, whoever the member is.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (IsMemberField(index.column()) && !HasMember(index.row()))
            return false;
        EditedColumn = index.column();
        const auto done = qScopeGuard([this] { EditedColumn = -1; });
        return TDATableModel::setData(index, value, role);
    }
    // The column of the cell being written while the write moves the table to its row.
    int EditedColumn = -1;

private:
    static bool IsMemberField(int column) { return column == fcPosition || column == fcAttended || column == fcLock; }
    bool HasMember(int row) const
    {
        const int member = Table()->FieldIndex(kMemberId);
        return member >= 0 && row >= 0 && row < Table()->GetRecordCount()
            && TScheduleRules::MemberFieldsEditable(Table()->ValueAt(row, member));
    }
};

QAction *NewAction(QObject *parent, const QString &name, QStyle::StandardPixmap icon = QStyle::SP_CustomBase)
{
    auto *action = new QAction(parent);
    action->setObjectName(name);
    if (icon != QStyle::SP_CustomBase)
        action->setIcon(QApplication::style()->standardIcon(icon));
    return action;
}

template <class Interface> void WithHost(const std::function<void(Interface &)> &use)
{
    if (TRvEventsController *controller = RvEvents())
        if (auto host = host_cast<Interface>(controller->Host()))
            use(*host);
}

} // namespace

void TScheduleGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
}

bool TScheduleGrid::CommitPendingEdit()
{
    QWidget *editor = indexWidget(currentIndex());
    if (!editor || state() != QAbstractItemView::EditingState)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

TplgSchedule::TplgSchedule()
    : THYVisualPlugin(TRvEventsController::SchedulePlugin)
    , m_events(new TScheduleGrid(this))
    , m_functions(new TScheduleGrid(this))
    , m_filterPanel(new QGroupBox(this))
    , m_startDate(new QDateEdit(m_filterPanel))
    , m_endDate(new QDateEdit(m_filterPanel))
    , m_refreshTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("plgScheduler"));
    acHYAdd = NewAction(this, QStringLiteral("acHYAdd"), QStyle::SP_FileIcon);
    acHYEdit = NewAction(this, QStringLiteral("acHYEdit"), QStyle::SP_FileDialogDetailedView);
    acHYDelete = NewAction(this, QStringLiteral("acHYDelete"), QStyle::SP_TrashIcon);
    acHYRefresh = NewAction(this, QStringLiteral("acHYRefresh"), QStyle::SP_BrowserReload);
    acHYSchedule = NewAction(this, QStringLiteral("acHYSchedule"), QStyle::SP_MediaPlay);
    acEmail = NewAction(this, QStringLiteral("acEmail"));
    acHYComplete = NewAction(this, QStringLiteral("acHYComplete"), QStyle::SP_DialogApplyButton);
    acHYAddFunction = NewAction(this, QStringLiteral("acHYAddFunction"), QStyle::SP_FileDialogNewFolder);
    acHYRemoveFunction = NewAction(this, QStringLiteral("acHYRemoveFunction"), QStyle::SP_DialogDiscardButton);
    acFindResource = NewAction(this, QStringLiteral("acFindResource"), QStyle::SP_FileDialogContentsView);
    acClearMember = NewAction(this, QStringLiteral("acClearMember"), QStyle::SP_DialogResetButton);
    acLockMember = NewAction(this, QStringLiteral("acLockMember"));
    acFilter = NewAction(this, QStringLiteral("acFilter"), QStyle::SP_FileDialogListView);
    acHYSelectAll = NewAction(this, QStringLiteral("acHYSelectAll"));
    acHYPreview = NewAction(this, QStringLiteral("acHYPreview"), QStyle::SP_FileDialogInfoView);
    acHYPrint = NewAction(this, QStringLiteral("acHYPrint"), QStyle::SP_DialogSaveButton);
    acHYAbout = NewAction(this, QStringLiteral("acHYAbout"));
    acHYExit = NewAction(this, QStringLiteral("acHYExit"));
    acHYSetFilter = NewAction(this, QStringLiteral("acHYSetFilter"));
    acRemoveAssigments = NewAction(this, QStringLiteral("acRemoveAssigments"), QStyle::SP_DialogCancelButton);
    acRemoveNonLocked = NewAction(this, QStringLiteral("acRemoveNonLocked"), QStyle::SP_DialogNoButton);
    acHYUseLogon = NewAction(this, QStringLiteral("acHYUseLogon"));
    acHYUsePreferredServer = NewAction(this, QStringLiteral("acHYUsePreferredServer"));
    acFAQ = NewAction(this, QStringLiteral("acFAQ"));
    acGettingStarted = NewAction(this, QStringLiteral("acGettingStarted"));
    acHYHelp = NewAction(this, QStringLiteral("acHYHelp"), QStyle::SP_DialogHelpButton);
    acHome = NewAction(this, QStringLiteral("acHome"), QStyle::SP_DirHomeIcon);
    acHYUseLogon->setCheckable(true);
    acLockMember->setCheckable(true);
    acHYUsePreferredServer->setCheckable(true);
    acEmail->setVisible(false);

    acHYAdd->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    acHYRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    acHYEdit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    acHYDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    acFindResource->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    acLockMember->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    acHYSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    acHYHelp->setShortcut(QKeySequence(Qt::Key_F1));
    acHome->setShortcut(QKeySequence(Qt::Key_F9));
    for (QAction *action : findChildren<QAction *>())
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addActions(findChildren<QAction *>());

    // The host shows copies of these bars in its own window.
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ClientBar"));
    for (QAction *action : {acHYAdd, acHYEdit, acHYDelete, acHYRefresh})
        bar->addAction(action);
    bar->addSeparator();
    for (QAction *action : {acHYComplete, acHYSchedule, acRemoveAssigments, acRemoveNonLocked})
        bar->addAction(action);
    bar->addSeparator();
    for (QAction *action : {acHYAddFunction, acHYRemoveFunction, acFindResource, acClearMember})
        bar->addAction(action);
    bar->addSeparator();
    for (QAction *action : {acFilter, acHYPrint, acHYPreview, acHYHelp})
        bar->addAction(action);
    // The menus, as a bar of their own that the host shows above the tool bar.
    auto *menus = new QToolBar(this);
    menus->setObjectName(QStringLiteral("barMenu"));
    const auto menu = [this, menus](const QString &name, const QList<QAction *> &actions) {
        QAction *holder = EventImages::MenuEntry(this, new QMenu(this), actions);
        holder->setObjectName(name);
        menus->addAction(holder);
        m_menus << holder;
    };
    menu(QStringLiteral("mnuFile"), {acHYAdd, nullptr, acHYPrint, acHYPreview, nullptr, acHYExit});
    menu(QStringLiteral("mnuEdit"), {acHYEdit, acHYDelete, acHYComplete, nullptr, acHYAddFunction, acHYRemoveFunction, acFindResource,
                                     acClearMember, acLockMember, nullptr, acHYSelectAll});
    menu(QStringLiteral("mnuView"), {acFilter, acHYRefresh});
    menu(QStringLiteral("mnuOptions"), {acHYUseLogon, acHYUsePreferredServer});
    menu(QStringLiteral("mnuTools"), {acHYSchedule, nullptr, acRemoveAssigments, acRemoveNonLocked});
    menu(QStringLiteral("mnuHelp"), {acHYHelp, acFAQ, acGettingStarted, acHome, nullptr, acHYAbout});
    menus->hide();
    bar->hide();
    m_bars << menus << bar;

    auto *filterRow = new QHBoxLayout(m_filterPanel);
    auto *lblStart = new QLabel(m_filterPanel);
    auto *lblEnd = new QLabel(m_filterPanel);
    lblStart->setObjectName(QStringLiteral("lblStartDate"));
    lblEnd->setObjectName(QStringLiteral("lblEndDate"));
    auto *setFilter = new QPushButton(m_filterPanel);
    setFilter->setObjectName(QStringLiteral("btnSetFilter"));
    for (QDateEdit *edit : {m_startDate, m_endDate}) {
        // The earliest date stands for "no date" and shows empty.
        edit->setMinimumDate(QDate(1900, 1, 1));
        edit->setSpecialValueText(QStringLiteral(" "));
        edit->setDate(edit->minimumDate());
        edit->setCalendarPopup(true);
    }
    filterRow->addWidget(lblStart);
    filterRow->addWidget(m_startDate);
    filterRow->addWidget(lblEnd);
    filterRow->addWidget(m_endDate);
    filterRow->addWidget(setFilter);
    filterRow->addStretch();
    m_filterPanel->hide();
    connect(setFilter, &QPushButton::clicked, acHYSetFilter, &QAction::trigger);
    connect(acHYSetFilter, &QAction::changed, setFilter, [this, setFilter] {
        setFilter->setText(acHYSetFilter->text());
        setFilter->setEnabled(acHYSetFilter->isEnabled());
    });

    TDAEvents *dm = RvEvents() ? RvEvents()->DataModule() : nullptr;
    if (dm) {
        m_eventsModel = new TScheduleEventsModel(&dm->tbl_DAEventList1, this);
        m_eventsModel->SetColumns({kEventKey, QStringLiteral("CanFillInUsed"), kStart, QStringLiteral("EventLocationCaption"),
                                   QStringLiteral("EventLabelColor"), QStringLiteral("EventSubject"), kStart});
        m_eventsModel->SetReadOnly(true);
        m_functionsModel = new TScheduleFunctionsModel(&dm->tbl_DAScheduledMinistryFunctions1, this);
        m_functionsModel->SetColumns({QStringLiteral("F_MinistryFunctionID"), QStringLiteral("MemberLocked"),
                                      QStringLiteral("F_MinistryFunctionID"), QStringLiteral("MemberPosition"),
                                      QStringLiteral("MemberNotAttended"), QStringLiteral("MemberCaption"), kMemberId,
                                      QStringLiteral("F_MinistryMemberTypeID"), QStringLiteral("FlagMinister"),
                                      QStringLiteral("Comments")});
        ShowRefusedEdits(m_functionsModel, this, QStringLiteral("[pst error"));
        m_eventRows = new TGroupedRowsModel(this);
        m_eventRows->setSourceModel(m_eventsModel);
        m_events->setModel(m_eventRows);
        m_functions->setModel(m_functionsModel);
        auto *cells = new TFunctionGridDelegate(m_functionsModel, m_functions);
        cells->SetMemberButtons([this](int button) { PostMemberChoice(button); });
        m_functions->setItemDelegate(cells);
        m_flagHint = new TMinisterFlagHintTracker(m_functions, m_functionsModel);
        m_events->setItemDelegateForColumn(ecFlag, new TColorBoxDelegate(m_events));
    }
    m_events->setObjectName(QStringLiteral("grdView"));
    m_functions->setObjectName(QStringLiteral("cxGrdView"));
    m_events->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_events->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_events->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_events->setTextElideMode(Qt::ElideRight);
    m_events->setWordWrap(false);
    m_functions->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_functions->setSelectionMode(QAbstractItemView::SingleSelection);
    m_functions->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                                 | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    for (TScheduleGrid *grid : {m_events, m_functions}) {
        // Cut-off text ends in an ellipsis; rows follow the font (see TScheduleGrid).
        grid->setTextElideMode(Qt::ElideRight);
        grid->setWordWrap(false);
        grid->verticalHeader()->hide();
        grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
        grid->horizontalHeader()->setStretchLastSection(false);
        grid->horizontalHeader()->setHighlightSections(false);
        grid->setAlternatingRowColors(true);
    }
    if (dm) {
        m_events->setColumnHidden(ecEventID, true);
        for (int column : {fcFunctionID, fcMemberID, fcMemberTypeID, fcComments})
            m_functions->setColumnHidden(column, true);
        m_events->horizontalHeader()->setSectionResizeMode(ecSubject, QHeaderView::Stretch);
        m_functions->horizontalHeader()->setSectionResizeMode(fcMember, QHeaderView::Stretch);
        m_events->setColumnWidth(ecCanFillIn, 70);
        m_events->setColumnWidth(ecDate, 100);
        m_events->setColumnWidth(ecLocation, 180);
        m_events->setColumnWidth(ecFlag, 60);
        m_events->setColumnWidth(ecTime, 90);
        m_functions->setColumnWidth(fcLock, 70);
        m_functions->setColumnWidth(fcFunctionName, 200);
        m_functions->setColumnWidth(fcPosition, 90);
        m_functions->setColumnWidth(fcAttended, 90);
        m_functions->setColumnWidth(fcFlag, 80);
    }

    // Quick column customisation: the header's context menu shows and hides columns; the
    // choice is part of the stored grid layout.
    m_events->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    m_events->horizontalHeader()->setSectionsMovable(true);
    connect(m_events->horizontalHeader(), &QHeaderView::customContextMenuRequested, this, [this](const QPoint &at) {
        std::unique_ptr<QMenu> chooser(ColumnChooser());
        chooser->exec(m_events->horizontalHeader()->mapToGlobal(at));
    });

    // The group box above the event grid: a header dragged onto it groups the rows.
    auto *upper = new QWidget(this);
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(2);
    m_groupBox = new TGroupBox(m_events->horizontalHeader(), upper);
    upperLayout->addWidget(m_groupBox);
    upperLayout->addWidget(m_events, 1);
    connect(m_groupBox, &TGroupBox::groupRequested, this, [this](int column) { GroupBy(column); });
    connect(m_groupBox, &TGroupBox::ungroupRequested, this, [this] { GroupBy(-1); });
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(upper);
    splitter->addWidget(m_functions);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_filterPanel);
    layout->addWidget(splitter, 1);

    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(1000);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] {
        m_refreshTimer->stop();
        Refresh();
    });

    connect(acHYAdd, &QAction::triggered, this, [this] { QorGuarded(RvEvents(), QStringLiteral("acHYAddExecute"), [this] { NewEvent(); }); });
    connect(acHYEdit, &QAction::triggered, this, [this] { QorGuarded(RvEvents(), QStringLiteral("acHYEditExecute"), [this] { EditEvent(); }); });
    connect(acHYDelete, &QAction::triggered, this, [this] { DeleteEvents(); });
    connect(acHYRefresh, &QAction::triggered, this, [this] { Refresh(); });
    connect(acHYComplete, &QAction::triggered, this, [this] { QorGuarded(RvEvents(), QStringLiteral("acHYCompleteExecute"), [this] { Complete(); }); });
    connect(acHYAddFunction, &QAction::triggered, this, [this] { AddFunction(); });
    connect(acHYRemoveFunction, &QAction::triggered, this, [this] { RemoveFunction(); });
    connect(acFindResource, &QAction::triggered, this, [this] { PostMemberChoice(0); });
    connect(acClearMember, &QAction::triggered, this, [this] { PostMemberChoice(1); });
    connect(acLockMember, &QAction::triggered, this, [this](bool locked) {
        QorGuarded(RvEvents(), QStringLiteral("acLockMemberExecute"), [this, locked] {
            if (!m_functionsModel || !Functions().GetActive() || Functions().Eof())
                return;
            m_functions->CommitPendingEdit();
            m_functionsModel->setData(m_functionsModel->index(Functions().GetRecNo(), fcLock), locked ? Qt::Checked : Qt::Unchecked,
                                      Qt::CheckStateRole);
            UpdateActions();
        });
    });
    connect(acFilter, &QAction::triggered, this, [this] { ToggleFilterPanel(); });
    connect(acHYSetFilter, &QAction::triggered, this, [this] { ApplyFilter(); });
    connect(acHYSchedule, &QAction::triggered, this, [this] { Schedule(); });
    connect(acRemoveAssigments, &QAction::triggered, this, [this] { RemoveAssignments(true); });
    connect(acRemoveNonLocked, &QAction::triggered, this, [this] { RemoveAssignments(false); });
    connect(acHYPrint, &QAction::triggered, this, [this] { QorGuarded(RvEvents(), QStringLiteral("acHYPrintExecute"), [this] { Print(); }); });
    connect(acHYPreview, &QAction::triggered, this, [this] { QorGuarded(RvEvents(), QStringLiteral("acHYPreviewExecute"), [this] { Preview(); }); });
    connect(acHYSelectAll, &QAction::triggered, this, [this] {
        m_events->selectAll();
        UpdateActions();
    });
    connect(acHYHelp, &QAction::triggered, this, [this] { TconHTMLHelp::ShowTopic(TScheduleRules::HelpTopic(m_filterPanel->isVisible())); });
    connect(acHYAbout, &QAction::triggered, this, [] { WithHost<IAboutHost>([](IAboutHost &host) { host.ShowAboutDialog(); }); });
    connect(acHYExit, &QAction::triggered, this, [] { WithHost<IHostApplication>([](IHostApplication &host) { host.CloseMainWindow(); }); });
    connect(acHYUseLogon, &QAction::triggered, this, [this](bool checked) {
        WithHost<IHostApplication>([checked](IHostApplication &host) { host.SetUseWindowsLogon(checked); });
    });
    connect(acHYUsePreferredServer, &QAction::triggered, this, [this](bool checked) {
        WithHost<IHostApplication>([checked](IHostApplication &host) { host.SetAlwaysUsePreferredServer(checked); });
    });
    connect(acFAQ, &QAction::triggered, this, [] { WithHost<IHostApplication>([](IHostApplication &host) { host.OpenInstallFAQ(); }); });
    connect(acGettingStarted, &QAction::triggered, this,
            [] { WithHost<IHostApplication>([](IHostApplication &host) { host.OpenGettingStartedGuide(); }); });
    connect(acHome, &QAction::triggered, this, [] { OpenURL(kProductSite); });
    connect(m_events, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (m_eventRows && !m_eventRows->IsGroupRow(index.row()))
            acHYEdit->trigger();
    });
    connect(m_startDate, &QDateEdit::dateChanged, this, [this] { UpdateActions(); });
    connect(m_endDate, &QDateEdit::dateChanged, this, [this] { UpdateActions(); });
    if (m_eventsModel) {
        connect(m_events->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex &current) { OnEventRowChanged(m_eventRows->SourceRow(current.row())); });
        connect(m_events->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
        connect(m_eventsModel, &TDATableModel::currentRowChanged, this, [this](int row) {
            const int shown = m_eventRows->RowOf(row);
            if (shown >= 0 && m_events->currentIndex().row() != shown)
                m_events->setCurrentIndex(m_eventRows->index(shown, ecDate));
        });
        // A group row spans the grid and opens or closes with a click.
        connect(m_eventRows, &QAbstractItemModel::modelReset, this, [this] {
            m_events->clearSpans();
            for (int row = 0; row < m_eventRows->rowCount(); ++row)
                if (m_eventRows->IsGroupRow(row))
                    m_events->setSpan(row, 0, 1, m_eventRows->columnCount());
        });
        connect(m_events, &QTableView::clicked, this, [this](const QModelIndex &index) {
            if (!m_eventRows->IsGroupRow(index.row()))
                return;
            m_eventRows->SetExpanded(index.row(), !m_eventRows->IsExpanded(index.row()));
            if (Events().GetActive() && !Events().Eof() && m_eventRows->RowOf(Events().GetRecNo()) >= 0)
                SelectFocusedEvent();
        });
        connect(m_eventsModel, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
        connect(m_functionsModel, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
        connect(m_functionsModel, &QAbstractItemModel::dataChanged, this, [this] { UpdateActions(); });
        connect(m_functions->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
            m_functionsModel->SetCurrentRow(current.row());
            UpdateActions();
        });
        connect(m_functionsModel, &TDATableModel::currentRowChanged, this, [this](int row) {
            // A click on a row's lock box moves the table there before the view has that row
            // current: the cursor goes to the clicked cell, so Space works the lock again.
            const int edited = static_cast<TScheduleFunctionsModel *>(m_functionsModel)->EditedColumn;
            if (row >= 0 && m_functions->currentIndex().row() != row)
                m_functions->setCurrentIndex(m_functionsModel->index(row, edited >= 0 ? edited : int(fcFunctionName)));
        });
    }
    Localize();
    UpdateActions();
}

TplgSchedule::~TplgSchedule() = default;

void TplgSchedule::GroupBy(int column)
{
    if (!m_eventRows || column == ecEventID || column >= m_eventRows->columnCount())
        return;
    m_eventRows->SetGroupColumn(column);
    m_groupBox->ShowGroup(column < 0 ? QString() : m_eventsModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    SelectFocusedEvent();
}

int TplgSchedule::GroupColumn() const
{
    return m_eventRows ? m_eventRows->GroupColumn() : -1;
}

QMenu *TplgSchedule::ColumnChooser()
{
    auto *chooser = new QMenu;
    if (!m_eventsModel)
        return chooser;
    for (int column = 0; column < m_eventsModel->columnCount(); ++column) {
        if (column == ecEventID)
            continue;
        QAction *item = chooser->addAction(m_eventsModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        item->setCheckable(true);
        item->setChecked(!m_events->isColumnHidden(column));
        connect(item, &QAction::toggled, this, [this, column](bool shown) {
            m_events->setColumnHidden(column, !shown);
            if (shown && m_events->columnWidth(column) < 20)
                m_events->setColumnWidth(column, 90);
        });
    }
    return chooser;
}

const TMinisterFlagHint &TplgSchedule::FlagHint() const
{
    static const TMinisterFlagHint none;
    return m_flagHint ? m_flagHint->Hint() : none;
}

TDACDSDataTable &TplgSchedule::Events() const
{
    return RvEvents()->DataModule()->tbl_DAEventList1;
}

TDACDSDataTable &TplgSchedule::Functions() const
{
    return RvEvents()->DataModule()->tbl_DAScheduledMinistryFunctions1;
}

QList<QToolBar *> TplgSchedule::GetBarManager()
{
    return m_bars;
}

void TplgSchedule::GetStatusText(QString &text)
{
    text = Text(1003);
}

void TplgSchedule::Localize()
{
    try {
        const QList<std::pair<QAction *, int>> captions{
            {acHYAdd, 2001}, {acHYEdit, 2002}, {acHYDelete, 2003}, {acHYPreview, 514}, {acHYRefresh, 2005},
            {acHYSchedule, 5201}, {acHYPrint, 511}, {acHYHelp, 2007}, {acHYExit, 507}, {acHYSelectAll, 508},
            {acHYAbout, 506}, {acFAQ, 515}, {acGettingStarted, 516}, {acHome, 512}, {acHYAddFunction, 3018},
            {acHYRemoveFunction, 3019}, {acFilter, 5300}, {acHYComplete, 5406}, {acHYUseLogon, 7000},
            {acHYUsePreferredServer, 7001}, {acRemoveAssigments, 2571}, {acRemoveNonLocked, 2576},
            {acFindResource, 3034}, {acClearMember, 3035}, {acLockMember, 3023}, {acHYSetFilter, 5300}};
        for (const auto &[action, number] : captions)
            action->setText(Text(number));
        m_bars.first()->setWindowTitle(QStringLiteral("Menu"));
        m_bars.last()->setWindowTitle(Text(1001));
        const int menuTexts[] = {501, 502, 503, 505, 509, 504};
        for (int i = 0; i < m_menus.size(); ++i)
            m_menus[i]->setText(Text(menuTexts[i]));
        // The tool bar shows icons only: the tip names the action and its key.
        EventImages::SetToolTips(m_bars.last()->actions());
        m_filterPanel->setTitle(Text(5300));
        if (auto *label = m_filterPanel->findChild<QLabel *>(QStringLiteral("lblStartDate")))
            label->setText(Text(5002));
        if (auto *label = m_filterPanel->findChild<QLabel *>(QStringLiteral("lblEndDate")))
            label->setText(Text(5003));
        if (m_eventsModel) {
            m_eventsModel->SetCaption(QStringLiteral("CanFillInUsed"), Text(2570));
            m_eventsModel->SetCaption(QStringLiteral("EventLocationCaption"), Text(2561));
            m_eventsModel->SetCaption(QStringLiteral("EventLabelColor"), Text(2563));
            m_eventsModel->SetCaption(QStringLiteral("EventSubject"), Text(2562));
            m_functionsModel->SetCaption(QStringLiteral("MemberLocked"), Text(3023));
            m_functionsModel->SetCaption(QStringLiteral("F_MinistryFunctionID"), Text(3020));
            m_functionsModel->SetCaption(QStringLiteral("MemberPosition"), Text(3021));
            m_functionsModel->SetCaption(QStringLiteral("MemberNotAttended"), Text(5301));
            m_functionsModel->SetCaption(QStringLiteral("MemberCaption"), Text(3022));
            m_functionsModel->SetCaption(QStringLiteral("FlagMinister"), Text(3025));
        }
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("plgSchedule:LocalizeForm"), e);
    }
}

void TplgSchedule::Activate(QObject *)
{
    try {
        for (QToolBar *bar : m_bars)
            bar->hide();
        Localize();
        WithHost<ISmartHelp>([](ISmartHelp &help) { help.SetSmartHelpText(RvEvents()->GetHTML(102), 101); });
        WithHost<IHostApplication>([this](IHostApplication &host) {
            acHYUseLogon->setChecked(host.GetUseWindowsLogon());
            acHYUsePreferredServer->setChecked(host.GetAlwaysUsePreferredServer());
        });
        TDAEvents &dm = *RvEvents()->DataModule();
        dm.tbl_DAEventList1.Close();
        // The period the planner left the view with comes back with it.
        const TRvEventsController::TViewsLeft &left = RvEvents()->ViewsLeft;
        if (left.ScheduleFilterShown) {
            m_startDate->setDate(left.ScheduleFilterStart);
            m_endDate->setDate(left.ScheduleFilterEnd);
            m_filterPanel->show();
        }
        // The list is the module's: a date filter another view left on it would hide events
        // behind a closed filter panel.
        dm.tbl_DAEventList1.ClearFilter();
        dm.tbl_DAEventList1.Open();
        dm.tbl_DAEventList1.Sort(kStart);
        dm.tbl_DAScheduleLiturgiesFromEvent1.Open();
        dm.tbl_DAScheduledMinistryFunctions1.Open();
        dm.EventList.Close();
        dm.EventList.Open();
        dm.MinistryFunctions.Close();
        dm.MinistryFunctions.Open();
        if (!dm.LiturgyTemplates.GetActive())
            dm.LiturgyTemplates.Open();
        if (!dm.DAMinistryTemplates.GetActive())
            dm.DAMinistryTemplates.Open();
        RvEvents()->LoadGridLayout(FunctionsGridLayout, m_functions->horizontalHeader());
        RvEvents()->LoadGridLayout(EventsGridLayout, m_events->horizontalHeader());
        bool grouped = false;
        const int groupColumn = RvEvents()->GetUserSetting(EventsGridGroup, QString()).toInt(&grouped);
        GroupBy(grouped ? groupColumn : -1);
        const QString focused = RvEvents()->GetUserSetting(FocusedEventSetting, QString());
        if (!focused.isEmpty())
            dm.tbl_DAEventList1.Locate(kEventKey, focused);
        SelectFocusedEvent();
        if (left.ScheduleFilterShown && left.ScheduleFilterApplied)
            ApplyFilter();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnActivate"), e);
    }
    UpdateActions();
}

void TplgSchedule::showEvent(QShowEvent *event)
{
    THYVisualPlugin::showEvent(event);
    m_events->setFocus();
}

void TplgSchedule::Deactivate(QObject *)
{
    TRvEventsController::TViewsLeft &left = RvEvents()->ViewsLeft;
    left.ScheduleFilterShown = !m_filterPanel->isHidden();
    left.ScheduleFilterApplied = left.ScheduleFilterShown && m_filterApplied;
    left.ScheduleFilterStart = m_startDate->date();
    left.ScheduleFilterEnd = m_endDate->date();
    try {
        TDACDSDataTable &events = Events();
        if (events.GetActive() && !events.Eof())
            RvEvents()->SetUserSetting(FocusedEventSetting, events.AsString(kEventKey));
        for (int i = 0; i < m_bars.size(); ++i)
            m_bars[i]->show();
        RvEvents()->SaveGridLayout(EventsGridLayout, m_events->horizontalHeader());
        RvEvents()->SetUserSetting(EventsGridGroup, GroupColumn() < 0 ? QString() : QString::number(GroupColumn()));
        RvEvents()->SaveGridLayout(FunctionsGridLayout, m_functions->horizontalHeader());
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnDeactivate"), e);
    }
    try {
        // An edit still open in a cell is written before the tables close, so it is not lost.
        PostPendingFunctionEdit();
        ApplyFunctions(false);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnDeactivate"), e);
    }
    TDAEvents &dm = *RvEvents()->DataModule();
    dm.tbl_DAEventList1.Close();
    dm.MinistryFunctions.Close();
}

QString TplgSchedule::CurrentEventID() const
{
    const TDACDSDataTable &events = Events();
    return events.GetActive() && !events.Eof() ? events.AsString(kEventKey) : QString();
}

QStringList TplgSchedule::SelectedEventIDs() const
{
    QStringList ids;
    if (!m_eventsModel)
        return ids;
    const TDACDSDataTable &events = Events();
    const int key = events.FieldIndex(kEventKey);
    QList<int> rows;
    for (const QModelIndex &index : m_events->selectionModel()->selectedRows())
        if (const int row = m_eventRows->SourceRow(index.row()); row >= 0)
            rows << row;
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        if (key >= 0 && row < events.GetRecordCount())
            ids << events.ValueAt(row, key).toString();
    return ids;
}

void TplgSchedule::UpdateActions()
{
    const bool connected = m_eventsModel != nullptr;
    const bool eventFocused = connected && Events().GetActive() && !Events().Eof();
    const bool functionFocused = connected && Functions().GetActive() && !Functions().Eof();
    const int selected = connected ? int(m_events->selectionModel()->selectedRows().size()) : 0;
    const bool hasRows = connected && Events().GetActive() && Events().GetRecordCount() > 0;
    acHYEdit->setEnabled(eventFocused);
    acHYDelete->setEnabled(eventFocused);
    acHYComplete->setEnabled(eventFocused);
    acHYAddFunction->setEnabled(eventFocused);
    acHYRemoveFunction->setEnabled(functionFocused);
    acFindResource->setEnabled(functionFocused);
    acClearMember->setEnabled(functionFocused);
    const bool lockable = functionFocused && TScheduleRules::MemberFieldsEditable(Functions().Value(kMemberId));
    acLockMember->setEnabled(lockable);
    acLockMember->setChecked(lockable && Functions().Value(QStringLiteral("MemberLocked")).toBool());
    // Un-assigning works on the selection; without one there is nothing to send.
    acRemoveAssigments->setEnabled(hasRows && TScheduleRules::CanUnassign(selected));
    acRemoveNonLocked->setEnabled(hasRows && TScheduleRules::CanUnassign(selected));
    acHYSetFilter->setEnabled(TScheduleRules::CanApplyFilter(m_startDate->date(), m_endDate->date()));
    acHYComplete->setText(Text(eventFocused ? TScheduleRules::CompleteCaption(Events().AsString(QStringLiteral("EventLabelColorID"))) : 5406));
    acHYComplete->setToolTip(EventImages::ToolTipOf(*acHYComplete));
}

void TplgSchedule::OnEventRowChanged(int row)
{
    if (!m_eventsModel || row < 0 || row == Events().GetRecNo()) {
        UpdateActions();
        return;
    }
    try {
        // The functions of the event left go to the server first: rows pending for one event
        // would keep the next event's rows from being read. Refused ones are taken back.
        PostPendingFunctionEdit();
        if (!ApplyFunctions(false)) {
            // He kept his refused change: the grid stays on its event until it is saved.
            SelectFocusedEvent();
            return;
        }
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("grdViewFocusedRecordChanged"), e);
    }
    try {
        m_eventsModel->SetCurrentRow(row);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("grdViewFocusedRecordChanged"), e);
    }
    UpdateActions();
}

void TplgSchedule::SelectFocusedEvent()
{
    if (!m_eventsModel || !Events().GetActive() || Events().Eof())
        return;
    m_eventRows->Reveal(Events().GetRecNo());
    const QModelIndex index = m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), ecDate);
    m_events->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_events->scrollTo(index, QAbstractItemView::PositionAtCenter);
    UpdateActions();
}

void TplgSchedule::SelectFocusedFunction()
{
    if (!m_functionsModel || !Functions().GetActive() || Functions().Eof())
        return;
    // The re-read after a save resets the grid; the row worked on is the current one again,
    // so the next click lands where the user looks.
    const QModelIndex index = m_functionsModel->index(Functions().GetRecNo(), fcFunctionName);
    m_functions->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_functions->scrollTo(index);
}

void TplgSchedule::PostPendingFunctionEdit()
{
    m_functions->CommitPendingEdit();
    TDACDSDataTable &rows = Functions();
    if (rows.GetActive() && rows.GetState() != TDATableState::dsBrowse)
        rows.Post();
}

bool TplgSchedule::ApplyFunctions(bool refetch)
{
    TDACDSDataTable &rows = Functions();
    while (rows.GetActive() && rows.HasChanges()) {
        try {
            rows.ApplyUpdates(refetch);
        } catch (const EDAChangedByAnotherUser &refusal) {
            QorLogFailure(RvEvents(), QStringLiteral("ApplyFunctions"), refusal);
            if (!TDAEvents::OfferStoredRow(refusal))
                return false;
        } catch (...) {
            // Refused rows would keep the next event's functions from being read.
            rows.CancelUpdates();
            throw;
        }
    }
    return true;
}

bool TplgSchedule::ApplyEvents()
{
    TDAEvents &dm = *RvEvents()->DataModule();
    try {
        for (;;) {
            try {
                Events().ApplyUpdates(true);
                return true;
            } catch (const EDAChangedByAnotherUser &refusal) {
                QorLogFailure(RvEvents(), QStringLiteral("ApplyEvents"), refusal);
                if (!TDAEvents::OfferStoredRow(refusal))
                    return false;
            }
        }
    } catch (...) {
        // Nothing of it was written; left pending, it would block every refresh and go out
        // with the next unrelated change.
        for (TDACDSDataTable *t : {&dm.tbl_DAScheduledMinistryFunctions1, &dm.tbl_DAScheduleLiturgiesFromEvent1, &dm.tbl_DAEventList1})
            if (t->GetActive()) {
                if (t->GetState() != TDATableState::dsBrowse)
                    t->Cancel();
                t->CancelUpdates();
            }
        throw;
    }
}

bool TplgSchedule::LocateEvent(const QString &eventId)
{
    return !eventId.isEmpty() && Events().GetActive() && Events().Locate(kEventKey, eventId);
}

void TplgSchedule::SaveEventColor(const QString &eventId, const QString &functionKey)
{
    TDACDSDataTable &events = Events();
    if (!LocateEvent(eventId))
        return;
    TvoEvent event;
    const QString color = event.EventColor(QString(), true);
    events.Edit();
    events.SetValue(QStringLiteral("EventLabelColorID"), color);
    events.Post();
    ApplyEvents();
    LocateEvent(eventId);
    if (!functionKey.isEmpty() && Functions().GetActive())
        Functions().Locate(kFunctionKey, functionKey);
}

void TplgSchedule::NewEvent()
{
    TDAEvents &dm = *RvEvents()->DataModule();
    dm.EventList.Close();
    dm.EventList.Open();
    const QDateTime now = QDateTime::currentDateTime();
    TvoEvent event(EditorFactory);
    event.StartTime = TScheduleRules::NewEventStart(now);
    event.EndTime = TScheduleRules::NewEventEnd(now);
    event.NewEvent();
    QCoreApplication::processEvents();
    {
        TFrozen frozen(this);
        Refresh();
        LocateEvent(event.EventID);
    }
    SelectFocusedEvent();
}

void TplgSchedule::EditEvent()
{
    const QString eventId = CurrentEventID();
    if (eventId.isEmpty())
        return;
    TvoEvent event(EditorFactory);
    event.EditEvent(eventId);
    QCoreApplication::processEvents();
    if (event.Changed) {
        TFrozen frozen(this);
        Refresh();
        LocateEvent(eventId);
    }
    SelectFocusedEvent();
}

void TplgSchedule::Refresh()
{
    TFrozen frozen(this);
    TWaitCursor wait;
    try {
        const QString current = CurrentEventID();
        PostPendingFunctionEdit();
        if (!ApplyFunctions(true) || (Events().HasChanges() && !ApplyEvents()))
            return;
        QCoreApplication::processEvents();
        TDACDSDataTable &events = Events();
        if (!events.GetActive())
            events.Open();
        else
            events.Refresh();
        if (!LocateEvent(current) && events.GetRecordCount() > 0)
            events.First();
        SelectFocusedEvent();
        ViewRefresh::Succeeded(*this);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYRefreshExecute"), e);
        ViewRefresh::Failed(*this, Text, e);
    }
}

void TplgSchedule::DeleteEvents()
{
    try {
        if (Prompt().Ask(this, QMessageBox::Warning, Text(5413), Text(5412), QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return;
        TWaitCursor wait;
        QStringList ids = SelectedEventIDs();
        if (ids.isEmpty() && !CurrentEventID().isEmpty())
            ids << CurrentEventID();
        if (ids.isEmpty())
            return;
        PostPendingFunctionEdit();
        auto service = RvEvents()->DataModule()->EventsService();
        if (!service)
            throw EDAException(QStringLiteral("The events module is not connected to a server"));
        // The server takes the schedules of the events; the event rows go with the list's own
        // delete, in which their schedules are not sent again.
        if (!service->DeleteEvents(ids.join(QStringLiteral("\r\n"))))
            return;
        TDACDSDataTable &events = Events();
        for (const QString &id : ids)
            if (LocateEvent(id))
                events.Delete();
        ApplyEvents();
        if (events.GetRecordCount() > 0 && events.Eof())
            events.Last();
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYDeleteExecute"), e);
    }
}

void TplgSchedule::Complete()
{
    TWaitCursor wait;
    const QString eventId = CurrentEventID();
    if (eventId.isEmpty())
        return;
    TDACDSDataTable &events = Events();
    const QString current = events.AsString(QStringLiteral("EventLabelColorID"));
    const QString assignment = TScheduleRules::IsComplete(current) ? TvoEvent().EventColor(QString(), true) : QString();
    events.Edit();
    events.SetValue(QStringLiteral("EventLabelColorID"), TScheduleRules::ToggledComplete(current, assignment));
    events.Post();
    ApplyEvents();
    LocateEvent(eventId);
    SelectFocusedEvent();
}

void TplgSchedule::PostMemberChoice(int buttonIndex)
{
    QMetaObject::invokeMethod(this, [this, buttonIndex] { ChooseMember(buttonIndex); }, Qt::QueuedConnection);
}

void TplgSchedule::ChooseMember(int buttonIndex)
{
    try {
        TDACDSDataTable &rows = Functions();
        TDACDSDataTable &events = Events();
        if (!rows.GetActive() || rows.Eof() || events.Eof())
            return;
        PostPendingFunctionEdit();
        const QString eventId = CurrentEventID();
        const QString functionKey = rows.AsString(kFunctionKey);
        if (buttonIndex == 0) {
            std::unique_ptr<TSearchObjectList> hits;
            if (RvEvents()->PerformSearch(1 + 2 + 4, QString(), 0, false, nullptr, nullptr, hits) && hits && !hits->isEmpty()) {
                const QDateTime start = events.Value(kStart).toDateTime();
                if (!RvEvents()->DataModule()->ContactIsInUse(hits->first().Object, start)) {
                    rows.Locate(kFunctionKey, functionKey);
                    TScheduleRules::AssignMember(rows, *hits);
                }
            }
        } else {
            TWaitCursor wait;
            TScheduleRules::ClearMember(rows);
        }
        SaveEventColor(eventId, functionKey);
        SelectFocusedEvent();
        SelectFocusedFunction();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("cxEditBthRespPropertiesButtonClick"), e);
    }
    UpdateActions();
}

void TplgSchedule::AddFunction()
{
    TFrozen frozen(this);
    TWaitCursor wait;
    try {
        TDAEvents &dm = *RvEvents()->DataModule();
        const QString eventId = CurrentEventID();
        TDACDSDataTable &liturgies = dm.tbl_DAScheduleLiturgiesFromEvent1;
        if (eventId.isEmpty() || !liturgies.GetActive() || liturgies.Eof())
            return;
        if (!dm.MinistryFunctions.GetActive())
            dm.MinistryFunctions.Open();
        PostPendingFunctionEdit();
        TDACDSDataTable &rows = Functions();
        rows.Insert();
        rows.SetValue(QStringLiteral("F_ScheduledLiturgyID"), liturgies.Value(QStringLiteral("PK_ScheduledLiturgyID")));
        if (!dm.MinistryFunctions.Eof())
            rows.SetValue(QStringLiteral("F_MinistryFunctionID"), dm.MinistryFunctions.Value(QStringLiteral("PK_MinistryFunctionID")));
        rows.SetValue(QStringLiteral("MemberNotAttended"), false);
        const QString key = rows.AsString(kFunctionKey);
        rows.Post();
        SaveEventColor(eventId, key);
        SelectFocusedEvent();
        SelectFocusedFunction();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYAddFunctionExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::RemoveFunction()
{
    try {
        PostPendingFunctionEdit();
        TDACDSDataTable &rows = Functions();
        const QString eventId = CurrentEventID();
        if (rows.GetActive() && !rows.Eof())
            rows.Delete();
        ApplyFunctions(false);
        SaveEventColor(eventId, QString());
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYRemoveFunctionExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::ToggleFilterPanel()
{
    try {
        const auto emptyAsNull = [](const QDateEdit *edit) { return edit->date() == edit->minimumDate() ? QDate() : edit->date(); };
        const TDACDSDataTable &events = Events();
        const int start = events.GetActive() ? events.FieldIndex(kStart) : -1;
        const TSchedulePeriod period = TScheduleRules::SuggestPeriod(
            emptyAsNull(m_startDate), emptyAsNull(m_endDate), QDate::currentDate(), [&](const TSchedulePeriod &p) {
                // Counted over every row of the list, as the filter would pass them.
                int count = 0;
                for (int i = 0; start >= 0 && i < events.GetRecordCount(); ++i)
                    count += TScheduleRules::SuggestedPeriodHolds(p, events.ValueAt(i, start).toDateTime()) ? 1 : 0;
                return count;
            });
        if (Events().GetActive())
            Events().ClearFilter();
        m_filterApplied = false;
        m_startDate->setDate(period.Start);
        m_endDate->setDate(period.End);
        m_filterPanel->setVisible(!m_filterPanel->isVisible());
        if (m_filterPanel->isVisible())
            m_endDate->setFocus();
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acFilterExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::ApplyFilter()
{
    try {
        PostPendingFunctionEdit();
        ApplyFunctions(false);
        const QString current = CurrentEventID();
        const TSchedulePeriod period{m_startDate->date(), m_endDate->date()};
        Events().SetFilter([period](const TDACDSDataTable::TDARecord &r) {
            return TScheduleRules::FilterHolds(period, r.Value(kStart).toDateTime());
        });
        m_filterApplied = true;
        // The focused event stays focused while the filter passes it.
        if (!LocateEvent(current) && Events().GetRecordCount() > 0)
            Events().First();
        m_events->scrollToTop();
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYSetFilterExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::Schedule()
{
    try {
        PostPendingFunctionEdit();
        ApplyFunctions(false);
        TfAutoScheduleStart::StartRun(this);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYScheduleExecute"), e);
    }
    m_refreshTimer->start();
}

void TplgSchedule::RemoveAssignments(bool includeLocked)
{
    try {
        const QStringList ids = SelectedEventIDs();
        if (!TScheduleRules::CanUnassign(int(ids.size())))
            return;
        const bool yes = includeLocked ? Prompt().Ask(this, QMessageBox::Warning, Text(2573), Text(2572),
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes
                                       : Prompt().Ask(this, QMessageBox::Warning, Text(2574), Text(2575),
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
        if (!yes)
            return;
        TWaitCursor wait;
        const QString focused = CurrentEventID();
        Refresh();
        TDAEvents &dm = *RvEvents()->DataModule();
        if (includeLocked)
            dm.RemoveAllAssigments(ids);
        else
            dm.RemoveNonLockedAssigments(ids);
        // The same events selected again, the focused one last.
        QItemSelection selection;
        for (const QString &id : ids)
            if (LocateEvent(id))
                selection.select(m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), 0),
                                 m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), m_eventRows->columnCount() - 1));
        LocateEvent(focused);
        m_events->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (!Events().Eof())
            m_events->selectionModel()->setCurrentIndex(m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), ecDate),
                                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acRemoveAssigmentsExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::Print()
{
    const QStringList ids = SelectedEventIDs();
    if (ids.isEmpty())
        RvEvents()->ShowReportDlg(ScheduleReports, nullptr, m_eventsModel ? m_eventsModel->rowCount() : 0, nullptr, 0);
    else
        RvEvents()->ShowReportDlg(ScheduleReports, &ids, int(ids.size()), nullptr, 0);
}

void TplgSchedule::Preview()
{
    const bool wholeView = TScheduleRules::PreviewWholeView(int(SelectedEventIDs().size()));
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
    const auto paint = [this, wholeView](QPrinter *target) { PaintPreview(target, wholeView); };
    if (RunPreview) {
        RunPreview(printer, paint);
        return;
    }
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, paint);
    // Opened at a readable size: most of the screen, the page as wide as the window.
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 900);
    dialog.resize(std::min(1100, screen.width() * 9 / 10), screen.height() * 9 / 10);
    if (auto *pages = dialog.findChild<QPrintPreviewWidget *>())
        pages->fitToWidth();
    dialog.exec();
}

namespace {

// A widget's font in its screen pixels. Text drawn by the painter takes the font's points at
// the printer's resolution, and the page is already scaled from grid pixels, so a font in
// points would print many times too large (and be cut to nothing).
QFont PixelFont(const QFont &font)
{
    QFont sized = font;
    sized.setPixelSize(QFontInfo(font).pixelSize());
    return sized;
}

// Prints grids as a report: the header and then every row of the grid's model (the rows its
// filter passes, not only those on the screen), each cell drawn by the grid's own delegate
// without selection or scroll bars, the columns shrunk to the page width. New pages repeat the
// page header and footer and the column captions.
class TGridReport
{
public:
    TGridReport(QPrinter &printer, QPainter &painter, std::function<void()> pageBands, const QRectF &body)
        : m_printer(printer), m_painter(painter), m_pageBands(std::move(pageBands)), m_body(body)
    {
        m_pageBands();
    }

    int Pages() const { return m_pages; }

    // The grid's rows; the count of those that are not group rows, which are only headings.
    int Print(QTableView &grid)
    {
        QHeaderView &header = *grid.horizontalHeader();
        QList<int> columns;
        int width = 0;
        for (int visual = 0; visual < header.count(); ++visual) {
            const int logical = header.logicalIndex(visual);
            if (!header.isSectionHidden(logical) && header.sectionSize(logical) > 0) {
                columns << logical;
                width += header.sectionSize(logical);
            }
        }
        QAbstractItemModel *model = grid.model();
        if (columns.isEmpty() || !model)
            return 0;
        m_scale = m_body.width() / width;
        const int captionHeight = std::max(header.height(), grid.fontMetrics().height() + 8);
        if (m_y > 0)
            m_y += 12 * m_scale; // a gap between two grids
        // The captions drawn by the header's own style, measured in the header's pixels as the
        // cells are, so that they are cut where the screen cuts them and not to nothing.
        const auto captions = [&] {
            Cells(grid, columns, captionHeight, [&](int column, const QRect &cell) {
                QStyleOptionHeader option;
                option.initFrom(&header);
                option.rect = cell;
                option.section = column;
                option.orientation = Qt::Horizontal;
                option.position = QStyleOptionHeader::Middle;
                option.state = QStyle::State_Enabled | QStyle::State_Horizontal | QStyle::State_Raised;
                option.text = model->headerData(column, Qt::Horizontal).toString();
                option.textAlignment = header.defaultAlignment();
                m_painter.setFont(PixelFont(header.font()));
                m_painter.setPen(header.palette().color(QPalette::ButtonText));
                header.style()->drawControl(QStyle::CE_Header, &option, &m_painter, &header);
            });
        };
        if (!Fits(captionHeight))
            NewPage();
        captions();
        const int rows = model->rowCount();
        int printed = 0;
        for (int row = 0; row < rows; ++row) {
            const int height = std::max(grid.rowHeight(row), grid.verticalHeader()->defaultSectionSize());
            if (!Fits(height)) {
                NewPage();
                captions();
            }
            if (const auto *grouped = dynamic_cast<const TGroupedRowsModel *>(model); grouped && grouped->IsGroupRow(row)) {
                GroupLine(grid, width, height, model->index(row, 0).data().toString());
                continue;
            }
            ++printed;
            Cells(grid, columns, height, [&](int column, const QRect &cell) {
                QStyleOptionViewItem option;
                option.rect = cell;
                option.font = grid.font();
                option.fontMetrics = grid.fontMetrics();
                option.palette = grid.palette();
                option.state = QStyle::State_Enabled;
                option.widget = &grid;
                option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
                option.textElideMode = Qt::ElideRight;
                if (row % 2 == 1)
                    m_painter.fillRect(cell, grid.palette().color(QPalette::AlternateBase));
                m_painter.setFont(grid.font());
                grid.itemDelegateForIndex(model->index(row, column))->paint(&m_painter, option, model->index(row, column));
            });
        }
        return printed;
    }

private:
    bool Fits(int height) const { return m_y + height * m_scale <= m_body.height(); }
    void NewPage()
    {
        m_printer.newPage();
        ++m_pages;
        m_pageBands();
        m_y = 0;
    }
    // A group row: its text over the whole line.
    void GroupLine(QTableView &grid, int width, int height, const QString &text)
    {
        m_painter.save();
        m_painter.translate(m_body.left(), m_body.top() + m_y);
        m_painter.scale(m_scale, m_scale);
        const QRect line(0, 0, width, height);
        m_painter.fillRect(line, grid.palette().color(QPalette::Button));
        QFont bold = PixelFont(grid.font());
        bold.setBold(true);
        m_painter.setFont(bold);
        m_painter.setPen(grid.palette().color(QPalette::Text));
        m_painter.drawText(line.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        m_painter.setPen(grid.palette().color(QPalette::Mid));
        m_painter.drawRect(line);
        m_painter.restore();
        m_y += height * m_scale;
    }
    // One line of cells, in grid pixels scaled onto the page.
    void Cells(QTableView &grid, const QList<int> &columns, int height, const std::function<void(int, const QRect &)> &paint)
    {
        m_painter.save();
        m_painter.translate(m_body.left(), m_body.top() + m_y);
        m_painter.scale(m_scale, m_scale);
        int x = 0;
        for (int column : columns) {
            const QRect cell(x, 0, grid.horizontalHeader()->sectionSize(column), height);
            m_painter.save();
            m_painter.setClipRect(cell);
            paint(column, cell);
            m_painter.restore();
            m_painter.setPen(grid.palette().color(QPalette::Mid));
            m_painter.drawRect(cell);
            x += cell.width();
        }
        m_painter.restore();
        m_y += height * m_scale;
    }

    QPrinter &m_printer;
    QPainter &m_painter;
    std::function<void()> m_pageBands;
    QRectF m_body;
    qreal m_scale = 1;
    qreal m_y = 0;
    int m_pages = 1;
};

} // namespace

void TplgSchedule::PaintPreview(QPrinter *printer, bool wholeView)
{
    QPainter painter(printer);
    const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
    const QRectF area(0, 0, page.width(), page.height());
    // Header and footer take 0.2 inch each.
    const qreal band = 0.2 * printer->resolution();
    const auto bands = [&] {
        painter.save();
        QFont font = painter.font();
        font.setPointSizeF(9);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), area.top(), area.width(), band), Qt::AlignLeft | Qt::AlignVCenter, Text(6001) + Text(6002));
        painter.drawText(QRectF(area.left(), area.bottom() - band, area.width(), band), Qt::AlignHCenter | Qt::AlignVCenter, Text(6000));
        painter.restore();
    };
    TGridReport report(*printer, painter, bands, QRectF(area.left(), area.top() + band * 1.5, area.width(), area.height() - band * 3));
    m_printed = {};
    m_printed.EventRows = report.Print(*m_events);
    // The whole view: the events and, below them, the focused event's functions as shown.
    if (wholeView)
        m_printed.FunctionRows = report.Print(*m_functions);
    m_printed.Pages = report.Pages();
}
