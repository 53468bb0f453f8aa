#include "testsupport/FakeServices.h"
#include "Quorva_Data_Service_Async.h"
#include "foundation/QorDateTime.h"

#include <gtest/gtest.h>

namespace {

class ContractDispatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("LogOnService"), [] { return std::make_unique<FakeLogOn>(); },
            std::make_shared<TLogOnService_Invoker>()));
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("EventsService"), [] { return std::make_unique<FakeEvents>(); },
            std::make_shared<TEventsService_Invoker>()));
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("ReportService"), [] { return std::make_unique<FakeEvents>(); },
            std::make_shared<TReportService_Invoker>()));
    }
    void TearDown() override
    {
        for (const char *name : {"LogOnService", "EventsService", "ReportService"})
            UnregisterClassFactory(QString::fromLatin1(name));
    }

    TROMessageDispatcher dispatcher{nullptr, nullptr};
    std::shared_ptr<LoopbackChannel> channel = std::make_shared<LoopbackChannel>(dispatcher);
    std::shared_ptr<TROMessage> message = std::make_shared<TROMessage>();
};

TEST_F(ContractDispatch, ResultComesBeforeOutParametersInTheResponse)
{
    auto logOn = CoLogOnService::Create(message, channel);
    QString newVersion = QStringLiteral("stale");
    EXPECT_TRUE(logOn->UpdateClientEx(QStringLiteral("Quorva"), QStringLiteral("1.0"), newVersion));
    EXPECT_EQ(newVersion, QStringLiteral("Quorva/1.0/2.0"));

    TROMessage reply;
    reply.LoadFromBytes(channel->LastReply, 1 << 20);
    EXPECT_EQ(reply.MessageName(), QStringLiteral("UpdateClientExResponse"));
    EXPECT_EQ(reply.InterfaceName(), QStringLiteral("LogOnService"));
    EXPECT_EQ(reply.LibraryName(), QStringLiteral("Quorva_Data_Service"));
    ASSERT_EQ(reply.Values().size(), 2u);
    EXPECT_EQ(reply.Values()[0].Name, QStringLiteral("Result"));
    EXPECT_EQ(reply.Values()[1].Name, QStringLiteral("NewVersion"));
}

TEST_F(ContractDispatch, VerifyUserHandsTheCallerANewUser)
{
    auto logOn = CoLogOnService::Create(message, channel);
    std::unique_ptr<ROUser> user = std::make_unique<ROUser>();
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), QStringLiteral("pw"), true, {}, false, user), 0);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->UserName, QStringLiteral("anna"));
    EXPECT_EQ(user->UserLevel, 7);
}

TEST_F(ContractDispatch, AnImplementationErrorReachesTheCallerAndClearsOuts)
{
    auto logOn = CoLogOnService::Create(message, channel);
    std::unique_ptr<ROUser> user = std::make_unique<ROUser>();
    try {
        logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), QStringLiteral("raise"), true, {}, false, user);
        FAIL() << "no error";
    } catch (const EROServerError &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("verification failed")));
    }
    EXPECT_FALSE(user);
    // The proxy is usable again after the failure.
    EXPECT_EQ(logOn->GetServerVersion(), QStringLiteral("1.0.0.0"));
}

TEST_F(ContractDispatch, RecordArraysAndGenericDataOperationsTravel)
{
    auto logOn = CoLogOnService::Create(message, channel);
    const auto files = logOn->DownloadClientUpdateEX(QStringLiteral("Quorva"), QStringLiteral("1.0"));
    ASSERT_TRUE(files);
    EXPECT_EQ(files->Items(0).FileName, QStringLiteral("Quorva"));

    auto events = CoEventsService::Create(message, channel);
    TableRequestInfoV5 info;
    info.MaxRecords = 25;
    info.Parameters.append(DataParameter{QStringLiteral("ID"), QStringLiteral("{A}")});
    const auto data = events->GetData({QStringLiteral("Events"), QStringLiteral("Liturgies")}, {info});
    ASSERT_TRUE(data);
    EXPECT_EQ(data->Bytes(), QByteArray("Events,Liturgies|25|{A}"));

    DataParameterArray out;
    EXPECT_EQ(events->ExecuteCommandEx(QStringLiteral("cmd"), {DataParameter{QStringLiteral("In"), 1.5}}, out), 1);
    ASSERT_EQ(out.size(), 2);
    EXPECT_EQ(out[1].Value.toInt(), 42);
    EXPECT_DOUBLE_EQ(out[0].Value.toDouble(), 1.5);

    QString total;
    const auto tpl = events->GetLiturgyTemplate(QStringLiteral("{T}"), total);
    EXPECT_EQ(total, QStringLiteral("3"));
    EXPECT_EQ(tpl->Bytes(), QByteArray("tpl"));
}

TEST_F(ContractDispatch, ATableRequestTravelsWithItsConditionColumnsAndOrder)
{
    auto events = CoEventsService::Create(message, channel);
    TableRequestInfoV5 info;
    info.IncludeSchema = false;
    info.WhereClause = QStringLiteral("<Where><Term Field=\"F_EventID\" Op=\"Equal\" Type=\"String\">{E}</Term></Where>");
    info.DynamicSelectFieldNames = {QStringLiteral("PK_EventID"), QStringLiteral("StartDateTime")};
    info.Sorting = {QStringLiteral("StartDateTime"), ColumnSortDirection::Descending};
    TableRequestInfoV5 plain;
    events->GetData({QStringLiteral("Events"), QStringLiteral("Liturgies")}, {info, plain});
    const QList<TableRequestInfoV5> &got = FakeEvents::LastRequest;
    ASSERT_EQ(got.size(), 2);
    EXPECT_FALSE(got[0].IncludeSchema);
    EXPECT_EQ(got[0].WhereClause, info.WhereClause);
    EXPECT_EQ(got[0].DynamicSelectFieldNames, info.DynamicSelectFieldNames);
    EXPECT_EQ(got[0].Sorting.FieldName, QStringLiteral("StartDateTime"));
    EXPECT_EQ(got[0].Sorting.SortDirection, ColumnSortDirection::Descending);
    EXPECT_TRUE(got[1].WhereClause.isEmpty());
    EXPECT_TRUE(got[1].DynamicSelectFieldNames.isEmpty());
    EXPECT_EQ(got[1].Sorting.SortDirection, ColumnSortDirection::Ascending);
}

TEST_F(ContractDispatch, DateTimesTravelFlaggedAndIntact)
{
    auto events = CoEventsService::Create(message, channel);
    const QDateTime from = WallClock(QDate(2026, 12, 6), QTime(9, 30));
    EXPECT_TRUE(events->RunAutoSchedule(from, from.addDays(30), QStringLiteral("{A}"), QStringLiteral("{B}")));
    EXPECT_EQ(FakeEvents::LastFrom, from);
}

TEST_F(ContractDispatch, StopAutoScheduleIsOneWay)
{
    auto events = CoEventsService::Create(message, channel);
    const int before = FakeEvents::StopCalls;
    events->StopAutoSchedule();
    EXPECT_EQ(FakeEvents::StopCalls, before + 1);
    EXPECT_TRUE(channel->LastReply.isEmpty());
    events->UnAssignMinisters(QStringLiteral("{L}"), true);
    TROMessage reply;
    reply.LoadFromBytes(channel->LastReply, 1 << 20);
    EXPECT_EQ(reply.MessageName(), QStringLiteral("UnAssignMinistersResponse"));
    EXPECT_TRUE(reply.Values().empty());
}

TEST_F(ContractDispatch, GenericOperationsAreRefusedOnServicesWithoutThem)
{
    TROMessage request;
    request.InitializeRequest(QuorvaLibraryName, QStringLiteral("ReportService"), QStringLiteral("GetData"));
    const auto reply = dispatcher.Process(request.SaveToBytes());
    EXPECT_TRUE(reply.IsError);
    request.InitializeRequest(QuorvaLibraryName, QStringLiteral("EventsService"), QStringLiteral("GetSchema"));
    request.WriteUtf8String(QStringLiteral("aFilter"), QString());
    EXPECT_FALSE(dispatcher.Process(request.SaveToBytes()).IsError);
}

TEST_F(ContractDispatch, AServiceObjectOfTheWrongKindIsAnInterfaceError)
{
    // ReportService's factory makes an events object here: the invoker cannot reach IReportService.
    auto reports = CoReportService::Create(message, channel);
    EXPECT_THROW(reports->GetReportDefinitions(QStringLiteral("Contacts")), EROServerError);
}

TEST_F(ContractDispatch, AsyncProxySendsNowAndCollectsLater)
{
    auto async = CoEventsService_Async::Create(message, channel);
    async->Invoke_RunAutoSchedule(WallClock(QDate(2026, 1, 1), QTime()), WallClock(QDate(2026, 2, 1), QTime()),
                                  QString(), QString());
    EXPECT_TRUE(async->GetAnswerReceived());
    EXPECT_TRUE(async->Retrieve_RunAutoSchedule());
    async->Invoke_GetLiturgyTemplate(QStringLiteral("{T}"));
    QString total;
    const auto tpl = async->Retrieve_GetLiturgyTemplate(total);
    EXPECT_EQ(total, QStringLiteral("3"));
    EXPECT_EQ(tpl->Bytes(), QByteArray("tpl"));
}

} // namespace
