// The system settings view "plgSystemSettings": one window of seven pages (locations,
// liturgies, ministry functions, ministry templates, users, options, e-mail) over the tables of
// the settings data module. Activate loads the tables and options, Deactivate saves them; page
// changes, New, Delete, Refresh, Print and Help act on the page shown. Every handler catches its
// failure and writes it to the host log under "Settings" with its own location; nothing is shown.
#pragma once

#include "client/api/ModuleKit.h"
#include "plugins/settings/uSettingsRules.h"

#include <QTabWidget>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimeEdit;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TDACDSDataTable;
class TDASettings;
class TDATableModel;
class TFieldBinder;
class TRvSettingsController;

Quorva::IHYPlugin *CreateSystemSettingsPlugin(TRvSettingsController &controller);

class TplgSystemSettings : public THYVisualPlugin<Quorva::IHYVisualPlugin, Quorva::INavBarPlugin>
{
public:
    enum Page { pgLocations, pgLiturgies, pgFunctions, pgTemplates, pgUsers, pgOptions, pgEmail };
    static inline const QString ReportCategory = QStringLiteral("{00000000-0000-0000-0000-000000000003}");
    static inline const QStringList ColorIDs = {
        QStringLiteral("{00000000-0000-0000-0000-000000000000}"), QStringLiteral("{00000000-0000-0000-0000-000000000001}"),
        QStringLiteral("{00000000-0000-0000-0000-000000000002}"), QStringLiteral("{00000000-0000-0000-0000-000000000003}")};
    static inline const QStringList SavedLayouts = {
        QStringLiteral("ScheduleEventsGrid"), QStringLiteral("ContactsListView"), QStringLiteral("ScheduledFunctionsGrid"),
        QStringLiteral("FamilyListView"),     QStringLiteral("FamilyMemberView"), QStringLiteral("GroupsListView")};
    // Settings kept beside the layouts that a reset empties too: the contacts' view type and
    // the column the schedule's event grid is grouped by.
    static inline const QStringList LayoutSettings = {QStringLiteral("Contacts_ViewType"), QStringLiteral("ScheduleEventsGrid.GroupColumn")};

    explicit TplgSystemSettings(TRvSettingsController &controller);

    // INavBarPlugin
    QList<QToolBar *> GetBarManager() override;
    QList<QIcon> GetToolbarImages() override;
    QList<QIcon> GetToolbarDisabledImages() override;
    void GetStatusText(QString &text) override;
    void Activate(QObject *navigationItem) override;
    void Deactivate(QObject *navigationItem) override;

    // The page shown; leaving a page posts (and for locations applies) what it holds.
    void SetPage(int page);
    int CurrentPage() const;
    // Re-reads the enabled state of every action.
    void UpdateActions();

    // ---- page operations (their names are the log locations of their failures) ----
    void InsertLocation();
    void MoveLocation(int step);
    bool DeleteLiturgies(const QString &locationId);
    void RefreshLiturgyTabData();
    void InsertLiturgy();
    void MoveLiturgy(int step);
    void SelectLiturgy(int index);
    void InsertMinistryFunction();
    void MoveFunction(int step);
    void DeleteMinistryFunction();
    void RefreshTemplateTabData();
    // The templates and their functions as the tables hold them, nothing sent.
    void FillTemplateTree();
    void InsertTemplate();
    void RenameTemplate(QTreeWidgetItem *node, const QString &text);
    void AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode);
    void RemoveMinistryFunction(QTreeWidgetItem *linkNode);
    void RemoveMinistryTemplate();
    void MoveTemplate(int step);
    void InserNewUser();
    void DeleteSelectedUser();
    bool IsCurrentUser(const QString &userId) const;
    void SetPassword();
    void ResetLayouts();
    void ResetEMailSettings();

    // Asks for a new password; nullopt on cancel. Tests answer here instead of the dialog.
    std::function<std::optional<QString>()> AskPassword;

    // ---- for tests and the screenshots ----
    QTabWidget *Pages() const { return m_pages; }
    QAction *acNew() const { return m_acNew; }
    QAction *acDelete() const { return m_acDelete; }
    QAction *acRefresh() const { return m_acRefresh; }
    QAction *acPrint() const { return m_acPrint; }
    QAction *acHelp() const { return m_acHelp; }
    QAction *acLocationUp() const { return m_acLocationUp; }
    QAction *acLocationDown() const { return m_acLocationDown; }
    QAction *acLiturgyUp() const { return m_acLiturgyUp; }
    QAction *acLiturgyDown() const { return m_acLiturgyDown; }
    QAction *acFunctionUp() const { return m_acFunctionUp; }
    QAction *acFunctionDown() const { return m_acFunctionDown; }
    QAction *acTemplateUp() const { return m_acTemplateUp; }
    QAction *acTemplateDown() const { return m_acTemplateDown; }
    QAction *acAddFunction() const { return m_acAddFunction; }
    QAction *acRemoveFunction() const { return m_acRemoveFunction; }
    QTableView *LocationsGrid() const { return m_grdLocations; }
    QTableView *FunctionsGrid() const { return m_grdFunctions; }
    QTableView *UsersGrid() const { return m_grdUsers; }
    QListWidget *LiturgyList() const { return m_lvLiturgies; }
    QTreeWidget *TemplateTree() const { return m_tvTemplates; }
    QTreeWidget *FunctionTree() const { return m_tvFunctions; }
    QLineEdit *LocationName() const { return m_edLocationName; }
    QLineEdit *LiturgyName() const { return m_edLiturgyName; }
    QLineEdit *FunctionName() const { return m_edFunctionName; }
    QLineEdit *UserName() const { return m_edUsername; }
    QComboBox *UserLevel() const { return m_cboUserLevel; }
    QTimeEdit *WorkStart() const { return m_edWorkStart; }
    QTimeEdit *WorkEnd() const { return m_edWorkEnd; }
    QCheckBox *MonthNumber() const { return m_chkMonthNumber; }
    QComboBox *Duration() const { return m_cboDuration; }
    QComboBox *ColorBox(int index) const { return m_colors[index]; }
    QDateEdit *HistoryDate() const { return m_edHistoryDate; }
    QLineEdit *MailEdit(int index) const { return m_mail[index]; }
    QWidget *EmailPage() const { return m_tabEmail; }
    const QList<SettingsRules::TDuration> &Durations() const { return m_durations; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    ~TplgSystemSettings() override;

    QWidget *BuildLocationsPage();
    QWidget *BuildLiturgiesPage();
    QWidget *BuildFunctionsPage();
    QWidget *BuildTemplatesPage();
    QWidget *BuildUsersPage();
    QWidget *BuildOptionsPage();
    QWidget *BuildEmailPage();
    void BuildActions();
    void LoadCaptions();
    void PushSmartHelp(int block, int helpId);
    void PageChanging(int page);
    void PageChanged(int page);

    void NewOnPage();
    void DeleteOnPage();
    void RefreshOnPage();
    void HelpOnPage();
    bool Confirm(int caption, int question);
    // Every name editor left blank gets its row's name back, and the user is told.
    void CheckNames();

    void FillDurationList();
    void ReadEventsSettings();
    void WriteEventsSettings();
    void ReadEventColors();
    void WriteEventColors();
    void ReadHistoryDate();
    void WriteHistoryDate();
    void ReadEmailSettings();
    void WriteEMailSettings();
    void UserSelectionChanged();

    QTreeWidgetItem *SelectedTemplateNode() const;
    QString FunctionName(const QString &functionId);
    QString Text(int number) const;
    // The plug-ins' handler guard, which also tells a save another planner's change refused.
    bool Guarded(const QString &location, const std::function<void()> &step);
    // Saves the page's pending rows and reads it again; raises what failed.
    void ReadPageAgain();

    TRvSettingsController &m_controller;
    TDASettings &m_data;
    int m_page = 0;
    bool m_optionsLoaded = false;
    // Which mail edits hold a real value (stored, configured or typed).
    bool m_mailKnown[3] = {false, false, false};

    QTabWidget *m_pages;
    QToolBar *m_menuBar;
    QToolBar *m_toolBar;
    QAction *m_acNew, *m_acDelete, *m_acPreview, *m_acPrint, *m_acRefresh, *m_acHelp, *m_acShowHelp, *m_acAbout,
        *m_acExit, *m_acWindowsLogon, *m_acPreferredServer, *m_acCheckOnline, *m_acFAQ, *m_acGettingStarted;
    QAction *m_acLocationUp, *m_acLocationDown, *m_acLiturgyUp, *m_acLiturgyDown, *m_acFunctionUp, *m_acFunctionDown,
        *m_acTemplateUp, *m_acTemplateDown, *m_acAddFunction, *m_acRemoveFunction;
    QList<QPair<QWidget *, int>> m_captions; // labels and groups by text number
    QList<QPair<QAction *, int>> m_actionCaptions;

    // Locations
    QTableView *m_grdLocations;
    TDATableModel *m_locationModel;
    TFieldBinder *m_locationFields;
    QLineEdit *m_edLocationName;
    // Liturgies
    QListWidget *m_lvLiturgies;
    TFieldBinder *m_liturgyFields;
    QLineEdit *m_edLiturgyName;
    // Functions
    QTableView *m_grdFunctions;
    TDATableModel *m_functionModel;
    TFieldBinder *m_functionFields;
    QLineEdit *m_edFunctionName;
    // Templates
    QTreeWidget *m_tvTemplates;
    QTreeWidget *m_tvFunctions;
    // Users
    QTableView *m_grdUsers;
    TDATableModel *m_userModel;
    TFieldBinder *m_userFields;
    QLineEdit *m_edUsername;
    QComboBox *m_cboUserLevel;
    QPushButton *m_btnPassword;
    // Options
    QTimeEdit *m_edWorkStart;
    QTimeEdit *m_edWorkEnd;
    QCheckBox *m_chkMonthNumber;
    QComboBox *m_cboDuration;
    QComboBox *m_colors[4];
    QDateEdit *m_edHistoryDate;
    QPushButton *m_btnReset;
    QList<SettingsRules::TDuration> m_durations;
    // E-mail
    QWidget *m_tabEmail;
    QLineEdit *m_mail[3];
};
