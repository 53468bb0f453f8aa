#include "plugins/contacts/uDAContacts.h"

#include "plugins/contacts/hcRvContactsController.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/RowConflict.h"

#include <QApplication>
#include <QDateTime>

#include <algorithm>
#include <stdexcept>

using namespace Quorva;

namespace {

const QString kNotConnected = QStringLiteral("The data service cannot be reached: there is no server connection");

void Reopen(TDACDSDataTable &table)
{
    table.Close();
    table.Open();
}

} // namespace

// ---- TDAGroupedContactsAdapter ----

TDAGroupedContactsAdapter::TDAGroupedContactsAdapter(std::function<std::shared_ptr<IContactsService>()> contacts)
    : TDAServiceAdapter(kNotConnected), m_contacts(std::move(contacts))
{
}

QByteArray TDAGroupedContactsAdapter::GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo)
{
    if (!m_grouped)
        return TDAServiceAdapter::GetData(tableNames, requestInfo);
    const std::shared_ptr<IContactsService> contacts = m_contacts();
    if (!contacts)
        throw std::runtime_error("The contacts service cannot be reached: there is no server connection");
    const std::unique_ptr<TROBinaryMemoryStream> data = contacts->GetGroupedContacts(m_dataset, m_where);
    return data ? data->Bytes() : QByteArray();
}

void TDAGroupedContactsAdapter::SetGroupedRequest(const QString &dataset, const QString &where)
{
    m_dataset = dataset;
    m_where = where;
    m_grouped = true;
}

// ---- TDAContacts ----

TDAContacts::TDAContacts(TRvContactsController &controller) : m_controller(controller)
{
    m_remoteContacts = std::make_unique<TDAServiceAdapter>(kNotConnected);
    m_remoteGroups = std::make_unique<TDAGroupedContactsAdapter>([this] { return m_contacts; });
    m_remoteResources = std::make_unique<TDAServiceAdapter>(kNotConnected);
    m_remoteLookup = std::make_unique<TDAServiceAdapter>(kNotConnected);

    // Every updatable table of the contacts service shares one adapter so that the tables a
    // dialog changed reach the server in one call and one transaction.
    TDAServiceAdapter *c = m_remoteContacts.get();
    auto table = [](const QString &name, TDAServiceAdapter *adapter) { return std::make_unique<TDACDSDataTable>(name, adapter); };
    m_contactList = table(QStringLiteral("DAContactList"), c);
    m_contactDetails = table(QStringLiteral("DAContactDetails"), c);
    m_contactSearch = table(QStringLiteral("DAContactList"), c);
    m_contactByGroup = table(QStringLiteral("DAContactsByGroups"), m_remoteGroups.get());
    m_importContacts = table(QStringLiteral("DAImportContacts"), c);
    m_familyList = table(QStringLiteral("DAFamilyList"), c);
    m_familyDetails = table(QStringLiteral("DAFamilyDetails"), c);
    m_unavailability = table(QStringLiteral("DAUnAvailiabillity"), c);
    m_servingPreference = table(QStringLiteral("DALnkServingPrefrence"), c);
    m_preferenceLiturgy = table(QStringLiteral("DAServingPrefrenceLiturgy"), c);
    m_preferenceFrequency = table(QStringLiteral("DAServingPrefrenceFrequency"), c);
    m_servingFrequency = table(QStringLiteral("DAServingFrequency"), c);
    m_allRules = table(QStringLiteral("DAAllRules"), c);
    m_ministerSchedule = table(QStringLiteral("DAMinisterSchedule"), c);
    m_groupsList = table(QStringLiteral("DAGroupsList"), c);
    m_groupMembers = table(QStringLiteral("DALnkGroupMembers"), c);
    m_memberOfGroups = table(QStringLiteral("DALnkMemberOfGroups"), c);
    m_liturgyByFunction = table(QStringLiteral("DAListFunctionsByMinistry"), m_remoteLookup.get());
    m_functionByLiturgy = table(QStringLiteral("DALnkLituryToMinistryFunction"), c);
    m_liturgyToMinistry = table(QStringLiteral("DALinkLiturgyToMinistry"), c);
    m_ministryFunctions = table(QStringLiteral("MinistryFunctions"), m_remoteResources.get());
    m_ministryTemplates = table(QStringLiteral("MinistryTemplates"), m_remoteResources.get());
    m_liturgyTemplates = table(QStringLiteral("LiturgyTemplates"), m_remoteResources.get());
    m_locations = table(QStringLiteral("Locations"), m_remoteResources.get());
    BindStamps();

    ShowSaveFailure = [](const QString &message) {
        ShowMessage(QApplication::activeWindow(), QMessageBox::Warning, QStringLiteral("Kestrova"), message);
    };
}

TDAContacts::~TDAContacts() = default;

void TDAContacts::SetConnection(std::shared_ptr<TROTransportChannel> channel, std::shared_ptr<TROMessage> message)
{
    m_channel = std::move(channel);
    m_message = std::move(message);
    if (!m_channel || !m_message) {
        ClearConnection();
        return;
    }
    m_contacts = CoContactsService::Create(m_message, m_channel);
    m_resources = CoResourceService::Create(m_message, m_channel);
    ServeAdapters();
}

void TDAContacts::ClearConnection()
{
    m_contacts.reset();
    m_resources.reset();
    m_channel.reset();
    m_message.reset();
    ServeAdapters();
}

void TDAContacts::ServeAdapters()
{
    m_remoteContacts->SetService(m_contacts);
    m_remoteGroups->SetService(m_contacts);
    m_remoteLookup->SetService(m_contacts);
    m_remoteResources->SetService(m_resources);
}

std::shared_ptr<IContactsService> TDAContacts::ContactService() const
{
    if (!m_contacts)
        throw std::runtime_error("The contacts service cannot be reached: there is no server connection");
    return m_contacts;
}

std::shared_ptr<IResourceService> TDAContacts::ResourceService() const
{
    if (!m_resources)
        throw std::runtime_error("The resource service cannot be reached: there is no server connection");
    return m_resources;
}

QString TDAContacts::UserID() const
{
    const TvoUser *user = m_controller.GetCurrentUser();
    return user ? user->UserID : EmptyGUID;
}

QString TDAContacts::UserName() const
{
    const TvoUser *user = m_controller.GetCurrentUser();
    return user ? user->UserName : QString();
}

// ---- keys and stamps ----

void TDAContacts::Stamp(TDACDSDataTable &table, bool inserted, const QString &keyField, bool created)
{
    const QDateTime now = QDateTime::currentDateTime();
    if (inserted) {
        if (!keyField.isEmpty())
            table.SetValue(keyField, NewKey());
        if (created) {
            table.SetValue(QStringLiteral("F_CreatedUserID"), UserID());
            table.SetValue(QStringLiteral("CreatedDateTime"), now);
        }
        return;
    }
    table.SetValue(QStringLiteral("F_ModifiedUserID"), UserID());
    table.SetValue(QStringLiteral("ModifiedDateTime"), now);
}

void TDAContacts::BindStamps()
{
    const QString contactKey = QStringLiteral("PK_ContactID");
    auto modified = [this](TDACDSDataTable &t) { Stamp(t, false, {}, false); };
    auto detailsInsert = [this, contactKey](TDACDSDataTable &t) {
        Stamp(t, true, contactKey, true);
        t.SetValue(QStringLiteral("FlagContact"), false);
        Stamp(t, false, {}, false);
    };

    m_contactDetails->OnAfterInsert = detailsInsert;
    m_contactDetails->OnAfterEdit = modified;
    m_contactList->OnAfterInsert = [this, contactKey](TDACDSDataTable &t) { Stamp(t, true, contactKey, false); };
    m_contactList->OnAfterEdit = modified;
    m_importContacts->OnAfterInsert = detailsInsert;
    m_importContacts->OnBeforePost = [](TDACDSDataTable &t) {
        // The zero date (day 0 of a spreadsheet) stands for no date; every other date, one
        // before 1900 too, is a date of birth.
        const QString field = QStringLiteral("DateOfBirth");
        const QVariant born = t.Value(field);
        if (!DAIsNull(born) && born.toDateTime().date() == QDate(1899, 12, 30) && born.toDateTime().time() == QTime(0, 0))
            t.SetValue(field, QVariant());
    };
    m_familyDetails->OnAfterInsert = [this](TDACDSDataTable &t) {
        Stamp(t, true, QStringLiteral("PK_FamilyID"), true);
        Stamp(t, false, {}, false);
        t.SetValue(QStringLiteral("Modifiedby"), UserName());
    };
    m_familyDetails->OnAfterEdit = modified;
    m_unavailability->OnAfterInsert = [this](TDACDSDataTable &t) { Stamp(t, true, QStringLiteral("PK_UnavailiableID"), true); };
    m_unavailability->OnAfterEdit = modified;
    m_groupsList->OnAfterInsert = [this](TDACDSDataTable &t) {
        m_controller.WriteLog(QorLogLevel::Debug, {QStringLiteral("F1")}, QStringLiteral("INSERT"));
        Stamp(t, true, QStringLiteral("PK_GroupID"), true);
    };
    m_groupsList->OnAfterEdit = [this](TDACDSDataTable &t) {
        m_controller.WriteLog(QorLogLevel::Debug, {QStringLiteral("F1")}, QStringLiteral("EDIT"));
        Stamp(t, false, {}, false);
    };
    m_allRules->OnAfterInsert = [this](TDACDSDataTable &t) { Stamp(t, true, QStringLiteral("PK_RuleLnkID"), true); };
    m_servingPreference->OnAfterInsert = [this](TDACDSDataTable &t) { Stamp(t, true, QStringLiteral("PK_ServingPrefrenceID"), false); };
    for (TDACDSDataTable *links : {m_preferenceLiturgy.get(), m_preferenceFrequency.get(), m_groupMembers.get(), m_memberOfGroups.get()})
        links->OnAfterInsert = [this](TDACDSDataTable &t) { Stamp(t, true, QStringLiteral("PK_LinkID"), false); };
}

// ---- helpers ----

void TDAContacts::FilterByFamily(TDACDSDataTable &table, const QString &familyKey)
{
    table.SetFilter([familyKey](const TDACDSDataTable::TDARecord &r) {
        return r.Value(QStringLiteral("F_FamilyID")).toString().compare(familyKey, Qt::CaseInsensitive) == 0;
    });
}

void TDAContacts::FilterByField(TDACDSDataTable &table, const QString &field, const QVariant &value)
{
    const QString wanted = value.toString();
    table.SetFilter([field, wanted](const TDACDSDataTable::TDARecord &r) {
        return r.Value(field).toString().compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

void TDAContacts::EditIfBrowsing(TDACDSDataTable &table)
{
    if (table.GetState() == TDATableState::dsBrowse)
        table.Edit();
}

void TDAContacts::FreeFromFamily(TDACDSDataTable &contacts)
{
    EditIfBrowsing(contacts);
    contacts.SetValue(QStringLiteral("F_FamilyID"), QVariant());
    contacts.Post();
}

void TDAContacts::JoinFamily(TDACDSDataTable &contacts, const QString &familyKey)
{
    EditIfBrowsing(contacts);
    contacts.SetValue(QStringLiteral("F_FamilyID"), familyKey);
    contacts.Post();
}

TSearchListItem TDAContacts::ContactSearchItem(const QString &key, const QString &firstName, const QString &lastName,
                                               const QString &caption)
{
    TSearchListItem item;
    item.Text = caption;
    item.Object.Caption = key;
    item.Object.Value = 1;
    item.Object.TypeID = ContactMemberType;
    item.Object.Text1 = (firstName + QLatin1Char(' ') + lastName).trimmed();
    item.Object.Text2 = firstName;
    item.Object.Text3 = lastName;
    return item;
}

bool TDAContacts::OfferStoredRow(const EDAChangedByAnotherUser &refusal)
{
    // A contact by its name, a family by its own; a row of the contact's pages by the contact.
    const TDACDSDataTable &table = *refusal.Table;
    const auto field = [&](const char *name) {
        return table.FieldIndex(QLatin1String(name)) >= 0 ? table.StoredValue(refusal.RecID, QLatin1String(name)).toString() : QString();
    };
    QString name = (field("FirstName") + QLatin1Char(' ') + field("LastName")).trimmed();
    if (name.isEmpty())
        name = field("FamilyName");
    if (name.isEmpty() && m_contactDetails->GetActive() && !m_contactDetails->Eof())
        name = m_contactDetails->AsString(QStringLiteral("FirstName")) + QLatin1Char(' ') + m_contactDetails->AsString(QStringLiteral("LastName"));
    return ::OfferStoredRow(QApplication::activeWindow(), refusal, m_controller.GetText(1451), m_controller.GetText(1452), name);
}

bool TDAContacts::SaveOrRevert(const QString &location, const QList<TDACDSDataTable *> &tables, bool refetch)
{
    // Nothing to send is no reason to read every table again; a row still being edited is
    // posted by the apply.
    const auto pending = [](const TDACDSDataTable *t) { return t->GetActive() && (t->IsEditing() || t->HasChanges()); };
    if (std::none_of(tables.begin(), tables.end(), pending))
        return true;
    for (;;) {
        try {
            TDACDSDataTable::ApplyUpdates(tables, refetch);
            return true;
        } catch (const EDAChangedByAnotherUser &refusal) {
            // Named and asked, not reverted: what he keeps stays pending for the next save;
            // with the stored row loaded the rest goes out.
            QorLogFailure(&m_controller, location, refusal);
            if (!OfferStoredRow(refusal))
                return false;
        } catch (const std::exception &e) {
            RevertAfterFailure(location, QString::fromUtf8(e.what()), tables);
            return false;
        }
    }
}

bool TDAContacts::CallOrRevert(const QString &location, const QList<TDACDSDataTable *> &tables, const std::function<bool()> &call)
{
    try {
        if (call())
            return true;
        RevertAfterFailure(location, m_controller.GetText(1445), tables);
    } catch (const std::exception &e) {
        RevertAfterFailure(location, QString::fromUtf8(e.what()), tables);
    }
    return false;
}

void TDAContacts::CancelAll(const QList<TDACDSDataTable *> &tables)
{
    for (TDACDSDataTable *table : tables)
        if (table->GetActive())
            table->CancelUpdates(); // a row being edited too
}

void TDAContacts::RevertAfterFailure(const QString &location, const QString &reason, const QList<TDACDSDataTable *> &tables)
{
    m_controller.WriteLog(QorLogLevel::Severe, {location}, reason);
    CancelAll(tables);
    for (TDACDSDataTable *table : tables) {
        if (!table->GetActive())
            continue;
        try {
            table->Refresh();
        } catch (const std::exception &e) {
            // The server is gone altogether: the table shows what it last read.
            QorLogFailure(&m_controller, location, e);
        }
    }
    if (ShowSaveFailure)
        ShowSaveFailure(m_controller.GetText(1446) + reason);
}

void TDAContacts::RefreshIfClean(TDACDSDataTable &table)
{
    if (!table.GetActive())
        table.Open();
    else if (!table.HasChanges())
        table.Refresh();
}

void TDAContacts::RestoreContactList()
{
    if (m_contactList->GetActive() && !CurrentContactID.isEmpty())
        m_contactList->Locate(QStringLiteral("PK_ContactID"), CurrentContactID);
}

// ---- the contact dialog's tables ----

QList<TDACDSDataTable *> TDAContacts::ContactDialogTables()
{
    // The contact first: everything else of the dialog refers to it.
    return {m_contactDetails.get(),  m_servingPreference.get(), m_preferenceLiturgy.get(), m_preferenceFrequency.get(),
            m_allRules.get(),        m_ministerSchedule.get(),  m_unavailability.get(),    m_memberOfGroups.get()};
}

void TDAContacts::CancelContactDialogTables()
{
    CancelAll(ContactDialogTables());
}

void TDAContacts::PrepareContactData(const QString &key)
{
    try {
        Reopen(*m_ministryFunctions);
        m_ministryFunctions->ClearFilter();
        m_servingPreference->Close();
        m_servingPreference->ParamByName(QStringLiteral("ContactType")).Value = 0;
        m_servingPreference->ParamByName(QStringLiteral("F_ContactID")).Value = key;
        m_servingPreference->Open();
        for (TDACDSDataTable *links : {m_preferenceLiturgy.get(), m_preferenceFrequency.get()}) {
            links->Close();
            links->ParamByName(QStringLiteral("F_ContactID")).Value = key;
            links->Open();
        }
        m_ministerSchedule->Close();
        TDAWhere where;
        where.AddCondition(QStringLiteral("PK_ContactID"), TDAWhereOperator::woEqual, key);
        m_ministerSchedule->SetWhere(where);
        m_ministerSchedule->Open();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("PrepareContactData"), e);
        throw;
    }
}

void TDAContacts::PrepareDialogTables(const QString &key)
{
    PrepareContactData(key);
    CurrentContactID = key;
    m_unavailability->Close();
    m_unavailability->ParamByName(QStringLiteral("F_ContactID")).Value = key;
    m_unavailability->Open();
    m_unavailability->Sort(QStringLiteral("UnavailiableDate"));
    m_allRules->Close();
    m_allRules->ClearFilter();
    m_allRules->ParamByName(QStringLiteral("OwnerID")).Value = key;
    m_allRules->ParamByName(QStringLiteral("MemberID")).Value = key;
    m_allRules->Open();
    if (!m_groupsList->GetActive())
        m_groupsList->Open();
    m_memberOfGroups->Close();
    m_memberOfGroups->ParamByName(QStringLiteral("F_MemberID")).Value = key;
    m_memberOfGroups->ParamByName(QStringLiteral("F_MemberTypeID")).Value = ContactMemberType;
    m_memberOfGroups->Open();
    if (!m_servingFrequency->GetActive())
        m_servingFrequency->Open();
    if (!m_liturgyTemplates->GetActive())
        m_liturgyTemplates->Open();
}

void TDAContacts::SaveContact(bool isNew)
{
    TBusyCursor busy;
    if (!isNew) {
        EditIfBrowsing(*m_contactDetails);
        Stamp(*m_contactDetails, false, {}, false);
    }
    // The refetch after the save reads the contact itself, not the empty set a new one came from.
    m_contactDetails->ParamByName(QStringLiteral("ContactID")).Value = CurrentContactID;
    // One call and one transaction: either the whole contact arrives or nothing does, and then
    // every change stays pending for the next try.
    TDACDSDataTable::ApplyUpdates(ContactDialogTables(), true);
}

bool TDAContacts::RunAndSaveContact(const QString &key, bool isNew)
{
    if (!RunContactDialog)
        throw std::runtime_error("The contact dialog is not available");
    for (;;) {
        if (RunContactDialog(key, isNew) != TModalResult::Ok) {
            CancelContactDialogTables();
            return false;
        }
        try {
            SaveContact(isNew);
            return true;
        } catch (const EDAChangedByAnotherUser &refusal) {
            QorLogFailure(&m_controller, isNew ? QStringLiteral("NewContact") : QStringLiteral("EditContact"), refusal);
            OfferStoredRow(refusal);
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, isNew ? QStringLiteral("NewContact") : QStringLiteral("EditContact"), e);
            if (ShowSaveFailure)
                ShowSaveFailure(QString::fromUtf8(e.what()));
        }
    }
}

bool TDAContacts::EditContact(const QString &key)
{
    bool saved = false;
    try {
        QString contact = key;
        if (contact.isEmpty())
            contact = m_contactList->AsString(QStringLiteral("PK_ContactID"));
        if (contact.isEmpty())
            throw std::runtime_error("There is no contact to edit");
        m_contactDetails->Close();
        m_contactDetails->ParamByName(QStringLiteral("ContactID")).Value = contact;
        m_contactDetails->Open();
        if (m_contactDetails->GetRecordCount() == 0)
            throw std::runtime_error(QStringLiteral("The contact %1 no longer exists").arg(contact).toStdString());
        PrepareDialogTables(contact);
        saved = RunAndSaveContact(contact, false);
        if (saved && m_contactList->GetActive())
            RefreshIfClean(*m_contactList);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("EditContact"), e);
    }
    try {
        RestoreContactList();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("EditContact"), e);
    }
    return saved;
}

bool TDAContacts::NewContact(const QString &copyOf)
{
    bool saved = false;
    try {
        if (m_contactList->GetActive() && !m_contactList->Eof())
            CurrentContactID = m_contactList->AsString(QStringLiteral("PK_ContactID"));
        const QString previous = CurrentContactID;
        m_contactDetails->Close();
        m_contactDetails->ParamByName(QStringLiteral("ContactID")).Value = EmptyGUID;
        m_contactDetails->Open();
        m_contactDetails->Insert();
        if (!copyOf.isEmpty() && m_contactList->GetActive() && m_contactList->Locate(QStringLiteral("PK_ContactID"), copyOf)) {
            // A member of the same household: the name it shares, the address, phones and family.
            static const char *const copied[] = {"LastName", "Street", "Zip", "City", "State", "phone1",
                                                 "phone2",   "phone3", "Fax", "Web",  "F_FamilyID"};
            for (const char *field : copied)
                m_contactDetails->SetValue(QLatin1String(field), m_contactList->Value(QLatin1String(field)));
        }
        const QString key = m_contactDetails->AsString(QStringLiteral("PK_ContactID"));
        PrepareDialogTables(key);
        saved = RunAndSaveContact(key, true);
        if (saved) {
            if (m_contactList->GetActive())
                RefreshIfClean(*m_contactList);
        } else {
            CurrentContactID = previous;
        }
        RestoreContactList();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("NewContact"), e);
        CancelContactDialogTables();
    }
    return saved;
}

// ---- families ----

TModalResult TDAContacts::RunFamily(int mode)
{
    if (!RunFamilyDialog)
        throw std::runtime_error("The family dialog is not available");
    return RunFamilyDialog(mode);
}

void TDAContacts::NewFamily()
{
    TBusyCursor busy;
    try {
        m_familyDetails->Close();
        m_familyDetails->ParamByName(QStringLiteral("PK_FamilyID")).Value = EmptyGUID;
        m_familyDetails->Open();
        m_familyDetails->Insert();
        const QString key = m_familyDetails->AsString(QStringLiteral("PK_FamilyID"));
        if (!m_contactList->GetActive())
            m_contactList->Open();
        FilterByFamily(*m_contactList, key);
        if (RunFamilyUntilSaved(0, QStringLiteral("NewFamily")))
            CurrentFamilyID = key;
        m_contactList->ClearFilter();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("NewFamily"), e);
        m_contactList->ClearFilter();
    }
}

bool TDAContacts::EditFamily(const QString &key)
{
    TBusyCursor busy;
    try {
        m_familyDetails->Close();
        m_familyDetails->ParamByName(QStringLiteral("PK_FamilyID")).Value = key;
        m_familyDetails->Open();
        if (m_familyDetails->GetRecordCount() == 0)
            throw std::runtime_error(QStringLiteral("The family %1 no longer exists").arg(key).toStdString());
        if (!m_contactList->GetActive())
            m_contactList->Open();
        FilterByFamily(*m_contactList, key);
        RunFamilyUntilSaved(1, QStringLiteral("EditFamily"));
        m_contactList->ClearFilter();
        if (m_familyList->GetActive())
            m_familyList->Locate(QStringLiteral("PK_FamilyID"), key);
        return true;
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("EditFamily"), e);
        m_contactList->ClearFilter();
        return false;
    }
}

// The family dialog until its changes are saved or it is cancelled: the family first, then
// the members that point at it, in one transaction; a refused save shows and the dialog comes
// back. A cancel leaves no member pointing at a family that was never saved.
bool TDAContacts::RunFamilyUntilSaved(int mode, const QString &where)
{
    for (;;) {
        if (RunFamily(mode) != TModalResult::Ok) {
            CancelAll({m_familyDetails.get(), m_contactList.get()});
            return false;
        }
        try {
            TDACDSDataTable::ApplyUpdates({m_familyDetails.get(), m_contactList.get()}, true);
            if (m_familyList->GetActive())
                RefreshIfClean(*m_familyList);
            return true;
        } catch (const EDAChangedByAnotherUser &refusal) {
            QorLogFailure(&m_controller, where, refusal);
            OfferStoredRow(refusal);
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, where, e);
            if (ShowSaveFailure)
                ShowSaveFailure(QString::fromUtf8(e.what()));
        }
    }
}

int TDAContacts::ShowFamilyDialog(int mode)
{
    try {
        return int(RunFamily(mode));
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("ShowFamilyDialog"), e);
        return int(TModalResult::Cancel);
    }
}

// ---- groups ----

bool TDAContacts::GroupChangesPending() const
{
    return (m_groupsList->GetActive() && m_groupsList->HasChanges()) ||
           (m_groupMembers->GetActive() && m_groupMembers->HasChanges());
}

void TDAContacts::ApplyGroupChanges()
{
    TDACDSDataTable::ApplyUpdates({m_groupMembers.get(), m_groupsList.get()}, true);
}

void TDAContacts::CancelGroupChanges()
{
    CancelAll({m_groupsList.get(), m_groupMembers.get()});
}

// ---- TBusyCursor ----

TBusyCursor::TBusyCursor()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}
