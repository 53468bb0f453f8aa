#include "plugins/contacts/uGroupsView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGroupTree.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportExport.h"
#include "ui/DialogService.h"
#include "ui/PromptService.h"
#include "ui/ufPreview.h"
#include "ui/TDATableModel.h"
#include "ui/ViewRefresh.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScopeGuard>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

constexpr int IDRole = Qt::UserRole;
constexpr int ID2Role = Qt::UserRole + 1;
constexpr int KindRole = Qt::UserRole + 2;

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

// Fills the "%s" (or "%d") places of a language text in order.
QString FillIn(QString format, const QStringList &values)
{
    for (const QString &value : values) {
        qsizetype at = format.indexOf(QStringLiteral("%s"));
        if (at < 0)
            at = format.indexOf(QStringLiteral("%d"));
        if (at < 0)
            break;
        format.replace(at, 2, value);
    }
    return format;
}

bool SettingTrue(const QString &value)
{
    return value != QStringLiteral("0") && value.compare(QStringLiteral("FALSE"), Qt::CaseInsensitive) != 0;
}

// The report chooser's criteria: one entry.
class TCriteriaText final : public IReportCriteriaProvider
{
public:
    explicit TCriteriaText(QString text) : m_text(std::move(text)) {}
    bool queryInterface(const QUuid &id, void **object) override { return QorQueryInterface<IReportCriteriaProvider>(this, id, object); }
    int addRef() override { return 1; }
    int release() override { return 1; }
    QString GetCriteriaText() override { return m_text; }

private:
    QString m_text;
};

// The keys of every node below the item, depth first, siblings in order.
QStringList DescendantIDs(const QTreeWidgetItem *item)
{
    QStringList ids;
    for (int c = 0; item && c < item->childCount(); ++c) {
        ids << item->child(c)->data(0, IDRole).toString();
        ids << DescendantIDs(item->child(c));
    }
    return ids;
}

} // namespace

// The tree: drags are checked by the view's rules; a drop moves the group through the view.
class TGroupsTreeWidget : public QTreeWidget
{
public:
    std::function<bool(const QTreeWidgetItem *, const QTreeWidgetItem *)> Accepts;
    std::function<void(QTreeWidgetItem *, QTreeWidgetItem *)> Dropped;

protected:
    void dragMoveEvent(QDragMoveEvent *event) override
    {
        QTreeWidgetItem *target = itemAt(event->position().toPoint());
        if (event->source() == this && Accepts && Accepts(currentItem(), target)) {
            if (target->childCount() > 0)
                target->setExpanded(true);
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
    }
    void dropEvent(QDropEvent *event) override
    {
        QTreeWidgetItem *target = itemAt(event->position().toPoint());
        QTreeWidgetItem *moved = currentItem();
        // The tree never moves items itself: the view stores the move first.
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
        if (event->source() == this && Accepts && Dropped && Accepts(moved, target))
            Dropped(moved, target);
    }
};

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

QTreeWidgetItem *TplgGroups::NodeOfPath(const QList<QPair<int, QString>> &path) const
{
    QTreeWidgetItem *found = nullptr;
    for (const auto &[kind, id] : path) {
        const int count = found ? found->childCount() : m_tree->topLevelItemCount();
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem *node = found ? found->child(i) : m_tree->topLevelItem(i);
            if (int(KindOf(node)) == kind && IDOf(node).compare(id, Qt::CaseInsensitive) == 0)
                next = node;
        }
        if (!next)
            return nullptr;
        found = next;
    }
    return found;
}

// The host shows the view after activating it: the stored width of the tree can only be
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

// ---- the tree ----

TGroupsNodeKind TplgGroups::KindOf(const QTreeWidgetItem *item)
{
    return item ? TGroupsNodeKind(item->data(0, KindRole).toInt()) : TGroupsNodeKind::Group;
}

QString TplgGroups::IDOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, IDRole).toString() : QString();
}

void TplgGroups::AddNodes(QTreeWidgetItem *parent, const TGroupsViewNode &node)
{
    auto *item = parent ? new QTreeWidgetItem(parent, {node.Caption}) : new QTreeWidgetItem(m_tree, {node.Caption});
    item->setData(0, IDRole, node.ID);
    item->setData(0, ID2Role, node.ID2);
    item->setData(0, KindRole, int(node.Kind));
    Qt::ItemFlags flags = item->flags() & ~Qt::ItemIsDragEnabled & ~Qt::ItemIsDropEnabled;
    if (node.Kind == TGroupsNodeKind::Group) {
        flags |= Qt::ItemIsDropEnabled;
        if (parent)
            flags |= Qt::ItemIsDragEnabled | Qt::ItemIsEditable;
    }
    item->setFlags(flags);
    for (const TGroupsViewNode &child : node.Children)
        AddNodes(item, child);
}

void TplgGroups::FillTree()
{
    m_filling = true;
    m_tree->setUpdatesEnabled(false);
    const auto done = qScopeGuard([this] {
        m_tree->setUpdatesEnabled(true);
        m_filling = false;
    });
    m_tree->clear();
    const auto text = [this](int number) { return Text(number); };
    const QList<TGroupsViewNode> roots = TGroupsRules::BuildTree(m_controller.Data(), text(6001), text(6005), text(6003), text(6002));
    for (const TGroupsViewNode &root : roots)
        AddNodes(nullptr, root);
    if (QTreeWidgetItem *groups = m_tree->topLevelItem(m_tree->topLevelItemCount() - 1)) {
        groups->setExpanded(true);
        m_tree->setCurrentItem(groups);
    }
}

void TplgGroups::FillGroupListView(bool listMembers)
{
    try {
        FillTree();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("FillGroupListView"), e);
    }
    if (listMembers)
        ListMembers();
}

QTreeWidgetItem *TplgGroups::FindNode(TGroupsNodeKind kind, const QString &id) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (KindOf(*it) == kind && (id.isEmpty() || IDOf(*it).compare(id, Qt::CaseInsensitive) == 0))
            return *it;
    return nullptr;
}

bool TplgGroups::EditorRights() const
{
    const TvoUser *user = m_controller.GetCurrentUser();
    return user && (user->UserLevel & 1);
}

bool TplgGroups::BelowRootGroup(const QTreeWidgetItem *item) const
{
    return item && item->parent() && KindOf(item) == TGroupsNodeKind::Group;
}

bool TplgGroups::CanDrop(const QTreeWidgetItem *dragged, const QTreeWidgetItem *target) const
{
    if (!target || !dragged || dragged == target || KindOf(target) != TGroupsNodeKind::Group || !BelowRootGroup(dragged) ||
        !EditorRights())
        return false;
    // Under itself a group would hang in the air: no root reaches it any more.
    for (const QTreeWidgetItem *at = target; at; at = at->parent())
        if (at == dragged)
            return false;
    return true;
}

void TplgGroups::DropGroup(QTreeWidgetItem *dragged, QTreeWidgetItem *target)
{
    if (!CanDrop(dragged, target))
        return;
    m_filling = true;
    QTreeWidgetItem *parent = dragged->parent();
    parent->takeChild(parent->indexOfChild(dragged));
    target->addChild(dragged);
    target->setExpanded(true);
    m_filling = false;
    m_tree->setCurrentItem(dragged);
    EditGroupNode(dragged, dragged->text(0));
}

void TplgGroups::EditGroupNode(QTreeWidgetItem *item, const QString &caption)
{
    if (!BelowRootGroup(item))
        return;
    TDAContacts &store = m_controller.Data();
    TGroupTree tree(store);
    const QString name = tree.RenameGroup(IDOf(item), caption);
    if (item->text(0) != name) {
        m_filling = true;
        item->setText(0, name);
        m_filling = false;
    }
    // Where the node now hangs; the drop already refused a place below the group itself.
    tree.MoveGroup(IDOf(item), IDOf(item->parent()));
    if (!store.SaveOrRevert(QStringLiteral("EditGroupNode"), {&store.DAGroupsList()}, true))
        FillGroupListView(false); // the names and places the server holds
}

void TplgGroups::NewGroup()
{
    QTreeWidgetItem *parent = m_tree->currentItem();
    if (!parent || KindOf(parent) != TGroupsNodeKind::Group || !EditorRights())
        return;
    TGroupTree groups(m_controller.Data());
    const QString key = groups.AddGroup(IDOf(parent), Text(6004));
    if (!m_controller.Data().SaveOrRevert(QStringLiteral("acHYNewExecute"), {&m_controller.Data().DAGroupsList()}))
        return;
    m_filling = true;
    AddNodes(parent, TGroupsViewNode{key, {}, TGroupsNodeKind::Group, Text(6004), {}});
    m_filling = false;
    parent->setExpanded(true);
    QTreeWidgetItem *item = parent->child(parent->childCount() - 1);
    m_tree->setCurrentItem(item);
    if (m_tree->isVisible())
        m_tree->editItem(item);
}

void TplgGroups::StartEdit()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (BelowRootGroup(item) && EditorRights())
        m_tree->editItem(item);
}

void TplgGroups::DeleteGroup()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!BelowRootGroup(item) || !EditorRights())
        return;
    const int question = item->childCount() > 0 ? 6013 : 6011;
    if (Prompt().Ask(this, QMessageBox::Critical, Text(6012), Text(question), QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    TDAContacts &store = m_controller.Data();
    try {
        // The links as the server has them now, so that every one of the group's goes too.
        TDACDSDataTable &links = store.DALnkGroupMembers();
        if (!links.GetActive() || !links.HasChanges()) {
            links.Close();
            links.SetWhere(TDAWhere());
            links.Open();
        }
        TGroupTree(store).DeleteGroup(IDOf(item));
        store.ApplyGroupChanges();
    } catch (const std::exception &e) {
        store.RevertAfterFailure(QStringLiteral("acHYDeleteExecute"), QString::fromUtf8(e.what()),
                                 {&store.DAGroupsList(), &store.DALnkGroupMembers()});
        return;
    }
    QTreeWidgetItem *parent = item->parent();
    m_filling = true;
    delete item;
    m_filling = false;
    m_tree->setCurrentItem(parent);
    m_tree->viewport()->update();
}

void TplgGroups::Refresh()
{
    TBusyCursor busy;
    int selected = -1;
    int index = 0;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it, ++index)
        if (*it == m_tree->currentItem())
            selected = index;
    TDAContacts &store = m_controller.Data();
    TDACDSDataTable &groups = store.DAGroupsList();
    store.SaveOrRevert(QStringLiteral("acHYRefreshExecute"), {&groups}, true);
    // What others changed meanwhile is read again.
    for (TDACDSDataTable *table : {&groups, &store.MinistryFunctions(), &store.LiturgyTemplates()})
        if (!table->HasChanges())
            table->Close();
    try {
        FillTree();
        ViewRefresh::Succeeded(*this);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acHYRefreshExecute"), e);
        ViewRefresh::Failed(*this, [this](int number) { return Text(number); }, e);
    }
    // The log shows when a planner read the groups again.
    m_controller.WriteLog(QorLogLevel::Severe, QorLogLocation{QStringLiteral("acHYRefreshExecute")}, QStringLiteral("c"));
    index = 0;
    QTreeWidgetItem *target = m_tree->topLevelItem(0);
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it, ++index)
        if (index == selected)
            target = *it;
    m_filling = true;
    m_tree->setCurrentItem(target);
    m_filling = false;
    ListMembers();
}

// ---- the member list ----

void TplgGroups::ListMembers()
{
    TBusyCursor busy;
    TDAContacts &store = m_controller.Data();
    int step = 0;
    try {
        store.DAContactByGroup().Close();
        step = 1;
        QTreeWidgetItem *item = m_tree->currentItem();
        if (!item) {
            UpdateSum();
            return;
        }
        const QStringList descendants = DescendantIDs(item);
        step = 2;
        m_request = TGroupsRules::MemberRequest(KindOf(item), IDOf(item), item->data(0, ID2Role).toString(), IDOf(item->parent()),
                                               descendants, m_showChildren);
        step = 3;
        store.SetGroupedRequest(m_request.Dataset, m_request.Where);
        step = 4;
        store.DAContactByGroup().Open();
        step = 5;
        const int lastName = m_model->ColumnOf(QStringLiteral("LastName"));
        m_grid->sortByColumn(lastName, Qt::DescendingOrder);
        if (m_model->rowCount() > 0) {
            m_grid->setCurrentIndex(m_model->index(0, lastName));
            m_grid->selectRow(0);
        }
    } catch (const std::exception &e) {
        m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("tvGroupsChange")},
                                  QString::fromUtf8(e.what()) + QLatin1Char('\t') +
                                      QStringLiteral("Dataset : %1 \t WHERE : %2  ErrorPos: %3").arg(m_request.Dataset, m_request.Where).arg(step));
        m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("tvGroupsChange")},
                                  QStringLiteral("Fields : %1").arg(store.DAContactByGroup().GetFields().size()));
    }
    UpdateSum();
}

QStringList TplgGroups::SelectedContacts() const
{
    QStringList keys;
    const int key = m_model->ColumnOf(QStringLiteral("PK_ContactID"));
    QList<QModelIndex> rows = m_grid->selectionModel()->selectedRows(key);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : rows)
        keys << index.data().toString();
    return keys;
}

void TplgGroups::UpdateSum()
{
    TDACDSDataTable &members = m_controller.Data().DAContactByGroup();
    if (!members.GetActive()) {
        m_sum->setText(Text(7654));
        return;
    }
    const int selected = m_grid->selectionModel() ? int(m_grid->selectionModel()->selectedRows().size()) : 0;
    m_sum->setText(FillIn(m_sumFormat, {QString::number(members.GetRecordCount()), QString::number(selected)}));
}

QStringList TplgGroups::EmailAddresses() const
{
    const int mail = m_model->ColumnOf(QStringLiteral("EMail1"));
    QList<int> rows;
    if (m_grid->hasFocus()) {
        for (const QModelIndex &index : m_grid->selectionModel()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
    } else {
        for (int row = 0; row < m_model->rowCount(); ++row)
            rows << row;
    }
    QStringList addresses;
    for (int row : rows) {
        const QString address = m_model->index(row, mail).data().toString().trimmed();
        if (!address.isEmpty())
            addresses << address;
    }
    return addresses;
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

// ---- members ----

void TplgGroups::SetMembers()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!BelowRootGroup(item) || !EditorRights())
        return;
    const QString group = IDOf(item);
    TDAContacts &store = m_controller.Data();
    const int focused = m_grid->currentIndex().row();
    m_grid->setUpdatesEnabled(false);
    try {
        TDACDSDataTable &members = store.DAContactByGroup();
        members.Close();
        store.SetGroupedRequest(store.DARemoteGroups().GroupedDataset(), TGroupsRules::GroupMembersWhere(group));
        members.Open();
        QMap<QString, TSearchListItem> byName;
        for (int row = 0; row < members.GetRecordCount(); ++row) {
            const QString first = members.ValueAt(row, members.FieldIndex(QStringLiteral("FirstName"))).toString();
            const QString last = members.ValueAt(row, members.FieldIndex(QStringLiteral("LastName"))).toString();
            const QString key = members.ValueAt(row, members.FieldIndex(QStringLiteral("PK_ContactID"))).toString();
            byName.insert(last + QLatin1Char(' ') + first + key, TDAContacts::ContactSearchItem(key, first, last, last + QLatin1Char(' ') + first));
        }
        const TSearchObjectList preselected = byName.values();
        std::unique_ptr<TSearchObjectList> result;
        if (m_controller.PerformSearch(1, FillIn(Text(6017), {item->text(0)}), 0, true, &preselected, nullptr, result) && result) {
            members.Close();
            QStringList contacts;
            for (const TSearchListItem &hit : *result)
                if (hit.Object.TypeID.isEmpty() || hit.Object.TypeID == TDAContacts::ContactMemberType)
                    contacts << hit.Object.Caption;
            TGroupsRules::SetGroupContacts(store, group, contacts);
        }
    } catch (const std::exception &e) {
        m_grid->setUpdatesEnabled(true);
        store.RevertAfterFailure(QStringLiteral("acHYAddContactExecute ") + group, QString::fromUtf8(e.what()), {&store.DALnkGroupMembers()});
        ListMembers();
        return;
    }
    m_grid->setUpdatesEnabled(true);
    ListMembers();
    if (focused >= 0 && focused < m_model->rowCount())
        m_grid->selectRow(focused);
}

void TplgGroups::RemoveMembers()
{
    const int count = int(m_grid->selectionModel()->selectedRows().size());
    const QString question = count < 2 ? Text(6014) : FillIn(Text(6015), {QString::number(count)});
    const QMessageBox::StandardButton answer =
        Prompt().Ask(this, QMessageBox::Critical, Text(6016), question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                     QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        RemoveGroupMembers(true);
    else if (answer == QMessageBox::No)
        RemoveGroupMembers(false);
}

void TplgGroups::RemoveGroupMembers(bool includeSubGroups)
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item || KindOf(item) != TGroupsNodeKind::Group)
        return;
    TBusyCursor busy;
    const QStringList subGroups = includeSubGroups ? DescendantIDs(item) : QStringList();
    TDAContacts &store = m_controller.Data();
    store.CallOrRevert(QStringLiteral("RemoveGroupMembers"), {}, [&] {
        const std::shared_ptr<IContactsService> service = store.ContactService();
        int refused = 0;
        for (const QString &contact : SelectedContacts())
            if (!service->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), TGroupsRules::RemoveMemberWhere(IDOf(item), subGroups, contact)))
                ++refused;
        return refused == 0;
    });
    // The list shows what the server holds, after a refusal too.
    ListMembers();
}

void TplgGroups::EditContact()
{
    const QStringList selected = SelectedContacts();
    if (selected.isEmpty())
        return;
    TBusyCursor busy;
    const int focused = m_grid->currentIndex().row();
    if (m_controller.Data().EditContact(selected.first())) {
        ListMembers();
        if (focused >= 0 && focused < m_model->rowCount())
            m_grid->selectRow(focused);
    }
}

void TplgGroups::CopyRows()
{
    QStringList lines;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < m_model->columnCount(); ++column)
            if (!m_grid->isColumnHidden(column))
                cells << m_model->index(row, column).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void TplgGroups::PrintList()
{
    QString step = QStringLiteral("CreateExcludeList");
    try {
        QTreeWidgetItem *item = m_tree->currentItem();
        const QString exclusion = KindOf(item) == TGroupsNodeKind::Group ? QString() : IDOf(item);
        step = QStringLiteral("GetSelectedGroups");
        TCriteriaText criteria(TGroupsRules::ReportCriteria(m_request));
        step = QStringLiteral("GetSelectedGroupMembers");
        QStringList selection;
        for (const QString &key : SelectedContacts())
            selection << QStringLiteral("(PK_ContactID LIKE ") + TGroupsRules::Quoted(key) + QLatin1Char(')');
        step = QStringLiteral("GetSelectedGroupCount");
        TDACDSDataTable &contacts = m_controller.Data().DAContactList();
        const int count = contacts.GetActive() ? contacts.GetRecordCount() : 0;
        step = QStringLiteral("ShowReportDialog ");
        TDAGroupedContactsAdapter &request = m_controller.Data().DARemoteGroups();
        m_controller.ShowReportDlg(TGroupsRules::ReportCategory, &selection, count, &criteria, 0, exclusion, TGroupsRules::ReportOverride,
                                   QStringLiteral("rpt") + request.GroupedDataset(), request.GroupedWhere());
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, step + QStringLiteral(" in groups:acHYmnuPrintExecute"), e);
    }
}

QString TplgGroups::HostText(int number) const
{
    QString text;
    if (auto language = host_cast<ILanguageHost>(m_controller.Host()))
        language->GetResourceText(number, true, text);
    return text;
}

ReportDocument TplgGroups::ListDocument() const
{
    QTreeWidgetItem *item = m_tree->currentItem();
    QList<int> shown;
    QList<TListColumn> columns;
    const QHeaderView *header = m_grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column))
            continue;
        shown << column;
        columns << TListColumn{m_model->headerData(column, Qt::Horizontal).toString(), header->sectionSize(column)};
    }
    QList<QStringList> rows;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStringList cells;
        for (int column : shown)
            cells << m_model->index(row, column).data().toString();
        rows << cells;
    }
    const ReportTemplate report = TGroupsRules::ListReport(Text(8501) + (item ? item->text(0) : QString()), Text(8502), columns);
    return ReportEngine::Render(report, TGroupsRules::ListData(rows, int(columns.size())));
}

void TplgGroups::Preview()
{
    const ReportDocument document = ListDocument();
    RunPreview(document);
}

void TplgGroups::ShowPreview(const ReportDocument &document)
{
    TfPreview viewer(this);
    viewer.Localize([this](int number) { return HostText(number); });
    viewer.SetReport(&document, QStringLiteral("GroupsListView"));
    connect(&viewer, &TfPreview::HelpRequested, &viewer, [this](const QString &topic) { m_controller.ShowHelp(topic); });
    if (viewer.ShowModal() != TModalResult::Ok || viewer.ExportKind() == ReportExportKind::None)
        return;
    // The export titles are the host's, as in every other report viewer.
    const QHash<ReportExportKind, int> titles = {{ReportExportKind::Pdf, 2700}, {ReportExportKind::Html, 2701},
                                                 {ReportExportKind::Text, 2702}, {ReportExportKind::Rtf, 2703},
                                                 {ReportExportKind::Xlsx, 2704}};
    const ReportExportFormat format = ReportExport::Format(viewer.ExportKind());
    const QString file = Dialogs().GetSaveFileName(this, HostText(titles.value(format.Kind)), QString(),
                                                   QStringLiteral("%1 (%2)").arg(format.Description, format.Pattern), format.Extension, true);
    if (!file.isEmpty())
        ReportExport::Write(document, format.Kind, file);
}

void TplgGroups::SendEmail()
{
    const QStringList addresses = EmailAddresses();
    if (!addresses.isEmpty())
        m_controller.SendSimpleEmail(addresses);
}
