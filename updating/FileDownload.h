// One file fetched over HTTP into a file that is already open for it, in blocks of at most
// 4096 bytes with progress. It never decides where the file finally goes: the caller moves
// it into place only when Succeeded() says it arrived whole.
#pragma once

#include "updating/UpdatingExport.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

class UPDATING_EXPORT TFileDownload : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 BlockSize = 4096;

    explicit TFileDownload(QObject *parent = nullptr);
    ~TFileDownload() override;

    // Writes the body to the file at path (created anew); finished() follows exactly once.
    // The file counts as whole only with status 200 and exactly expectedSize bytes.
    // agentName: the HTTP user agent; the file's path when empty.
    void Start(QNetworkAccessManager *manager, const QUrl &url, const QString &path, qint64 expectedSize,
               const QString &agentName = QString());
    bool Succeeded() const { return m_succeeded; }
    QString ErrorText() const { return m_error; }
    qint64 Received() const { return m_total; }

    // Synchronous form: waits in a local event loop; progress is called after every second block.
    static bool Fetch(const QUrl &url, const QString &path, qint64 expectedSize, const QString &agentName,
                      const std::function<void(qint64 total)> &progress, QString &error);

signals:
    // After every second block read, with the bytes so far.
    void progress(qint64 total);
    void finished();

private:
    void onReadyRead();
    void onFinished();
    void fail(const QString &text);

    QPointer<QNetworkReply> m_reply;
    QFile m_file;
    qint64 m_expected = 0;
    qint64 m_total = 0;
    qint64 m_reads = 0;
    QString m_error;
    bool m_succeeded = false;
    bool m_done = false;
};
