#include "ui/PromptService.h"

#include "foundation/uCommon.h"

#include <QDir>
#include <QUrl>

namespace {

IPromptService *g_installed = nullptr;

} // namespace

IPromptService::~IPromptService() = default;

IPromptService &Prompt()
{
    static TMessageBoxPrompt boxes;
    return g_installed ? *g_installed : boxes;
}

void ShowMessage(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    Prompt().Ask(parent, icon, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool OpenFileOrTellPath(QWidget *parent, const QString &file, const QString &caption, const QString &text,
                        const std::function<bool(const QString &address)> &open)
{
    const QString address = QUrl::fromLocalFile(file).toString();
    if (open ? open(address) : OpenURL(address))
        return true;
    ShowMessage(parent, QMessageBox::Warning, caption, text.arg(QDir::toNativeSeparators(file)));
    return false;
}

QMessageBox::StandardButton TMessageBoxPrompt::Ask(QWidget *parent, QMessageBox::Icon icon, const QString &caption,
                                                   const QString &text, QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    // Without a window manager nobody hands the keyboard back to the window the box came from,
    // and keys typed next would go nowhere.
    if (parent && parent->isVisible())
        parent->window()->activateWindow();
    return answer;
}

TScriptedPrompt::TScriptedPrompt() : m_previous(g_installed)
{
    g_installed = this;
}

TScriptedPrompt::~TScriptedPrompt()
{
    g_installed = m_previous;
}

QMessageBox::StandardButton TScriptedPrompt::Ask(QWidget *, QMessageBox::Icon icon, const QString &caption,
                                                 const QString &text, QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    m_shown << Shown{icon, caption, text, buttons, defaultButton};
    if (m_answers.empty())
        return defaultButton == QMessageBox::NoButton ? QMessageBox::Ok : defaultButton;
    const QMessageBox::StandardButton answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}
