// Small records and helpers that every program of the system shares: the logged-on user,
// list-entry carriers, search hits, discovery options, system information, the settings-file
// wrapper and a few free routines. Nothing here talks to the server.
#pragma once

#include "foundation/FoundationExport.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <optional>

class QObject;

// The all-zero GUID that stands for "none" in every key field.
FOUNDATION_EXPORT extern const QString EmptyGUID;
// A fresh braced upper-case GUID text, the form of every key the system makes.
FOUNDATION_EXPORT QString NewKey();
// Keys are GUID texts that may be stored in either letter case: one key, however written.
FOUNDATION_EXPORT bool SameKey(const QVariant &value, const QString &key);
// The text of a caught exception, as log lines and messages show it.
FOUNDATION_EXPORT QString ExceptionText(const std::exception &e);

class FOUNDATION_EXPORT TvoUser
{
public:
    QString UserName;
    int UserLevel = 0;
    QString UserID = EmptyGUID;

    void SetUserName(const QString &value) { UserName = value; }
    void SetUserLevel(int value) { UserLevel = value; }
    void SetUserID(const QString &value) { UserID = value; }
};

// Carried by list entries and tree nodes; its users give the fields their meaning.
class FOUNDATION_EXPORT TFieldID
{
public:
    QString ID;
    QString Text;
    int Value = 0;
    QString Extra;
};

// One hit of the client's search dialog.
class FOUNDATION_EXPORT TSearchObject
{
public:
    static inline const QString ContactType = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
    static inline const QString FamilyType = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    static inline const QString GroupType = QStringLiteral("{00000000-0000-0000-0000-000000000002}");

    QString Caption;    // the row's id (PK_ContactID, PK_FamilyID or PK_GroupID)
    int Value = 0;      // the kind: 1 contact, 2 family, 4 group
    QString TypeID;     // ContactType, FamilyType or GroupType
    QString Text1;      // the name, as the member caption shows it
    QString Text2;      // first name (contacts)
    QString Text3;      // last name (contacts)
    bool Flag = false;  // the contact's flag
};

// Options that travel with a discovery request: the client leaves Version empty.
class FOUNDATION_EXPORT TVODiscoveryQueryOptions
{
public:
    QString Version;
};

// Options of a discovery answer: the server's HTTP port and program version.
class FOUNDATION_EXPORT TVODiscoveryResultOptions
{
public:
    int Port = 0;
    QString Version;
};

class FOUNDATION_EXPORT TvoSysInfo
{
public:
    // The distribution's name and version and the kernel release; "Unknown" when neither is known.
    static QString GetOSName();
    // The four-part version stamped into one of our programs or libraries; empty for other files.
    static QString GetFileVersion(const QString &fileName);
    // The version compiled into this build.
    static QString BuildVersion();
    static QString GetUserName();
    static QString GetComputerName();
    // The last non-loopback IPv4 address of the machine; empty when it has none.
    static QString GetLocalIP();

    // Exposed for tests: the description from the texts of /etc/os-release and the kernel release.
    static QString DescribeOS(const QString &osRelease, const QString &kernelRelease);
};

// One settings file in the ini format. The name is kept only when the file existed at
// construction; without it reads give the default and writes go nowhere.
class FOUNDATION_EXPORT TvoLocalConfigFile
{
public:
    explicit TvoLocalConfigFile(const QString &fileName);

    QString FileName() const { return m_fileName; }
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // False when the file has no name or cannot be written.
    bool WriteString(const QString &section, const QString &key, const QString &value) const;
    static QString ReadFromFile(const QString &fileName, const QString &section, const QString &key,
                                const QString &defaultValue);

private:
    QString m_fileName;
};

// Opens the address in the desktop's browser without a shell; false when the desktop's opener
// is missing or says that nothing opened it.
FOUNDATION_EXPORT bool OpenURL(const QString &url);
// Starts a program with an argument list, detached; false when it could not be started.
FOUNDATION_EXPORT bool RunProgram(const QString &program, const QStringList &arguments);
// Replaces this process by the program (same process id, so a service manager keeps watching
// it); returns only when that failed, with the reason in error.
FOUNDATION_EXPORT bool ReplaceProgram(const QString &program, const QStringList &arguments, QString &error);
// A Boolean written as text: the words true and false in any case, or a whole number (non-zero
// is true); anything else gives the default.
FOUNDATION_EXPORT bool StrToBoolDef(const QString &text, bool defaultValue);
// The same reading, strict: false when the text is neither word nor whole number.
FOUNDATION_EXPORT bool TryStrToBool(const QString &text, bool &value);
// "#MM/DD/YYYY#" whatever the locale; "#01/01/1900#" for a date that cannot be formatted.
FOUNDATION_EXPORT QString DateToSQLLiteral(const QDate &date);

// The shell folder ids the programs ask for.
enum class SpecialFolder { Desktop = 0x0000, Personal = 0x0005, AppData = 0x001A, LocalAppData = 0x001C,
                           CommonAppData = 0x0023 };
// The folder's path, empty when the machine has none for that id.
FOUNDATION_EXPORT QString GetSpecialFolder(QObject *window, int folderId);
// Creates a new empty file named "Rv" plus a unique part in the folder; empty on failure.
FOUNDATION_EXPORT QString GetTempFileNameIn(const QString &folder);

// A line read as a comma text: fields separated by commas or unquoted blanks (and control
// characters), a field in double quotes keeps its blanks and commas and has its doubled
// quotes as one; an empty field between two commas stays.
FOUNDATION_EXPORT QStringList SplitCommaText(const QString &line);

// A network port as settings and edits write it: one to five ASCII digits, 1 to 65535, no
// blanks or signs; nothing for any other text.
FOUNDATION_EXPORT std::optional<quint16> ParsePort(const QString &text);
// Items of a connection string "Name=Value;Name=Value;...". A value that holds ";" or a quote,
// starts with a quote or has blanks at either end is written in double quotes with its quotes
// doubled; a value in double or single quotes is read to its closing quote, so it may hold ";".
// One "Name=Value;" item, quoted where the value needs it.
FOUNDATION_EXPORT QString ConnectionStringItem(const QString &name, const QString &value);
// Reads the value that starts at from (just after its "="); gives where its item ends (the
// ";" after it, or the text's size) and, when asked, the value itself.
FOUNDATION_EXPORT qsizetype ReadConnectionStringValue(QStringView text, qsizetype from, QString *value = nullptr);
// The text with the whole value of every "Password" or "Pwd" item (any case, blanks before the
// "=") of a connection string in it replaced by mask, quoted values included; for log lines and
// reports.
FOUNDATION_EXPORT QString MaskConnectionPassword(const QString &text, const QString &mask);
// Writes the file whole or not at all (a reader sees the old content or the new), readable and
// writable by its owner only before the first byte lands; false, with the reason in error, on failure.
FOUNDATION_EXPORT bool WritePrivateFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);
