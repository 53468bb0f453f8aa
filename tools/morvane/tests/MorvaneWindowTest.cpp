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
#include <QTest>
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

TEST_F(MorvaneWindow, SaveRefusesAPortThatIsNotAWholeNumberFrom1To65535AndNamesTheField)
{
    WriteSettings(QStringLiteral("Settings.ini"), "[Server]\nPort=8099\n[Discovery Service]\nUse discovery=TRUE\nPort=8098\n");
    form.InitForm();
    const struct
    {
        const char *port;
        bool valid;
    } cases[] = {{"82x9", false}, {"80a9x", false}, {"", false}, {"0", false}, {"99999", false}, {"65536", false}, {"-1", false},
                 {" 80", false},   {"8.5", false}, {"\xef\xbc\x98\xef\xbc\x90", false}, {"000080", false},
                 {"1", true},      {"65535", true}, {"08080", true}};
    for (const bool discovery : {false, true}) {
        QLineEdit *edit = discovery ? form.DiscoveryPort() : form.ServerPort();
        const QString field = discovery ? QStringLiteral("discovery port") : QStringLiteral("server port");
        for (const auto &c : cases) {
            SCOPED_TRACE(field.toStdString() + " " + c.port);
            form.setResult(QDialog::Rejected);
            errors.clear();
            form.ServerPort()->setText(QStringLiteral("8099"));
            form.DiscoveryPort()->setText(QStringLiteral("8098"));
            // Typed key by key: a key the field would drop unseen saved another port.
            edit->clear();
            for (const QChar key : QString::fromUtf8(c.port))
                QTest::sendKeyEvent(QTest::Click, edit, key.unicode() < 128 ? QTest::asciiToKey(char(key.unicode())) : Qt::Key_unknown,
                                    QString(key), Qt::NoModifier);
            EXPECT_EQ(edit->text(), QString::fromUtf8(c.port));
            form.SaveClick();
            EXPECT_EQ(TQorServerSettings::IsValidPort(QString::fromUtf8(c.port)), c.valid);
            if (c.valid) {
                EXPECT_TRUE(errors.isEmpty());
                EXPECT_EQ(form.result(), QDialog::Accepted);
                EXPECT_EQ(Setting(discovery ? QStringLiteral("Discovery Service") : QStringLiteral("Server"), QStringLiteral("Port")),
                          QString::fromUtf8(c.port));
            } else {
                EXPECT_EQ(errors, QStringList{TfMorvaneurator::BadPortText(field)});
                EXPECT_TRUE(errors.value(0).contains(field));
                EXPECT_NE(form.result(), QDialog::Accepted);
                EXPECT_NE(Setting(discovery ? QStringLiteral("Discovery Service") : QStringLiteral("Server"), QStringLiteral("Port")),
                          QString::fromUtf8(c.port));
            }
        }
    }
    // Unused, the discovery port cannot be mended in its greyed edit: it is kept, not refused.
    form.setResult(QDialog::Rejected);
    errors.clear();
    const QString kept = Setting(QStringLiteral("Discovery Service"), QStringLiteral("Port"));
    form.UseDiscovery()->setChecked(false);
    form.DiscoveryPort()->setText(QStringLiteral("99999"));
    form.SaveClick();
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(Setting(QStringLiteral("Discovery Service"), QStringLiteral("Port")), kept);
}

TEST_F(MorvaneWindow, EachPortFieldSaysWhichPortItHolds)
{
    QStringList captions;
    for (QLineEdit *edit : {form.ServerPort(), form.DiscoveryPort()})
        for (const QLabel *label : form.findChildren<QLabel *>())
            if (label->buddy() == edit)
                captions << label->text();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("&Server port:"), QStringLiteral("&Discovery port:")}));
}

TEST_F(MorvaneWindow, SaveWithoutASettingsFileAsksForOneOrSaysNothingWasSavedAndStaysOpen)
{
    form.InitForm();
    ASSERT_EQ(form.Settings(), nullptr);
    form.Servers()->setEditText(QStringLiteral("dbhost"));
    form.ServerPort()->setText(QStringLiteral("9001"));
    form.UseDiscovery()->setChecked(true);
    form.DiscoveryPort()->setText(QStringLiteral("9002"));

    form.ChooseSaveFile = [] { return QString(); };
    form.SaveClick();
    EXPECT_EQ(errors, QStringList{TfMorvaneurator::NothingSavedText});
    EXPECT_NE(form.result(), QDialog::Accepted);
    // The edits are still there to be saved.
    EXPECT_EQ(form.ServerPort()->text(), QStringLiteral("9001"));

    errors.clear();
    form.ChooseSaveFile = [this] { return dir.filePath(QStringLiteral("Settings.ini")); };
    form.SaveClick();
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(Setting(QStringLiteral("Server"), QStringLiteral("Port")), QStringLiteral("9001"));
    EXPECT_EQ(Setting(QStringLiteral("Discovery Service"), QStringLiteral("Port")), QStringLiteral("9002"));
    EXPECT_TRUE(Setting(QStringLiteral("Data Access"), QStringLiteral("DataSource")).contains(QStringLiteral("Server=dbhost;")));
    EXPECT_EQ(QFile::permissions(dir.filePath(QStringLiteral("Settings.ini")))
                  & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    EXPECT_EQ(form.LinkLabel()->toolTip(), dir.filePath(QStringLiteral("Settings.ini")));
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
