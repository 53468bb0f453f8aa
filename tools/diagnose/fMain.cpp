#include "fMain.h"

#include "foundation/uCommon.h"
#include "tools/common/ToolWindow.h"
#include "ui/PromptService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

using ToolWindow::ScreenText;

TfMain::TfMain(QWidget *parent)
    : QDialog(parent)
    , OpenLink(&OpenURL)
{
    setWindowTitle(TDiagnoseInfo::Caption);
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto *layout = new QHBoxLayout(this);
    auto *image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    layout->addWidget(image);

    auto *right = new QVBoxLayout;
    m_address = new QLabel(TDiagnoseInfo::DesignAddress, this);
    m_address->setAlignment(Qt::AlignCenter);
    m_advice = new QLabel(TDiagnoseInfo::DesignAdvice, this);
    m_advice->setAlignment(Qt::AlignCenter);
    m_advice->setWordWrap(true);
    m_link = new QLabel(this);
    m_link->setAlignment(Qt::AlignCenter);
    m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    auto *second = new QLabel(TDiagnoseInfo::DesignAddress, this);
    second->setAlignment(Qt::AlignCenter);
    m_exit = new QPushButton(QStringLiteral("Exit"), this);
    m_exit->setDefault(true);
    right->addWidget(m_address);
    right->addWidget(m_advice);
    right->addWidget(m_link);
    right->addWidget(second);
    right->addWidget(m_exit, 0, Qt::AlignRight);
    layout->addLayout(right, 1);
    setMinimumWidth(420);

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TfMain::CloseTimer);
    connect(m_link, &QLabel::linkActivated, this, &TfMain::LinkClick);
    connect(m_exit, &QPushButton::clicked, this, &QDialog::reject);
}

void TfMain::ShowConnectInfo(const TDiagnoseInfo &info)
{
    m_address->setText(info.Address);
    m_advice->setText(ScreenText(info.Advice));
    m_linkAddress = info.Link;
    if (info.Link.isEmpty())
        m_link->clear();
    else
        m_link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                            .arg(info.Link.toHtmlEscaped(), QUrl(info.Link).toDisplayString(QUrl::PreferLocalFile).toHtmlEscaped()));
}

void TfMain::LinkClick()
{
    if (m_linkAddress.isEmpty())
        return;
    const QUrl page(m_linkAddress);
    const bool opened = page.isLocalFile()
                          ? OpenFileOrTellPath(this, page.toLocalFile(), TDiagnoseInfo::Caption, TDiagnoseInfo::NotOpenedText, OpenLink)
                          : OpenLink && OpenLink(m_linkAddress);
    // Told where the page is instead, the user closes the window when done with it.
    if (opened)
        m_timer->start();
}

void TfMain::CloseTimer()
{
    setEnabled(false);
    reject();
}
