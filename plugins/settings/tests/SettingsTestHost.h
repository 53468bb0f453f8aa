// A host for the settings module's units without the client program: the channel of a real
// server's session, a logged-on user, settings in memory, a mail configuration the test sets,
// and a log the tests read. It drives a controller made in the test, not the loaded library.
#pragma once

#include "client/api/ModuleKit.h"
#include "foundation/uCommon.h"

#include <QMap>
#include <QStringList>
#include <QVariant>

namespace kestrova::test {

class TSettingsTestHost final : public Quorva::IHYHost,
                                public Quorva::IROHostConnection,
                                public Quorva::IUserHost,
                                public Quorva::IHostLog,
                                public Quorva::ISettings,
                                public Quorva::IEmailHost
{
public:
    bool queryInterface(const QUuid &id, void **object) override
    {
        using namespace Quorva;
        return QorQueryInterface<IHYHost, IROHostConnection, IUserHost, IHostLog, ISettings, IEmailHost>(this, id, object);
    }
    int addRef() override { return 1; }
    int release() override { return 1; }

    std::shared_ptr<TROTransportChannel> GetChannel() override { return Channel; }
    std::shared_ptr<TROMessage> GetMessage() override { return Message; }
    TvoUser *GetCurrentUser() override { return &User; }
    void WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message) override
    {
        Log << QStringLiteral("%1 %2 %3: %4").arg(level).arg(sender, location, message);
    }

    QString GetUserSetting(const QString &key, const QString &defaultValue) override { return Settings.value(key, defaultValue); }
    void SetUserSetting(const QString &key, const QString &value) override { Settings[key] = value; }
    std::optional<QByteArray> LoadUserBlob(const QString &) override { return std::nullopt; }
    void SaveUserBlob(const QString &, const QByteArray *) override {}
    bool ClearUserSetting(const QString &name) override
    {
        Cleared << name;
        return Settings.remove(name) > 0;
    }

    QVariant GetCDOConfiguration() override { return MailConfiguration; }
    void Reserved4() override {}
    int Reserved5() override { return 0; }
    void Reserved6() override {}
    QString Reserved7() override { return {}; }
    void Reserved8() override {}
    int Reserved9() override { return 0; }
    void ShowNewMessage() override {}
    void Reserved11() override {}
    void SendSimpleEmail(const QStringList *) override {}
    bool IsMailAvailable() override { return MailConfiguration.isValid(); }

    std::shared_ptr<TROTransportChannel> Channel;
    std::shared_ptr<TROMessage> Message;
    TvoUser User;
    QStringList Log;
    QMap<QString, QString> Settings;
    QStringList Cleared;
    QVariant MailConfiguration;
};

} // namespace kestrova::test
