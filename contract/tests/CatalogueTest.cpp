#include "Quorva_Data_Service_Async.h"
#include "Quorva_Data_Service_Intf.h"
#include "contract/Catalogue.h"

#include "remoting/RORegistry.h"

#include <QDomDocument>

#include <gtest/gtest.h>

namespace {

QDomElement findNamed(const QDomElement &parent, const QString &tag, const QString &name)
{
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        if (e.attribute(QStringLiteral("Name")) == name)
            return e;
    return {};
}

QUuid interfaceId(const QDomElement &service)
{
    return QUuid(service.firstChildElement(QStringLiteral("Interfaces"))
                     .firstChildElement(QStringLiteral("Interface"))
                     .attribute(QStringLiteral("UID")));
}

TEST(ContractCatalogue, TheLibraryCarriesItsCatalogue)
{
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(QuorvaCatalogue()));
    const QDomElement root = doc.documentElement();
    EXPECT_EQ(root.tagName(), QStringLiteral("Library"));
    EXPECT_EQ(root.attribute(QStringLiteral("Name")), QStringLiteral("Quorva_Data_Service"));
    EXPECT_EQ(root.attribute(QStringLiteral("UID")), QStringLiteral("{438A8E19-D1FC-4003-84BC-C77BE9217479}"));
    EXPECT_EQ(root.attribute(QStringLiteral("Version")), QStringLiteral("3.0"));
    EXPECT_FALSE(root.firstChildElement(QStringLiteral("Uses")).isNull());

    const QDomElement services = root.firstChildElement(QStringLiteral("Services"));
    const std::vector<std::pair<QString, QUuid>> expected = {
        {QStringLiteral("LogOnService"), ILogOnService::IID},     {QStringLiteral("ProbeService"), IProbeService::IID},
        {QStringLiteral("SettingsService"), ISettingsService::IID}, {QStringLiteral("ContactsService"), IContactsService::IID},
        {QStringLiteral("EventsService"), IEventsService::IID},   {QStringLiteral("ResourceService"), IResourceService::IID},
        {QStringLiteral("LSService"), ILSService::IID},           {QStringLiteral("ReportService"), IReportService::IID},
        {QStringLiteral("DataAbstractService"), IDataAbstractService::IID}};
    for (const auto &[name, iid] : expected) {
        const QDomElement service = findNamed(services, QStringLiteral("Service"), name);
        ASSERT_FALSE(service.isNull()) << name.toStdString();
        EXPECT_EQ(interfaceId(service), iid) << name.toStdString();
    }
    const QDomElement sinks = root.firstChildElement(QStringLiteral("EventSinks"));
    EXPECT_EQ(interfaceId(findNamed(sinks, QStringLiteral("EventSink"), QStringLiteral("AutoScheduleEvent"))),
              IAutoScheduleEvent::IID);
    EXPECT_EQ(findNamed(sinks, QStringLiteral("EventSink"), QStringLiteral("AutoScheduleEvent"))
                  .firstChildElement(QStringLiteral("Documentation")).text(),
              QStringLiteral("Provides events for AutoSchedule"));
}

TEST(ContractCatalogue, EveryRecordIsAutoCreatedAndResultsStandFirst)
{
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(QuorvaCatalogue()));
    const QDomElement structs = doc.documentElement().firstChildElement(QStringLiteral("Structs"));
    int count = 0;
    for (QDomElement s = structs.firstChildElement(); !s.isNull(); s = s.nextSiblingElement(), ++count)
        EXPECT_EQ(s.attribute(QStringLiteral("AutoCreateParams")), QStringLiteral("1"));
    EXPECT_EQ(count, 8);

    const QDomElement verify = findNamed(
        findNamed(doc.documentElement().firstChildElement(QStringLiteral("Services")), QStringLiteral("Service"),
                  QStringLiteral("LogOnService"))
            .firstChildElement(QStringLiteral("Interfaces")).firstChildElement(QStringLiteral("Interface"))
            .firstChildElement(QStringLiteral("Operations")),
        QStringLiteral("Operation"), QStringLiteral("VerifyUser"));
    QStringList names;
    for (QDomElement p = verify.firstChildElement(QStringLiteral("Parameters")).firstChildElement(); !p.isNull();
         p = p.nextSiblingElement())
        names << p.attribute(QStringLiteral("Name")) + QLatin1Char(':') + p.attribute(QStringLiteral("Flag"));
    EXPECT_EQ(names.join(QLatin1Char(' ')),
              QStringLiteral("Result:Result AppID:In Username:In Password:In InteractiveLogon:In WindowsAccount:In "
                             "StoreInteractiveLogon:In User:Out"));
}

TEST(ContractCatalogue, RegistrationsComeAndGoWithTheContract)
{
    EXPECT_TRUE(FindProxyClass(ILogOnService::IID));
    EXPECT_TRUE(FindProxyClass(IReportService::IID));
    EXPECT_TRUE(FindEventWriterClass(IAutoScheduleEvent_Writer::IID));
    EXPECT_TRUE(FindEventInvokerClass(QStringLiteral("ClientPopupEvent")));
    EXPECT_TRUE(IsROClassRegistered(QStringLiteral("UpdateFiles")));

    UnregisterQuorvaDataService();
    EXPECT_FALSE(FindProxyClass(ILogOnService::IID));
    EXPECT_FALSE(FindEventWriterClass(IAutoScheduleEvent_Writer::IID));
    EXPECT_FALSE(FindEventInvokerClass(QStringLiteral("AutoScheduleEvent")));
    EXPECT_FALSE(IsROClassRegistered(QStringLiteral("ROUser")));
    RegisterQuorvaDataService();
    EXPECT_TRUE(FindProxyClass(IEventsService::IID));
}

} // namespace
