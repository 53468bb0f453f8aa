// The wizard's fourth page, the ministry functions and the templates that combine them: new,
// renamed and deleted functions and templates, and a function's count in a template through the
// arrow buttons, a double click or a drag from the function list.
#include "plugins/setup/uplgSetup.h"

#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uDASetup.h"
#include "plugins/setup/uSetupPageKit.h"

#include "ui/PromptService.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

using namespace SetupPageKit;
using namespace SetupRules;

namespace {

// The template tree takes functions dragged from the function list.
class TTemplateTree : public QTreeWidget
{
public:
    std::function<void(QTreeWidgetItem *target, QTreeWidgetItem *function)> Dropped;
    QTreeWidget *Source = nullptr;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override { Accept(event); }
    void dragMoveEvent(QDragMoveEvent *event) override { Accept(event); }
    void dropEvent(QDropEvent *event) override
    {
        QTreeWidgetItem *target = itemAt(event->position().toPoint());
        if (event->source() == Source && target && Source->currentItem() && Dropped) {
            event->acceptProposedAction();
            Dropped(target, Source->currentItem());
        } else {
            event->ignore();
        }
    }

private:
    void Accept(QDropEvent *event)
    {
        if (event->source() == Source)
            event->acceptProposedAction();
        else
            event->ignore();
    }
};

// A function or template node, named in place (F2) by the user.
QTreeWidgetItem *EditableNode(QTreeWidget *tree, const QString &name, const QString &id)
{
    auto *node = new QTreeWidgetItem(tree, {name});
    node->setData(0, kIdRole, id);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    return node;
}

} // namespace

void TplgInitialSetup::BuildMinistryPage(QWidget *body)
{
    auto *grid = new QGridLayout(body);
    grid->setContentsMargins(16, 12, 16, 8);
    m_lblTemplates = Named<QLabel>(QStringLiteral("lblTemplates"), body);
    m_lblFunctions = Named<QLabel>(QStringLiteral("lblFunctions"), body);
    auto *templates = new TTemplateTree;
    templates->setParent(body);
    templates->setObjectName(QStringLiteral("tvTemplates"));
    m_tvTemplates = templates;
    m_tvFunctions = Named<QTreeWidget>(QStringLiteral("tvFunctions"), body);
    for (QTreeWidget *tree : {m_tvTemplates, m_tvFunctions}) {
        tree->setHeaderHidden(true);
        tree->setEditTriggers(QAbstractItemView::EditKeyPressed);
    }
    m_tvFunctions->setRootIsDecorated(false);
    m_tvFunctions->setDragEnabled(true);
    m_tvFunctions->setDragDropMode(QAbstractItemView::DragOnly);
    m_tvTemplates->setAcceptDrops(true);
    m_tvTemplates->setDragDropMode(QAbstractItemView::DropOnly);
    templates->Source = m_tvFunctions;
    templates->Dropped = [this](QTreeWidgetItem *target, QTreeWidgetItem *function) {
        QorGuarded(RvSetup(), QStringLiteral("tvMinistriesDragDrop"), [&] { AddFunctionToTemplate(target, function); });
        UpdateActions();
    };
    m_btnAddFunction = Button(QStringLiteral("btnAddFunctionToTemplate"), body);
    m_btnRemoveFunction = Button(QStringLiteral("btnRemoveFunctionFromTemplate"), body);
    m_btnNewFunction = Button(QStringLiteral("btnNewFunction"), body);
    m_btnDeleteFunction = Button(QStringLiteral("btnDeleteFunction"), body);
    m_btnAddTemplate = Button(QStringLiteral("btnAddTemplate"), body);
    m_btnRemoveTemplate = Button(QStringLiteral("btnRemoveTemplate"), body);
    m_btnAddFunction->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    m_btnRemoveFunction->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    auto *middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(m_btnAddFunction);
    middle->addWidget(m_btnRemoveFunction);
    middle->addStretch();
    auto *templateButtons = new QHBoxLayout;
    templateButtons->addWidget(m_btnAddTemplate);
    templateButtons->addWidget(m_btnRemoveTemplate);
    templateButtons->addStretch();
    auto *functionButtons = new QHBoxLayout;
    functionButtons->addWidget(m_btnNewFunction);
    functionButtons->addWidget(m_btnDeleteFunction);
    functionButtons->addStretch();
    grid->addWidget(m_lblTemplates, 0, 0);
    grid->addWidget(m_lblFunctions, 0, 2);
    grid->addWidget(m_tvTemplates, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_tvFunctions, 1, 2);
    grid->addLayout(templateButtons, 2, 0);
    grid->addLayout(functionButtons, 2, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    connect(m_tvTemplates, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
    connect(m_tvFunctions, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
    connect(m_tvTemplates, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) { TemplateItemChanged(item); });
    connect(m_tvFunctions, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) { FunctionItemChanged(item); });
    connect(m_tvTemplates, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (item && item->parent()) {
            QorGuarded(RvSetup(), QStringLiteral("RemoveMinistryFunction"), [&] { RemoveMinistryFunction(item); });
            UpdateActions();
        }
    });
    connect(m_tvFunctions, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        QorGuarded(RvSetup(), QStringLiteral("tvFunctionsDblClick"), [&] {
            AddFunctionToTemplate(m_tvTemplates->currentItem(), item);
        });
        UpdateActions();
    });
    connect(m_btnAddFunction, &QPushButton::clicked, this, [this] { acAddFunctionToTemplateExecute(); });
    connect(m_btnRemoveFunction, &QPushButton::clicked, this, [this] { acRemoveFunctionFromTemplateExecute(); });
    connect(m_btnNewFunction, &QPushButton::clicked, this, [this] { acNewFunctionExecute(); });
    connect(m_btnDeleteFunction, &QPushButton::clicked, this, [this] { acDeleteFunctionExecute(); });
    connect(m_btnAddTemplate, &QPushButton::clicked, this, [this] { acAddTemplateExecute(); });
    connect(m_btnRemoveTemplate, &QPushButton::clicked, this, [this] { acRemoveTemplateExecute(); });
}

QString TplgInitialSetup::FunctionName(const QString &functionId)
{
    for (const auto &[id, name] : Rows(Data().MinistryFunctions, kFunctionID, kFunctionName))
        if (id == functionId)
            return name;
    return {};
}

QTreeWidgetItem *TplgInitialSetup::TemplateOf(QTreeWidgetItem *node)
{
    return node && node->parent() ? node->parent() : node;
}

void TplgInitialSetup::FillFunctionList()
{
    m_filling = true;
    TDACDSDataTable &t = Data().MinistryFunctions;
    t.ClearFilter();
    m_tvFunctions->clear();
    for (const auto &[id, name] : Rows(t, kFunctionID, kFunctionName))
        EditableNode(m_tvFunctions, name, id);
    m_filling = false;
}

void TplgInitialSetup::PrepareMinistryTab()
{
    m_filling = true;
    TDASetup &setup = Data();
    try {
        m_tvTemplates->clear();
        if (!setup.MinistryTemplates.GetActive())
            setup.MinistryTemplates.Open();
        setup.MinistryTemplates.PostIfEditing();
        setup.LnkMinistryTemplateToMinistryFunction.PostIfEditing();
        TDACDSDataTable &links = setup.LnkMinistryTemplateToMinistryFunction;
        for (const auto &[templateId, templateName] : Rows(setup.MinistryTemplates, kTemplateID, kTemplateName)) {
            QTreeWidgetItem *node = EditableNode(m_tvTemplates, templateName, templateId);
            FilterOn(links, kLinkTemplate, templateId);
            const int linkId = links.FieldIndex(kLinkID);
            const int functionId = links.FieldIndex(kLinkFunction);
            const int count = links.FieldIndex(kLinkCount);
            for (int i = 0; i < links.GetRecordCount(); ++i) {
                const QString function = links.ValueAt(i, functionId).toString();
                if (!Data().MinistryFunctions.Locate(kFunctionID, function))
                    continue;
                const int n = links.ValueAt(i, count).toInt();
                auto *child = new QTreeWidgetItem(node, {LinkNodeText(FunctionName(function), n)});
                child->setData(0, kIdRole, links.ValueAt(i, linkId));
                child->setData(0, kSecondRole, function);
                child->setData(0, kCountRole, n);
            }
            node->setExpanded(true);
        }
        links.ClearFilter();
    } catch (const std::exception &e) {
        setup.LnkMinistryTemplateToMinistryFunction.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("PrepareMinistryTab"), e);
    }
    m_filling = false;
}

void TplgInitialSetup::acAddTemplateExecute()
{
    QorGuarded(RvSetup(), QStringLiteral("acAddTemplateExecute"), [&] {
        AddNamedNode(Data().MinistryTemplates, kTemplateID, kTemplateName, Text(1510, true), m_tvTemplates);
    });
    UpdateActions();
}

void TplgInitialSetup::AddNamedNode(TDACDSDataTable &t, const QString &keyField, const QString &nameField, const QString &name,
                                    QTreeWidget *tree)
{
    t.PostIfEditing();
    t.Insert();
    t.SetValue(nameField, name);
    const QString id = t.AsString(keyField);
    t.Post();
    QTreeWidgetItem *node = nullptr;
    {
        const QScopedValueRollback filling(m_filling, true);
        node = EditableNode(tree, name, id);
    }
    tree->setCurrentItem(node);
    tree->setFocus();
    tree->editItem(node);
}

void TplgInitialSetup::TemplateItemChanged(QTreeWidgetItem *item)
{
    if (m_filling || !item || item->parent())
        return;
    QorGuarded(RvSetup(), QStringLiteral("UpdateTemplateCaption"), [&] {
        StoreNodeName(Data().MinistryTemplates, kTemplateID, kTemplateName, item, 1223);
    });
}

bool TplgInitialSetup::StoreNodeName(TDACDSDataTable &t, const QString &keyField, const QString &nameField, QTreeWidgetItem *item,
                                     int refusal)
{
    t.PostIfEditing();
    if (!t.Locate(keyField, item->data(0, kIdRole)))
        return false;
    // An empty name is refused: the row keeps, and its node shows, the name it has.
    if (item->text(0).trimmed().isEmpty()) {
        {
            const QScopedValueRollback filling(m_filling, true);
            item->setText(0, t.AsString(nameField));
        }
        ShowMessage(this, QMessageBox::Warning, Text(1220), Text(refusal).arg(t.AsString(nameField)));
        return false;
    }
    t.Edit();
    t.SetValue(nameField, item->text(0));
    t.Post();
    return true;
}

void TplgInitialSetup::acRemoveTemplateExecute()
{
    try {
        QTreeWidgetItem *node = m_tvTemplates->currentItem();
        if (!node || node->parent())
            return;
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1215), Text(1214), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No) != QMessageBox::Yes)
            return;
        TDASetup &setup = Data();
        const QString id = node->data(0, kIdRole).toString();
        TDACDSDataTable &links = setup.LnkMinistryTemplateToMinistryFunction;
        links.PostIfEditing();
        FilterOn(links, kLinkTemplate, id);
        DeleteShown(links);
        links.ClearFilter();
        setup.MinistryTemplates.PostIfEditing();
        if (setup.MinistryTemplates.Locate(kTemplateID, id))
            setup.MinistryTemplates.Delete();
        delete node;
    } catch (const std::exception &e) {
        Data().LnkMinistryTemplateToMinistryFunction.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("acRemoveTemplateExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode)
{
    templateNode = TemplateOf(templateNode);
    if (!templateNode || !functionNode)
        return;
    TDACDSDataTable &links = Data().LnkMinistryTemplateToMinistryFunction;
    links.PostIfEditing();
    const QString functionId = functionNode->data(0, kIdRole).toString();
    const TemplateLinks::TTemplateLink link =
        TemplateLinks::AddFunctionToTemplate(links, templateNode->data(0, kIdRole).toString(), functionId);
    if (link.Inserted) {
        auto *child = new QTreeWidgetItem(templateNode, {LinkNodeText(functionNode->text(0), 1)});
        child->setData(0, kIdRole, link.LinkID);
        child->setData(0, kSecondRole, functionId);
        child->setData(0, kCountRole, 1);
        templateNode->setExpanded(true);
        m_tvTemplates->setCurrentItem(child);
    }
    for (int i = 0; i < templateNode->childCount(); ++i) {
        QTreeWidgetItem *child = templateNode->child(i);
        if (child->data(0, kIdRole).toString() == link.LinkID) {
            child->setData(0, kCountRole, link.Count);
            child->setText(0, LinkNodeText(functionNode->text(0), link.Count));
            m_tvTemplates->setCurrentItem(child);
        }
    }
}

void TplgInitialSetup::acAddFunctionToTemplateExecute()
{
    QorGuarded(RvSetup(), QStringLiteral("tvFunctionsDblClick"), [&] {
        AddFunctionToTemplate(m_tvTemplates->currentItem(), m_tvFunctions->currentItem());
    });
    UpdateActions();
}

void TplgInitialSetup::RemoveMinistryFunction(QTreeWidgetItem *linkNode)
{
    if (!linkNode || !linkNode->parent())
        return;
    TDACDSDataTable &links = Data().LnkMinistryTemplateToMinistryFunction;
    links.PostIfEditing();
    const std::optional<TemplateLinks::TTemplateLink> link =
        TemplateLinks::RemoveFunctionFromTemplate(links, linkNode->data(0, kIdRole).toString());
    if (!link)
        return;
    if (link->LinkID.isEmpty()) {
        delete linkNode;
        return;
    }
    linkNode->setData(0, kCountRole, link->Count);
    linkNode->setText(0, LinkNodeText(FunctionName(linkNode->data(0, kSecondRole).toString()), link->Count));
}

void TplgInitialSetup::acRemoveFunctionFromTemplateExecute()
{
    QorGuarded(RvSetup(), QStringLiteral("RemoveMinistryFunction"), [&] {
        RemoveMinistryFunction(m_tvTemplates->currentItem());
    });
    UpdateActions();
}

void TplgInitialSetup::acNewFunctionExecute()
{
    QorGuarded(RvSetup(), QStringLiteral("acRemoveMinistryFunctionExecute"), [&] {
        if (QApplication::focusWidget() && m_tvFunctions->viewport()->isAncestorOf(QApplication::focusWidget()))
            return; // a name is being edited
        AddNamedNode(Data().MinistryFunctions, kFunctionID, kFunctionName, Text(1203), m_tvFunctions);
    });
    UpdateActions();
}

void TplgInitialSetup::FunctionItemChanged(QTreeWidgetItem *item)
{
    if (m_filling || !item)
        return;
    QorGuarded(RvSetup(), QStringLiteral("UpdateFunctionCaption"), [&] {
        const QString name = item->text(0);
        if (!StoreNodeName(Data().MinistryFunctions, kFunctionID, kFunctionName, item, 1224))
            return;
        const QString id = item->data(0, kIdRole).toString();
        const QScopedValueRollback filling(m_filling, true);
        for (int i = 0; i < m_tvTemplates->topLevelItemCount(); ++i) {
            QTreeWidgetItem *node = m_tvTemplates->topLevelItem(i);
            for (int j = 0; j < node->childCount(); ++j)
                if (node->child(j)->data(0, kSecondRole).toString() == id)
                    node->child(j)->setText(0, LinkNodeText(name, node->child(j)->data(0, kCountRole).toInt()));
        }
    });
}

void TplgInitialSetup::acDeleteFunctionExecute()
{
    try {
        QTreeWidgetItem *node = m_tvFunctions->currentItem();
        if (!node)
            return;
        TDASetup &setup = Data();
        const QString id = node->data(0, kIdRole).toString();
        TDACDSDataTable &links = setup.LnkMinistryTemplateToMinistryFunction;
        links.PostIfEditing();
        setup.MinistryFunctions.PostIfEditing();
        links.ClearFilter();
        if (!setup.MinistryFunctions.Locate(kFunctionID, id))
            return;
        // A function no template uses goes as well: deleting it is what the user asked for.
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1217), Text(1216), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::Yes) != QMessageBox::Yes)
            return;
        for (int i = m_tvTemplates->topLevelItemCount() - 1; i >= 0; --i) {
            QTreeWidgetItem *templateNode = m_tvTemplates->topLevelItem(i);
            for (int j = templateNode->childCount() - 1; j >= 0; --j)
                if (templateNode->child(j)->data(0, kSecondRole).toString() == id)
                    delete templateNode->child(j);
        }
        FilterOn(links, kLinkFunction, id);
        DeleteShown(links);
        links.ClearFilter();
        if (setup.MinistryFunctions.Locate(kFunctionID, id))
            setup.MinistryFunctions.Delete();
        delete node;
    } catch (const std::exception &e) {
        Data().LnkMinistryTemplateToMinistryFunction.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("acRemoveMinistryFunctionExecute"), e);
    }
    UpdateActions();
}
