#include "plugins/settings/uPlgSystemSettings.h"

#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uDASettings.h"
#include "plugins/settings/uSettingsEmailPage.h"
#include "plugins/settings/uSettingsFunctionsPage.h"
#include "plugins/settings/uSettingsLiturgiesPage.h"
#include "plugins/settings/uSettingsLocationsPage.h"
#include "plugins/settings/uSettingsTemplatesPage.h"
#include "plugins/settings/uSettingsUsersPage.h"

#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/RowConflict.h"
#include "ui/uActionIcons.h"
#include "ui/uFieldBinder.h"
#include "ui/ufPassword.h"
#include "ui/ViewRefresh.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Quorva;
using namespace SettingsRules;

namespace {

const QStringList kHelpKeywords = {QStringLiteral("Settings_Locations"),          QStringLiteral("Settings_Liturgy_name"),
                                   QStringLiteral("Settings_Ministry_Functions"), QStringLiteral("Settings_Ministry_Templates"),
                                   QStringLiteral("Settings_Users"),              QStringLiteral("Settings_General"),
                                   QString()};

QString ErrorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// The password dialog asks the host's texts by the host's numbers; this module has its own.
class TModuleTexts final : public ILanguageHost
{
public:
    explicit TModuleTexts(const TRvSettingsController &controller) : m_controller(controller) {}
    bool queryInterface(const QUuid &id, void **object) override { return QorQueryInterface<ILanguageHost>(this, id, object); }
    int addRef() override { return 1; }
    int release() override { return 1; }
    void GetResourceText(int number, bool emptyIfMissing, QString &text) override
    {
        static const QHash<int, int> numbers = {{200, 202}, {201, 201}, {202, 1207}, {6300, 3040},
                                                {6301, 3041}, {6302, 3042}, {6303, 3043}};
        const QString found = m_controller.GetText(numbers.value(number, number));
        if (!found.isEmpty() || emptyIfMissing)
            text = found;
    }

private:
    const TRvSettingsController &m_controller;
};

} // namespace

IHYPlugin *CreateSystemSettingsPlugin(TRvSettingsController &controller)
{
    return new TplgSystemSettings(controller);
}

TplgSystemSettings::TplgSystemSettings(TRvSettingsController &controller)
    : THYVisualPlugin(TRvSettingsController::SettingsPlugin), m_controller(controller), m_data(controller.Data())
{
    AskPassword = [this]() -> std::optional<QString> {
        TfPassword dialog(this);
        TModuleTexts texts(m_controller);
        // InitForm empties both entries: a stored password is never shown or offered.
        dialog.InitForm(&texts);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.NewPassword();
    };
    BuildActions();
    m_pages = new QTabWidget(this);
    m_pages->setMinimumWidth(430);
    m_pages->addTab(m_locations = new TSettingsLocationsPage(*this), QString());
    m_pages->addTab(m_liturgies = new TSettingsLiturgiesPage(*this), QString());
    m_pages->addTab(m_functions = new TSettingsFunctionsPage(*this), QString());
    m_pages->addTab(m_templates = new TSettingsTemplatesPage(*this), QString());
    m_pages->addTab(m_users = new TSettingsUsersPage(*this), QString());
    m_pages->addTab(m_options = new TSettingsOptionsPage(*this), QString());
    m_pages->addTab(m_email = new TSettingsEmailPage(*this), QStringLiteral("E-Mail"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_pages);
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int page) {
        PageChanging(m_page);
        m_page = page;
        PageChanged(page);
    });
    LoadCaptions();
}

TplgSystemSettings::~TplgSystemSettings()
{
    for (TFieldBinder *binder : Binders())
        binder->Unbind();
    // The pages go while the view they report to is whole; what they report then is dropped.
    m_closing = true;
    delete m_pages;
}

QString TplgSystemSettings::Text(int number) const
{
    return m_controller.GetText(number);
}

QList<TFieldBinder *> TplgSystemSettings::Binders() const
{
    return {m_locations->Fields(), m_liturgies->Fields(), m_functions->Fields(), m_users->Fields()};
}

void TplgSystemSettings::CheckNames()
{
    for (TFieldBinder *binder : Binders())
        binder->CheckNames();
}

bool TplgSystemSettings::Guarded(const QString &location, const std::function<void()> &step)
{
    // Every page saves through here: a save refused because another planner changed the row
    // is told with the row's name, and the planner chooses whether to load it as stored; his
    // changes otherwise stay for the next try.
    return QorGuarded(&m_controller, location, [&] {
        try {
            step();
        } catch (const EDAChangedByAnotherUser &refusal) {
            QString name;
            for (const char *field : {"LocationName", "MinistryFunctionName", "MinistryTemplateName", "LiturgyTemplateName",
                                      "LogonUsername", "ColorDescription"})
                if (name.isEmpty() && refusal.Table->FieldIndex(QLatin1String(field)) >= 0)
                    name = refusal.Table->StoredValue(refusal.RecID, QLatin1String(field)).toString();
            if (OfferStoredRow(this, refusal, Text(6002), Text(6003), name)
                && (refusal.Table == &m_data.MinistryTemplates || refusal.Table == &m_data.LnkMinistryTemplateToMinistryFunction))
                m_templates->FillTemplateTree();
            throw;
        }
    });
}

// ---------------------------------------------------------------- building

void TplgSystemSettings::BuildActions()
{
    QStyle *style = QApplication::style();
    auto action = [this](const QIcon &icon, int caption, const QKeySequence &key = {}) {
        auto *a = new QAction(icon, QString(), this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
        m_actionCaptions << qMakePair(a, caption);
        return a;
    };
    m_acNew = action(style->standardIcon(QStyle::SP_FileIcon), 1203, QKeySequence(QStringLiteral("Ctrl+N")));
    m_acDelete = action(style->standardIcon(QStyle::SP_TrashIcon), 1204);
    m_acPreview = action(style->standardIcon(QStyle::SP_FileDialogContentsView), 2210);
    m_acPrint = action(PrintIcon(), 2211, QKeySequence(QStringLiteral("Ctrl+P")));
    m_acRefresh = action(style->standardIcon(QStyle::SP_BrowserReload), 1206, QKeySequence(Qt::Key_F5));
    m_acHelp = action(style->standardIcon(QStyle::SP_DialogHelpButton), 1207, QKeySequence(Qt::Key_F1));
    m_acShowHelp = action(QIcon(), 2205);
    m_acAbout = action(QIcon(), 2101);
    m_acExit = action(QIcon(), 2102);
    m_acWindowsLogon = action(QIcon(), 10018);
    m_acWindowsLogon->setCheckable(true);
    m_acPreferredServer = action(QIcon(), 10020);
    m_acPreferredServer->setCheckable(true);
    m_acCheckOnline = action(QIcon(), 2206, QKeySequence(Qt::Key_F9));
    m_acFAQ = action(QIcon(), 2212);
    m_acGettingStarted = action(QIcon(), 2213);

    connect(m_acNew, &QAction::triggered, this, [this] { NewOnPage(); });
    connect(m_acDelete, &QAction::triggered, this, [this] { DeleteOnPage(); });
    connect(m_acRefresh, &QAction::triggered, this, [this] { RefreshOnPage(); });
    connect(m_acHelp, &QAction::triggered, this, [this] { HelpOnPage(); });
    connect(m_acShowHelp, &QAction::triggered, m_acHelp, &QAction::trigger);
    for (QAction *report : {m_acPreview, m_acPrint})
        connect(report, &QAction::triggered, this, [this] {
            Guarded(QStringLiteral("ShowReport"), [this] { m_controller.ShowReport(ReportCategory, CurrentPage()); });
        });
    connect(m_acAbout, &QAction::triggered, this, [this] {
        if (auto about = host_cast<IAboutHost>(m_controller.Host()))
            about->ShowAboutDialog();
    });
    connect(m_acExit, &QAction::triggered, this, [this] {
        if (auto application = host_cast<IHostApplication>(m_controller.Host()))
            application->CloseMainWindow();
    });
    connect(m_acWindowsLogon, &QAction::triggered, this, [this](bool checked) {
        if (auto application = host_cast<IHostApplication>(m_controller.Host()))
            application->SetUseWindowsLogon(checked);
    });
    connect(m_acPreferredServer, &QAction::triggered, this, [this](bool checked) {
        if (auto application = host_cast<IHostApplication>(m_controller.Host()))
            application->SetAlwaysUsePreferredServer(checked);
    });
    connect(m_acFAQ, &QAction::triggered, this, [this] {
        if (auto application = host_cast<IHostApplication>(m_controller.Host()))
            application->OpenInstallFAQ();
    });
    connect(m_acGettingStarted, &QAction::triggered, this, [this] {
        if (auto application = host_cast<IHostApplication>(m_controller.Host()))
            application->OpenGettingStartedGuide();
    });
    connect(m_acCheckOnline, &QAction::triggered, this, [] { OpenURL(TRvSettingsController::WebSite); });

    // The host shows the menus and the tool bar in bars of its own while the view is active.
    m_menuBar = new QToolBar(this);
    // By this name the host's copy works as a menu bar: each menu opens from its word.
    m_menuBar->setObjectName(QStringLiteral("barMenu"));
    m_toolBar = new QToolBar(this);
    auto menu = [this](int caption, const QList<QAction *> &items) {
        auto *m = new QMenu(this);
        m->addActions(items);
        auto *entry = new QAction(this);
        entry->setMenu(m);
        m_actionCaptions << qMakePair(entry, caption);
        m_menuBar->addAction(entry);
    };
    menu(2200, {m_acNew, m_acPrint, m_acExit});
    menu(2201, {m_acDelete});
    menu(2202, {m_acRefresh});
    menu(10019, {m_acWindowsLogon, m_acPreferredServer});
    menu(2203, {m_acShowHelp, m_acCheckOnline, m_acFAQ, m_acGettingStarted, m_acAbout});
    m_toolBar->addActions({m_acNew, m_acDelete, m_acPrint, m_acRefresh, m_acHelp});
    m_menuBar->hide();
    m_toolBar->hide();
}

void TplgSystemSettings::LoadCaptions()
{
    static const int pageCaptions[] = {5100, 5101, 5103, 5102, 5104, 5500};
    for (int i = 0; i < 6; ++i)
        m_pages->setTabText(i, Text(pageCaptions[i]));
    for (const auto &[action, number] : m_actionCaptions)
        action->setText(Text(number));
    for (TSettingsPage *page : std::initializer_list<TSettingsPage *>{m_locations, m_liturgies, m_functions, m_templates,
                                                                       m_users, m_options, m_email})
        page->LoadCaptions();
}

void TplgSystemSettings::PushSmartHelp(int block, int helpId)
{
    if (auto help = host_cast<ISmartHelp>(m_controller.Host()))
        help->SetSmartHelpText(m_controller.GetHTML(block), helpId);
}

// ---------------------------------------------------------------- nav-bar plug-in

QList<QToolBar *> TplgSystemSettings::GetBarManager()
{
    return {m_menuBar, m_toolBar};
}

QList<QIcon> TplgSystemSettings::GetToolbarImages()
{
    QList<QIcon> icons;
    for (QAction *a : m_toolBar->actions())
        icons << a->icon();
    return icons;
}

QList<QIcon> TplgSystemSettings::GetToolbarDisabledImages()
{
    QList<QIcon> icons;
    for (QAction *a : m_toolBar->actions()) {
        QIcon grey;
        grey.addPixmap(a->icon().pixmap(24, 24, QIcon::Disabled));
        icons << grey;
    }
    return icons;
}

void TplgSystemSettings::GetStatusText(QString &text)
{
    text = Text(5001);
}

void TplgSystemSettings::Activate(QObject *)
{
    try {
        m_menuBar->hide();
        m_toolBar->hide();
        LoadCaptions();
        PushSmartHelp(101, 103);
        m_data.OpenTable(m_data.Users);
        // The grid lists the accounts by log-on name.
        m_data.Users.Sort(QStringLiteral("LogonUsername"));
        m_data.Users.First();
        m_data.OpenTable(m_data.UserLevels);
        m_data.OpenTable(m_data.Locations);
        m_data.LiturgyTemplates.Close();
        m_data.OpenTable(m_data.LiturgyTemplates);
        m_data.LiturgyTemplates.Sort(LiturgyIndex);
        m_data.OpenTable(m_data.DAEventColors);
        m_data.OpenTable(m_data.MinistryTemplates);
        m_data.OpenTable(m_data.LnkMinistryTemplateToMinistryFunction);
        m_data.OpenTable(m_data.MinistryFunctions);
        // The grids show the lists in their order.
        m_data.Locations.Sort(SortIndex);
        m_data.MinistryFunctions.Sort(SortIndex);
        m_data.Locations.First();
        m_data.MinistryFunctions.First();
        m_options->FillDurationList();
        m_options->ReadEventsSettings();
        m_options->ReadEventColors();
        m_options->ReadHistoryDate();
        m_email->ReadEmailSettings();
        m_optionsLoaded = true;
        if (auto application = host_cast<IHostApplication>(m_controller.Host())) {
            m_acWindowsLogon->setChecked(application->GetUseWindowsLogon());
            m_acPreferredServer->setChecked(application->GetAlwaysUsePreferredServer());
        }
        m_pages->setTabVisible(pgEmail, m_controller.IsMailAvailable());
        for (TFieldBinder *binder : Binders())
            binder->Load();
        UpdateActions();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("OnActivate"), e);
    }
}

void TplgSystemSettings::Deactivate(QObject *)
{
    m_menuBar->show();
    m_toolBar->show();
    // A name left blank is not saved: the row keeps its name, and the user is told.
    CheckNames();
    // Options never read (Activate stopped early) are not written over what is stored; the
    // tables that did open are saved.
    if (m_optionsLoaded) {
        m_options->WriteEventsSettings();
        m_options->WriteEventColors();
        m_options->WriteHistoryDate();
        m_email->WriteEMailSettings();
    }
    // Each table is saved on its own: one that the server refuses keeps its edits pending and
    // is logged, and the tables after it are still saved.
    struct Step
    {
        TDACDSDataTable *Table;
        bool Close;
        bool Always;
    };
    const Step steps[] = {{&m_data.Locations, true, false},
                          {&m_data.LiturgyTemplates, true, false},
                          {&m_data.DAEventColors, false, false},
                          {&m_data.tblHistoryDate, false, false},
                          {&m_data.MinistryTemplates, true, false},
                          {&m_data.MinistryFunctions, true, false},
                          {&m_data.LnkMinistryTemplateToMinistryFunction, true, true},
                          {&m_data.Users, true, false}};
    for (const Step &step : steps) {
        Guarded(QStringLiteral("OnDeactivate"), [&step] {
            TDACDSDataTable &table = *step.Table;
            if (!table.GetActive())
                return;
            try {
                table.PostIfEditing();
                if (step.Always || table.HasChanges())
                    table.ApplyUpdates();
            } catch (const EDAChangedByAnotherUser &) {
                throw;
            } catch (const std::exception &e) {
                throw EDAException(QStringLiteral("%1 was not saved: %2").arg(table.GetLogicalName(), ErrorText(e)));
            }
            if (step.Close)
                table.Close();
        });
    }
    Guarded(QStringLiteral("OnDeactivate"), [this] { m_data.UserLevels.Close(); });
    m_optionsLoaded = false;
}

void TplgSystemSettings::showEvent(QShowEvent *event)
{
    THYVisualPlugin::showEvent(event);
    if (m_pages->currentIndex() != pgLocations)
        m_pages->setCurrentIndex(pgLocations);
    else
        PageChanged(pgLocations);
    PushSmartHelp(101, 103);
}

// ---------------------------------------------------------------- pages

int TplgSystemSettings::CurrentPage() const
{
    return m_pages->currentIndex();
}

void TplgSystemSettings::SetPage(int page)
{
    m_pages->setCurrentIndex(page);
}

void TplgSystemSettings::PageChanging(int page)
{
    CheckNames();
    setUpdatesEnabled(false);
    Guarded(QStringLiteral("cxPagePageChanging"), [this, page] {
        if (page == pgLocations) {
            m_data.Locations.PostIfEditing();
            if (m_data.Locations.GetActive() && m_data.Locations.HasChanges())
                m_data.Locations.ApplyUpdates(true);
        } else if (page == pgLiturgies) {
            m_data.LiturgyTemplates.PostIfEditing();
        } else if (page == pgUsers) {
            m_data.Users.PostIfEditing();
        }
    });
    setUpdatesEnabled(true);
}

void TplgSystemSettings::PageChanged(int page)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Guarded(QStringLiteral("cxPageChange"), [this, page] {
        PushSmartHelp(101 + page, 101);
        if (page == pgLocations)
            m_locations->FocusGrid();
        else if (page == pgLiturgies)
            m_liturgies->RefreshLiturgyTabData();
        else if (page == pgTemplates)
            m_templates->RefreshTemplateTabData();
        else if (page == pgUsers)
            m_users->PageShown();
    });
    UpdateActions();
    QApplication::restoreOverrideCursor();
}

void TplgSystemSettings::UpdateActions()
{
    if (m_closing)
        return;
    bool canDelete = false;
    switch (CurrentPage()) {
    case pgLocations: canDelete = m_locations->CanDelete(); break;
    case pgLiturgies: canDelete = m_liturgies->CanDelete(); break;
    case pgFunctions: canDelete = m_functions->CanDelete(); break;
    case pgTemplates: canDelete = m_templates->CanDelete(); break;
    case pgUsers: canDelete = m_users->CanDelete(); break;
    default: break;
    }
    m_acDelete->setEnabled(canDelete);
    m_locations->UpdateActions();
    m_functions->UpdateActions();
    m_liturgies->UpdateActions();
    m_templates->UpdateActions();
}

bool TplgSystemSettings::Confirm(int caption, int question)
{
    return Prompt().Ask(this, QMessageBox::Critical, Text(caption), Text(question), QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No) == QMessageBox::Yes;
}

void TplgSystemSettings::Tell(QMessageBox::Icon icon, int caption, const QString &text)
{
    ShowMessage(this, icon, Text(caption), text);
}

void TplgSystemSettings::NewOnPage()
{
    switch (CurrentPage()) {
    case pgLocations: m_locations->InsertLocation(); break;
    case pgLiturgies: m_liturgies->InsertLiturgy(); break;
    case pgFunctions: m_functions->InsertMinistryFunction(); break;
    case pgTemplates: m_templates->InsertTemplate(); break;
    case pgUsers: m_users->InserNewUser(); break;
    default: break;
    }
    UpdateActions();
}

void TplgSystemSettings::DeleteOnPage()
{
    UpdateActions();
    if (!m_acDelete->isEnabled())
        return;
    Guarded(QStringLiteral("acDeleteExecute"), [this] {
        switch (CurrentPage()) {
        case pgLocations:
            if (Confirm(2001, 2002)) {
                m_data.Locations.PostIfEditing();
                if (m_liturgies->DeleteLiturgies(m_data.Locations.AsString(SettingsKeys::Location)))
                    m_data.Locations.Delete();
            }
            break;
        case pgLiturgies:
            if (Confirm(2004, 2005))
                m_liturgies->DeleteLiturgy();
            break;
        case pgFunctions: m_functions->DeleteMinistryFunction(); break;
        case pgTemplates:
            if (Confirm(2007, 2008))
                m_templates->RemoveMinistryTemplate();
            break;
        case pgUsers:
            if (Confirm(3045, 3044))
                m_users->DeleteSelectedUser();
            break;
        default: break;
        }
    });
    UpdateActions();
}

void TplgSystemSettings::RefreshOnPage()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A save another planner's change refused is told by the guard; any other failure of the
    // reading also marks the page as not current.
    Guarded(QStringLiteral("acRefreshExecute"), [this] {
        try {
            ReadPageAgain();
        } catch (const EDAChangedByAnotherUser &) {
            throw;
        } catch (const std::exception &e) {
            QApplication::restoreOverrideCursor();
            ViewRefresh::Failed(*this, [this](int number) { return Text(number); }, e);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            throw;
        }
        ViewRefresh::Succeeded(*this);
    });
    UpdateActions();
    QApplication::restoreOverrideCursor();
}

void TplgSystemSettings::ReadPageAgain()
{
    switch (CurrentPage()) {
    case pgLocations:
    case pgLiturgies:
        m_data.Locations.PostIfEditing();
        m_data.LiturgyTemplates.PostIfEditing();
        m_data.Locations.ApplyUpdates(true);
        m_data.LiturgyTemplates.ApplyUpdates(true);
        if (CurrentPage() == pgLiturgies)
            m_liturgies->RefreshLiturgyTabData();
        break;
    case pgFunctions:
        m_data.MinistryFunctions.PostIfEditing();
        if (m_data.MinistryFunctions.HasChanges())
            m_data.MinistryFunctions.ApplyUpdates(true);
        break;
    case pgTemplates: m_templates->RefreshKeepingSelection(); break;
    case pgUsers:
        m_data.Users.PostIfEditing();
        m_data.Users.ApplyUpdates(true);
        break;
    default: break;
    }
}

void TplgSystemSettings::HelpOnPage()
{
    const int page = CurrentPage();
    m_controller.ShowHelp(page >= 0 && page < kHelpKeywords.size() ? kHelpKeywords[page] : QString());
}


// ---------------------------------------------------------------- the pages' parts

void TplgSystemSettings::AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode)
{
    m_templates->AddFunctionToTemplate(templateNode, functionNode);
}

void TplgSystemSettings::RemoveMinistryFunction(QTreeWidgetItem *linkNode)
{
    m_templates->RemoveMinistryFunction(linkNode);
}

void TplgSystemSettings::SetPassword()
{
    m_users->SetPassword();
}

void TplgSystemSettings::ResetLayouts()
{
    m_options->ResetLayouts();
}

void TplgSystemSettings::ResetEMailSettings()
{
    m_email->ResetEMailSettings();
}

QAction *TplgSystemSettings::acLocationUp() const { return m_locations->acLocationUp(); }
QAction *TplgSystemSettings::acLocationDown() const { return m_locations->acLocationDown(); }
QAction *TplgSystemSettings::acLiturgyUp() const { return m_liturgies->acLiturgyUp(); }
QAction *TplgSystemSettings::acLiturgyDown() const { return m_liturgies->acLiturgyDown(); }
QAction *TplgSystemSettings::acFunctionUp() const { return m_functions->acFunctionUp(); }
QAction *TplgSystemSettings::acFunctionDown() const { return m_functions->acFunctionDown(); }
QAction *TplgSystemSettings::acTemplateUp() const { return m_templates->acTemplateUp(); }
QAction *TplgSystemSettings::acTemplateDown() const { return m_templates->acTemplateDown(); }
QAction *TplgSystemSettings::acAddFunction() const { return m_templates->acAddFunction(); }
QAction *TplgSystemSettings::acRemoveFunction() const { return m_templates->acRemoveFunction(); }
QTableView *TplgSystemSettings::LocationsGrid() const { return m_locations->LocationsGrid(); }
QTableView *TplgSystemSettings::FunctionsGrid() const { return m_functions->FunctionsGrid(); }
QTableView *TplgSystemSettings::UsersGrid() const { return m_users->UsersGrid(); }
QListWidget *TplgSystemSettings::LiturgyList() const { return m_liturgies->LiturgyList(); }
QTreeWidget *TplgSystemSettings::TemplateTree() const { return m_templates->TemplateTree(); }
QTreeWidget *TplgSystemSettings::FunctionTree() const { return m_templates->FunctionTree(); }
QLineEdit *TplgSystemSettings::LocationName() const { return m_locations->LocationName(); }
QLineEdit *TplgSystemSettings::LiturgyName() const { return m_liturgies->LiturgyName(); }
QLineEdit *TplgSystemSettings::FunctionName() const { return m_functions->FunctionName(); }
QLineEdit *TplgSystemSettings::UserName() const { return m_users->UserName(); }
QComboBox *TplgSystemSettings::UserLevel() const { return m_users->UserLevel(); }
QTimeEdit *TplgSystemSettings::WorkStart() const { return m_options->WorkStart(); }
QTimeEdit *TplgSystemSettings::WorkEnd() const { return m_options->WorkEnd(); }
QCheckBox *TplgSystemSettings::MonthNumber() const { return m_options->MonthNumber(); }
QComboBox *TplgSystemSettings::Duration() const { return m_options->Duration(); }
QComboBox *TplgSystemSettings::ColorBox(int index) const { return m_options->ColorBox(index); }
QDateEdit *TplgSystemSettings::HistoryDate() const { return m_options->HistoryDate(); }
QLineEdit *TplgSystemSettings::MailEdit(int index) const { return m_email->MailEdit(index); }
QWidget *TplgSystemSettings::EmailPage() const { return m_email; }
const QList<SettingsRules::TDuration> &TplgSystemSettings::Durations() const { return m_options->Durations(); }
