// The window every client window is built on: one look for all of them (the application's
// Fusion style), a modal run that answers how the window was closed, and see-through levels for
// windows that fade in and out.
#pragma once

#include "ui/UiExport.h"

#include <QMainWindow>

class QEventLoop;

// How a window shown modally was closed.
enum class TModalResult { None = 0, Ok = 1, Cancel = 2 };

class UI_EXPORT TfStyleForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfStyleForm(QWidget *parent = nullptr);
    ~TfStyleForm() override;

    // Shows the window over the whole application and returns once it is closed or hidden.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return m_modalResult; }
    // Ends a modal run with the result; closes the window.
    void SetModalResult(TModalResult result);

    // 0 is invisible, 255 opaque; applies only while alpha blending is on.
    bool AlphaBlend() const { return m_alphaBlend; }
    void SetAlphaBlend(bool on);
    int AlphaBlendValue() const { return m_alphaValue; }
    void SetAlphaBlendValue(int value);

protected:
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void ApplyOpacity();

    TModalResult m_modalResult = TModalResult::None;
    QEventLoop *m_modalLoop = nullptr;
    bool m_alphaBlend = false;
    int m_alphaValue = 255;
};
