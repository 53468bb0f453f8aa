#include "testsupport/FakeWebService.h"

#include <QRegularExpression>
#include <QStringList>

#include <httplib.h>

#include <chrono>

namespace {

std::string envelope(const QString &body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>%1</soap:Body></soap:Envelope>")
        .arg(body)
        .toStdString();
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString element(const QString &name, const QString &value)
{
    return QStringLiteral("<%1>%2</%1>").arg(name, escaped(value));
}

QString requestValue(const QByteArray &body, const QString &name)
{
    const QRegularExpression pattern(QStringLiteral("<(?:\\w+:)?%1>([^<]*)</").arg(name));
    return pattern.match(QString::fromUtf8(body)).captured(1);
}

} // namespace

FakeWebService::FakeWebService()
    : m_server(std::make_unique<httplib::Server>())
{
    auto soap = [this](const httplib::Request &request, httplib::Response &response, const QString &answerElement,
                       const QString &answer) {
        Record({QString::fromStdString(request.path), QString::fromStdString(request.get_header_value("SOAPAction")),
                QByteArray::fromStdString(request.body), QString::fromStdString(request.get_header_value("User-Agent"))});
        std::lock_guard guard(m_lock);
        if (!m_fault.isEmpty()) {
            response.status = 500;
            response.set_content(envelope(QStringLiteral("<soap:Fault><faultcode>soap:Server</faultcode>"
                                                         "<faultstring>%1</faultstring></soap:Fault>")
                                              .arg(escaped(m_fault))),
                                 "text/xml; charset=utf-8");
            return;
        }
        response.set_content(envelope(QStringLiteral("<%1 xmlns=\"%2\">%3</%1>").arg(answerElement, Host() + "/", answer)),
                             "text/xml; charset=utf-8");
    };
    m_server->Post("/InstallationProvider/installationprovider.asmx",
                   [this, soap](const httplib::Request &request, httplib::Response &response) {
                       const QString product = requestValue(QByteArray::fromStdString(request.body),
                                                            QStringLiteral("prodShortName"));
                       soap(request, response, QStringLiteral("GetProductFilesResponse"),
                            QString::fromStdString(ProductFilesAnswer(product)));
                   });
    m_server->Post("/QuorvaLogging/logservice.asmx", [soap](const httplib::Request &request, httplib::Response &response) {
        soap(request, response, QStringLiteral("AddSimpleLogResponse"),
             element(QStringLiteral("AddSimpleLogResult"), QStringLiteral("true")));
    });
    m_server->Post("/SupportToolDelivery.asmx", [soap](const httplib::Request &request, httplib::Response &response) {
        soap(request, response, QStringLiteral("SubmitReportResponse"), QString());
    });
    m_server->Post("/Service.asmx", [this, soap](const httplib::Request &request, httplib::Response &response) {
        QString version;
        {
            std::lock_guard guard(m_lock);
            version = m_lastVersion;
        }
        soap(request, response, QStringLiteral("LastVersionOfApplicationResponse"),
             element(QStringLiteral("LastVersionOfApplicationResult"), version));
    });
    m_server->Get(R"(/files/([^/]+)/(\d+))", [this](const httplib::Request &request, httplib::Response &response) {
        Record({QString::fromStdString(request.path), QString(), QByteArray(),
                QString::fromStdString(request.get_header_value("User-Agent"))});
        std::lock_guard guard(m_lock);
        ++m_downloads;
        const QList<FakeFile> files = m_products.value(QString::fromStdString(request.matches[1]));
        const int index = std::stoi(request.matches[2]);
        if (index >= files.size() || files[index].delivery == FakeFile::Delivery::Missing) {
            response.status = 404;
            return;
        }
        const FakeFile &file = files[index];
        const auto content = std::make_shared<std::string>(file.content.toStdString());
        if (file.delivery == FakeFile::Delivery::Shorter) {
            response.set_content(content->substr(0, content->size() / 2), "application/octet-stream");
            return;
        }
        const bool drop = file.delivery == FakeFile::Delivery::DropMidway;
        response.set_content_provider(content->size(), "application/octet-stream",
                                      [content, drop](size_t offset, size_t, httplib::DataSink &sink) {
                                          // Half the body, then the connection goes away.
                                          if (drop && offset >= content->size() / 2)
                                              return false;
                                          const size_t end = drop ? content->size() / 2 : content->size();
                                          const size_t chunk = std::min<size_t>(1500, end - offset);
                                          sink.write(content->data() + offset, chunk);
                                          return true;
                                      });
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // A stop() before the accept loop runs would be lost and the join would hang.
    for (int waited = 0; !m_server->is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeWebService::~FakeWebService()
{
    m_server->stop();
    m_thread.join();
}

QString FakeWebService::Host() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void FakeWebService::SetProduct(const QString &product, const QList<FakeFile> &files)
{
    std::lock_guard guard(m_lock);
    m_products[product] = files;
}

void FakeWebService::SetFault(const QString &faultText)
{
    std::lock_guard guard(m_lock);
    m_fault = faultText;
}

void FakeWebService::SetLastVersion(const QString &version)
{
    std::lock_guard guard(m_lock);
    m_lastVersion = version;
}

QList<FakeRequest> FakeWebService::Requests() const
{
    std::lock_guard guard(m_lock);
    return m_requests;
}

QStringList FakeWebService::ProductsAsked() const
{
    QStringList products;
    for (const FakeRequest &request : Requests())
        if (request.path.endsWith(QLatin1String("installationprovider.asmx")))
            products << requestValue(request.body, QStringLiteral("prodShortName"));
    return products;
}

int FakeWebService::Downloads() const
{
    std::lock_guard guard(m_lock);
    return m_downloads;
}

void FakeWebService::Record(const FakeRequest &request)
{
    std::lock_guard guard(m_lock);
    m_requests << request;
}

std::string FakeWebService::ProductFilesAnswer(const QString &product) const
{
    std::lock_guard guard(m_lock);
    QString items;
    const QList<FakeFile> files = m_products.value(product);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const FakeFile &file = files[i];
        const QString size = file.sizeText.isEmpty() ? QString::number(file.content.size()) : file.sizeText;
        const QString path = file.downloadPath.isEmpty() ? QStringLiteral("%1/files/%2/%3").arg(Host(), product).arg(i)
                                                         : file.downloadPath;
        items += QStringLiteral("<InstallationFile>") + element(QStringLiteral("FileName"), file.name)
               + element(QStringLiteral("Size"), size) + element(QStringLiteral("Version"), file.version)
               + element(QStringLiteral("DownloadPath"), path) + element(QStringLiteral("TargetDir"), QString())
               + element(QStringLiteral("RegisterMe"), QStringLiteral("false"))
               + element(QStringLiteral("UTCLastModified"), QStringLiteral("2026-01-02T03:04:05Z"))
               + QStringLiteral("</InstallationFile>");
    }
    return (QStringLiteral("<GetProductFilesResult>%1</GetProductFilesResult>").arg(items)
            + element(QStringLiteral("deliveredVersion"), QStringLiteral("0")))
        .toStdString();
}
