// The system settings view "plgSystemSettings": one window of seven pages (locations,
// liturgies, ministry functions, ministry templates, users, options, e-mail) over the tables of
// the settings data module; each page is a class of its own (uSettings*Page). The view holds what
// they share: Activate loads the tables and options, Deactivate saves them; page changes, New,
// Delete, Refresh, Print and Help act on the page shown. Every handler catches its failure and
// writes it to the host log under "Settings" with its own location; nothing is shown.
#pragma once

#include "client/api/ModuleKit.h"
#include "plugins/settings/uSettingsOptionsPage.h"
#include "plugins/settings/uSettingsPage.h"

#include <QTabWidget>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QTableView;
class QTimeEdit;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TDASettings;
class TFieldBinder;
class TRvSettingsController;
class TSettingsEmailPage;
class TSettingsFunctionsPage;
class TSettingsLiturgiesPage;
class TSettingsLocationsPage;
class TSettingsTemplatesPage;
class TSettingsUsersPage;

Quorva::IHYPlugin *CreateSystemSettingsPlugin(TRvSettingsController &controller);

class TplgSystemSettings : public THYVisualPlugin<Quorva::IHYVisualPlugin, Quorva::INavBarPlugin>, private ISettingsPageHost
{
public:
    enum Page { pgLocations, pgLiturgies, pgFunctions, pgTemplates, pgUsers, pgOptions, pgEmail };
    static inline const QString ReportCategory = QStringLiteral("{00000000-0000-0000-0000-000000000003}");
    static inline const QStringList &ColorIDs = TSettingsOptionsPage::ColorIDs;
    static inline const QStringList &SavedLayouts = TSettingsOptionsPage::SavedLayouts;
    static inline const QStringList &LayoutSettings = TSettingsOptionsPage::LayoutSettings;

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
    void UpdateActions() override;

    // ---- page operations the tests drive (their names are the log locations of their failures) ----
    void AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode);
    void RemoveMinistryFunction(QTreeWidgetItem *linkNode);
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
    QAction *acLocationUp() const;
    QAction *acLocationDown() const;
    QAction *acLiturgyUp() const;
    QAction *acLiturgyDown() const;
    QAction *acFunctionUp() const;
    QAction *acFunctionDown() const;
    QAction *acTemplateUp() const;
    QAction *acTemplateDown() const;
    QAction *acAddFunction() const;
    QAction *acRemoveFunction() const;
    QTableView *LocationsGrid() const;
    QTableView *FunctionsGrid() const;
    QTableView *UsersGrid() const;
    QListWidget *LiturgyList() const;
    QTreeWidget *TemplateTree() const;
    QTreeWidget *FunctionTree() const;
    QLineEdit *LocationName() const;
    QLineEdit *LiturgyName() const;
    QLineEdit *FunctionName() const;
    QLineEdit *UserName() const;
    QComboBox *UserLevel() const;
    QTimeEdit *WorkStart() const;
    QTimeEdit *WorkEnd() const;
    QCheckBox *MonthNumber() const;
    QComboBox *Duration() const;
    QComboBox *ColorBox(int index) const;
    QDateEdit *HistoryDate() const;
    QLineEdit *MailEdit(int index) const;
    QWidget *EmailPage() const;
    const QList<SettingsRules::TDuration> &Durations() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    ~TplgSystemSettings() override;

    // ISettingsPageHost
    TRvSettingsController &Controller() const override { return m_controller; }
    TDASettings &Data() const override { return m_data; }
    // The plug-ins' handler guard, which also tells a save another planner's change refused.
    bool Guarded(const QString &location, const std::function<void()> &step) override;
    bool Confirm(int caption, int question) override;
    void Tell(QMessageBox::Icon icon, int caption, const QString &text) override;
    std::optional<QString> NewPassword() override { return AskPassword(); }

    void BuildActions();
    void LoadCaptions();
    void PushSmartHelp(int block, int helpId);
    void PageChanging(int page);
    void PageChanged(int page);

    void NewOnPage();
    void DeleteOnPage();
    void RefreshOnPage();
    void HelpOnPage();
    // The editors on table rows, page by page.
    QList<TFieldBinder *> Binders() const;
    // Every name editor left blank gets its row's name back, and the user is told.
    void CheckNames();
    QString Text(int number) const;
    // Saves the page's pending rows and reads it again; raises what failed.
    void ReadPageAgain();

    TRvSettingsController &m_controller;
    TDASettings &m_data;
    int m_page = 0;
    bool m_optionsLoaded = false;
    // Set while the pages go: what they report then has no view to update.
    bool m_closing = false;

    QTabWidget *m_pages;
    QToolBar *m_menuBar;
    QToolBar *m_toolBar;
    QAction *m_acNew, *m_acDelete, *m_acPreview, *m_acPrint, *m_acRefresh, *m_acHelp, *m_acShowHelp, *m_acAbout,
        *m_acExit, *m_acWindowsLogon, *m_acPreferredServer, *m_acCheckOnline, *m_acFAQ, *m_acGettingStarted;
    QList<QPair<QAction *, int>> m_actionCaptions;

    TSettingsLocationsPage *m_locations;
    TSettingsLiturgiesPage *m_liturgies;
    TSettingsFunctionsPage *m_functions;
    TSettingsTemplatesPage *m_templates;
    TSettingsUsersPage *m_users;
    TSettingsOptionsPage *m_options;
    TSettingsEmailPage *m_email;
};
