// Which help page each dialog of the module opens and where the contact dialog offers printing,
// decided without a window; the pages are opened through the application's help.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactRules.h"
#include "plugins/contacts/uFamilyRules.h"
#include "plugins/contacts/uGroupTree.h"

#include "testsupport/QtPrinters.h"
#include "ui/uHTMLHelp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ContactDialogPages, EachPageHasItsHelpTopicAndOnlyTheSchedulePrints)
{
    struct Row
    {
        int Page;
        QString Topic;
        bool Prints;
    };
    for (const Row &row : {Row{0, QStringLiteral("Contacts_add_a_contact"), false},
                           Row{1, QStringLiteral("Contact_Serving_Preferences"), false},
                           Row{2, QStringLiteral("Contact_Schedule"), true}}) {
        EXPECT_EQ(TContactRules::HelpTopic(row.Page), row.Topic) << row.Page;
        EXPECT_EQ(TContactRules::PrintVisible(row.Page), row.Prints) << row.Page;
    }
    EXPECT_FALSE(TContactRules::PrintEnabled(0)) << "an empty schedule has nothing to print";
    EXPECT_TRUE(TContactRules::PrintEnabled(1));
}

TEST(ContactsHelp, EveryDialogsTopicOpensItsOwnPageThroughTheApplicationsHelp)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList topics{TContactRules::HelpTopic(0), TContactRules::HelpTopic(1), TContactRules::HelpTopic(2),
                             TFamilyRules::HelpTopic, TGroupTree::HelpTopic};
    const QStringList pages = QStringList(topics) << QStringLiteral("index");
    for (const QString &name : pages) {
        QFile page(QDir(folder.path()).filePath(name + QStringLiteral(".html")));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    }
    QList<QUrl> opened;
    TconHTMLHelp::SetOpener([&](const QUrl &url) {
        opened << url;
        return true;
    });
    TconHTMLHelp::Install(QDir(folder.path()).filePath(QStringLiteral("index.html")));

    TRvContactsController controller;
    for (const QString &topic : topics)
        controller.ShowHelp(topic);
    TconHTMLHelp::Remove();
    TconHTMLHelp::SetOpener({});

    ASSERT_EQ(opened.size(), topics.size());
    for (qsizetype i = 0; i < topics.size(); ++i)
        EXPECT_EQ(opened[i].fileName(), topics[i] + QStringLiteral(".html"));
}

} // namespace
