#include "client/ufAbout.h"

#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace {

constexpr int kTop = 255;

} // namespace

TfAbout::TfAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_lblPicture(new QLabel(this))
    , m_lblAbout(new QLabel(this))
    , m_lblVersion(new QLabel(this))
    , m_tmrShow(new QTimer(this))
    , m_tmrHide(new QTimer(this))
{
    setObjectName(QStringLiteral("fAbout"));
    setFixedSize(PictureWidth, PictureHeight + 1);
    m_lblPicture->setGeometry(0, 0, PictureWidth, PictureHeight);
    m_lblPicture->setPixmap(Picture());
    m_lblPicture->setCursor(Qt::PointingHandCursor);
    m_lblPicture->installEventFilter(this);
    QPalette light = m_lblVersion->palette();
    light.setColor(QPalette::WindowText, Qt::white);
    for (QLabel *label : {m_lblAbout, m_lblVersion}) {
        label->setPalette(light);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->hide();
    }
    QFont versionFont = m_lblVersion->font();
    versionFont.setPointSizeF(versionFont.pointSizeF() * 1.3);
    m_lblVersion->setFont(versionFont);
    m_lblAbout->setGeometry(60, 470, 680, 40);
    m_lblVersion->setGeometry(60, 520, 680, 40);
    m_tmrShow->setInterval(TickMs);
    m_tmrHide->setInterval(TickMs);
    connect(m_tmrShow, &QTimer::timeout, this, &TfAbout::ShowTick);
    connect(m_tmrHide, &QTimer::timeout, this, &TfAbout::HideTick);
    m_tmrShow->start();
}

void TfAbout::ShowTick()
{
    if (!m_shown) {
        m_lblAbout->show();
        m_lblVersion->show();
        m_shown = true;
    }
    m_value += Step;
    if (m_value >= kTop)
        m_tmrShow->stop();
}

void TfAbout::PictureClick()
{
    m_tmrShow->stop();
    m_tmrHide->start();
}

void TfAbout::HideTick()
{
    m_value -= Step;
    if (m_value > Step)
        return;
    m_value = 0;
    m_tmrHide->stop();
    m_lblAbout->hide();
    m_lblVersion->hide();
    accept();
}

bool TfAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lblPicture && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        PictureClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QPixmap TfAbout::Picture()
{
    QPixmap picture(PictureWidth, PictureHeight);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, PictureHeight);
    sky.setColorAt(0, QColor(0x1B, 0x3A, 0x5C));
    sky.setColorAt(0.65, QColor(0x3D, 0x6E, 0x9E));
    sky.setColorAt(1, QColor(0xC9, 0x8B, 0x4B));
    painter.fillRect(picture.rect(), sky);

    // A church on a hill at evening.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x23, 0x2B, 0x33));
    QPainterPath hill;
    hill.moveTo(0, 430);
    hill.cubicTo(220, 360, 520, 350, PictureWidth, 420);
    hill.lineTo(PictureWidth, PictureHeight);
    hill.lineTo(0, PictureHeight);
    hill.closeSubpath();
    painter.drawPath(hill);
    painter.drawRect(520, 290, 130, 90);
    QPolygon roof;
    roof << QPoint(505, 292) << QPoint(585, 235) << QPoint(665, 292);
    painter.drawPolygon(roof);
    painter.drawRect(560, 180, 50, 115);
    QPolygon spire;
    spire << QPoint(552, 182) << QPoint(585, 95) << QPoint(618, 182);
    painter.drawPolygon(spire);
    painter.fillRect(582, 70, 6, 30, QColor(0x23, 0x2B, 0x33));
    painter.fillRect(573, 78, 24, 6, QColor(0x23, 0x2B, 0x33));
    painter.setBrush(QColor(0xF2, 0xC9, 0x6B));
    painter.drawRect(540, 315, 18, 30);
    painter.drawRect(612, 315, 18, 30);
    painter.drawEllipse(QPoint(585, 215), 10, 10);

    painter.setPen(Qt::white);
    QFont title(QStringLiteral("DejaVu Sans"), 54, QFont::Bold);
    painter.setFont(title);
    painter.drawText(QRect(60, 90, 460, 90), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestrova"));
    QFont line(QStringLiteral("DejaVu Sans"), 15);
    painter.setFont(line);
    painter.drawText(QRect(62, 180, 440, 80), Qt::AlignLeft | Qt::TextWordWrap,
                     QStringLiteral("Plans the services of a church and the volunteers who serve in them."));
    return picture;
}
