// The search kinds of the task file, each writing into the report element of its task:
// files (BROWSE, COMPONENTS), the product's registry keys (REGISTRY), system information
// (SYSINFO), object checks (OBJECTINFO), services (SERVICELIST) and the database client
// (SQLSERVER). Each is made for one task and freed after its run.
#pragma once

#include <QDomElement>
#include <QList>
#include <QString>

class TQorXMLBaseProsessor;

// What a report never carries, neither sent nor previewed: the values of keys whose names say
// they hold a secret, and the password item of a connection string.
namespace TQorSecrets {
inline const QString Hidden = QStringLiteral("(not collected)");
// The name holds "password", "pwd", "secret" or "key", in any case.
bool IsSecretName(const QString &name);
// Every "Password=" or "Pwd=" item of the text with its value, up to the next ";", hidden.
QString MaskConnectionString(const QString &text);
// A "name=value" line whose name is a secret's gets its value hidden; any other line its
// connection-string passwords.
QString MaskLine(const QString &line);
} // namespace TQorSecrets

class TQorSearch
{
public:
    TQorSearch(TQorXMLBaseProsessor &processor, const QDomElement &report, const QDomElement &task)
        : m_processor(processor), m_report(report), m_task(task)
    {
    }
    virtual ~TQorSearch() = default;
    virtual void Run() = 0;

protected:
    QDomElement Add(QDomElement parent, const QString &name) const;
    void SetTaskText(const QString &text) const;
    void SetProgress(const QString &text) const;

    TQorXMLBaseProsessor &m_processor;
    QDomElement m_report;
    QDomElement m_task;
};

class TQorFileSearch : public TQorSearch
{
public:
    // A viewed file that is there but cannot be read gets this and the reason as its
    // "exception" attribute; the search goes on.
    static inline const QString UnreadableText = QStringLiteral("Unable to read the file: ");
    // A pipe, socket or device is listed by name with this as its "exception" attribute and
    // never opened: reading a pipe nobody writes would hold the search for ever.
    static inline const QString SpecialText = QStringLiteral("Not a regular file (a pipe, socket or device); not read");

    using TQorSearch::TQorSearch;
    void Run() override;
    // "[" + " readonly " " archive " " systemfile " " hidden " as they apply + " ]".
    static QString AttributeText(const QString &path);

private:
    void Scan(const QString &folder, const QString &mask, bool recursive);
    void AddFile(const QString &path);

    bool m_view = false;
    bool m_version = false;
    bool m_date = false;
    bool m_attributes = false;
};

class TRegSearch : public TQorSearch
{
public:
    enum class ValueType { Unknown, String, ExpandString, Integer, Binary };
    // The text of a value that cannot be read; a store that cannot be read puts "Exception " and
    // the key's path into the element it would have filled, a failing key the error into its
    // "exception" attribute.
    static inline const QString UnreadableValueText = QStringLiteral("Unable to read data");

    using TQorSearch::TQorSearch;
    void Run() override;

    // The key's subkeys, recursively, into parent: "key" elements with their "value" elements.
    static void WriteSubkeys(QDomElement parent, quint64 root, const QString &keyPath);
    static QString TypeName(ValueType type);
    static QString ValueText(ValueType type, const QByteArray &data);
};

class TSysInfoSearch : public TQorSearch
{
public:
    using TQorSearch::TQorSearch;
    void Run() override;

    static QString UpTimeText(const QString &procUptime);
    static QString CpuText(const QString &procCpuinfo);
    static QString MemoryText(const QString &procMeminfo);
};

class TQorObjectSearch : public TQorSearch
{
public:
    using TQorSearch::TQorSearch;
    void Run() override;
};

class TQorSQLServerSearch : public TQorSearch
{
public:
    using TQorSearch::TQorSearch;
    void Run() override;
};

class TQorProcessSearch : public TQorSearch
{
public:
    // The service list holds at most this many entries.
    static constexpr int MaxServices = 4097;

    struct Service
    {
        QString DisplayName;
        QString ServiceName;
        int Type = 0;
        int State = 0;
        int Controls = 0;
    };

    using TQorSearch::TQorSearch;
    void Run() override;

    // The services of "systemctl show" output (blocks of Key=Value lines).
    static QList<Service> ParseServices(const QString &showOutput);
    static QString TypeText(int type);
    static QString StateText(int state);
    static QString ControlsText(int controls);
};
