// Plays the user in front of the host's modal windows: each step waits for a shown top-level
// window of its class and acts on it once. A window a step acted on is left alone until it has
// been hidden, so a dialog shown several times gets one step per showing. Actions that close
// a window or open another press their buttons later (QTimer::singleShot(0, ...)), so that the
// script goes on inside the window's own loop.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

namespace kestrova::test {

class DialogScript : public QObject
{
public:
    DialogScript()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &DialogScript::Tick);
        m_timer.start();
    }

    // The next step: act on the next shown window of class T.
    template <class T>
    DialogScript &Then(std::function<void(T &)> action)
    {
        m_steps.push_back([action](QWidget *widget) {
            T *window = qobject_cast<T *>(widget);
            if (!window)
                return false;
            action(*window);
            return true;
        });
        return *this;
    }
    int Pending() const { return int(m_steps.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_last && event->type() == QEvent::Hide)
            m_lastHidden = true;
        return false;
    }

private:
    void Tick()
    {
        if (m_steps.empty())
            return;
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (!window->isVisible() || (window == m_last && !m_lastHidden))
                continue;
            const std::function<bool(QWidget *)> step = m_steps.front();
            if (!step(window))
                continue;
            m_steps.pop_front();
            if (m_last)
                m_last->removeEventFilter(this);
            m_last = window;
            m_lastHidden = false;
            window->installEventFilter(this);
            return;
        }
    }

    QTimer m_timer;
    std::deque<std::function<bool(QWidget *)>> m_steps;
    QPointer<QWidget> m_last;
    bool m_lastHidden = false;
};

// Presses the button once the current handler has returned.
template <class Button>
void PressLater(Button *button)
{
    QTimer::singleShot(0, button, [button] { button->click(); });
}

} // namespace kestrova::test
