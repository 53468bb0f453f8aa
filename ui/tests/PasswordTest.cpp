// The password dialog: OK only for two equal entries, the second one in lower case; letters and
// digits only; captions from the host's language texts.
#include "ui/ufPassword.h"

#include "client/api/HostInterfaces.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A language host with a text for every number: "T<number>".
class NumberedTexts : public Quorva::ILanguageHost
{
public:
    virtual ~NumberedTexts() = default;
    bool queryInterface(const QUuid &id, void **object) override { return QorQueryInterface<Quorva::ILanguageHost>(this, id, object); }
    int addRef() override { return 1; }
    int release() override { return 1; }
    void GetResourceText(int number, bool, QString &text) override { text = QStringLiteral("T%1").arg(number); }
};

} // namespace

TEST(Password, TheSecondEntryTurnsEveryLetterToLowerCaseAndTheFirstKeepsTheCase)
{
    struct Case
    {
        const char *First;
        const char *Second;
        const char *SecondHolds;
        bool Confirmed;
    };
    const Case cases[] = {
        {"secret42", "secret42", "secret42", true},
        {"Secret42", "Secret42", "secret42", false}, // a capital cannot be confirmed
        {"Secret42", "secret42", "secret42", false},
        {"secret42", "SECRET42", "secret42", true},
    };
    for (const Case &c : cases) {
        TfPassword dialog;
        QTest::keyClicks(dialog.edPwd1(), QString::fromLatin1(c.First));
        QTest::keyClicks(dialog.edPwd2(), QString::fromLatin1(c.Second));
        EXPECT_EQ(dialog.edPwd1()->text(), QString::fromLatin1(c.First)) << c.First;
        EXPECT_EQ(dialog.edPwd2()->text(), QString::fromLatin1(c.SecondHolds)) << c.Second;
        EXPECT_EQ(dialog.acOK()->isEnabled(), c.Confirmed) << c.First << " " << c.Second;
        EXPECT_EQ(dialog.btnChange()->isEnabled(), c.Confirmed) << c.First << " " << c.Second;
        if (c.Confirmed) {
            EXPECT_EQ(dialog.NewPassword(), QString::fromLatin1(c.First));
        }
    }
}

TEST(Password, OnlyLettersAndDigitsCanBeTyped)
{
    TfPassword dialog;
    QTest::keyClicks(dialog.edPwd1(), QStringLiteral("a b-c%1"));
    QTest::keyClicks(dialog.edPwd2(), QStringLiteral("_!2"));
    EXPECT_EQ(dialog.edPwd1()->text(), QStringLiteral("abc1"));
    EXPECT_EQ(dialog.edPwd2()->text(), QStringLiteral("2"));
}

TEST(Password, BothEntriesEmptyMayBeConfirmed)
{
    TfPassword dialog;
    EXPECT_TRUE(dialog.acOK()->isEnabled());
}

TEST(Password, InitFormClearsTheEntriesAndTakesTheHostsTexts)
{
    TfPassword dialog;
    QTest::keyClicks(dialog.edPwd1(), QStringLiteral("old"));
    NumberedTexts texts;
    dialog.InitForm(&texts);
    EXPECT_TRUE(dialog.edPwd1()->text().isEmpty());
    EXPECT_EQ(dialog.btnChange()->text(), QStringLiteral("T200"));
    EXPECT_EQ(dialog.btnCancel()->text(), QStringLiteral("T201"));
    EXPECT_EQ(dialog.btnHelp()->text(), QStringLiteral("T202"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("T6300"));
    EXPECT_EQ(dialog.grpBox()->title(), QStringLiteral("T6301"));
    EXPECT_TRUE(dialog.chkShow()->isHidden());
    EXPECT_TRUE(dialog.btnOK()->isHidden());
}

TEST(Password, ChangeClosesTheDialogWithOk)
{
    TfPassword dialog;
    QTest::keyClicks(dialog.edPwd1(), QStringLiteral("abc1"));
    QTest::keyClicks(dialog.edPwd2(), QStringLiteral("abc1"));
    QMetaObject::invokeMethod(dialog.btnChange(), &QPushButton::click, Qt::QueuedConnection);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}
