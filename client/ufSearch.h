// The search dialog: the user finds contacts, families or groups by a criterion and picks one
// row, or gathers several as members. The rows come from the server into the host's search
// table; the rules (queries, members, enabled actions) are TSearchRules and TSearchMemberModel.
// Every handler catches its failure and writes it to the session log; the dialog stays open.
#pragma once

#include "client/HostComponents.h"
#include "client/uSearchRules.h"

#include "ui/ufBaseDialog.h"

#include <QStringList>

#include <functional>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSplitter;
class QTableView;
class QToolButton;
class QWidget;
class TDACDSDataTable;
class TDATableModel;

class TfSearch : public TfBaseDialog
{
    Q_OBJECT
public:
    using TextSource = std::function<QString(int number)>;

    // search: the host's search table; functions: the host's ministry functions, opened on demand.
    TfSearch(TextSource texts, TDACDSDataTable &search, TDACDSDataTable &functions, QWidget *parent = nullptr);
    ~TfSearch() override;

    // What the host passes, in this order.
    void SetCaption(const QString &caption);
    void SetOfferedKinds(int mask);
    void Localizeform(bool multi);
    void PreparePreSelectedData(const TSearchObjectList *preselected);
    void SetExclusionList(const TSearchObjectList *excluded);

    // After OK: the records the host hands back.
    TSearchObjectList Result() const;

    int OfferedKinds() const { return m_mask; }
    int CurrentKind() const { return m_kind; }
    bool MultiSelect() const { return m_multi; }
    int FoundCount() const { return m_found; }
    const TSearchMemberModel &Members() const { return *m_members; }
    TDATableModel &ResultModel() const { return *m_resultModel; }

    // Chooses a "look for" entry, as the user does.
    void ChooseLookFor(int index);
    // The functions checked in the filter, by id, in list order.
    QStringList CheckedFunctionIds() const;
    void CloseFunctionsPopup();

    // Controls and actions, for the window's users and tests.
    QComboBox *cboLookFor() const { return m_cboLookFor; }
    QComboBox *cboCFields() const { return m_cboFields[0]; }
    QComboBox *cboFFields() const { return m_cboFields[1]; }
    QComboBox *cboGFields() const { return m_cboFields[2]; }
    QLineEdit *edCText() const { return m_edText[0]; }
    QLineEdit *edFText() const { return m_edText[1]; }
    QLineEdit *edGText() const { return m_edText[2]; }
    QLineEdit *msMaxRecords() const { return m_msMaxRecords; }
    QLineEdit *cxPopFunctions() const { return m_cxPopFunctions; }
    QListWidget *chkFunctions() const { return m_chkFunctions; }
    QFrame *FunctionsPopup() const { return m_functionsPopup; }
    QWidget *CriteriaPanel(int kind) const;
    QTableView *grdSearch() const { return m_grdSearch; }
    QTableView *grdMembers() const { return m_grdMembers; }
    QAction *acSearch() const { return m_acSearch; }
    QAction *acOK() const { return m_acOK; }
    QAction *acClose() const { return m_acClose; }
    QAction *acHelp() const { return m_acHelp; }
    QAction *acAddmember() const { return m_acAddmember; }
    QAction *acRemovemember() const { return m_acRemovemember; }
    QAction *KindAction(int kind) const;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static int KindIndex(int kind);
    QString Text(int number) const { return m_texts(number); }
    void Log(const QString &context, const QString &message) const;
    void SetUpKind(int kind);
    void BuildResultColumns();
    void FillFieldLists();
    void FillFunctions();
    void ShowFunctionsPopup();
    void acSearchExecute();
    void RunSearch(const QString &query);
    void acOKExecute();
    void acAddmemberExecute();
    void acRemovememberExecute();
    void UpdateActions();
    void UpdateCount();
    QList<int> SelectedResultRows() const;
    void LocatePreselected();

    TextSource m_texts;
    TDACDSDataTable &m_search;
    TDACDSDataTable &m_functions;
    int m_mask = 0;
    int m_kind = 0;
    bool m_multi = false;
    int m_found = 0;
    QList<TSearchItemObject> m_lookFor;
    QStringList m_excluded;
    TSearchObjectList m_preselected;

    QLabel *m_lblLook;
    QComboBox *m_cboLookFor;
    QGroupBox *m_panels[3];
    QLabel *m_lblField[3];
    QLabel *m_lblText[3];
    QComboBox *m_cboFields[3];
    QLineEdit *m_edText[3];
    QLabel *m_lblFunctions;
    QLineEdit *m_cxPopFunctions;
    QToolButton *m_btnFunctions;
    QFrame *m_functionsPopup;
    QListWidget *m_chkFunctions;
    QToolButton *m_btnSearch;
    QLabel *m_lblMaxRecords;
    QLineEdit *m_msMaxRecords;
    QLabel *m_lblResult;
    QSplitter *m_splitter;
    QTableView *m_grdSearch;
    QWidget *m_memberArea;
    QTableView *m_grdMembers;
    TDATableModel *m_resultModel;
    TSearchMemberModel *m_members;
    QAction *m_acSearch;
    QAction *m_acOK;
    QAction *m_acClose;
    QAction *m_acHelp;
    QAction *m_acAddmember;
    QAction *m_acRemovemember;
    QAction *m_acKinds[3];
};

// The host's search operation: shows TfSearch modally over the main window and turns the
// user's choice into the list the plug-in gets.
class TSearchDialogHost : public ISearchDialog
{
public:
    explicit TSearchDialogHost(TDMClient &client) : m_client(client) {}
    bool PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect, const TSearchObjectList *preselected,
                       const TSearchObjectList *excluded, std::unique_ptr<TSearchObjectList> &result) override;

private:
    TDMClient &m_client;
};
