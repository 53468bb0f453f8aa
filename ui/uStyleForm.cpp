#include "ui/uStyleForm.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QPointer>

TfStyleForm::TfStyleForm(QWidget *parent) : QMainWindow(parent) {}

TfStyleForm::~TfStyleForm()
{
    if (m_modalLoop)
        m_modalLoop->quit();
}

TModalResult TfStyleForm::ShowModal()
{
    m_modalResult = TModalResult::None;
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_modalLoop = &loop;
    QPointer<TfStyleForm> self(this);
    show();
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (!self)
        return TModalResult::Cancel;
    m_modalLoop = nullptr;
    setWindowModality(Qt::NonModal);
    if (m_modalResult == TModalResult::None)
        m_modalResult = TModalResult::Cancel;
    return m_modalResult;
}

void TfStyleForm::SetModalResult(TModalResult result)
{
    m_modalResult = result;
    close();
}

void TfStyleForm::SetAlphaBlend(bool on)
{
    m_alphaBlend = on;
    ApplyOpacity();
}

void TfStyleForm::SetAlphaBlendValue(int value)
{
    m_alphaValue = qBound(0, value, 255);
    ApplyOpacity();
}

void TfStyleForm::ApplyOpacity()
{
    setWindowOpacity(m_alphaBlend ? m_alphaValue / 255.0 : 1.0);
}

void TfStyleForm::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && m_modalLoop)
        m_modalLoop->quit();
}

void TfStyleForm::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    if (m_modalLoop)
        m_modalLoop->quit();
}
