// The wizard's window, offscreen, driven through its own buttons and boxes.
#include "tools/tolvik/TolvikTexts.h"
#include "tools/tolvik/uQorPathHelper.h"
#include "tools/tolvik/uSupportToolDelivery.h"
#include "tools/tolvik/ufWizard.h"

#include "testsupport/QtPrinters.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

template <class Widget>
Widget *withText(QWidget &window, const QString &text)
{
    for (Widget *widget : window.findChildren<Widget *>())
        if (widget->text() == text)
            return widget;
    return nullptr;
}

TEST(WizardWindow, ItsButtonsLeadThroughThePagesAsTheWizardDecides)
{
    QTemporaryDir tool;
    TolvikTexts::SetLanguage(QLocale::English);
    TQorFolderSet folders;
    folders.Tool = tool.path();
    folders.Readable = {tool.path()};
    TQorPathHelper::SetFolders(folders);
    QFile tasks(tool.filePath("configuration.xml"));
    ASSERT_TRUE(tasks.open(QIODevice::WriteOnly));
    tasks.write("<configuration><task category=\"SYSINFO\"/></configuration>");
    tasks.close();
    std::unique_ptr<SupportToolDelivery> delivery = CoSupportToolDelivery::Create(tool.path());
    TfWizard window(tasks.fileName(), tool.path(), QStringLiteral("1.0.0.0"), *delivery);
    window.Wizard().Start();
    window.show();

    auto *pages = window.findChild<QStackedWidget *>();
    QPushButton *next = withText<QPushButton>(window, QStringLiteral("&Next"));
    QPushButton *finish = withText<QPushButton>(window, QStringLiteral("&Finish"));
    ASSERT_TRUE(pages && next && finish);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(next->isEnabled());
    EXPECT_FALSE(finish->isEnabled());

    next->click();
    EXPECT_EQ(pages->currentIndex(), 2);
    withText<QRadioButton>(window, QStringLiteral("XML file"))->click();
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(finish->isEnabled());
    withText<QRadioButton>(window, QStringLiteral("Online delivery"))->click();
    EXPECT_TRUE(withText<QPushButton>(window, QStringLiteral("&View report..."))->isVisible());

    next->click();
    EXPECT_EQ(pages->currentIndex(), 3);
    EXPECT_FALSE(next->isEnabled());
    const QList<QLineEdit *> edits = pages->currentWidget()->findChildren<QLineEdit *>();
    ASSERT_EQ(edits.size(), 3);
    edits[0]->setText(QStringLiteral("Anna Berg"));
    edits[2]->setText(QStringLiteral("anna.berg@example.org"));
    EXPECT_TRUE(next->isEnabled());
    next->click();
    EXPECT_EQ(pages->currentIndex(), 4);
    EXPECT_TRUE(finish->isEnabled());
}

} // namespace
