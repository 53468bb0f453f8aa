#include "plugins/contacts/ufGroups.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QCloseEvent>
#include <QDropEvent>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Quorva;

namespace {
constexpr int KeyRole = Qt::UserRole;
}

// A tree whose drops go through the group rules: a refused move leaves the tree as it was.
class TGroupTreeWidget : public QTreeWidget
{
public:
    std::function<bool(QTreeWidgetItem *moved, QTreeWidgetItem *target)> OnDrop;

    // Ends a caption edit that is still open, keeping the text typed so far.
    void CommitOpenEditor()
    {
        if (state() != QAbstractItemView::EditingState)
            return;
        if (QWidget *editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

protected:
    void dropEvent(QDropEvent *event) override
    {
        QTreeWidgetItem *target = itemAt(event->position().toPoint());
        QTreeWidgetItem *moved = currentItem();
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
        if (moved && target && moved != target && moved->parent() && OnDrop)
            OnDrop(moved, target);
    }
};

TfGroups::TfGroups(TDAContacts &contacts, TRvContactsController &controller, QWidget *parent)
    : TfBaseDialog(parent), m_data(contacts), m_controller(controller), m_groups(contacts), m_tree(new TGroupTreeWidget)
{
    setObjectName(QStringLiteral("TfGroups"));
    m_tree->setObjectName(QStringLiteral("tvGroups"));
    m_tree->setHeaderHidden(true);
    auto *central = new QWidget(this);
    (new QVBoxLayout(central))->addWidget(m_tree);
    setCentralWidget(central);
    auto action = [this](const char *name) {
        auto *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    m_acUse = action("acUse");
    m_acClose = action("acClose");
    m_acClose->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acAdd = action("acAdd");
    m_acRemove = action("acRemove");
    m_acHelp = action("acHelp");
    m_acHelp->setShortcut(QKeySequence(Qt::Key_F1));
    auto *bar = addToolBar(QStringLiteral("main"));
    bar->setMovable(false);
    for (QAction *a : {m_acUse, m_acClose, m_acAdd, m_acRemove, m_acHelp})
        bar->addAction(a);
    connect(m_acHelp, &QAction::triggered, this, [this] { m_controller.ShowHelp(TGroupTree::HelpTopic); });
    connect(m_acUse, &QAction::triggered, this, [this] {
        m_tree->CommitOpenEditor();
        SetModalResult(TModalResult::Ok);
    });
    connect(m_acClose, &QAction::triggered, this, [this] { SetModalResult(TModalResult::Cancel); });
    connect(m_acAdd, &QAction::triggered, this, [this] { AddGroup(); });
    connect(m_acRemove, &QAction::triggered, this, [this] { RemoveGroup(); });
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
    connect(m_tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) { CaptionEdited(item); });
    m_tree->OnDrop = [this](QTreeWidgetItem *moved, QTreeWidgetItem *target) {
        try {
            return MoveGroup(moved->data(0, KeyRole).toString(), target->data(0, KeyRole).toString());
        } catch (const std::exception &) {
            return false; // a failed drop leaves everything as it was
        }
    };
    resize(420, 480);
}

TfGroups::~TfGroups() = default;

QString TfGroups::Text(int number) const
{
    return m_controller.GetText(number);
}

QTreeWidget *TfGroups::Tree() const
{
    return m_tree;
}

void TfGroups::Prepare()
{
    setWindowTitle(Text(m_functionMode ? 8020 : 8000));
    m_acAdd->setVisible(!m_functionMode);
    m_acRemove->setVisible(!m_functionMode);
    m_acAdd->setText(Text(8003));
    m_acRemove->setText(Text(8004));
    m_acClose->setText(Text(8001));
    m_acUse->setText(Text(8002));
    m_acHelp->setText(Text(8005));
    m_tree->setSelectionMode(m_functionMode ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    m_tree->setDragDropMode(m_functionMode ? QAbstractItemView::NoDragDrop : QAbstractItemView::InternalMove);
}

void TfGroups::AddNodes(QTreeWidgetItem *parent, const TGroupNode &node)
{
    for (const TGroupNode &child : node.Children) {
        auto *item = new QTreeWidgetItem(parent, {child.Caption});
        item->setData(0, KeyRole, child.ID);
        item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        AddNodes(item, child);
        item->setExpanded(true);
    }
}

void TfGroups::Initialize()
{
    m_filling = true;
    try {
        m_tree->clear();
        if (m_functionMode) {
            TDACDSDataTable &functions = m_data.MinistryFunctions();
            if (!functions.GetActive())
                functions.Open();
            for (int row = 0; row < functions.GetRecordCount(); ++row) {
                auto *item = new QTreeWidgetItem(m_tree, {functions.ValueAt(row, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString()});
                item->setData(0, KeyRole, functions.ValueAt(row, functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"))));
            }
        } else {
            const TGroupNode top = m_groups.Build(Text(6002));
            auto *root = new QTreeWidgetItem(m_tree, {top.Caption});
            root->setData(0, KeyRole, top.ID);
            root->setFlags((root->flags() | Qt::ItemIsDropEnabled) & ~Qt::ItemIsDragEnabled & ~Qt::ItemIsEditable);
            try {
                AddNodes(root, top);
            } catch (const std::exception &e) {
                QorLogFailure(&m_controller, QStringLiteral("FillUserGroups"), e);
            }
            root->setExpanded(true);
            m_tree->setCurrentItem(root);
        }
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("Initialize"), e);
    }
    m_filling = false;
    SelectionChanged();
}

QTreeWidgetItem *TfGroups::FindItem(const QString &id) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->data(0, KeyRole).toString().compare(id, Qt::CaseInsensitive) == 0)
            return *it;
    return nullptr;
}

QStringList TfGroups::SelectedIDs() const
{
    QStringList ids;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->isSelected())
            ids << (*it)->data(0, KeyRole).toString();
    return ids;
}

bool TfGroups::MoveGroup(const QString &group, const QString &newParent)
{
    if (!m_groups.MoveGroup(group, newParent))
        return false;
    Initialize();
    if (QTreeWidgetItem *item = FindItem(group))
        m_tree->setCurrentItem(item);
    return true;
}

void TfGroups::AddGroup()
{
    try {
        QTreeWidgetItem *parent = m_tree->currentItem();
        if (!parent)
            return;
        const QString key = m_groups.AddGroup(parent->data(0, KeyRole).toString(), Text(6004));
        m_filling = true;
        auto *item = new QTreeWidgetItem(parent, {Text(6004)});
        item->setData(0, KeyRole, key);
        item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        m_filling = false;
        parent->setExpanded(true);
        m_tree->setCurrentItem(item);
        if (isVisible())
            m_tree->editItem(item);
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(&m_controller, QStringLiteral("EditGroupNode"), e);
    }
}

void TfGroups::CaptionEdited(QTreeWidgetItem *item)
{
    if (m_filling || !item || !item->parent())
        return;
    try {
        const QString name = m_groups.RenameGroup(item->data(0, KeyRole).toString(), item->text(0));
        if (name != item->text(0)) {
            // An empty name is refused: the group keeps the one it had.
            m_filling = true;
            item->setText(0, name);
            m_filling = false;
        }
        SetStatusText(Text(8006) + name);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("EditGroupNode"), e);
    }
}

void TfGroups::RemoveGroup()
{
    try {
        QTreeWidgetItem *item = m_tree->currentItem();
        if (!item || !item->parent())
            return;
        const QString id = item->data(0, KeyRole).toString();
        const int question = m_groups.HasSubGroups(id) ? 6013 : 6011;
        if (Prompt().Ask(this, QMessageBox::Critical, Text(6012), Text(question), QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
            QMessageBox::Yes)
            return;
        QTreeWidgetItem *parent = item->parent();
        m_groups.DeleteGroup(id);
        m_tree->setCurrentItem(parent);
        delete item;
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acHYDeleteExecute"), e);
    }
}

void TfGroups::SelectionChanged()
{
    QStringList captions;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->isSelected())
            captions << (*it)->text(0);
    QTreeWidgetItem *current = m_tree->currentItem();
    if (m_functionMode) {
        SetStatusText(Text(8006) + captions.join(QStringLiteral(", ")));
        m_acUse->setEnabled(!captions.isEmpty());
    } else {
        SetStatusText(Text(8006) + (current ? current->text(0) : QString()));
        const bool belowTop = current && current->parent();
        m_acUse->setEnabled(belowTop);
        m_acRemove->setEnabled(belowTop);
    }
}

void TfGroups::closeEvent(QCloseEvent *event)
{
    if (ModalResult() != TModalResult::Ok && m_data.GroupChangesPending()) {
        try {
            if (Prompt().Ask(this, QMessageBox::Warning, Text(8010), Text(8011), QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
                QMessageBox::Yes)
                m_data.ApplyGroupChanges();
            else
                m_data.CancelGroupChanges(); // nothing of them is sent later by another save
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, QStringLiteral("FormCloseQuery"), e);
            ShowMessage(this, QMessageBox::Warning, Text(8010), QString::fromUtf8(e.what()));
            event->ignore();
            return;
        }
    }
    TfBaseDialog::closeEvent(event);
}
