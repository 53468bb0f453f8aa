#include "server/services/uContactsService.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/DAException.h"
#include "dataaccess/TDABusinessProcessor.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/LogText.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "server/core/uLogOnGate.h"
#include "server/services/ClientSqlCondition.h"
#include "server/services/ServiceErrors.h"
#include "server/services/ServiceRights.h"
#include "server/services/ServiceText.h"

#include <QUuid>

#include <map>

namespace {

const QString kSender = QStringLiteral("ContactsService");

// Persons, families, groups and everything hanging on them are changed with editor rights
// only, as the contacts plug-in offers its changes; the operations are listed by name.
const TServiceRights &Rights()
{
    static const TServiceRights rights(kSender, kEditorRights,
                                       {{"AddContactToFamily", kEditorRights},
                                        {"RemoveContactsFromFamily", kEditorRights},
                                        {"InsertGroupedContact", kEditorRights},
                                        {"RemoveGroupMembers", kEditorRights},
                                        {"DeleteContacts", kEditorRights}});
    return rights;
}

// The groups view's column spellings and the "no liturgy" sub-select it sends letter for letter.
const QString kFunctionColumn = QStringLiteral("tblLnkServingPrefrence.F_MinistryFunctionID");
const QString kLiturgyColumn = QStringLiteral("tblServingPrefrenceLiturgy.F_LiturgyTemplateID");
const QString kGroupColumn = QStringLiteral("tblGroups.PK_GroupID");
const QString kNoLiturgyText = QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblServingPrefrenceLiturgy)");
// NOT EXISTS, because NOT IN gives no row at all once one liturgy link has no contact.
const QString kNoLiturgySql = QStringLiteral("NOT EXISTS (SELECT 1 FROM tblServingPrefrenceLiturgy nl "
                                             "WHERE nl.F_ContactID = tblLnkServingPrefrence.F_ContactID)");

// What each grouped list lets a client filter on; lists not named here take no clause.
const TClientSqlVocabulary &GroupedVocabulary(const QString &datasetName)
{
    static const std::map<QString, TClientSqlVocabulary> vocabularies = [] {
        TClientSqlVocabulary byFunction;
        byFunction.AddColumn(kFunctionColumn, kFunctionColumn)
            .AddColumn(QStringLiteral("F_MinistryFunctionID"), kFunctionColumn)
            .AddFixedText(kNoLiturgyText, kNoLiturgySql);
        TClientSqlVocabulary byGroup;
        byGroup.AddColumn(kGroupColumn, kGroupColumn);
        TClientSqlVocabulary byLiturgy;
        byLiturgy.AddColumn(kLiturgyColumn, kLiturgyColumn).AddColumn(kFunctionColumn, kFunctionColumn);
        std::map<QString, TClientSqlVocabulary> result;
        result.emplace(QStringLiteral("dacontactbyministryfunction"), byFunction);
        result.emplace(QStringLiteral("dacontactsbygroups"), byGroup);
        result.emplace(QStringLiteral("dacontactsbylitugy"), byLiturgy);
        result.emplace(QStringLiteral("dacontactsbyfunctionbyliturgy"), byLiturgy);
        result.emplace(QStringLiteral("dacontactsbyliturgybyministryfunction"), byLiturgy);
        return result;
    }();
    static const TClientSqlVocabulary none;
    const auto found = vocabularies.find(datasetName.toLower());
    return found == vocabularies.end() ? none : found->second;
}

const TClientSqlVocabulary &GroupMemberVocabulary()
{
    static const TClientSqlVocabulary vocabulary = [] {
        TClientSqlVocabulary v;
        v.AddColumn(QStringLiteral("F_GroupID"), QStringLiteral("F_GroupID")).AddColumn(QStringLiteral("F_MemberID"), QStringLiteral("F_MemberID"));
        return v;
    }();
    return vocabulary;
}

// The search dialog's three queries: the text it sends, the statement we run instead, the
// columns it may filter and sort on, and the fields of the answer.
struct TSearchKind
{
    QString ClientSelect;
    QString Sql;
    QString Key;
    TClientSqlVocabulary Condition;
    TClientSqlVocabulary Order;
    TDAFieldList Fields;
};

TDAField Field(const QString &name, TDADataType type, int size = 0, bool key = false)
{
    TDAField field;
    field.Name = name;
    field.DataType = type;
    field.Size = size;
    field.InPrimaryKey = key;
    return field;
}

const QList<TSearchKind> &SearchKinds()
{
    static const QList<TSearchKind> kinds = [] {
        TSearchKind contacts;
        contacts.ClientSelect = QStringLiteral(
            "SELECT DISTINCT tblContacts.PK_ContactID, Firstname +' '+Lastname AS Name, tblContacts.FirstName, tblContacts.LastName, "
            "FlagContact  FROM tblLnkServingPrefrence RIGHT JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = "
            "tblContacts.PK_ContactID WHERE ");
        contacts.Sql = QStringLiteral(
            "SELECT DISTINCT tblContacts.PK_ContactID, tblContacts.FirstName || ' ' || tblContacts.LastName AS Name, "
            "tblContacts.FirstName, tblContacts.LastName, tblContacts.FlagContact FROM tblLnkServingPrefrence "
            "RIGHT JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID");
        contacts.Key = QStringLiteral("tblContacts.PK_ContactID");
        contacts.Condition.AddColumn(QStringLiteral("Firstname"), QStringLiteral("tblContacts.FirstName"))
            .AddColumn(QStringLiteral("Lastname"), QStringLiteral("tblContacts.LastName"))
            .AddColumn(QStringLiteral("F_MinistryFunctionID"), kFunctionColumn);
        contacts.Fields << Field(QStringLiteral("PK_ContactID"), TDADataType::datString, 38, true)
                        << Field(QStringLiteral("Name"), TDADataType::datWideString, 101)
                        << Field(QStringLiteral("FirstName"), TDADataType::datWideString, 50)
                        << Field(QStringLiteral("LastName"), TDADataType::datWideString, 50)
                        << Field(QStringLiteral("FlagContact"), TDADataType::datBoolean);

        TSearchKind families;
        families.ClientSelect = QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHERE ");
        families.Sql = QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies");
        families.Key = QStringLiteral("PK_FamilyID");
        families.Condition.AddColumn(QStringLiteral("Familyname"), QStringLiteral("FamilyName"));
        families.Order.AddColumn(QStringLiteral("FamilyName"), QStringLiteral("FamilyName"));
        families.Fields << Field(QStringLiteral("PK_FamilyID"), TDADataType::datString, 38, true)
                        << Field(QStringLiteral("FamilyName"), TDADataType::datWideString, 75);

        TSearchKind groups;
        groups.ClientSelect = QStringLiteral("SELECT DISTINCT PK_GroupID, GroupName FROM tblGroups WHERE ");
        groups.Sql = QStringLiteral("SELECT DISTINCT PK_GroupID, GroupName FROM tblGroups");
        groups.Key = QStringLiteral("PK_GroupID");
        groups.Condition.AddColumn(QStringLiteral("Groupname"), QStringLiteral("GroupName"));
        groups.Order.AddColumn(QStringLiteral("GroupName"), QStringLiteral("GroupName"));
        groups.Fields << Field(QStringLiteral("PK_GroupID"), TDADataType::datString, 38, true)
                      << Field(QStringLiteral("GroupName"), TDADataType::datWideString, 75);
        return QList<TSearchKind>{contacts, families, groups};
    }();
    return kinds;
}

// A refused client text: a Warning line, then an error reply to the client.
[[noreturn]] void Refuse(const QString &context, const QString &message)
{
    AddToLog(llWarning, kSender, context, LogExcerpt(message));
    throw EClientSqlCondition(message);
}

TDAParamCollection BoundParams(const TClientSqlText &text)
{
    TDAParamCollection params;
    for (const TClientSqlParam &param : text.Params)
        params.Add(param.Name, param.Value);
    return params;
}

// Runs our statement with its values and shapes the rows to the given fields.
TDATableData ReadTable(IDAConnection &connection, const QString &name, const QString &sql, const TDAFieldList &fields,
                       const TDAParamCollection &params)
{
    auto dataset = connection.NewDataset(sql);
    for (TDAParam &param : dataset->GetParams())
        if (const TDAParam *given = params.FindParam(param.Name))
            param = *given;
    dataset->Open();
    QList<int> columns;
    for (const TDAField &field : fields) {
        const int column = dataset->FieldIndex(field.Name);
        if (column < 0)
            throw EDAException(QStringLiteral("The statement of \"%1\" does not return field \"%2\"").arg(name, field.Name));
        columns << column;
    }
    TDATableData table;
    table.Name = name;
    table.Fields = fields;
    for (const QVariantList &row : dataset->TakeRows()) {
        QVariantList values;
        values.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i) {
            const QVariant &value = row.at(columns[i]);
            values << (DAIsNull(value) ? QVariant() : DAConvertValue(value, fields[i].DataType));
        }
        table.Rows << values;
    }
    return table;
}

int Execute(IDAConnection &connection, const QString &sql, const TDAParamCollection &params)
{
    auto statement = connection.NewCommand(sql);
    for (TDAParam &param : statement->GetParams())
        if (const TDAParam *given = params.FindParam(param.Name))
            param = *given;
    return statement->Execute();
}

std::unique_ptr<TROBinaryMemoryStream> Stream(const TDATableData &table)
{
    return std::make_unique<TROBinaryMemoryStream>(TDADataStreamer::WriteDatasets({table}));
}

// The statement the processor writes for a change of the dataset, with its markers, for the log.
QString StatementOfChange(const TDASchemaDataset &dataset, TDAChangeType type)
{
    QStringList columns;
    QStringList keys;
    for (const TDAField &field : dataset.Fields) {
        if (!field.ReadOnly)
            columns << field.Name;
        if (field.InPrimaryKey)
            keys << field.Name + QStringLiteral(" = :OLD_") + field.Name;
    }
    switch (type) {
    case TDAChangeType::ctInsert:
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (:%3)")
            .arg(dataset.TableName, columns.join(QStringLiteral(", ")), columns.join(QStringLiteral(", :")));
    case TDAChangeType::ctUpdate: {
        QStringList sets;
        for (const QString &column : columns)
            sets << column + QStringLiteral(" = :") + column;
        return QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(dataset.TableName, sets.join(QStringLiteral(", ")), keys.join(QStringLiteral(" AND ")));
    }
    case TDAChangeType::ctDelete:
        return QStringLiteral("DELETE FROM %1 WHERE %2").arg(dataset.TableName, keys.join(QStringLiteral(" AND ")));
    }
    return {};
}

} // namespace

TContactsService::TContactsService(TDAConnectionManager &manager, const QString &connectionName)
    : TDataServiceBase(Schema(), manager, connectionName)
{
    TDataAbstractService &service = DataService();
    service.SetLogSender(kSender);
    Rights().Install(*this);
    // The contact list leaves Comments to the contact dialog: an update through it never writes them.
    service.BusinessProcessor(QStringLiteral("DAContactList")).OnBeforeProcessDelta = [](TDABusinessProcessor &processor, TDADeltaChange &change) {
        if (change.ChangeType == TDAChangeType::ctUpdate)
            processor.ClearNewValue(change, QStringLiteral("Comments"));
    };

    auto logError = [](const QString &where) {
        return [where](TDABusinessProcessor &, TDADeltaChange &, const EDAException &error, bool &) {
            AddToLog(llSevere, kSender, where, ErrorMessage(error));
        };
    };
    service.BusinessProcessor(QStringLiteral("DAContactDetails")).OnProcessError = logError(QStringLiteral("BizDAContactDetailsProcessError"));
    service.BusinessProcessor(QStringLiteral("DAImportContacts")).OnProcessError = logError(QStringLiteral("BizImportContactsProcessError"));
    service.BusinessProcessor(QStringLiteral("DAAllRules")).OnProcessError = logError(QStringLiteral("BizAllRulesProcessError"));
    service.BusinessProcessor(QStringLiteral("DAFamilyDetails")).OnProcessError = [](TDABusinessProcessor &, TDADeltaChange &change,
                                                                                      const EDAException &error, bool &) {
        AddToLog(llSevere, kSender, QStringLiteral("BizDAFamilyDetailsProcessError"),
                 ErrorMessage(error) + QLatin1Char('\t') +
                     StatementOfChange(Schema().DatasetByName(QStringLiteral("DAFamilyDetails")), change.ChangeType));
    };

    service.BusinessProcessor(QStringLiteral("DAMinisterSchedule")).SetUpdateCommandName(QStringLiteral("Update_DAMinisterSchedule"));
}

const TDASchema &TContactsService::Schema()
{
    static const std::unique_ptr<TDASchema> schema = [] {
        auto loaded = std::make_unique<TDASchema>();
        loaded->LoadFromFile(QStringLiteral(":/schemas/ContactsService.xml"));
        return loaded;
    }();
    return *schema;
}

bool TContactsService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId == IContactsService::IID) {
        *object = static_cast<IContactsService *>(this);
        return true;
    }
    return TDataServiceBase::queryInterface(interfaceId, object);
}

std::unique_ptr<TROBinaryMemoryStream> TContactsService::GetGroupedContacts(const QString &ADataSet, const QString &AWhereClause)
{
    const QString context = QStringLiteral("GetGroupedContacts");
    const TDASchemaDataset *dataset = Schema().FindDataset(ADataSet);
    if (!dataset)
        Refuse(context, QStringLiteral("The contacts service has no dataset \"%1\".").arg(LogExcerpt(ADataSet, 80)));
    TClientSqlCondition condition;
    try {
        condition = TClientSqlCondition::Parse(AWhereClause, GroupedVocabulary(dataset->Name));
    } catch (const EClientSqlCondition &e) {
        Refuse(context, e.Message());
    }
    // The groups view writes LIKE where it means equality.
    TClientSqlBuildOptions options;
    options.LikeAsEquality = true;
    const TClientSqlText where = condition.BuildSQL(options);
    QString sql = dataset->StatementFor(DataService().GetConnection().GetName());
    if (!where.SQL.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.SQL;
    try {
        TDAParamCollection params = BoundParams(where);
        for (const TDAParam &declared : dataset->Params) {
            TDAParam &param = params.Add(declared.Name);
            param.DataType = declared.DataType;
        }
        return Stream(ReadTable(DataService().GetConnection(), dataset->Name, sql, dataset->Fields, params));
    } catch (...) {
        AddToLog(llSevere, kSender, context, ErrorMessage(std::current_exception()) + QLatin1Char('\t') + sql);
        throw;
    }
}

TDATableData TContactsService::ReadSearch(const QString &query, int maxRecords, const QString &context)
{
    const QList<TSearchKind> &kinds = SearchKinds();
    QList<TClientSqlQueryShape> shapes;
    for (const TSearchKind &kind : kinds)
        shapes << TClientSqlQueryShape{kind.ClientSelect, kind.Condition, kind.Order};
    TClientSqlQuery parsed;
    try {
        parsed = TClientSqlQuery::Parse(query, shapes);
    } catch (const EClientSqlCondition &e) {
        Refuse(context, e.Message());
    }
    const TSearchKind &kind = kinds[parsed.ShapeIndex];
    const TClientSqlText where = parsed.Where.BuildSQL();
    QString sql = kind.Sql + QStringLiteral(" WHERE ") + where.SQL + QStringLiteral(" ORDER BY ");
    // The key last, so that the rows and the cut at the limit repeat.
    if (!parsed.OrderBy.IsEmpty())
        sql += parsed.OrderBy.BuildSQL() + QStringLiteral(", ");
    sql += kind.Key;
    if (maxRecords >= 0)
        sql += QStringLiteral(" LIMIT ") + QString::number(maxRecords);
    return ReadTable(DataService().GetConnection(), QStringLiteral("SearchData"), sql, kind.Fields, BoundParams(where));
}

std::unique_ptr<TROBinaryMemoryStream> TContactsService::GetSearchData(const QString &ASearchQuery, qint32 AMaxRecords)
{
    const QString context = QStringLiteral("GetSearchData-\t") + LogExcerpt(ASearchQuery) + QLatin1Char('-');
    try {
        return Stream(ReadSearch(ASearchQuery, AMaxRecords, context));
    } catch (const EClientSqlCondition &) {
        throw; // logged as a refusal
    } catch (...) {
        AddToLog(llSevere, kSender, context, ErrorMessage(std::current_exception()));
        throw;
    }
}

std::unique_ptr<TROBinaryMemoryStream> TContactsService::GetSearchSchema(const QString &ASearchQuery)
{
    const QString context = QStringLiteral("GetSearchSchema");
    try {
        return Stream(ReadSearch(ASearchQuery, 0, context));
    } catch (const EClientSqlCondition &) {
        throw;
    } catch (...) {
        AddToLog(llSevere, kSender, context, ErrorMessage(std::current_exception()));
        throw;
    }
}

bool TContactsService::AddContactToFamily(const QString &ContactID, const QString &FamilyID)
{
    Rights().Require(*this, QStringLiteral("AddContactToFamily"), QStringLiteral("\"AddContactToFamily\""));
    const QString sql = QStringLiteral("UPDATE tblContacts SET F_FamilyID = :FamilyID WHERE PK_ContactID = :ContactID");
    AddToLog(llSevere, kSender, QStringLiteral("Add"),
             sql + QStringLiteral(" (FamilyID = \"%1\", ContactID = \"%2\")").arg(FamilyID.left(80), ContactID.left(80)));
    try {
        TDAParamCollection params;
        // No family is NULL, never an empty text.
        params.Add(QStringLiteral("FamilyID"), FamilyID.trimmed().isEmpty() ? QVariant() : QVariant(FamilyID.trimmed()))
            .DataType = TDADataType::datString;
        params.Add(QStringLiteral("ContactID"), ContactID.trimmed());
        Execute(DataService().GetConnection(), sql, params);
        return true;
    } catch (...) {
        AddToLog(llSevere, kSender, QStringLiteral("AddContactToFamily"), ErrorMessage(std::current_exception()));
        return false;
    }
}

bool TContactsService::RemoveContactsFromFamily(const QString &FamilyID)
{
    Rights().Require(*this, QStringLiteral("RemoveContactsFromFamily"), QStringLiteral("\"RemoveContactsFromFamily\""));
    const QStringList families = KeyLines(FamilyID);
    if (families.isEmpty())
        return true;
    IDAConnection &connection = DataService().GetConnection();
    return RunInTransaction(connection, kSender, QStringLiteral("RemoveContactsFromFamily"), [&] {
        for (const QString &family : families) {
            TDAParamCollection params;
            params.Add(QStringLiteral("FamilyID"), family);
            Execute(connection, QStringLiteral("UPDATE tblContacts SET F_FamilyID = NULL WHERE F_FamilyID = :FamilyID"), params);
        }
    });
}

bool TContactsService::InsertGroupedContact(const QString &AMemberID, const QString &AMemberTypeID, const QString &AGroupID)
{
    Rights().Require(*this, QStringLiteral("InsertGroupedContact"), QStringLiteral("\"InsertGroupedContact\""));
    IDAConnection &connection = DataService().GetConnection();
    return RunInTransaction(connection, kSender, QStringLiteral("InsertGroupedContact"), [&] {
        TDAParamCollection params;
        params.Add(QStringLiteral("LinkID"), NewKey());
        params.Add(QStringLiteral("MemberID"), AMemberID);
        params.Add(QStringLiteral("MemberTypeID"), AMemberTypeID);
        params.Add(QStringLiteral("GroupID"), AGroupID);
        Execute(connection,
                QStringLiteral("INSERT INTO tblLnkGroupmembers (PK_LinkID, F_MemberID, F_MemberTypeID, F_GroupID) "
                               "VALUES (:LinkID, :MemberID, :MemberTypeID, :GroupID)"),
                params);
    });
}

bool TContactsService::RemoveGroupMembers(const QString &, const QString &AWhere)
{
    Rights().Require(*this, QStringLiteral("RemoveGroupMembers"), QStringLiteral("\"RemoveGroupMembers\""));
    const QString context = QStringLiteral("RemoveGroupMembers");
    TClientSqlCondition condition;
    try {
        condition = TClientSqlCondition::Parse(AWhere, GroupMemberVocabulary());
    } catch (const EClientSqlCondition &e) {
        Refuse(context, e.Message());
    }
    if (condition.IsEmpty())
        Refuse(context, QStringLiteral("Refused SQL text from the client: removing group members needs a condition."));
    const TClientSqlText where = condition.BuildSQL();
    const QString sql = QStringLiteral("DELETE FROM tblLnkGroupmembers WHERE ") + where.SQL;
    IDAConnection &connection = DataService().GetConnection();
    return RunInTransaction(connection, kSender, context + QLatin1Char(' ') + sql,
                            [&] { Execute(connection, sql, BoundParams(where)); });
}

void TContactsService::DeleteContact(const QString &contactId)
{
    TDataAbstractService &service = DataService();
    service.ExecuteCommand(QStringLiteral("UnAssignContact"), {DataParameter{QStringLiteral("ContactID"), contactId}});
    service.ExecuteCommand(QStringLiteral("DeleteAllRulesForContact"), {DataParameter{QStringLiteral("MemberID"), contactId},
                                                                         DataParameter{QStringLiteral("OwnerID"), contactId}});
    service.ExecuteCommand(QStringLiteral("DeleteAllUnavailabilityForContact"), {DataParameter{QStringLiteral("ContactID"), contactId}});
    TableRequestInfoV5 info;
    info.Parameters << DataParameter{QStringLiteral("ContactID"), contactId};
    const TDATableData preferences = service.ReadDataset(QStringLiteral("ServingPrefsForContact"), info);
    for (const QVariantList &row : preferences.Rows) {
        const DataParameterArray preference{DataParameter{QStringLiteral("PrefID"), row.at(0)}};
        service.ExecuteCommand(QStringLiteral("DeleteAllServingIDsFrequency"), preference);
        service.ExecuteCommand(QStringLiteral("DeleteAllServingIDsTemplates"), preference);
    }
    service.ExecuteCommand(QStringLiteral("DeleteAllServingPreferencesForContact"), {DataParameter{QStringLiteral("ContactID"), contactId}});
    service.ExecuteCommand(QStringLiteral("DeleteAllGroupLinksForContact"), {DataParameter{QStringLiteral("ContactID"), contactId}});
    // The person's own row goes in the same transaction, so no failure leaves a person stripped
    // of assignments, rules, preferences and groups.
    service.ExecuteCommand(QStringLiteral("DeleteContactRecord"), {DataParameter{QStringLiteral("ContactID"), contactId}});
}

bool TContactsService::DeleteContacts(const QString &AContactList)
{
    Rights().Require(*this, QStringLiteral("DeleteContacts"), QStringLiteral("\"DeleteContacts\""));
    const QStringList contacts = KeyLines(AContactList);
    if (contacts.isEmpty())
        return true;
    // All persons or none: a failure half-way must not leave some references cleared or some
    // persons gone.
    return RunInTransaction(DataService().GetConnection(), kSender, QStringLiteral("DeleteContact"), [&] {
        for (const QString &contact : contacts)
            DeleteContact(contact);
    });
}
