// The composer offscreen, through its actions: it shows the message, tells where the caret is,
// offers cut and copy only with a selection, remembers the attachment period, writes what was
// typed back into the message on Send, and an empty composer has nothing to send.
#include "client/ufEmail.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"

#include <QAction>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

class EmailComposer : public ::testing::Test
{
protected:
    EmailComposer()
    {
        message.AddRecipients(TCDOAddressKind::To, {QStringLiteral("anna@example.org"), QStringLiteral("ben@example.org")});
        message.SetSubject(QStringLiteral("Rota"));
        message.SetBody(QStringLiteral("Dear all,\nsee below."));
    }

    TQorCDOMessage message;
    FakeSettings settings;
    LogCapture log;
};

} // namespace

TEST_F(EmailComposer, ItShowsTheMessageAndItsRecipients)
{
    TfEmail composer(&message, &settings);
    composer.InitializeForm();
    EXPECT_EQ(composer.windowTitle(), QStringLiteral(" New message"));
    EXPECT_EQ(composer.size(), QSize(TfEmail::FormWidth, TfEmail::FormHeight));
    EXPECT_EQ(composer.edSubject()->text(), QStringLiteral("Rota"));
    EXPECT_EQ(composer.Editor()->toPlainText(), QStringLiteral("Dear all,\nsee below."));
    EXPECT_EQ(composer.memRecipients()->toPlainText(), QStringLiteral("anna@example.org;ben@example.org;"));
    EXPECT_TRUE(composer.memRecipients()->isReadOnly());
    EXPECT_FALSE(composer.AttachmentPanel()->isVisibleTo(&composer));
}

TEST_F(EmailComposer, TheStatusBarFollowsTheCaret)
{
    TfEmail composer(&message, &settings);
    composer.InitializeForm();
    QTextCursor cursor = composer.Editor()->textCursor();
    cursor.setPosition(composer.Editor()->document()->findBlockByNumber(1).position() + 4);
    composer.Editor()->setTextCursor(cursor);
    EXPECT_EQ(composer.LineStatus()->text(), QStringLiteral(" Line:   2 "));
    EXPECT_EQ(composer.RowStatus()->text(), QStringLiteral(" Row:   5 "));
    composer.Editor()->insertPlainText(QStringLiteral("\n\tx"));
    EXPECT_EQ(composer.LineStatus()->text(), QStringLiteral(" Line:   3 "));
    EXPECT_EQ(composer.RowStatus()->text(), QStringLiteral(" Row:   3 "));
}

TEST_F(EmailComposer, CutAndCopyNeedASelectionAndUndoAChange)
{
    TfEmail composer(&message, &settings);
    composer.InitializeForm();
    EXPECT_FALSE(composer.acCut()->isEnabled());
    EXPECT_FALSE(composer.acCopy()->isEnabled());
    EXPECT_TRUE(composer.acPaste()->isEnabled());
    composer.acSelectAll()->trigger();
    EXPECT_TRUE(composer.acCut()->isEnabled());
    EXPECT_TRUE(composer.acCopy()->isEnabled());
    composer.acCut()->trigger();
    EXPECT_EQ(composer.Editor()->toPlainText(), QString());
    EXPECT_TRUE(composer.acUndo()->isEnabled());
    composer.acPaste()->trigger();
    EXPECT_EQ(composer.Editor()->toPlainText(), QStringLiteral("Dear all,\nsee below."));
    composer.acUndo()->trigger();
    EXPECT_EQ(composer.Editor()->toPlainText(), QString());
}

TEST_F(EmailComposer, SendWritesSubjectAndTextIntoTheMessage)
{
    TfEmail composer(&message, &settings);
    composer.InitializeForm();
    composer.edSubject()->setText(QStringLiteral("Rota für März"));
    composer.Editor()->setPlainText(QStringLiteral("Grüße\n\tŁukasz"));
    WhenShown<TfEmail>([](TfEmail &shown) { shown.acSend()->trigger(); });
    EXPECT_EQ(composer.ShowModal(), TModalResult::Ok);
    EXPECT_EQ(message.Subject(), QStringLiteral("Rota für März"));
    EXPECT_EQ(message.Body(), QStringLiteral("Grüße\n\tŁukasz"));
    EXPECT_EQ(message.Addresses(TCDOAddressKind::To).size(), 2);
}

TEST_F(EmailComposer, EscapeClosesWithoutTouchingTheMessage)
{
    TfEmail composer(&message, &settings);
    composer.InitializeForm();
    composer.edSubject()->setText(QStringLiteral("changed"));
    WhenShown<TfEmail>([](TfEmail &shown) { shown.acClose()->trigger(); });
    EXPECT_EQ(composer.ShowModal(), TModalResult::Cancel);
    EXPECT_EQ(message.Subject(), QStringLiteral("Rota"));
    EXPECT_TRUE(composer.acClose()->shortcut().matches(QKeySequence(Qt::Key_Escape)) == QKeySequence::ExactMatch);
}

TEST_F(EmailComposer, TheAttachmentPeriodStartsFromTheRememberedDatesAndIsRememberedAgain)
{
    settings.Values.insert(TAttachmentPeriod::StartKey, QStringLiteral("2026-03-01"));
    TfEmail composer(&message, &settings);
    composer.InitializeForm();
    WhenShown<TfAttachment>([](TfAttachment &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add attachment"));
        EXPECT_EQ(dialog.edFrom()->date(), QDate(2026, 3, 1));
        EXPECT_EQ(dialog.edTo()->date(), QDate::currentDate().addMonths(3));
        dialog.edTo()->setDate(QDate(2026, 3, 31));
        dialog.btnOK()->click();
    });
    composer.acAddAttachment()->trigger();
    EXPECT_TRUE(composer.AttachmentWanted());
    EXPECT_EQ(composer.AttachmentPeriod().To, QDate(2026, 3, 31));
    EXPECT_TRUE(composer.AttachmentPanel()->isVisibleTo(&composer));
    EXPECT_FALSE(composer.acAddAttachment()->isEnabled());
    EXPECT_EQ(settings.Values.value(TAttachmentPeriod::StartKey), QStringLiteral("2026-03-01"));
    EXPECT_EQ(settings.Values.value(TAttachmentPeriod::EndKey), QStringLiteral("2026-03-31"));
}

TEST_F(EmailComposer, ACancelledPeriodAddsNoAttachment)
{
    TfEmail composer(&message, &settings);
    composer.InitializeForm();
    WhenShown<TfAttachment>([](TfAttachment &dialog) { dialog.btnCancel()->click(); });
    composer.acAddAttachment()->trigger();
    EXPECT_FALSE(composer.AttachmentWanted());
    EXPECT_TRUE(composer.acAddAttachment()->isEnabled());
    EXPECT_TRUE(settings.Values.isEmpty());
}

TEST_F(EmailComposer, AnEmptyComposerHasNothingToSend)
{
    TfEmail composer(nullptr, &settings);
    composer.InitializeForm();
    EXPECT_FALSE(composer.acSend()->isEnabled());
    EXPECT_FALSE(composer.acAddAttachment()->isEnabled());
    EXPECT_EQ(log.lines().filter(QStringLiteral("Severe     \tTfEmail\tInitializeForm No message object set")).size(), 1)
        << log.lines().join(QLatin1Char('\n')).toStdString();
}
