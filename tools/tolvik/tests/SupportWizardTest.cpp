// The wizard's pages, buttons, sender details and delivery, driven without a window against
// a local stand-in of the support delivery service.
#include "testsupport/FakeWebService.h"

#include "tools/tolvik/TolvikTexts.h"
#include "tools/tolvik/uQorCustomerInfo.h"
#include "tools/tolvik/uQorPathHelper.h"
#include "tools/tolvik/uQorSearches.h"
#include "tools/tolvik/uQorSupportWizard.h"
#include "tools/tolvik/uSupportToolDelivery.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/TestFiles.h"

#include "foundation/uCommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

using kestrova::test::WriteFile;

QDomDocument readXml(const QString &path)
{
    QFile file(path);
    QDomDocument document;
    if (file.open(QIODevice::ReadOnly))
        document.setContent(file.readAll());
    return document;
}

class RecordingView : public IWizardView
{
public:
    void ShowPage(int shown) override { page = shown; }
    void SetButtons(const TWizardButtons &state) override { buttons = state; }
    void SetFinishCaption(const QString &caption) override { finishCaption = caption; }
    void SetOutputText(const QString &text) override { outputText = text; }
    void SetDoneText(const QString &text) override { doneText = text; }
    void SetTaskLabel(const QString &) override {}
    void SetActionLabel(const QString &) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void ShowSender(const TSenderDetails &details) override { sender = details; }
    void FocusName() override {}
    void FocusComments() override {}
    void SetBusy(bool) override {}
    void ProcessMessages() override {}
    void ShowMessage(const QString &text, const QString &caption, TMessageKind) override { messages << caption + ": " + text; }
    void ShowReport(const QString &xml, const QString &caption) override { shownReport = caption + ": " + xml; }
    void Close() override { closed = true; }

    int page = -1;
    TWizardButtons buttons;
    QString finishCaption;
    QString outputText;
    QString doneText;
    TSenderDetails sender;
    QStringList messages;
    QString shownReport;
    bool closed = false;
};

class SupportWizard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tool.isValid());
        TolvikTexts::SetLanguage(QLocale::English);
        TQorFolderSet folders;
        folders.Tool = tool.path();
        folders.Readable = {tool.path()};
        TQorPathHelper::SetFolders(folders);
        ASSERT_TRUE(WriteFile(TaskFile(), "<configuration><task category=\"SYSINFO\"/><task category=\"SQLSERVER\"/></configuration>"));
    }

    QString TaskFile() const { return tool.filePath("configuration.xml"); }
    QString KeyFile() const { return tool.filePath("key/Tolvik.key"); }

    void UseDeliveryHost(const QString &host)
    {
        ASSERT_TRUE(WriteFile(tool.filePath("settings.ini"), "[WebServices]\nSupportToolDelivery=" + host.toUtf8() + "\n"));
    }

    std::unique_ptr<TQorSupportWizard> NewWizard()
    {
        delivery = CoSupportToolDelivery::Create(tool.path());
        auto wizard = std::make_unique<TQorSupportWizard>(view, TaskFile(), tool.path(), QStringLiteral("1.0.0.0"), *delivery,
                                                          KeyFile());
        wizard->Start();
        return wizard;
    }

    // Through the pages to the comments, with valid sender details.
    void ToComments(TQorSupportWizard &wizard)
    {
        wizard.NextClick();
        ASSERT_EQ(view.page, TQorSupportWizard::OutputChoice);
        wizard.NextClick();
        ASSERT_EQ(view.page, TQorSupportWizard::Sender);
        wizard.SetSenderName(QStringLiteral("Anna Berg"));
        wizard.SetOrganization(QStringLiteral("St. Olav"));
        wizard.SetEmail(QStringLiteral("anna.berg@example.org"));
        wizard.NextClick();
        ASSERT_EQ(view.page, TQorSupportWizard::Comments);
        wizard.SetComments(QStringLiteral("It stops at start.\nEvery time."));
    }

    static QString CommentsOf(const QDomDocument &report)
    {
        const QDomElement comments = report.documentElement().firstChildElement(QStringLiteral("UserComments"));
        if (comments.isNull() || comments.attribute(QStringLiteral("schema")) != QLatin1String("base64"))
            return {};
        return QString::fromUtf8(QByteArray::fromBase64(comments.text().toLatin1()));
    }

    QTemporaryDir tool;
    RecordingView view;
    std::unique_ptr<SupportToolDelivery> delivery;
};

TEST_F(SupportWizard, DeliversTheReportWithTheSenderDetailsAndComments)
{
    FakeWebService service;
    UseDeliveryHost(service.Host());
    auto wizard = NewWizard();
    ASSERT_NO_FATAL_FAILURE(ToComments(*wizard));
    wizard->FinishExecute();

    EXPECT_EQ(view.page, TQorSupportWizard::Done);
    EXPECT_EQ(view.doneText, TolvikTexts::GetText(211));
    EXPECT_EQ(view.finishCaption, QStringLiteral("&Close"));
    QList<FakeRequest> sent;
    for (const FakeRequest &request : service.Requests())
        if (request.path == QLatin1String("/SupportToolDelivery.asmx"))
            sent << request;
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].soapAction, QLatin1Char('"') + service.Host() + QStringLiteral("/SubmitReport\""));
    QDomDocument envelope;
    ASSERT_TRUE(envelope.setContent(sent[0].body, true));
    const QDomElement call = envelope.documentElement().firstChildElement().firstChildElement();
    EXPECT_EQ(call.localName(), QStringLiteral("SubmitReport"));
    EXPECT_EQ(call.namespaceURI(), QStringLiteral("uSupportToolDelivery_Intf"));
    QStringList parameters;
    for (QDomElement parameter = call.firstChildElement(); !parameter.isNull(); parameter = parameter.nextSiblingElement())
        parameters << parameter.localName();
    EXPECT_EQ(parameters, (QStringList{"xmldoc", "senderemail", "senderorg", "sendername"}));
    EXPECT_EQ(call.firstChildElement(QStringLiteral("senderemail")).text(), QStringLiteral("anna.berg@example.org"));
    EXPECT_EQ(call.firstChildElement(QStringLiteral("senderorg")).text(), QStringLiteral("St. Olav"));
    EXPECT_EQ(call.firstChildElement(QStringLiteral("sendername")).text(), QStringLiteral("Anna Berg"));
    QDomDocument report;
    ASSERT_TRUE(report.setContent(call.firstChildElement(QStringLiteral("xmldoc")).text()));
    EXPECT_EQ(report.documentElement().firstChildElement(QStringLiteral("Application")).text(), QStringLiteral("Support Tool"));
    EXPECT_FALSE(report.documentElement().firstChildElement(QStringLiteral("SystemInfo")).isNull());
    EXPECT_EQ(CommentsOf(report), QStringLiteral("It stops at start.\nEvery time."));
    // Kept beside the tool as well.
    EXPECT_EQ(CommentsOf(readXml(wizard->ReportPath())), QStringLiteral("It stops at start.\nEvery time."));

    wizard->FinishExecute();
    EXPECT_TRUE(view.closed);
}

TEST_F(SupportWizard, AnUnreachableServiceIsReportedAndTheReportWaitsInOutputXml)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    UseDeliveryHost(QStringLiteral("http://127.0.0.1:%1").arg(port));
    auto wizard = NewWizard();
    ASSERT_NO_FATAL_FAILURE(ToComments(*wizard));
    wizard->FinishExecute();

    EXPECT_EQ(view.page, TQorSupportWizard::Done);
    EXPECT_TRUE(view.doneText.startsWith(QStringLiteral("The report could not be sent ("))) << view.doneText.toStdString();
    EXPECT_TRUE(view.doneText.contains(QDir(tool.path()).filePath("output.xml"))) << view.doneText.toStdString();
    EXPECT_NE(view.doneText, TolvikTexts::GetText(211));
    EXPECT_EQ(CommentsOf(readXml(QDir(tool.path()).filePath("output.xml"))), QStringLiteral("It stops at start.\nEvery time."));
}

TEST_F(SupportWizard, WithoutADeliveryServiceTheToolIsOfflineAndSaysSo)
{
    auto wizard = NewWizard();
    ASSERT_NO_FATAL_FAILURE(ToComments(*wizard));
    wizard->FinishExecute();
    EXPECT_TRUE(view.doneText.contains(QStringLiteral("no support delivery service is configured"))) << view.doneText.toStdString();
    EXPECT_TRUE(QFileInfo::exists(wizard->ReportPath()));
}

TEST_F(SupportWizard, RemembersTheSenderOnlyWhenAskedTo)
{
    {
        auto wizard = NewWizard();
        ASSERT_NO_FATAL_FAILURE(ToComments(*wizard));
        wizard->FinishExecute();
    }
    ASSERT_TRUE(QFileInfo::exists(tool.filePath("userinfo.ini")));
    QFile stored(tool.filePath("userinfo.ini"));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_FALSE(stored.readAll().contains("Anna"));

    view = RecordingView();
    auto wizard = NewWizard();
    wizard->NextClick();
    wizard->NextClick();
    // Shown again, deciphered.
    EXPECT_EQ(view.sender.Name, QStringLiteral("Anna Berg"));
    EXPECT_EQ(view.sender.Organization, QStringLiteral("St. Olav"));
    EXPECT_EQ(view.sender.Email, QStringLiteral("anna.berg@example.org"));
    EXPECT_TRUE(view.sender.Remember);
    wizard->SetSenderName(view.sender.Name);
    wizard->SetOrganization(view.sender.Organization);
    wizard->SetEmail(view.sender.Email);
    wizard->SetRemember(false);
    wizard->NextClick();
    wizard->FinishExecute();
    EXPECT_EQ(view.page, TQorSupportWizard::Done);
    EXPECT_FALSE(QFileInfo::exists(tool.filePath("userinfo.ini")));
}

TEST_F(SupportWizard, TheSenderPageStartsWithTheUserAndGoesOnOnlyWithAValidAddress)
{
    auto wizard = NewWizard();
    wizard->NextClick();
    EXPECT_EQ(view.outputText, TolvikTexts::Format(103, {QStringLiteral("Next")}));
    wizard->NextClick();
    EXPECT_EQ(view.sender.Name, TvoSysInfo::GetUserName());
    wizard->SetSenderName(view.sender.Name);
    EXPECT_FALSE(view.buttons.Next);
    wizard->SetEmail(QStringLiteral("anna@localhost"));
    EXPECT_FALSE(view.buttons.Next);
    wizard->SetEmail(QStringLiteral("anna@example.org"));
    EXPECT_TRUE(view.buttons.Next);
    wizard->SetSenderName(QString());
    EXPECT_FALSE(view.buttons.Next);
    EXPECT_TRUE(view.buttons.Previous);
    wizard->PrevClick();
    EXPECT_EQ(view.page, TQorSupportWizard::OutputChoice);
}

TEST_F(SupportWizard, AnXmlFileSkipsTheSenderPagesAndHoldsNoSenderDetails)
{
    auto wizard = NewWizard();
    wizard->NextClick();
    ASSERT_EQ(view.page, TQorSupportWizard::OutputChoice);
    EXPECT_TRUE(view.buttons.Next);
    EXPECT_FALSE(view.buttons.Finish);
    wizard->SetOutputChoice(TQorSupportWizard::XmlFile);
    EXPECT_FALSE(view.buttons.Next);
    EXPECT_TRUE(view.buttons.Finish);
    EXPECT_EQ(view.outputText, TolvikTexts::Format(103, {QStringLiteral("Finish")}));
    wizard->FinishExecute();
    EXPECT_EQ(view.messages, QStringList{QStringLiteral("Completed: The information is now saved to the file:\n")
                                         + wizard->ReportPath()});
    EXPECT_TRUE(view.closed);
    const QDomDocument saved = readXml(wizard->ReportPath());
    EXPECT_FALSE(saved.documentElement().firstChildElement(QStringLiteral("SQLServer")).isNull());
    EXPECT_TRUE(saved.documentElement().firstChildElement(QStringLiteral("UserComments")).isNull());
    EXPECT_FALSE(QFileInfo::exists(tool.filePath("userinfo.ini")));
}

TEST_F(SupportWizard, TheReportCanBeReadBeforeItGoesOut)
{
    auto wizard = NewWizard();
    EXPECT_FALSE(view.buttons.ViewReport);
    ASSERT_NO_FATAL_FAILURE(ToComments(*wizard));
    EXPECT_TRUE(view.buttons.ViewReport);
    wizard->ViewReportClick();
    ASSERT_TRUE(view.shownReport.startsWith(QStringLiteral("Support report: ")));
    QDomDocument shown;
    ASSERT_TRUE(shown.setContent(view.shownReport.mid(16)));
    EXPECT_EQ(CommentsOf(shown), QStringLiteral("It stops at start.\nEvery time."));
    EXPECT_FALSE(shown.documentElement().firstChildElement(QStringLiteral("SystemInfo")).isNull());
}

TEST_F(SupportWizard, AViewedSettingsFileReachesTheReportAndItsPreviewWithoutItsPassword)
{
    // Every form the settings editor writes a password in: plain, and quoted for ";", quotes,
    // a leading apostrophe and blanks at either end.
    for (const QString &secret : {QStringLiteral("pelmut42"), QStringLiteral("ab;cd\"x"), QStringLiteral("\"q;"),
                                 QStringLiteral("'ab;c'"), QStringLiteral(" a;b "), QStringLiteral("x\"\"y")}) {
        SCOPED_TRACE(secret.toStdString());
        const QString dataSource = QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=db,5432;")
                                 + ConnectionStringItem(QStringLiteral("UserID"), QStringLiteral("sa"))
                                 + ConnectionStringItem(QStringLiteral("Password"), secret)
                                 + ConnectionStringItem(QStringLiteral("Database"), QStringLiteral("Kestrova"));
        ASSERT_TRUE(WriteFile(tool.filePath("Settings.ini"), "[Data Access]\nDataType=MSSQL\nDataSource=" + dataSource.toUtf8()
                                                                 + "\n[Mail]\nSmtpPassword=" + secret.toUtf8() + "\nApiKey="
                                                                 + secret.toUtf8() + "\n[Server]\nPort=8099\n"));
        ASSERT_TRUE(WriteFile(TaskFile(), "<configuration><task category=\"BROWSE\" filetype=\"settings\"><searchdirs><dir dir=\"APPDIR\" "
                                          "recursive=\"false\"/></searchdirs><filter action=\"view\"/><wildcard>Settings.ini</wildcard>"
                                          "</task></configuration>"));
        view = RecordingView();
        auto wizard = NewWizard();
        ASSERT_NO_FATAL_FAILURE(ToComments(*wizard));
        wizard->ViewReportClick();
        QDomDocument shown;
        ASSERT_TRUE(shown.setContent(view.shownReport.mid(16)));
        wizard->FinishExecute();
        const QDomDocument saved = readXml(wizard->ReportPath());
        for (const QDomDocument &report : {shown, saved}) {
            QStringList lines;
            const QDomNodeList found = report.elementsByTagName(QStringLiteral("Line"));
            for (int i = 0; i < found.size(); ++i)
                lines << found.at(i).toElement().attribute(QStringLiteral("value"));
            // The rest of the file is there for support to read; no piece of the password is.
            EXPECT_EQ(lines, (QStringList{QStringLiteral("[Data Access]"), QStringLiteral("DataType=MSSQL"),
                                          QStringLiteral("DataSource=ADO?AuxDriver=SQLOLEDB.1;Server=db,5432;UserID=sa;Password=(not "
                                                         "collected);Database=Kestrova;"),
                                          QStringLiteral("[Mail]"), QStringLiteral("SmtpPassword=(not collected)"),
                                          QStringLiteral("ApiKey=(not collected)"), QStringLiteral("[Server]"),
                                          QStringLiteral("Port=8099")}));
        }
        // The parish's data, for its owner's eyes only.
        EXPECT_EQ(QFile::permissions(wizard->ReportPath()),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    }
}

TEST(ReportSecrets, KeysNamedLikeASecretAndConnectionStringPasswordsAreHidden)
{
    const struct
    {
        const char *line;
        const char *reported;
    } cases[] = {
        {"Password=abc", "Password=(not collected)"},
        {"  db_pwd = abc", "  db_pwd =(not collected)"},
        {"ClientSecret=abc", "ClientSecret=(not collected)"},
        {"LicenceKey=abc=def", "LicenceKey=(not collected)"},
        {"DataSource=ADO?Server=h;PWD=abc;Database=k;", "DataSource=ADO?Server=h;PWD=(not collected);Database=k;"},
        {"Source=Server=h;password = a b;", "Source=Server=h;password =(not collected);"},
        {"Port=8099", "Port=8099"},
        {"DataSource=ADO?Server=h;UserID=sa;Database=k;", "DataSource=ADO?Server=h;UserID=sa;Database=k;"},
        {"; a comment with no value", "; a comment with no value"},
        {"PasswordHint", "PasswordHint"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TQorSecrets::MaskLine(QLatin1String(c.line)), QLatin1String(c.reported)) << c.line;
}

TEST_F(SupportWizard, AUserInfoFileWithoutThisUsersDetailsLeavesWhatTheSystemKnows)
{
    const struct
    {
        const char *setup;
        std::function<void()> write;
    } cases[] = {
        {"another user's details, enciphered with a key this user does not have",
         [this] {
             TQorCustomerInfo other(tool.filePath("userinfo.ini"), tool.filePath("other/Tolvik.key"));
             other.SetOwner(QStringLiteral("Someone Else"));
             other.SetEmail(QStringLiteral("else@example.org"));
             ASSERT_NO_THROW(other.Save());
         }},
        {"a file that exists but holds no details at all",
         [this] { ASSERT_TRUE(WriteFile(tool.filePath("userinfo.ini"), "[Other]\nx=1\n")); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.setup);
        c.write();
        ASSERT_FALSE(HasFatalFailure());
        view = RecordingView();
        auto wizard = NewWizard();
        wizard->NextClick();
        wizard->NextClick();
        ASSERT_EQ(view.page, TQorSupportWizard::Sender);
        EXPECT_EQ(view.sender.Name, TvoSysInfo::GetUserName());
        EXPECT_FALSE(view.sender.Name.isEmpty());
        EXPECT_TRUE(view.sender.Email.isEmpty());
    }
}

TEST_F(SupportWizard, AFailedRunIsShownAndTheFirstPageCanBeReachedAgain)
{
    ASSERT_TRUE(WriteFile(TaskFile(), "<configuration><task category=\"SYSINFO\">"));
    auto wizard = NewWizard();
    wizard->NextClick();
    EXPECT_EQ(view.page, TQorSupportWizard::Progress);
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith(QStringLiteral("Quorva Support Tool: "))) << view.messages[0].toStdString();
    EXPECT_FALSE(view.buttons.Next);
    EXPECT_TRUE(view.buttons.Previous);
    wizard->PrevClick();
    EXPECT_EQ(view.page, TQorSupportWizard::Welcome);
}

} // namespace
