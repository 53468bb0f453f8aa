// A scripted prompt answers in order, records what was asked, and stands in only while it lives.
#include "ui/PromptService.h"

#include <gtest/gtest.h>

TEST(PromptService, ScriptedAnswersComeInOrderAndEveryQuestionIsKept)
{
    TScriptedPrompt script;
    script.Answer(QMessageBox::No);
    EXPECT_EQ(Prompt().Ask(nullptr, QMessageBox::Warning, QStringLiteral("Delete"), QStringLiteral("Really?"),
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
              QMessageBox::No);
    ShowMessage(nullptr, QMessageBox::Critical, QStringLiteral("Kestrova"), QStringLiteral("No server"));
    ASSERT_EQ(script.Prompts().size(), 2);
    EXPECT_EQ(script.Prompts()[0].Text, QStringLiteral("Really?"));
    EXPECT_EQ(script.Prompts()[0].DefaultButton, QMessageBox::No);
    EXPECT_EQ(script.Prompts()[1].Icon, QMessageBox::Critical);
    EXPECT_EQ(script.Prompts()[1].Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(PromptService, WithTheScriptUsedUpTheDefaultButtonAnswers)
{
    TScriptedPrompt script;
    EXPECT_EQ(Prompt().Ask(nullptr, QMessageBox::Question, {}, {}, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes),
              QMessageBox::Yes);
}

TEST(PromptService, ANestedScriptHandsBackToTheOuterOneWhenItGoes)
{
    TScriptedPrompt outer;
    {
        TScriptedPrompt inner;
        ShowMessage(nullptr, QMessageBox::Information, {}, QStringLiteral("inner"));
        EXPECT_EQ(inner.Prompts().size(), 1);
    }
    ShowMessage(nullptr, QMessageBox::Information, {}, QStringLiteral("outer"));
    ASSERT_EQ(outer.Prompts().size(), 1);
    EXPECT_EQ(outer.Prompts()[0].Text, QStringLiteral("outer"));
}
