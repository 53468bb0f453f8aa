#include "plugins/setup/uDASetup.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"

#include <QDateTime>

namespace {

const QString kNotConnected = QStringLiteral("The set-up module is not connected to a server");

void Created(TDACDSDataTable &t, const QString &keyField)
{
    t.SetValue(keyField, NewKey());
    t.SetValue(QStringLiteral("F_CreatedUserID"), EmptyGUID);
    t.SetValue(QStringLiteral("CreatedDateTime"), QDateTime::currentDateTime());
}

void Modified(TDACDSDataTable &t)
{
    t.SetValue(QStringLiteral("F_ModifiedUserID"), EmptyGUID);
    t.SetValue(QStringLiteral("ModifiedDateTime"), QDateTime::currentDateTime());
}

} // namespace

TDASetup::TDASetup()
    : m_resources(kNotConnected)
    , m_settings(kNotConnected)
    , Locations(QStringLiteral("Locations"), &m_resources)
    , LiturgyTemplates(QStringLiteral("LiturgyTemplates"), &m_resources)
    , LnkMinistryTemplateToMinistryFunction(QStringLiteral("LnkMinistryTemplateToMinistryFunction"), &m_resources)
    , MinistryFunctions(QStringLiteral("MinistryFunctions"), &m_resources)
    , MinistryTemplates(QStringLiteral("MinistryTemplates"), &m_resources)
    , DAUsers(QStringLiteral("tblUsers"), &m_settings)
{
    Locations.OnAfterInsert = [](TDACDSDataTable &t) { Created(t, QStringLiteral("PK_LocationID")); };
    LiturgyTemplates.OnAfterInsert = [](TDACDSDataTable &t) { Created(t, QStringLiteral("PK_LiturgyTemplateID")); };
    MinistryTemplates.OnAfterInsert = [](TDACDSDataTable &t) { Created(t, QStringLiteral("PK_MinistryTemplateID")); };
    MinistryFunctions.OnAfterInsert = [](TDACDSDataTable &t) { Created(t, QStringLiteral("PK_MinistryFunctionID")); };
    Locations.OnAfterEdit = Modified;
    LiturgyTemplates.OnAfterEdit = Modified;
    LnkMinistryTemplateToMinistryFunction.OnAfterInsert = [](TDACDSDataTable &t) {
        t.SetValue(QStringLiteral("PK_LinkID"), NewKey());
    };
    // The first account carries its creation like every later one, so the users page shows it.
    DAUsers.OnAfterInsert = [](TDACDSDataTable &t) {
        Created(t, QStringLiteral("PK_UserID"));
        Modified(t);
    };
}

void TDASetup::Connect(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
{
    m_resources.SetService(CoResourceService::Create(message, channel));
    m_settings.SetService(CoSettingsService::Create(message, channel));
}

void TDASetup::Disconnect()
{
    m_resources.SetService(nullptr);
    m_settings.SetService(nullptr);
}

void TDASetup::PostContent()
{
    for (TDACDSDataTable *t : {&Locations, &LiturgyTemplates, &MinistryFunctions, &MinistryTemplates, &LnkMinistryTemplateToMinistryFunction})
        if (t->GetActive())
            t->PostIfEditing();
}

void TDASetup::ApplyContent()
{
    PostContent();
    QList<TDACDSDataTable *> tables;
    for (TDACDSDataTable *t : {&Locations, &LiturgyTemplates, &MinistryTemplates, &MinistryFunctions, &LnkMinistryTemplateToMinistryFunction})
        if (t->GetActive() && t->HasChanges())
            tables << t;
    if (!tables.isEmpty())
        TDACDSDataTable::ApplyUpdates(tables, false);
}

QString TDASetup::PutAccount(const QString &userName, const QString &password, bool useWindowsLogon, const QString &windowsAccount)
{
    if (!DAUsers.GetActive())
        DAUsers.Open();
    DAUsers.PostIfEditing();
    // The row of an earlier Finish that did not reach the server is the one to change.
    const bool pending = DAUsers.HasChanges() && DAUsers.GetRecordCount() > 0;
    if (pending) {
        DAUsers.Last();
        DAUsers.Edit();
    } else {
        DAUsers.Insert();
    }
    DAUsers.SetValue(QStringLiteral("LogonUsername"), userName);
    // An empty password is empty text, never NULL (which the server reads as "no change").
    DAUsers.SetValue(QStringLiteral("LogonPassword"), password.isNull() ? QStringLiteral("") : password);
    DAUsers.SetValue(QStringLiteral("F_Userlevel"), AdministratorLevel);
    DAUsers.SetValue(QStringLiteral("UseInteractiveLogon"), useWindowsLogon);
    DAUsers.SetValue(QStringLiteral("WindowsAccount"), windowsAccount);
    const QString key = DAUsers.AsString(QStringLiteral("PK_UserID"));
    DAUsers.Post();
    return key;
}

void TDASetup::ApplyAccount()
{
    // No re-fetch: once the account exists the server answers this session's reads only after
    // it logged on, which the host does next.
    DAUsers.ApplyUpdates(false);
    m_accountStored = true;
}

void TDASetup::CloseAll()
{
    for (TDACDSDataTable *t : {&DAUsers, &Locations, &LiturgyTemplates, &MinistryTemplates, &LnkMinistryTemplateToMinistryFunction, &MinistryFunctions})
        t->Close();
}
