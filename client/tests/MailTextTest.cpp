// What a mail may carry, checked without a mail server: addresses from contact data never start
// a header of their own, text beyond plain ASCII is encoded, lines end in CR LF; the message's
// recipient text; the mail configuration and where its password lives; the attachment period.
#include "client/uCDOClient.h"
#include "client/uEmailRules.h"
#include "client/uMailText.h"
#include "client/uQorCDOMessage.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"

#include "foundation/uRegistry.h"

#include <QFile>
#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

// The text of a header value as a reader decodes it: encoded words joined, folds removed.
QString Decoded(const QByteArray &value)
{
    QByteArray joined;
    for (const QByteArray &word : value.split('\n')) {
        QByteArray trimmed = word.trimmed();
        if (trimmed.startsWith("=?UTF-8?B?") && trimmed.endsWith("?="))
            joined += QByteArray::fromBase64(trimmed.mid(10, trimmed.size() - 12));
        else
            joined += trimmed;
    }
    return QString::fromUtf8(joined);
}

} // namespace

TEST(MailText, AnAddressIsPlainAsciiWithOneAt)
{
    EXPECT_EQ(TMailText::Address(QStringLiteral("  anna.abbot+choir@example.org ")), QByteArray("anna.abbot+choir@example.org"));
    for (const QString &bad : {QStringLiteral("anna@example.org\r\nBcc: eve@example.org"), QStringLiteral("anna@example.org\nX: y"),
                               QStringLiteral("anna@exa\rmple.org"), QStringLiteral("an na@example.org"), QStringLiteral("<anna@example.org>"),
                               QStringLiteral("anna@example.org, eve@example.org"), QStringLiteral("anna@example.org;eve@example.org"),
                               QStringLiteral("anna"), QStringLiteral("@example.org"), QStringLiteral("anna@"), QStringLiteral("a@b@c"),
                               QStringLiteral("jörg@example.org"), QStringLiteral("anna\t@example.org"), QString()})
        EXPECT_THROW(TMailText::Address(bad), EMailRefused) << bad.toStdString();
    EXPECT_THROW(TMailText::Address(QString(250, QLatin1Char('a')) + QStringLiteral("@b.org")), EMailRefused);
}

TEST(MailText, APlainSubjectStaysAsTypedAndAnyOtherIsEncodedWords)
{
    EXPECT_EQ(TMailText::HeaderText(QStringLiteral("Schedule for March")), QByteArray("Schedule for March"));
    const QString text = QStringLiteral("Dienstplan für März – Ærøskøbing ✓ 𝄞 ") + QString(40, QChar(0x00E9));
    const QByteArray encoded = TMailText::HeaderText(text);
    EXPECT_EQ(Decoded(encoded), text);
    for (const QByteArray &line : encoded.split('\n')) {
        const QByteArray word = line.trimmed();
        EXPECT_LE(word.size(), TMailText::MaxEncodedWord);
        // Every word holds whole characters.
        const QByteArray bytes = QByteArray::fromBase64(word.mid(10, word.size() - 12));
        EXPECT_EQ(QString::fromUtf8(bytes).toUtf8(), bytes);
    }
    EXPECT_TRUE(encoded.contains("\r\n "));
    // Something that only looks like an encoded word arrives as typed.
    EXPECT_EQ(Decoded(TMailText::HeaderText(QStringLiteral("=?UTF-8?B?SGk=?="))), QStringLiteral("=?UTF-8?B?SGk=?="));
}

TEST(MailText, ALineBreakOrControlInAHeaderRefusesTheMail)
{
    for (const QString &bad : {QStringLiteral("Hello\r\nBcc: eve@example.org"), QStringLiteral("Hello\nBcc: eve@example.org"),
                               QStringLiteral("Hello\rthere"), QStringLiteral("Tab\there"), QStringLiteral("Null") + QChar(0),
                               QStringLiteral("Grüße") + QChar(0x2028) + QStringLiteral("X: y")})
        EXPECT_THROW(TMailText::HeaderText(bad), EMailRefused) << bad.toStdString();
}

TEST(MailText, AMailboxQuotesOrEncodesItsName)
{
    EXPECT_EQ(TMailText::Mailbox(QString(), QStringLiteral("a@b.org")), QByteArray("a@b.org"));
    EXPECT_EQ(TMailText::Mailbox(QStringLiteral("Abbot, Anna \"Annie\""), QStringLiteral("a@b.org")),
              QByteArray("\"Abbot, Anna \\\"Annie\\\"\" <a@b.org>"));
    const QByteArray encoded = TMailText::Mailbox(QStringLiteral("Żak Łukasz"), QStringLiteral("l@b.org"));
    EXPECT_TRUE(encoded.startsWith("=?UTF-8?B?"));
    EXPECT_TRUE(encoded.endsWith(" <l@b.org>"));
}

TEST(MailText, EveryLineEndsInCrLf)
{
    EXPECT_EQ(TMailText::CrLfText(QStringLiteral("a\nb\r\nc\rd\n")), QByteArray("a\r\nb\r\nc\r\nd\r\n"));
    EXPECT_EQ(TMailText::CrLfText(QStringLiteral("Grüße")), QStringLiteral("Grüße").toUtf8());
}

TEST(MailText, TheDateIsInEnglishWithItsZone)
{
    const QDateTime when(QDate(2026, 3, 8), QTime(10, 5, 9), QTimeZone(3600));
    const QByteArray value = TMailText::DateValue(when);
    EXPECT_TRUE(value.startsWith("Sun, ")) << value.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\w{3}, \\d{1,2} \\w{3} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$"))
                    .match(QString::fromLatin1(value))
                    .hasMatch())
        << value.toStdString();
}

TEST(CDOMessage, ThreeRecipientsGiveTheirAddressesEachFollowedByASemicolon)
{
    TQorCDOMessage message;
    message.AddRecipients(TCDOAddressKind::To, {QStringLiteral("a@x.org"), QStringLiteral("b@x.org"), QStringLiteral("c@x.org")});
    EXPECT_EQ(message.RecipientsAsText(TCDOAddressKind::To), QStringLiteral("a@x.org;b@x.org;c@x.org;"));
    EXPECT_EQ(message.RecipientsAsText(TCDOAddressKind::To, false), QStringLiteral(";;;"));
    EXPECT_EQ(message.Addresses(TCDOAddressKind::To).size(), 3);
    EXPECT_EQ(TQorCDOMessage().RecipientsAsText(TCDOAddressKind::To), QString());
}

TEST(MailConfiguration, TheRecordGivesServerPortAndSender)
{
    const TMailConfiguration plain = TMailConfiguration::FromRecord(
        {{QStringLiteral("smtpserver"), QStringLiteral(" mail.example.org ")}, {QStringLiteral("sendemailaddress"), QStringLiteral("office@example.org")}},
        QString());
    EXPECT_EQ(plain.Server, QStringLiteral("mail.example.org"));
    EXPECT_EQ(plain.Port, 25);
    EXPECT_FALSE(plain.UseSsl);
    EXPECT_EQ(plain.Sender, QStringLiteral("office@example.org"));
    const TMailConfiguration ssl = TMailConfiguration::FromRecord(
        {{QStringLiteral("smtpusessl"), QStringLiteral("True")}, {QStringLiteral("smtpserverport"), QStringLiteral("x")}}, QStringLiteral("pw"));
    EXPECT_TRUE(ssl.UseSsl);
    EXPECT_EQ(ssl.Port, 465);
    EXPECT_EQ(ssl.Password, QStringLiteral("pw"));
    EXPECT_EQ(TMailConfiguration::FromRecord({{QStringLiteral("smtpserverport"), QStringLiteral("587")}}, {}).Port, 587);
}

TEST(MailConfiguration, ThePasswordComesFromThePerUserStoreWhichOnlyItsOwnerReads)
{
    ProgramFolder folder; // the stores inside the test's folder
    LogCapture log;
    EXPECT_EQ(TMailConfiguration::StoredPassword(), QString());
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey + QStringLiteral("\\Mail"), QStringLiteral("s3cret"), QStringLiteral("sendpassword"));
    const QString store = TQorReg::StorePath(HKEY_CURRENT_USER);
    QFile::setPermissions(store, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    EXPECT_EQ(TMailConfiguration::StoredPassword(), QStringLiteral("s3cret"));
    EXPECT_EQ(QFile::permissions(store) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    EXPECT_EQ(log.lines().filter(QStringLiteral("StoredPassword")).size(), 1);
    EXPECT_TRUE(log.lines().filter(QStringLiteral("s3cret")).isEmpty());
}

TEST(MailSend, ARefusedHeaderOrAMissingSenderSendsNothing)
{
    TQorCDOMessage message;
    message.AddRecipients(TCDOAddressKind::To, {QStringLiteral("a@x.org")});
    TMailConfiguration configuration;
    configuration.Server = QStringLiteral("127.0.0.1");
    configuration.Port = 9; // nothing is ever contacted: every case is refused before
    EXPECT_THROW(TCDOClient::Send(configuration, message, {}), EMailRefused);
    configuration.Sender = QStringLiteral("office@x.org");
    message.SetSubject(QStringLiteral("Hi\r\nBcc: eve@x.org"));
    EXPECT_THROW(TCDOClient::Send(configuration, message, {}), EMailRefused);
    TQorCDOMessage nobody;
    EXPECT_THROW(TCDOClient::Send(configuration, nobody, {}), EMailRefused);
    configuration.Server = QStringLiteral("mail/../x");
    EXPECT_THROW(TCDOClient::Send(configuration, nobody, {}), EMailRefused);
}

TEST(AttachmentPeriod, TheRememberedDatesAreReadInEitherFormAndDefaultToThreeMonths)
{
    const QDate today(2026, 3, 8);
    QMap<QString, QString> stored;
    auto setting = [&stored](const QString &key, const QString &fallback) { return stored.value(key, fallback); };
    TAttachmentPeriod period = TAttachmentPeriod::Read(setting, today);
    EXPECT_EQ(period.From, today);
    EXPECT_EQ(period.To, QDate(2026, 6, 8));
    stored.insert(TAttachmentPeriod::StartKey, QStringLiteral("2026-04-01"));
    stored.insert(TAttachmentPeriod::EndKey, QLocale::system().toString(QDate(2026, 4, 30), QLocale::ShortFormat));
    period = TAttachmentPeriod::Read(setting, today);
    EXPECT_EQ(period.From, QDate(2026, 4, 1));
    EXPECT_EQ(period.To.month(), 4);
    EXPECT_EQ(period.To.day(), 30);
    stored.insert(TAttachmentPeriod::EndKey, QStringLiteral("not a date"));
    EXPECT_EQ(TAttachmentPeriod::Read(setting, today).To, today);
}

TEST(AttachmentPeriod, TheCriteriaTakeTheWholeLastDay)
{
    const TAttachmentPeriod period{QDate(2026, 3, 1), QDate(2026, 3, 31)};
    EXPECT_EQ(period.Criteria(), QStringLiteral(" tblEvents.StartDateTime >= #03/01/2026# AND tblEvents.StartDateTime < #04/01/2026#"));
}

TEST(ComposerStatus, LineAndRowAreRightAligned)
{
    EXPECT_EQ(TComposerStatus::LineText(1), QStringLiteral(" Line:   1 "));
    EXPECT_EQ(TComposerStatus::RowText(120), QStringLiteral(" Row: 120 "));
}
