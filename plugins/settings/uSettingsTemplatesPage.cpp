#include "plugins/settings/uSettingsTemplatesPage.h"

#include "plugins/settings/uDASettings.h"
#include "plugins/settings/uSettingsRules.h"

#include <QAction>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace SettingsKeys;
using namespace SettingsLayout;
using namespace SettingsRules;

TSettingsTemplatesPage::TSettingsTemplatesPage(ISettingsPageHost &host) : TSettingsPage(host)
{
    m_acTemplateUp = MoveAction(QStyle::SP_ArrowUp);
    m_acTemplateDown = MoveAction(QStyle::SP_ArrowDown);
    m_acAddFunction = MoveAction(QStyle::SP_ArrowLeft);
    m_acRemoveFunction = MoveAction(QStyle::SP_ArrowRight);
    connect(m_acTemplateUp, &QAction::triggered, this, [this] { MoveTemplate(-1); });
    connect(m_acTemplateDown, &QAction::triggered, this, [this] { MoveTemplate(1); });
    connect(m_acAddFunction, &QAction::triggered, this, [this] {
        Guarded(QStringLiteral("acAddMinistryFunctionExecute"),
                [this] { AddFunctionToTemplate(SelectedTemplateNode(), m_tvFunctions->currentItem()); });
    });
    connect(m_acRemoveFunction, &QAction::triggered, this, [this] {
        if (QTreeWidgetItem *node = m_tvTemplates->currentItem(); node && node->parent())
            RemoveMinistryFunction(node);
    });
    BuildTemplatesPage();
}

void TSettingsTemplatesPage::BuildTemplatesPage()
{
    QWidget *page = this;
    m_tvTemplates = new QTreeWidget(page);
    m_tvTemplates->setHeaderHidden(true);
    m_tvTemplates->setAcceptDrops(true);
    m_tvTemplates->setDragDropMode(QAbstractItemView::DropOnly);
    m_tvTemplates->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_tvTemplates->viewport()->installEventFilter(this);
    m_tvFunctions = new QTreeWidget(page);
    m_tvFunctions->setHeaderHidden(true);
    m_tvFunctions->setRootIsDecorated(false);
    m_tvFunctions->setDragEnabled(true);
    m_tvFunctions->setDragDropMode(QAbstractItemView::DragOnly);
    connect(m_tvTemplates, &QTreeWidget::currentItemChanged, this, [this] { m_host.UpdateActions(); });
    connect(m_tvFunctions, &QTreeWidget::currentItemChanged, this, [this] { m_host.UpdateActions(); });
    connect(m_tvTemplates, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *node, int) {
        if (!node->parent() && !m_tvTemplates->signalsBlocked())
            RenameTemplate(node, node->text(0));
    });
    connect(m_tvTemplates, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *node, int) {
        if (node->parent())
            RemoveMinistryFunction(node);
    });
    connect(m_tvFunctions, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *node, int) {
        Guarded(QStringLiteral("tvFunctionsDblClick"), [this, node] { AddFunctionToTemplate(SelectedTemplateNode(), node); });
    });

    auto labelled = [&](QWidget *tree, int caption) {
        auto *column = new QVBoxLayout;
        column->addWidget(Label(page, caption));
        column->addWidget(tree);
        return column;
    };
    auto *middle = new QVBoxLayout;
    middle->addStretch();
    for (QAction *a : {m_acAddFunction, m_acRemoveFunction})
        middle->addWidget(ActionButton(a, page));
    middle->addSpacing(24);
    for (QAction *a : {m_acTemplateUp, m_acTemplateDown})
        middle->addWidget(ActionButton(a, page));
    middle->addStretch();
    auto *layout = new QHBoxLayout(page);
    layout->addLayout(labelled(m_tvTemplates, 5230), 3);
    layout->addLayout(middle);
    layout->addLayout(labelled(m_tvFunctions, 5231), 2);
}

bool TSettingsTemplatesPage::CanDelete() const
{
    return m_tvTemplates->currentItem() && !m_tvTemplates->currentItem()->parent();
}

void TSettingsTemplatesPage::UpdateActions()
{
    QTreeWidgetItem *node = m_tvTemplates->currentItem();
    const bool top = node && !node->parent();
    const int index = top ? m_tvTemplates->indexOfTopLevelItem(node) : -1;
    m_acTemplateUp->setEnabled(top && index > 0);
    m_acTemplateDown->setEnabled(top && index < m_tvTemplates->topLevelItemCount() - 1);
    m_acAddFunction->setEnabled(node && m_tvFunctions->currentItem());
    m_acRemoveFunction->setEnabled(node && node->parent());
}

void TSettingsTemplatesPage::RefreshKeepingSelection()
{
    // The selected node by its place in the whole tree, as before the tree was rebuilt.
    QList<QTreeWidgetItem *> nodes;
    for (QTreeWidgetItemIterator it(m_tvTemplates); *it; ++it)
        nodes << *it;
    const qsizetype index = nodes.indexOf(m_tvTemplates->currentItem());
    RefreshTemplateTabData();
    nodes.clear();
    for (QTreeWidgetItemIterator it(m_tvTemplates); *it; ++it)
        nodes << *it;
    if (index >= 0 && index < nodes.size())
        m_tvTemplates->setCurrentItem(nodes[index]);
}

QTreeWidgetItem *TSettingsTemplatesPage::SelectedTemplateNode() const
{
    QTreeWidgetItem *node = m_tvTemplates->currentItem();
    return node && node->parent() ? node->parent() : node;
}

QString TSettingsTemplatesPage::FunctionName(const QString &functionId)
{
    TDACDSDataTable &functions = Data().MinistryFunctions;
    const int key = functions.FieldIndex(Function);
    const int name = functions.FieldIndex(QStringLiteral("MinistryFunctionName"));
    for (int r = 0; r < functions.GetRecordCount(); ++r)
        if (functions.ValueAt(r, key).toString().compare(functionId, Qt::CaseInsensitive) == 0)
            return functions.ValueAt(r, name).toString();
    return QString();
}

void TSettingsTemplatesPage::RefreshTemplateTabData()
{
    // Sent before the tree is built, so that a refused save still shows his rows, or the
    // stored ones he chose to load.
    Guarded(QStringLiteral("RefreshTemplateTabData"), [this] {
        TDACDSDataTable &templates = Data().MinistryTemplates;
        templates.PostIfEditing();
        if (templates.HasChanges())
            templates.ApplyUpdates();
    });
    FillTemplateTree();
}

void TSettingsTemplatesPage::FillTemplateTree()
{
    Guarded(QStringLiteral("RefreshTemplateTabData"), [this] {
        const QSignalBlocker block(m_tvTemplates);
        m_tvTemplates->clear();
        TDACDSDataTable &templates = Data().MinistryTemplates;
        TDACDSDataTable &links = Data().LnkMinistryTemplateToMinistryFunction;
        templates.Sort(SortIndex);
        links.ClearFilter();
        const int linkTemplate = links.FieldIndex(QStringLiteral("F_MinistryTemplateID"));
        const int linkFunction = links.FieldIndex(QStringLiteral("F_MinistryFunctionID"));
        const int linkCount = links.FieldIndex(QStringLiteral("MinistryFunctionCount"));
        const int linkKey = links.FieldIndex(QStringLiteral("PK_LinkID"));
        for (templates.First(); !templates.Eof(); templates.Next()) {
            const QString id = templates.AsString(Template);
            auto *node = new QTreeWidgetItem(m_tvTemplates, {templates.AsString(QStringLiteral("MinistryTemplateName"))});
            node->setData(0, IdRole, id);
            node->setFlags(node->flags() | Qt::ItemIsEditable);
            for (int r = 0; r < links.GetRecordCount(); ++r) {
                if (links.ValueAt(r, linkTemplate).toString().compare(id, Qt::CaseInsensitive) != 0)
                    continue;
                const QString function = links.ValueAt(r, linkFunction).toString();
                const int count = links.ValueAt(r, linkCount).toInt();
                QString name = FunctionName(function);
                // A link to a function that is gone says so rather than showing nothing.
                if (name.isEmpty())
                    name = QStringLiteral("?");
                auto *child = new QTreeWidgetItem(node, {LinkNodeText(name, count)});
                child->setData(0, IdRole, links.ValueAt(r, linkKey));
                child->setData(0, SecondRole, function);
                child->setData(0, CountRole, count);
            }
            node->setExpanded(true);
        }
        m_tvFunctions->clear();
        TDACDSDataTable &functions = Data().MinistryFunctions;
        functions.ClearFilter();
        for (int r = 0; r < functions.GetRecordCount(); ++r) {
            auto *node = new QTreeWidgetItem(m_tvFunctions,
                                             {functions.ValueAt(r, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString()});
            node->setData(0, IdRole, functions.ValueAt(r, functions.FieldIndex(Function)));
        }
        if (m_tvTemplates->topLevelItemCount() > 0 && !m_tvTemplates->currentItem())
            m_tvTemplates->setCurrentItem(m_tvTemplates->topLevelItem(0));
        if (m_tvTemplates->isVisible())
            m_tvTemplates->setFocus();
    });
    m_host.UpdateActions();
}

void TSettingsTemplatesPage::InsertTemplate()
{
    Guarded(QStringLiteral("InsertTemplate"), [this] {
        TDACDSDataTable &templates = Data().MinistryTemplates;
        templates.PostIfEditing();
        templates.Insert();
        templates.SetValue(QStringLiteral("MinistryTemplateName"), Text(2006));
        templates.Post();
        const QSignalBlocker block(m_tvTemplates);
        auto *node = new QTreeWidgetItem(m_tvTemplates, {Text(2006)});
        node->setData(0, IdRole, templates.AsString(Template));
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        m_tvTemplates->setCurrentItem(node);
        m_tvTemplates->setFocus();
        if (m_tvTemplates->isVisible())
            m_tvTemplates->editItem(node);
    });
    m_host.UpdateActions();
}

void TSettingsTemplatesPage::RenameTemplate(QTreeWidgetItem *node, const QString &text)
{
    Guarded(QStringLiteral("UpdateTemplateCaption"), [this, node, &text] {
        TDACDSDataTable &templates = Data().MinistryTemplates;
        templates.PostIfEditing();
        if (!templates.Locate(Template, node->data(0, IdRole)))
            return;
        // An empty name is refused: the template keeps, and shows, the name it has.
        if (text.trimmed().isEmpty()) {
            const QString kept = templates.AsString(QStringLiteral("MinistryTemplateName"));
            {
                const QSignalBlocker block(m_tvTemplates);
                node->setText(0, kept);
            }
            m_host.Tell(QMessageBox::Warning, 5260, Text(5264).arg(kept));
            return;
        }
        templates.Edit();
        templates.SetValue(QStringLiteral("MinistryTemplateName"), text);
        templates.Post();
    });
}

void TSettingsTemplatesPage::AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode)
{
    if (!templateNode || !functionNode)
        return;
    Guarded(QStringLiteral("AddFunctionToTemplate"), [this, templateNode, functionNode] {
        const QString functionId = functionNode->data(0, IdRole).toString();
        const TTemplateLink link = SettingsRules::AddFunctionToTemplate(Data().LnkMinistryTemplateToMinistryFunction,
                                                                        templateNode->data(0, IdRole).toString(), functionId);
        const QSignalBlocker block(m_tvTemplates);
        QTreeWidgetItem *child = nullptr;
        for (int i = 0; i < templateNode->childCount(); ++i)
            if (templateNode->child(i)->data(0, IdRole).toString() == link.LinkID)
                child = templateNode->child(i);
        if (!child) {
            child = new QTreeWidgetItem(templateNode);
            child->setData(0, IdRole, link.LinkID);
            child->setData(0, SecondRole, functionId);
        }
        child->setData(0, CountRole, link.Count);
        child->setText(0, LinkNodeText(functionNode->text(0), link.Count));
        templateNode->setExpanded(true);
        m_tvTemplates->setCurrentItem(child);
    });
    m_host.UpdateActions();
}

void TSettingsTemplatesPage::RemoveMinistryFunction(QTreeWidgetItem *linkNode)
{
    Guarded(QStringLiteral("RemoveMinistryFunction"), [this, linkNode] {
        const std::optional<TTemplateLink> link =
            RemoveFunctionFromTemplate(Data().LnkMinistryTemplateToMinistryFunction, linkNode->data(0, IdRole).toString());
        if (!link)
            return;
        const QSignalBlocker block(m_tvTemplates);
        if (link->LinkID.isEmpty()) {
            delete linkNode;
        } else {
            linkNode->setData(0, CountRole, link->Count);
            linkNode->setText(0, LinkNodeText(FunctionName(linkNode->data(0, SecondRole).toString()), link->Count));
        }
    });
    m_host.UpdateActions();
}

void TSettingsTemplatesPage::RemoveMinistryTemplate()
{
    Guarded(QStringLiteral("RemoveMinistryTemplate"), [this] {
        QTreeWidgetItem *node = SelectedTemplateNode();
        if (!node)
            return;
        const QString id = node->data(0, IdRole).toString();
        TDACDSDataTable &templates = Data().MinistryTemplates;
        templates.PostIfEditing();
        if (!templates.Locate(Template, id))
            return;
        // Saved at once, links before their template: the database drops a template's links
        // with it, and a later deletion of a link already gone would be refused.
        TDACDSDataTable &links = Data().LnkMinistryTemplateToMinistryFunction;
        links.PostIfEditing();
        for (TDACDSDataTable *table : {&templates, &links})
            if (table->HasChanges())
                table->ApplyUpdates();
        links.ClearFilter();
        DeleteRowsWhere(links, QStringLiteral("F_MinistryTemplateID"), id);
        templates.Locate(Template, id);
        templates.Delete();
        TDACDSDataTable::ApplyUpdates({&links, &templates});
        const QSignalBlocker block(m_tvTemplates);
        delete node;
    });
    m_host.UpdateActions();
}

void TSettingsTemplatesPage::MoveTemplate(int step)
{
    Guarded(QStringLiteral("SwapSort"), [this, step] {
        QTreeWidgetItem *node = m_tvTemplates->currentItem();
        if (!node || node->parent())
            return;
        const int index = m_tvTemplates->indexOfTopLevelItem(node);
        QTreeWidgetItem *neighbour = m_tvTemplates->topLevelItem(index + step);
        if (!neighbour)
            return;
        TDACDSDataTable &templates = Data().MinistryTemplates;
        templates.PostIfEditing();
        if (!templates.Locate(Template, neighbour->data(0, IdRole)))
            return;
        const int b = templates.AsInteger(SortIndex);
        if (!templates.Locate(Template, node->data(0, IdRole)))
            return;
        const int a = templates.AsInteger(SortIndex);
        // A template not numbered yet has no partner: nothing moves until the next opening.
        if (templates.IsNull(SortIndex) || !SwapSort(a, b, templates, Template))
            return;
        const QSignalBlocker block(m_tvTemplates);
        m_tvTemplates->takeTopLevelItem(index);
        m_tvTemplates->insertTopLevelItem(index + step, node);
        node->setExpanded(true);
        m_tvTemplates->setCurrentItem(node);
    });
    m_host.UpdateActions();
}

bool TSettingsTemplatesPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_tvTemplates->viewport())
        return TSettingsPage::eventFilter(watched, event);
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto *drag = static_cast<QDropEvent *>(event);
        // A function from the list is taken over any node of the template tree.
        const bool accept = drag->source() == m_tvFunctions && m_tvTemplates->itemAt(drag->position().toPoint());
        drag->setDropAction(Qt::CopyAction);
        drag->setAccepted(accept);
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto *drop = static_cast<QDropEvent *>(event);
        Guarded(QStringLiteral("tvTemplatesDragDrop"), [this, drop] {
            QTreeWidgetItem *target = m_tvTemplates->itemAt(drop->position().toPoint());
            if (target && target->parent())
                target = target->parent();
            AddFunctionToTemplate(target, m_tvFunctions->currentItem());
        });
        drop->acceptProposedAction();
        return true;
    }
    return TSettingsPage::eventFilter(watched, event);
}

