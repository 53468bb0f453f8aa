#include "updating/ufUpdater.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

TfUpdater::TfUpdater(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Dialog)
{
    setFixedSize(306, 58);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *box = new QGroupBox(QStringLiteral("Updating Kestrova"), this);
    outer->addWidget(box);
    auto *inner = new QVBoxLayout(box);
    inner->setContentsMargins(4, 2, 4, 4);
    m_label = new QLabel(box);
    m_label->setAlignment(Qt::AlignCenter);
    m_bar = new QProgressBar(box);
    m_bar->setTextVisible(false);
    m_bar->setMaximumHeight(14);
    inner->addWidget(m_label, 1);
    inner->addWidget(m_bar);
}

void TfUpdater::Show()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfUpdater::Hide()
{
    hide();
}

void TfUpdater::SetProgress(int position, const QString &text)
{
    m_bar->setValue(std::min(position, m_bar->maximum()));
    if (m_label->text() != text)
        m_label->setText(text);
    m_label->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfUpdater::SetMax(int maximum)
{
    m_bar->setMaximum(std::max(maximum, 0));
}

QString TfUpdater::LabelText() const
{
    return m_label->text();
}

int TfUpdater::Position() const
{
    return m_bar->value();
}

int TfUpdater::Maximum() const
{
    return m_bar->maximum();
}
