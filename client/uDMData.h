// The settings module: the logged-on user's key-value settings in the client table "DASettings"
// (read once per log-on, written locally, sent to the server soon after each write and again at
// shutdown, so that a crash loses nothing), and the user's layout blobs, which go straight to the
// settings service on each call. Reads never fail: they fall back to the caller's default.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class ISettingsService;
class QTimer;
class TDACDSDataTable;
class TDAProxyDataAdapter;
class TROMessage;
class TROTransportChannel;

class TDMData : public QObject
{
    Q_OBJECT
public:
    // How long after a write its change goes to the server; further writes in that time join it.
    static constexpr std::chrono::milliseconds SendDelay{1000};

    TDMData(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel,
            QObject *parent = nullptr);
    ~TDMData() override;

    // The application id the rows and blobs are kept under.
    void SetApplicationID(const QString &id) { m_applicationId = id; }
    QString ApplicationID() const { return m_applicationId; }
    QString UserID() const { return m_userId; }
    // At each log-on: the user's rows are fetched afresh.
    void OpenForUser(const QString &userId);

    QString GetUserSetting(const QString &key, const QString &defaultValue);
    void SetUserSetting(const QString &key, const QString &value);
    std::optional<QByteArray> LoadUserBlob(const QString &name);
    void SaveUserBlob(const QString &name, const QByteArray *stream);
    bool ClearUserSetting(const QString &name);

    // Sends what is pending now; false (logged) when the server did not take it.
    bool SendChanges();
    // At shutdown: the pending edit is posted and every change sent.
    void CloseDataset();
    bool HasPendingChanges() const;

    TDACDSDataTable &DASettings() const { return *m_settings; }

private:
    int FindRow(const QString &key) const;
    void EnsureOpen();
    bool Send(const QString &location);

    std::shared_ptr<TROTransportChannel> m_channel;
    std::shared_ptr<ISettingsService> m_service;
    std::unique_ptr<TDAProxyDataAdapter> m_adapter;
    std::unique_ptr<TDACDSDataTable> m_settings;
    QTimer *m_sendTimer;
    QString m_applicationId = QStringLiteral("A01");
    QString m_userId;
};
