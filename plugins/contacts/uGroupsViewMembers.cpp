#include "plugins/contacts/uGroupsView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGroupsTreeWidget.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportExport.h"
#include "ui/DialogService.h"
#include "ui/PromptService.h"
#include "ui/ufPreview.h"
#include "ui/TDATableModel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMap>
#include <QTableView>

using namespace Quorva;

namespace {

// Fills the "%s" (or "%d") places of a language text in order.
QString FillIn(QString format, const QStringList &values)
{
    for (const QString &value : values) {
        qsizetype at = format.indexOf(QStringLiteral("%s"));
        if (at < 0)
            at = format.indexOf(QStringLiteral("%d"));
        if (at < 0)
            break;
        format.replace(at, 2, value);
    }
    return format;
}

// The report chooser's criteria: one entry.
class TCriteriaText final : public IReportCriteriaProvider
{
public:
    explicit TCriteriaText(QString text) : m_text(std::move(text)) {}
    bool queryInterface(const QUuid &id, void **object) override { return QorQueryInterface<IReportCriteriaProvider>(this, id, object); }
    int addRef() override { return 1; }
    int release() override { return 1; }
    QString GetCriteriaText() override { return m_text; }

private:
    QString m_text;
};

// The keys of every node below the item, depth first, siblings in order.
QStringList DescendantIDs(const QTreeWidgetItem *item)
{
    QStringList ids;
    for (int c = 0; item && c < item->childCount(); ++c) {
        ids << TplgGroups::IDOf(item->child(c));
        ids << DescendantIDs(item->child(c));
    }
    return ids;
}

} // namespace

// ---- the member list ----

void TplgGroups::ListMembers()
{
    TBusyCursor busy;
    TDAContacts &store = m_controller.Data();
    int step = 0;
    try {
        store.DAContactByGroup().Close();
        step = 1;
        QTreeWidgetItem *item = m_tree->currentItem();
        if (!item) {
            UpdateSum();
            return;
        }
        const QStringList descendants = DescendantIDs(item);
        step = 2;
        m_request = TGroupsRules::MemberRequest(KindOf(item), IDOf(item), ID2Of(item), IDOf(item->parent()),
                                               descendants, m_showChildren);
        step = 3;
        store.SetGroupedRequest(m_request.Dataset, m_request.Where);
        step = 4;
        store.DAContactByGroup().Open();
        step = 5;
        const int lastName = m_model->ColumnOf(QStringLiteral("LastName"));
        m_grid->sortByColumn(lastName, Qt::DescendingOrder);
        if (m_model->rowCount() > 0) {
            m_grid->setCurrentIndex(m_model->index(0, lastName));
            m_grid->selectRow(0);
        }
    } catch (const std::exception &e) {
        m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("tvGroupsChange")},
                                  QString::fromUtf8(e.what()) + QLatin1Char('\t') +
                                      QStringLiteral("Dataset : %1 \t WHERE : %2  ErrorPos: %3").arg(m_request.Dataset, m_request.Where).arg(step));
        m_controller.WriteLog(QorLogLevel::Severe, {QStringLiteral("tvGroupsChange")},
                                  QStringLiteral("Fields : %1").arg(store.DAContactByGroup().GetFields().size()));
    }
    UpdateSum();
}

QStringList TplgGroups::SelectedContacts() const
{
    QStringList keys;
    const int key = m_model->ColumnOf(QStringLiteral("PK_ContactID"));
    QList<QModelIndex> rows = m_grid->selectionModel()->selectedRows(key);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : rows)
        keys << index.data().toString();
    return keys;
}

void TplgGroups::UpdateSum()
{
    TDACDSDataTable &members = m_controller.Data().DAContactByGroup();
    if (!members.GetActive()) {
        m_sum->setText(Text(7654));
        return;
    }
    const int selected = m_grid->selectionModel() ? int(m_grid->selectionModel()->selectedRows().size()) : 0;
    m_sum->setText(FillIn(m_sumFormat, {QString::number(members.GetRecordCount()), QString::number(selected)}));
}

QStringList TplgGroups::EmailAddresses() const
{
    const int mail = m_model->ColumnOf(QStringLiteral("EMail1"));
    QList<int> rows;
    if (m_grid->hasFocus()) {
        for (const QModelIndex &index : m_grid->selectionModel()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
    } else {
        for (int row = 0; row < m_model->rowCount(); ++row)
            rows << row;
    }
    QStringList addresses;
    for (int row : rows) {
        const QString address = m_model->index(row, mail).data().toString().trimmed();
        if (!address.isEmpty())
            addresses << address;
    }
    return addresses;
}

// ---- members ----

void TplgGroups::SetMembers()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!BelowRootGroup(item) || !EditorRights())
        return;
    const QString group = IDOf(item);
    TDAContacts &store = m_controller.Data();
    const int focused = m_grid->currentIndex().row();
    m_grid->setUpdatesEnabled(false);
    try {
        TDACDSDataTable &members = store.DAContactByGroup();
        members.Close();
        store.SetGroupedRequest(store.DARemoteGroups().GroupedDataset(), TGroupsRules::GroupMembersWhere(group));
        members.Open();
        QMap<QString, TSearchListItem> byName;
        for (int row = 0; row < members.GetRecordCount(); ++row) {
            const QString first = members.ValueAt(row, members.FieldIndex(QStringLiteral("FirstName"))).toString();
            const QString last = members.ValueAt(row, members.FieldIndex(QStringLiteral("LastName"))).toString();
            const QString key = members.ValueAt(row, members.FieldIndex(QStringLiteral("PK_ContactID"))).toString();
            byName.insert(last + QLatin1Char(' ') + first + key, TDAContacts::ContactSearchItem(key, first, last, last + QLatin1Char(' ') + first));
        }
        const TSearchObjectList preselected = byName.values();
        std::unique_ptr<TSearchObjectList> result;
        if (m_controller.PerformSearch(1, FillIn(Text(6017), {item->text(0)}), 0, true, &preselected, nullptr, result) && result) {
            members.Close();
            QStringList contacts;
            for (const TSearchListItem &hit : *result)
                if (hit.Object.TypeID.isEmpty() || hit.Object.TypeID == TDAContacts::ContactMemberType)
                    contacts << hit.Object.Caption;
            TGroupsRules::SetGroupContacts(store, group, contacts);
        }
    } catch (const std::exception &e) {
        m_grid->setUpdatesEnabled(true);
        store.RevertAfterFailure(QStringLiteral("acHYAddContactExecute ") + group, QString::fromUtf8(e.what()), {&store.DALnkGroupMembers()});
        ListMembers();
        return;
    }
    m_grid->setUpdatesEnabled(true);
    ListMembers();
    if (focused >= 0 && focused < m_model->rowCount())
        m_grid->selectRow(focused);
}

void TplgGroups::RemoveMembers()
{
    const int count = int(m_grid->selectionModel()->selectedRows().size());
    const QString question = count < 2 ? Text(6014) : FillIn(Text(6015), {QString::number(count)});
    const QMessageBox::StandardButton answer =
        Prompt().Ask(this, QMessageBox::Critical, Text(6016), question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                     QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        RemoveGroupMembers(true);
    else if (answer == QMessageBox::No)
        RemoveGroupMembers(false);
}

void TplgGroups::RemoveGroupMembers(bool includeSubGroups)
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item || KindOf(item) != TGroupsNodeKind::Group)
        return;
    TBusyCursor busy;
    const QStringList subGroups = includeSubGroups ? DescendantIDs(item) : QStringList();
    TDAContacts &store = m_controller.Data();
    store.CallOrRevert(QStringLiteral("RemoveGroupMembers"), {}, [&] {
        const std::shared_ptr<IContactsService> service = store.ContactService();
        int refused = 0;
        for (const QString &contact : SelectedContacts())
            if (!service->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), TGroupsRules::RemoveMemberWhere(IDOf(item), subGroups, contact)))
                ++refused;
        return refused == 0;
    });
    // The list shows what the server holds, after a refusal too.
    ListMembers();
}

void TplgGroups::EditContact()
{
    const QStringList selected = SelectedContacts();
    if (selected.isEmpty())
        return;
    TBusyCursor busy;
    const int focused = m_grid->currentIndex().row();
    if (m_controller.Data().EditContact(selected.first())) {
        ListMembers();
        if (focused >= 0 && focused < m_model->rowCount())
            m_grid->selectRow(focused);
    }
}

void TplgGroups::CopyRows()
{
    QStringList lines;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < m_model->columnCount(); ++column)
            if (!m_grid->isColumnHidden(column))
                cells << m_model->index(row, column).data().toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void TplgGroups::PrintList()
{
    QString step = QStringLiteral("CreateExcludeList");
    try {
        QTreeWidgetItem *item = m_tree->currentItem();
        const QString exclusion = KindOf(item) == TGroupsNodeKind::Group ? QString() : IDOf(item);
        step = QStringLiteral("GetSelectedGroups");
        TCriteriaText criteria(TGroupsRules::ReportCriteria(m_request));
        step = QStringLiteral("GetSelectedGroupMembers");
        QStringList selection;
        for (const QString &key : SelectedContacts())
            selection << QStringLiteral("(PK_ContactID LIKE ") + TGroupsRules::Quoted(key) + QLatin1Char(')');
        step = QStringLiteral("GetSelectedGroupCount");
        TDACDSDataTable &contacts = m_controller.Data().DAContactList();
        const int count = contacts.GetActive() ? contacts.GetRecordCount() : 0;
        step = QStringLiteral("ShowReportDialog ");
        TDAGroupedContactsAdapter &request = m_controller.Data().DARemoteGroups();
        m_controller.ShowReportDlg(TGroupsRules::ReportCategory, &selection, count, &criteria, 0, exclusion, TGroupsRules::ReportOverride,
                                   QStringLiteral("rpt") + request.GroupedDataset(), request.GroupedWhere());
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, step + QStringLiteral(" in groups:acHYmnuPrintExecute"), e);
    }
}

QString TplgGroups::HostText(int number) const
{
    QString text;
    if (auto language = host_cast<ILanguageHost>(m_controller.Host()))
        language->GetResourceText(number, true, text);
    return text;
}

ReportDocument TplgGroups::ListDocument() const
{
    QTreeWidgetItem *item = m_tree->currentItem();
    QList<int> shown;
    QList<TListColumn> columns;
    const QHeaderView *header = m_grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column))
            continue;
        shown << column;
        columns << TListColumn{m_model->headerData(column, Qt::Horizontal).toString(), header->sectionSize(column)};
    }
    QList<QStringList> rows;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStringList cells;
        for (int column : shown)
            cells << m_model->index(row, column).data().toString();
        rows << cells;
    }
    const ReportTemplate report = TGroupsRules::ListReport(Text(8501) + (item ? item->text(0) : QString()), Text(8502), columns);
    return ReportEngine::Render(report, TGroupsRules::ListData(rows, int(columns.size())));
}

void TplgGroups::Preview()
{
    const ReportDocument document = ListDocument();
    RunPreview(document);
}

void TplgGroups::ShowPreview(const ReportDocument &document)
{
    TfPreview viewer(this);
    viewer.Localize([this](int number) { return HostText(number); });
    viewer.SetReport(&document, QStringLiteral("GroupsListView"));
    connect(&viewer, &TfPreview::HelpRequested, &viewer, [this](const QString &topic) { m_controller.ShowHelp(topic); });
    if (viewer.ShowModal() != TModalResult::Ok || viewer.ExportKind() == ReportExportKind::None)
        return;
    // The export titles are the host's, as in every other report viewer.
    const QHash<ReportExportKind, int> titles = {{ReportExportKind::Pdf, 2700}, {ReportExportKind::Html, 2701},
                                                 {ReportExportKind::Text, 2702}, {ReportExportKind::Rtf, 2703},
                                                 {ReportExportKind::Xlsx, 2704}};
    const ReportExportFormat format = ReportExport::Format(viewer.ExportKind());
    const QString file = Dialogs().GetSaveFileName(this, HostText(titles.value(format.Kind)), QString(),
                                                   QStringLiteral("%1 (%2)").arg(format.Description, format.Pattern), format.Extension, true);
    if (!file.isEmpty())
        ReportExport::Write(document, format.Kind, file);
}

void TplgGroups::SendEmail()
{
    const QStringList addresses = EmailAddresses();
    if (!addresses.isEmpty())
        m_controller.SendSimpleEmail(addresses);
}
