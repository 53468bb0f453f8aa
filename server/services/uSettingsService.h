// The settings service: generic access to users, user levels, locations, per-user settings, the
// history start date and the database version; per-user layout blobs; deleting a user's
// settings; and the migration of an older database into a new one. Passwords written through
// it are stored as hashes and never read back; only an administrator changes users.
#pragma once

#include "contract/TDataServiceBase.h"

// What a service object borrows from the server: shared by every request of the server.
struct TSettingsServiceContext
{
    TDAConnectionManager &Manager;
    // Holds "mssqlScripts" and the settings file the migration rewrites.
    QString ProgramFolder;
    // The database the migration makes; a plain name, created with this exact spelling.
    QString MigrationDatabase = QStringLiteral("Kestrova");
    QString ConnectionName = QStringLiteral("MSSQL");
};

class TSettingsService : public TDataServiceBase, public ISettingsService
{
public:
    explicit TSettingsService(const TSettingsServiceContext &context);

    // The service's schema, read once from the program's resources.
    static const TDASchema &Schema();

    bool queryInterface(const QUuid &interfaceId, void **object) override;

    // The generic operations, with the users' secrets kept in: replies never carry a stored
    // password or secret answer, and the user commands run only through the users' processor.
    // The users' Windows accounts go to administrators only (they name the automatic log-on);
    // a user's settings only to that user's own session or an administrator's. Everything
    // else is changed by administrators only, but for a user's own settings that are not
    // system settings and his own layouts.
    std::unique_ptr<TROBinaryMemoryStream> GetData(const QStringList &aTableNameArray,
                                                   const QList<TableRequestInfoV5> &aTableRequestInfoArray) override;
    std::unique_ptr<TROBinaryMemoryStream> UpdateData(const TROBinaryMemoryStream *aDelta) override;

    bool CheckIfMinistryFunctionIsInUse(const QString &MinistryFunctionID) override;
    bool DeleteUser(const QString &AUserList) override;
    bool ShouldUpdateToMSSQL() override;
    bool RunMSSQLMigration(const QString &ConnectionString) override;
    std::unique_ptr<TROBinaryMemoryStream> LoadBlobSetting(const QString &AppID, const QString &UserID,
                                                           const QString &Blobname) override;
    void SaveBlobSetting(const QString &AppID, const QString &UserID, const QString &BlobName,
                         const TROBinaryMemoryStream *BlobData) override;
    bool ClearBlobSetting(const QString &AppID, const QString &UserID, const QString &BlobName) override;

private:
    // An administrator's session, or any session while no user exists (the initial set-up).
    bool MayChangeUsers();
    // The session of that user, an administrator's, or any while no user exists.
    bool MayActFor(const QVariant &userId);
    // Refuses with EROAccessDenied "<what> of another user is not allowed for this user" unless
    // MayActFor(userId).
    void RequireActFor(const QVariant &userId, const QString &what);
    // Whether every change of a settings delta keeps to the caller's own rows that are not
    // system settings, as they are stored and as they would be.
    bool OwnUserSettings(const TDADelta &delta);
    // Refuses the user commands, and other commands the caller may not run.
    void CheckCommand(const QString &commandName, const DataParameterArray &parameters);
    bool Migrate(const QString &connectionString);

    TSettingsServiceContext m_context;
};
