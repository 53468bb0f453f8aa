#include "updating/FileDownload.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <unistd.h>

namespace {

// A stalled transfer ends after this long without a byte; a slow one may take any time.
constexpr int kStallTimeoutMs = 60000;

} // namespace

TFileDownload::TFileDownload(QObject *parent)
    : QObject(parent)
{
}

TFileDownload::~TFileDownload()
{
    if (QNetworkReply *reply = m_reply.data()) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void TFileDownload::Start(QNetworkAccessManager *manager, const QUrl &url, const QString &path, qint64 expectedSize,
                          const QString &agentName)
{
    m_expected = expectedSize;
    m_total = 0;
    m_reads = 0;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        // Reported from the event loop, like every other outcome.
        const QString text = QStringLiteral("Cannot write %1: %2").arg(path, m_file.errorString());
        QMetaObject::invokeMethod(this, [this, text] { fail(text); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    // The agent name has always been the file's target, which tells the service what is fetched.
    request.setHeader(QNetworkRequest::UserAgentHeader, agentName.isEmpty() ? path : agentName);
    request.setTransferTimeout(kStallTimeoutMs);
    QNetworkReply *reply = manager->get(request);
    m_reply = reply;
    reply->setReadBufferSize(4 * BlockSize);
    connect(reply, &QNetworkReply::readyRead, this, &TFileDownload::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &TFileDownload::onFinished);
}

void TFileDownload::onReadyRead()
{
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    char block[BlockSize];
    while (reply->bytesAvailable() > 0) {
        const qint64 count = reply->read(block, BlockSize);
        if (count <= 0)
            break;
        m_total += count;
        ++m_reads;
        if (m_reads % 2 == 0)
            emit progress(m_total);
        if (m_total > m_expected || m_file.write(block, count) != count) {
            reply->abort();
            return;
        }
    }
}

void TFileDownload::fail(const QString &text)
{
    if (m_done)
        return;
    m_done = true;
    m_error = text;
    m_succeeded = false;
    if (m_file.isOpen())
        m_file.close();
    emit finished();
}

void TFileDownload::onFinished()
{
    onReadyRead();
    if (m_done)
        return;
    // The read that finds the end counts as a block too, so a short file still shows once.
    ++m_reads;
    if (m_reads % 2 == 0)
        emit progress(m_total);
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    const QString url = reply->url().toString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString()));
    if (m_total > m_expected)
        return fail(QStringLiteral("%1 sent more than the %2 bytes announced").arg(url).arg(m_expected));
    if (reply->error() != QNetworkReply::NoError)
        return fail(QStringLiteral("%1: %2").arg(url, reply->errorString()));
    if (status != 200)
        return fail(QStringLiteral("%1: HTTP status %2").arg(url).arg(status));
    if (m_total != m_expected)
        return fail(QStringLiteral("%1 arrived with %2 of %3 bytes").arg(url).arg(m_total).arg(m_expected));
    // The file is moved into place next; it must be on disk before the old one goes.
    if (!m_file.flush() || ::fsync(m_file.handle()) != 0)
        return fail(QStringLiteral("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString()));
    m_file.close();
    m_done = true;
    m_succeeded = true;
    emit finished();
}

bool TFileDownload::Fetch(const QUrl &url, const QString &path, qint64 expectedSize, const QString &agentName,
                          const std::function<void(qint64)> &progress, QString &error)
{
    if (!QCoreApplication::instance()) {
        error = QStringLiteral("Downloads need a running application");
        return false;
    }
    QNetworkAccessManager manager;
    TFileDownload download;
    QEventLoop loop;
    bool done = false;
    connect(&download, &TFileDownload::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    if (progress)
        connect(&download, &TFileDownload::progress, &loop, progress);
    download.Start(&manager, url, path, expectedSize, agentName);
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    error = download.ErrorText();
    return download.Succeeded();
}
