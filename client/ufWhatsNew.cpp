#include "client/ufWhatsNew.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kStripWidth = 96;

QPixmap Strip(int height)
{
    QPixmap strip(kStripWidth, height);
    QPainter painter(&strip);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, QColor(0x1B, 0x3A, 0x5C));
    gradient.setColorAt(1, QColor(0x3D, 0x6E, 0x9E));
    painter.fillRect(strip.rect(), gradient);
    painter.translate(kStripWidth / 2 + 12, height - 24);
    painter.rotate(-90);
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 22, QFont::Bold));
    painter.drawText(0, 0, QStringLiteral("Kestrova"));
    return strip;
}

} // namespace

TfWhatsNew::TfWhatsNew(QWidget *parent)
    : QDialog(parent, Qt::Tool)
    , m_reWhatsNew(new QTextBrowser(this))
    , m_chkDontShow(new QCheckBox(QStringLiteral("Don't show this again"), this))
    , m_btnClose(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("fWhatsNew"));
    setWindowTitle(QStringLiteral("What is new."));
    setModal(true);
    m_reWhatsNew->setReadOnly(true);
    m_reWhatsNew->setOpenExternalLinks(true);
    m_reWhatsNew->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_btnClose->setDefault(true);
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto *image = new QLabel(this);
    image->setPixmap(Strip(ClientHeight));
    image->setFixedWidth(kStripWidth);
    image->setAlignment(Qt::AlignTop);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_chkDontShow);
    buttons->addStretch(1);
    buttons->addWidget(m_btnClose);
    auto *right = new QVBoxLayout;
    right->setContentsMargins(8, 8, 8, 8);
    right->addWidget(m_reWhatsNew, 1);
    right->addLayout(buttons);
    auto *all = new QHBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(0);
    all->addWidget(image);
    all->addLayout(right, 1);
    resize(ClientWidth, ClientHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TfWhatsNew::LoadFromFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_reWhatsNew->setSearchPaths({QFileInfo(fileName).absolutePath()});
    m_reWhatsNew->setHtml(QString::fromUtf8(file.readAll()));
    return true;
}

bool TfWhatsNew::DontShowAgain() const
{
    return m_chkDontShow->isChecked();
}
