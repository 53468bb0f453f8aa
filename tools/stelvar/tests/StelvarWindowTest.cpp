#include "StelvarFixture.h"

#include "fMain.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>

namespace {

TEST_F(StelvarTest, TheWindowTestsTheServerThenOffersTheRunOnItsSecondPage)
{
    TStelvarSetup setup(folder);
    TfMain form(setup);
    form.SetPrompts(Scripted(true));
    form.FormShow();
    EXPECT_EQ(form.Pages()->currentIndex(), 0);
    EXPECT_TRUE(form.Timer()->isActive());
    EXPECT_EQ(form.Location()->text(), Source(made));
    EXPECT_FALSE(form.Location()->isEnabled());
    // Only an older installation may be migrated.
    EXPECT_FALSE(form.MigrateOption()->isEnabled());
    EXPECT_TRUE(form.CreateOption()->isChecked());
    // The greyed option says what would enable it.
    EXPECT_FALSE(form.MigrateHint()->isHidden());
    EXPECT_TRUE(form.MigrateHint()->text().contains(QStringLiteral("DataType=Access")));

    form.Timer1Timer();
    EXPECT_FALSE(form.Timer()->isActive());
    EXPECT_TRUE(form.WaitLabel()->isHidden());
    EXPECT_FALSE(form.ReadyLabel()->isHidden());
    EXPECT_TRUE(form.FailedLabel()->isHidden());
    EXPECT_TRUE(form.NextButton()->isEnabled());
    form.NextClick();
    EXPECT_EQ(form.Pages()->currentIndex(), 1);
    EXPECT_TRUE(form.StartButton()->isEnabled());
    EXPECT_TRUE(form.RedLabel()->isHidden());

    // The progress appears under the page without squeezing the database location group.
    form.show();
    form.ProgressGroup()->show();
    QCoreApplication::sendPostedEvents();
    form.layout()->activate();
    const QWidget *location = form.Location()->parentWidget();
    EXPECT_GE(location->height(), location->minimumSizeHint().height());
    EXPECT_GE(form.ProgressGroup()->height(), form.ProgressGroup()->minimumSizeHint().height());
}

// No cluster needed: the server named is out of reach.
TEST(StelvarWindow, AServerOutOfReachLeavesOnlyClose)
{
    QTemporaryDir dir;
    ASSERT_TRUE(IniFile::writeStrings(dir.filePath(QStringLiteral("settings.ini")),
                                      {{QStringLiteral("Data Access"), QStringLiteral("DataType"), QStringLiteral("Access")},
                                       {QStringLiteral("Data Access"), QStringLiteral("DataSource"),
                                        QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=/nonexistent,1;UserID=postgres;Database=Kestrova;")}}));
    TStelvarSetup setup(dir.path());
    TfMain form(setup);
    QStringList messages;
    form.SetPrompts({nullptr, [&messages](const QString &text) { messages << text; }, nullptr});
    form.FormShow();
    EXPECT_TRUE(form.MigrateOption()->isEnabled());
    EXPECT_TRUE(form.MigrateHint()->isHidden());
    form.Timer1Timer();
    EXPECT_FALSE(form.FailedLabel()->isHidden());
    EXPECT_TRUE(form.ReadyLabel()->isHidden());
    EXPECT_FALSE(form.RedLabel()->isHidden());
    EXPECT_FALSE(form.StartButton()->isEnabled());
    EXPECT_FALSE(form.NextButton()->isEnabled());
    EXPECT_TRUE(form.CloseButton()->isEnabled());
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
