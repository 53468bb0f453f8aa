#include "testsupport/FakeWebService.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"

#include "updating/SoapCall.h"
#include "updating/WebServiceSettings.h"
#include "updating/WebVersionChecker.h"
#include "updating/uLogService.h"

#include "foundation/uCommon.h"

#include <QDomDocument>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kestrova::test::LogCapture;

// The parameters of the one operation in a recorded request, as name=value in wire order.
QStringList parametersOf(const FakeRequest &request, QString *operationNamespace = nullptr)
{
    QDomDocument document;
    if (!document.setContent(request.body, true))
        return {QStringLiteral("<unreadable>")};
    const QDomElement operation = document.documentElement().firstChildElement().firstChildElement();
    if (operationNamespace)
        *operationNamespace = operation.namespaceURI();
    QStringList parameters;
    parameters << operation.localName();
    for (QDomElement e = operation.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        parameters << e.localName() + QLatin1Char('=') + e.text();
    return parameters;
}

TEST(UsageReport, CarriesAppAddressComputerAndDescription)
{
    const TUsageReport report = TUsageReport::Make(QStringLiteral("Brennic"), QStringLiteral("1.0.0.4"));
    EXPECT_EQ(report.appid, QStringLiteral("Brennic"));
    const QString computer = TvoSysInfo::GetComputerName();
    EXPECT_EQ(report.remoteuri, QStringLiteral("%1 (%2)").arg(TvoSysInfo::GetLocalIP(), computer));
    EXPECT_EQ(report.logType, 0);
    const QStringList lines = report.description.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9) << report.description.toStdString();
    EXPECT_EQ(lines.mid(0, 7), (QStringList{QStringLiteral("AppID"), QStringLiteral("APP01"), QStringLiteral("ServerVersion"),
                                            QStringLiteral("1.0.0.4"), QStringLiteral("GetComputerNetName"), computer,
                                            QStringLiteral("Mac")}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{12}$")).match(lines[7]).hasMatch()) << lines[7].toStdString();
    EXPECT_EQ(lines[8], QString()) << "every line ends in CR LF";
}

TEST(UsageReport, AddressComesFromTheInterfacesNotTheLoopback)
{
    const TUsageReport report = TUsageReport::Make(QStringLiteral("Brennic"), QStringLiteral("1"));
    const QString address = report.remoteuri.section(QLatin1Char(' '), 0, 0);
    EXPECT_EQ(address, TvoSysInfo::GetLocalIP());
    EXPECT_FALSE(address.startsWith(QStringLiteral("127."))) << address.toStdString();
}

TEST(UsageReport, MachineIdentifierIsNewAtEveryReport)
{
    const QString first = TUsageReport::NewMachineId();
    const QString second = TUsageReport::NewMachineId();
    EXPECT_EQ(first.size(), 12);
    EXPECT_NE(first, second);
}

TEST(UsageReport, ADescriptionThatCannotBeBuiltIsSentAsItsReason)
{
    EXPECT_EQ(TUsageReport::DescriptionOrReason([]() -> QString { throw std::runtime_error("no computer name"); }),
              QStringLiteral("Unable to create description : no computer name"));
    EXPECT_EQ(TUsageReport::DescriptionOrReason([] { return QStringLiteral("AppID\r\n"); }), QStringLiteral("AppID\r\n"));
}

TEST(UsageLogClient, AddSimpleLogSendsTheFourFieldsInOrder)
{
    FakeWebService service;
    const TLogService client(service.Host());
    const TUsageReport report{QStringLiteral("Brennic"), QStringLiteral("10.1.2.3 (church-pc)"), 0,
                              TUsageReport::Description(QStringLiteral("1.0.0.4"), QStringLiteral("church-pc"),
                                                        QStringLiteral("0A1B2C3D4E5F"))};
    EXPECT_TRUE(client.AddSimpleLog(report));

    const QList<FakeRequest> requests = service.Requests();
    ASSERT_EQ(requests.size(), 1);
    const QString ns = service.Host() + QStringLiteral("/QuorvaLogging/");
    EXPECT_EQ(requests[0].path, QStringLiteral("/QuorvaLogging/logservice.asmx"));
    EXPECT_EQ(requests[0].soapAction, QLatin1Char('"') + ns + QStringLiteral("AddSimpleLog\""));
    QString operationNamespace;
    EXPECT_EQ(parametersOf(requests[0], &operationNamespace),
              (QStringList{QStringLiteral("AddSimpleLog"), QStringLiteral("appid=Brennic"),
                           QStringLiteral("remoteuri=10.1.2.3 (church-pc)"), QStringLiteral("logType=0"),
                           QStringLiteral("description=AppID\r\nAPP01\r\nServerVersion\r\n1.0.0.4\r\n"
                                          "GetComputerNetName\r\nchurch-pc\r\nMac\r\n0A1B2C3D4E5F\r\n")}));
    EXPECT_EQ(operationNamespace, ns);
}

TEST(UsageLogClient, AsynchronousReportReportsItsOutcome)
{
    FakeWebService service;
    QNetworkAccessManager manager;
    QEventLoop loop;
    bool delivered = false;
    TLogService(service.Host()).AddSimpleLogAsync(&manager, TUsageReport::Make(QStringLiteral("Brennic"), QStringLiteral("1")),
                                                  [&](bool ok, const QString &) {
                                                      delivered = ok;
                                                      loop.quit();
                                                  });
    loop.exec();
    EXPECT_TRUE(delivered);
    EXPECT_EQ(service.Requests().size(), 1);
}

TEST(UsageLogClient, ServiceFaultRaisesWithItsText)
{
    FakeWebService service;
    service.SetFault(QStringLiteral("log store full"));
    try {
        TLogService(service.Host()).AddSimpleLog(TUsageReport::Make(QStringLiteral("Brennic"), QStringLiteral("1")));
        FAIL() << "a fault must raise";
    } catch (const ESoapError &error) {
        EXPECT_NE(std::string(error.what()).find("log store full"), std::string::npos) << error.what();
    }
}

TEST(UsageLogClient, NoServiceConfiguredSkipsTheReportWithOneLogLine)
{
    LogCapture log;
    EXPECT_FALSE(TLogService(QString()).AddSimpleLog(TUsageReport::Make(QStringLiteral("Brennic"), QStringLiteral("1"))));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].contains(QStringLiteral("report skipped")));
}

TEST(VersionCheckClient, AsksForTheLastVersionOfAnApplication)
{
    FakeWebService service;
    service.SetLastVersion(QStringLiteral("2.1.0.7"));
    EXPECT_EQ(TService(service.Host()).LastVersionOfApplication(QStringLiteral("A01")), QStringLiteral("2.1.0.7"));
    const QList<FakeRequest> requests = service.Requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].path, QStringLiteral("/Service.asmx"));
    EXPECT_EQ(requests[0].soapAction, QLatin1Char('"') + service.Host() + QStringLiteral("/LastVersionOfApplication\""));
    EXPECT_EQ(parametersOf(requests[0]), (QStringList{QStringLiteral("LastVersionOfApplication"), QStringLiteral("AppID=A01")}));
}

TEST(VersionCheckClient, NoServiceConfiguredMeansNoUpdateWithOneLogLine)
{
    LogCapture log;
    EXPECT_EQ(TService(QString()).LastVersionOfApplication(QStringLiteral("A01")), QString());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].contains(QStringLiteral("no update")));
}

TEST(WebServiceHosts, ReadFromTheProgramSettingsWithoutTrailingSlash)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Settings.INI")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[webservices]\r\nlogservice= https://log.example.org/ \r\n");
    file.close();
    EXPECT_EQ(WebServiceSettings::Host(dir.path(), WebServiceSettings::LogServiceKey), QStringLiteral("https://log.example.org"));
    EXPECT_EQ(WebServiceSettings::Host(dir.path(), WebServiceSettings::InstallationKey), QString());
}

TEST(SoapAnswers, AnswerThatIsNoSoapIsAnError)
{
    FakeWebService service;
    TSoapRequest request;
    request.Location = QUrl(service.Host() + QStringLiteral("/files/none/0"));
    request.TargetNamespace = QStringLiteral("urn:x");
    request.Operation = QStringLiteral("Op");
    EXPECT_THROW(TSoapCall::Invoke(request, QStringLiteral("OpResponse")), ESoapError);
}

} // namespace
