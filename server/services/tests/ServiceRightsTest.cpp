// Every change a client can ask of the data services, walked over the proxies as a plain user,
// an editor and an administrator: the datasets and commands of each service's schema (so a new
// one is walked too) and the services' own changing operations. What the caller's rights do
// not cover is answered with the one refusal and leaves the database as it was; what they
// cover goes through.
#include "testsupport/ServiceHarness.h"
#include "server/services/uContactsService.h"
#include "server/services/uEventsService.h"
#include "server/services/uResourceService.h"
#include "server/services/uSettingsService.h"

#include "dataaccess/TDADataStreamer.h"
#include "remoting/ROErrors.h"

#include <functional>

namespace {

using namespace kestrova::test;

// Who may: the rules the clients' plug-ins keep, stated here on their own.
enum class Who { Everyone, Editors, Administrators, Nobody };

constexpr int kUser = 0, kEditor = 1, kAdministrator = 2;
const char *const kCallerNames[] = {"user", "editor", "administrator"};

bool Allowed(Who who, int caller)
{
    switch (who) {
    case Who::Everyone:
        return true;
    case Who::Editors:
        return caller != kUser;
    case Who::Administrators:
        return caller == kAdministrator;
    case Who::Nobody:
        return false;
    }
    return false;
}

struct TServiceRules
{
    const char *Name;
    const TDASchema &(*Schema)();
    std::function<std::shared_ptr<IDataAbstractService>(const ServiceClient &)> Proxy;
    Who Default;
    std::map<QString, Who> Named;
};

const QString kEditorLevel = QStringLiteral("{86A13150-8F61-47CC-9503-A5BFAE09F466}");
const QString kEditorId = QStringLiteral("{A0000000-0000-0000-0000-0000000000ED}");
const QString kTemplate = QStringLiteral("{7E000000-0000-0000-0000-000000000001}");

class ServiceRights : public ServiceHarness
{
protected:
    void SetUp() override
    {
        ServiceHarness::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Sql(QStringLiteral("INSERT INTO tblUserLevels (PK_UserLevelID, UserLevelName, UserlevelValue) VALUES ('%1', 'Editor', 1);"
                           "INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName) VALUES ('%2', 'Sunday');")
                .arg(kEditorLevel, kTemplate));
        AddUser(kEditorId, QStringLiteral("editor"), HashPassword(QStringLiteral("editor-Secret1")), kEditorLevel);
        callers[kUser] = Member();
        callers[kEditor] = LogOn(QStringLiteral("editor"), QStringLiteral("editor-Secret1"));
        callers[kAdministrator] = Administrator();
        callerIds[kUser] = kMemberId;
        callerIds[kEditor] = kEditorId;
        callerIds[kAdministrator] = kAdministratorId;
        probe = Connection();
        for (const QStringList &row : db.rows(QStringLiteral(
                 "SELECT table_name FROM information_schema.tables WHERE table_schema = 'dbo' AND table_type = 'BASE TABLE'")))
            tables << QStringLiteral("(SELECT count(*) || ':' || coalesce(sum(hashtext(t::text)::bigint), 0) FROM dbo.%1 t)").arg(row.at(0));
    }

    // One value read on a connection kept for the test: a connection per look costs too much.
    QString Scalar(const QString &sql)
    {
        auto dataset = probe->NewDataset(sql);
        dataset->Open();
        return dataset->Eof() ? QString() : dataset->Value(0, 0).toString();
    }

    // Everything the database holds, in one text (a sum of row hashes: no table is sorted).
    QString Fingerprint() { return Scalar(QStringLiteral("SELECT md5(concat_ws('#', %1))").arg(tables.join(QLatin1Char(',')))); }

    // A value no other attempt uses, of the kind the field or parameter takes.
    QVariant Fresh(const QString &name, TDADataType type, int size)
    {
        if (name.compare(QLatin1String("F_MinistryTemplateID"), Qt::CaseInsensitive) == 0)
            return kTemplate; // the one reference the database enforces
        ++counter;
        switch (DAValueKind(type)) {
        case TDAValueKind::Int32:
        case TDAValueKind::Int64:
            return counter;
        case TDAValueKind::Double:
            return 1.5;
        case TDAValueKind::Boolean:
            return false;
        case TDAValueKind::DateTime:
            return QDateTime(QDate(2026, 1, 1), QTime(10, 0));
        case TDAValueKind::Bytes:
            return QByteArrayLiteral("x");
        default: {
            const QString text = QStringLiteral("{R%1-0000-0000-0000-000000000000}").arg(counter, 7, 10, QLatin1Char('0'));
            return size > 0 ? text.left(size) : text;
        }
        }
    }

    // One change set inserting one row of every field's fresh value (or the given ones).
    TDADelta Insertion(const TDASchemaDataset &dataset, const QVariantMap &given = {})
    {
        TDADelta delta;
        delta.LogicalName = dataset.Name;
        delta.Fields = dataset.Fields;
        TDADeltaChange change(1, TDAChangeType::ctInsert, int(delta.Fields.size()));
        for (int i = 0; i < delta.Fields.size(); ++i) {
            const TDAField &field = delta.Fields[i];
            change.SetNewValue(i, given.contains(field.Name) ? given.value(field.Name) : Fresh(field.Name, field.DataType, field.Size));
        }
        delta.Changes << change;
        return delta;
    }

    // The refusal's class name, "answered", or the error of any other failure.
    static QString Outcome(const std::function<void()> &call)
    {
        try {
            call();
        } catch (const EROServerError &e) {
            if (e.ClassName() == QLatin1String("EROAccessDenied"))
                return e.Message().endsWith(QLatin1String(" is not allowed for this user")) ? e.ClassName() : e.Message();
            return QStringLiteral("failed: ") + e.Message();
        }
        return QStringLiteral("answered");
    }

    // One change asked for; effect tells whether it was made.
    struct TAttempt
    {
        QString What;
        Who Rule;
        std::function<void()> Call;
        std::function<bool()> Effect;
    };

    // Runs the attempts as the caller, those the rules refuse first: each refused one must be
    // answered with the refusal and not have its effect, and all of them together must leave
    // the database as it was; each allowed one must be answered and have its effect.
    void Run(int caller, const std::vector<TAttempt> &attempts)
    {
        const QString before = Fingerprint();
        for (bool allowed : {false, true}) {
            for (const TAttempt &attempt : attempts) {
                if (Allowed(attempt.Rule, caller) != allowed)
                    continue;
                SCOPED_TRACE((attempt.What + QStringLiteral(" as ") + QLatin1String(kCallerNames[caller])).toStdString());
                const QString outcome = Outcome(attempt.Call);
                if (allowed) {
                    EXPECT_EQ(outcome, QStringLiteral("answered"));
                } else {
                    EXPECT_EQ(outcome == QLatin1String("EROAccessDenied"), attempt.Rule != Who::Nobody) << outcome.toStdString();
                    EXPECT_NE(outcome, QStringLiteral("answered"));
                }
                EXPECT_TRUE(!attempt.Effect || attempt.Effect() == allowed);
                ++walked;
            }
            EXPECT_TRUE(allowed || Fingerprint() == before) << "after the refused changes as " << kCallerNames[caller];
        }
    }

    void Update(IDataAbstractService &service, const TDADelta &delta)
    {
        const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
        for (const TDADelta &answered : TDADataStreamer::ReadDeltas(service.UpdateData(&request)->Bytes()))
            for (const TDADeltaChange &change : answered.Changes)
                EXPECT_EQ(change.Status, TDAChangeStatus::csResolved) << change.Message.toStdString();
    }

    QString Count(const QString &table, const QString &condition)
    {
        return Scalar(QStringLiteral("SELECT count(*) FROM dbo.%1 WHERE %2").arg(table, condition));
    }

    std::unique_ptr<IDAConnection> probe;
    ServiceClient callers[3];
    QString callerIds[3];
    QStringList tables;
    int counter = 0;
    int walked = 0;
};

TEST_F(ServiceRights, EveryChangeOfEveryServiceIsRefusedOrAllowedByTheCallersRights)
{
    const std::vector<TServiceRules> services = {
        {"SettingsService", &TSettingsService::Schema, [](const ServiceClient &c) { return c.Service<CoSettingsService>(); },
         Who::Administrators,
         {{QStringLiteral("Insert_tblUsers"), Who::Nobody}, {QStringLiteral("Update_tblUsers"), Who::Nobody},
          {QStringLiteral("Delete_tblUsers"), Who::Nobody}}},
        {"ContactsService", &TContactsService::Schema, [](const ServiceClient &c) { return c.Service<CoContactsService>(); }, Who::Editors, {}},
        {"EventsService", &TEventsService::Schema, [](const ServiceClient &c) { return c.Service<CoEventsService>(); }, Who::Everyone,
         {{QStringLiteral("DAEventColors"), Who::Administrators}}},
        {"ResourceService", &TResourceService::Schema, [](const ServiceClient &c) { return c.Service<CoResourceService>(); },
         Who::Administrators, {}},
    };
    // Rows of each caller's own for the operations and for his stored system setting.
    for (int caller : {kUser, kEditor, kAdministrator})
        Sql(QStringLiteral("INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('F%1', 'Family');"
                           "INSERT INTO tblContacts (PK_ContactID, LastName, F_FamilyID) VALUES ('C%1', 'Gone', NULL), ('K%1', 'Kin', 'F%1'), "
                           "('J%1', 'Joins', NULL);"
                           "INSERT INTO tblGroups (PK_GroupID, GroupName) VALUES ('G%1', 'Group');"
                           "INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID, F_MemberTypeID) VALUES ('L%1', 'G%1', 'K%1', '%2');"
                           "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES ('M%1', 'Function');"
                           "INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactType) "
                           "VALUES ('P%1', 'K%1', 'M%1', 0);"
                           "INSERT INTO tblSettings (APPID, F_UserID, SettingsKey, SettingsValue, SystemSetting) VALUES ('A01', '%3', 'Sys', 'v', 1);")
                .arg(QString::number(caller), EmptyGUID, callerIds[caller]));

    const TDASchemaDataset &settings = TSettingsService::Schema().DatasetByName(QStringLiteral("DASettings"));
    for (int caller : {kUser, kEditor, kAdministrator}) {
        std::vector<TAttempt> attempts;
        const auto rowThere = [this](const QString &table, const QString &condition) {
            return [this, table, condition] { return Count(table, condition) != QLatin1String("0"); };
        };
        const auto rowGone = [this](const QString &table, const QString &condition) {
            return [this, table, condition] { return Count(table, condition) == QLatin1String("0"); };
        };

        // Every dataset that takes changes, by an insertion, and every command of every schema.
        for (const TServiceRules &rules : services) {
            const auto who = [&](const QString &name) { return rules.Named.count(name) ? rules.Named.at(name) : rules.Default; };
            const std::shared_ptr<IDataAbstractService> service = rules.Proxy(callers[caller]);
            for (const TDASchemaDataset &dataset : rules.Schema().Datasets()) {
                if (dataset.TableName.isEmpty())
                    continue; // read-only: no change of it is written for anyone
                const TDADelta delta = Insertion(dataset);
                QStringList row;
                for (int i = 0; i < dataset.Fields.size(); ++i)
                    if (dataset.Fields[i].InPrimaryKey)
                        row << QStringLiteral("%1 = '%2'").arg(dataset.Fields[i].Name, delta.Changes[0].NewValue(i).toString());
                attempts.push_back({QLatin1String(rules.Name) + QLatin1Char('.') + dataset.Name, who(dataset.Name),
                                    [this, service, delta] { Update(*service, delta); },
                                    rowThere(dataset.TableName, row.join(QStringLiteral(" AND ")))});
            }
            for (const TDASchemaCommand &command : rules.Schema().Commands()) {
                DataParameterArray parameters;
                for (const TDAParam &p : command.Params)
                    parameters << DataParameter{p.Name, Fresh(p.Name, p.DataType, p.Size)};
                const QString name = command.Name;
                attempts.push_back({QLatin1String(rules.Name) + QLatin1Char('.') + name, who(name),
                                    [service, name, parameters] { service->ExecuteCommand(name, parameters); }, {}});
            }
        }

        // A user's own settings.
        const QString me = callerIds[caller];
        const std::shared_ptr<ISettingsService> own = callers[caller].Service<CoSettingsService>();
        const auto mine = [&](const QString &key, bool system) {
            return Insertion(settings, {{QStringLiteral("F_UserID"), me}, {QStringLiteral("SettingsKey"), key}, {QStringLiteral("SystemSetting"), system}});
        };
        attempts.push_back({QStringLiteral("own setting"), Who::Everyone, [this, own, d = mine(QStringLiteral("Mine"), false)] { Update(*own, d); },
                            rowThere(QStringLiteral("tblSettings"), QStringLiteral("SettingsKey = 'Mine' AND F_UserID = '%1'").arg(me))});
        attempts.push_back({QStringLiteral("own system setting"), Who::Administrators,
                            [this, own, d = mine(QStringLiteral("MineSys"), true)] { Update(*own, d); },
                            rowThere(QStringLiteral("tblSettings"), QStringLiteral("SettingsKey = 'MineSys' AND F_UserID = '%1'").arg(me))});
        // A system setting stored for him stays out of his reach, though the change names only its value.
        TDADelta change = mine(QStringLiteral("Sys"), false);
        change.Changes[0] = TDADeltaChange(1, TDAChangeType::ctUpdate, int(change.Fields.size()));
        for (const auto &[field, value] : {std::pair{"APPID", QStringLiteral("A01")}, std::pair{"F_UserID", me}, std::pair{"SettingsKey", QStringLiteral("Sys")}})
            change.Changes[0].SetOldValue(DAFindField(change.Fields, QLatin1String(field)), value);
        change.Changes[0].SetNewValue(DAFindField(change.Fields, QStringLiteral("SettingsValue")), QStringLiteral("changed"));
        attempts.push_back({QStringLiteral("own stored system setting"), Who::Administrators, [this, own, change] { Update(*own, change); },
                            rowThere(QStringLiteral("tblSettings"), QStringLiteral("SettingsValue = 'changed' AND F_UserID = '%1'").arg(me))});

        // The services' own changing operations, each on the rows made for this caller.
        const QString n = QString::number(caller);
        const std::shared_ptr<IContactsService> contacts = callers[caller].Service<CoContactsService>();
        const std::shared_ptr<IResourceService> resources = callers[caller].Service<CoResourceService>();
        const auto where = [&](const char *condition) { return QString::fromLatin1(condition).arg(n); };
        const auto ok = [](bool answer) { EXPECT_TRUE(answer); };
        attempts.push_back({QStringLiteral("DeleteContacts"), Who::Editors, [=] { ok(contacts->DeleteContacts(QLatin1Char('C') + n)); },
                            rowGone(QStringLiteral("tblContacts"), where("PK_ContactID = 'C%1'"))});
        attempts.push_back({QStringLiteral("AddContactToFamily"), Who::Editors,
                            [=] { ok(contacts->AddContactToFamily(QLatin1Char('J') + n, QLatin1Char('F') + n)); },
                            rowThere(QStringLiteral("tblContacts"), where("PK_ContactID = 'J%1' AND F_FamilyID = 'F%1'"))});
        attempts.push_back({QStringLiteral("RemoveContactsFromFamily"), Who::Editors, [=] { ok(contacts->RemoveContactsFromFamily(QLatin1Char('F') + n)); },
                            rowGone(QStringLiteral("tblContacts"), where("F_FamilyID = 'F%1'"))});
        attempts.push_back({QStringLiteral("InsertGroupedContact"), Who::Editors,
                            [=] { ok(contacts->InsertGroupedContact(QLatin1Char('J') + n, EmptyGUID, QLatin1Char('G') + n)); },
                            rowThere(QStringLiteral("tblLnkGroupmembers"), where("F_MemberID = 'J%1'"))});
        attempts.push_back({QStringLiteral("RemoveGroupMembers"), Who::Editors,
                            [=] { ok(contacts->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), where("F_GroupID = 'G%1'"))); },
                            rowGone(QStringLiteral("tblLnkGroupmembers"), where("F_GroupID = 'G%1'"))});
        attempts.push_back({QStringLiteral("DeleteMinistryFunctions"), Who::Administrators,
                            [=] { ok(resources->DeleteMinistryFunctions(QLatin1Char('M') + n)); },
                            rowGone(QStringLiteral("tblLnkServingPrefrence"), where("F_MinistryFunctionID = 'M%1'"))});
        Run(caller, attempts);
    }
    EXPECT_GT(walked, 250);
}

} // namespace
