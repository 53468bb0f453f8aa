#include "plugins/settings/uDASettings.h"

#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uSettingsRules.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"

#include <QDateTime>

namespace {

const QString kNotConnected = QStringLiteral("The settings module is not connected to a server");

const QString kCreatedUser = QStringLiteral("F_CreatedUserID");
const QString kCreatedTime = QStringLiteral("CreatedDateTime");
const QString kModifiedUser = QStringLiteral("F_ModifiedUserID");
const QString kModifiedTime = QStringLiteral("ModifiedDateTime");

// The list text the server's deletions take: each id followed by a line break.
QString IdList(const QStringList &ids)
{
    QString list;
    for (const QString &id : ids)
        list += id + QStringLiteral("\r\n");
    return list;
}

} // namespace

TDASettings::TDASettings(TRvSettingsController &controller)
    : m_resourceAdapter(kNotConnected)
    , m_settingsAdapter(kNotConnected)
    , Users(QStringLiteral("tblUsers"), &m_settingsAdapter)
    , UserLevels(QStringLiteral("UserLevels"), &m_settingsAdapter)
    , tblHistoryDate(QStringLiteral("DA_HistoryDate"), &m_settingsAdapter)
    , Locations(QStringLiteral("Locations"), &m_resourceAdapter)
    , LiturgyTemplates(QStringLiteral("LiturgyTemplates"), &m_resourceAdapter)
    , MinistryFunctions(QStringLiteral("MinistryFunctions"), &m_resourceAdapter)
    , MinistryTemplates(QStringLiteral("MinistryTemplates"), &m_resourceAdapter)
    , LnkMinistryTemplateToMinistryFunction(QStringLiteral("LnkMinistryTemplateToMinistryFunction"), &m_resourceAdapter)
    , DAEventColors(QStringLiteral("DAEventColors"), &m_resourceAdapter)
    , m_controller(controller)
{
    BindStamps();
}

TDASettings::~TDASettings() = default;

void TDASettings::Connect(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
{
    if (!message || !channel) {
        Disconnect();
        return;
    }
    m_resources = CoResourceService::Create(message, channel);
    m_settings = CoSettingsService::Create(message, channel);
    m_resourceAdapter.SetService(m_resources);
    m_settingsAdapter.SetService(m_settings);
}

void TDASettings::Disconnect()
{
    m_resourceAdapter.SetService(nullptr);
    m_settingsAdapter.SetService(nullptr);
    m_resources.reset();
    m_settings.reset();
}

std::shared_ptr<IResourceService> TDASettings::ResourceService() const
{
    if (!m_resources)
        throw EDAException(kNotConnected);
    return m_resources;
}

std::shared_ptr<ISettingsService> TDASettings::SettingsService() const
{
    if (!m_settings)
        throw EDAException(kNotConnected);
    return m_settings;
}

void TDASettings::OpenTable(TDACDSDataTable &table)
{
    table.Open();
    if (&table == &Locations || &table == &MinistryFunctions || &table == &MinistryTemplates)
        SettingsRules::RenumberSort(table);
}

bool TDASettings::DeleteMinistryFunctions(const QStringList &ids)
{
    return ResourceService()->DeleteMinistryFunctions(IdList(ids));
}

bool TDASettings::DeleteUser(const QStringList &ids)
{
    return SettingsService()->DeleteUser(IdList(ids));
}

QString TDASettings::UserID() const
{
    const TvoUser *user = m_controller.GetCurrentUser();
    return user ? user->UserID : EmptyGUID;
}

void TDASettings::BindStamps()
{
    auto created = [this](TDACDSDataTable &t) {
        t.SetValue(kCreatedUser, UserID());
        t.SetValue(kCreatedTime, QDateTime::currentDateTime());
    };
    auto modified = [this](TDACDSDataTable &t) {
        t.SetValue(kModifiedUser, UserID());
        t.SetValue(kModifiedTime, QDateTime::currentDateTime());
    };
    Locations.OnAfterInsert = [=](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_LocationID"), NewKey());
        created(t);
        modified(t);
    };
    MinistryFunctions.OnAfterInsert = [=](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_MinistryFunctionID"), NewKey());
        created(t);
        modified(t);
        t.SetValue(QStringLiteral("AllowDuplicate"), false);
    };
    MinistryTemplates.OnAfterInsert = [=](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_MinistryTemplateID"), NewKey());
        created(t);
    };
    LiturgyTemplates.OnAfterInsert = [=](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_LiturgyTemplateID"), NewKey());
        created(t);
    };
    LnkMinistryTemplateToMinistryFunction.OnAfterInsert = [](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_LinkID"), NewKey());
    };
    Users.OnAfterInsert = [=](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_UserID"), NewKey());
        created(t);
        t.SetValue(QStringLiteral("F_Userlevel"), UserLevelID);
        // No password until one is set: an empty text would be stored as the hash of an empty
        // password, and NULL is what the server keeps as "none given".
        t.SetValue(QStringLiteral("LogonPassword"), QVariant());
        t.SetValue(QStringLiteral("UseInteractiveLogon"), false);
        modified(t);
    };
    for (TDACDSDataTable *table : {&Locations, &MinistryFunctions, &MinistryTemplates, &LiturgyTemplates, &Users})
        table->OnAfterEdit = modified;
}
