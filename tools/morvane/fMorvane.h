// The settings editor's window: the settings file in use, the database server with its log-on
// and a connection test, the server's and the discovery service's ports, and a help text for
// the control under the mouse.
#pragma once

#include "uQorServerSettings.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class TfMorvaneurator : public QDialog
{
    Q_OBJECT
public:
    static inline const QString ChooseFileText = QStringLiteral("Please click here to select the file");
    static inline const QString NothingSavedText =
        QStringLiteral("Nothing was saved: no settings file was chosen. Please choose the file to save to.");
    // The message of a port field that holds no port, naming the field.
    static QString BadPortText(const QString &field);

    explicit TfMorvaneurator(QWidget *parent = nullptr);
    ~TfMorvaneurator() override;

    // Where the settings file is looked for; the program's folder unless a test names another.
    void SetProgramFolder(const QString &folder) { m_programFolder = folder; }
    // The open-file dialog, the save-file dialog and the error display; tests answer in their place.
    std::function<QString()> ChooseFile;
    std::function<QString()> ChooseSaveFile;
    std::function<void(const QString &text)> ShowError;
    // Where the server list looks for local clusters.
    QStringList SocketFolders;

    void InitForm();
    void ShowHint(int number);
    void LinkClick();
    void PopulateServers();
    void UseDiscoveryUpdate();
    void TestClick();
    void TestTimer();
    void SaveClick();

    TQorServerSettings *Settings() const { return m_settings.get(); }
    QLabel *LinkLabel() const { return m_link; }
    QLabel *VersionLabel() const { return m_version; }
    QLabel *HelpLabel() const { return m_help; }
    QLabel *ResultLabel() const { return m_result; }
    QComboBox *Servers() const { return m_servers; }
    QCheckBox *Integrated() const { return m_integrated; }
    QLineEdit *UserName() const { return m_user; }
    QLineEdit *Password() const { return m_password; }
    QCheckBox *UseDiscovery() const { return m_useDiscovery; }
    QLineEdit *ServerPort() const { return m_serverPort; }
    QLineEdit *DiscoveryPort() const { return m_discoveryPort; }
    QTimer *TestTimerObject() const { return m_testTimer; }
    QPushButton *SaveButton() const { return m_save; }

    // The help texts by number.
    static QString HintText(int number);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowFile();
    void CopyToControls();
    // A port edit holding no port: the message naming it, the edit focused; true when both are ports.
    bool PortsValid();
    // The data source the controls stand for, with the given database.
    QString ControlsDataSource(const QString &database) const;

    QString m_programFolder;
    std::unique_ptr<TQorServerSettings> m_settings;
    QLabel *m_version = nullptr;
    QLabel *m_fileLabel = nullptr;
    QLabel *m_link = nullptr;
    QComboBox *m_servers = nullptr;
    QPushButton *m_test = nullptr;
    QLabel *m_result = nullptr;
    QCheckBox *m_integrated = nullptr;
    QLabel *m_userLabel = nullptr;
    QLineEdit *m_user = nullptr;
    QLabel *m_passwordLabel = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_useDiscovery = nullptr;
    QLabel *m_serverPortLabel = nullptr;
    QLineEdit *m_serverPort = nullptr;
    QLabel *m_discoveryPortLabel = nullptr;
    QLineEdit *m_discoveryPort = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    QLabel *m_help = nullptr;
    QLabel *m_image = nullptr;
    QWidget *m_configurationPanel = nullptr;
    QTimer *m_testTimer = nullptr;
    bool m_serversListed = false;
};
