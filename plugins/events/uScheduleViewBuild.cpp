// How the schedule view is put together: its actions, bars and menus, the filter panel, the two
// grids with their models, the layout, what each action and grid signal runs, and the captions.
#include "plugins/events/uScheduleView.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"
#include "plugins/events/uEventImages.h"
#include "plugins/events/uFunctionGridDelegate.h"
#include "plugins/events/uGroupedRows.h"
#include "plugins/events/uScheduleModels.h"
#include "plugins/events/uScheduleRules.h"

#include "foundation/uCommon.h"
#include "ui/uHTMLHelp.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

const QString kProductSite = QStringLiteral("https://www.kestrova.org/");

QAction *NewAction(QObject *parent, const QString &name, QStyle::StandardPixmap icon = QStyle::SP_CustomBase)
{
    auto *action = new QAction(parent);
    action->setObjectName(name);
    if (icon != QStyle::SP_CustomBase)
        action->setIcon(QApplication::style()->standardIcon(icon));
    return action;
}

} // namespace

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
    CreateActions();
    BuildBars();
    BuildFilterPanel();
    BuildGrids();
    BuildLayout();
    ConnectActions();
    ConnectGrids();
    Localize();
    UpdateActions();
}

TplgSchedule::~TplgSchedule() = default;

void TplgSchedule::CreateActions()
{
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
}

void TplgSchedule::BuildBars()
{
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
}

void TplgSchedule::BuildFilterPanel()
{
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
}

void TplgSchedule::BuildGrids()
{
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
}

void TplgSchedule::BuildLayout()
{
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
}

void TplgSchedule::ConnectActions()
{
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
}

void TplgSchedule::ConnectGrids()
{
    if (!m_eventsModel)
        return;
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
