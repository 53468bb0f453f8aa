// A borderless host window for one visual plug-in, created by name through the module manager
// when the window shows and released when it closes: the initial-setup wizard, the settings
// transport and the start-up windows are shown this way. It starts invisible (alpha 0) until
// the plug-in or the host makes it opaque. The results of an initial-setup wizard are read as
// it closes.
#pragma once

#include "ui/uStyleForm.h"

#include <QString>

namespace Quorva {
class IHYVisualPlugin;
}
class THYModuleManager;

class TxBaseForm : public TfStyleForm
{
    Q_OBJECT
public:
    struct TInitialSetupResults
    {
        int ResultCode = 0;
        QString UserID;
        QString UserName;
        QString Password;
        int UserLevel = 0;
        QString WindowsAccount;
        bool UseWindowsLogon = false;
    };

    // manager may be null for a window that hosts nothing.
    explicit TxBaseForm(THYModuleManager *manager, QWidget *parent = nullptr);
    ~TxBaseForm() override;

    void EnablePluginHost() { m_hosting = true; }
    bool PluginHostEnabled() const { return m_hosting; }
    void SetPluginName(const QString &name) { m_pluginName = name; }
    // The initial-setup result code taken at close (0 before).
    int GetPluginResult() const { return m_results.ResultCode; }
    const TInitialSetupResults &InitialSetupResults() const { return m_results; }
    Quorva::IHYVisualPlugin *PluginInstance() const { return m_instance; }
    // Where a plug-in is shown: it fills the window.
    QWidget *PluginArea() const { return m_area; }

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    void FormClose();
    void ReleasePlugin();

    THYModuleManager *m_manager;
    QWidget *m_area;
    bool m_hosting = false;
    QString m_pluginName;
    Quorva::IHYVisualPlugin *m_instance = nullptr;
    TInitialSetupResults m_results;
};
