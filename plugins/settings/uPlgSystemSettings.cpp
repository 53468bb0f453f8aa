#include "plugins/settings/uPlgSystemSettings.h"

#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uDASettings.h"

#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/RowConflict.h"
#include "ui/TDATableModel.h"
#include "ui/uActionIcons.h"
#include "ui/ufPassword.h"
#include "ui/ViewRefresh.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDropEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QStyle>
#include <QTableView>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <tuple>

using namespace Quorva;
using namespace SettingsRules;

namespace {

const QString kLocationKey = QStringLiteral("PK_LocationID");
const QString kLiturgyKey = QStringLiteral("PK_LiturgyTemplateID");
const QString kFunctionKey = QStringLiteral("PK_MinistryFunctionID");
const QString kTemplateKey = QStringLiteral("PK_MinistryTemplateID");
const QString kUserKey = QStringLiteral("PK_UserID");
constexpr int kIdRole = Qt::UserRole;
constexpr int kSecondRole = Qt::UserRole + 1; // a link node's function id
constexpr int kCountRole = Qt::UserRole + 2;  // a link node's count
const QStringList kHelpKeywords = {QStringLiteral("Settings_Locations"),          QStringLiteral("Settings_Liturgy_name"),
                                   QStringLiteral("Settings_Ministry_Functions"), QStringLiteral("Settings_Ministry_Templates"),
                                   QStringLiteral("Settings_Users"),              QStringLiteral("Settings_General"),
                                   QString()};
const char *const kMailKeys[] = {"MailServer", "MailSender", "MailReturn"};

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

QIcon ColorIcon(const QColor &color)
{
    QPixmap swatch(16, 16);
    swatch.fill(color);
    QPainter p(&swatch);
    p.setPen(Qt::darkGray);
    p.drawRect(0, 0, 15, 15);
    return QIcon(swatch);
}

// Shows the colour, adding an entry for one the named colours do not have.
void ShowColor(QComboBox *box, const QVariant &value)
{
    if (value.isNull() || !value.isValid()) {
        box->setCurrentIndex(-1);
        return;
    }
    const int rgb = value.toInt();
    int index = box->findData(rgb);
    if (index < 0) {
        box->addItem(ColorIcon(ColorFromRgbInt(rgb)), ColorFromRgbInt(rgb).name(QColor::HexRgb).toUpper(), rgb);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

} // namespace

// Keeps editors on the current row of one table: they show its values whenever the row or the
// cursor changes, and what the user types goes into the row (editing it first).
class TFieldBinder : public QObject
{
public:
    TFieldBinder(TDACDSDataTable &table, QObject *parent) : QObject(parent), m_table(table)
    {
        m_listener = m_table.AddListener([this](TDATableChange, int) {
            if (!m_writing)
                Load();
        });
    }
    ~TFieldBinder() override { m_table.RemoveListener(m_listener); }

    void Bind(QLineEdit *edit, const QString &field)
    {
        m_loaders << [this, edit, field] {
            edit->setText(Value(field).toString());
            if (m_names.contains(edit))
                m_names[edit].Kept = Value(field).toString();
        };
        connect(edit, &QLineEdit::textEdited, this, [this, edit, field](const QString &text) {
            Write(field, Blank(text) && m_names.contains(edit) ? KeptName(edit) : text);
        });
        m_widgets << edit;
    }
    // Makes a bound editor a name the row may not lose: while it is blank the row keeps the name
    // it was loaded with (fallback for a row that had none), and leaving it blank says so
    // (OnNameMissing) and shows that name again. So no empty name is ever posted or saved.
    void RequireName(QLineEdit *edit, std::function<QString()> fallback)
    {
        m_names.insert(edit, TName{edit->text(), std::move(fallback)});
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { CheckName(edit); });
    }
    QString KeptName(QLineEdit *edit) const
    {
        const TName name = m_names.value(edit);
        return Blank(name.Kept) && name.Fallback ? name.Fallback() : name.Kept;
    }
    // False when a name editor is left blank: its kept name is shown again and the user told.
    bool CheckNames()
    {
        bool given = true;
        for (auto it = m_names.cbegin(); it != m_names.cend(); ++it)
            given = CheckName(it.key()) && given;
        return given;
    }
    static bool Blank(const QString &text) { return text.trimmed().isEmpty(); }
    void Bind(QPlainTextEdit *memo, const QString &field)
    {
        m_loaders << [this, memo, field] {
            if (memo->toPlainText() != Value(field).toString())
                memo->setPlainText(Value(field).toString());
        };
        connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, field] {
            if (!m_loading && memo->toPlainText() != Value(field).toString())
                Write(field, memo->toPlainText());
        });
        m_widgets << memo;
    }
    void Bind(QCheckBox *box, const QString &field)
    {
        m_loaders << [this, box, field] { box->setChecked(Value(field).toBool()); };
        connect(box, &QCheckBox::clicked, this, [this, field](bool checked) { Write(field, checked); });
        m_widgets << box;
    }
    // A choice among the rows of another table: shows nameField, stores keyField.
    void BindLookup(QComboBox *box, const QString &field, TDACDSDataTable &lookup, const QString &keyField,
                    const QString &nameField)
    {
        auto fill = [box, &lookup, keyField, nameField] {
            const QSignalBlocker block(box);
            box->clear();
            if (!lookup.GetActive())
                return;
            for (int r = 0; r < lookup.GetRecordCount(); ++r)
                box->addItem(lookup.ValueAt(r, lookup.FieldIndex(nameField)).toString(),
                             lookup.ValueAt(r, lookup.FieldIndex(keyField)));
        };
        const int id = lookup.AddListener([this, fill, box, field](TDATableChange change, int) {
            if (change == TDATableChange::Reset || change == TDATableChange::RowChanged) {
                fill();
                ShowLookup(box, field);
            }
        });
        m_lookups << QPair<TDACDSDataTable *, int>(&lookup, id);
        m_loaders << [this, box, field] { ShowLookup(box, field); };
        connect(box, &QComboBox::activated, this, [this, box, field](int index) { Write(field, box->itemData(index)); });
        m_widgets << box;
        fill();
    }
    void BindDate(QLabel *label, const QString &field)
    {
        m_loaders << [this, label, field] {
            const QDateTime when = Value(field).toDateTime();
            label->setText(when.isValid() ? QLocale().toString(when, QLocale::ShortFormat) : QString());
        };
    }

    void Load()
    {
        m_loading = true;
        const bool hasRow = m_table.GetActive() && m_table.GetRecordCount() + (m_table.GetState() == TDATableState::dsInsert) > 0;
        for (QWidget *w : m_widgets)
            w->setEnabled(hasRow);
        for (const auto &load : m_loaders)
            load();
        m_loading = false;
        if (OnLoaded)
            OnLoaded();
    }

    std::function<void(const QString &field)> OnWritten;
    std::function<void()> OnLoaded;
    std::function<void(const QString &message)> OnFailure;
    std::function<void(const QString &keptName)> OnNameMissing;

private:
    struct TName
    {
        QString Kept;
        std::function<QString()> Fallback;
    };

    bool CheckName(QLineEdit *edit)
    {
        // Only an editor showing a row can leave that row's name empty.
        const bool showsRow = m_table.GetActive() && (!m_table.Eof() || m_table.GetState() == TDATableState::dsInsert);
        if (!showsRow || !edit->isEnabled() || !Blank(edit->text()))
            return true;
        const QString kept = KeptName(edit);
        // The name is back before the message takes the focus, so leaving again finds it given.
        edit->setText(kept);
        if (OnNameMissing)
            OnNameMissing(kept);
        if (OnWritten)
            OnWritten(QString());
        return false;
    }

    QVariant Value(const QString &field) const
    {
        if (!m_table.GetActive() || (m_table.Eof() && m_table.GetState() != TDATableState::dsInsert))
            return {};
        return m_table.Value(field);
    }
    void ShowLookup(QComboBox *box, const QString &field)
    {
        const QSignalBlocker block(box);
        box->setCurrentIndex(box->findData(Value(field), kIdRole, Qt::MatchFixedString));
    }
    void Write(const QString &field, const QVariant &value)
    {
        if (m_loading || !m_table.GetActive())
            return;
        m_writing = true;
        try {
            if (m_table.GetState() == TDATableState::dsBrowse) {
                if (m_table.Eof())
                    throw EDAException(QStringLiteral("There is no row to change"));
                m_table.Edit();
            }
            m_table.SetValue(field, value);
        } catch (const std::exception &e) {
            if (OnFailure)
                OnFailure(ErrorText(e));
        }
        m_writing = false;
        if (OnWritten)
            OnWritten(field);
    }

    TDACDSDataTable &m_table;
    int m_listener;
    QList<std::function<void()>> m_loaders;
    QList<QWidget *> m_widgets;
    QList<QPair<TDACDSDataTable *, int>> m_lookups;
    QHash<QLineEdit *, TName> m_names;
    bool m_loading = false;
    bool m_writing = false;

public:
    // Lookup listeners go with the binder; the lookup tables outlive the view.
    void Unbind()
    {
        for (const auto &[table, id] : m_lookups)
            table->RemoveListener(id);
        m_lookups.clear();
    }
};

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
    m_pages->addTab(BuildLocationsPage(), QString());
    m_pages->addTab(BuildLiturgiesPage(), QString());
    m_pages->addTab(BuildFunctionsPage(), QString());
    m_pages->addTab(BuildTemplatesPage(), QString());
    m_pages->addTab(BuildUsersPage(), QString());
    m_pages->addTab(BuildOptionsPage(), QString());
    m_pages->addTab(BuildEmailPage(), QStringLiteral("E-Mail"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_pages);
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int page) {
        PageChanging(m_page);
        m_page = page;
        PageChanged(page);
    });
    for (TFieldBinder *binder : {m_locationFields, m_liturgyFields, m_functionFields, m_userFields})
        binder->OnFailure = [this](const QString &message) { m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("FieldEdit")}, message); };
    const QList<QPair<TFieldBinder *, int>> nameMessages = {
        {m_locationFields, 5261}, {m_liturgyFields, 5262}, {m_functionFields, 5263}, {m_userFields, 5265}};
    for (const auto &[binder, message] : nameMessages)
        binder->OnNameMissing = [this, message = message](const QString &kept) {
            ShowMessage(this, QMessageBox::Warning, Text(5260), Text(message).arg(kept));
        };
    LoadCaptions();
}

TplgSystemSettings::~TplgSystemSettings()
{
    for (TFieldBinder *binder : {m_locationFields, m_liturgyFields, m_functionFields, m_userFields})
        binder->Unbind();
}

QString TplgSystemSettings::Text(int number) const
{
    return m_controller.GetText(number);
}

void TplgSystemSettings::CheckNames()
{
    for (TFieldBinder *binder : {m_locationFields, m_liturgyFields, m_functionFields, m_userFields})
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
                FillTemplateTree();
            throw;
        }
    });
}

// ---------------------------------------------------------------- building

namespace {

QToolButton *ActionButton(QAction *action, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(36, 36);
    return button;
}

QVBoxLayout *MoveButtons(QAction *up, QAction *down, QWidget *parent)
{
    auto *column = new QVBoxLayout;
    column->addStretch();
    column->addWidget(ActionButton(up, parent));
    column->addWidget(ActionButton(down, parent));
    column->addStretch();
    return column;
}

// The editors of a details group keep their natural height at the group's top.
QFormLayout *DetailsForm(QGroupBox *group)
{
    auto *column = new QVBoxLayout(group);
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    column->addLayout(form);
    column->addStretch();
    return form;
}

QTableView *ListGrid(QWidget *parent)
{
    auto *grid = new QTableView(parent);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setShowGrid(false);
    grid->setAlternatingRowColors(true);
    return grid;
}

// The grid follows the table's cursor and moves it; a pending edit is posted first.
void FollowCursor(QTableView *grid, TDATableModel *model, const std::function<void(const QString &)> &fail)
{
    QObject::connect(model, &TDATableModel::currentRowChanged, grid, [grid](int row) {
        if (row >= 0 && grid->currentIndex().row() != row)
            grid->setCurrentIndex(grid->model()->index(row, 0));
    });
    QObject::connect(model, &QAbstractItemModel::modelReset, grid, [grid, model] {
        if (model->CurrentRow() >= 0)
            grid->setCurrentIndex(model->index(model->CurrentRow(), 0));
    });
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, grid,
                     [model, fail](const QModelIndex &current) {
                         try {
                             if (!current.isValid() || current.row() == model->CurrentRow())
                                 return;
                             model->Table()->PostIfEditing();
                             model->SetCurrentRow(current.row());
                         } catch (const std::exception &e) {
                             fail(ErrorText(e));
                         }
                     });
}

} // namespace

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
    auto move = [this, style](QStyle::StandardPixmap pixmap) {
        auto *a = new QAction(style->standardIcon(pixmap), QString(), this);
        return a;
    };
    m_acLocationUp = move(QStyle::SP_ArrowUp);
    m_acLocationDown = move(QStyle::SP_ArrowDown);
    m_acLiturgyUp = move(QStyle::SP_ArrowUp);
    m_acLiturgyDown = move(QStyle::SP_ArrowDown);
    m_acFunctionUp = move(QStyle::SP_ArrowUp);
    m_acFunctionDown = move(QStyle::SP_ArrowDown);
    m_acTemplateUp = move(QStyle::SP_ArrowUp);
    m_acTemplateDown = move(QStyle::SP_ArrowDown);
    m_acAddFunction = move(QStyle::SP_ArrowLeft);
    m_acRemoveFunction = move(QStyle::SP_ArrowRight);

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
    connect(m_acLocationUp, &QAction::triggered, this, [this] { MoveLocation(-1); });
    connect(m_acLocationDown, &QAction::triggered, this, [this] { MoveLocation(1); });
    connect(m_acLiturgyUp, &QAction::triggered, this, [this] { MoveLiturgy(-1); });
    connect(m_acLiturgyDown, &QAction::triggered, this, [this] { MoveLiturgy(1); });
    connect(m_acFunctionUp, &QAction::triggered, this, [this] { MoveFunction(-1); });
    connect(m_acFunctionDown, &QAction::triggered, this, [this] { MoveFunction(1); });
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

QWidget *TplgSystemSettings::BuildLocationsPage()
{
    auto *page = new QWidget;
    m_grdLocations = ListGrid(page);
    m_locationModel = new TDATableModel(&m_data.Locations, page);
    m_locationModel->SetReadOnly(true);
    m_locationModel->SetColumns({QStringLiteral("LocationName")});
    m_grdLocations->setModel(m_locationModel);
    FollowCursor(m_grdLocations, m_locationModel,
                 [this](const QString &m) { m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("grdLocationTV")}, m); });
    connect(m_grdLocations->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { UpdateActions(); });

    m_locationFields = new TFieldBinder(m_data.Locations, page);
    auto *details = new QGroupBox(page);
    QFormLayout *form = DetailsForm(details);
    auto line = [&](const QString &field, int caption) {
        auto *edit = new QLineEdit(details);
        m_locationFields->Bind(edit, field);
        auto *label = new QLabel(details);
        m_captions << QPair<QWidget *, int>(label, caption);
        form->addRow(label, edit);
        return edit;
    };
    auto memo = [&](const QString &field, int caption) {
        auto *edit = new QPlainTextEdit(details);
        edit->setTabChangesFocus(true);
        edit->setFixedHeight(64);
        m_locationFields->Bind(edit, field);
        auto *label = new QLabel(details);
        m_captions << QPair<QWidget *, int>(label, caption);
        form->addRow(label, edit);
        return edit;
    };
    m_edLocationName = line(QStringLiteral("LocationName"), 5200);
    m_locationFields->RequireName(m_edLocationName, [this] { return Text(5250); });
    m_edLocationName->setMaxLength(75);
    memo(QStringLiteral("LocationAddress"), 5201);
    line(QStringLiteral("LocationPhone1"), 5202);
    line(QStringLiteral("LocationPhone2"), 5203);
    line(QStringLiteral("LocationFax"), 5204);
    line(QStringLiteral("LocationEMail"), 5205);
    line(QStringLiteral("LocationWeb"), 5206);
    memo(QStringLiteral("LocationComments"), 5207);
    m_locationFields->OnWritten = [this](const QString &) { m_grdLocations->viewport()->update(); };

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_grdLocations, 2);
    layout->addLayout(MoveButtons(m_acLocationUp, m_acLocationDown, page));
    layout->addWidget(details, 3);
    return page;
}

QWidget *TplgSystemSettings::BuildLiturgiesPage()
{
    auto *page = new QWidget;
    m_lvLiturgies = new QListWidget(page);
    connect(m_lvLiturgies, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            SelectLiturgy(row);
        UpdateActions();
    });
    m_liturgyFields = new TFieldBinder(m_data.LiturgyTemplates, page);
    auto *details = new QGroupBox(page);
    QFormLayout *form = DetailsForm(details);
    auto label = [&](int caption) {
        auto *l = new QLabel(details);
        m_captions << QPair<QWidget *, int>(l, caption);
        return l;
    };
    m_edLiturgyName = new QLineEdit(details);
    m_edLiturgyName->setMaxLength(75);
    m_liturgyFields->Bind(m_edLiturgyName, QStringLiteral("LiturgyTemplateName"));
    m_liturgyFields->RequireName(m_edLiturgyName, [this] { return Text(2003); });
    auto *location = new QComboBox(details);
    m_liturgyFields->BindLookup(location, QStringLiteral("F_LocationID"), m_data.Locations, kLocationKey, QStringLiteral("LocationName"));
    auto *comments = new QPlainTextEdit(details);
    comments->setTabChangesFocus(true);
    m_liturgyFields->Bind(comments, QStringLiteral("LiturgyTemplateComments"));
    form->addRow(label(5221), m_edLiturgyName);
    form->addRow(label(5209), location);
    form->addRow(label(5207), comments);
    // Typing the name renames the list entry at once.
    connect(m_edLiturgyName, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (QListWidgetItem *item = m_lvLiturgies->currentItem())
            item->setText(text.trimmed().isEmpty() ? m_liturgyFields->KeptName(m_edLiturgyName) : text);
    });

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_lvLiturgies, 2);
    layout->addLayout(MoveButtons(m_acLiturgyUp, m_acLiturgyDown, page));
    layout->addWidget(details, 3);
    return page;
}

QWidget *TplgSystemSettings::BuildFunctionsPage()
{
    auto *page = new QWidget;
    m_grdFunctions = ListGrid(page);
    m_functionModel = new TDATableModel(&m_data.MinistryFunctions, page);
    m_functionModel->SetReadOnly(true);
    m_functionModel->SetColumns({QStringLiteral("MinistryFunctionName")});
    m_functionModel->SetCaption(QStringLiteral("MinistryFunctionName"), QStringLiteral("Ministry functions"));
    m_grdFunctions->setModel(m_functionModel);
    FollowCursor(m_grdFunctions, m_functionModel,
                 [this](const QString &m) { m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("grdFunctions")}, m); });
    connect(m_grdFunctions->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { UpdateActions(); });

    m_functionFields = new TFieldBinder(m_data.MinistryFunctions, page);
    auto *details = new QGroupBox(page);
    m_captions << QPair<QWidget *, int>(details, 4001);
    QFormLayout *form = DetailsForm(details);
    auto label = [&](int caption) {
        auto *l = new QLabel(details);
        m_captions << QPair<QWidget *, int>(l, caption);
        return l;
    };
    m_edFunctionName = new QLineEdit(details);
    m_edFunctionName->setMaxLength(50);
    m_functionFields->Bind(m_edFunctionName, QStringLiteral("MinistryFunctionName"));
    m_functionFields->RequireName(m_edFunctionName, [this] { return Text(4005); });
    auto *abbreviation = new QLineEdit(details);
    abbreviation->setMaxLength(10);
    m_functionFields->Bind(abbreviation, QStringLiteral("MinistryFunctionAbr"));
    auto *description = new QPlainTextEdit(details);
    description->setTabChangesFocus(true);
    m_functionFields->Bind(description, QStringLiteral("MinistryFunctionDescription"));
    auto *duplicates = new QCheckBox(details);
    m_captions << QPair<QWidget *, int>(duplicates, 5208);
    m_functionFields->Bind(duplicates, QStringLiteral("AllowDuplicate"));
    form->addRow(label(4002), m_edFunctionName);
    form->addRow(label(4003), abbreviation);
    form->addRow(label(4004), description);
    form->addRow(QString(), duplicates);
    m_functionFields->OnWritten = [this](const QString &) { m_grdFunctions->viewport()->update(); };

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_grdFunctions, 2);
    layout->addLayout(MoveButtons(m_acFunctionUp, m_acFunctionDown, page));
    layout->addWidget(details, 3);
    return page;
}

QWidget *TplgSystemSettings::BuildTemplatesPage()
{
    auto *page = new QWidget;
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
    connect(m_tvTemplates, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
    connect(m_tvFunctions, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
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
        auto *label = new QLabel(page);
        m_captions << QPair<QWidget *, int>(label, caption);
        column->addWidget(label);
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
    return page;
}

QWidget *TplgSystemSettings::BuildUsersPage()
{
    auto *page = new QWidget;
    m_grdUsers = ListGrid(page);
    m_grdUsers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_userModel = new TDATableModel(&m_data.Users, page);
    m_userModel->SetReadOnly(true);
    m_userModel->SetColumns({QStringLiteral("LogonUsername")});
    m_grdUsers->setModel(m_userModel);
    FollowCursor(m_grdUsers, m_userModel,
                 [this](const QString &m) { m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("grdTblView")}, m); });
    connect(m_grdUsers->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UserSelectionChanged(); });
    connect(m_grdUsers->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { UserSelectionChanged(); });

    m_userFields = new TFieldBinder(m_data.Users, page);
    auto *details = new QGroupBox(page);
    m_captions << QPair<QWidget *, int>(details, 3007);
    QFormLayout *form = DetailsForm(details);
    auto label = [&](int caption) {
        auto *l = new QLabel(details);
        m_captions << QPair<QWidget *, int>(l, caption);
        return l;
    };
    m_edUsername = new QLineEdit(details);
    m_edUsername->setMaxLength(32);
    m_edUsername->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[a-zA-Z0-9]+")), m_edUsername));
    m_userFields->Bind(m_edUsername, QStringLiteral("LogonUsername"));
    m_userFields->RequireName(m_edUsername, [this] { return Text(5241); });
    m_cboUserLevel = new QComboBox(details);
    m_userFields->BindLookup(m_cboUserLevel, QStringLiteral("F_Userlevel"), m_data.UserLevels, QStringLiteral("PK_UserLevelID"),
                             QStringLiteral("UserLevelName"));
    auto *comments = new QPlainTextEdit(details);
    comments->setTabChangesFocus(true);
    m_userFields->Bind(comments, QStringLiteral("Comments"));
    form->addRow(label(3002), m_edUsername);
    form->addRow(label(3013), m_cboUserLevel);
    form->addRow(label(3012), comments);
    for (const auto &[field, caption, name] : {std::tuple(QStringLiteral("CreatedDateTime"), 3008, "lblCreated"),
                                                std::tuple(QStringLiteral("ModifiedDateTime"), 3009, "lblModified"),
                                                std::tuple(QStringLiteral("LastLoginDate"), 3011, "lblLastLogon")}) {
        auto *value = new QLabel(details);
        value->setObjectName(QLatin1String(name));
        m_userFields->BindDate(value, field);
        form->addRow(label(caption), value);
    }
    auto *passwordRow = new QHBoxLayout;
    auto *since = new QLabel(details);
    m_userFields->BindDate(since, QStringLiteral("CreatedDateTime"));
    m_btnPassword = new QPushButton(details);
    m_captions << QPair<QWidget *, int>(m_btnPassword, 3039);
    passwordRow->addWidget(since, 1);
    passwordRow->addWidget(m_btnPassword);
    form->addRow(label(3010), passwordRow);
    connect(m_btnPassword, &QPushButton::clicked, this, [this] { SetPassword(); });
    m_userFields->OnWritten = [this](const QString &) { m_grdUsers->viewport()->update(); };
    // Loading the row enables its editors; the level box then follows whose row it is.
    m_userFields->OnLoaded = [this] { UserSelectionChanged(); };

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_grdUsers, 2);
    layout->addWidget(details, 3);
    return page;
}

QWidget *TplgSystemSettings::BuildOptionsPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto group = [&](int caption) {
        auto *box = new QGroupBox(page);
        m_captions << QPair<QWidget *, int>(box, caption);
        auto *form = new QFormLayout(box);
        form->setLabelAlignment(Qt::AlignLeft);
        form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
        layout->addWidget(box);
        return form;
    };
    auto label = [&](int caption) {
        auto *l = new QLabel(page);
        l->setMinimumWidth(266);
        m_captions << QPair<QWidget *, int>(l, caption);
        return l;
    };
    QFormLayout *calendar = group(5600);
    m_edWorkStart = new QTimeEdit(page);
    m_edWorkEnd = new QTimeEdit(page);
    for (QTimeEdit *t : {m_edWorkStart, m_edWorkEnd}) {
        t->setDisplayFormat(QStringLiteral("hh:mm AP"));
        t->setMinimumWidth(120);
    }
    m_chkMonthNumber = new QCheckBox(page);
    calendar->addRow(label(5701), m_edWorkStart);
    calendar->addRow(label(5702), m_edWorkEnd);
    calendar->addRow(label(5704), m_chkMonthNumber);
    QFormLayout *schedule = group(5700);
    m_cboDuration = new QComboBox(page);
    m_cboDuration->setMinimumWidth(160);
    schedule->addRow(label(5703), m_cboDuration);
    QFormLayout *colors = group(5750);
    for (int i = 0; i < 4; ++i) {
        m_colors[i] = new QComboBox(page);
        m_colors[i]->setMinimumWidth(160);
        for (const QString &name : Html4ColorNames())
            m_colors[i]->addItem(ColorIcon(QColor(name)), name, RgbIntFromColor(QColor(name)));
        m_colors[i]->setCurrentIndex(-1);
        colors->addRow(label(5751 + i), m_colors[i]);
    }
    m_edHistoryDate = new QDateEdit(page);
    m_edHistoryDate->setCalendarPopup(true);
    m_edHistoryDate->setMinimumWidth(160);
    colors->addRow(label(5757), m_edHistoryDate);
    m_btnReset = new QPushButton(page);
    m_captions << QPair<QWidget *, int>(m_btnReset, 2207);
    connect(m_btnReset, &QPushButton::clicked, this, [this] { ResetLayouts(); });
    auto *row = new QHBoxLayout;
    row->addWidget(m_btnReset);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();
    return page;
}

QWidget *TplgSystemSettings::BuildEmailPage()
{
    m_tabEmail = new QWidget;
    auto *layout = new QVBoxLayout(m_tabEmail);
    auto *information = new QGroupBox(QStringLiteral(" Information "), m_tabEmail);
    auto *text = new QLabel(QStringLiteral("The E-Mail service in Kestrova is using your existing E-Mail service. Please make sure "
                                           "you have a working E-mail service in either Microsoft Outlook or Microsoft Outlook Express."),
                            information);
    text->setWordWrap(true);
    (new QVBoxLayout(information))->addWidget(text);
    auto *settings = new QGroupBox(QStringLiteral("E-Mail settings"), m_tabEmail);
    auto *form = new QFormLayout(settings);
    const QString labels[] = {QStringLiteral("Mail server:"), QStringLiteral("Sender address:"), QStringLiteral("Return address:")};
    for (int i = 0; i < 3; ++i) {
        m_mail[i] = new QLineEdit(QStringLiteral("Unavailable"), settings);
        m_mail[i]->setMinimumWidth(260);
        connect(m_mail[i], &QLineEdit::textEdited, this, [this, i] { m_mailKnown[i] = true; });
        form->addRow(labels[i], m_mail[i]);
    }
    auto *reset = new QPushButton(QStringLiteral("Reset"), settings);
    connect(reset, &QPushButton::clicked, this, [this] { ResetEMailSettings(); });
    form->addRow(QString(), reset);
    layout->addWidget(information);
    layout->addWidget(settings);
    layout->addStretch();
    return m_tabEmail;
}

void TplgSystemSettings::LoadCaptions()
{
    static const int pageCaptions[] = {5100, 5101, 5103, 5102, 5104, 5500};
    for (int i = 0; i < 6; ++i)
        m_pages->setTabText(i, Text(pageCaptions[i]));
    for (const auto &[action, number] : m_actionCaptions)
        action->setText(Text(number));
    for (const auto &[widget, number] : m_captions) {
        const QString text = Text(number);
        if (auto *label = qobject_cast<QLabel *>(widget))
            label->setText(text);
        else if (auto *box = qobject_cast<QGroupBox *>(widget))
            box->setTitle(text);
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            button->setText(text);
    }
    m_locationModel->SetCaption(QStringLiteral("LocationName"), Text(5251));
    m_userModel->SetCaption(QStringLiteral("LogonUsername"), Text(3001));
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
        FillDurationList();
        ReadEventsSettings();
        ReadEventColors();
        ReadHistoryDate();
        ReadEmailSettings();
        m_optionsLoaded = true;
        if (auto application = host_cast<IHostApplication>(m_controller.Host())) {
            m_acWindowsLogon->setChecked(application->GetUseWindowsLogon());
            m_acPreferredServer->setChecked(application->GetAlwaysUsePreferredServer());
        }
        m_pages->setTabVisible(pgEmail, m_controller.IsMailAvailable());
        for (TFieldBinder *binder : {m_locationFields, m_liturgyFields, m_functionFields, m_userFields})
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
        WriteEventsSettings();
        WriteEventColors();
        WriteHistoryDate();
        WriteEMailSettings();
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
            m_grdLocations->setFocus();
        else if (page == pgLiturgies)
            RefreshLiturgyTabData();
        else if (page == pgTemplates)
            RefreshTemplateTabData();
        else if (page == pgUsers) {
            if (!m_grdUsers->currentIndex().isValid() && m_userModel->rowCount() > 0)
                m_grdUsers->setCurrentIndex(m_userModel->index(0, 0));
            if (m_grdUsers->currentIndex().isValid())
                m_grdUsers->selectRow(m_grdUsers->currentIndex().row());
            m_grdUsers->setFocus();
        }
    });
    UpdateActions();
    QApplication::restoreOverrideCursor();
}

void TplgSystemSettings::UpdateActions()
{
    const auto hasRow = [](const TDACDSDataTable &t) { return t.GetActive() && !t.Eof(); };
    bool canDelete = false;
    switch (CurrentPage()) {
    case pgLocations: canDelete = hasRow(m_data.Locations); break;
    case pgLiturgies: canDelete = hasRow(m_data.LiturgyTemplates) && m_lvLiturgies->currentRow() >= 0; break;
    case pgFunctions: canDelete = hasRow(m_data.MinistryFunctions); break;
    case pgTemplates: canDelete = m_tvTemplates->currentItem() && !m_tvTemplates->currentItem()->parent(); break;
    case pgUsers: canDelete = hasRow(m_data.Users) && !IsCurrentUser(m_data.Users.AsString(kUserKey)); break;
    default: break;
    }
    m_acDelete->setEnabled(canDelete);
    const int location = m_locationModel->CurrentRow();
    m_acLocationUp->setEnabled(location > 0);
    m_acLocationDown->setEnabled(location >= 0 && location < m_locationModel->rowCount() - 1);
    const int function = m_functionModel->CurrentRow();
    m_acFunctionUp->setEnabled(function > 0);
    m_acFunctionDown->setEnabled(function >= 0 && function < m_functionModel->rowCount() - 1);
    const int liturgy = m_lvLiturgies->currentRow();
    m_acLiturgyUp->setEnabled(liturgy > 0);
    m_acLiturgyDown->setEnabled(liturgy >= 0 && liturgy < m_lvLiturgies->count() - 1);
    QTreeWidgetItem *node = m_tvTemplates->currentItem();
    const bool top = node && !node->parent();
    const int index = top ? m_tvTemplates->indexOfTopLevelItem(node) : -1;
    m_acTemplateUp->setEnabled(top && index > 0);
    m_acTemplateDown->setEnabled(top && index < m_tvTemplates->topLevelItemCount() - 1);
    m_acAddFunction->setEnabled(node && m_tvFunctions->currentItem());
    m_acRemoveFunction->setEnabled(node && node->parent());
}

bool TplgSystemSettings::Confirm(int caption, int question)
{
    return Prompt().Ask(this, QMessageBox::Critical, Text(caption), Text(question), QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No) == QMessageBox::Yes;
}

void TplgSystemSettings::NewOnPage()
{
    switch (CurrentPage()) {
    case pgLocations: InsertLocation(); break;
    case pgLiturgies: InsertLiturgy(); break;
    case pgFunctions: InsertMinistryFunction(); break;
    case pgTemplates: InsertTemplate(); break;
    case pgUsers: InserNewUser(); break;
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
                if (DeleteLiturgies(m_data.Locations.AsString(kLocationKey)))
                    m_data.Locations.Delete();
            }
            break;
        case pgLiturgies:
            if (Confirm(2004, 2005)) {
                m_data.LiturgyTemplates.PostIfEditing();
                m_data.LiturgyTemplates.Delete();
                RefreshLiturgyTabData();
            }
            break;
        case pgFunctions: DeleteMinistryFunction(); break;
        case pgTemplates:
            if (Confirm(2007, 2008))
                RemoveMinistryTemplate();
            break;
        case pgUsers:
            if (Confirm(3045, 3044))
                DeleteSelectedUser();
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
            RefreshLiturgyTabData();
        break;
    case pgFunctions:
        m_data.MinistryFunctions.PostIfEditing();
        if (m_data.MinistryFunctions.HasChanges())
            m_data.MinistryFunctions.ApplyUpdates(true);
        break;
    case pgTemplates: {
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
        break;
    }
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

// ---------------------------------------------------------------- locations and liturgies

void TplgSystemSettings::InsertLocation()
{
    Guarded(QStringLiteral("InsertLocation"), [this] {
        m_data.Locations.PostIfEditing();
        m_data.Locations.Insert();
        m_data.Locations.SetValue(QStringLiteral("LocationName"), Text(5250));
        m_locationFields->Load();
        m_edLocationName->setFocus();
        m_edLocationName->selectAll();
    });
}

void TplgSystemSettings::MoveLocation(int step)
{
    Guarded(QStringLiteral("SwapSort"), [this, step] {
        m_data.Locations.PostIfEditing();
        if (m_data.Locations.Eof() || m_data.Locations.IsNull(SortIndex))
            return;
        const int a = m_data.Locations.AsInteger(SortIndex);
        SwapSort(a, a + step, m_data.Locations, kLocationKey);
        m_grdLocations->setFocus();
    });
    UpdateActions();
}

bool TplgSystemSettings::DeleteLiturgies(const QString &locationId)
{
    return Guarded(QStringLiteral("DeleteLiturgies"), [this, &locationId] {
        m_data.LiturgyTemplates.PostIfEditing();
        DeleteRowsWhere(m_data.LiturgyTemplates, QStringLiteral("F_LocationID"), locationId);
    });
}

void TplgSystemSettings::RefreshLiturgyTabData()
{
    Guarded(QStringLiteral("RefreshLiturgyTabData"), [this] {
        const int selected = m_lvLiturgies->currentRow();
        const QSignalBlocker block(m_lvLiturgies);
        m_lvLiturgies->clear();
        TDACDSDataTable &liturgies = m_data.LiturgyTemplates;
        liturgies.PostIfEditing();
        liturgies.Sort(LiturgyIndex);
        for (liturgies.First(); !liturgies.Eof(); liturgies.Next()) {
            auto *item = new QListWidgetItem(liturgies.AsString(QStringLiteral("LiturgyTemplateName")), m_lvLiturgies);
            item->setData(kIdRole, liturgies.AsString(kLiturgyKey));
        }
        if (m_lvLiturgies->count() > 0) {
            const int row = qBound(0, selected, m_lvLiturgies->count() - 1);
            m_lvLiturgies->setCurrentRow(row);
            SelectLiturgy(row);
        } else {
            m_liturgyFields->Load();
        }
    });
    UpdateActions();
}

void TplgSystemSettings::SelectLiturgy(int index)
{
    Guarded(QStringLiteral("lvLiturgiesClick"), [this, index] {
        QListWidgetItem *item = m_lvLiturgies->item(index);
        if (!item)
            return;
        m_data.LiturgyTemplates.PostIfEditing();
        m_data.LiturgyTemplates.Locate(kLiturgyKey, item->data(kIdRole));
        m_liturgyFields->Load();
        m_edLiturgyName->setFocus();
    });
}

void TplgSystemSettings::InsertLiturgy()
{
    Guarded(QStringLiteral("InsertLiturgy"), [this] {
        TDACDSDataTable &liturgies = m_data.LiturgyTemplates;
        liturgies.PostIfEditing();
        liturgies.Insert();
        liturgies.SetValue(QStringLiteral("LiturgyTemplateName"), Text(2003));
        if (m_data.Locations.GetActive() && !m_data.Locations.Eof())
            liturgies.SetValue(QStringLiteral("F_LocationID"), m_data.Locations.AsString(kLocationKey));
        liturgies.Post();
        const QString id = liturgies.AsString(kLiturgyKey);
        RefreshLiturgyTabData();
        for (int i = 0; i < m_lvLiturgies->count(); ++i)
            if (m_lvLiturgies->item(i)->data(kIdRole).toString() == id)
                m_lvLiturgies->setCurrentRow(i);
    });
}

void TplgSystemSettings::MoveLiturgy(int step)
{
    Guarded(QStringLiteral("SaveLiturgyTemplateIndex"), [this, step] {
        const int from = m_lvLiturgies->currentRow();
        const int to = from + step;
        if (from < 0 || to < 0 || to >= m_lvLiturgies->count())
            return;
        m_data.LiturgyTemplates.PostIfEditing();
        {
            const QSignalBlocker block(m_lvLiturgies);
            m_lvLiturgies->insertItem(to, m_lvLiturgies->takeItem(from));
        }
        QStringList ids;
        for (int i = 0; i < m_lvLiturgies->count(); ++i)
            ids << m_lvLiturgies->item(i)->data(kIdRole).toString();
        SaveListIndex(m_data.LiturgyTemplates, kLiturgyKey, ids);
        m_lvLiturgies->setCurrentRow(to);
        SelectLiturgy(to);
    });
    UpdateActions();
}

// ---------------------------------------------------------------- functions and templates

void TplgSystemSettings::InsertMinistryFunction()
{
    Guarded(QStringLiteral("InsertMinistryFunction"), [this] {
        m_data.MinistryFunctions.PostIfEditing();
        m_data.MinistryFunctions.Insert();
        m_data.MinistryFunctions.SetValue(QStringLiteral("MinistryFunctionName"), Text(4005));
        m_data.MinistryFunctions.Post();
        m_edFunctionName->setFocus();
        m_edFunctionName->selectAll();
    });
}

void TplgSystemSettings::MoveFunction(int step)
{
    Guarded(QStringLiteral("SwapSort"), [this, step] {
        m_data.MinistryFunctions.PostIfEditing();
        if (m_data.MinistryFunctions.Eof() || m_data.MinistryFunctions.IsNull(SortIndex))
            return;
        const int a = m_data.MinistryFunctions.AsInteger(SortIndex);
        SwapSort(a, a + step, m_data.MinistryFunctions, kFunctionKey);
        m_grdFunctions->setFocus();
    });
    UpdateActions();
}

void TplgSystemSettings::DeleteMinistryFunction()
{
    Guarded(QStringLiteral("DeleteMinistryFunction"), [this] {
        TDACDSDataTable &functions = m_data.MinistryFunctions;
        functions.PostIfEditing();
        const QString id = functions.AsString(kFunctionKey);
        if (id.isEmpty() || !Confirm(2009, 2010))
            return;
        // The server removes the function's links, preferences and scheduled uses; the links
        // are then read again instead of sending deletions of rows already gone, and the
        // function row itself is deleted here. Pending changes of the three tables go first.
        TDACDSDataTable &templates = m_data.MinistryTemplates;
        TDACDSDataTable &links = m_data.LnkMinistryTemplateToMinistryFunction;
        templates.PostIfEditing();
        links.PostIfEditing();
        for (TDACDSDataTable *table : {&functions, &templates, &links})
            if (table->HasChanges())
                table->ApplyUpdates();
        if (!m_data.DeleteMinistryFunctions({id}))
            throw EDAException(QStringLiteral("The server did not delete the ministry function %1").arg(id));
        links.Refresh();
        if (functions.Locate(kFunctionKey, id))
            functions.Delete();
        functions.ApplyUpdates(true);
        functions.Sort(SortIndex);
    });
}

QTreeWidgetItem *TplgSystemSettings::SelectedTemplateNode() const
{
    QTreeWidgetItem *node = m_tvTemplates->currentItem();
    return node && node->parent() ? node->parent() : node;
}

QString TplgSystemSettings::FunctionName(const QString &functionId)
{
    TDACDSDataTable &functions = m_data.MinistryFunctions;
    const int key = functions.FieldIndex(kFunctionKey);
    const int name = functions.FieldIndex(QStringLiteral("MinistryFunctionName"));
    for (int r = 0; r < functions.GetRecordCount(); ++r)
        if (functions.ValueAt(r, key).toString().compare(functionId, Qt::CaseInsensitive) == 0)
            return functions.ValueAt(r, name).toString();
    return QString();
}

void TplgSystemSettings::RefreshTemplateTabData()
{
    // Sent before the tree is built, so that a refused save still shows his rows, or the
    // stored ones he chose to load.
    Guarded(QStringLiteral("RefreshTemplateTabData"), [this] {
        TDACDSDataTable &templates = m_data.MinistryTemplates;
        templates.PostIfEditing();
        if (templates.HasChanges())
            templates.ApplyUpdates();
    });
    FillTemplateTree();
}

void TplgSystemSettings::FillTemplateTree()
{
    Guarded(QStringLiteral("RefreshTemplateTabData"), [this] {
        const QSignalBlocker block(m_tvTemplates);
        m_tvTemplates->clear();
        TDACDSDataTable &templates = m_data.MinistryTemplates;
        TDACDSDataTable &links = m_data.LnkMinistryTemplateToMinistryFunction;
        templates.Sort(SortIndex);
        links.ClearFilter();
        const int linkTemplate = links.FieldIndex(QStringLiteral("F_MinistryTemplateID"));
        const int linkFunction = links.FieldIndex(QStringLiteral("F_MinistryFunctionID"));
        const int linkCount = links.FieldIndex(QStringLiteral("MinistryFunctionCount"));
        const int linkKey = links.FieldIndex(QStringLiteral("PK_LinkID"));
        for (templates.First(); !templates.Eof(); templates.Next()) {
            const QString id = templates.AsString(kTemplateKey);
            auto *node = new QTreeWidgetItem(m_tvTemplates, {templates.AsString(QStringLiteral("MinistryTemplateName"))});
            node->setData(0, kIdRole, id);
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
                child->setData(0, kIdRole, links.ValueAt(r, linkKey));
                child->setData(0, kSecondRole, function);
                child->setData(0, kCountRole, count);
            }
            node->setExpanded(true);
        }
        m_tvFunctions->clear();
        TDACDSDataTable &functions = m_data.MinistryFunctions;
        functions.ClearFilter();
        for (int r = 0; r < functions.GetRecordCount(); ++r) {
            auto *node = new QTreeWidgetItem(m_tvFunctions,
                                             {functions.ValueAt(r, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString()});
            node->setData(0, kIdRole, functions.ValueAt(r, functions.FieldIndex(kFunctionKey)));
        }
        if (m_tvTemplates->topLevelItemCount() > 0 && !m_tvTemplates->currentItem())
            m_tvTemplates->setCurrentItem(m_tvTemplates->topLevelItem(0));
        if (m_tvTemplates->isVisible())
            m_tvTemplates->setFocus();
    });
    UpdateActions();
}

void TplgSystemSettings::InsertTemplate()
{
    Guarded(QStringLiteral("InsertTemplate"), [this] {
        TDACDSDataTable &templates = m_data.MinistryTemplates;
        templates.PostIfEditing();
        templates.Insert();
        templates.SetValue(QStringLiteral("MinistryTemplateName"), Text(2006));
        templates.Post();
        const QSignalBlocker block(m_tvTemplates);
        auto *node = new QTreeWidgetItem(m_tvTemplates, {Text(2006)});
        node->setData(0, kIdRole, templates.AsString(kTemplateKey));
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        m_tvTemplates->setCurrentItem(node);
        m_tvTemplates->setFocus();
        if (m_tvTemplates->isVisible())
            m_tvTemplates->editItem(node);
    });
    UpdateActions();
}

void TplgSystemSettings::RenameTemplate(QTreeWidgetItem *node, const QString &text)
{
    Guarded(QStringLiteral("UpdateTemplateCaption"), [this, node, &text] {
        TDACDSDataTable &templates = m_data.MinistryTemplates;
        templates.PostIfEditing();
        if (!templates.Locate(kTemplateKey, node->data(0, kIdRole)))
            return;
        // An empty name is refused: the template keeps, and shows, the name it has.
        if (text.trimmed().isEmpty()) {
            const QString kept = templates.AsString(QStringLiteral("MinistryTemplateName"));
            {
                const QSignalBlocker block(m_tvTemplates);
                node->setText(0, kept);
            }
            ShowMessage(this, QMessageBox::Warning, Text(5260), Text(5264).arg(kept));
            return;
        }
        templates.Edit();
        templates.SetValue(QStringLiteral("MinistryTemplateName"), text);
        templates.Post();
    });
}

void TplgSystemSettings::AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode)
{
    if (!templateNode || !functionNode)
        return;
    Guarded(QStringLiteral("AddFunctionToTemplate"), [this, templateNode, functionNode] {
        const QString functionId = functionNode->data(0, kIdRole).toString();
        const TTemplateLink link = SettingsRules::AddFunctionToTemplate(m_data.LnkMinistryTemplateToMinistryFunction,
                                                                        templateNode->data(0, kIdRole).toString(), functionId);
        const QSignalBlocker block(m_tvTemplates);
        QTreeWidgetItem *child = nullptr;
        for (int i = 0; i < templateNode->childCount(); ++i)
            if (templateNode->child(i)->data(0, kIdRole).toString() == link.LinkID)
                child = templateNode->child(i);
        if (!child) {
            child = new QTreeWidgetItem(templateNode);
            child->setData(0, kIdRole, link.LinkID);
            child->setData(0, kSecondRole, functionId);
        }
        child->setData(0, kCountRole, link.Count);
        child->setText(0, LinkNodeText(functionNode->text(0), link.Count));
        templateNode->setExpanded(true);
        m_tvTemplates->setCurrentItem(child);
    });
    UpdateActions();
}

void TplgSystemSettings::RemoveMinistryFunction(QTreeWidgetItem *linkNode)
{
    Guarded(QStringLiteral("RemoveMinistryFunction"), [this, linkNode] {
        const std::optional<TTemplateLink> link =
            RemoveFunctionFromTemplate(m_data.LnkMinistryTemplateToMinistryFunction, linkNode->data(0, kIdRole).toString());
        if (!link)
            return;
        const QSignalBlocker block(m_tvTemplates);
        if (link->LinkID.isEmpty()) {
            delete linkNode;
        } else {
            linkNode->setData(0, kCountRole, link->Count);
            linkNode->setText(0, LinkNodeText(FunctionName(linkNode->data(0, kSecondRole).toString()), link->Count));
        }
    });
    UpdateActions();
}

void TplgSystemSettings::RemoveMinistryTemplate()
{
    Guarded(QStringLiteral("RemoveMinistryTemplate"), [this] {
        QTreeWidgetItem *node = SelectedTemplateNode();
        if (!node)
            return;
        const QString id = node->data(0, kIdRole).toString();
        TDACDSDataTable &templates = m_data.MinistryTemplates;
        templates.PostIfEditing();
        if (!templates.Locate(kTemplateKey, id))
            return;
        // Saved at once, links before their template: the database drops a template's links
        // with it, and a later deletion of a link already gone would be refused.
        TDACDSDataTable &links = m_data.LnkMinistryTemplateToMinistryFunction;
        links.PostIfEditing();
        for (TDACDSDataTable *table : {&templates, &links})
            if (table->HasChanges())
                table->ApplyUpdates();
        links.ClearFilter();
        DeleteRowsWhere(links, QStringLiteral("F_MinistryTemplateID"), id);
        templates.Locate(kTemplateKey, id);
        templates.Delete();
        TDACDSDataTable::ApplyUpdates({&links, &templates});
        const QSignalBlocker block(m_tvTemplates);
        delete node;
    });
    UpdateActions();
}

void TplgSystemSettings::MoveTemplate(int step)
{
    Guarded(QStringLiteral("SwapSort"), [this, step] {
        QTreeWidgetItem *node = m_tvTemplates->currentItem();
        if (!node || node->parent())
            return;
        const int index = m_tvTemplates->indexOfTopLevelItem(node);
        QTreeWidgetItem *neighbour = m_tvTemplates->topLevelItem(index + step);
        if (!neighbour)
            return;
        TDACDSDataTable &templates = m_data.MinistryTemplates;
        templates.PostIfEditing();
        if (!templates.Locate(kTemplateKey, neighbour->data(0, kIdRole)))
            return;
        const int b = templates.AsInteger(SortIndex);
        if (!templates.Locate(kTemplateKey, node->data(0, kIdRole)))
            return;
        const int a = templates.AsInteger(SortIndex);
        // A template not numbered yet has no partner: nothing moves until the next opening.
        if (templates.IsNull(SortIndex) || !SwapSort(a, b, templates, kTemplateKey))
            return;
        const QSignalBlocker block(m_tvTemplates);
        m_tvTemplates->takeTopLevelItem(index);
        m_tvTemplates->insertTopLevelItem(index + step, node);
        node->setExpanded(true);
        m_tvTemplates->setCurrentItem(node);
    });
    UpdateActions();
}

bool TplgSystemSettings::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_tvTemplates->viewport())
        return THYVisualPlugin::eventFilter(watched, event);
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
    return THYVisualPlugin::eventFilter(watched, event);
}

// ---------------------------------------------------------------- users

bool TplgSystemSettings::IsCurrentUser(const QString &userId) const
{
    const TvoUser *user = m_controller.GetCurrentUser();
    return user && user->UserID.compare(userId, Qt::CaseInsensitive) == 0;
}

void TplgSystemSettings::InserNewUser()
{
    Guarded(QStringLiteral("InserNewUser"), [this] {
        m_data.Users.PostIfEditing();
        m_data.Users.Insert();
        m_data.Users.SetValue(QStringLiteral("LogonUsername"), Text(5241));
        // The list shows a row once it is posted here: so the new user is in it and marked at
        // once. It goes to the server as before, when the page is left.
        m_data.Users.Post();
        const QModelIndex added = m_userModel->index(m_data.Users.GetRecNo(), 0);
        m_grdUsers->setCurrentIndex(added);
        m_grdUsers->selectRow(added.row());
        m_grdUsers->scrollTo(added);
        m_userFields->Load();
        m_edUsername->setFocus();
        m_edUsername->selectAll();
    });
    UserSelectionChanged();
}

void TplgSystemSettings::UserSelectionChanged()
{
    Guarded(QStringLiteral("grdTblViewSelectionChanged"), [this] {
        if (!m_data.Users.GetActive())
            return;
        const QModelIndexList selected = m_grdUsers->selectionModel()->selectedRows();
        int row = m_grdUsers->currentIndex().row();
        if (!selected.isEmpty()) {
            row = selected.first().row();
            for (const QModelIndex &index : selected)
                row = qMin(row, index.row());
        }
        if (m_data.Users.Eof() && m_data.Users.GetState() != TDATableState::dsInsert)
            return;
        const int key = m_data.Users.FieldIndex(kUserKey);
        const QString id = m_data.Users.GetState() == TDATableState::dsInsert || row < 0
                               ? m_data.Users.AsString(kUserKey)
                               : m_data.Users.ValueAt(row, key).toString();
        m_cboUserLevel->setEnabled(!IsCurrentUser(id));
    });
    UpdateActions();
}

void TplgSystemSettings::SetPassword()
{
    Guarded(QStringLiteral("btnPassordClick"), [this] {
        TDACDSDataTable &users = m_data.Users;
        if (!users.GetActive() || (users.Eof() && users.GetState() != TDATableState::dsInsert))
            return;
        const std::optional<QString> password = AskPassword();
        if (!password)
            return;
        // The text goes to the server as typed, which stores only its hash.
        if (users.GetState() == TDATableState::dsBrowse)
            users.Edit();
        users.SetValue(QStringLiteral("LogonPassword"), *password);
    });
}

void TplgSystemSettings::DeleteSelectedUser()
{
    Guarded(QStringLiteral("DeleteSelectedUser"), [this] {
        TDACDSDataTable &users = m_data.Users;
        users.PostIfEditing();
        const QString id = users.AsString(kUserKey);
        if (id.isEmpty() || IsCurrentUser(id))
            return;
        users.Delete();
        m_data.DeleteUser({id});
        users.ApplyUpdates(true);
    });
    UserSelectionChanged();
}

// ---------------------------------------------------------------- options, colours, e-mail

void TplgSystemSettings::FillDurationList()
{
    m_durations = DurationList(Text(3038), Text(2568));
    const QSignalBlocker block(m_cboDuration);
    m_cboDuration->clear();
    for (const TDuration &d : m_durations)
        m_cboDuration->addItem(d.Text, d.Minutes);
}

void TplgSystemSettings::ReadEventsSettings()
{
    Guarded(QStringLiteral("TplgSystemSettings.ReadEventsSettings"), [this] {
        const auto time = [this](const QString &key, const QString &fallback) {
            return QTime::fromString(ParseSettingTime(m_controller.GetUserSetting(key, fallback), fallback), QStringLiteral("HH:mm"));
        };
        m_edWorkStart->setTime(time(QStringLiteral("WorkhourStart"), QStringLiteral("08:00")));
        m_edWorkEnd->setTime(time(QStringLiteral("WorkhourEnd"), QStringLiteral("16:00")));
        m_chkMonthNumber->setChecked(ParseSettingBool(m_controller.GetUserSetting(QStringLiteral("ShowMonthNumber"), QStringLiteral("1")), true));
        bool ok = false;
        const int minutes = m_controller.GetUserSetting(QStringLiteral("StandardDuration"), QStringLiteral("60")).trimmed().toInt(&ok);
        const QString text = DurationText(m_durations, ok ? minutes : 60, Text(3038));
        int index = m_cboDuration->findText(text);
        if (index < 0) {
            m_cboDuration->addItem(text);
            index = m_cboDuration->count() - 1;
        }
        m_cboDuration->setCurrentIndex(index);
    });
}

void TplgSystemSettings::WriteEventsSettings()
{
    Guarded(QStringLiteral("WriteEventsSettings"), [this] {
        m_controller.SetUserSetting(QStringLiteral("WorkhourStart"), m_edWorkStart->time().toString(QStringLiteral("HH:mm")));
        m_controller.SetUserSetting(QStringLiteral("WorkhourEnd"), m_edWorkEnd->time().toString(QStringLiteral("HH:mm")));
        m_controller.SetUserSetting(QStringLiteral("ShowMonthNumber"), m_chkMonthNumber->isChecked() ? QStringLiteral("-1") : QStringLiteral("0"));
        if (const std::optional<int> minutes = DurationMinutes(m_durations, m_cboDuration->currentText()))
            m_controller.SetUserSetting(QStringLiteral("StandardDuration"), QString::number(*minutes));
    });
}

void TplgSystemSettings::ReadEventColors()
{
    Guarded(QStringLiteral("ReadEventColors"), [this] {
        TDACDSDataTable &colors = m_data.DAEventColors;
        if (!colors.GetActive())
            m_data.OpenTable(colors);
        for (int i = 0; i < 4; ++i) {
            if (colors.Locate(QStringLiteral("PK_ColorID"), ColorIDs[i]))
                ShowColor(m_colors[i], colors.Value(QStringLiteral("ColorIntValue")));
            else
                m_colors[i]->setCurrentIndex(-1);
        }
    });
}

void TplgSystemSettings::WriteEventColors()
{
    Guarded(QStringLiteral("WriteEventColors"), [this] {
        TDACDSDataTable &colors = m_data.DAEventColors;
        if (!colors.GetActive())
            m_data.OpenTable(colors);
        for (int i = 0; i < 4; ++i) {
            if (m_colors[i]->currentIndex() < 0 || !colors.Locate(QStringLiteral("PK_ColorID"), ColorIDs[i]))
                continue;
            colors.Edit();
            colors.SetValue(QStringLiteral("ColorIntValue"), m_colors[i]->currentData().toInt());
            colors.Post();
        }
    });
}

void TplgSystemSettings::ReadHistoryDate()
{
    Guarded(QStringLiteral("ReadHistoryDate"), [this] {
        TDACDSDataTable &history = m_data.tblHistoryDate;
        if (!history.GetActive())
            m_data.OpenTable(history);
        if (history.GetRecordCount() > 0 && !history.Eof())
            m_edHistoryDate->setDate(history.Value(QStringLiteral("HistoryStartDate")).toDate());
    });
}

void TplgSystemSettings::WriteHistoryDate()
{
    Guarded(QStringLiteral("ReadHistoryDate"), [this] {
        TDACDSDataTable &history = m_data.tblHistoryDate;
        if (!history.GetActive())
            m_data.OpenTable(history);
        if (history.Eof())
            return;
        history.Edit();
        history.SetValue(QStringLiteral("HistoryStartDate"), QDateTime(m_edHistoryDate->date(), QTime(0, 0)));
        history.Post();
    });
}

void TplgSystemSettings::ResetLayouts()
{
    Guarded(QStringLiteral("Layout"), [this] {
        for (const QString &layout : SavedLayouts)
            m_controller.ClearUserSetting(layout);
        for (const QString &setting : LayoutSettings)
            m_controller.SetUserSetting(setting, QString());
    });
    ShowMessage(this, QMessageBox::Information, Text(2209), Text(2208));
}

void TplgSystemSettings::ReadEmailSettings()
{
    Guarded(QStringLiteral("ReadEmailSettings"), [this] {
        const TMailAddresses stored{m_controller.GetUserSetting(QLatin1String(kMailKeys[0]), QString()),
                                    m_controller.GetUserSetting(QLatin1String(kMailKeys[1]), QString()),
                                    m_controller.GetUserSetting(QLatin1String(kMailKeys[2]), QString())};
        const std::optional<TMailAddresses> configured = MailFromConfiguration(m_controller.GetCDOConfiguration());
        const TMailAddresses shown = configured ? MergeMail(stored, *configured) : stored;
        const QString values[] = {shown.Server, shown.Sender, shown.Return};
        for (int i = 0; i < 3; ++i) {
            // Without a configuration an address never stored stays "Unavailable" and is not saved.
            m_mailKnown[i] = configured || !values[i].isEmpty();
            if (m_mailKnown[i])
                m_mail[i]->setText(values[i]);
        }
    });
}

void TplgSystemSettings::ResetEMailSettings()
{
    Guarded(QStringLiteral("ResetEMailSettings"), [this] {
        const std::optional<TMailAddresses> configured = MailFromConfiguration(m_controller.GetCDOConfiguration());
        if (!configured)
            throw EDAException(QStringLiteral("The mail configuration cannot be read"));
        const QString values[] = {configured->Server, configured->Sender, configured->Return};
        for (int i = 0; i < 3; ++i) {
            m_mail[i]->setText(values[i]);
            m_mailKnown[i] = true;
        }
    });
}

void TplgSystemSettings::WriteEMailSettings()
{
    Guarded(QStringLiteral("WriteEMailSettings"), [this] {
        for (int i = 0; i < 3; ++i)
            if (m_mailKnown[i])
                m_controller.SetUserSetting(QLatin1String(kMailKeys[i]), m_mail[i]->text());
    });
}
