// A local HTTP server that answers like the maker's web services: the installation service's
// GetProductFiles and the files it lists, the usage log's AddSimpleLog, the version lookup and
// the support delivery's SubmitReport.
// Tests set what it lists and how each file is delivered, then read what it was asked.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace httplib { class Server; }

struct FakeFile
{
    enum class Delivery { Whole, DropMidway, Missing, Shorter };

    FakeFile(const QString &fileName, const QString &fileVersion, const QByteArray &bytes)
        : name(fileName), version(fileVersion), content(bytes)
    {
    }

    QString name;
    QString version;
    QByteArray content;
    Delivery delivery = Delivery::Whole;
    // Overrides: the listed size (default: the content's size) and the download address.
    QString sizeText;
    QString downloadPath;
};

struct FakeRequest
{
    QString path;
    QString soapAction;
    QByteArray body;
    QString userAgent;
};

class FakeWebService
{
public:
    FakeWebService();
    ~FakeWebService();

    QString Host() const;
    void SetProduct(const QString &product, const QList<FakeFile> &files);
    void SetFault(const QString &faultText);
    void SetLastVersion(const QString &version);

    QList<FakeRequest> Requests() const;
    // The product names asked for, in order.
    QStringList ProductsAsked() const;
    int Downloads() const;

private:
    void Record(const FakeRequest &request);
    std::string ProductFilesAnswer(const QString &product) const;

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_lock;
    QMap<QString, QList<FakeFile>> m_products;
    QList<FakeRequest> m_requests;
    QString m_fault;
    QString m_lastVersion;
    int m_downloads = 0;
};
