// The maker's support delivery service: one SOAP operation that takes the report and the
// sender's details. Its host comes from "settings.ini" ([WebServices] SupportToolDelivery);
// without one the tool is offline and every delivery fails with a message that says so.
#pragma once

#include <QString>

#include <memory>
#include <stdexcept>

class ESupportDeliveryError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class SupportToolDelivery
{
public:
    virtual ~SupportToolDelivery() = default;
    // Raises ESupportDeliveryError when the report did not reach the service.
    virtual void SubmitReport(const QString &xmldoc, const QString &senderemail, const QString &senderorg,
                              const QString &sendername) = 0;
};

class TSupportToolDelivery_Proxy : public SupportToolDelivery
{
public:
    // host: an http(s) URL without path; empty means offline.
    explicit TSupportToolDelivery_Proxy(const QString &host);
    void SubmitReport(const QString &xmldoc, const QString &senderemail, const QString &senderorg,
                      const QString &sendername) override;

private:
    QString m_host;
};

struct CoSupportToolDelivery
{
    static inline const char *SettingsKey = "SupportToolDelivery";
    // The delivery of the tool whose folder holds the settings.
    static std::unique_ptr<SupportToolDelivery> Create(const QString &toolFolder);
};
