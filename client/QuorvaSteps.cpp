#include "client/QuorvaSteps.h"

#include "client/HostComponentFactory.h"
#include "client/uDMClient.h"
#include "client/ufProgress.h"

#include "ui/PromptService.h"

#include <QApplication>
#include <QStyleFactory>

#include <stdexcept>

using namespace Quorva;

namespace {

void restoreCursor()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace

TQuorvaSteps::TQuorvaSteps(const QString &programPath, THostComponentFactory &factory)
    : m_programPath(programPath), m_factory(factory)
{
}

TQuorvaSteps::~TQuorvaSteps()
{
    // After a refused start of steps 2 to 5 nothing was torn down: the order still holds here.
    m_progress.reset();
    if (m_client)
        m_client->SetMainWindow(nullptr);
    m_mainWindow.reset();
    m_client.reset();
    restoreCursor();
}

TDMClient &TQuorvaSteps::Client()
{
    if (!m_client)
        throw std::logic_error("the client data module does not exist yet");
    return *m_client;
}

void TQuorvaSteps::InitializeApplication()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationDisplayName(QStringLiteral("Loading.."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TQuorvaSteps::CreateMainWindow()
{
    m_mainWindow = m_factory.CreateMainWindow();
}

void TQuorvaSteps::CreateProgressWindow()
{
    m_progress = std::make_unique<TfProgress>();
    m_progress->SetProgressLayout(0);
    if (auto style = host_cast<IStyleForm>(m_progress.get()))
        style->SetLookAndFeel(0);
    m_progress->show();
}

void TQuorvaSteps::SetProgress(int position)
{
    if (m_progress)
        m_progress->Progress(position, m_caption);
}

void TQuorvaSteps::SetTitle(const QString &title)
{
    QApplication::setApplicationDisplayName(title);
    m_caption = title;
}

void TQuorvaSteps::CreateDataModule()
{
    m_client = std::make_unique<TDMClient>(m_programPath);
    m_client->SetMainWindow(m_mainWindow.get());
    if (m_mainWindow)
        m_mainWindow->SetDataModule(m_client.get());
    m_factory.InstallComponents(*m_client);
}

void TQuorvaSteps::ReadConfiguration()
{
    Client().ReadConfiguration();
}

int TQuorvaSteps::LoadHydraModules()
{
    return Client().LoadHydraModules();
}

void TQuorvaSteps::ShowError(int textNo, int captionNo)
{
    ShowMessage(m_mainWindow ? m_mainWindow->Widget() : nullptr, QMessageBox::Critical, Client().GetText(captionNo),
                Client().GetText(textNo));
}

void TQuorvaSteps::LoadSplash()
{
    Client().LoadSplash();
}

void TQuorvaSteps::ProcessMessages()
{
    QCoreApplication::processEvents();
}

void TQuorvaSteps::ShowSplash()
{
    Client().ShowSplash();
}

void TQuorvaSteps::HideProgressWindow()
{
    if (m_progress)
        m_progress->hide();
}

void TQuorvaSteps::UpdateSplash(int textNo)
{
    Client().UpdateSplash(Client().GetText(textNo));
}

void TQuorvaSteps::CreateDataAccessModule()
{
    Client().CreateDataAccessModule();
}

int TQuorvaSteps::ConnectToServer()
{
    return Client().ConnectToServer();
}

void TQuorvaSteps::UnloadSplash()
{
    Client().UnloadSplash();
}

int TQuorvaSteps::CheckForUpdate()
{
    return Client().CheckForUpdate();
}

void TQuorvaSteps::StartUpdater()
{
    Client().StartUpdater();
}

int TQuorvaSteps::CheckInitialSetup()
{
    return Client().CheckInitialSetup();
}

bool TQuorvaSteps::RunInitialSetup()
{
    return Client().RunInitialSetup();
}

int TQuorvaSteps::ProcessLogon()
{
    return Client().ProcessLogon();
}

void TQuorvaSteps::ConnectEventHandler()
{
    Client().ConnectEventHandler();
}

void TQuorvaSteps::InitializeForm()
{
    if (m_mainWindow)
        m_mainWindow->InitializeForm();
}

void TQuorvaSteps::RunMessageLoop()
{
    restoreCursor();
    if (m_mainWindow)
        m_factory.RunMessageLoop(*m_mainWindow);
}

void TQuorvaSteps::DisConnectEventHandler()
{
    Client().DisConnectEventHandler();
}

void TQuorvaSteps::CloseProgressWindow()
{
    if (m_progress)
        m_progress->close();
    m_progress.reset();
}

void TQuorvaSteps::ReleaseMainWindow()
{
    if (m_client)
        m_client->SetMainWindow(nullptr);
    m_mainWindow.reset();
}

void TQuorvaSteps::CloseDatamodule()
{
    Client().CloseDatamodule();
}

void TQuorvaSteps::FreeDataModule()
{
    m_client.reset();
    restoreCursor();
}
