// Mail to a real local SMTP server (aiosmtpd, started by the test), read back with Python's own
// e-mail parser: recipients, subject and text arrive intact, non-ASCII included, every line
// ending in CR LF; the minister schedule arrives as a PDF that pdftotext reads, after the note
// line; a closed composer sends and writes nothing; an empty period sends without attachment;
// a send that fails says so and reaches nobody.
#include "client/HostComponentFactory.h"
#include "client/uCDOClient.h"
#include "client/uDAQuorva.h"
#include "client/uDMClient.h"
#include "client/uQorCDOMail.h"
#include "client/ufEmail.h"

#include "testsupport/ClientTestSupport.h"
#include "server/services/uReportService.h"
#include "testsupport/LogCapture.h"
#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"

#include "Quorva_Data_Service_Invk.h"
#include "remoting/RORegistry.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>

using namespace kestrova::test;

namespace {

const QString kSourceReports = QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports/");
const QString kSender = QStringLiteral("office@parish.example");

// The local SMTP server: every message it accepted, as its parser read it.
class SmtpSink
{
public:
    SmtpSink()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(SystemPython(), {QStringLiteral(KESTROVA_SOURCE_DIR "/client/tests/mail/smtp_sink.py"), m_folder.path()});
        QByteArray line;
        while (m_process.waitForReadyRead(20000)) {
            line += m_process.readAll();
            if (line.contains('\n'))
                break;
        }
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() == 2 && words[0] == "ready")
            m_port = words[1].toInt();
        EXPECT_GT(m_port, 0) << "the SMTP server did not start: " << line.toStdString();
    }
    ~SmtpSink()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    SmtpSink(const SmtpSink &) = delete;
    SmtpSink &operator=(const SmtpSink &) = delete;

    int Port() const { return m_port; }

    QList<QJsonObject> Messages() const
    {
        QList<QJsonObject> messages;
        for (const QString &name : QDir(m_folder.path()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            QFile file(QDir(m_folder.path()).filePath(name));
            file.open(QIODevice::ReadOnly);
            messages << QJsonDocument::fromJson(file.readAll()).object();
        }
        return messages;
    }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};

QStringList Strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list << item.toString();
    return list;
}

// A port nobody listens on.
int ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

TQorCDOMessage Message(const QStringList &to, const QString &subject, const QString &body)
{
    TQorCDOMessage message;
    message.AddRecipients(TCDOAddressKind::To, to);
    message.SetSubject(subject);
    message.SetBody(body);
    return message;
}

class MailOverSmtp : public ::testing::Test
{
protected:
    TMailConfiguration Configuration() const
    {
        TMailConfiguration configuration;
        configuration.Server = QStringLiteral("127.0.0.1");
        configuration.Port = sink.Port();
        configuration.Sender = kSender;
        return configuration;
    }

    QStringList TempFiles() const { return QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    // The composer as the user fills it; with a period, the attachment is asked for first.
    void Compose(const QString &subject, const QString &body, std::optional<TAttachmentPeriod> period = {}, bool send = true)
    {
        WhenShown<TfEmail>([=](TfEmail &composer) {
            composer.edSubject()->setText(subject);
            composer.Editor()->setPlainText(body);
            if (period) {
                WhenShown<TfAttachment>([period](TfAttachment &dialog) {
                    dialog.edFrom()->setDate(period->From);
                    dialog.edTo()->setDate(period->To);
                    dialog.btnOK()->click();
                });
                composer.acAddAttachment()->trigger();
            }
            (send ? composer.acSend() : composer.acClose())->trigger();
        });
    }

    SmtpSink sink;
    LogCapture log;
    TScriptedPrompt prompt;
    QTemporaryDir temp;
    FakeSettings settings;
};

} // namespace

TEST_F(MailOverSmtp, ThreeRecipientsReachTheServerInOneMessage)
{
    const QStringList to{QStringLiteral("anna@example.org"), QStringLiteral("ben@example.org"), QStringLiteral("cara@example.net")};
    ASSERT_TRUE(TCDOClient::SendEmail(Configuration(), Message(to, QStringLiteral("Rota"), QStringLiteral("Hello")), QString()));
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(Strings(messages[0]["rcpt_tos"]), to);
    EXPECT_EQ(Strings(messages[0]["to"]), to);
    EXPECT_EQ(messages[0]["mail_from"].toString(), kSender);
    EXPECT_EQ(messages[0]["from"].toString(), kSender);
    EXPECT_TRUE(prompt.Prompts().isEmpty());
}

TEST_F(MailOverSmtp, SubjectAndTextArriveIntactBeyondAscii)
{
    const QString subject = QStringLiteral("Dienstplan für März – Ærøskøbing, Παπαδόπουλος ✓ and a rather long tail to fold over lines");
    const QString body = QStringLiteral("Liebe Grüße,\n\tŁukasz Żak\n\nΚαλημέρα 🎵\r\nA line with = and a trailing blank \n") +
                         QString(200, QLatin1Char('x')) + QStringLiteral("\n.\nend");
    TMailConfiguration configuration = Configuration();
    configuration.ReplyTo = QStringLiteral("rota@parish.example");
    ASSERT_TRUE(TCDOClient::SendEmail(configuration, Message({QStringLiteral("anna@example.org")}, subject, body), QString()));
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    const QJsonObject &m = messages[0];
    EXPECT_EQ(m["subject"].toString(), subject);
    QString expected = body;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(m["body"].toString().chopped(m["body"].toString().endsWith(QLatin1Char('\n')) ? 1 : 0), expected);
    EXPECT_EQ(m["body_charset"].toString(), QStringLiteral("utf-8"));
    EXPECT_TRUE(m["crlf"].toBool());
    EXPECT_EQ(m["reply_to"].toString(), QStringLiteral("rota@parish.example"));
    EXPECT_FALSE(m["date"].toString().isEmpty());
    EXPECT_TRUE(Strings(m["header_names"]).contains(QStringLiteral("Message-ID")));
    EXPECT_TRUE(m["attachments"].toArray().isEmpty());
}

TEST_F(MailOverSmtp, ARefusedRecipientSendsTheMessageToNobodyAndSaysSoOnce)
{
    const QStringList to{QStringLiteral("anna@example.org"), QStringLiteral("refused@example.org"), QStringLiteral("cara@example.net")};
    EXPECT_FALSE(TCDOClient::SendEmail(Configuration(), Message(to, QStringLiteral("Rota"), QStringLiteral("Hello")), QString()));
    EXPECT_TRUE(sink.Messages().isEmpty());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("Error sending message.\n")));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Severe     \tCDOClient\tSendEmail")).size(), 1);
}

TEST_F(MailOverSmtp, AnUnreachableServerGivesTheErrorMessageAndSendsNothing)
{
    TMailConfiguration configuration = Configuration();
    configuration.Port = ClosedPort();
    EXPECT_FALSE(TCDOClient::SendEmail(configuration, Message({QStringLiteral("anna@example.org")}, QStringLiteral("Rota"), QStringLiteral("x")),
                                       QString()));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("Error sending message.\n")));
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("connect"), Qt::CaseInsensitive)) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_EQ(log.lines().filter(QStringLiteral("Severe     \tCDOClient\tSendEmail")).size(), 1);
    EXPECT_TRUE(sink.Messages().isEmpty());
}

TEST_F(MailOverSmtp, ContactDataNeverAddsAHeader)
{
    EXPECT_FALSE(TCDOClient::SendEmail(
        Configuration(), Message({QStringLiteral("anna@example.org\r\nBcc: eve@example.org")}, QStringLiteral("Rota"), QStringLiteral("x")),
        QString()));
    EXPECT_FALSE(TCDOClient::SendEmail(
        Configuration(), Message({QStringLiteral("anna@example.org")}, QStringLiteral("Rota\nBcc: eve@example.org"), QStringLiteral("x")),
        QString()));
    EXPECT_EQ(prompt.Prompts().size(), 2);
    EXPECT_TRUE(sink.Messages().isEmpty());
    // A body line that looks like a header stays in the body.
    ASSERT_TRUE(TCDOClient::SendEmail(Configuration(),
                                      Message({QStringLiteral("anna@example.org")}, QStringLiteral("Rota"), QStringLiteral("\nBcc: eve@example.org")),
                                      QString()));
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(Strings(messages[0]["rcpt_tos"]), QStringList{QStringLiteral("anna@example.org")});
    EXPECT_FALSE(Strings(messages[0]["header_names"]).contains(QStringLiteral("Bcc")));
}

TEST_F(MailOverSmtp, ACancelledComposerSendsNothingAndWritesNoFile)
{
    TQorCDOMail mail({nullptr, &settings, nullptr, temp.path()});
    Compose(QStringLiteral("Rota"), QStringLiteral("Hello"), TAttachmentPeriod{QDate(2026, 3, 1), QDate(2026, 3, 31)}, false);
    EXPECT_FALSE(mail.SendSimpleMail(Configuration(), true, {QStringLiteral("anna@example.org")}, QString(), QString()));
    EXPECT_TRUE(sink.Messages().isEmpty());
    EXPECT_EQ(TempFiles(), QStringList());
    EXPECT_TRUE(prompt.Prompts().isEmpty());
}

TEST_F(MailOverSmtp, TheComposedMessageIsSentOnSend)
{
    TQorCDOMail mail({nullptr, &settings, nullptr, temp.path()});
    Compose(QStringLiteral("Rota für März"), QStringLiteral("Grüße"));
    EXPECT_TRUE(mail.SendSimpleMail(Configuration(), true, {QStringLiteral("anna@example.org"), QStringLiteral("ben@example.org")},
                                    QString(), QString()));
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0]["subject"].toString(), QStringLiteral("Rota für März"));
    EXPECT_EQ(messages[0]["body"].toString().trimmed(), QStringLiteral("Grüße"));
    EXPECT_EQ(Strings(messages[0]["rcpt_tos"]).size(), 2);
}

// --- with the minister schedule from a real server ----------------------------------------------

namespace {

struct ScheduleServer : ServiceServer
{
    QString reports;
    ServiceClient client;
};

class MailWithSchedule : public MailOverSmtp
{
protected:
    static void SetUpTestSuite()
    {
        shared = std::make_unique<ScheduleServer>();
        shared->Start();
        if (::testing::Test::IsSkipped() || ::testing::Test::HasFailure())
            return;
        shared->reports = shared->folder.path() + QStringLiteral("/Reports/");
        ASSERT_TRUE(QDir().mkpath(shared->reports));
        ASSERT_TRUE(QFile::copy(kSourceReports + TAttachmentPeriod::ReportTemplate, shared->reports + TAttachmentPeriod::ReportTemplate));
        UnregisterClassFactory(QStringLiteral("ReportService"));
        TDAConnectionManager *manager = &shared->server->ConnectionManager();
        const QString path = shared->reports;
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("ReportService"),
            [manager, path] { return std::make_unique<TReportService>(TReportServiceContext{*manager, path}); },
            std::make_shared<TReportService_Invoker>()));
        shared->Sql(QStringLiteral(R"(
INSERT INTO tblContacts (PK_ContactID, Title, FirstName, LastName, EMail1) VALUES
  ('{C1}', 'Mr', 'John', 'Adams', 'john@example.org'), ('{C2}', NULL, 'Mary', 'Baker', 'mary@example.org');
INSERT INTO tblLocations (PK_LocationID, LocationName) VALUES ('{L1}', 'St. Mary');
INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID) VALUES ('{LT1}', 'Sunday 10:00', '{L1}');
INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES ('{MF1}', 'Lector'), ('{MF2}', 'Usher');
INSERT INTO tblEvents (PK_EventID, StartDateTime, EndDateTime, EventLocationID) VALUES
  ('{E1}', '2026-03-08 10:00', '2026-03-08 11:00', '{L1}'), ('{E2}', '2026-03-31 18:00', '2026-03-31 19:00', '{L1}'),
  ('{E3}', '2026-04-01 10:00', '2026-04-01 11:00', '{L1}');
INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID) VALUES
  ('{SL1}', '{E1}', '{LT1}'), ('{SL2}', '{E2}', '{LT1}'), ('{SL3}', '{E3}', '{LT1}');
INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID, F_MinistryMemberID) VALUES
  ('{S1}', '{SL1}', '{MF1}', '{C1}'), ('{S2}', '{SL1}', '{MF2}', '{C2}'), ('{S3}', '{SL2}', '{MF1}', '{C2}'), ('{S4}', '{SL3}', '{MF1}', '{C1}');
)"));
        shared->client = shared->Administrator();
    }

    static void TearDownTestSuite()
    {
        if (shared)
            shared->Stop();
        shared.reset();
    }

    void SetUp() override
    {
        if (!shared || !shared->client.Channel)
            GTEST_SKIP() << "no server for the minister schedule";
        data = std::make_unique<TDAQuorva>(shared->client.Message, shared->client.Channel);
    }

    static inline std::unique_ptr<ScheduleServer> shared;
    std::unique_ptr<TDAQuorva> data;
};

} // namespace

TEST_F(MailWithSchedule, ThePdfArrivesAfterTheNoteLineAndNoFileStays)
{
    TQorCDOMail mail({data.get(), &settings, nullptr, temp.path()});
    Compose(QStringLiteral("Your schedule"), QStringLiteral("Dear all,\nplease find your dates."),
            TAttachmentPeriod{QDate(2026, 3, 1), QDate(2026, 3, 31)});
    ASSERT_TRUE(mail.SendSimpleMail(Configuration(), true, {QStringLiteral("john@example.org"), QStringLiteral("mary@example.org")},
                                    QString(), QString()));
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    const QStringList lines = messages[0]["body"].toString().split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("Kestrova report is attached."));
    EXPECT_EQ(lines[1], QStringLiteral("Dear all,"));
    EXPECT_EQ(lines[2], QStringLiteral("please find your dates."));
    const QJsonArray attachments = messages[0]["attachments"].toArray();
    ASSERT_EQ(attachments.size(), 1);
    EXPECT_EQ(attachments[0]["filename"].toString(), QStringLiteral("Kestrova.pdf"));
    EXPECT_EQ(attachments[0]["content_type"].toString(), QStringLiteral("application/pdf"));
    QFile pdf(attachments[0]["path"].toString());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QString text = PdfPages(pdf.readAll()).join(QLatin1Char('\f'));
    EXPECT_TRUE(text.contains(QStringLiteral("Schedule by minister"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Adams, Mr John"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Baker, Mary"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2026-03-31 18:00"))) << text.toStdString(); // the whole last day
    EXPECT_FALSE(text.contains(QStringLiteral("2026-04-01"))) << text.toStdString();
    EXPECT_EQ(TempFiles(), QStringList());
    EXPECT_EQ(settings.Values.value(TAttachmentPeriod::StartKey), QStringLiteral("2026-03-01"));
    EXPECT_TRUE(prompt.Prompts().isEmpty());
}

TEST_F(MailWithSchedule, AnEmptyPeriodSaysSoAndSendsWithoutAttachment)
{
    TQorCDOMail mail({data.get(), &settings, nullptr, temp.path()});
    Compose(QStringLiteral("Your schedule"), QStringLiteral("Nothing yet."), TAttachmentPeriod{QDate(2030, 1, 1), QDate(2030, 1, 31)});
    ASSERT_TRUE(mail.SendSimpleMail(Configuration(), true, {QStringLiteral("john@example.org")}, QString(), QString()));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("No information available to print."));
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0]["body"].toString().trimmed(), QStringLiteral("Nothing yet."));
    EXPECT_TRUE(messages[0]["attachments"].toArray().isEmpty());
    EXPECT_EQ(TempFiles(), QStringList());
}

TEST_F(MailOverSmtp, TheHostMailsWithItsConfigurationWhenAPlugInAsks)
{
    ProgramFolder program;
    program.SetSetting(QStringLiteral("smtpserver"), QStringLiteral("127.0.0.1"), QStringLiteral("Mail"));
    program.SetSetting(QStringLiteral("smtpserverport"), QString::number(sink.Port()), QStringLiteral("Mail"));
    program.SetSetting(QStringLiteral("sendemailaddress"), kSender, QStringLiteral("Mail"));
    TDMClient client(program.ProgramPath());
    client.ReadConfiguration();
    ASSERT_TRUE(client.IsMailAvailable());
    THostComponentFactory().InstallComponents(client);

    // The empty composer has nothing to send.
    WhenShown<TfEmail>([](TfEmail &composer) {
        EXPECT_FALSE(composer.acSend()->isEnabled());
        composer.acClose()->trigger();
    });
    client.ShowNewMessage();

    Compose(QStringLiteral("From the host"), QStringLiteral("Hello"));
    const QStringList to{QStringLiteral("john@example.org")};
    client.SendSimpleEmail(&to);
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0]["subject"].toString(), QStringLiteral("From the host"));
    EXPECT_EQ(messages[0]["from"].toString(), kSender);
}

TEST_F(MailWithSchedule, AScheduleThatCannotBeMadeIsLoggedAndTheMessageGoesWithoutIt)
{
    const QString layout = shared->reports + TAttachmentPeriod::ReportTemplate;
    ASSERT_TRUE(QFile::rename(layout, layout + QStringLiteral(".away")));
    TQorCDOMail mail({data.get(), &settings, nullptr, temp.path()});
    Compose(QStringLiteral("Your schedule"), QStringLiteral("Dates follow."), TAttachmentPeriod{QDate(2026, 3, 1), QDate(2026, 3, 31)});
    const bool sent = mail.SendSimpleMail(Configuration(), true, {QStringLiteral("john@example.org")}, QString(), QString());
    ASSERT_TRUE(QFile::rename(layout + QStringLiteral(".away"), layout));
    EXPECT_TRUE(sent);
    EXPECT_EQ(log.lines().filter(QStringLiteral("Severe     \tDMClient\tPreviewReport (rptMinisterScheduleP.rtm)")).size(), 1)
        << log.lines().join(QLatin1Char('\n')).toStdString();
    const QList<QJsonObject> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0]["body"].toString().trimmed(), QStringLiteral("Dates follow."));
    EXPECT_TRUE(messages[0]["attachments"].toArray().isEmpty());
    EXPECT_EQ(TempFiles(), QStringList());
}
