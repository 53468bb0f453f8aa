// Tolvik's data module: the tool's folder and version, the paths of the swap program and the
// task file, the splash window, and the start of the wizard.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class TfSplash;

class TDM : public QObject
{
    Q_OBJECT
public:
    TDM(const QString &toolFolder, const QString &version, QObject *owner = nullptr);
    ~TDM() override;

    QString ToolFolder() const { return m_toolFolder; }
    QString Version() const { return m_version; }
    QString SwitchPath() const { return m_switchPath; }
    QString ConfigurationPath() const { return m_configurationPath; }

    static QString GetText(int id);
    void ShowSplash();
    void ShowSplashNow();
    // Frees the splash and runs the wizard over the task file; the program's exit code.
    int RunWizard();

private:
    QString m_toolFolder;
    QString m_version;
    QString m_switchPath;
    QString m_configurationPath;
    std::unique_ptr<TfSplash> m_splash;
};
