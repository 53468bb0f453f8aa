// Update's data module: the HTTP channel and binary message that reach the data server's
// log-on service, and the mark of a running download whose reply progress moves the bar.
#pragma once

#include "Quorva_Data_Service_Intf.h"

#include <QObject>

#include <memory>

class TROHTTPChannel;
class TROMessage;

class TDM : public QObject
{
    Q_OBJECT
public:
    // Where the channel points until the command line names the server.
    static inline const QString DefaultTarget = QStringLiteral("http://localhost:8099/BIN");

    explicit TDM(QObject *owner = nullptr);
    ~TDM() override;

    TROHTTPChannel &ROHTTP() const { return *m_channel; }
    void SetTargetURL(const QString &url);
    // A new proxy for every call, on this module's message and channel.
    std::unique_ptr<ILogOnService> LogOnService() const;
    std::unique_ptr<IProbeService> ProbeService() const;

    bool Downloading() const { return m_downloading; }
    void SetDownloading(bool value) { m_downloading = value; }

    // The share of a reply received, 0 to 100; 0 while its size is unknown.
    static int Percent(qint64 received, qint64 total);

signals:
    // While a download runs: the share of its reply received so far.
    void DownloadProgress(int percent);

private:
    std::shared_ptr<TROHTTPChannel> m_channel;
    std::shared_ptr<TROMessage> m_message;
    bool m_downloading = false;
};
