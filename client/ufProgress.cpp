#include "client/ufProgress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QColor kSkyBlue(0xA6, 0xCA, 0xF0);

} // namespace

TfProgress::TfProgress(QWidget *parent)
    : TxBaseForm(nullptr, parent), m_bar(new QProgressBar(PluginArea())), m_label(new QLabel(PluginArea()))
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kSkyBlue);
    setPalette(palette);
    setAutoFillBackground(true);
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(false);
    m_label->setAlignment(Qt::AlignCenter);
    PluginArea()->layout()->addWidget(m_bar);
    PluginArea()->layout()->addWidget(m_label);
    SetProgressLayout(0);
}

void TfProgress::SetProgressLayout(quint8 style)
{
    const bool caption = style == 1;
    m_label->setVisible(caption);
    setFixedSize(Width, caption ? HeightWithCaption : HeightBarOnly);
    SetAlphaBlend(false);
}

void TfProgress::Progress(int position, const QString &text)
{
    m_label->setText(text);
    m_bar->setValue(qBound(0, position, 100));
    m_label->repaint();
    m_bar->repaint();
    QCoreApplication::processEvents();
}

int TfProgress::Position() const
{
    return m_bar->value();
}

QString TfProgress::Caption() const
{
    return m_label->text();
}

bool TfProgress::CaptionShown() const
{
    return !m_label->isHidden();
}

void TfProgress::showEvent(QShowEvent *event)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    TxBaseForm::showEvent(event);
}
