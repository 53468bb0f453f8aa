// The ministry templates page of the system settings: a tree of the templates with their
// functions and counts beside the list of functions. A function goes into a template by the add
// button, a double click or a drag; a template is renamed in place and moved up and down.
#pragma once

#include "plugins/settings/uSettingsPage.h"

class QTreeWidget;
class QTreeWidgetItem;

class TSettingsTemplatesPage : public TSettingsPage
{
public:
    explicit TSettingsTemplatesPage(ISettingsPageHost &host);

    bool CanDelete() const;
    void UpdateActions();

    void RefreshTemplateTabData();
    // Reads the page again and selects the node at the same place in the whole tree.
    void RefreshKeepingSelection();
    // The templates and their functions as the tables hold them, nothing sent.
    void FillTemplateTree();
    void InsertTemplate();
    void RenameTemplate(QTreeWidgetItem *node, const QString &text);
    void AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode);
    void RemoveMinistryFunction(QTreeWidgetItem *linkNode);
    void RemoveMinistryTemplate();
    void MoveTemplate(int step);

    QTreeWidget *TemplateTree() const { return m_tvTemplates; }
    QTreeWidget *FunctionTree() const { return m_tvFunctions; }
    QAction *acTemplateUp() const { return m_acTemplateUp; }
    QAction *acTemplateDown() const { return m_acTemplateDown; }
    QAction *acAddFunction() const { return m_acAddFunction; }
    QAction *acRemoveFunction() const { return m_acRemoveFunction; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildTemplatesPage();
    QTreeWidgetItem *SelectedTemplateNode() const;
    QString FunctionName(const QString &functionId);

    QAction *m_acTemplateUp;
    QAction *m_acTemplateDown;
    QAction *m_acAddFunction;
    QAction *m_acRemoveFunction;
    QTreeWidget *m_tvTemplates;
    QTreeWidget *m_tvFunctions;
};
