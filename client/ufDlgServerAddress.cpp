#include "client/ufDlgServerAddress.h"

#include "client/uDMClient.h"

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
}

void TfDlgServerAddress::SetAddress(const QString &server, const QString &port)
{
    m_edServer->setText(server);
    if (!port.isEmpty())
        m_edPort->setText(port);
}

QString TfDlgServerAddress::Server() const
{
    return m_edServer->text().trimmed();
}

QString TfDlgServerAddress::Port() const
{
    return m_edPort->text().trimmed();
}

bool TfDlgServerAddress::AlwaysUse() const
{
    return chkShow()->isChecked();
}

void TfDlgServerAddress::btnProbeClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool answered = m_probe && m_probe(Server() + QLatin1Char(':') + Port() + QStringLiteral("/bin"));
    QApplication::restoreOverrideCursor();
    if (answered)
        ShowMessage(this, QMessageBox::Information, QStringLiteral("Probe server"), QStringLiteral("Server responded OK"));
    else
        ShowMessage(this, QMessageBox::Warning, QStringLiteral("Probe server"), QStringLiteral("Server did NOT respond"));
}
