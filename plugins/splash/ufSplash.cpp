#include "plugins/splash/ufSplash.h"

#include "ui/uStyleForm.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

TplgSplash::TplgSplash() : THYVisualPlugin(QStringLiteral("plgSplash")), m_image(new QLabel(this)), m_lblProgress(new QLabel(this))
{
    setObjectName(QStringLiteral("plgSplash"));
    setFixedSize(FormWidth, FormHeight);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setGeometry(0, 0, FormWidth, FormHeight);
    m_image->setScaledContents(true);
    m_image->setPixmap(Picture());
    m_lblProgress->setObjectName(QStringLiteral("lblProgress"));
    m_lblProgress->setGeometry(96, 515, 657, 38);
    m_lblProgress->setAttribute(Qt::WA_TranslucentBackground);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(10);
    m_lblProgress->setFont(font);
    m_lblProgress->setStyleSheet(QStringLiteral("color: #f4f1ea; background: transparent;"));
    m_tmrDelay.setSingleShot(false);
    m_tmrDelay.setInterval(1000);
    m_tmrStart.setInterval(10);
    m_tmrEnd.setInterval(10);
    QObject::connect(&m_tmrDelay, &QTimer::timeout, this, [this] { tmrDelayTimer(); });
    QObject::connect(&m_tmrStart, &QTimer::timeout, this, [this] { tmrStartTimer(); });
}

void TplgSplash::ShowParented(QWidget *parent)
{
    THYVisualPlugin::ShowParented(parent);
    m_alphaStep = 0;
    QWidget *host = window();
    if (host != this) {
        host->resize(host->size().expandedTo(QSize(FormWidth, FormHeight)));
        if (QScreen *screen = host->screen())
            host->move(screen->availableGeometry().center() - host->rect().center());
    }
    m_tmrDelay.start();
}

void TplgSplash::SetProgressText(const QString &text)
{
    m_lblProgress->setText(text);
    m_lblProgress->repaint();
    QApplication::processEvents();
}

void TplgSplash::tmrDelayTimer()
{
    if (auto *form = qobject_cast<TfStyleForm *>(window()))
        form->SetAlphaBlend(false);
    m_tmrDelay.stop();
    m_tmrStart.start();
}

void TplgSplash::tmrStartTimer()
{
    m_tmrStart.stop();
    m_lblProgress->setVisible(true);
    if (auto *form = qobject_cast<TfStyleForm *>(window()))
        form->SetAlphaBlendValue(255);
}

QPixmap TplgSplash::Picture()
{
    QPixmap picture(800, 570);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 570);
    sky.setColorAt(0, QColor(0x1d, 0x2f, 0x52));
    sky.setColorAt(0.7, QColor(0x3b, 0x5f, 0x94));
    sky.setColorAt(1, QColor(0x22, 0x36, 0x5c));
    p.fillRect(picture.rect(), sky);
    // A church front: nave, tower and a cross, in a light stone colour.
    const QColor stone(0xf4, 0xf1, 0xea, 230);
    p.setPen(Qt::NoPen);
    p.setBrush(stone);
    p.drawRect(QRectF(520, 300, 180, 170));
    QPainterPath roof;
    roof.moveTo(505, 305);
    roof.lineTo(610, 230);
    roof.lineTo(715, 305);
    roof.closeSubpath();
    p.drawPath(roof);
    p.drawRect(QRectF(585, 150, 50, 100));
    p.drawRect(QRectF(606, 100, 8, 50));
    p.drawRect(QRectF(594, 112, 32, 8));
    p.setBrush(QColor(0x3b, 0x5f, 0x94));
    p.drawRoundedRect(QRectF(593, 400, 34, 70), 17, 17);
    p.drawRoundedRect(QRectF(545, 340, 22, 40), 11, 11);
    p.drawRoundedRect(QRectF(653, 340, 22, 40), 11, 11);
    p.setPen(stone);
    QFont title(QStringLiteral("DejaVu Sans"), 44, QFont::Bold);
    p.setFont(title);
    p.drawText(QRect(96, 170, 420, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestrova"));
    QFont subtitle(QStringLiteral("DejaVu Sans"), 15);
    p.setFont(subtitle);
    p.drawText(QRect(96, 250, 420, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("Services and the volunteers who serve in them"));
    p.setPen(QPen(QColor(0xf4, 0xf1, 0xea, 120), 1));
    p.drawLine(96, 505, 753, 505);
    return picture;
}
