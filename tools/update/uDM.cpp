#include "tools/update/uDM.h"

#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"

#include <algorithm>
#include <cmath>

TDM::TDM(QObject *owner)
    : QObject(owner), m_channel(std::make_shared<TROHTTPChannel>()), m_message(std::make_shared<TROMessage>())
{
    m_channel->SetTargetURL(DefaultTarget);
    connect(m_channel.get(), &TROHTTPChannel::ReceiveProgress, this, [this](qint64 received, qint64 total) {
        if (m_downloading)
            emit DownloadProgress(Percent(received, total));
    });
}

TDM::~TDM() = default;

void TDM::SetTargetURL(const QString &url)
{
    m_channel->SetTargetURL(url);
}

std::unique_ptr<ILogOnService> TDM::LogOnService() const
{
    return CoLogOnService::Create(m_message, m_channel);
}

std::unique_ptr<IProbeService> TDM::ProbeService() const
{
    return CoProbeService::Create(m_message, m_channel);
}

int TDM::Percent(qint64 received, qint64 total)
{
    if (total <= 0 || received <= 0)
        return 0;
    return int(std::lround(100.0 * double(std::min(received, total)) / double(total)));
}
