#include "plugins/contacts/uFamiliesView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactsViewRules.h"
#include "plugins/contacts/uDAContacts.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

using namespace ContactsViewRules;
using namespace Quorva;

namespace {

const QString kFamilyKey = QStringLiteral("PK_FamilyID");
const QString kContactKey = QStringLiteral("PK_ContactID");
const QString kPrintCategory = QStringLiteral("{00000000-0000-0000-0000-000000000004}");

const QList<TRvContactsPane::TColumnCaption> kFamilyCaptions = {
    {"FamilyName", 5014}, {"FamilyStreet", 1255}, {"FamilyCity", 1268},   {"FamilyState", 1269},  {"FamilyZip", 1270},
    {"FamilyPhone1", 1257}, {"FamilyPhone2", 1258}, {"FamilyEmail1", 1261}, {"FamilyEmail2", 1262}};
const QStringList kMemberFields = {QStringLiteral("FirstName"), QStringLiteral("MiddleName"), QStringLiteral("LastName"),
                                   QStringLiteral("Street"),    QStringLiteral("DateOfBirth"), QStringLiteral("phone1"),
                                   QStringLiteral("phone2"),    QStringLiteral("phone3"),     QStringLiteral("EMail1"),
                                   QStringLiteral("EMail2"),    QStringLiteral("EMail3"),     QStringLiteral("City"),
                                   QStringLiteral("State"),     QStringLiteral("Zip"),        QStringLiteral("Comments")};
// Member columns a user shows through the header's menu.
const QStringList kMembersOnRequest = {QStringLiteral("MiddleName"), QStringLiteral("phone2"), QStringLiteral("phone3"),
                                       QStringLiteral("EMail2"),     QStringLiteral("EMail3"), QStringLiteral("State"),
                                       QStringLiteral("Comments")};

QStringList KeysOf(TDACDSDataTable &table, const QString &keyField, const QList<int> &rows)
{
    QStringList keys;
    const int field = table.FieldIndex(keyField);
    for (int row : rows)
        keys << table.ValueAt(row, field).toString();
    return keys;
}

} // namespace

TplgFamilies::TplgFamilies(TRvContactsController &controller)
    : TRvContactsPane(controller, PluginName, 1002, QStringLiteral("Families")), m_splitter(new QSplitter(this)),
      m_families(new QTableView), m_members(new QTableView), m_sum(new QLabel(this))
{
    m_families->setObjectName(QStringLiteral("grdFamilyView"));
    m_members->setObjectName(QStringLiteral("grdFamilyMembers"));
    m_sum->setObjectName(QStringLiteral("lblSum"));
    m_splitter->addWidget(m_families);
    m_splitter->addWidget(m_members);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(m_sum);
    for (QTableView *grid : {m_families, m_members}) {
        TRvContactsController::StyleGrid(grid);
        grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    BuildActions();
    connect(m_families, &QTableView::doubleClicked, this, [this] { RunIfEnabled(Action(QStringLiteral("acHyEdit"))); });
    connect(m_members, &QTableView::doubleClicked, this, [this] { RunIfEnabled(Action(QStringLiteral("acHYEditContact"))); });
    RunOnEnter(m_families, Action(QStringLiteral("acHyEdit")));
    RunOnEnter(m_members, Action(QStringLiteral("acHYEditContact")));
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now == m_families || now == m_members) {
            m_mailGrid = static_cast<QTableView *>(now);
            UpdateActions();
        }
    });
}

TplgFamilies::~TplgFamilies()
{
    disconnect(m_focusWatch);
    m_families->setModel(nullptr);
    m_members->setModel(nullptr);
    delete m_familyModel;
    delete m_memberModel;
}

void TplgFamilies::BuildActions()
{
    QToolBar *bar = Bar();
    const auto add = [this](const QString &name, int text, int image, const QKeySequence &keys, std::function<void()> run) {
        return AddBarAction(name, text, image, keys, std::move(run));
    };
    add(QStringLiteral("acHYNew"), 1100, imgNew, QKeySequence(Qt::CTRL | Qt::Key_N), [this] { NewFamily(); });
    add(QStringLiteral("acHyEdit"), 1101, imgEdit, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { EditFamily(); });
    add(QStringLiteral("acHyDelete"), 1102, imgDelete, QKeySequence(Qt::Key_Delete), [this] { DeleteFamilies(); });
    add(QStringLiteral("acHyRefresh"), 1104, imgRefresh, {}, [this] { Refresh(); });
    bar->addSeparator();
    QAction *members = AddAction(QStringLiteral("acHyAddContact"), 1110, -1, {}, [this] { SetMembers(); });
    QAction *remove = AddAction(QStringLiteral("acHYRemoveContact"), 1111, -1, {}, [this] { RemoveMembers(); });
    QAction *editMember = AddAction(QStringLiteral("acHYEditContact"), 1450, -1, {}, [this] { EditMember(); });
    for (QAction *a : {members, remove, editMember})
        bar->addAction(a);
    bar->addSeparator();
    AddAction(QStringLiteral("acPrint"), 1303, -1, {}, [this] { Print(); });
    add(QStringLiteral("acHYPrint"), 1303, imgPrint, QKeySequence(Qt::CTRL | Qt::Key_P), [this] { Print(); });
    add(QStringLiteral("acHyPreview"), 3009, imgPreview, QKeySequence(Qt::CTRL | Qt::Key_R), [this] { Preview(); });
    add(QStringLiteral("acEmail"), 1460, imgMail, {}, [this] { SendMail(); });
    QAction *copy = AddAction(QStringLiteral("acHYCopy"), 1221, -1, {}, [this] { CopyGrid(*m_members); });
    AddHostActions();
    const auto act = [this](const char *name) { return Action(QString::fromLatin1(name)); };
    BuildMenuBar({AddMenuOnly(QStringLiteral("mnuFile"), 1201, -1,
                              {act("acHYNew"), act("acHyEdit"), act("acHyDelete"), nullptr, act("acHYPrint"), act("acHyPreview"),
                               act("acEmail"), nullptr, act("acHYExit")}),
                  AddMenuOnly(QStringLiteral("mnuEdit"), 1202, -1, {members, remove, editMember, nullptr, copy}),
                  AddMenuOnly(QStringLiteral("mnuView"), 1203, -1, {act("acHyRefresh")})});
    // Mail waits until a grid with addresses has the focus.
    Action(QStringLiteral("acEmail"))->setEnabled(false);
}

void TplgFamilies::Activate(QObject *)
{
    // Captions and the actions' states also when the lists cannot be read (no server): a user
    // without editor rights never sees an editing action enabled.
    SetCaptions();
    try {
        Bar()->hide();
        MenuBar()->hide();
        TDACDSDataTable &families = Data().DAFamilyList();
        if (!families.GetActive())
            families.Open();
        else if (!families.HasChanges())
            families.Refresh();
        families.Sort(QStringLiteral("FamilyName"));
        TDACDSDataTable &contacts = Data().DAContactList();
        if (!contacts.GetActive())
            contacts.Open();
        contacts.ClearFilter();

        if (!m_familyModel) {
            m_familyModel = new TDATableModel(&families);
            m_familyModel->SetReadOnly(true);
            m_families->setModel(m_familyModel);
            for (int c = 0; c < m_familyModel->columnCount(); ++c)
                m_families->setColumnHidden(c, m_familyModel->FieldName(c).compare(QStringLiteral("FamilyName"), Qt::CaseInsensitive) != 0);
            m_memberModel = new TDATableModel(&contacts);
            m_memberModel->SetReadOnly(true);
            m_memberModel->SetColumns(QStringList{kContactKey} + kMemberFields);
            m_members->setModel(m_memberModel);
            m_members->setColumnHidden(0, true);
            ShowDatesOnly(m_members, m_memberModel->ColumnOf(QStringLiteral("DateOfBirth")));
            KeepColumnsFitted(m_members);
            for (int c = 1; c < m_memberModel->columnCount(); ++c)
                m_members->setColumnHidden(c, kMembersOnRequest.contains(m_memberModel->FieldName(c)));
            connect(m_families->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { FamiliesChosen(); });
            connect(m_families->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &i) {
                if (i.isValid())
                    m_familyModel->SetCurrentRow(i.row());
                UpdateActions();
            });
            connect(m_members->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
                UpdateSum();
                UpdateActions();
            });
            connect(m_members->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &i) {
                if (i.isValid())
                    m_memberModel->SetCurrentRow(i.row());
            });
            connect(m_memberModel, &QAbstractItemModel::modelReset, this, [this] {
                UpdateSum();
                UpdateActions();
            });
            connect(m_familyModel, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
        }
        CaptionColumns(*m_familyModel, kFamilyCaptions);
        CaptionColumns(*m_memberModel, ContactCaptions);

        Controller().LoadGridLayout(QStringLiteral("FamilyListView"), m_families->horizontalHeader());
        Controller().LoadGridLayout(QStringLiteral("FamilyMemberView"), m_members->horizontalHeader());
        const int width = Setting(QStringLiteral("FamilyGridWidth"), QStringLiteral("250")).toInt();
        m_splitter->setSizes({width > 0 ? width : 250, qMax(200, this->width() - width)});

        if (!Controller().IsMailAvailable())
            ShowAction(Action(QStringLiteral("acEmail")), false);
        if (auto help = host_cast<ISmartHelp>(Controller().Host()))
            help->SetSmartHelpText(Controller().GetHTML(102), 101);

        if (families.GetRecordCount() == 0) {
            TDAContacts::FilterByFamily(contacts, NoFamily);
        } else {
            const QString current = Data().CurrentFamilyID;
            if (!current.isEmpty()) {
                families.Locate(kFamilyKey, current);
                if (!families.Eof())
                    Data().CurrentFamilyID = families.AsString(kFamilyKey);
            } else {
                const QString last = Setting(QStringLiteral("FamilyContact"), QString());
                if (!last.isEmpty())
                    families.Locate(kFamilyKey, last);
            }
            FocusFamily(qMax(0, m_familyModel->CurrentRow()));
        }
        FamiliesChosen();
        if (m_memberModel->rowCount() > 0)
            m_members->selectionModel()->setCurrentIndex(m_memberModel->index(0, 1),
                                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        UpdateSum();
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("Families:OnActivate"), e);
    }
    UpdateActions();
}

void TplgFamilies::Deactivate(QObject *)
{
    try {
        TDACDSDataTable &families = Data().DAFamilyList();
        if (families.GetActive() && !families.Eof()) {
            Data().CurrentFamilyID = families.AsString(kFamilyKey);
            if (!Data().CurrentFamilyID.isEmpty())
                SetSetting(QStringLiteral("FamilyContact"), Data().CurrentFamilyID);
        }
        Controller().SaveGridLayout(QStringLiteral("FamilyListView"), m_families->horizontalHeader());
        Controller().SaveGridLayout(QStringLiteral("FamilyMemberView"), m_members->horizontalHeader());
        SetSetting(QStringLiteral("FamilyGridWidth"), QString::number(m_splitter->sizes().value(0, 250)));
        if (!families.HasChanges())
            families.Close();
        Data().DAContactList().ClearFilter();
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("OnDeactivate"), e);
    }
}

QStringList TplgFamilies::SelectedFamilies() const
{
    return KeysOf(Data().DAFamilyList(), kFamilyKey, SelectedRowsOf(*m_families));
}

QStringList TplgFamilies::SelectedMembers() const
{
    return KeysOf(Data().DAContactList(), kContactKey, SelectedRowsOf(*m_members));
}

void TplgFamilies::SelectFamilies(const QStringList &keys)
{
    TDACDSDataTable &families = Data().DAFamilyList();
    QItemSelection selection;
    const int field = families.FieldIndex(kFamilyKey);
    for (int r = 0; r < m_familyModel->rowCount(); ++r)
        if (keys.contains(families.ValueAt(r, field).toString(), Qt::CaseInsensitive))
            selection.select(m_familyModel->index(r, 0), m_familyModel->index(r, m_familyModel->columnCount() - 1));
    m_families->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TplgFamilies::SelectMembers(const QStringList &keys)
{
    TDACDSDataTable &contacts = Data().DAContactList();
    QItemSelection selection;
    const int field = contacts.FieldIndex(kContactKey);
    for (int r = 0; r < m_memberModel->rowCount(); ++r)
        if (keys.contains(contacts.ValueAt(r, field).toString(), Qt::CaseInsensitive))
            selection.select(m_memberModel->index(r, 0), m_memberModel->index(r, m_memberModel->columnCount() - 1));
    m_members->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TplgFamilies::FocusFamily(int row)
{
    if (!m_familyModel || m_familyModel->rowCount() == 0)
        return;
    row = qBound(0, row, m_familyModel->rowCount() - 1);
    const QModelIndex index = m_familyModel->index(row, m_familyModel->ColumnOf(QStringLiteral("FamilyName")));
    m_families->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_families->scrollTo(index);
}

void TplgFamilies::FamiliesChosen()
{
    TBusyCursor busy;
    try {
        TDAContacts::FilterByFamily(Data().DAContactList(), MemberFamily(SelectedFamilies()));
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("grdFamilyViewSelectionChanged"), e);
    }
    UpdateActions();
}

void TplgFamilies::UpdateSum()
{
    if (!m_memberModel || !Data().DAContactList().GetActive()) {
        m_sum->setText(QStringLiteral("No records."));
        return;
    }
    m_sum->setText(FillPlaceholders(Text(6201), {QString::number(m_memberModel->rowCount()),
                                                 QString::number(SelectedRowsOf(*m_members).size())}));
}

QStringList TplgFamilies::MailAddresses() const
{
    QStringList addresses;
    if (!m_mailGrid)
        return addresses;
    const bool families = m_mailGrid == m_families;
    TDACDSDataTable &table = families ? Data().DAFamilyList() : Data().DAContactList();
    const int field = table.FieldIndex(families ? QStringLiteral("FamilyEmail1") : QStringLiteral("EMail1"));
    for (int row : SelectedRowsOf(*m_mailGrid)) {
        const QString address = table.ValueAt(row, field).toString().trimmed();
        if (!address.isEmpty())
            addresses << address;
    }
    return addresses;
}

void TplgFamilies::UpdateActions()
{
    TFamiliesViewState state;
    TDACDSDataTable &families = Data().DAFamilyList();
    state.Families = m_familyModel ? m_familyModel->rowCount() : 0;
    state.SelectedFamilies = int(SelectedRowsOf(*m_families).size());
    state.FamilyCurrent = families.GetActive() && !families.Eof();
    state.FamilyFocused = m_families->currentIndex().isValid() && state.Families > 0;
    state.SelectedMembers = int(SelectedRowsOf(*m_members).size());
    state.Editor = HasEditorRights(Controller().GetCurrentUser());
    const TFamiliesActions a = FamiliesActions(state);
    const std::pair<const char *, bool> states[] = {
        {"acHYNew", a.New},
        {"acHyEdit", a.Edit},
        {"acHyDelete", a.Delete},
        {"acHyRefresh", a.Refresh},
        {"acHyAddContact", a.AddMembers},
        {"acHYRemoveContact", a.RemoveMembers},
        {"acHYEditContact", a.EditMember},
        {"acHyPreview", a.Preview},
        {"acPrint", a.Print},
        {"acHYPrint", a.Print},
        {"acHYCopy", a.Copy},
    };
    for (const auto &[name, enabled] : states)
        Action(QString::fromLatin1(name))->setEnabled(enabled);
    QAction *mail = Action(QStringLiteral("acEmail"));
    if (mail->isVisible() && m_mailGrid) {
        try {
            mail->setEnabled(!MailAddresses().isEmpty());
        } catch (const std::exception &) {
            mail->setEnabled(false);
        }
    }
}

// ---- actions ----

void TplgFamilies::NewFamily()
{
    Data().NewFamily();
    Refresh();
}

void TplgFamilies::EditFamily()
{
    TDACDSDataTable &families = Data().DAFamilyList();
    if (!families.GetActive() || families.Eof())
        return;
    m_families->setUpdatesEnabled(false);
    Data().EditFamily(families.AsString(kFamilyKey));
    m_families->setUpdatesEnabled(true);
    // The dialog filtered the contact list its own way.
    FamiliesChosen();
}

void TplgFamilies::DeleteFamilies()
{
    TBusyCursor busy;
    try {
        const QStringList keys = SelectedFamilies();
        if (keys.isEmpty())
            return;
        const QString question = CountQuestion(int(keys.size()), Text(2104), Text(2103));
        if (Prompt().Ask(this, QMessageBox::Warning, Text(2100), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
            QMessageBox::Yes)
            return;
        TDACDSDataTable &families = Data().DAFamilyList();
        QString text;
        for (const QString &key : keys)
            text += key + QStringLiteral("\r\n");
        // The members are freed first; the family rows follow once nobody points at them.
        const bool freed = Data().CallOrRevert(QStringLiteral("acHYDeleteExecute"), {&families}, [&] {
            for (const QString &key : keys)
                if (families.Locate(kFamilyKey, key))
                    families.Delete();
            return Data().ContactService()->RemoveContactsFromFamily(text);
        });
        if (freed) {
            Data().SaveOrRevert(QStringLiteral("acHYDeleteExecute"), {&families}, true);
            TDACDSDataTable &contacts = Data().DAContactList();
            if (contacts.GetActive() && !contacts.HasChanges())
                contacts.Refresh();
            if (m_familyModel->rowCount() > 0)
                FocusFamily(m_familyModel->CurrentRow());
        }
    } catch (const std::exception &e) {
        Data().RevertAfterFailure(QStringLiteral("acHYDeleteExecute"), QString::fromUtf8(e.what()), {&Data().DAFamilyList()});
    }
    FamiliesChosen();
}

void TplgFamilies::Refresh()
{
    TBusyCursor busy;
    try {
        const int focused = m_families->currentIndex().isValid() ? m_families->currentIndex().row() : 0;
        TDACDSDataTable &contacts = Data().DAContactList();
        TDACDSDataTable &families = Data().DAFamilyList();
        if (contacts.GetActive())
            contacts.Refresh();
        if (families.GetActive())
            families.Refresh();
        else
            families.Open();
        families.Sort(QStringLiteral("FamilyName"));
        FocusFamily(focused);
        FamiliesChosen();
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHyRefreshExecute"), e);
    }
}

void TplgFamilies::SetMembers()
{
    try {
        // The preselection is the member grid, which shows members only for one family.
        const QStringList selected = SelectedFamilies();
        if (selected.size() != 1)
            return;
        const QString family = selected.first();
        TDACDSDataTable &contacts = Data().DAContactList();
        TSearchObjectList preselected;
        for (int r = 0; r < contacts.GetRecordCount(); ++r) {
            const auto value = [&](const char *field) { return contacts.ValueAt(r, contacts.FieldIndex(QString::fromLatin1(field))).toString(); };
            preselected << TDAContacts::ContactSearchItem(value("PK_ContactID"), value("FirstName"), value("LastName"),
                                                          value("LastName") + QLatin1Char(' ') + value("FirstName"));
        }
        std::sort(preselected.begin(), preselected.end(),
                  [](const TSearchListItem &a, const TSearchListItem &b) { return a.Text < b.Text; });
        std::unique_ptr<TSearchObjectList> result;
        m_members->setUpdatesEnabled(false);
        if (Controller().PerformSearch(1, Text(2200), 0, true, &preselected, nullptr, result) && result) {
            TDAContacts::FilterByFamily(contacts, family);
            // Everyone now in the family leaves it; the chosen join it, wherever they were.
            while (contacts.GetRecordCount() > 0) {
                contacts.First();
                TDAContacts::FreeFromFamily(contacts);
            }
            contacts.ClearFilter();
            for (const TSearchListItem &item : *result)
                if (contacts.Locate(kContactKey, item.Object.Caption))
                    TDAContacts::JoinFamily(contacts, family);
            Data().SaveOrRevert(QStringLiteral("acAddmemberExecute"), {&contacts}, true);
            TDAContacts::FilterByFamily(contacts, family);
        }
        m_members->setUpdatesEnabled(true);
        if (m_memberModel->rowCount() > 0)
            m_members->selectionModel()->setCurrentIndex(m_memberModel->index(0, 1),
                                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } catch (const std::exception &e) {
        m_members->setUpdatesEnabled(true);
        QorLogFailure(&Controller(), QStringLiteral("acAddmemberExecute"), e);
    }
}

void TplgFamilies::RemoveMembers()
{
    TBusyCursor busy;
    try {
        const QStringList keys = SelectedMembers();
        if (keys.isEmpty())
            return;
        const QString question = CountQuestion(int(keys.size()), Text(2106), Text(2105));
        if (Prompt().Ask(this, QMessageBox::Warning, Text(2107), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
            QMessageBox::Yes)
            return;
        TDACDSDataTable &contacts = Data().DAContactList();
        for (const QString &key : keys)
            if (contacts.Locate(kContactKey, key))
                TDAContacts::FreeFromFamily(contacts);
        Data().SaveOrRevert(QStringLiteral("acHYRemoveContactExecute"), {&contacts}, true);
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHYRemoveContactExecute"), e);
    }
}

void TplgFamilies::EditMember()
{
    TBusyCursor busy;
    try {
        const QStringList family = SelectedFamilies();
        if (Data().EditContact()) {
            TDACDSDataTable &contacts = Data().DAContactList();
            if (!contacts.HasChanges())
                contacts.Refresh();
        }
        FamiliesChosen();
        if (m_memberModel->rowCount() > 0 && m_memberModel->CurrentRow() >= 0)
            m_members->selectionModel()->setCurrentIndex(m_memberModel->index(m_memberModel->CurrentRow(), 1),
                                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHYEditContactExecute"), e);
    }
}

void TplgFamilies::Preview()
{
    try {
        const QList<int> rows = SelectedRowsOf(*m_families);
        if (rows.size() == 1) {
            TDACDSDataTable &families = Data().DAFamilyList();
            const QString name = families.ValueAt(rows.first(), families.FieldIndex(QStringLiteral("FamilyName"))).toString();
            PreviewGrid(m_members, Text(8501) + Text(8511) + name, Text(8502));
        } else {
            PreviewGrid(m_families, Text(8501) + Text(8510), Text(8502));
        }
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHyPreviewExecute"), e);
    }
}

void TplgFamilies::Print()
{
    try {
        const QStringList selection = SelectionConditions(kFamilyKey, SelectedFamilies());
        Controller().ShowReportDlg(kPrintCategory, &selection, Data().DAFamilyList().GetRecordCount(), nullptr, 0, {}, {}, {}, {});
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acPrintExecute"), e);
    }
}

void TplgFamilies::SendMail()
{
    TBusyCursor busy;
    try {
        const QStringList addresses = MailAddresses();
        Controller().SendSimpleEmail(addresses);
    } catch (const std::exception &) {
        Action(QStringLiteral("acEmail"))->setEnabled(false);
    }
}
