#include "server/services/uSettingsService.h"

#include "server/database/DatabaseMaintenance.h"
#include "server/database/uDMServerDatabase.h"
#include "server/services/PasswordHash.h"
#include "server/services/ServiceRights.h"
#include "server/services/ServiceErrors.h"
#include "server/services/ServiceText.h"
#include "server/services/uLogOnService.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDABusinessProcessor.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/FileResolver.h"
#include "foundation/LogText.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "remoting/ROErrors.h"
#include "remoting/ROSessionManager.h"

#include <QFile>
#include <QTextStream>

#include <stdexcept>

namespace {

const QString kSender = QStringLiteral("SettingsService");
const QString kUsers = QStringLiteral("tblUsers");
const QString kPassword = QStringLiteral("LogonPassword");
const QString kSecretAnswer = QStringLiteral("SecretAnswer");
const QString kAccount = QStringLiteral("WindowsAccount");
const QString kSecretQuestion = QStringLiteral("SecretQuestion");
const QString kSettings = QStringLiteral("DASettings");
const QString kSettingsUser = QStringLiteral("F_UserID");
const QString kSystemSetting = QStringLiteral("SystemSetting");
const QString kUserParam = QStringLiteral("UserID");
const QString kMigrationSource = QStringLiteral("Access");
const QString kMigrationTarget = QStringLiteral("MSSQL_Migrate");
// Below this version a database is one the migration replaces.
constexpr int kMigratedVersion = 12;

// The tables the migration copies, in the order it copies them.
const QStringList kMigratedTables = {
    QStringLiteral("tblBlobSettings"), QStringLiteral("tblCalenderData"), QStringLiteral("tblContacts"),
    QStringLiteral("tblContactTypes"), QStringLiteral("tblDBVersion"), QStringLiteral("tblEventColors"),
    QStringLiteral("tblEvents"), QStringLiteral("tblEventSeries"), QStringLiteral("tblFamilies"),
    QStringLiteral("tblGroups"), QStringLiteral("tblHistoryStartDate"), QStringLiteral("tblLiturgyTemplates"), QStringLiteral("tblLnkContactFunctionFrequency"),
    QStringLiteral("tblLnkEventSeries"), QStringLiteral("tblLnkGroupmembers"),
    QStringLiteral("tblLnkMinistryTemplateToMinistryFunction"), QStringLiteral("tblLnkServingPrefrence"),
    QStringLiteral("tblLnkServingRules"), QStringLiteral("tblLocations"), QStringLiteral("tblMinistryFunctions"),
    QStringLiteral("tblMinistryTemplates"), QStringLiteral("tblRuleTypes"), QStringLiteral("tblScheduledLiturgies"),
    QStringLiteral("tblScheduledMinistryFunctions"), QStringLiteral("tblServingFrequency"),
    QStringLiteral("tblServingPrefrenceFrequency"), QStringLiteral("tblServingPrefrenceLiturgy"),
    QStringLiteral("tblSettings"), QStringLiteral("tblUnAvailiabillity"), QStringLiteral("tblUserLevels"),
    QStringLiteral("tblUsers")};
// Databases older than the history start date lack its table; the patch ladder then makes it.
const QStringList kOptionalTables = {QStringLiteral("tblHistoryStartDate")};


// Everything here is the settings' to change, and so an administrator's; a user's own settings
// rows that are not system settings and his own layouts are his (see OwnUserSettings and
// CheckCommand).
const TServiceRights &Rights()
{
    static const TServiceRights rights(kSender, kAdministratorRights,
                                       {{"DeleteUser", kAdministratorRights}, {"RunMSSQLMigration", kAdministratorRights}});
    return rights;
}

// A field's value before and after a change of a delta; null where the delta does not carry it.
QVariant OldValue(const TDADelta &delta, const TDADeltaChange &change, const QString &field)
{
    const int i = DAFindField(delta.Fields, field);
    return i >= 0 && change.HasOldValue(i) ? change.OldValue(i) : QVariant();
}

QVariant NewValue(const TDADelta &delta, const TDADeltaChange &change, const QString &field)
{
    const int i = DAFindField(delta.Fields, field);
    if (i < 0)
        return QVariant();
    return change.HasNewValue(i) ? change.NewValue(i) : change.HasOldValue(i) ? change.OldValue(i) : QVariant();
}

bool IsTrue(const QVariant &value)
{
    return !DAIsNull(value) && value.toBool();
}

void Execute(IDAConnection &connection, const QString &sql)
{
    connection.NewCommand(sql)->Execute();
}

QStringList ScriptLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(QStringLiteral("Cannot read the creation script %1").arg(fileName).toStdString());
    QStringList lines;
    QTextStream in(&file);
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

} // namespace

TSettingsService::TSettingsService(const TSettingsServiceContext &context)
    : TDataServiceBase(Schema(), context.Manager, context.ConnectionName), m_context(context)
{
    DataService().SetLogSender(kSender);
    // A failed change set leaves its message in the log.
    auto logFailure = [](TDABusinessProcessor &processor, TDADeltaChange &, const EDAException &error, bool &) {
        AddToLog(llSevere, kSender, QStringLiteral("UpdateData"), processor.GetReferencedDataset() + QStringLiteral(": ") + ErrorMessage(error));
    };
    const struct
    {
        const char *dataset;
        const char *insert;
        const char *remove;
        const char *update;
    } processors[] = {{"tblUsers", "Insert_tblUsers", "Delete_tblUsers", "Update_tblUsers"},
                      {"DALocations", "Insert_DALocations", "Delete_DALocations", "Update_DALocations"},
                      {"DA_HistoryDate", "Insert_DA_HistoryDate", "Delete_DA_HistoryDate", "Update_DA_HistoryDate"}};
    for (const auto &p : processors) {
        TDABusinessProcessor &processor = DataService().BusinessProcessor(QLatin1String(p.dataset));
        processor.SetInsertCommandName(QLatin1String(p.insert));
        processor.SetDeleteCommandName(QLatin1String(p.remove));
        processor.SetUpdateCommandName(QLatin1String(p.update));
        processor.OnProcessError = logFailure;
    }

    // The accounts of automatic log-on and the secret questions are an administrator's to see.
    DataService().SetWithheldFields([this](const QString &dataset) {
        return dataset.compare(kUsers, Qt::CaseInsensitive) == 0 && !MayChangeUsers() ? QStringList{kAccount, kSecretQuestion} : QStringList();
    });

    DataService().SetDeltaCheck([this](const TDADelta &delta) {
        if (delta.LogicalName.compare(kSettings, Qt::CaseInsensitive) == 0 && OwnUserSettings(delta))
            return;
        Rights().Require(*this, delta.LogicalName, TServiceRights::Changing(delta.LogicalName));
    });
    SetCommandCheck([this](const QString &command, const DataParameterArray &parameters) { CheckCommand(command, parameters); });

    DataService().BusinessProcessor(kUsers).OnBeforeProcessDelta = [](TDABusinessProcessor &processor, TDADeltaChange &change) {
        // Only a password the change sets is new; the old value of one it does not set is
        // what the client read, never a password to hash again.
        if (change.ChangeType == TDAChangeType::ctDelete || !processor.HasField(kPassword) || !processor.HasNewValue(change, kPassword))
            return;
        // A NULL password leaves the stored one as it is (the update keeps it); any text given
        // is a new password and is stored as its hash.
        const QVariant password = processor.GetNewValue(change, kPassword);
        if (!DAIsNull(password))
            processor.SetNewValue(change, kPassword, HashPassword(password.toString()));
    };
}

const TDASchema &TSettingsService::Schema()
{
    static const std::unique_ptr<TDASchema> schema = [] {
        auto loaded = std::make_unique<TDASchema>();
        loaded->LoadFromFile(QStringLiteral(":/schemas/SettingsService.xml"));
        return loaded;
    }();
    return *schema;
}

bool TSettingsService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId == ISettingsService::IID) {
        *object = static_cast<ISettingsService *>(this);
        return true;
    }
    return TDataServiceBase::queryInterface(interfaceId, object);
}

bool TSettingsService::MayChangeUsers()
{
    return TServiceRights::Holds(Session().get(), DataService().GetConnection(), kAdministratorRights);
}

bool TSettingsService::MayActFor(const QVariant &userId)
{
    const std::shared_ptr<TROSession> session = Session();
    const std::optional<TvoUser> caller = session ? session->User() : std::nullopt;
    if (caller && !DAIsNull(userId) && userId.toString().compare(caller->UserID, Qt::CaseInsensitive) == 0)
        return true;
    return MayChangeUsers();
}

bool TSettingsService::OwnUserSettings(const TDADelta &delta)
{
    const std::shared_ptr<TROSession> session = Session();
    const std::optional<TvoUser> caller = session ? session->User() : std::nullopt;
    if (!caller)
        return false;
    const auto own = [&](const QVariant &userId) {
        return !DAIsNull(userId) && userId.toString().compare(caller->UserID, Qt::CaseInsensitive) == 0;
    };
    std::unique_ptr<TDAEDataset> stored;
    for (const TDADeltaChange &change : delta.Changes) {
        if (change.ChangeType != TDAChangeType::ctInsert) {
            if (!own(OldValue(delta, change, kSettingsUser)))
                return false;
            // An update carries only what it changes: whether the row is a system setting is
            // what the table holds.
            if (!stored)
                stored = DataService().GetConnection().NewDataset(QStringLiteral(
                    "SELECT SystemSetting FROM tblSettings WHERE APPID = :APPID AND F_UserID = :UserID AND SettingsKey = :SettingsKey"));
            stored->Close();
            stored->ParamByName(QStringLiteral("APPID")).Value = OldValue(delta, change, QStringLiteral("APPID"));
            stored->ParamByName(QStringLiteral("UserID")).Value = OldValue(delta, change, kSettingsUser);
            stored->ParamByName(QStringLiteral("SettingsKey")).Value = OldValue(delta, change, QStringLiteral("SettingsKey"));
            stored->Open();
            if (!stored->Eof() && IsTrue(stored->Value(0, 0)))
                return false;
        }
        if (change.ChangeType != TDAChangeType::ctDelete &&
            (!own(NewValue(delta, change, kSettingsUser)) || IsTrue(NewValue(delta, change, kSystemSetting))))
            return false;
    }
    return true;
}

void TSettingsService::RequireActFor(const QVariant &userId, const QString &what)
{
    if (!MayActFor(userId))
        throw EROException(QStringLiteral("EROAccessDenied"), QStringLiteral("%1 of another user is not allowed for this user").arg(what));
}

std::unique_ptr<TROBinaryMemoryStream> TSettingsService::GetData(const QStringList &aTableNameArray,
                                                                 const QList<TableRequestInfoV5> &aTableRequestInfoArray)
{
    for (qsizetype i = 0; i < aTableNameArray.size(); ++i) {
        if (aTableNameArray[i].compare(kSettings, Qt::CaseInsensitive) != 0)
            continue;
        // Without a user named the schema's default id is read, which belongs to no user.
        for (const DataParameter &parameter : aTableRequestInfoArray.value(i).Parameters)
            if (parameter.Name.compare(kUserParam, Qt::CaseInsensitive) == 0)
                RequireActFor(parameter.Value, QStringLiteral("Reading the settings"));
    }
    return TDataServiceBase::GetData(aTableNameArray, aTableRequestInfoArray);
}

std::unique_ptr<TROBinaryMemoryStream> TSettingsService::UpdateData(const TROBinaryMemoryStream *aDelta)
{
    std::unique_ptr<TROBinaryMemoryStream> reply = TDataServiceBase::UpdateData(aDelta);
    // The users' processor put hashes into the changes; they stay on the server.
    QList<TDADelta> deltas = TDADataStreamer::ReadDeltas(reply->Bytes());
    bool changed = false;
    for (TDADelta &delta : deltas) {
        if (delta.LogicalName.compare(kUsers, Qt::CaseInsensitive) != 0)
            continue;
        for (const QString &secret : {kPassword, kSecretAnswer}) {
            const int field = DAFindField(delta.Fields, secret);
            if (field < 0)
                continue;
            for (TDADeltaChange &change : delta.Changes)
                if (change.HasNewValue(field)) {
                    change.ClearNewValue(field);
                    changed = true;
                }
        }
    }
    if (changed)
        reply->SetBytes(TDADataStreamer::WriteDeltas(deltas));
    return reply;
}

void TSettingsService::CheckCommand(const QString &commandName, const DataParameterArray &parameters)
{
    if (commandName.endsWith(QLatin1String("_tblUsers"), Qt::CaseInsensitive))
        throw EDAException(QStringLiteral("\"%1\" runs only through the users' changes").arg(LogExcerpt(commandName, 80)));
    // A user's own layouts are his to delete; his settings rows only through their changes,
    // where a system setting is told apart.
    if (commandName.compare(QLatin1String("Delete_UserBlobSettings"), Qt::CaseInsensitive) == 0) {
        QVariant userId;
        for (const DataParameter &given : parameters)
            if (given.Name.compare(kUserParam, Qt::CaseInsensitive) == 0)
                userId = given.Value;
        RequireActFor(userId, QStringLiteral("Deleting the layouts"));
        return;
    }
    Rights().Require(*this, commandName, TServiceRights::Running(commandName));
}

bool TSettingsService::CheckIfMinistryFunctionIsInUse(const QString &)
{
    return true;
}

bool TSettingsService::DeleteUser(const QString &AUserList)
{
    // Deleting a user's settings belongs to deleting the user.
    Rights().Require(*this, QStringLiteral("DeleteUser"), QStringLiteral("\"DeleteUser\""));
    return RunInTransaction(DataService().GetConnection(), kSender, QStringLiteral("DeleteUser"), [&] {
        for (const QString &userId : KeyLines(AUserList)) {
            DataService().ExecuteCommand(QStringLiteral("Delete_UserBlobSettings"), {DataParameter{QStringLiteral("UserID"), userId}});
            DataService().ExecuteCommand(QStringLiteral("Delete_UserSettings"), {DataParameter{QStringLiteral("UserID"), userId}});
        }
    });
}

bool TSettingsService::ShouldUpdateToMSSQL()
{
    try {
        const TDATableData versions = DataService().ReadDataset(QStringLiteral("DA_DbVersion"));
        const int version = versions.Rows.size() == 1 ? versions.Rows.first().at(0).toInt() : 0;
        return version < kMigratedVersion;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("ShoulUpdateToMSSQL"), ErrorMessage(e));
        return false;
    }
}

std::unique_ptr<TROBinaryMemoryStream> TSettingsService::LoadBlobSetting(const QString &AppID, const QString &UserID,
                                                                         const QString &Blobname)
{
    if (AppID.isEmpty() || Blobname.isEmpty())
        return nullptr;
    RequireActFor(UserID, QStringLiteral("Reading the layouts"));
    try {
        auto blob = DataService().GetConnection().NewDataset(QStringLiteral(
            "SELECT BlobData FROM tblBlobSettings WHERE AppID=:AppID AND F_UserID=:USERID AND BlobName=:BLOBNAME;"));
        blob->ParamByName(QStringLiteral("AppID")).Value = AppID;
        blob->ParamByName(QStringLiteral("USERID")).Value = UserID;
        blob->ParamByName(QStringLiteral("BLOBNAME")).Value = Blobname;
        blob->Open();
        if (blob->Eof())
            return nullptr;
        return std::make_unique<TROBinaryMemoryStream>(blob->Value(0, 0).toByteArray());
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("LoadBlobSetting"), ErrorMessage(e));
        return nullptr;
    }
}

// One statement on the unique key (application, user, name): two saves at the same time leave
// one row holding the later block.
void TSettingsService::SaveBlobSetting(const QString &AppID, const QString &UserID, const QString &BlobName,
                                       const TROBinaryMemoryStream *BlobData)
{
    if (!BlobData)
        return;
    RequireActFor(UserID, QStringLiteral("Saving the layouts"));
    IDAConnection &connection = DataService().GetConnection();
    RunInTransaction(connection, kSender, QStringLiteral("SaveBlobSetting"), [&] {
        auto save = connection.NewCommand(QStringLiteral(
            "INSERT INTO tblBlobSettings (AppID, F_UserID, BlobName, BlobData) VALUES (:APPID, :USERID, :BLOBNAME, :BLOBDATA) "
            "ON CONFLICT (AppID, F_UserID, BlobName) DO UPDATE SET BlobData = EXCLUDED.BlobData"));
        save->ParamByName(QStringLiteral("APPID")).Value = AppID;
        save->ParamByName(QStringLiteral("USERID")).Value = UserID;
        save->ParamByName(QStringLiteral("BLOBNAME")).Value = BlobName;
        save->ParamByName(QStringLiteral("BLOBDATA")).Value = BlobData->Bytes();
        save->ParamByName(QStringLiteral("BLOBDATA")).DataType = TDADataType::datBlob;
        save->Execute();
    });
}

bool TSettingsService::ClearBlobSetting(const QString &AppID, const QString &UserID, const QString &BlobName)
{
    if (AppID.isEmpty() || UserID.isEmpty() || BlobName.isEmpty())
        return true;
    RequireActFor(UserID, QStringLiteral("Clearing the layouts"));
    IDAConnection &connection = DataService().GetConnection();
    return RunInTransaction(connection, kSender, QStringLiteral("ClearBlobSetting"), [&] {
        auto clear = connection.NewCommand(QStringLiteral(
            "DELETE FROM tblBlobSettings WHERE  AppID=:APPID AND BlobName=:BLOBNAME and F_UserID=:USERID"));
        clear->ParamByName(QStringLiteral("APPID")).Value = AppID;
        clear->ParamByName(QStringLiteral("USERID")).Value = UserID;
        clear->ParamByName(QStringLiteral("BLOBNAME")).Value = BlobName;
        clear->Execute();
    });
}

// The new database is built under a name of its own and takes the final name only when it is
// complete, so a failure leaves any earlier database as it was and no half-built one behind.
bool TSettingsService::RunMSSQLMigration(const QString &ConnectionString)
{
    Rights().Require(*this, QStringLiteral("RunMSSQLMigration"), QStringLiteral("\"RunMSSQLMigration\""));
    if (!ShouldUpdateToMSSQL())
        return false;
    return Migrate(ConnectionString);
}

bool TSettingsService::Migrate(const QString &connectionString)
{
    const QString finalName = m_context.MigrationDatabase;
    const QString buildName = finalName.left(DatabaseMaintenance::kMaxNameLength - 10) + QStringLiteral("_migrating");
    if (!DatabaseMaintenance::IsValidName(finalName))
        throw std::runtime_error("The migration's database name must be a plain name");
    // Failures to reach either database go back to the caller, before anything is created.
    TDAConnectionManager &manager = m_context.Manager;
    if (!manager.FindConnection(kMigrationSource))
        throw EDAException(QStringLiteral("No connection definition \"%1\" names the database to migrate from").arg(kMigrationSource));
    manager.AddConnection(kMigrationTarget, connectionString);
    std::unique_ptr<IDAConnection> maintenance = manager.NewConnection(kMigrationTarget);
    std::unique_ptr<IDAConnection> source = manager.NewConnection(kMigrationSource);

    const QString script = FileResolver::resolve(FileResolver::resolve(m_context.ProgramFolder, QStringLiteral("mssqlScripts")),
                                                 QStringLiteral("CreateScript.sql"));
    bool built = false;
    try {
        const QStringList lines = ScriptLines(script);
        Execute(*maintenance, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(DatabaseMaintenance::QuoteName(buildName)));
        Execute(*maintenance, QStringLiteral("CREATE DATABASE %1").arg(DatabaseMaintenance::QuoteName(buildName)));
        std::unique_ptr<IDAConnection> target = manager.NewConnection(kMigrationTarget, false);
        target->SetConnectionString(DatabaseMaintenance::WithDatabase(connectionString, buildName));
        target->Open();
        try {
            target->BeginTransaction();
            TDMServerDatabase::ExecuteScript(lines, *target);
            QStringList present;
            for (const QString &name : source->GetTableNames())
                present << name.section(QLatin1Char('.'), -1);
            for (const QString &table : kMigratedTables) {
                if (kOptionalTables.contains(table) && !present.contains(table, Qt::CaseInsensitive))
                    continue;
                try {
                    DatabaseMaintenance::CopyTable(*source, *target, table, table);
                } catch (const std::exception &e) {
                    AddToLog(llSevere, kSender, QStringLiteral("RunMSSQLMigration.Migrate"), table + QStringLiteral(": ") + ErrorMessage(e));
                    throw;
                }
            }
            DatabaseMaintenance::RestartIdentities(*target);
            Execute(*target, QStringLiteral("UPDATE tblDBVersion SET Version = %1").arg(kMigratedVersion));
            target->CommitTransaction();
            built = true;
        } catch (...) {
            RollbackQuietly(*target, kSender, QStringLiteral("Rollback"));
            throw;
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("RunMSSQLMigration"), ErrorMessage(e));
    }
    if (!built) {
        try {
            Execute(*maintenance, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(DatabaseMaintenance::QuoteName(buildName)));
        } catch (const std::exception &e) {
            AddToLog(llSevere, kSender, QStringLiteral("RunMSSQLMigration"), ErrorMessage(e));
        }
        return false;
    }

    try {
        if (DatabaseMaintenance::Exists(*maintenance, finalName))
            Execute(*maintenance, QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(DatabaseMaintenance::QuoteName(finalName)));
        Execute(*maintenance, QStringLiteral("ALTER DATABASE %1 RENAME TO %2").arg(DatabaseMaintenance::QuoteName(buildName), DatabaseMaintenance::QuoteName(finalName)));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("RunMSSQLMigration"), ErrorMessage(e));
        return false;
    }

    // The server uses the new database from its next start. "postgres" stands where the
    // maintenance database of the original engine was called "master".
    QString dataSource = connectionString;
    dataSource.replace(QStringLiteral("Database=master"), QStringLiteral("Database=") + finalName);
    dataSource.replace(QStringLiteral("Database=postgres"), QStringLiteral("Database=") + finalName);
    const TvoLocalConfigFile settings(FileResolver::resolve(m_context.ProgramFolder, QStringLiteral("settings.ini")));
    if (!settings.WriteString(QStringLiteral("Data Access"), QStringLiteral("DataType"), QStringLiteral("MSSQL")) ||
        !settings.WriteString(QStringLiteral("Data Access"), QStringLiteral("DataSource"), dataSource)) {
        AddToLog(llSevere, kSender, QStringLiteral("RunMSSQLMigration"),
                 QStringLiteral("The settings file %1 could not be written").arg(settings.FileName()));
        return false;
    }
    return true;
}
