// Every question and message of the client programs goes through one prompt service in front of
// QMessageBox, so that tests script the answers instead of a user clicking them. Code asks
// Prompt(); a test installs a TScriptedPrompt for its lifetime.
#pragma once

#include "ui/UiExport.h"

#include <QList>
#include <QMessageBox>
#include <QString>

#include <deque>
#include <functional>

class QWidget;

class UI_EXPORT IPromptService
{
public:
    virtual ~IPromptService();
    // Shows text under caption with the icon and the buttons; answers the button pressed
    // (defaultButton for Enter, the escape button for Escape or closing).
    virtual QMessageBox::StandardButton Ask(QWidget *parent, QMessageBox::Icon icon, const QString &caption,
                                            const QString &text, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) = 0;
};

// The service in use: the installed one, else message boxes.
UI_EXPORT IPromptService &Prompt();

// A plain message with an OK button.
UI_EXPORT void ShowMessage(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text);

// Opens a local file (a page, a document) in the desktop's program for it: open, or else the
// desktop's opener, gets its address. When nothing opens it the user is told where the file is,
// to open it another way: text holds %1 for the path. False when it was not opened.
UI_EXPORT bool OpenFileOrTellPath(QWidget *parent, const QString &file, const QString &caption, const QString &text,
                                  const std::function<bool(const QString &address)> &open = {});

// Message boxes, shown modally.
class UI_EXPORT TMessageBoxPrompt : public IPromptService
{
public:
    QMessageBox::StandardButton Ask(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override;
};

// For tests: answers from a script, in order, and keeps every prompt it was shown. With the
// script used up it answers the default button (OK for a plain message). Installed while it lives.
class UI_EXPORT TScriptedPrompt : public IPromptService
{
public:
    struct Shown
    {
        QMessageBox::Icon Icon;
        QString Caption;
        QString Text;
        QMessageBox::StandardButtons Buttons;
        QMessageBox::StandardButton DefaultButton;
    };

    TScriptedPrompt();
    ~TScriptedPrompt() override;
    TScriptedPrompt(const TScriptedPrompt &) = delete;
    TScriptedPrompt &operator=(const TScriptedPrompt &) = delete;

    void Answer(QMessageBox::StandardButton button) { m_answers.push_back(button); }
    const QList<Shown> &Prompts() const { return m_shown; }

    QMessageBox::StandardButton Ask(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override;

private:
    std::deque<QMessageBox::StandardButton> m_answers;
    QList<Shown> m_shown;
    IPromptService *m_previous;
};
