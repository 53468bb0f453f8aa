// The data server's settings as the settings editor sees them: the database server and how to
// log on to it, the server's port and the discovery service. Saving rewrites only these keys;
// every other section and key of the file stays as it was.
#pragma once

#include <QString>
#include <QStringList>

class TQorServerSettings
{
public:
    static inline const QString DefaultDatabase = QStringLiteral("Kestrova");

    // Opens and loads the file; throws std::runtime_error "Unable to locate " + path when it
    // does not exist.
    explicit TQorServerSettings(const QString &filePath);

    void Load();
    // Writes the data source, the ports and the discovery switch, owner-only because the data
    // source may hold a password; throws when the file cannot be written.
    void Save() const;

    // The text between "Server=" and the next ";", else the same after "Data Source="; empty
    // when neither gives a name.
    static QString ExtractServerName(const QString &dataSource);
    // The data source Save writes: the integrated-security form, or the one that logs on with
    // a user (and a password when there is one). Both end with the database item and ";",
    // which the setup program relies on.
    static QString DataSourceText(bool integratedSecurity, const QString &serverName, const QString &database,
                                  const QString &userName = {}, const QString &password = {});

    // A port the server can listen on: a whole number from 1 to 65535, digits only.
    static bool IsValidPort(const QString &text);
    // Makes a settings file, owner-only, where there is none: the shipped default, with every
    // key the server needs; throws when it cannot.
    static void CreateFile(const QString &filePath);

    QString FilePath() const { return m_filePath; }
    // Re-opens and loads; the same error as the constructor.
    void SetFilePath(const QString &filePath);

    QString DataSource() const { return m_dataSource; }
    QString ServerName() const { return m_serverName; }
    void SetServerName(const QString &name) { m_serverName = name; }
    QString ServerPort() const { return m_serverPort; }
    void SetServerPort(const QString &port) { m_serverPort = port; }
    QString DiscoveryPort() const { return m_discoveryPort; }
    void SetDiscoveryPort(const QString &port) { m_discoveryPort = port; }
    bool UseDiscovery() const { return m_useDiscovery; }
    void SetUseDiscovery(bool use) { m_useDiscovery = use; }
    QString UserName() const { return m_userName; }
    void SetUserName(const QString &name) { m_userName = name; }
    QString Password() const { return m_password; }
    void SetPassword(const QString &password) { m_password = password; }
    // The database the data source names; the default name when it names none.
    QString DatabaseName() const { return m_database; }

    // Set by the window from its check box.
    bool IntegratedSecurity = false;

private:
    QString m_filePath;
    QString m_dataSource;
    QString m_serverName;
    QString m_serverPort;
    QString m_discoveryPort;
    bool m_useDiscovery = true;
    QString m_userName;
    QString m_password;
    QString m_database = DefaultDatabase;
};
