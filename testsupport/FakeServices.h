// In-process stand-ins for the test: service objects that record what they were called with,
// and a channel that hands each request straight to the server's dispatcher.
#pragma once

#include "Quorva_Data_Service_Invk.h"

#include "remoting/ROErrors.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"
#include "remoting/ROServer.h"
#include "remoting/ROService.h"

#include <stdexcept>

class LoopbackChannel : public TROTransportChannel
{
public:
    explicit LoopbackChannel(const TROMessageDispatcher &dispatcher) : m_dispatcher(dispatcher) {}
    void Dispatch(TROMessage &message) override
    {
        LastRequest = message.SaveToBytes();
        const TROMessageDispatcher::Reply reply = m_dispatcher.Process(LastRequest);
        LastReply = reply.Data;
        if (reply.Data.isEmpty()) {
            message.ClearValues();
            return;
        }
        message.LoadFromBytes(reply.Data, 1 << 26);
        message.RaiseIfError();
    }
    void DispatchAsync(const TROMessage &message, AsyncDone done) override
    {
        const TROMessageDispatcher::Reply reply = m_dispatcher.Process(message.SaveToBytes());
        done(reply.Data, QString());
    }
    bool Busy() const override { return false; }

    QByteArray LastRequest;
    QByteArray LastReply;

private:
    const TROMessageDispatcher &m_dispatcher;
};

class FakeLogOn : public TRORemotable, public ILogOnService
{
public:
    bool queryInterface(const QUuid &, void **) override { return false; }
    bool UpdateClient(const QString &, qint32) override { return false; }
    bool UpdateClientEx(const QString &AppID, const QString &ClientVersion, QString &NewVersion) override
    {
        NewVersion = AppID + QLatin1Char('/') + ClientVersion + QStringLiteral("/2.0");
        return true;
    }
    QString GetUserList(const QString &) override { return QStringLiteral("anna\r\nben"); }
    std::unique_ptr<TROBinaryMemoryStream> DownloadClientUpdate(const QString &, qint32) override { return nullptr; }
    std::unique_ptr<UpdateFiles> DownloadClientUpdateEX(const QString &, const QString &) override
    {
        auto files = std::make_unique<UpdateFiles>();
        files->Add().FileName = QStringLiteral("Quorva");
        return files;
    }
    qint32 VerifyInitialSetup(const QString &) override { return 1; }
    qint32 VerifyUser(const QString &, const QString &Username, const QString &Password, bool, const QString &, bool,
                      std::unique_ptr<ROUser> &User) override
    {
        User = std::make_unique<ROUser>();
        User->UserName = Username;
        if (Password == QLatin1String("raise"))
            throw std::runtime_error("verification failed");
        User->UserLevel = 7;
        return 0;
    }
    QString GetServerVersion() override { return QStringLiteral("1.0.0.0"); }
    bool RequestPasswordChange(const QString &, const QString &) override { return true; }
};

class FakeEvents : public TRORemotable, public IEventsService
{
public:
    static inline int StopCalls = 0;
    static inline QDateTime LastFrom;

    bool queryInterface(const QUuid &, void **) override { return false; }
    QString GetSchema(const QString &) override { return QStringLiteral("<schema/>"); }
    static inline QList<TableRequestInfoV5> LastRequest;
    std::unique_ptr<TROBinaryMemoryStream> GetData(const QStringList &names, const QList<TableRequestInfoV5> &infos) override
    {
        LastRequest = infos;
        return std::make_unique<TROBinaryMemoryStream>((names.join(QLatin1Char(',')) + QLatin1Char('|')
                                                         + QString::number(infos.value(0).MaxRecords) + QLatin1Char('|')
                                                         + infos.value(0).Parameters.value(0).Value.toString())
                                                            .toUtf8());
    }
    std::unique_ptr<TROBinaryMemoryStream> UpdateData(const TROBinaryMemoryStream *) override { return nullptr; }
    qint32 ExecuteCommand(const QString &, const DataParameterArray &params) override { return int(params.size()); }
    qint32 ExecuteCommandEx(const QString &, const DataParameterArray &in, DataParameterArray &out) override
    {
        out = in;
        out.append(DataParameter{QStringLiteral("Out"), 42});
        return 1;
    }
    QString GetTableSchema(const QStringList &) override { return {}; }
    QString GetCommandSchema(const QStringList &) override { return {}; }
    std::unique_ptr<TROBinaryMemoryStream> SQLGetData(const QString &, bool, qint32) override
    {
        throw std::runtime_error("refused");
    }
    qint32 SQLExecuteCommand(const QString &) override { throw std::runtime_error("refused"); }
    QString GetDatasetScripts(const QString &) override { return {}; }
    void RegisterForDataChangeNotification(const QString &) override {}
    void UnregisterForDataChangeNotification(const QString &) override {}

    std::unique_ptr<TROBinaryMemoryStream> GetLiturgyTemplate(const QString &, QString &TotalCount) override
    {
        TotalCount = QStringLiteral("3");
        return std::make_unique<TROBinaryMemoryStream>(QByteArray("tpl"));
    }
    bool IsAutoScheduleRunning() override { return false; }
    bool RunAutoSchedule(const QDateTime &AFromDate, const QDateTime &, const QString &, const QString &) override
    {
        LastFrom = AFromDate;
        return true;
    }
    bool DeleteEvents(const QString &) override { return true; }
    void StopAutoSchedule() override { ++StopCalls; }
    void UnAssignMinisters(const QString &, bool) override {}
};
