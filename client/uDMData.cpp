#include "client/uDMData.h"

#include "Quorva_Data_Service_Intf.h"
#include "contract/TDAProxyDataAdapter.h"
#include "dataaccess/TDACDSDataTable.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "remoting/ROHTTPChannel.h"

#include <QTimer>

namespace {

const QString kClient = QStringLiteral("DMClient");
const QString kData = QStringLiteral("DMDATA");
const QString kKey = QStringLiteral("SettingsKey");
const QString kValue = QStringLiteral("SettingsValue");

QString errorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

TDMData::TDMData(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel, QObject *parent)
    : QObject(parent)
    , m_channel(channel)
    , m_service(CoSettingsService::Create(message, channel))
    , m_adapter(std::make_unique<TDAProxyDataAdapter>(m_service))
    , m_settings(std::make_unique<TDACDSDataTable>(QStringLiteral("DASettings"), m_adapter.get()))
    , m_sendTimer(new QTimer(this))
    , m_userId(EmptyGUID)
{
    m_settings->ParamByName(QStringLiteral("UserID")).Value = m_userId;
    m_sendTimer->setSingleShot(true);
    m_sendTimer->setInterval(SendDelay);
    connect(m_sendTimer, &QTimer::timeout, this, [this] {
        // Never inside another call of the channel: try again a little later.
        if (m_channel && m_channel->Busy())
            m_sendTimer->start();
        else
            Send(QStringLiteral("SendSettings"));
    });
}

TDMData::~TDMData() = default;

void TDMData::OpenForUser(const QString &userId)
{
    try {
        m_settings->Close();
        m_userId = userId;
        m_settings->ParamByName(QStringLiteral("UserID")).Value = userId;
        m_settings->Open();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kClient, QStringLiteral("OpenSettings"), errorText(e));
    }
}

void TDMData::EnsureOpen()
{
    if (!m_settings->GetActive())
        m_settings->Open();
}

int TDMData::FindRow(const QString &key) const
{
    const int field = m_settings->FieldIndex(kKey);
    for (int row = 0; row < m_settings->GetRecordCount(); ++row)
        if (m_settings->ValueAt(row, field).toString() == key)
            return row;
    return -1;
}

QString TDMData::GetUserSetting(const QString &key, const QString &defaultValue)
{
    try {
        EnsureOpen();
        const int row = FindRow(key);
        if (row < 0)
            return defaultValue;
        return m_settings->ValueAt(row, m_settings->FieldIndex(kValue)).toString();
    } catch (const std::exception &) {
        return defaultValue;
    }
}

void TDMData::SetUserSetting(const QString &key, const QString &value)
{
    try {
        EnsureOpen();
        m_settings->Post();
        const int row = FindRow(key);
        if (row >= 0) {
            m_settings->SetRecNo(row);
            m_settings->Edit();
            m_settings->SetValue(kValue, value);
        } else {
            m_settings->Append();
            m_settings->SetValue(QStringLiteral("APPID"), m_applicationId);
            m_settings->SetValue(QStringLiteral("F_UserID"), m_userId);
            m_settings->SetValue(kKey, key);
            m_settings->SetValue(kValue, value);
            m_settings->SetValue(QStringLiteral("SystemSetting"), false);
        }
        m_settings->Post();
        if (m_settings->HasChanges())
            m_sendTimer->start();
    } catch (const std::exception &e) {
        m_settings->Cancel();
        AddToLog(llSevere, kClient, QStringLiteral("SetUserSetting"), errorText(e));
    }
}

bool TDMData::HasPendingChanges() const
{
    return m_settings->GetActive() && (m_settings->HasChanges() || m_settings->GetState() != TDATableState::dsBrowse);
}

bool TDMData::Send(const QString &location)
{
    if (!HasPendingChanges())
        return true;
    try {
        m_settings->Post();
        m_settings->ApplyUpdates();
        return true;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kData, location, errorText(e));
        return false;
    }
}

bool TDMData::SendChanges()
{
    m_sendTimer->stop();
    return Send(QStringLiteral("SendSettings"));
}

void TDMData::CloseDataset()
{
    m_sendTimer->stop();
    Send(QStringLiteral("CloseDataset"));
}

std::optional<QByteArray> TDMData::LoadUserBlob(const QString &name)
{
    try {
        const std::unique_ptr<TROBinaryMemoryStream> blob = m_service->LoadBlobSetting(m_applicationId, m_userId, name);
        if (!blob)
            return std::nullopt;
        return blob->Bytes();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kClient, QStringLiteral("LoadUserBlob"), errorText(e));
        return std::nullopt;
    }
}

void TDMData::SaveUserBlob(const QString &name, const QByteArray *stream)
{
    if (!stream)
        return;
    try {
        const TROBinaryMemoryStream data(*stream);
        m_service->SaveBlobSetting(m_applicationId, m_userId, name, &data);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kClient, QStringLiteral("SaveUserBlob"), errorText(e));
    }
}

bool TDMData::ClearUserSetting(const QString &name)
{
    try {
        return m_service->ClearBlobSetting(m_applicationId, m_userId, name);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kClient, QStringLiteral("ClearUserSetting"), errorText(e));
        return false;
    }
}
