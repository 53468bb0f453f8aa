#include "fMorvane.h"

#include "uQorSQLFunctions.h"

#include "foundation/FileResolver.h"
#include "foundation/uCommon.h"
#include "tools/common/ToolWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kResultShownMs = 5000;
const QString kConnecting = QStringLiteral("Connecting to server, please wait..");

// The server list is filled when it first drops down.
class ServerCombo : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> BeforePopup;
    void showPopup() override
    {
        if (BeforePopup)
            BeforePopup();
        QComboBox::showPopup();
    }
};

// A settings file to open (an existing one) or to save to; empty when the dialog is cancelled.
QString ChooseSettingsFile(QWidget *parent, const QString &folder, bool save)
{
    QFileDialog dialog(parent, QString(), folder, QStringLiteral("configuration file (*.ini)"));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("ini"));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.selectFile(QStringLiteral("settings.ini"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace

using ToolWindow::ScreenText;
using ToolWindow::WaitCursor;

QString TfMorvaneurator::HintText(int number)
{
    static const QStringList texts = {
        QStringLiteral("Please use the controls on your left to configure your server. When you are done, please click on Save & "
                       "Close to save the information and close this application."),
        QStringLiteral("Please click the link to locate the configuration file."),
        QStringLiteral("Please select the SQL server from the list. If your SQL server is located on a machine not listed here, "
                       "please type in the name of that server."),
        QStringLiteral("Please type in the server port here. The default port is 8099, but you might change this to any available "
                       "port.\r\rPlease note that if you're using a firewall, you'll need to enable that port for incoming requests"),
        QStringLiteral("Check this box to enable automatic discovery of this server."),
        QStringLiteral("Please type in the server port you want to use for discovery here. The default port is 8098, but you might "
                       "change this to any available port.\r\rPlease note that if you're using a firewall, you'll need to enable "
                       "that port for incoming requests"),
        QStringLiteral("Please click this button to test the connection to the SQL server."),
    };
    return texts.value(number);
}

TfMorvaneurator::TfMorvaneurator(QWidget *parent)
    : QDialog(parent)
    , SocketFolders(TQorSQLFunctions::DefaultSocketFolders())
    , m_programFolder(QApplication::applicationDirPath())
{
    setWindowTitle(QStringLiteral("Quorva Data Server Configuration Manager"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *layout = new QHBoxLayout(this);

    auto *imagePanel = new QVBoxLayout;
    m_image = new QLabel(this);
    m_image->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(64, 64));
    m_image->setAlignment(Qt::AlignCenter);
    m_version = new QLabel(this);
    imagePanel->addWidget(m_image);
    imagePanel->addStretch();
    imagePanel->addWidget(m_version);
    layout->addLayout(imagePanel);

    m_configurationPanel = new QWidget(this);
    m_configurationPanel->setObjectName(QStringLiteral("#Configuration"));
    auto *middle = new QVBoxLayout(m_configurationPanel);
    auto *fileRow = new QHBoxLayout;
    m_fileLabel = new QLabel(QStringLiteral("Configuration file: "), m_configurationPanel);
    m_link = new QLabel(m_configurationPanel);
    m_link->setCursor(Qt::PointingHandCursor);
    m_link->setStyleSheet(QStringLiteral("QLabel { color: palette(link); } QLabel:hover { text-decoration: underline; }"));
    m_link->setMinimumWidth(240);
    fileRow->addWidget(m_fileLabel);
    fileRow->addWidget(m_link, 1);
    middle->addLayout(fileRow);

    auto *sql = new QGroupBox(QStringLiteral(" SQL Server "), m_configurationPanel);
    auto *sqlLayout = new QVBoxLayout(sql);
    auto *serverRow = new QHBoxLayout;
    auto *servers = new ServerCombo(sql);
    servers->BeforePopup = [this] { PopulateServers(); };
    m_servers = servers;
    m_servers->setEditable(true);
    m_test = new QPushButton(QStringLiteral("&Test"), sql);
    serverRow->addWidget(m_servers, 1);
    serverRow->addWidget(m_test);
    sqlLayout->addLayout(serverRow);
    m_result = new QLabel(sql);
    m_result->setWordWrap(true);
    m_result->hide();
    sqlLayout->addWidget(m_result);
    m_integrated = new QCheckBox(QStringLiteral("Use Integrated logon credentials"), sql);
    sqlLayout->addWidget(m_integrated);
    auto *logon = new QFormLayout;
    m_userLabel = new QLabel(QStringLiteral("&User name:"), sql);
    m_user = new QLineEdit(sql);
    m_userLabel->setBuddy(m_user);
    m_passwordLabel = new QLabel(QStringLiteral("&Password:"), sql);
    m_password = new QLineEdit(sql);
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordLabel->setBuddy(m_password);
    logon->addRow(m_userLabel, m_user);
    logon->addRow(m_passwordLabel, m_password);
    sqlLayout->addLayout(logon);
    middle->addWidget(sql);

    auto *ports = new QGroupBox(QStringLiteral(" Server ports "), m_configurationPanel);
    auto *portsLayout = new QFormLayout(ports);
    // Whatever is typed stays to be seen: Save & Close refuses a port that is not one, with a
    // message, where a validator would drop the key unseen.
    m_serverPortLabel = new QLabel(QStringLiteral("&Server port:"), ports);
    m_serverPort = new QLineEdit(ports);
    m_serverPortLabel->setBuddy(m_serverPort);
    portsLayout->addRow(m_serverPortLabel, m_serverPort);
    m_useDiscovery = new QCheckBox(QStringLiteral("&Use Discovery"), ports);
    portsLayout->addRow(m_useDiscovery);
    m_discoveryPortLabel = new QLabel(QStringLiteral("&Discovery port:"), ports);
    m_discoveryPort = new QLineEdit(ports);
    m_discoveryPortLabel->setBuddy(m_discoveryPort);
    portsLayout->addRow(m_discoveryPortLabel, m_discoveryPort);
    middle->addWidget(ports);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_save = new QPushButton(QStringLiteral("Save && Close"), m_configurationPanel);
    m_save->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel && Close"), m_configurationPanel);
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);
    middle->addLayout(buttons);
    layout->addWidget(m_configurationPanel, 1);

    auto *information = new QGroupBox(QStringLiteral("Information"), this);
    auto *informationLayout = new QVBoxLayout(information);
    m_help = new QLabel(information);
    m_help->setWordWrap(true);
    m_help->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_help->setFixedWidth(180);
    informationLayout->addWidget(m_help, 1);
    informationLayout->addWidget(new QLabel(QStringLiteral("...powered by Quorva"), information));
    layout->addWidget(information);

    m_testTimer = new QTimer(this);
    m_testTimer->setInterval(kResultShownMs);
    connect(m_testTimer, &QTimer::timeout, this, &TfMorvaneurator::TestTimer);
    connect(m_test, &QPushButton::clicked, this, &TfMorvaneurator::TestClick);
    connect(m_save, &QPushButton::clicked, this, &TfMorvaneurator::SaveClick);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_useDiscovery, &QCheckBox::toggled, this, &TfMorvaneurator::UseDiscoveryUpdate);
    connect(m_integrated, &QCheckBox::toggled, this, &TfMorvaneurator::UseDiscoveryUpdate);

    for (QObject *watched : std::initializer_list<QObject *>{m_image, m_configurationPanel, m_fileLabel, m_link, m_servers,
                                                             m_serverPortLabel, m_serverPort, m_useDiscovery, m_integrated,
                                                             m_discoveryPortLabel, m_discoveryPort, m_test})
        watched->installEventFilter(this);

    ChooseFile = [this] { return ChooseSettingsFile(this, m_programFolder, false); };
    ChooseSaveFile = [this] { return ChooseSettingsFile(this, m_programFolder, true); };
    ShowError = [this](const QString &text) { QMessageBox::critical(this, windowTitle(), text); };
}

QString TfMorvaneurator::BadPortText(const QString &field)
{
    return QStringLiteral("The %1 must be a whole number from 1 to 65535. Nothing was saved.").arg(field);
}

TfMorvaneurator::~TfMorvaneurator() = default;

void TfMorvaneurator::InitForm()
{
    // The whole four-part version; a program built without its stamp shows the build's.
    QString version = TvoSysInfo::GetFileVersion(QApplication::applicationFilePath());
    if (version.isEmpty())
        version = TvoSysInfo::BuildVersion();
    m_version->setText(QStringLiteral("Fileversion : ") + version + QLatin1Char(' '));
    const QString path = FileResolver::resolve(m_programFolder, QStringLiteral("settings.ini"));
    try {
        m_settings = std::make_unique<TQorServerSettings>(path);
        ShowFile();
        CopyToControls();
    } catch (const std::exception &) {
        m_link->setText(ChooseFileText);
    }
    UseDiscoveryUpdate();
    ShowHint(0);
}

void TfMorvaneurator::ShowFile()
{
    m_link->setText(m_link->fontMetrics().elidedText(m_settings->FilePath(), Qt::ElideMiddle, m_link->minimumWidth()));
    m_link->setToolTip(m_settings->FilePath());
}

void TfMorvaneurator::CopyToControls()
{
    m_servers->setEditText(m_settings->ServerName());
    m_serverPort->setText(m_settings->ServerPort());
    m_discoveryPort->setText(m_settings->DiscoveryPort());
    m_useDiscovery->setChecked(m_settings->UseDiscovery());
    m_integrated->setChecked(m_settings->IntegratedSecurity);
    m_user->setText(m_settings->UserName());
    m_password->setText(m_settings->Password());
    UseDiscoveryUpdate();
}

void TfMorvaneurator::ShowHint(int number)
{
    m_help->setText(ScreenText(HintText(number)));
    m_help->repaint();
}

bool TfMorvaneurator::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
        if (watched == m_image || watched == m_configurationPanel)
            ShowHint(0);
        else if (watched == m_fileLabel || watched == m_link)
            ShowHint(1);
        else if (watched == m_servers)
            ShowHint(2);
        else if (watched == m_serverPortLabel || watched == m_serverPort)
            ShowHint(3);
        else if (watched == m_useDiscovery || watched == m_integrated)
            ShowHint(4);
        else if (watched == m_discoveryPortLabel || watched == m_discoveryPort)
            ShowHint(5);
        else if (watched == m_test)
            ShowHint(6);
    }
    if (watched == m_link && event->type() == QEvent::MouseButtonRelease)
        LinkClick();
    return QDialog::eventFilter(watched, event);
}

void TfMorvaneurator::LinkClick()
{
    const QString chosen = ChooseFile ? ChooseFile() : QString();
    if (chosen.isEmpty())
        return;
    try {
        if (m_settings)
            m_settings->SetFilePath(chosen);
        else
            m_settings = std::make_unique<TQorServerSettings>(chosen);
        ShowFile();
        CopyToControls();
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
    }
}

void TfMorvaneurator::PopulateServers()
{
    if (m_servers->count() > 0)
        return;
    const QString typed = m_servers->currentText();
    m_servers->setEditText(QStringLiteral("Populating list, please wait..."));
    m_servers->repaint();
    WaitCursor wait;
    QApplication::processEvents();
    m_servers->addItems(TQorSQLFunctions::ListSQLServers(SocketFolders));
    m_servers->setEditText(typed);
}

void TfMorvaneurator::UseDiscoveryUpdate()
{
    m_discoveryPort->setEnabled(m_useDiscovery->isChecked());
    const bool logOn = !m_integrated->isChecked();
    m_user->setEnabled(logOn);
    m_password->setEnabled(logOn);
}

QString TfMorvaneurator::ControlsDataSource(const QString &database) const
{
    return TQorServerSettings::DataSourceText(m_integrated->isChecked(), m_servers->currentText(), database, m_user->text(),
                                              m_password->text());
}

void TfMorvaneurator::TestClick()
{
    WaitCursor wait;
    const QString server = m_servers->currentText();
    m_result->setText(kConnecting);
    m_result->show();
    m_result->repaint();
    QString text;
    try {
        text = kConnecting + QLatin1Char('\r')
               + QStringLiteral("SQL Server : %1 (version %2)")
                     .arg(server, TQorSQLFunctions::GetServerVersion(ControlsDataSource(QStringLiteral("postgres"))));
    } catch (const std::exception &) {
        text = QStringLiteral("Unable to retieve information about the SQL server");
    }
    m_result->setText(ScreenText(text));
    m_result->repaint();

    const QString database = m_settings ? m_settings->DatabaseName() : TQorServerSettings::DefaultDatabase;
    QString error;
    bool connected = false;
    try {
        connected = TQorSQLFunctions::TestConnection(ControlsDataSource(database), &error);
        if (!connected)
            ShowError(error);
        text = connected ? QStringLiteral("Connection success") : QStringLiteral("Connection failed");
    } catch (const std::exception &) {
        text = QStringLiteral("Exception raised");
    }
    // A server that answered the test is asked for its version once more.
    if (connected) {
        try {
            text += QLatin1Char(' ') + TQorSQLFunctions::GetServerVersion(ControlsDataSource(QStringLiteral("postgres")));
        } catch (const std::exception &e) {
            ShowError(QString::fromUtf8(e.what()));
        }
    }
    m_result->setText(text);
    m_result->show();
    m_testTimer->start();
    m_result->repaint();
}

void TfMorvaneurator::TestTimer()
{
    m_testTimer->stop();
    m_result->clear();
    m_result->hide();
}

bool TfMorvaneurator::PortsValid()
{
    if (!TQorServerSettings::IsValidPort(m_serverPort->text())) {
        ShowError(BadPortText(QStringLiteral("server port")));
        m_serverPort->setFocus();
        return false;
    }
    // A disabled discovery port cannot be mended here; it is then not written at all.
    if (m_useDiscovery->isChecked() && !TQorServerSettings::IsValidPort(m_discoveryPort->text())) {
        ShowError(BadPortText(QStringLiteral("discovery port")));
        m_discoveryPort->setFocus();
        return false;
    }
    return true;
}

void TfMorvaneurator::SaveClick()
{
    if (!PortsValid())
        return;
    // Without a file the edits would be lost: ask where to save them, or stay open.
    if (!m_settings) {
        const QString chosen = ChooseSaveFile ? ChooseSaveFile() : QString();
        if (chosen.isEmpty()) {
            ShowError(NothingSavedText);
            return;
        }
        try {
            TQorServerSettings::CreateFile(chosen);
            m_settings = std::make_unique<TQorServerSettings>(chosen);
        } catch (const std::exception &e) {
            ShowError(QString::fromUtf8(e.what()));
            return;
        }
        ShowFile();
    }
    m_settings->SetServerName(m_servers->currentText());
    m_settings->SetServerPort(m_serverPort->text());
    m_settings->SetUseDiscovery(m_useDiscovery->isChecked());
    if (TQorServerSettings::IsValidPort(m_discoveryPort->text()))
        m_settings->SetDiscoveryPort(m_discoveryPort->text());
    m_settings->IntegratedSecurity = m_integrated->isChecked();
    m_settings->SetUserName(m_user->text());
    m_settings->SetPassword(m_password->text());
    try {
        m_settings->Save();
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
        return;
    }
    accept();
}
