// The splash window's plug-in "plgSplash": a full-size picture and a line of progress text that
// the host sets between its start-up steps. The host's splash window starts invisible; about a
// second after it shows, the plug-in makes it opaque, so a quick start never flashes it.
#pragma once

#include "client/api/ModuleKit.h"

#include <QTimer>

class QLabel;

class TplgSplash : public THYVisualPlugin<Quorva::ISplashController>
{
public:
    static constexpr int FormWidth = 808;
    static constexpr int FormHeight = 604;

    TplgSplash();

    void ShowParented(QWidget *parent) override;

    // ISplashController
    void SetAnimate(bool) override { m_animate = false; } // the splash never animates
    void SetProgressText(const QString &text) override;
    void Reserved8() override {}

    bool Animate() const { return m_animate; }
    QLabel *ProgressLabel() const { return m_lblProgress; }
    QTimer &DelayTimer() { return m_tmrDelay; }

    // The picture the splash shows, 800 by 570.
    static QPixmap Picture();

protected:
    ~TplgSplash() override = default;

private:
    void tmrDelayTimer();
    void tmrStartTimer();

    QLabel *m_image;
    QLabel *m_lblProgress;
    QTimer m_tmrDelay;
    QTimer m_tmrStart;
    QTimer m_tmrEnd;
    bool m_animate = false;
    int m_alphaStep = 0;
};
