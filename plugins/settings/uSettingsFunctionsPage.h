// The ministry functions page of the system settings: the functions in their order with the
// current one's details, up and down as for locations, and the deletion the server finishes.
#pragma once

#include "plugins/settings/uSettingsPage.h"

class QLineEdit;

class TSettingsFunctionsPage : public TSettingsPage
{
public:
    explicit TSettingsFunctionsPage(ISettingsPageHost &host);

    bool CanDelete() const;
    void UpdateActions();

    void InsertMinistryFunction();
    void MoveFunction(int step);
    void DeleteMinistryFunction();

    QTableView *FunctionsGrid() const { return m_grdFunctions; }
    QLineEdit *FunctionName() const { return m_edFunctionName; }
    QAction *acFunctionUp() const { return m_acFunctionUp; }
    QAction *acFunctionDown() const { return m_acFunctionDown; }

private:
    void BuildFunctionsPage();

    QAction *m_acFunctionUp;
    QAction *m_acFunctionDown;
    QTableView *m_grdFunctions;
    TDATableModel *m_functionModel;
    TFieldBinder *m_functionFields;
    QLineEdit *m_edFunctionName;
};
