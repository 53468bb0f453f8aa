// The start-up steps of the real program: the application, the main window and progress
// window, and the client data module with the components the factory gives it.
#pragma once

#include "client/QuorvaStartup.h"

#include <memory>

class IQuorvaMainWindow;
class TDMClient;
class TfProgress;
class THostComponentFactory;

class TQuorvaSteps : public IQuorvaStartupSteps
{
public:
    TQuorvaSteps(const QString &programPath, THostComponentFactory &factory);
    ~TQuorvaSteps() override;

    TDMClient *Client() const { return m_client.get(); }
    TfProgress *ProgressWindow() const { return m_progress.get(); }
    IQuorvaMainWindow *MainWindow() const { return m_mainWindow.get(); }

    void InitializeApplication() override;
    void CreateMainWindow() override;
    void CreateProgressWindow() override;
    void SetProgress(int position) override;
    void SetTitle(const QString &title) override;
    void CreateDataModule() override;
    void ReadConfiguration() override;
    int LoadHydraModules() override;
    void ShowError(int textNo, int captionNo) override;
    void LoadSplash() override;
    void ProcessMessages() override;
    void ShowSplash() override;
    void HideProgressWindow() override;
    void UpdateSplash(int textNo) override;
    void CreateDataAccessModule() override;
    int ConnectToServer() override;
    void UnloadSplash() override;
    int CheckForUpdate() override;
    void StartUpdater() override;
    int CheckInitialSetup() override;
    bool RunInitialSetup() override;
    int ProcessLogon() override;
    void ConnectEventHandler() override;
    void InitializeForm() override;
    void RunMessageLoop() override;
    void DisConnectEventHandler() override;
    void CloseProgressWindow() override;
    void ReleaseMainWindow() override;
    void CloseDatamodule() override;
    void FreeDataModule() override;

private:
    TDMClient &Client();

    QString m_programPath;
    THostComponentFactory &m_factory;
    std::unique_ptr<IQuorvaMainWindow> m_mainWindow;
    std::unique_ptr<TfProgress> m_progress;
    std::unique_ptr<TDMClient> m_client;
    QString m_caption;
};
