// The one data module of the contacts plug-in: every client table that the contacts, families
// and groups views, the contact, family and group dialogs and the import read and write, the
// two remote services they reach the server through, the stamps new and edited rows get, and
// the routines that open the contact and family dialogs and save what they changed. No SQL is
// built here; everything goes through the tables' deltas and the contacts service's operations.
//
// How the views use it (the controller owns the one instance: TRvContactsController::Data()):
//  - Tables: one accessor per table, named as the table (DAContactList(), DAFamilyList(), ...).
//    They are closed until someone opens them; open, filter, edit, post and apply them freely.
//    Every updatable table goes to the server through DARemoteContacts, so changes of several
//    tables can be applied in one call and one server transaction:
//        TDACDSDataTable::ApplyUpdates({&data.DAGroupsList(), &data.DALnkGroupMembers()}, true);
//  - Keys and stamps: an inserted row gets its fresh key (a braced GUID) and the audit stamps
//    at Insert(); an edited row its modifier and time at Edit(). Never set them by hand.
//  - Filters other units once wrote as text ("F_FamilyID=" + quoted key) are FilterByFamily() and
//    FilterByField(); SetFilter with any predicate works as well.
//  - Grouped member lists: DAContactByGroup is fetched through DARemoteGroups(), which calls
//    ContactsService.GetGroupedContacts with the dataset and where-clause set by
//    SetGroupedRequest(dataset, where) before DAContactByGroup().Open().
//  - Typed service operations (DeleteContacts, RemoveContactsFromFamily, InsertGroupedContact,
//    RemoveGroupMembers, ...): ContactService() on the host's channel and message.
//  - Dialogs: EditContact, NewContact, NewFamily, EditFamily and ShowFamilyDialog below. Group
//    changes made in the picker (TfGroups) are applied with ApplyGroupChanges().
//  - Search hits: the host's search hands TSearchObject records with Caption = the key,
//    Value = the kind (1 contact, 2 family, 4 group), TypeID = the member type, and for
//    contacts Text1 = the name, Text2 = the first name, Text3 = the last name, Flag = the
//    reminder flag; ContactSearchItem() makes one.
// Main thread only; every failure of a routine is written to the host log and answered with
// the routine's failure result.
#pragma once

#include "client/api/HostInterfaces.h"
#include "dataaccess/TDACDSDataTable.h"
#include "contract/TDAServiceAdapter.h"
#include "ui/uStyleForm.h"

#include <QString>

#include <functional>
#include <memory>

class IContactsService;
class IResourceService;
class TRvContactsController;
class TROMessage;
class TROTransportChannel;

// The groups' adapter: once a request is set, a fetch goes through GetGroupedContacts.
class TDAGroupedContactsAdapter : public TDAServiceAdapter
{
public:
    explicit TDAGroupedContactsAdapter(std::function<std::shared_ptr<IContactsService>()> contacts);

    QByteArray GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo) override;

    // From now on a fetch asks ContactsService.GetGroupedContacts(dataset, where).
    void SetGroupedRequest(const QString &dataset, const QString &where);
    QString GroupedDataset() const { return m_dataset; }
    QString GroupedWhere() const { return m_where; }

private:
    std::function<std::shared_ptr<IContactsService>()> m_contacts;
    QString m_dataset;
    QString m_where;
    bool m_grouped = false;
};

class TDAContacts
{
public:
    // The member types of group links and rules.
    static inline const QString ContactMemberType = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
    static inline const QString FamilyMemberType = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    static inline const QString GroupMemberType = QStringLiteral("{00000000-0000-0000-0000-000000000002}");

    explicit TDAContacts(TRvContactsController &controller);
    ~TDAContacts();
    TDAContacts(const TDAContacts &) = delete;
    TDAContacts &operator=(const TDAContacts &) = delete;

    TRvContactsController &Controller() const { return m_controller; }

    // The host's channel and message, put on both remote services when the host is set.
    void SetConnection(std::shared_ptr<TROTransportChannel> channel, std::shared_ptr<TROMessage> message);
    void ClearConnection();
    bool Connected() const { return bool(m_contacts); }
    // RORemoteContactService and RORemoteResources; both raise while no host connection is set.
    std::shared_ptr<IContactsService> ContactService() const;
    std::shared_ptr<IResourceService> ResourceService() const;
    std::shared_ptr<TROTransportChannel> Channel() const { return m_channel; }
    std::shared_ptr<TROMessage> Message() const { return m_message; }

    TDAServiceAdapter &DARemoteContacts() { return *m_remoteContacts; }
    TDAGroupedContactsAdapter &DARemoteGroups() { return *m_remoteGroups; }
    TDAServiceAdapter &DARemoteResources() { return *m_remoteResources; }
    TDAServiceAdapter &DARemoteLookupGroup() { return *m_remoteLookup; }
    void SetGroupedRequest(const QString &dataset, const QString &where) { m_remoteGroups->SetGroupedRequest(dataset, where); }

    // ---- client tables (the logical name is the server dataset) ----
    TDACDSDataTable &DAContactList() { return *m_contactList; }              // all contacts
    TDACDSDataTable &DAContactDetails() { return *m_contactDetails; }        // one contact, parameter ContactID
    TDACDSDataTable &DAContactSearch() { return *m_contactSearch; }          // "DAContactList"
    TDACDSDataTable &DAContactByGroup() { return *m_contactByGroup; }        // grouped lists (DARemoteGroups)
    TDACDSDataTable &DAImportContacts() { return *m_importContacts; }
    TDACDSDataTable &DAFamilyList() { return *m_familyList; }
    TDACDSDataTable &DAFamilyDetails() { return *m_familyDetails; }          // one family, parameter PK_FamilyID
    TDACDSDataTable &DAUnAvailiabillity() { return *m_unavailability; }      // parameter F_ContactID
    TDACDSDataTable &DALnkServingPrefrence() { return *m_servingPreference; } // parameters F_ContactID, ContactType
    TDACDSDataTable &DAServingPrefrenceLiturgy() { return *m_preferenceLiturgy; }     // parameter F_ContactID
    TDACDSDataTable &DAServingPrefrenceFrequency() { return *m_preferenceFrequency; } // parameter F_ContactID
    TDACDSDataTable &DAServingFrequency() { return *m_servingFrequency; }
    TDACDSDataTable &DAAllRules() { return *m_allRules; }                    // parameters OwnerID, MemberID
    TDACDSDataTable &DAMinisterSchedule() { return *m_ministerSchedule; }    // narrowed by a where on PK_ContactID
    TDACDSDataTable &DAGroupsList() { return *m_groupsList; }
    TDACDSDataTable &DALnkGroupMembers() { return *m_groupMembers; }
    TDACDSDataTable &DALnkMemberOfGroups() { return *m_memberOfGroups; }     // parameters F_MemberID, F_MemberTypeID
    // "DAListFunctionsByMinistry": the server has no dataset of that name, so opening it fails.
    TDACDSDataTable &DALiturgyByMinistryFunction() { return *m_liturgyByFunction; }
    TDACDSDataTable &DAMinistryfunctionByLiturgy() { return *m_functionByLiturgy; } // parameter LIT_ID
    TDACDSDataTable &DALinkLiturgyToMinistry() { return *m_liturgyToMinistry; }     // parameter MIN_ID
    TDACDSDataTable &MinistryFunctions() { return *m_ministryFunctions; }
    TDACDSDataTable &MinistryTemplates() { return *m_ministryTemplates; }
    TDACDSDataTable &LiturgyTemplates() { return *m_liturgyTemplates; }
    TDACDSDataTable &Locations() { return *m_locations; }

    // The contact the last open/edit routine worked on; the contacts view reads it back.
    QString CurrentContactID;
    // The families view's current family, kept between its activations.
    QString CurrentFamilyID;

    // ---- routines (their names are the log locations of their failures) ----
    // Edits the contact (empty: the current row of DAContactList); true when the dialog ended
    // with OK and everything was saved.
    bool EditContact(const QString &key = {});
    // True when a new contact was saved. Cancel leaves nothing pending in any table. With
    // copyOf, the new contact starts with that contact's last name, address, phones, web
    // address and family ("new as copy").
    bool NewContact(const QString &copyOf = {});
    void NewFamily();
    // True when the routine ran to its end (OK or Cancel).
    bool EditFamily(const QString &key);
    // For the contacts view's "add to a new family": the family dialog over DAFamilyDetails and
    // DAContactList as they stand; the caller applies or cancels. The modal result as a number
    // (1 OK, 2 Cancel), 2 when it failed.
    int ShowFamilyDialog(int mode);
    // Opens the contact's preference tables and schedule.
    void PrepareContactData(const QString &key);

    // Group changes of the picker: DAGroupsList and the member links of groups deleted there.
    bool GroupChangesPending() const;
    // Applies both in one server transaction and reads them again; raises on failure.
    void ApplyGroupChanges();
    void CancelGroupChanges();

    // How the dialogs are run over the tables as the routines prepared them: the contact dialog
    // with the contact's key and whether it is new, the family dialog with its mode (0 new,
    // 1 edit). They edit the tables and answer OK or Cancel; a save that fails after OK tells
    // the user and runs the dialog again with everything as typed. Tests act as the user here.
    std::function<TModalResult(const QString &key, bool isNew)> RunContactDialog;
    std::function<TModalResult(int mode)> RunFamilyDialog;
    // Tells the user why a save failed (through the prompt service unless replaced).
    std::function<void(const QString &message)> ShowSaveFailure;

    // What the views send at once: the tables' changes in one call. When the server refuses,
    // the user is told what failed (text 1446 and the server's reason), every change of the
    // tables is dropped and they are read again, so they show what the server holds and
    // nothing is left for a later save to send. False then; the failure is logged under location.
    // A refusal for another planner's change names the row and offers the stored row instead:
    // on No everything stays pending (false), on Yes the row is loaded and the rest sent.
    // With nothing pending it sends and reads nothing.
    bool SaveOrRevert(const QString &location, const QList<TDACDSDataTable *> &tables, bool refetch = false);
    // The same telling and reading again for a failure that is not a table's (a service call).
    void RevertAfterFailure(const QString &location, const QString &reason, const QList<TDACDSDataTable *> &tables);
    // Runs a service call; when it answers false (text 1445 then) or raises, RevertAfterFailure.
    // True when it succeeded.
    bool CallOrRevert(const QString &location, const QList<TDACDSDataTable *> &tables, const std::function<bool()> &call);
    // Drops every pending change of the open tables, a row being edited too.
    static void CancelAll(const QList<TDACDSDataTable *> &tables);

    // Takes the current row of DAContactList out of its family: F_FamilyID becomes NULL.
    static void FreeFromFamily(TDACDSDataTable &contacts);
    // Puts the current row of DAContactList into the family.
    static void JoinFamily(TDACDSDataTable &contacts, const QString &familyKey);

    // ---- helpers the views share ----
    // Shows only the rows whose F_FamilyID is the key ("F_FamilyID=" + the quoted key).
    static void FilterByFamily(TDACDSDataTable &table, const QString &familyKey);
    // Shows only the rows whose field equals the value (text without regard to case).
    static void FilterByField(TDACDSDataTable &table, const QString &field, const QVariant &value);
    static void EditIfBrowsing(TDACDSDataTable &table);
    // A search hit for a contact, as the host's search hands them.
    static TSearchListItem ContactSearchItem(const QString &key, const QString &firstName, const QString &lastName,
                                             const QString &caption);

    // The logged-on user's id for stamps (the none id while the host has no user).
    QString UserID() const;
    QString UserName() const;

private:
    void BindStamps();
    void Stamp(TDACDSDataTable &table, bool inserted, const QString &keyField, bool created);
    // Tables the contact dialog changes, in the order they reach the server.
    QList<TDACDSDataTable *> ContactDialogTables();
    void CancelContactDialogTables();
    void PrepareDialogTables(const QString &key);
    // Runs the contact dialog until it is cancelled or what it changed is saved.
    bool RunAndSaveContact(const QString &key, bool isNew);
    void SaveContact(bool isNew);
    TModalResult RunFamily(int mode);
    bool RunFamilyUntilSaved(int mode, const QString &where);
    void RestoreContactList();
    void RefreshIfClean(TDACDSDataTable &table);
    // A save another planner's change refused: said with the row's name, the planner chooses
    // whether to load the stored row; his changes otherwise stay for the next try.
    bool OfferStoredRow(const EDAChangedByAnotherUser &refusal);
    // The adapters follow the services: none while there is no connection.
    void ServeAdapters();

    TRvContactsController &m_controller;
    std::shared_ptr<TROTransportChannel> m_channel;
    std::shared_ptr<TROMessage> m_message;
    std::shared_ptr<IContactsService> m_contacts;
    std::shared_ptr<IResourceService> m_resources;

    std::unique_ptr<TDAServiceAdapter> m_remoteContacts;
    std::unique_ptr<TDAGroupedContactsAdapter> m_remoteGroups;
    std::unique_ptr<TDAServiceAdapter> m_remoteResources;
    std::unique_ptr<TDAServiceAdapter> m_remoteLookup;

    std::unique_ptr<TDACDSDataTable> m_contactList;
    std::unique_ptr<TDACDSDataTable> m_contactDetails;
    std::unique_ptr<TDACDSDataTable> m_contactSearch;
    std::unique_ptr<TDACDSDataTable> m_contactByGroup;
    std::unique_ptr<TDACDSDataTable> m_importContacts;
    std::unique_ptr<TDACDSDataTable> m_familyList;
    std::unique_ptr<TDACDSDataTable> m_familyDetails;
    std::unique_ptr<TDACDSDataTable> m_unavailability;
    std::unique_ptr<TDACDSDataTable> m_servingPreference;
    std::unique_ptr<TDACDSDataTable> m_preferenceLiturgy;
    std::unique_ptr<TDACDSDataTable> m_preferenceFrequency;
    std::unique_ptr<TDACDSDataTable> m_servingFrequency;
    std::unique_ptr<TDACDSDataTable> m_allRules;
    std::unique_ptr<TDACDSDataTable> m_ministerSchedule;
    std::unique_ptr<TDACDSDataTable> m_groupsList;
    std::unique_ptr<TDACDSDataTable> m_groupMembers;
    std::unique_ptr<TDACDSDataTable> m_memberOfGroups;
    std::unique_ptr<TDACDSDataTable> m_liturgyByFunction;
    std::unique_ptr<TDACDSDataTable> m_functionByLiturgy;
    std::unique_ptr<TDACDSDataTable> m_liturgyToMinistry;
    std::unique_ptr<TDACDSDataTable> m_ministryFunctions;
    std::unique_ptr<TDACDSDataTable> m_ministryTemplates;
    std::unique_ptr<TDACDSDataTable> m_liturgyTemplates;
    std::unique_ptr<TDACDSDataTable> m_locations;
};

// The hourglass while a routine works.
class TBusyCursor
{
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};
