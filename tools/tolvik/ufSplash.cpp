#include "tools/tolvik/ufSplash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

TfSplash::TfSplash(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool)
{
    setWindowOpacity(210.0 / 255.0);
    setFixedSize(380, 200);
    auto *layout = new QVBoxLayout(this);
    auto *image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    m_name = new QLabel(QGuiApplication::applicationDisplayName(), this);
    QFont large = m_name->font();
    large.setPointSize(large.pointSize() + 4);
    large.setBold(true);
    m_name->setFont(large);
    m_version = new QLabel(this);
    m_productInfo = new QLabel(this);
    m_productInfo->setWordWrap(true);
    m_progressLabel = new QLabel(this);
    m_progressLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(image);
    layout->addWidget(m_name);
    layout->addWidget(m_version);
    layout->addWidget(m_productInfo, 1);
    layout->addWidget(m_progressLabel);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
