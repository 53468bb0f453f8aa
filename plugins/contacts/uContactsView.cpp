#include "plugins/contacts/uContactsView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactCardDelegate.h"
#include "plugins/contacts/uContactsViewRules.h"
#include "plugins/contacts/uDAContacts.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"
#include "ui/ViewRefresh.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QScopeGuard>
#include <QToolButton>
#include <QActionGroup>
#include <QStackedWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

using namespace ContactsViewRules;
using namespace Quorva;

const QStringList TplgContacts::TableFields = {
    QStringLiteral("PK_ContactID"), QStringLiteral("FirstName"), QStringLiteral("MiddleName"), QStringLiteral("LastName"),
    QStringLiteral("DateOfBirth"),  QStringLiteral("Street"),    QStringLiteral("Zip"),        QStringLiteral("City"),
    QStringLiteral("State"),        QStringLiteral("EMail1"),    QStringLiteral("EMail2"),     QStringLiteral("EMail3"),
    QStringLiteral("Fax"),          QStringLiteral("phone1"),    QStringLiteral("phone2"),     QStringLiteral("Comments"),
    QStringLiteral("phone3"),       QStringLiteral("Web")};

const QStringList TplgContacts::CardFields = {
    QStringLiteral("DateOfBirth"), QStringLiteral("phone1"), QStringLiteral("phone2"), QStringLiteral("phone3"),
    QStringLiteral("Fax"),         QStringLiteral("EMail1"), QStringLiteral("EMail2"), QStringLiteral("EMail3"),
    QStringLiteral("Web"),         QStringLiteral("Comments")};

namespace {

const QString kViewType = QStringLiteral("Contacts_ViewType");
const QString kAutoWidth = QStringLiteral("ContactsListView_ColumnAutoWidth");
const QString kActiveContact = QStringLiteral("ActiveContact");
const QString kLayout = QStringLiteral("ContactsListView");
const QString kCardFieldsSetting = QStringLiteral("ContactsCardView_Fields");
// Table columns a user shows through the header's menu; the cards show them when filled in.
const QStringList kShownOnRequest = {QStringLiteral("MiddleName"), QStringLiteral("EMail2"), QStringLiteral("EMail3"),
                                     QStringLiteral("Fax"),        QStringLiteral("phone3"), QStringLiteral("Web"),
                                     QStringLiteral("Comments")};

} // namespace

TplgContacts::TplgContacts(TRvContactsController &controller)
    : TRvContactsPane(controller, PluginName, 1001, QStringLiteral("Contacts")), m_stack(new QStackedWidget(this)),
      m_table(new QTableView), m_cards(new QListView), m_quick(new QGroupBox(this)), m_search(new QLineEdit),
      m_fields(new QComboBox), m_lookFor(new QLabel), m_in(new QLabel), m_count(new QLabel(this))
{
    m_table->setObjectName(QStringLiteral("grdTblView"));
    m_cards->setObjectName(QStringLiteral("grdCardView"));
    m_search->setObjectName(QStringLiteral("edqsSearch"));
    m_fields->setObjectName(QStringLiteral("cboFields"));
    m_count->setObjectName(QStringLiteral("cxLabel1"));
    m_quick->setObjectName(QStringLiteral("grpQuick"));

    auto *quick = new QHBoxLayout(m_quick);
    auto *searchButton = new QToolButton(m_quick);
    searchButton->setIcon(controller.ToolbarImages().value(imgFind));
    searchButton->setObjectName(QStringLiteral("btnSearch"));
    quick->addWidget(m_lookFor);
    quick->addWidget(m_search, 2);
    quick->addWidget(m_in);
    quick->addWidget(m_fields, 1);
    quick->addWidget(searchButton);
    m_fields->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_stack->addWidget(m_table);
    m_stack->addWidget(m_cards);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_quick);
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_count);
    m_quick->hide();

    TRvContactsController::StyleGrid(m_table);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setSortingEnabled(true);
    m_cards->setViewMode(QListView::IconMode);
    m_cards->setFlow(QListView::LeftToRight);
    m_cards->setWrapping(true);
    m_cards->setResizeMode(QListView::Adjust);
    m_cards->setMovement(QListView::Static);
    m_cards->setUniformItemSizes(true);
    m_cards->setSpacing(2);
    m_cards->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_cards->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_cards->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_cards->setItemDelegate(new TContactCardDelegate(m_cardFields, m_cards));

    BuildActions();
    connect(searchButton, &QToolButton::clicked, this, [this] { RunIfEnabled(Action(QStringLiteral("acSearch"))); });
    connect(m_search, &QLineEdit::returnPressed, this, [this] { RunIfEnabled(Action(QStringLiteral("acSearch"))); });
    connect(m_search, &QLineEdit::textChanged, this, [this] { UpdateActions(); });
    connect(m_table, &QTableView::doubleClicked, this, [this] { RunIfEnabled(Action(QStringLiteral("acHYEdit"))); });
    connect(m_cards, &QListView::doubleClicked, this, [this] { RunIfEnabled(Action(QStringLiteral("acHYEdit"))); });
    RunOnEnter(m_table, Action(QStringLiteral("acHYEdit")));

    PickGroups = [this](bool functions) { return RunPicker(functions); };
}

TplgContacts::~TplgContacts()
{
    // The model listens to the data module's table, which outlives this view.
    m_table->setModel(nullptr);
    m_cards->setModel(nullptr);
    delete m_model;
}

void TplgContacts::BuildActions()
{
    QToolBar *bar = Bar();
    const auto add = [this](const QString &name, int text, int image, const QKeySequence &keys, std::function<void()> run) {
        return AddBarAction(name, text, image, keys, std::move(run));
    };
    add(QStringLiteral("acHYNew"), 1100, imgNew, QKeySequence(Qt::CTRL | Qt::Key_N), [this] { NewContact(); });
    QAction *newCopy = AddAction(QStringLiteral("acHYNewCopy"), 1108, -1, {}, [this] { NewContact(true); });
    add(QStringLiteral("acHYEdit"), 1101, imgEdit, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { EditContact(); });
    add(QStringLiteral("acHYDelete"), 1102, imgDelete, QKeySequence(Qt::Key_Delete), [this] { DeleteContacts(); });
    add(QStringLiteral("acHYRefresh"), 1104, imgRefresh, QKeySequence(Qt::Key_F5), [this] { Refresh(); });
    bar->addSeparator();
    QAction *find = add(QStringLiteral("acHYFindContact"), 1106, imgFind, QKeySequence(Qt::Key_F3), [this] { ToggleFind(); });
    find->setCheckable(true);
    QAction *filter = AddAction(QStringLiteral("acHYFilter"), 1109, -1, {}, {});
    filter->setCheckable(true);
    AddAction(QStringLiteral("acSearch"), 0, -1, {}, [this] { Search(); });

    QAction *newFamily = AddAction(QStringLiteral("acHYAddFamily"), 1237, -1, {}, [this] { AddToNewFamily(); });
    QAction *oldFamily = AddAction(QStringLiteral("acHYAddExistingFamily"), 1238, -1, {}, [this] { AddToExistingFamily(); });
    QAction *group = AddAction(QStringLiteral("acHYAddGroup"), 1239, -1, {}, [this] { AddToGroup(); });
    QAction *ministry = AddAction(QStringLiteral("acHYAddMinistry"), 7653, -1, {}, [this] { AddToMinistry(); });
    AddMenu(QStringLiteral("mnuFamilies"), 1235, -1, {newFamily, oldFamily});
    AddMenu(QStringLiteral("mnuGroups"), 1236, -1, {group});
    AddMenu(QStringLiteral("mnuMinistry"), 7652, -1, {ministry});
    bar->addSeparator();

    QAction *print = add(QStringLiteral("acHYPrint"), 1303, imgPrint, {}, [this] { Print(); });
    AddAction(QStringLiteral("acHYmnuPrint"), 1303, -1, QKeySequence(Qt::CTRL | Qt::Key_P), [print] { print->trigger(); });
    add(QStringLiteral("acHYPreview"), 3009, imgPreview, QKeySequence(Qt::CTRL | Qt::Key_W), [this] { Preview(); });
    add(QStringLiteral("acEMail"), 1460, imgMail, {}, [this] { SendMail(); });
    QAction *xls = AddAction(QStringLiteral("acExportXLS"), 10003, -1, {}, [this] { Export(2); });
    QAction *text = AddAction(QStringLiteral("acExportText"), 10012, -1, {}, [this] { Export(3); });
    QAction *html = AddAction(QStringLiteral("acExportHTML"), 10017, -1, {}, [this] { Export(4); });
    QAction *xml = AddAction(QStringLiteral("acExportXML"), 10007, -1, QKeySequence(Qt::CTRL | Qt::Key_B), [this] { Export(5); });
    AddMenu(QStringLiteral("mnuSaveAs"), 10000, imgExport, {xls, text, html, xml});
    add(QStringLiteral("acHYImportExport"), 1140, imgImport, {}, [this] { Import(); });
    bar->addSeparator();

    QAction *table = AddAction(QStringLiteral("acTypeView"), 1231, -1, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L),
                               [this] { ShowView(false); });
    QAction *cards = AddAction(QStringLiteral("acCardView"), 1232, -1, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C),
                               [this] { ShowView(true); });
    table->setCheckable(true);
    cards->setCheckable(true);
    auto *views = new QActionGroup(this);
    views->addAction(table);
    views->addAction(cards);
    table->setChecked(true);
    QAction *selectAll = AddAction(QStringLiteral("acSelectAll"), 2120, -1, QKeySequence(Qt::CTRL | Qt::Key_A), [this] {
        (CardViewShown() ? static_cast<QAbstractItemView *>(m_cards) : m_table)->selectAll();
    });
    QAction *copy = AddAction(QStringLiteral("acHYCopy"), 1221, -1, {}, [this] { CopyRows(); });
    QAction *view = AddMenu(QStringLiteral("mnuView"), 1203, -1, {table, cards, selectAll, copy});
    AddHostActions();
    QAction *customize = AddAction(QStringLiteral("acCustomize"), 1233, -1, {}, [this] { Customize(); });

    // The menu bar: File and Edit of their own, View, Tools and Help as on the tool bar.
    const auto act = [this](const char *name) { return Action(QString::fromLatin1(name)); };
    QAction *reports = AddMenuOnly(QStringLiteral("mnuReports"), 1241, -1, {});
    QAction *labels = AddMenuOnly(QStringLiteral("mnuLabels"), 1242, -1, {});
    // Reading the definitions asks the server: once per opening of File, for both menus.
    for (QAction *menu : {reports, labels})
        connect(menu->menu(), &QMenu::aboutToShow, this, [this] {
            if (!m_reportMenusFilled)
                FillReportMenus();
        });
    QAction *file = AddMenuOnly(QStringLiteral("mnuFile"), 1201, -1,
                                {act("acHYNew"), newCopy, nullptr, act("acHYmnuPrint"), act("acHYPreview"), reports, labels, nullptr,
                                 act("mnuSaveAs"), act("acHYImportExport"), act("acEMail"), nullptr, act("acHYExit")});
    connect(file->menu(), &QMenu::aboutToShow, this, [this] { m_reportMenusFilled = false; });
    QAction *edit = AddMenuOnly(QStringLiteral("mnuEdit"), 1202, -1,
                                {act("acHYEdit"), act("acHYDelete"), nullptr, act("acHYFindContact"), act("acSelectAll"), act("acHYCopy"),
                                 nullptr, act("mnuFamilies"), act("mnuGroups"), act("mnuMinistry"), nullptr, act("acHYRefresh"), customize});
    BuildMenuBar({file, edit, view});
}

void TplgContacts::Customize()
{
    // The shown view's fields, each to be shown or hidden: the table's columns (the stored
    // layout keeps them) or the cards' lines (a setting keeps them).
    if (!m_model)
        return; // the list was never read
    const bool cards = CardViewShown();
    QDialog dialog(this);
    QString title = Text(1233);
    if (title.endsWith(QLatin1String("...")))
        title.chop(3);
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstColumns"));
    QList<int> columns;
    if (cards) {
        for (const QString &field : CardFields)
            columns << m_model->ColumnOf(field);
    } else {
        columns = ChoosableColumns();
    }
    for (int c : columns) {
        auto *item = new QListWidgetItem(m_model->headerData(c, Qt::Horizontal).toString(), list);
        item->setData(Qt::UserRole, c);
        const bool shown = cards ? m_cardFields.contains(m_model->FieldName(c)) : !m_table->isColumnHidden(c);
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (!(RunCustomize ? RunCustomize(dialog) : dialog.exec() == QDialog::Accepted))
        return;
    if (cards)
        m_cardFields.clear();
    for (int i = 0; i < list->count(); ++i) {
        const int column = list->item(i)->data(Qt::UserRole).toInt();
        const bool shown = list->item(i)->checkState() == Qt::Checked;
        if (!cards)
            SetColumnShown(column, shown);
        else if (shown)
            m_cardFields << m_model->FieldName(column);
    }
    if (cards) {
        SetSetting(kCardFieldsSetting, m_cardFields.join(QLatin1Char(',')));
        m_cards->viewport()->update();
    }
}

QList<int> TplgContacts::ChoosableColumns()
{
    // Every field of the table view but the key.
    QList<int> columns;
    for (int c = 1; c < TableFields.size(); ++c)
        columns << c;
    return columns;
}

void TplgContacts::SetColumnShown(int column, bool shown)
{
    m_table->setColumnHidden(column, !shown);
    if (m_fitted)
        FitColumns(*m_table);
}

void TplgContacts::Activate(QObject *)
{
    // Captions and the actions' states also when the list cannot be read (no server): a user
    // without editor rights never sees an editing action enabled.
    SetCaptions();
    try {
        Bar()->hide();
        MenuBar()->hide();
        TDACDSDataTable &list = Data().DAContactList();
        if (!list.GetActive())
            list.Open();
        list.ClearFilter();
        if (!m_model) {
            m_model = new TDATableModel(&list);
            m_model->SetReadOnly(true);
            QStringList columns = TableFields;
            for (const QString &field : {QStringLiteral("CreatedDateTime"), QStringLiteral("F_FamilyID"),
                                         QStringLiteral("F_CreatedUserID"), QStringLiteral("ModifiedDateTime"),
                                         QStringLiteral("F_ModifiedUserID")})
                columns << field;
            m_model->SetColumns(columns);
            m_table->setModel(m_model);
            m_cards->setModel(m_model);
            m_cards->setSelectionModel(m_table->selectionModel());
            m_cards->setModelColumn(m_model->ColumnOf(QStringLiteral("LastName")));
            for (int c = 0; c < m_model->columnCount(); ++c)
                m_table->setColumnHidden(c, !TableFields.contains(m_model->FieldName(c)) || c == 0 ||
                                                kShownOnRequest.contains(m_model->FieldName(c)));
            // The header's menu shows and hides the columns (the stored layout keeps the choice).
            QHeaderView *header = m_table->horizontalHeader();
            header->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](const QPoint &at) {
                QMenu menu(this);
                for (int c : ChoosableColumns()) {
                    QAction *column = menu.addAction(m_model->headerData(c, Qt::Horizontal).toString());
                    column->setCheckable(true);
                    column->setChecked(!m_table->isColumnHidden(c));
                    connect(column, &QAction::toggled, this, [this, c](bool on) { SetColumnShown(c, on); });
                }
                menu.exec(header->mapToGlobal(at));
            });
            m_model->SetCaption(KeyField, QStringLiteral("ContactID"));
            ShowDatesOnly(m_table, m_model->ColumnOf(QStringLiteral("DateOfBirth")));
            connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
                UpdateCountLine();
                UpdateActions();
            });
            connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                    [this](const QModelIndex &current) {
                        if (current.isValid())
                            m_model->SetCurrentRow(current.row());
                        UpdateActions();
                    });
            connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
                UpdateCountLine();
                UpdateActions();
            });
        }
        CaptionColumns(*m_model, ContactCaptions);
        m_quick->setTitle(Text(1500));
        m_lookFor->setText(Text(1501));
        m_in->setText(Text(1502));
        m_quick->hide();
        Action(QStringLiteral("acHYFindContact"))->setChecked(false);
        Action(QStringLiteral("acHYFilter"))->setChecked(false);
        if (!Controller().IsMailAvailable())
            ShowAction(Action(QStringLiteral("acEMail")), false);

        const bool cards = IsCardView(Setting(kViewType, TableViewName));
        m_cardFields.clear();
        const QStringList shownOnCards = Setting(kCardFieldsSetting, CardFields.join(QLatin1Char(','))).split(QLatin1Char(','));
        for (const QString &field : CardFields)
            if (shownOnCards.contains(field, Qt::CaseInsensitive))
                m_cardFields << field;
        ShowView(cards);
        const bool autoWidth = Setting(kAutoWidth, QStringLiteral("TRUE")) == QStringLiteral("TRUE");
        if (!cards && autoWidth && !m_fitted) {
            m_fitted = true;
            KeepColumnsFitted(m_table);
        }
        m_table->setUpdatesEnabled(false);
        Controller().LoadGridLayout(kLayout, m_table->horizontalHeader());
        m_table->setUpdatesEnabled(true);
        if (m_fitted)
            FitColumns(*m_table);

        const QString current = Data().CurrentContactID;
        if (!current.isEmpty()) {
            list.Locate(KeyField, current);
            if (!list.Eof())
                Data().CurrentContactID = list.AsString(KeyField);
        } else {
            const QString last = Setting(kActiveContact, QString());
            if (!last.isEmpty())
                list.Locate(KeyField, last);
        }

        const QString firstName = m_model->headerData(m_model->ColumnOf(QStringLiteral("FirstName")), Qt::Horizontal).toString();
        m_fields->clear();
        for (int visual = 0; visual < m_table->horizontalHeader()->count(); ++visual) {
            const int c = m_table->horizontalHeader()->logicalIndex(visual);
            if (!m_table->isColumnHidden(c))
                m_fields->addItem(m_model->headerData(c, Qt::Horizontal).toString(), m_model->FieldName(c));
        }
        m_fields->setCurrentIndex(qMax(0, m_fields->findText(firstName)));

        if (m_model->rowCount() > 0)
            FocusRow(qMax(0, m_model->CurrentRow()));
        if (auto help = host_cast<ISmartHelp>(Controller().Host()))
            help->SetSmartHelpText(Controller().GetHTML(101), 101);
        m_active = true;
        UpdateCountLine();
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("OnActivate"), e);
    }
    UpdateActions();
}

void TplgContacts::Deactivate(QObject *)
{
    try {
        m_active = false;
        SetSetting(kViewType, CardViewShown() ? CardViewName : TableViewName);
        Controller().SaveGridLayout(kLayout, m_table->horizontalHeader());
        TDACDSDataTable &list = Data().DAContactList();
        if (list.GetActive() && !list.Eof()) {
            Data().CurrentContactID = list.AsString(KeyField);
            if (!Data().CurrentContactID.isEmpty())
                SetSetting(kActiveContact, Data().CurrentContactID);
        }
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("OnDeactivate"), e);
    }
}

bool TplgContacts::CardViewShown() const
{
    return m_stack->currentWidget() == m_cards;
}

void TplgContacts::ShowView(bool cards)
{
    m_stack->setCurrentWidget(cards ? static_cast<QWidget *>(m_cards) : m_table);
    Action(cards ? QStringLiteral("acCardView") : QStringLiteral("acTypeView"))->setChecked(true);
}

QList<int> TplgContacts::SelectedRows() const
{
    return SelectedRowsOf(*m_table);
}

QString TplgContacts::KeyAt(int row) const
{
    return FieldAt(row, KeyField);
}

QString TplgContacts::FieldAt(int row, const QString &field) const
{
    TDACDSDataTable &list = Data().DAContactList();
    return list.ValueAt(row, list.FieldIndex(field)).toString();
}

QStringList TplgContacts::SelectedKeys() const
{
    QStringList keys;
    for (int row : SelectedRows())
        keys << KeyAt(row);
    return keys;
}

void TplgContacts::SelectRows(const QList<int> &rows)
{
    if (!m_model)
        return;
    QItemSelection selection;
    for (int row : rows)
        if (row >= 0 && row < m_model->rowCount())
            selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TplgContacts::FocusRow(int row)
{
    if (!m_model || m_model->rowCount() == 0)
        return;
    row = qBound(0, row, m_model->rowCount() - 1);
    const QModelIndex index = m_model->index(row, m_model->ColumnOf(QStringLiteral("FirstName")));
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->scrollTo(index);
    m_cards->scrollTo(index);
}

void TplgContacts::UpdateCountLine()
{
    if (!m_model)
        return;
    m_count->setText(FillPlaceholders(Text(6201), {QString::number(m_model->rowCount()), QString::number(SelectedRows().size())}));
}

void TplgContacts::UpdateActions()
{
    TContactsViewState state;
    const QList<int> selected = m_model ? SelectedRows() : QList<int>();
    state.Rows = m_model ? m_model->rowCount() : 0;
    state.Selected = int(selected.size());
    state.Focused = m_model && m_model->CurrentRow() >= 0;
    state.Editor = HasEditorRights(Controller().GetCurrentUser());
    state.SearchText = !m_search->text().isEmpty();
    state.SearchShown = m_quick->isVisibleTo(this);
    state.MailAvailable = Controller().IsMailAvailable();
    for (int row : selected)
        if (!FieldAt(row, QStringLiteral("EMail1")).trimmed().isEmpty()) {
            state.AnySelectedHasMail = true;
            break;
        }
    state.SingleSelectedHasMail = state.Selected == 1 && state.AnySelectedHasMail;
    const TContactsActions a = ContactsActions(state);
    // Without the list (it could not be read) there is nothing to add a contact to.
    const std::pair<const char *, bool> states[] = {
        {"acHYNew", a.New && m_model},
        {"acHYNewCopy", a.Edit},
        {"acHYEdit", a.Edit},
        {"acHYDelete", a.Delete},
        {"acHYRefresh", a.Refresh},
        {"acHYFindContact", a.Find},
        {"acSearch", a.Search},
        {"acHYAddFamily", a.AddFamily},
        {"acHYAddExistingFamily", a.AddExistingFamily},
        {"acHYAddGroup", a.AddGroup},
        {"acHYAddMinistry", a.AddMinistry},
        {"acHYPrint", a.Print},
        {"acHYmnuPrint", a.Print},
        {"acHYPreview", a.Preview},
        {"acEMail", a.EMail},
        {"acExportXLS", a.Export},
        {"acExportText", a.Export},
        {"acExportHTML", a.Export},
        {"acExportXML", a.Export},
        {"mnuSaveAs", a.Export},
        {"acHYImportExport", a.Import},
        {"acSelectAll", a.SelectAll},
        {"acHYCopy", a.Copy},
    };
    for (const auto &[name, enabled] : states) {
        QAction *action = Action(QString::fromLatin1(name));
        if (action && action->isVisible())
            action->setEnabled(enabled);
    }
}

// ---- actions ----

void TplgContacts::NewContact(bool asCopy)
{
    if (!m_model)
        return; // the list was never read
    try {
        const int row = m_model->CurrentRow();
        if (Data().NewContact(asCopy && row >= 0 ? KeyAt(row) : QString())) {
            Refresh();
            TDACDSDataTable &list = Data().DAContactList();
            if (!Data().CurrentContactID.isEmpty())
                list.Locate(KeyField, Data().CurrentContactID);
        }
        FocusRow(m_model->CurrentRow());
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHYNewExecute"), e);
    }
}

void TplgContacts::EditContact()
{
    if (!m_model)
        return;
    TBusyCursor busy;
    try {
        const int row = m_model->CurrentRow();
        if (Data().EditContact())
            Refresh();
        FocusRow(m_model->CurrentRow() >= 0 ? m_model->CurrentRow() : row);
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHYEditExecute"), e);
    }
}

void TplgContacts::DeleteContacts()
{
    if (!m_model)
        return;
    TBusyCursor busy;
    try {
        QList<int> rows = SelectedRows();
        const int focused = m_model->CurrentRow();
        if (rows.isEmpty() && focused >= 0)
            rows << focused;
        if (rows.isEmpty())
            return;
        const QString question = CountQuestion(int(rows.size()), Text(2102), Text(2101));
        if (Prompt().Ask(this, QMessageBox::Warning, Text(2100), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
            QMessageBox::Yes)
            return;
        QStringList keys;
        QString text;
        for (int row : rows) {
            keys << KeyAt(row);
            text += keys.last() + QStringLiteral("\r\n");
        }
        // The server deletes the people with everything that points at them in one
        // transaction: all of them go, or each stays whole.
        TDACDSDataTable &list = Data().DAContactList();
        const auto remove = [&] { return Data().ContactService()->DeleteContacts(text); };
        if (!Data().CallOrRevert(QStringLiteral("acHYDeleteExecute"), {&list}, remove))
            return;
        list.Refresh();
        if (m_model->rowCount() > 0)
            FocusRow(focused - 1 > 0 ? focused - 1 : 0);
    } catch (const std::exception &e) {
        // Whatever failed, the user is told and the list shows what the server holds.
        Data().RevertAfterFailure(QStringLiteral("acHYDeleteExecute"), QString::fromUtf8(e.what()), {&Data().DAContactList()});
    }
}

void TplgContacts::Refresh()
{
    TBusyCursor busy;
    try {
        TDACDSDataTable &list = Data().DAContactList();
        if (!list.GetActive())
            list.Open();
        else
            list.Refresh(); // back on the same contact where it still exists
        FocusRow(m_model ? m_model->CurrentRow() : 0);
        ViewRefresh::Succeeded(*this);
    } catch (const std::exception &e) {
        RefreshFailed(QStringLiteral("acHYRefreshExecute"), e);
    }
}

void TplgContacts::ToggleFind()
{
    const bool show = !m_quick->isVisibleTo(this);
    m_quick->setVisible(show);
    Action(QStringLiteral("acHYFindContact"))->setChecked(show);
    Action(QStringLiteral("acHYFilter"))->setChecked(show);
    if (show) {
        m_search->setFocus();
        m_search->selectAll();
    } else {
        Data().DAContactList().ClearFilter();
    }
    UpdateActions();
}

void TplgContacts::Search()
{
    try {
        TDACDSDataTable &list = Data().DAContactList();
        const QString field = m_fields->currentData().toString();
        if (field.isEmpty())
            return;
        m_table->setUpdatesEnabled(false);
        list.SetFilter(QuickSearchFilter(field, m_search->text()));
        m_table->setUpdatesEnabled(true);
        FocusRow(0);
    } catch (const std::exception &e) {
        m_table->setUpdatesEnabled(true);
        QorLogFailure(&Controller(), QStringLiteral("Search"), e);
    }
}

void TplgContacts::Import()
{
    try {
        if (!Controller().RunImport)
            return;
        // The grid repaints once afterwards, not for every imported row, also when the run fails.
        m_table->setUpdatesEnabled(false);
        const auto repaint = qScopeGuard([this] { m_table->setUpdatesEnabled(true); });
        Controller().RunImport(this);
        // The people brought in show at once.
        if (!Data().DAContactList().HasChanges())
            Refresh();
    } catch (const std::exception &e) {
        m_table->setUpdatesEnabled(true);
        QorLogFailure(&Controller(), QStringLiteral("acHYImportExportExecute"), e);
    }
}

void TplgContacts::CopyRows()
{
    CopyGrid(*m_table);
}
