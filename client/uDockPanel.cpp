#include "client/uDockPanel.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

TDockPanel::TDockPanel(const QString &objectName, QWidget *parent)
    : QDockWidget(parent)
    , m_title(new QWidget(this))
    , m_caption(new QLabel(m_title))
    , m_btnPin(new QToolButton(m_title))
    , m_btnHide(new QToolButton(m_title))
    , m_foldTimer(new QTimer(this))
{
    setObjectName(objectName);
    setFeatures(QDockWidget::DockWidgetClosable);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_btnPin->setCheckable(true);
    m_btnPin->setAutoRaise(true);
    m_btnPin->setText(QStringLiteral("\u25C2"));
    m_btnHide->setAutoRaise(true);
    m_btnHide->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    auto *row = new QHBoxLayout(m_title);
    row->setContentsMargins(6, 2, 2, 2);
    row->addWidget(m_caption, 1);
    row->addWidget(m_btnPin);
    row->addWidget(m_btnHide);
    setTitleBarWidget(m_title);
    // Flat buttons draw no focus of their own: a frame shows where Tab left it.
    m_title->setStyleSheet(QStringLiteral("QToolButton:focus { border: 1px solid palette(highlight); border-radius: 2px; }"));

    m_foldTimer->setSingleShot(true);
    m_foldTimer->setInterval(FoldDelayMs);
    connect(m_foldTimer, &QTimer::timeout, this, [this] {
        if (m_autoHide && !underMouse())
            SetFolded(true);
    });
    connect(m_btnPin, &QToolButton::toggled, this, &TDockPanel::SetAutoHide);
    connect(m_btnHide, &QToolButton::clicked, this, &QDockWidget::hide);
}

void TDockPanel::SetContent(QWidget *content)
{
    m_content = content;
    setWidget(content);
}

void TDockPanel::SetCaption(const QString &caption, const QString &hint)
{
    setWindowTitle(caption);
    m_caption->setText(caption);
    m_caption->setToolTip(hint);
    toggleViewAction()->setToolTip(hint);
}

QString TDockPanel::Caption() const
{
    return m_caption->text();
}

void TDockPanel::SetAutoHide(bool on)
{
    if (on == m_autoHide)
        return;
    m_autoHide = on;
    {
        const QSignalBlocker blocker(m_btnPin);
        m_btnPin->setChecked(on);
    }
    if (on && !underMouse())
        SetFolded(true);
    if (!on)
        SetFolded(false);
    emit autoHideChanged(on);
}

void TDockPanel::SetFolded(bool folded)
{
    folded = folded && m_autoHide;
    if (folded == m_folded)
        return;
    if (folded)
        m_openWidth = width();
    m_folded = folded;
    if (m_content)
        m_content->setVisible(!folded);
    m_caption->setVisible(!folded);
    m_btnHide->setVisible(!folded);
    setMaximumWidth(folded ? StripWidth : QWIDGETSIZE_MAX);
    if (!folded && m_openWidth > 0)
        if (auto *window = qobject_cast<QMainWindow *>(parentWidget()))
            window->resizeDocks({this}, {m_openWidth}, Qt::Horizontal);
}

void TDockPanel::enterEvent(QEnterEvent *event)
{
    QDockWidget::enterEvent(event);
    m_foldTimer->stop();
    if (m_autoHide)
        SetFolded(false);
}

void TDockPanel::leaveEvent(QEvent *event)
{
    QDockWidget::leaveEvent(event);
    if (m_autoHide)
        m_foldTimer->start();
}
