// The contacts service: generic access to persons, families, groups, serving preferences,
// unavailable dates and serving rules, plus the grouped lists, the search, family and group
// membership changes and the cascade that clears what refers to deleted persons. SQL text
// from clients never runs: it is read into terms and rebuilt with bound values. Every change
// takes editor rights (bit 0 of the caller's level).
#pragma once

#include "contract/TDataServiceBase.h"

struct TDATableData;

class TContactsService : public TDataServiceBase, public IContactsService
{
public:
    // A connection of its own from the manager's definition of that name, for the object's life.
    explicit TContactsService(TDAConnectionManager &manager, const QString &connectionName = QStringLiteral("MSSQL"));

    // The service's schema, read once from the program's resources.
    static const TDASchema &Schema();

    bool queryInterface(const QUuid &interfaceId, void **object) override;

    std::unique_ptr<TROBinaryMemoryStream> GetGroupedContacts(const QString &ADataSet, const QString &AWhereClause) override;
    std::unique_ptr<TROBinaryMemoryStream> GetSearchData(const QString &ASearchQuery, qint32 AMaxRecords) override;
    std::unique_ptr<TROBinaryMemoryStream> GetSearchSchema(const QString &ASearchQuery) override;
    bool AddContactToFamily(const QString &ContactID, const QString &FamilyID) override;
    bool RemoveContactsFromFamily(const QString &FamilyID) override;
    bool InsertGroupedContact(const QString &AMemberID, const QString &AMemberTypeID, const QString &AGroupID) override;
    bool RemoveGroupMembers(const QString &ADataSet, const QString &AWhere) override;
    bool DeleteContacts(const QString &AContactList) override;

private:
    // The search query's rows; maxRecords < 0 reads all of them.
    TDATableData ReadSearch(const QString &query, int maxRecords, const QString &context);
    void DeleteContact(const QString &contactId);
};
