#include "plugins/contacts/uGroupsView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGroupsTreeWidget.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

const QString kLayout = QStringLiteral("GroupsListView");
const QString kShowChildrenSetting = QStringLiteral("GroupsView_ShowChildren");
const QString kWidthSetting = QStringLiteral("GroupGridWidth");
const QString kActiveNodeSetting = QStringLiteral("ActiveGroupNodeID");

// The grid's fields: shown first, then hidden, each with its caption's text number.
struct TGridColumn
{
    const char *Field;
    int Caption;
    int Width; // 0: hidden until the user shows it
};
const TGridColumn kColumns[] = {
    {"FirstName", 1252, 120}, {"LastName", 1254, 150}, {"Street", 1255, 210}, {"zip", 1270, 80},
    {"city", 1268, 140},      {"state", 1269, 70},     {"MiddleName", 1253, 0}, {"DateOfBirth", 1256, 0},
    {"EMail1", 1261, 0},      {"EMail2", 1262, 0},     {"EMail3", 1263, 0},  {"Fax", 0, 0},
    {"phone1", 1257, 0},      {"phone2", 1258, 0},     {"phone3", 1259, 0},  {"Web", 0, 0},
    {"Comments", 1271, 0},    {"PK_ContactID", 0, 0}};

bool SettingTrue(const QString &value)
{
    return value != QStringLiteral("0") && value.compare(QStringLiteral("FALSE"), Qt::CaseInsensitive) != 0;
}

} // namespace

TplgGroups::TplgGroups(TRvContactsController &controller)
    : THYVisualPlugin(PluginName), m_controller(controller), m_bar(new QToolBar(this)), m_menuBar(new QToolBar(this)),
      m_splitter(new QSplitter(Qt::Horizontal, this)), m_tree(new TGroupsTreeWidget), m_grid(new QTableView),
      m_model(new TDATableModel(&controller.Data().DAContactByGroup(), this)), m_sum(new QLabel), m_treeMenu(new QMenu(this)),
      m_gridMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("TplgGroups"));
    m_bar->setObjectName(QStringLiteral("ClientBar"));
    // By this name the host's copy works as a menu bar: each menu opens from its word.
    m_menuBar->setObjectName(QStringLiteral("barMenu"));
    m_bar->hide();
    m_menuBar->hide();
    m_tree->setObjectName(QStringLiteral("tvGroups"));
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setDragDropMode(QAbstractItemView::InternalMove);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->setObjectName(QStringLiteral("grdTblView"));
    m_grid->setModel(m_model);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    TRvContactsController::StyleGrid(m_grid);
    m_model->SetReadOnly(true);
    QStringList fields;
    for (const TGridColumn &column : kColumns)
        fields << QLatin1String(column.Field);
    m_model->SetColumns(fields);
    for (int c = 0; c < int(std::size(kColumns)); ++c) {
        m_grid->setColumnHidden(c, kColumns[c].Width == 0);
        if (kColumns[c].Width)
            m_grid->setColumnWidth(c, kColumns[c].Width);
    }
    m_grid->horizontalHeader()->setSortIndicatorShown(true);
    m_sum->setObjectName(QStringLiteral("lblSum"));
    m_sum->setContentsMargins(6, 4, 6, 4);

    auto *right = new QWidget;
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    rightLayout->addWidget(m_sum);
    rightLayout->addWidget(m_grid);
    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({250, 700});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    Wire();
    SetCaptions();
    UpdateSum();
    UpdateActions();
}

QTreeWidget *TplgGroups::Tree() const
{
    return m_tree;
}

QString TplgGroups::Text(int number) const
{
    return m_controller.GetText(number);
}

void TplgGroups::Fail(const QString &location) const
{
    m_controller.WriteLog(QorLogLevel::Severe, {location}, QStringLiteral("Unknown failure"));
}

QAction *TplgGroups::MakeAction(const char *name, int icon)
{
    auto *action = new QAction(this);
    action->setObjectName(QString::fromLatin1(name));
    if (icon >= 0) {
        const QList<QIcon> icons = m_controller.ToolbarImages();
        if (icon < icons.size())
            action->setIcon(icons[icon]);
    }
    m_actions.insert(action->objectName(), action);
    return action;
}

void TplgGroups::Wire()
{
    // Every handler catches its own failure and logs it under its name.
    const auto guarded = [this](const QString &location, std::function<void()> work) {
        return [this, location, work] {
            try {
                work();
            } catch (const std::exception &e) {
                QorLogFailure(&m_controller, location, e);
            } catch (...) {
                Fail(location);
            }
            UpdateActions();
        };
    };
    const auto on = [this, guarded](QAction *action, const QString &location, std::function<void()> work) {
        connect(action, &QAction::triggered, this, guarded(location, std::move(work)));
    };
    const auto hostApplication = [this] { return host_cast<IHostApplication>(m_controller.Host()); };

    on(MakeAction("acHYNew", 0), QStringLiteral("EditGroupNode"), [this] { NewGroup(); });
    on(MakeAction("acHYEdit", 1), QStringLiteral("EditGroupNode"), [this] { StartEdit(); });
    on(MakeAction("acHYDelete", 2), QStringLiteral("acHYDeleteExecute"), [this] { DeleteGroup(); });
    on(MakeAction("acHYRefresh", 3), QStringLiteral("acHYRefreshExecute"), [this] { Refresh(); });
    on(MakeAction("acHYAddContact", 6), QStringLiteral("acHYAddContactExecute"), [this] { SetMembers(); });
    on(MakeAction("acHYRemoveContact", 2), QStringLiteral("RemoveGroupMembers"), [this] { RemoveMembers(); });
    on(MakeAction("acHYEditContact", 1), QStringLiteral("acHYEditContactExecute"), [this] { EditContact(); });
    QAction *showChildren = MakeAction("acShowChildren");
    showChildren->setCheckable(true);
    showChildren->setChecked(m_showChildren);
    on(showChildren, QStringLiteral("acShowChildrenExecute"), [this, showChildren] {
        m_showChildren = showChildren->isChecked();
        ListMembers();
    });
    on(MakeAction("acHYExpandAll"), QStringLiteral("acHYExpandAllExecute"), [this] {
        m_tree->setUpdatesEnabled(false);
        m_tree->expandAll();
        m_tree->setUpdatesEnabled(true);
    });
    QAction *selectAll = MakeAction("acSelectAll");
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    on(selectAll, QStringLiteral("acSelectAllExecute"), [this] { m_grid->selectAll(); });
    on(MakeAction("acHYCopy"), QStringLiteral("acHYCopyExecute"), [this] { CopyRows(); });
    QAction *print = MakeAction("acHYPrint", 4);
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    on(print, QStringLiteral("acHYmnuPrintExecute"), [this] { PrintList(); });
    QAction *preview = MakeAction("acHYPreview", 5);
    preview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    on(preview, QStringLiteral("acHYPreviewExecute"), [this] { Preview(); });
    on(MakeAction("acEmail", 7), QStringLiteral("acEmailExecute"), [this] { SendEmail(); });
    QAction *help = MakeAction("acHYHelp", 10);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    on(help, QStringLiteral("acHYHelpExecute"), [this] { m_controller.ShowHelp(HelpTopic); });
    on(MakeAction("acHelp"), QStringLiteral("acHelpExecute"), [this] { m_controller.ShowHelp(QStringLiteral("Preface")); });
    on(MakeAction("acVisit"), QStringLiteral("acVisitExecute"), [this] { m_controller.OpenWebSite(); });
    on(MakeAction("acHYAbout"), QStringLiteral("acHYAboutExecute"), [this] {
        if (auto about = host_cast<IAboutHost>(m_controller.Host()))
            about->ShowAboutDialog();
    });
    on(MakeAction("acFaq"), QStringLiteral("acFaqExecute"), [hostApplication] {
        if (auto application = hostApplication())
            application->OpenInstallFAQ();
    });
    on(MakeAction("acGettingStarted"), QStringLiteral("acGettingStartedExecute"), [hostApplication] {
        if (auto application = hostApplication())
            application->OpenGettingStartedGuide();
    });
    QAction *logon = MakeAction("acLogon");
    logon->setCheckable(true);
    on(logon, QStringLiteral("acLogonExecute"), [hostApplication, logon] {
        if (auto application = hostApplication())
            application->SetUseWindowsLogon(logon->isChecked());
    });
    QAction *preferred = MakeAction("acUsePreferredServer");
    preferred->setCheckable(true);
    on(preferred, QStringLiteral("acUsePreferredServerExecute"), [hostApplication, preferred] {
        if (auto application = hostApplication())
            application->SetAlwaysUsePreferredServer(preferred->isChecked());
    });
    on(MakeAction("acHYExit"), QStringLiteral("acHYExitExecute"), [hostApplication] {
        if (auto application = hostApplication())
            application->CloseMainWindow();
    });

    for (const char *name : {"acHYNew", "acHYEdit", "acHYDelete", "acEmail", "acHYPrint", "acHYRefresh", "acHYAddContact",
                             "acHYEditContact", "acHYRemoveContact", "acShowChildren", "acHYHelp"})
        m_bar->addAction(Action(QLatin1String(name)));
    // The menus File, Edit, View, Tools and Help travel as actions with a menu each.
    const QList<QPair<const char *, QStringList>> menus = {
        {"File", {"acHYPrint", "acHYPreview", "acEmail", "", "acHYExit"}},
        {"Edit", {"acHYNew", "acHYEdit", "acHYDelete", "", "acHYAddContact", "acHYEditContact", "acHYRemoveContact", "",
                  "acSelectAll", "acHYCopy"}},
        {"View", {"acHYRefresh", "acShowChildren", "acHYExpandAll"}},
        {"Tools", {"acLogon", "acUsePreferredServer"}},
        {"Help", {"acHYHelp", "acHelp", "acGettingStarted", "acFaq", "", "acVisit", "acHYAbout"}}};
    for (const auto &[title, items] : menus) {
        auto *menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("mnu") + QLatin1String(title));
        for (const QString &item : items) {
            if (item.isEmpty())
                menu->addSeparator();
            else
                menu->addAction(Action(item));
        }
        m_menus.insert(QLatin1String(title), menu);
        m_menuBar->addAction(menu->menuAction());
    }
    for (const char *name : {"acHYNew", "acHYEdit", "acHYDelete"})
        m_treeMenu->addAction(Action(QLatin1String(name)));
    m_treeMenu->addAction(Action(QStringLiteral("acHYExpandAll")));
    m_gridMenu->addAction(Action(QStringLiteral("acHYAddContact")));
    m_gridMenu->addAction(Action(QStringLiteral("acHYRemoveContact")));
    addActions({selectAll, print, preview, help});
    RunPreview = [this](const ReportDocument &document) { ShowPreview(document); };

    // Keys of the tree and the grid run their action only while it is enabled.
    const auto key = [this](QWidget *widget, QKeySequence sequence, const QString &action) {
        auto *shortcut = new QShortcut(sequence, widget, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, action] {
            if (QAction *a = Action(action); a && a->isEnabled())
                a->trigger();
        });
    };
    key(m_tree, QKeySequence(Qt::Key_F2), QStringLiteral("acHYEdit"));
    key(m_tree, QKeySequence(Qt::Key_Return), QStringLiteral("acHYEdit"));
    key(m_tree, QKeySequence(Qt::Key_Delete), QStringLiteral("acHYDelete"));
    key(m_grid, QKeySequence(Qt::Key_Delete), QStringLiteral("acHYRemoveContact"));
    key(m_grid, QKeySequence(Qt::Key_Return), QStringLiteral("acHYEditContact"));
    connect(m_grid, &QTableView::doubleClicked, this, [this] {
        if (QAction *a = Action(QStringLiteral("acHYEditContact")); a->isEnabled())
            a->trigger();
    });

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
        if (m_filling)
            return;
        ListMembers();
        UpdateActions();
    });
    connect(m_tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) {
        if (m_filling)
            return;
        try {
            EditGroupNode(item, item->text(0));
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, QStringLiteral("EditGroupNode"), e);
        }
    });
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        // A right click selects the node under it first.
        if (QTreeWidgetItem *item = m_tree->itemAt(at))
            m_tree->setCurrentItem(item);
        UpdateActions();
        m_treeMenu->popup(m_tree->viewport()->mapToGlobal(at));
    });
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        UpdateActions();
        m_gridMenu->popup(m_grid->viewport()->mapToGlobal(at));
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        UpdateSum();
        UpdateActions();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        UpdateSum();
        UpdateActions();
    });
    m_tree->Accepts = [this](const QTreeWidgetItem *dragged, const QTreeWidgetItem *target) { return CanDrop(dragged, target); };
    m_tree->Dropped = [this](QTreeWidgetItem *dragged, QTreeWidgetItem *target) {
        try {
            DropGroup(dragged, target);
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, QStringLiteral("tvGroupsDragDrop"), e);
        }
    };
}

void TplgGroups::SetCaptions()
{
    const QList<QPair<const char *, int>> captions = {
        {"acHYNew", 1100},        {"acHYEdit", 1101},          {"acHYDelete", 1102},      {"acHYRefresh", 1104},
        {"acHYAddContact", 1110}, {"acHYRemoveContact", 1111}, {"acHYEditContact", 1450}, {"acShowChildren", 6018},
        {"acHYExpandAll", 1709},  {"acSelectAll", 2120},       {"acHYCopy", 1221},        {"acHYPrint", 1303}, {"acHYPreview", 3009},
        {"acEmail", 1460},        {"acHYHelp", 1105},          {"acHelp", 1123},          {"acVisit", 1122},
        {"acHYAbout", 1112},      {"acFaq", 1114},             {"acGettingStarted", 1115}, {"acLogon", 10018},
        {"acUsePreferredServer", 10020}, {"acHYExit", 1107}};
    for (const auto &[name, number] : captions)
        Action(QLatin1String(name))->setText(Text(number));
    Action(QStringLiteral("acShowChildren"))->setToolTip(Text(6019));
    const QList<QPair<const char *, int>> menus = {{"File", 1201}, {"Edit", 1202}, {"View", 1203}, {"Tools", 10019}, {"Help", 1205}};
    for (const auto &[title, number] : menus)
        m_menus.value(QLatin1String(title))->setTitle(Text(number));
    for (int c = 0; c < int(std::size(kColumns)); ++c)
        if (kColumns[c].Caption)
            m_model->SetCaption(QLatin1String(kColumns[c].Field), Text(kColumns[c].Caption));
    m_sumFormat = Text(6201);
}

QList<QToolBar *> TplgGroups::GetBarManager()
{
    return {m_menuBar, m_bar};
}

QList<QIcon> TplgGroups::GetToolbarImages()
{
    return m_controller.ToolbarImages();
}

QList<QIcon> TplgGroups::GetToolbarDisabledImages()
{
    return m_controller.ToolbarDisabledImages();
}

void TplgGroups::GetStatusText(QString &text)
{
    text = Text(1003);
}

void TplgGroups::Activate(QObject *)
{
    // Captions also when the tree cannot be read (no server).
    SetCaptions();
    try {
        m_bar->hide();
        m_menuBar->hide();
        m_controller.LoadGridLayout(kLayout, m_grid->horizontalHeader());
        if (m_controller.Data().DAContactList().GetActive())
            m_controller.Data().DAContactList().ClearFilter();
        auto settings = host_cast<ISettings>(m_controller.Host());
        m_showChildren = !settings || SettingTrue(settings->GetUserSetting(kShowChildrenSetting, QStringLiteral("TRUE")));
        Action(QStringLiteral("acShowChildren"))->setChecked(m_showChildren);
        const int width = settings ? settings->GetUserSetting(kWidthSetting, QStringLiteral("250")).toInt() : 250;
        m_treeWidth = width > 0 ? width : 250;
        m_widthPending = true;
        if (isVisible())
            ApplyTreeWidth();
        if (auto application = host_cast<IHostApplication>(m_controller.Host())) {
            Action(QStringLiteral("acLogon"))->setChecked(application->GetUseWindowsLogon());
            Action(QStringLiteral("acUsePreferredServer"))->setChecked(application->GetAlwaysUsePreferredServer());
        }
        FillGroupListView();
        if (!m_controller.IsMailAvailable()) {
            m_mailGone = true;
            Action(QStringLiteral("acEmail"))->setEnabled(false);
            Action(QStringLiteral("acEmail"))->setVisible(false);
        }
        if (auto smartHelp = host_cast<ISmartHelp>(m_controller.Host()))
            smartHelp->SetSmartHelpText(m_controller.GetHTML(103), 101);
        const QString active = settings ? settings->GetUserSetting(kActiveNodeSetting, QString()) : QString();
        // The very node left in this session, while the setting still names it.
        QTreeWidgetItem *left = NodeOfPath(m_controller.GroupsNodeLeft);
        if (left && IDOf(left).compare(active, Qt::CaseInsensitive) != 0)
            left = nullptr;
        if (!left && !active.isEmpty())
            for (QTreeWidgetItemIterator it(m_tree); *it && !left; ++it)
                if (IDOf(*it).compare(active, Qt::CaseInsensitive) == 0)
                    left = *it;
        if (left) {
            m_tree->setCurrentItem(left);
            m_tree->scrollToItem(left);
        }
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("onActivate"), e);
    }
    UpdateSum();
    UpdateActions();
}

void TplgGroups::Deactivate(QObject *)
{
    try {
        m_controller.SaveGridLayout(kLayout, m_grid->horizontalHeader());
        if (auto settings = host_cast<ISettings>(m_controller.Host())) {
            settings->SetUserSetting(kShowChildrenSetting, m_showChildren ? QStringLiteral("-1") : QStringLiteral("0"));
            settings->SetUserSetting(kWidthSetting, QString::number(m_widthPending ? m_treeWidth : m_tree->width()));
            if (QTreeWidgetItem *item = m_tree->currentItem())
                settings->SetUserSetting(kActiveNodeSetting, IDOf(item));
        }
        m_controller.GroupsNodeLeft.clear();
        for (QTreeWidgetItem *node = m_tree->currentItem(); node; node = node->parent())
            m_controller.GroupsNodeLeft.prepend({int(KindOf(node)), IDOf(node)});
        m_controller.Data().SaveOrRevert(QStringLiteral("onDeactivate"), {&m_controller.Data().DAGroupsList()}, true);
        m_controller.Data().MinistryFunctions().Close();
        m_controller.Data().MinistryFunctions().SetWhere(TDAWhere());
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("onDeactivate"), e);
    }
}

// given once the splitter has its own.
void TplgGroups::showEvent(QShowEvent *event)
{
    THYVisualPlugin::showEvent(event);
    if (m_widthPending)
        ApplyTreeWidth();
}

void TplgGroups::ApplyTreeWidth()
{
    const int total = m_splitter->width() - m_splitter->handleWidth();
    m_splitter->setSizes({m_treeWidth, qMax(1, total - m_treeWidth)});
    m_widthPending = false;
}

void TplgGroups::UpdateActions()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    const bool rights = EditorRights();
    const bool group = item && KindOf(item) == TGroupsNodeKind::Group;
    const bool below = BelowRootGroup(item);
    const bool open = m_controller.Data().DAContactByGroup().GetActive();
    const int rows = open ? m_model->rowCount() : 0;
    const bool selectedRows = m_grid->selectionModel() && m_grid->selectionModel()->hasSelection();
    Action(QStringLiteral("acHYNew"))->setEnabled(group && rights);
    Action(QStringLiteral("acHYEdit"))->setEnabled(below && rights);
    Action(QStringLiteral("acHYDelete"))->setEnabled(below && rights);
    Action(QStringLiteral("acHYAddContact"))->setEnabled(below && rights);
    Action(QStringLiteral("acHYRemoveContact"))->setEnabled(group && rights && selectedRows);
    Action(QStringLiteral("acHYEditContact"))->setEnabled(item && rights && selectedRows);
    Action(QStringLiteral("acSelectAll"))->setEnabled(rows > 0);
    Action(QStringLiteral("acHYCopy"))->setEnabled(rows > 0 && m_grid->currentIndex().isValid());
    if (!m_mailGone) {
        try {
            Action(QStringLiteral("acEmail"))->setEnabled(!EmailAddresses().isEmpty());
        } catch (const std::exception &e) {
            Action(QStringLiteral("acEmail"))->setEnabled(false);
            QorLogFailure(&m_controller, QStringLiteral("EMAIL"), e);
        }
    }
}
