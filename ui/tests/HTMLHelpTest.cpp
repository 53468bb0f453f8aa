#include "ui/uHTMLHelp.h"
#include "ui/PromptService.h"

#include "testsupport/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct MapCase
{
    int Request;
    QVariant Data;
    int Command;
    QVariant Answered;
};

class HTMLHelp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir(QStringLiteral("help"));
        for (const char *name : {"index.html", "Login_Dialog.html", "Reports.html"})
            QFile(dir.filePath(QStringLiteral("help/") + QLatin1String(name))).open(QIODevice::WriteOnly);
        TconHTMLHelp::SetOpener([this](const QUrl &page) {
            opened << page.toLocalFile();
            return true;
        });
        TconHTMLHelp::Install(Contents());
    }
    void TearDown() override
    {
        TconHTMLHelp::Remove();
        TconHTMLHelp::SetOpener({});
    }
    QString Contents() const { return dir.filePath(QStringLiteral("help/index.html")); }
    QString Page(const QString &name) const { return dir.filePath(QStringLiteral("help/") + name); }

    QTemporaryDir dir;
    QStringList opened;
};

} // namespace

TEST_F(HTMLHelp, EveryRequestBecomesItsViewerCommand)
{
    const MapCase cases[] = {
        {TconHTMLHelp::Context, 42, TconHTMLHelp::DisplayContext, 42},
        {TconHTMLHelp::ContextPopup, 7, TconHTMLHelp::DisplayContext, 7},
        {TconHTMLHelp::Quit, 5, TconHTMLHelp::CloseAll, 0},
        {TconHTMLHelp::Contents, 5, TconHTMLHelp::DisplayToc, 0},
        {TconHTMLHelp::Finder, QStringLiteral("Reports"), TconHTMLHelp::DisplayTopic, QStringLiteral("Reports")},
        {TconHTMLHelp::Key, QStringLiteral("log on"), TconHTMLHelp::DisplayIndex, QStringLiteral("log on")},
        {4, QStringLiteral("x"), TconHTMLHelp::DisplayTopic, 0},
    };
    for (const MapCase &c : cases) {
        const TconHTMLHelp::TCall call = TconHTMLHelp::Map(c.Request, c.Data);
        EXPECT_EQ(call.Command, c.Command) << "request " << c.Request;
        EXPECT_EQ(call.Data, c.Answered) << "request " << c.Request;
    }
}

TEST_F(HTMLHelp, ATopicOpensItsPageWhateverTheCaseAndAnUnknownOneTheContents)
{
    EXPECT_TRUE(TconHTMLHelp::ShowTopic(QStringLiteral("Login_Dialog")));
    EXPECT_TRUE(TconHTMLHelp::ShowTopic(QStringLiteral("reports")));
    EXPECT_TRUE(TconHTMLHelp::ShowTopic(QStringLiteral("No_Such_Topic")));
    EXPECT_TRUE(TconHTMLHelp::ShowTopic(QStringLiteral("../index")));
    EXPECT_TRUE(TconHTMLHelp::HelpCommand(TconHTMLHelp::Contents));
    EXPECT_FALSE(TconHTMLHelp::HelpCommand(TconHTMLHelp::Quit));
    EXPECT_EQ(opened, (QStringList{Page(QStringLiteral("Login_Dialog.html")), Page(QStringLiteral("Reports.html")), Contents(),
                                   Contents(), Contents()}));
}

TEST_F(HTMLHelp, WithoutTheBridgeOrItsPagesNothingOpens)
{
    QFile::remove(Contents());
    EXPECT_FALSE(TconHTMLHelp::ShowTopic(QStringLiteral("Missing")));
    TconHTMLHelp::Remove();
    EXPECT_FALSE(TconHTMLHelp::ShowTopic(QStringLiteral("Reports")));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(HTMLHelp, APageThatNoProgramOpensIsShownByItsPath)
{
    TScriptedPrompt prompt;
    TconHTMLHelp::SetOpener([](const QUrl &) { return false; });
    EXPECT_FALSE(TconHTMLHelp::ShowTopic(QStringLiteral("Reports")));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts().front().Text, TconHTMLHelp::NotOpenedText.arg(QDir::toNativeSeparators(Page(QStringLiteral("Reports.html")))));
}
