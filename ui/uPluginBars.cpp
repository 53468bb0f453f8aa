#include "ui/uPluginBars.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>

namespace {

// The letter a caption's own "&" marks ("&&" is a plain ampersand), or none.
QChar MarkedLetter(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i)
        if (caption[i] == QLatin1Char('&')) {
            if (caption[i + 1] != QLatin1Char('&'))
                return caption[i + 1].toLower();
            ++i;
        }
    return {};
}

// The menu buttons of a copied menu bar, in their order.
QList<QToolButton *> MenuButtons(const QToolBar *bar)
{
    QList<QToolButton *> buttons;
    for (QAction *action : bar->actions())
        if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action)); button && action->menu())
            buttons << button;
    return buttons;
}

// The captions with their mnemonics on the buttons. A button takes its caption from its action
// without the "&", after every change of the action, so this follows each change.
void ShowMnemonics(const QToolBar *bar)
{
    const QList<QToolButton *> buttons = MenuButtons(bar);
    QStringList captions;
    for (QToolButton *button : buttons)
        captions << button->defaultAction()->text();
    const QStringList marked = MenuMnemonics(captions);
    for (qsizetype i = 0; i < buttons.size(); ++i)
        if (buttons[i]->text() != marked[i])
            buttons[i]->setText(marked[i]);
}

} // namespace

QStringList MenuMnemonics(const QStringList &captions)
{
    QStringList marked = captions;
    QList<QChar> used;
    for (const QString &caption : captions)
        if (const QChar letter = MarkedLetter(caption); !letter.isNull())
            used << letter;
    for (QString &caption : marked) {
        if (!MarkedLetter(caption).isNull())
            continue;
        for (qsizetype i = 0; i < caption.size(); ++i)
            if (caption[i].isLetterOrNumber() && !used.contains(caption[i].toLower())) {
                used << caption[i].toLower();
                caption.insert(i, QLatin1Char('&'));
                break;
            }
    }
    return marked;
}

QToolBar *CopyPluginBar(const QToolBar *bar, QWidget *parent)
{
    auto *copy = new QToolBar(bar ? bar->windowTitle() : QString(), parent);
    copy->setIconSize(QSize(24, 24));
    copy->setMovable(false);
    if (!bar)
        return copy;
    copy->addActions(bar->actions());
    if (bar->objectName() != QLatin1String("barMenu"))
        return copy;
    for (QToolButton *button : MenuButtons(copy)) {
        button->setPopupMode(QToolButton::InstantPopup);
        // The button's text with its "&" is what Alt and the letter open.
        QObject::connect(button->defaultAction(), &QAction::changed, copy, [copy] { ShowMnemonics(copy); });
    }
    ShowMnemonics(copy);
    // F10 opens the first menu that can open, as on a menu bar.
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), copy);
    f10->setContext(Qt::WindowShortcut);
    QObject::connect(f10, &QShortcut::activated, copy, [copy] {
        for (QToolButton *button : MenuButtons(copy))
            if (button->isVisible() && button->isEnabled()) {
                button->showMenu();
                return;
            }
    });
    return copy;
}
