// Every operation of every service through the real proxies and invokers: the values arrive
// intact, and the names, order and types on the wire match this hand-written list of the
// contract (not the catalogue the code is generated from, so a wrong catalogue fails here).
#include "testsupport/FakeServices.h"
#include "Quorva_Data_Service_Async.h"
#include "foundation/QorDateTime.h"

#include <QMap>

#include <gtest/gtest.h>

namespace {

// Wall-clock values as written, without a zone.
const QString kWallClock = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
const QString kWallClockMs = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

const QStringList kContract = {
    // Generic data operations, the same on every data service.
    QStringLiteral("GetSchema(aFilter:Utf8String) -> Result:Utf8String"),
    QStringLiteral("GetData(aTableNameArray:StringArray aTableRequestInfoArray:TableRequestInfoArray) -> Result:Binary"),
    QStringLiteral("UpdateData(aDelta:Binary) -> Result:Binary"),
    QStringLiteral("ExecuteCommand(aCommandName:Utf8String aParameterArray:DataParameterArray) -> Result:Integer"),
    QStringLiteral("ExecuteCommandEx(aCommandName:Utf8String aInputParameters:DataParameterArray) -> Result:Integer aOutputParameters:DataParameterArray"),
    QStringLiteral("GetTableSchema(aTableNameArray:StringArray) -> Result:Utf8String"),
    QStringLiteral("GetCommandSchema(aCommandNameArray:StringArray) -> Result:Utf8String"),
    QStringLiteral("SQLGetData(aSQLText:Utf8String aIncludeSchema:Boolean aMaxRecords:Integer) -> Result:Binary"),
    QStringLiteral("SQLExecuteCommand(aSQLText:Utf8String) -> Result:Integer"),
    QStringLiteral("GetDatasetScripts(DatasetNames:Utf8String) -> Result:Utf8String"),
    QStringLiteral("RegisterForDataChangeNotification(aTableName:Utf8String) ->"),
    QStringLiteral("UnregisterForDataChangeNotification(aTableName:Utf8String) ->"),
    // LogOnService
    QStringLiteral("UpdateClient(AppID:String PackageNumber:Integer) -> Result:Boolean"),
    QStringLiteral("UpdateClientEx(AppID:String ClientVersion:String) -> Result:Boolean NewVersion:String"),
    QStringLiteral("GetUserList(AppID:String) -> Result:String"),
    QStringLiteral("DownloadClientUpdate(AppID:String Version:Integer) -> Result:Binary"),
    QStringLiteral("DownloadClientUpdateEX(AppID:String ClientVersion:String) -> Result:UpdateFiles"),
    QStringLiteral("VerifyInitialSetup(AppID:String) -> Result:Integer"),
    QStringLiteral("VerifyUser(AppID:String Username:String Password:String InteractiveLogon:Boolean WindowsAccount:String StoreInteractiveLogon:Boolean) -> Result:Integer User:ROUser"),
    QStringLiteral("GetServerVersion() -> Result:String"),
    QStringLiteral("RequestPasswordChange(Username:String Password:String) -> Result:Boolean"),
    // ProbeService
    QStringLiteral("ProbeServer() -> Result:Boolean"),
    // SettingsService
    QStringLiteral("CheckIfMinistryFunctionIsInUse(MinistryFunctionID:String) -> Result:Boolean"),
    QStringLiteral("DeleteUser(AUserList:Widestring) -> Result:Boolean"),
    QStringLiteral("ShouldUpdateToMSSQL() -> Result:Boolean"),
    QStringLiteral("RunMSSQLMigration(ConnectionString:String) -> Result:Boolean"),
    QStringLiteral("LoadBlobSetting(AppID:String UserID:String Blobname:String) -> Result:Binary"),
    QStringLiteral("SaveBlobSetting(AppID:String UserID:String BlobName:String BlobData:Binary) ->"),
    QStringLiteral("ClearBlobSetting(AppID:String UserID:String BlobName:String) -> Result:Boolean"),
    // ContactsService
    QStringLiteral("GetGroupedContacts(ADataSet:String AWhereClause:Widestring) -> Result:Binary"),
    QStringLiteral("GetSearchData(ASearchQuery:Widestring AMaxRecords:Integer) -> Result:Binary"),
    QStringLiteral("GetSearchSchema(ASearchQuery:Widestring) -> Result:Binary"),
    QStringLiteral("AddContactToFamily(ContactID:String FamilyID:String) -> Result:Boolean"),
    QStringLiteral("RemoveContactsFromFamily(FamilyID:Widestring) -> Result:Boolean"),
    QStringLiteral("InsertGroupedContact(AMemberID:String AMemberTypeID:String AGroupID:String) -> Result:Boolean"),
    QStringLiteral("RemoveGroupMembers(ADataSet:String AWhere:String) -> Result:Boolean"),
    QStringLiteral("DeleteContacts(AContactList:Widestring) -> Result:Boolean"),
    // EventsService
    QStringLiteral("GetLiturgyTemplate(TemplateID:String) -> Result:Binary TotalCount:String"),
    QStringLiteral("IsAutoScheduleRunning() -> Result:Boolean"),
    QStringLiteral("RunAutoSchedule(AFromDate:DateTime AToDate:DateTime ATemplateList:String AMinistryFunctionList:String) -> Result:Boolean"),
    QStringLiteral("DeleteEvents(AEventList:Widestring) -> Result:Boolean"),
    QStringLiteral("UnAssignMinisters(LiturgyIDs:String UnAssignLockedMinisters:Boolean) ->"),
    // ResourceService, LSService
    QStringLiteral("DeleteMinistryFunctions(AFunctionList:Widestring) -> Result:Boolean"),
    QStringLiteral("UpdateEvent(EventAction:Integer EventID:String EventStart:DateTime EventEnd:DateTime EventLocationID:String EventLocationCaption:String EventSubject:String EventMessage:Widestring EventLabelColor:Integer EventEditable:Boolean) -> Result:String"),
    // ReportService
    QStringLiteral("GenerateReport(ReportName:String DataSetName:String ACriteria:String AOrderBy:String) -> Result:Binary"),
    QStringLiteral("GetReportSchema(DatasetName:String) -> Result:Binary"),
    QStringLiteral("GetReportData(MaxRows:Integer DataSetName:String) -> Result:Binary TotalRows:Integer"),
    QStringLiteral("GetReportDefinitions(ACategory:String) -> Result:Widestring"),
    QStringLiteral("GetReportDefinitionsEx() -> Result:Binary"),
    QStringLiteral("GetWordReportTemplate(AWordDoc:String) -> Result:Binary"),
    QStringLiteral("GetWordReportData(ADatasetName:String ACriteria:String AOrderBy:String) -> Result:Binary"),
    QStringLiteral("GetReportDataAsDataset(DataSetName:String ACriteria:String AOrderBy:String) -> Result:Binary"),
    QStringLiteral("GetReportFile(Reportname:String) -> Result:Binary"),
};

QString wireType(const ROValue &v)
{
    static const QMap<QString, QString> arrays = {{QStringLiteral("Utf8String"), QStringLiteral("StringArray")},
                                                  {QStringLiteral("DataParameter"), QStringLiteral("DataParameterArray")},
                                                  {QStringLiteral("TableRequestInfo"), QStringLiteral("TableRequestInfoArray")},
                                                  {QStringLiteral("UpdateFile"), QStringLiteral("UpdateFiles")}};
    switch (v.Type()) {
    case ROType::AnsiString: return QStringLiteral("String");
    case ROType::WideString: return QStringLiteral("Widestring");
    case ROType::Array: return arrays.value(v.TypeName(), v.TypeName());
    case ROType::Record: return v.TypeName();
    default: return ROTypeName(v.Type());
    }
}

QString names(const std::vector<RONamedValue> &values)
{
    QStringList parts;
    for (const RONamedValue &v : values)
        parts << v.Name + QLatin1Char(':') + wireType(v.Value);
    return parts.join(QLatin1Char(' '));
}

// One service doing everything: each operation notes what arrived and answers from it.
class EchoService : public TRORemotable, public ISettingsService, public IContactsService, public IEventsService,
                    public IResourceService, public ILSService, public ILogOnService, public IProbeService,
                    public IReportService
{
public:
    static inline QStringList Calls;
    static QString j(const QStringList &l) { return l.join(QLatin1Char(',')); }
    static std::unique_ptr<TROBinaryMemoryStream> bin(const QString &s) { return std::make_unique<TROBinaryMemoryStream>(s.toUtf8()); }
    void note(const QString &s) { Calls << s; }

    bool queryInterface(const QUuid &, void **) override { return false; }
    QString GetSchema(const QString &f) override { note(f); return f + QStringLiteral("!"); }
    std::unique_ptr<TROBinaryMemoryStream> GetData(const QStringList &n, const QList<TableRequestInfoV5> &i) override
    {
        note(j(n) + QLatin1Char('|') + i.value(0).UserFilter + QString::number(i.value(0).IncludeSchema) + QString::number(i.value(0).MaxRecords));
        return bin(j(n));
    }
    std::unique_ptr<TROBinaryMemoryStream> UpdateData(const TROBinaryMemoryStream *d) override { note(QString::fromUtf8(d->Bytes())); return bin(QStringLiteral("applied")); }
    qint32 ExecuteCommand(const QString &c, const DataParameterArray &p) override { note(c + p.value(0).Name + p.value(0).Value.toString()); return 5; }
    qint32 ExecuteCommandEx(const QString &c, const DataParameterArray &in, DataParameterArray &out) override
    {
        note(c + QString::number(in.size()));
        out = {DataParameter{QStringLiteral("When"), WallClock(QDate(2030, 1, 2), QTime(3, 4, 5))}, DataParameter{QStringLiteral("Blob"), QByteArray("\0\1", 2)}};
        return 6;
    }
    QString GetTableSchema(const QStringList &n) override { return j(n); }
    QString GetCommandSchema(const QStringList &n) override { return j(n) + QStringLiteral("?"); }
    std::unique_ptr<TROBinaryMemoryStream> SQLGetData(const QString &s, bool i, qint32 m) override { return bin(s + QString::number(i) + QString::number(m)); }
    qint32 SQLExecuteCommand(const QString &s) override { return int(s.size()); }
    QString GetDatasetScripts(const QString &n) override { return n.toUpper(); }
    void RegisterForDataChangeNotification(const QString &t) override { note(QStringLiteral("reg ") + t); }
    void UnregisterForDataChangeNotification(const QString &t) override { note(QStringLiteral("unreg ") + t); }

    bool CheckIfMinistryFunctionIsInUse(const QString &id) override { return id == QLatin1String("{USED}"); }
    bool DeleteUser(const QString &l) override { note(l); return true; }
    bool ShouldUpdateToMSSQL() override { return false; }
    bool RunMSSQLMigration(const QString &c) override { note(c); return false; }
    std::unique_ptr<TROBinaryMemoryStream> LoadBlobSetting(const QString &a, const QString &u, const QString &b) override { return bin(a + u + b); }
    void SaveBlobSetting(const QString &a, const QString &u, const QString &b, const TROBinaryMemoryStream *d) override { note(a + u + b + QString::fromUtf8(d->Bytes())); }
    bool ClearBlobSetting(const QString &a, const QString &u, const QString &b) override { note(a + u + b); return true; }

    std::unique_ptr<TROBinaryMemoryStream> GetGroupedContacts(const QString &d, const QString &w) override { return bin(d + w); }
    std::unique_ptr<TROBinaryMemoryStream> GetSearchData(const QString &q, qint32 m) override { return bin(q + QString::number(m)); }
    std::unique_ptr<TROBinaryMemoryStream> GetSearchSchema(const QString &q) override { return bin(q); }
    bool AddContactToFamily(const QString &c, const QString &f) override { note(c + f); return true; }
    bool RemoveContactsFromFamily(const QString &f) override { note(f); return true; }
    bool InsertGroupedContact(const QString &m, const QString &t, const QString &g) override { note(m + t + g); return true; }
    bool RemoveGroupMembers(const QString &d, const QString &w) override { note(d + w); return false; }
    bool DeleteContacts(const QString &l) override { note(l); return true; }

    std::unique_ptr<TROBinaryMemoryStream> GetLiturgyTemplate(const QString &t, QString &total) override { total = QStringLiteral("12"); return bin(t); }
    bool IsAutoScheduleRunning() override { return true; }
    bool RunAutoSchedule(const QDateTime &f, const QDateTime &t, const QString &l, const QString &m) override
    {
        note(f.toString(kWallClockMs) + t.toString(kWallClockMs) + l + m);
        return true;
    }
    bool DeleteEvents(const QString &l) override { note(l); return true; }
    void StopAutoSchedule() override { note(QStringLiteral("stop")); }
    void UnAssignMinisters(const QString &l, bool locked) override { note(l + QString::number(locked)); }
    bool DeleteMinistryFunctions(const QString &l) override { note(l); return true; }
    QString UpdateEvent(qint32 a, const QString &id, const QDateTime &s, const QDateTime &e, const QString &loc, const QString &cap,
                        const QString &sub, const QString &msg, qint32 color, bool editable) override
    {
        return QStringList{QString::number(a), id, s.toString(kWallClock), e.toString(kWallClock), loc, cap, sub, msg,
                           QString::number(color), QString::number(editable)}.join(QLatin1Char('|'));
    }

    bool UpdateClient(const QString &a, qint32 p) override { note(a + QString::number(p)); return false; }
    bool UpdateClientEx(const QString &a, const QString &v, QString &n) override { n = a + v; return true; }
    QString GetUserList(const QString &a) override { return a + QStringLiteral(":anna\r\nben"); }
    std::unique_ptr<TROBinaryMemoryStream> DownloadClientUpdate(const QString &, qint32) override { return nullptr; }
    std::unique_ptr<UpdateFiles> DownloadClientUpdateEX(const QString &a, const QString &v) override
    {
        auto files = std::make_unique<UpdateFiles>();
        UpdateFile &f = files->Add();
        f.FileName = a;
        f.Fileversion = v;
        f.FileSize = QStringLiteral("3");
        f.Filedata().SetBytes("xyz");
        return files;
    }
    qint32 VerifyInitialSetup(const QString &) override { return 2; }
    qint32 VerifyUser(const QString &a, const QString &u, const QString &p, bool i, const QString &w, bool s,
                      std::unique_ptr<ROUser> &user) override
    {
        note(QStringList{a, u, p, QString::number(i), w, QString::number(s)}.join(QLatin1Char('|')));
        user = std::make_unique<ROUser>();
        user->UserID = QStringLiteral("{ID}");
        user->UserName = u;
        user->UserLevel = 0x7FFFFFFF;
        return 0;
    }
    QString GetServerVersion() override { return QStringLiteral("1.0.0.0"); }
    bool RequestPasswordChange(const QString &u, const QString &p) override { note(u + p); return true; }
    bool ProbeServer() override { return true; }

    std::unique_ptr<TROBinaryMemoryStream> GenerateReport(const QString &r, const QString &d, const QString &c, const QString &o) override { return bin(r + d + c + o); }
    std::unique_ptr<TROBinaryMemoryStream> GetReportSchema(const QString &d) override { return bin(d); }
    std::unique_ptr<TROBinaryMemoryStream> GetReportData(qint32 m, const QString &d, qint32 &total) override { total = m * 2; return bin(d); }
    QString GetReportDefinitions(const QString &c) override { return c + QStringLiteral("\r\nline"); }
    std::unique_ptr<TROBinaryMemoryStream> GetReportDefinitionsEx() override { return nullptr; }
    std::unique_ptr<TROBinaryMemoryStream> GetWordReportTemplate(const QString &w) override { return bin(w); }
    std::unique_ptr<TROBinaryMemoryStream> GetWordReportData(const QString &d, const QString &c, const QString &o) override { return bin(d + c + o); }
    std::unique_ptr<TROBinaryMemoryStream> GetReportDataAsDataset(const QString &d, const QString &c, const QString &o) override { return bin(o + c + d); }
    std::unique_ptr<TROBinaryMemoryStream> GetReportFile(const QString &r) override { return bin(r); }
};

class EveryOperation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        registerService<TLogOnService_Invoker>(QStringLiteral("LogOnService"));
        registerService<TProbeService_Invoker>(QStringLiteral("ProbeService"));
        registerService<TSettingsService_Invoker>(QStringLiteral("SettingsService"));
        registerService<TContactsService_Invoker>(QStringLiteral("ContactsService"));
        registerService<TEventsService_Invoker>(QStringLiteral("EventsService"));
        registerService<TResourceService_Invoker>(QStringLiteral("ResourceService"));
        registerService<TLSService_Invoker>(QStringLiteral("LSService"));
        registerService<TReportService_Invoker>(QStringLiteral("ReportService"));
        EchoService::Calls.clear();
    }
    void TearDown() override
    {
        for (const QString &name : registered)
            UnregisterClassFactory(name);
    }
    template <class Invoker> void registerService(const QString &name)
    {
        RegisterClassFactory(std::make_shared<TROClassFactory>(name, [] { return std::make_unique<EchoService>(); },
                                                               std::make_shared<Invoker>()));
        registered << name;
    }
    // The last call's request and reply in the hand-written notation.
    QString lastCall() const
    {
        TROMessage request;
        request.LoadFromBytes(channel->LastRequest, 1 << 26);
        QString text = request.MessageName() + QLatin1Char('(') + names(request.Values()) + QStringLiteral(") ->");
        if (!channel->LastReply.isEmpty()) {
            TROMessage reply;
            reply.LoadFromBytes(channel->LastReply, 1 << 26);
            EXPECT_EQ(reply.MessageName(), request.MessageName() + QStringLiteral("Response"));
            EXPECT_EQ(reply.InterfaceName(), request.InterfaceName());
            if (!reply.Values().empty())
                text += QLatin1Char(' ') + names(reply.Values());
        }
        return text;
    }
    void expectWire(const char *operation)
    {
        const QString op = QString::fromLatin1(operation);
        QString expected;
        for (const QString &line : kContract)
            if (line.startsWith(op + QLatin1Char('(')))
                expected = line;
        ASSERT_FALSE(expected.isEmpty()) << operation;
        EXPECT_EQ(lastCall(), expected);
        ++checked;
    }

    QStringList registered;
    TROMessageDispatcher dispatcher{nullptr, nullptr};
    std::shared_ptr<LoopbackChannel> channel = std::make_shared<LoopbackChannel>(dispatcher);
    std::shared_ptr<TROMessage> message = std::make_shared<TROMessage>();
    int checked = 0;
};

TEST_F(EveryOperation, LogOnAndProbe)
{
    auto s = CoLogOnService::Create(message, channel);
    EXPECT_FALSE(s->UpdateClient(QStringLiteral("Q"), 7));
    expectWire("UpdateClient");
    QString nv;
    EXPECT_TRUE(s->UpdateClientEx(QStringLiteral("Q"), QStringLiteral("1.2"), nv));
    EXPECT_EQ(nv, QStringLiteral("Q1.2"));
    expectWire("UpdateClientEx");
    EXPECT_EQ(s->GetUserList(QStringLiteral("Q")), QStringLiteral("Q:anna\r\nben"));
    expectWire("GetUserList");
    EXPECT_FALSE(s->DownloadClientUpdate(QStringLiteral("Q"), 3));
    expectWire("DownloadClientUpdate");
    const auto files = s->DownloadClientUpdateEX(QStringLiteral("Q"), QStringLiteral("2.0"));
    ASSERT_TRUE(files);
    EXPECT_EQ(files->Items(0).FileName, QStringLiteral("Q"));
    EXPECT_EQ(files->Items(0).Fileversion, QStringLiteral("2.0"));
    EXPECT_EQ(files->Items(0).FileSize, QStringLiteral("3"));
    EXPECT_EQ(files->Items(0).Filedata().Bytes(), QByteArray("xyz"));
    expectWire("DownloadClientUpdateEX");
    EXPECT_EQ(s->VerifyInitialSetup(QStringLiteral("Q")), 2);
    expectWire("VerifyInitialSetup");
    std::unique_ptr<ROUser> user;
    EXPECT_EQ(s->VerifyUser(QStringLiteral("Q"), QString::fromUtf8("Jörg"), QStringLiteral("pw"), true, QStringLiteral("win"), false, user), 0);
    EXPECT_EQ(EchoService::Calls.last(), QString::fromUtf8("Q|Jörg|pw|1|win|0"));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->UserID, QStringLiteral("{ID}"));
    EXPECT_EQ(user->UserLevel, 0x7FFFFFFF);
    expectWire("VerifyUser");
    EXPECT_EQ(s->GetServerVersion(), QStringLiteral("1.0.0.0"));
    expectWire("GetServerVersion");
    EXPECT_TRUE(s->RequestPasswordChange(QStringLiteral("anna"), QStringLiteral("new")));
    EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("annanew"));
    expectWire("RequestPasswordChange");
    EXPECT_TRUE(CoProbeService::Create(message, channel)->ProbeServer());
    expectWire("ProbeServer");
    EXPECT_EQ(checked, 10);
}

TEST_F(EveryOperation, GenericDataOperationsOnEveryDataService)
{
    std::vector<std::unique_ptr<IDataAbstractService>> services;
    services.push_back(CoSettingsService::Create(message, channel));
    services.push_back(CoContactsService::Create(message, channel));
    services.push_back(CoEventsService::Create(message, channel));
    TRORemoteService remote(message, channel);
    for (const QUuid &iid : {IResourceService::IID, ILSService::IID}) {
        auto proxy = remote.CreateProxy(iid);
        services.push_back(std::unique_ptr<IDataAbstractService>(dynamic_cast<IDataAbstractService *>(proxy.release())));
    }
    for (auto &s : services) {
        ASSERT_TRUE(s);
        EXPECT_EQ(s->GetSchema(QStringLiteral("f")), QStringLiteral("f!"));
        expectWire("GetSchema");
        TableRequestInfoV5 info;
        info.UserFilter = QStringLiteral("x");
        info.IncludeSchema = false;
        info.MaxRecords = 9;
        EXPECT_EQ(s->GetData({QStringLiteral("A"), QStringLiteral("B")}, {info})->Bytes(), QByteArray("A,B"));
        EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("A,B|x09"));
        expectWire("GetData");
        const TROBinaryMemoryStream delta(QByteArray("delta"));
        EXPECT_EQ(s->UpdateData(&delta)->Bytes(), QByteArray("applied"));
        expectWire("UpdateData");
        EXPECT_EQ(s->ExecuteCommand(QStringLiteral("c"), {DataParameter{QStringLiteral("P"), QStringLiteral("v")}}), 5);
        EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("cPv"));
        expectWire("ExecuteCommand");
        DataParameterArray out;
        EXPECT_EQ(s->ExecuteCommandEx(QStringLiteral("c"), {DataParameter{}, DataParameter{}}, out), 6);
        ASSERT_EQ(out.size(), 2);
        EXPECT_EQ(out[0].Value.toDateTime(), WallClock(QDate(2030, 1, 2), QTime(3, 4, 5)));
        EXPECT_EQ(out[1].Value.toByteArray(), QByteArray("\0\1", 2));
        expectWire("ExecuteCommandEx");
        EXPECT_EQ(s->GetTableSchema({QStringLiteral("T")}), QStringLiteral("T"));
        expectWire("GetTableSchema");
        EXPECT_EQ(s->GetCommandSchema({QStringLiteral("C")}), QStringLiteral("C?"));
        expectWire("GetCommandSchema");
        EXPECT_EQ(s->SQLGetData(QStringLiteral("q"), true, 4)->Bytes(), QByteArray("q14"));
        expectWire("SQLGetData");
        EXPECT_EQ(s->SQLExecuteCommand(QStringLiteral("abc")), 3);
        expectWire("SQLExecuteCommand");
        EXPECT_EQ(s->GetDatasetScripts(QStringLiteral("ds")), QStringLiteral("DS"));
        expectWire("GetDatasetScripts");
        s->RegisterForDataChangeNotification(QStringLiteral("t"));
        expectWire("RegisterForDataChangeNotification");
        s->UnregisterForDataChangeNotification(QStringLiteral("t"));
        expectWire("UnregisterForDataChangeNotification");
    }
    EXPECT_EQ(checked, 60);
}

TEST_F(EveryOperation, SettingsContactsResourceAndLs)
{
    auto settings = CoSettingsService::Create(message, channel);
    EXPECT_TRUE(settings->CheckIfMinistryFunctionIsInUse(QStringLiteral("{USED}")));
    expectWire("CheckIfMinistryFunctionIsInUse");
    EXPECT_TRUE(settings->DeleteUser(QString::fromUtf8("{A}\r\n{B} – ü")));
    EXPECT_EQ(EchoService::Calls.last(), QString::fromUtf8("{A}\r\n{B} – ü"));
    expectWire("DeleteUser");
    EXPECT_FALSE(settings->ShouldUpdateToMSSQL());
    expectWire("ShouldUpdateToMSSQL");
    EXPECT_FALSE(settings->RunMSSQLMigration(QStringLiteral("cs")));
    expectWire("RunMSSQLMigration");
    EXPECT_EQ(settings->LoadBlobSetting(QStringLiteral("a"), QStringLiteral("u"), QStringLiteral("b"))->Bytes(), QByteArray("aub"));
    expectWire("LoadBlobSetting");
    const TROBinaryMemoryStream blob(QByteArray("data"));
    settings->SaveBlobSetting(QStringLiteral("a"), QStringLiteral("u"), QStringLiteral("b"), &blob);
    EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("aubdata"));
    expectWire("SaveBlobSetting");
    EXPECT_TRUE(settings->ClearBlobSetting(QStringLiteral("a"), QStringLiteral("u"), QStringLiteral("b")));
    expectWire("ClearBlobSetting");

    auto contacts = CoContactsService::Create(message, channel);
    EXPECT_EQ(contacts->GetGroupedContacts(QStringLiteral("d"), QStringLiteral("w"))->Bytes(), QByteArray("dw"));
    expectWire("GetGroupedContacts");
    EXPECT_EQ(contacts->GetSearchData(QStringLiteral("q"), 50)->Bytes(), QByteArray("q50"));
    expectWire("GetSearchData");
    EXPECT_EQ(contacts->GetSearchSchema(QStringLiteral("q"))->Bytes(), QByteArray("q"));
    expectWire("GetSearchSchema");
    EXPECT_TRUE(contacts->AddContactToFamily(QStringLiteral("c"), QStringLiteral("f")));
    expectWire("AddContactToFamily");
    EXPECT_TRUE(contacts->RemoveContactsFromFamily(QStringLiteral("f")));
    expectWire("RemoveContactsFromFamily");
    EXPECT_TRUE(contacts->InsertGroupedContact(QStringLiteral("m"), QStringLiteral("t"), QStringLiteral("g")));
    EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("mtg"));
    expectWire("InsertGroupedContact");
    EXPECT_FALSE(contacts->RemoveGroupMembers(QStringLiteral("d"), QStringLiteral("w")));
    expectWire("RemoveGroupMembers");
    EXPECT_TRUE(contacts->DeleteContacts(QStringLiteral("l")));
    expectWire("DeleteContacts");

    TRORemoteService remote(message, channel);
    auto resourceProxy = remote.CreateProxy(IResourceService::IID);
    auto *resource = dynamic_cast<IResourceService *>(resourceProxy.get());
    ASSERT_TRUE(resource);
    EXPECT_TRUE(resource->DeleteMinistryFunctions(QStringLiteral("{F}")));
    expectWire("DeleteMinistryFunctions");
    auto lsProxy = remote.CreateProxy(ILSService::IID);
    auto *ls = dynamic_cast<ILSService *>(lsProxy.get());
    ASSERT_TRUE(ls);
    const QDateTime start = WallClock(QDate(2026, 12, 24), QTime(22, 0));
    EXPECT_EQ(ls->UpdateEvent(1, QStringLiteral("{E}"), start, start.addSecs(5400), QStringLiteral("{L}"), QStringLiteral("Church"),
                              QStringLiteral("Mass"), QStringLiteral("msg"), 255, true),
              QStringLiteral("1|{E}|2026-12-24T22:00:00|2026-12-24T23:30:00|{L}|Church|Mass|msg|255|1"));
    expectWire("UpdateEvent");
    EXPECT_EQ(checked, 17);
}

TEST_F(EveryOperation, EventsAndReports)
{
    auto events = CoEventsService::Create(message, channel);
    QString total;
    EXPECT_EQ(events->GetLiturgyTemplate(QStringLiteral("{T}"), total)->Bytes(), QByteArray("{T}"));
    EXPECT_EQ(total, QStringLiteral("12"));
    expectWire("GetLiturgyTemplate");
    EXPECT_TRUE(events->IsAutoScheduleRunning());
    expectWire("IsAutoScheduleRunning");
    const QDateTime from = WallClock(QDate(2026, 12, 1), QTime(0, 0, 0, 1));
    EXPECT_TRUE(events->RunAutoSchedule(from, from.addDays(31), QStringLiteral("t"), QStringLiteral("m")));
    EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("2026-12-01T00:00:00.0012027-01-01T00:00:00.001tm"));
    expectWire("RunAutoSchedule");
    EXPECT_TRUE(events->DeleteEvents(QStringLiteral("e")));
    expectWire("DeleteEvents");
    events->UnAssignMinisters(QStringLiteral("l"), true);
    EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("l1"));
    expectWire("UnAssignMinisters");
    events->StopAutoSchedule();
    EXPECT_EQ(EchoService::Calls.last(), QStringLiteral("stop"));
    EXPECT_TRUE(channel->LastReply.isEmpty());

    auto reports = CoReportService::Create(message, channel);
    EXPECT_EQ(reports->GenerateReport(QStringLiteral("r"), QStringLiteral("d"), QStringLiteral("c"), QStringLiteral("o"))->Bytes(), QByteArray("rdco"));
    expectWire("GenerateReport");
    EXPECT_EQ(reports->GetReportSchema(QStringLiteral("d"))->Bytes(), QByteArray("d"));
    expectWire("GetReportSchema");
    qint32 rows = -1;
    EXPECT_EQ(reports->GetReportData(21, QStringLiteral("d"), rows)->Bytes(), QByteArray("d"));
    EXPECT_EQ(rows, 42);
    expectWire("GetReportData");
    EXPECT_EQ(reports->GetReportDefinitions(QStringLiteral("Contacts")), QStringLiteral("Contacts\r\nline"));
    expectWire("GetReportDefinitions");
    EXPECT_FALSE(reports->GetReportDefinitionsEx());
    expectWire("GetReportDefinitionsEx");
    EXPECT_EQ(reports->GetWordReportTemplate(QStringLiteral("w"))->Bytes(), QByteArray("w"));
    expectWire("GetWordReportTemplate");
    EXPECT_EQ(reports->GetWordReportData(QStringLiteral("d"), QStringLiteral("c"), QStringLiteral("o"))->Bytes(), QByteArray("dco"));
    expectWire("GetWordReportData");
    EXPECT_EQ(reports->GetReportDataAsDataset(QStringLiteral("d"), QStringLiteral("c"), QStringLiteral("o"))->Bytes(), QByteArray("ocd"));
    expectWire("GetReportDataAsDataset");
    EXPECT_EQ(reports->GetReportFile(QStringLiteral("r"))->Bytes(), QByteArray("r"));
    expectWire("GetReportFile");
    EXPECT_EQ(checked, 14);
}

TEST_F(EveryOperation, UnknownOperationsAndServicesGetErrorReplies)
{
    TROMessage request;
    request.InitializeRequest(QuorvaLibraryName, QStringLiteral("LogOnService"), QStringLiteral("NoSuchOperation"));
    EXPECT_TRUE(dispatcher.Process(request.SaveToBytes()).IsError);
    for (const char *service : {"LogOnService", "ProbeService", "ReportService"}) {
        request.InitializeRequest(QuorvaLibraryName, QString::fromLatin1(service), QStringLiteral("GetSchema"));
        request.WriteUtf8String(QStringLiteral("aFilter"), QString());
        EXPECT_TRUE(dispatcher.Process(request.SaveToBytes()).IsError) << service;
    }
    request.InitializeRequest(QuorvaLibraryName, QStringLiteral("DataAbstractService"), QStringLiteral("GetSchema"));
    request.WriteUtf8String(QStringLiteral("aFilter"), QString());
    EXPECT_TRUE(dispatcher.Process(request.SaveToBytes()).IsError);
}

TEST(ContractGuids, ServicesSinksAndTypesCarryTheirFixedGuids)
{
    EXPECT_EQ(ILogOnService::IID, QUuid(QStringLiteral("{1FF85211-7065-4BF4-9F3F-4CB8D337F93B}")));
    EXPECT_EQ(IProbeService::IID, QUuid(QStringLiteral("{AEE7A647-0E47-46FC-96DF-222671D25EBB}")));
    EXPECT_EQ(ISettingsService::IID, QUuid(QStringLiteral("{F18DB2CE-2C93-4501-A73D-0AEC9B17DA1E}")));
    EXPECT_EQ(IContactsService::IID, QUuid(QStringLiteral("{76B7AD5A-3613-4ECA-953E-E7006CCD0BDC}")));
    EXPECT_EQ(IEventsService::IID, QUuid(QStringLiteral("{30305F44-684F-4E98-85F6-DEF2D382C15D}")));
    EXPECT_EQ(IResourceService::IID, QUuid(QStringLiteral("{E8668E0C-F7BA-4288-BA58-2637CF3C4EF7}")));
    EXPECT_EQ(ILSService::IID, QUuid(QStringLiteral("{93676A8E-6CC2-4071-AE23-677107D5DE65}")));
    EXPECT_EQ(IReportService::IID, QUuid(QStringLiteral("{D3EC700A-D7F2-463C-BE11-5066B4583F69}")));
    EXPECT_EQ(IDataAbstractService::IID, QUuid(QStringLiteral("{4C2EC238-4FB4-434E-8CFF-ED25EEFF1525}")));
    EXPECT_EQ(IAutoScheduleEvent::IID, QUuid(QStringLiteral("{FACC9D13-680F-4292-8EDB-8B8B32914112}")));
    EXPECT_EQ(IAutoScheduleEvent_Writer::IID, IAutoScheduleEvent::IID);
    EXPECT_EQ(IClientPopupEvent::IID, QUuid(QStringLiteral("{9A024C7B-647E-4483-B61E-06337F09239F}")));
    EXPECT_EQ(IMSSQLMigrationEvents::IID, QUuid(QStringLiteral("{BCDD0146-C0A2-4507-B75F-452F169824AA}")));
    EXPECT_EQ(IEventsService_Async::IID, QUuid(QStringLiteral("{61F36220-DDAD-46AD-8DFB-091B3B70DC9A}")));
    EXPECT_EQ(ROUser::TypeUID, QUuid(QStringLiteral("{04CA1B51-F3D5-44CC-AC7D-7F8EB71C06AE}")));
    EXPECT_EQ(ROServerSettings::TypeUID, QUuid(QStringLiteral("{E4F8AA83-5474-43EE-B230-CEADD2123B41}")));
    EXPECT_EQ(UpdateFile::TypeUID, QUuid(QStringLiteral("{7BDA8A3A-BC59-4D6F-8295-535E9C21CE44}")));
    EXPECT_EQ(UpdateFiles::TypeUID, QUuid(QStringLiteral("{8595B218-4478-4DA3-BF96-FBB660FDC70C}")));
    EXPECT_EQ(QuorvaLibraryUID, QUuid(QStringLiteral("{438A8E19-D1FC-4003-84BC-C77BE9217479}")));
    for (const QUuid &iid : {ILogOnService::IID, IProbeService::IID, ISettingsService::IID, IContactsService::IID,
                             IEventsService::IID, IResourceService::IID, ILSService::IID, IReportService::IID})
        EXPECT_TRUE(FindProxyClass(iid)) << iid.toString().toStdString();
}

} // namespace
