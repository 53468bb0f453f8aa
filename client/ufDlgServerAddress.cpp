#include "client/ufDlgServerAddress.h"

#include "client/uDMClient.h"

#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/uHTMLHelp.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kTextOK = 200;
constexpr int kTextCancel = 201;
constexpr int kTextHelp = 202;
constexpr int kTextCaption = 2051;
constexpr int kTextGroup = 2052;
constexpr int kTextDescription = 2053;
constexpr int kTextAddress = 2054;
constexpr int kTextPort = 2055;
constexpr int kTextAlways = 2026;
constexpr int kTextExpectedForm = 2056;

} // namespace

TfDlgServerAddress::TfDlgServerAddress(QWidget *parent)
    : TfDlgPopUp(parent)
    , m_lblDescription(new QLabel(grpBox()))
    , m_lblServer(new QLabel(QStringLiteral("#"), grpBox()))
    , m_lblPort(new QLabel(QStringLiteral("#"), grpBox()))
    , m_edServer(new QLineEdit(QStringLiteral("http://"), grpBox()))
    , m_edPort(new QLineEdit(QStringLiteral("8099"), grpBox()))
    , m_btnProbe(new QPushButton(QStringLiteral("&Probe"), this))
{
    FormCreate();
    m_lblDescription->setWordWrap(true);
    m_edPort->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), m_edPort));
    m_edPort->setMaximumWidth(80);
    auto *fields = new QFormLayout;
    fields->addRow(m_lblServer, m_edServer);
    fields->addRow(m_lblPort, m_edPort);
    auto *layout = new QVBoxLayout(grpBox());
    layout->addWidget(m_lblDescription);
    layout->addLayout(fields);
    layout->addStretch(1);
    buttonColumn()->insertWidget(3, m_btnProbe);
    chkShow()->show();
    connect(m_btnProbe, &QPushButton::clicked, this, &TfDlgServerAddress::btnProbeClick);
    connect(this, &TfDlgPopUp::helpRequested, this, [] { TconHTMLHelp::ShowTopic(QStringLiteral("Login_Dialog")); });
    resize(440, 220);
}

void TfDlgServerAddress::InitForm(const TDMClient &client)
{
    btnOK()->setText(client.GetText(kTextOK));
    btnCancel()->setText(client.GetText(kTextCancel));
    btnHelp()->setText(client.GetText(kTextHelp));
    setWindowTitle(client.GetText(kTextCaption));
    grpBox()->setTitle(client.GetText(kTextGroup));
    m_lblDescription->setText(client.GetText(kTextDescription));
    m_lblServer->setText(client.GetText(kTextAddress));
    m_lblPort->setText(client.GetText(kTextPort));
    chkShow()->setText(client.GetText(kTextAlways));
    m_expectedForm = client.GetText(kTextExpectedForm);
}

bool TfDlgServerAddress::ReadAddress(const QString &typedServer, const QString &typedPort, QString &server, QString &port)
{
    server.clear();
    port.clear();
    QString text = typedServer.trimmed();
    // People type a host or an address alone, often with its port.
    if (!text.contains(QStringLiteral("://")))
        text.prepend(QStringLiteral("http://"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return false;
    const QString path = url.path();
    if (!path.isEmpty() && path != QLatin1String("/") && path.compare(QLatin1String("/BIN"), Qt::CaseInsensitive) != 0)
        return false;
    const std::optional<quint16> typed = ParsePort(typedPort.trimmed());
    if (url.port() <= 0 && !typed)
        return false;
    const QString host = url.host(QUrl::FullyEncoded);
    server = url.scheme() + QStringLiteral("://") + (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host);
    port = QString::number(url.port() > 0 ? url.port() : *typed);
    return true;
}

bool TfDlgServerAddress::Read(QString &server, QString &port)
{
    if (ReadAddress(m_edServer->text(), m_edPort->text(), server, port))
        return true;
    ShowMessage(this, QMessageBox::Warning, windowTitle(), m_expectedForm);
    return false;
}

void TfDlgServerAddress::accept()
{
    QString server;
    QString port;
    if (Read(server, port))
        TfDlgPopUp::accept();
}

void TfDlgServerAddress::SetAddress(const QString &server, const QString &port)
{
    m_edServer->setText(server);
    if (!port.isEmpty())
        m_edPort->setText(port);
}

QString TfDlgServerAddress::Server() const
{
    QString server;
    QString port;
    return ReadAddress(m_edServer->text(), m_edPort->text(), server, port) ? server : m_edServer->text().trimmed();
}

QString TfDlgServerAddress::Port() const
{
    QString server;
    QString port;
    return ReadAddress(m_edServer->text(), m_edPort->text(), server, port) ? port : m_edPort->text().trimmed();
}

bool TfDlgServerAddress::AlwaysUse() const
{
    return chkShow()->isChecked();
}

void TfDlgServerAddress::btnProbeClick()
{
    QString server;
    QString port;
    if (!Read(server, port))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool answered = m_probe && m_probe(server + QLatin1Char(':') + port + QStringLiteral("/bin"));
    QApplication::restoreOverrideCursor();
    if (answered)
        ShowMessage(this, QMessageBox::Information, QStringLiteral("Probe server"), QStringLiteral("Server responded OK"));
    else
        ShowMessage(this, QMessageBox::Warning, QStringLiteral("Probe server"), QStringLiteral("Server did NOT respond"));
}
