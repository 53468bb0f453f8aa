#include "fMain.h"

#include "testsupport/QtPrinters.h"
#include "tools/common/ToolWindow.h"
#include "ui/PromptService.h"

#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const QString kUrl = QStringLiteral("http://localhost:8099/BIN");
const QString kFolder = QStringLiteral("/opt/kestrova");
const QString kFaq = QStringLiteral("file:///opt/kestrova/help/InstallFAQ.html");

TEST(Diagnose, TheFirstArgumentSaysWhichInstallationAndWhichAddress)
{
    const struct
    {
        QStringList arguments;
        bool client;
        QString address;
        QString advice;
        QString link;
    } cases[] = {
        {{QStringLiteral("Diagnose"), QStringLiteral("Client")}, true, QString(), TDiagnoseInfo::DesignAdvice, QString()},
        {{QStringLiteral("Diagnose"), QStringLiteral("client")}, true, QString(), TDiagnoseInfo::DesignAdvice, QString()},
        {{QStringLiteral("Diagnose"), QStringLiteral("Single;") + kUrl}, false, QStringLiteral("Trying to connect to : ") + kUrl,
         TDiagnoseInfo::SingleAdvice, kFaq},
        // Only the first ";" splits: an address holding one is shown whole.
        {{QStringLiteral("Diagnose"), QStringLiteral("Single;http://a/b;c"), QStringLiteral("Client")}, false,
         QStringLiteral("Trying to connect to : http://a/b;c"), TDiagnoseInfo::SingleAdvice, kFaq},
        {{QStringLiteral("Diagnose"), QStringLiteral("Something")}, false, QString(), TDiagnoseInfo::SingleAdvice, kFaq},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const std::optional<TDiagnoseInfo> info = TDiagnoseInfo::ReadCommandLine(c.arguments, kFolder);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->ClientInstallation, c.client);
        EXPECT_EQ(info->Address, c.address);
        EXPECT_EQ(info->Advice, c.advice);
        EXPECT_EQ(info->Link, c.link);
    }
    EXPECT_FALSE(TDiagnoseInfo::ReadCommandLine({QStringLiteral("Diagnose")}, kFolder));
}

TEST(Diagnose, TheLinkOpensTheTroubleshootingPageOfTheHelpInstalledBesideTheProgram)
{
    const QString link = TDiagnoseInfo::FaqAddress(kFolder + QLatin1Char('/'));
    EXPECT_EQ(link, kFaq);
    EXPECT_TRUE(QUrl(link).isLocalFile());
    // The page is one the client's help ships, and the advice says where the link leads.
    EXPECT_TRUE(QFileInfo(QStringLiteral(KESTROVA_SOURCE_DIR "/client/") + TDiagnoseInfo::FaqPage).isFile());
    EXPECT_TRUE(TDiagnoseInfo::SingleAdvice.contains(QStringLiteral("troubleshooting page of the help installed with Kestrova")));
    EXPECT_FALSE(TDiagnoseInfo::SingleAdvice.contains(QStringLiteral(".EXE"), Qt::CaseInsensitive));
    EXPECT_FALSE(TDiagnoseInfo::DesignAdvice.contains(QStringLiteral(".EXE"), Qt::CaseInsensitive));
}

TEST(Diagnose, TheTextsAreTheSystemsOwn)
{
    EXPECT_EQ(TDiagnoseInfo::SingleAdvice,
              QStringLiteral("Kestrova was not able to connect to the local server.\rPlease verify that you have the data server "
                             "Brennic running before you start Kestrova and that your firewall does not block access.\r\rTo learn "
                             "more, please click on the link below: it opens the troubleshooting page of the help installed with "
                             "Kestrova."));
    EXPECT_EQ(TDiagnoseInfo::Caption, QStringLiteral("Unable to start Kestrova"));
    EXPECT_EQ(TDiagnoseInfo::Title, QStringLiteral("Quorva Client Diagnose Tool"));
}

TEST(Diagnose, TheWindowShowsTheAddressAndClosesShortlyAfterTheLinkWasUsed)
{
    TfMain form;
    QStringList opened;
    form.OpenLink = [&opened](const QString &address) {
        opened << address;
        return true;
    };
    EXPECT_EQ(form.windowTitle(), TDiagnoseInfo::Caption);
    EXPECT_EQ(form.AddressLabel()->text(), TDiagnoseInfo::DesignAddress);
    form.ShowConnectInfo(*TDiagnoseInfo::ReadCommandLine({QStringLiteral("Diagnose"), QStringLiteral("Single;") + kUrl}, kFolder));
    EXPECT_EQ(form.AddressLabel()->text(), QStringLiteral("Trying to connect to : ") + kUrl);
    EXPECT_EQ(form.AdviceLabel()->text(), ToolWindow::ScreenText(TDiagnoseInfo::SingleAdvice));
    EXPECT_TRUE(form.LinkLabel()->text().contains(QStringLiteral("href=\"") + kFaq + QLatin1Char('"')));
    // It shows the page's path, the file it opens.
    EXPECT_TRUE(form.LinkLabel()->text().contains(QStringLiteral(">/opt/kestrova/help/InstallFAQ.html<")));

    form.show();
    EXPECT_FALSE(form.Timer()->isActive());
    emit form.LinkLabel()->linkActivated(kFaq);
    EXPECT_EQ(opened, QStringList{kFaq});
    EXPECT_TRUE(form.Timer()->isActive());
    EXPECT_EQ(form.Timer()->interval(), 1000);
    form.CloseTimer();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.isEnabled());
}

TEST(Diagnose, WithNoProgramToOpenThePageTheLinkTellsItsPathAndTheWindowStays)
{
    // A desktop without its opener.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    TScriptedPrompt prompt;
    TfMain form;
    form.ShowConnectInfo(*TDiagnoseInfo::ReadCommandLine({QStringLiteral("Diagnose"), QStringLiteral("Single;") + kUrl}, kFolder));
    form.show();
    emit form.LinkLabel()->linkActivated(kFaq);
    qputenv("PATH", path);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts().front().Caption, TDiagnoseInfo::Caption);
    EXPECT_EQ(prompt.Prompts().front().Text, TDiagnoseInfo::NotOpenedText.arg(QStringLiteral("/opt/kestrova/help/InstallFAQ.html")));
    EXPECT_FALSE(form.Timer()->isActive());
    EXPECT_TRUE(form.isVisible());
}

TEST(Diagnose, AClientInstallationKeepsTheDesignAdviceAndOffersNoLink)
{
    TfMain form;
    form.ShowConnectInfo(*TDiagnoseInfo::ReadCommandLine({QStringLiteral("Diagnose"), QStringLiteral("CLIENT")}, kFolder));
    EXPECT_EQ(form.AddressLabel()->text(), QString());
    EXPECT_EQ(form.AdviceLabel()->text(), TDiagnoseInfo::DesignAdvice);
    EXPECT_TRUE(form.LinkLabel()->text().isEmpty());
}

TEST(Diagnose, WithoutAnArgumentTheProgramEndsAtOnce)
{
    QProcess program;
    program.start(QStringLiteral(DIAGNOSE_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

} // namespace
