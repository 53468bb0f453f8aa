// The four-page set-up wizard "plgInitialSetup": page 1 the administrator account, page 2 the
// locations, page 3 the liturgies per location, page 4 the ministry functions and the templates
// that combine them. Everything stays in the client tables of TDASetup until Finish writes it;
// then the host reads the account through IInitialSetupController and logs the user on.
// Widgets carry object names (edUserName, btnNext, tvTemplates, ...) for tests and screenshots.
#pragma once

#include "client/api/ModuleKit.h"

#include "plugins/setup/uSetupRules.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class TDASetup;
class TDACDSDataTable;

Quorva::IHYPlugin *CreateInitialSetupPlugin();

class TplgInitialSetup : public THYVisualPlugin<Quorva::IHYVisualPlugin, Quorva::IInitialSetupController>
{
public:
    TplgInitialSetup();

    // IInitialSetupController
    int GetResultCode() override { return m_resultCode; }
    QString GetUserName() override { return m_userName; }
    void SetUserName(const QString &value) override { m_userName = value; }
    QString GetReserved6() override { return {}; }
    void SetReserved7(const QString &) override {}
    QString GetReserved8() override { return {}; }
    void SetReserved9(const QString &) override {}
    QString GetUserID() override { return m_userId; }
    int GetUserLevel() override { return m_rights; }
    QString GetPassword() override { return m_password; }
    void SetPassword(const QString &value) override { m_password = value; }
    bool GetUseWindowsLogon() override { return m_useWindowsLogon; }
    void SetUseWindowsLogon(bool value) override { m_useWindowsLogon = value; }
    void Prepare() override;

    void ShowParented(QWidget *parent) override;

    int Step() const { return m_step; }
    SetupRules::TWizardState State() const;
    // How long Finish waits before it closes the host's window (1000 milliseconds).
    void SetFinishDelay(int milliseconds) { m_finishDelay = milliseconds; }

    // The actions, as their buttons run them.
    void acNextExecute();
    void acPreviousExecute();
    void acFinishExecute();
    void acCancelExecute();
    void acAddLocationExecute();
    void acRemoveLocationExecute();
    void acAddLiturgyExecute();
    void acRemoveLiturgyExecute();
    void acAddTemplateExecute();
    void acRemoveTemplateExecute();
    void acAddFunctionToTemplateExecute();
    void acRemoveFunctionFromTemplateExecute();
    void acNewFunctionExecute();
    void acDeleteFunctionExecute();
    // A function dropped on (or double-clicked towards) a node of the template tree.
    void AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode);

protected:
    ~TplgInitialSetup() override = default;

private:
    TDASetup &Data() const;
    QString Text(int number, bool emptyIfMissing = false) const;
    // The pages in their order, each under its picture, and the navigation row below them.
    void BuildPages();
    QWidget *NewPage(int index);
    void BuildAccountPage(QWidget *body);
    void BuildNavigation(QVBoxLayout *outer);
    void SetCaptions();
    void doStep();
    void UpdateActions();
    void LoadPictures();
    // Next leaves page 2 or 3 only when every location or liturgy has a name; otherwise it says
    // so and shows the one without.
    bool NamesGiven();
    // Puts the caret in a name the wizard proposed, all of it selected, so typing replaces it.
    static void FocusName(QLineEdit *edit);

    // Page 2
    void BuildLocationsPage(QWidget *body);
    void FillLocationList();
    void LocationListClick();
    void ShowLocation();
    void LocationEdited(const QString &field, const QString &value);
    void RemoveLiturgyFromLocation(const QString &locationId);
    // Page 3
    void BuildLiturgiesPage(QWidget *body);
    void PrepareLiturgyTab();
    void LiturgySelected();
    void LiturgyEdited();
    void FillLocationBox();
    // Page 4
    void BuildMinistryPage(QWidget *body);
    void PrepareMinistryTab();
    void FillFunctionList();
    void TemplateItemChanged(QTreeWidgetItem *item);
    void FunctionItemChanged(QTreeWidgetItem *item);
    // The name typed into a node goes into its row; false when there is no row or the name is
    // empty: then the node shows the stored name again and the text numbered refusal says so.
    bool StoreNodeName(TDACDSDataTable &t, const QString &keyField, const QString &nameField, QTreeWidgetItem *item, int refusal);
    // A new row named name, and its node in tree with the name open for editing.
    void AddNamedNode(TDACDSDataTable &t, const QString &keyField, const QString &nameField, const QString &name,
                      QTreeWidget *tree);
    void RemoveMinistryFunction(QTreeWidgetItem *linkNode);
    QString FunctionName(const QString &functionId);
    static QTreeWidgetItem *TemplateOf(QTreeWidgetItem *node);

    int m_step = 1;
    int m_resultCode = 0;
    QString m_userName;
    QString m_userId;
    int m_rights = 0;
    QString m_password;
    bool m_useWindowsLogon = false;
    int m_finishDelay = 1000;
    bool m_filling = false;
    bool m_addingLiturgy = false;

    QStackedWidget *m_pages = nullptr;
    QLabel *m_images[4] = {};
    QPushButton *m_btnCancel = nullptr;
    QPushButton *m_btnPrevious = nullptr;
    QPushButton *m_btnNext = nullptr;
    QPushButton *m_btnFinish = nullptr;
    // Page 1
    QLabel *m_lblUserName = nullptr;
    QLabel *m_lblPassword1 = nullptr;
    QLabel *m_lblPassword2 = nullptr;
    QLabel *m_lblExplanation = nullptr;
    QLabel *m_lblNextHint = nullptr;
    QLineEdit *m_edUserName = nullptr;
    QLineEdit *m_edPassword1 = nullptr;
    QLineEdit *m_edPassword2 = nullptr;
    QCheckBox *m_chkWindowsLogon = nullptr;
    // Page 2
    QLabel *m_lblLocations = nullptr;
    QListWidget *m_lstLocations = nullptr;
    QPushButton *m_btnAddLocation = nullptr;
    QPushButton *m_btnRemoveLocation = nullptr;
    QLabel *m_lblLocationFields[6] = {};
    QLineEdit *m_edLocationName = nullptr;
    QPlainTextEdit *m_memLocationAddress = nullptr;
    QLineEdit *m_edPhone1 = nullptr;
    QLineEdit *m_edFax = nullptr;
    QLineEdit *m_edEMail = nullptr;
    QLineEdit *m_edWeb = nullptr;
    // Page 3
    QLabel *m_lblLiturgies = nullptr;
    QTreeWidget *m_tvLiturgies = nullptr;
    QLabel *m_lblLiturgyName = nullptr;
    QLabel *m_lblLiturgyLocation = nullptr;
    QLabel *m_lblLiturgyComments = nullptr;
    QLineEdit *m_edLiturgyName = nullptr;
    QComboBox *m_cbLocation = nullptr;
    QPlainTextEdit *m_memLiturgyComments = nullptr;
    QPushButton *m_btnAddLiturgy = nullptr;
    QPushButton *m_btnRemoveLiturgy = nullptr;
    // Page 4
    QLabel *m_lblTemplates = nullptr;
    QLabel *m_lblFunctions = nullptr;
    QTreeWidget *m_tvTemplates = nullptr;
    QTreeWidget *m_tvFunctions = nullptr;
    QPushButton *m_btnAddFunction = nullptr;
    QPushButton *m_btnRemoveFunction = nullptr;
    QPushButton *m_btnNewFunction = nullptr;
    QPushButton *m_btnDeleteFunction = nullptr;
    QPushButton *m_btnAddTemplate = nullptr;
    QPushButton *m_btnRemoveTemplate = nullptr;
};
