#include "fMorvane.h"

#include "foundation/IniFile.h"
#include "testsupport/QtPrinters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class MorvaneWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        form.SetProgramFolder(dir.path());
        form.ShowError = [this](const QString &text) { errors << text; };
    }

    void WriteSettings(const QString &name, const QByteArray &content)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    QString Setting(const QString &section, const QString &key) const
    {
        return IniFile::readString(dir.filePath(QStringLiteral("Settings.ini")), section, key, QStringLiteral("<missing>"));
    }

    QTemporaryDir dir;
    TfMorvaneurator form;
    QStringList errors;
};

TEST_F(MorvaneWindow, TheControlsShowTheSettingsFileAndTheWholeVersion)
{
    WriteSettings(QStringLiteral("Settings.ini"),
                  "[Data Access]\nDataSource=ADO?AuxDriver=SQLOLEDB.1;Integrated Security=SSPI;Server=/run/postgresql,5432;Database=Kestrova;\n"
                  "[Discovery Service]\nUse discovery=maybe\nPort=7000\n");
    form.InitForm();
    EXPECT_EQ(form.VersionLabel()->text(), QStringLiteral("Fileversion : " KESTROVA_VERSION " "));
    EXPECT_EQ(form.LinkLabel()->toolTip(), dir.filePath(QStringLiteral("Settings.ini")));
    EXPECT_EQ(form.Servers()->currentText(), QStringLiteral("/run/postgresql,5432"));
    EXPECT_TRUE(form.Integrated()->isChecked());
    EXPECT_FALSE(form.UserName()->isEnabled());
    EXPECT_TRUE(form.UseDiscovery()->isChecked());
    EXPECT_EQ(form.ServerPort()->text(), QStringLiteral("8099"));
    EXPECT_EQ(form.DiscoveryPort()->text(), QStringLiteral("7000"));
    EXPECT_EQ(form.HelpLabel()->text(), TfMorvaneurator::HintText(0));
}

TEST_F(MorvaneWindow, UncheckingDiscoveryDisablesItsPortAndSaveWritesFalseKeepingThePort)
{
    WriteSettings(QStringLiteral("Settings.ini"), "[Discovery Service]\nUse discovery=TRUE\nPort=7000\n[Other]\nKeep=1\n");
    form.InitForm();
    EXPECT_TRUE(form.DiscoveryPort()->isEnabled());
    form.UseDiscovery()->setChecked(false);
    EXPECT_FALSE(form.DiscoveryPort()->isEnabled());
    form.Servers()->setEditText(QStringLiteral("dbhost"));
    form.UserName()->setText(QStringLiteral("planner"));
    form.ServerPort()->setText(QStringLiteral("9000"));
    form.SaveClick();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(Setting(QStringLiteral("Discovery Service"), QStringLiteral("Use discovery")), QStringLiteral("FALSE"));
    EXPECT_EQ(Setting(QStringLiteral("Discovery Service"), QStringLiteral("Port")), QStringLiteral("7000"));
    EXPECT_EQ(Setting(QStringLiteral("Server"), QStringLiteral("Port")), QStringLiteral("9000"));
    EXPECT_EQ(Setting(QStringLiteral("Data Access"), QStringLiteral("DataSource")),
              QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=dbhost;UserID=planner;Database=Kestrova;"));
    EXPECT_EQ(Setting(QStringLiteral("Other"), QStringLiteral("Keep")), QStringLiteral("1"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MorvaneWindow, WithoutASettingsFileTheLinkAsksForOneAndTheChosenFileIsLoaded)
{
    form.InitForm();
    EXPECT_EQ(form.LinkLabel()->text(), TfMorvaneurator::ChooseFileText);
    EXPECT_EQ(form.Settings(), nullptr);

    form.ChooseFile = [this] { return dir.filePath(QStringLiteral("gone.ini")); };
    form.LinkClick();
    EXPECT_EQ(errors, QStringList{QStringLiteral("Unable to locate ") + dir.filePath(QStringLiteral("gone.ini"))});

    WriteSettings(QStringLiteral("elsewhere.ini"), "[Server]\nPort=8123\n");
    form.ChooseFile = [this] { return dir.filePath(QStringLiteral("elsewhere.ini")); };
    form.LinkClick();
    ASSERT_NE(form.Settings(), nullptr);
    EXPECT_EQ(form.ServerPort()->text(), QStringLiteral("8123"));
    EXPECT_EQ(form.LinkLabel()->toolTip(), dir.filePath(QStringLiteral("elsewhere.ini")));
}

TEST_F(MorvaneWindow, TheHelpTextFollowsTheMouseAndTheTestResultGoesAfterFiveSeconds)
{
    form.InitForm();
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(form.DiscoveryPort(), &enter);
    EXPECT_EQ(form.HelpLabel()->text(), TfMorvaneurator::HintText(5).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    EXPECT_TRUE(TfMorvaneurator::HintText(3).contains(QStringLiteral("8099, but you might change this to any available port.\r\rPlease")));
    QCoreApplication::sendEvent(form.Servers(), &enter);
    EXPECT_EQ(form.HelpLabel()->text(), TfMorvaneurator::HintText(2));

    form.Servers()->setEditText(QStringLiteral("/nonexistent,1"));
    form.TestClick();
    EXPECT_EQ(form.ResultLabel()->text(), QStringLiteral("Connection failed"));
    EXPECT_FALSE(form.ResultLabel()->isHidden());
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(form.TestTimerObject()->isActive());
    EXPECT_EQ(form.TestTimerObject()->interval(), 5000);
    form.TestTimer();
    EXPECT_TRUE(form.ResultLabel()->isHidden());
    EXPECT_TRUE(form.ResultLabel()->text().isEmpty());
    EXPECT_FALSE(form.TestTimerObject()->isActive());
}

} // namespace
