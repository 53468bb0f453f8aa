// What the client host offers its plug-ins. A plug-in asks the host it was given (IHYHost) for
// one of these each time it needs it, by GUID, and lets go at the end of the handler:
//     if (auto log = host_cast<Quorva::IHostLog>(host)) log->WriteLog(2, "Contacts", "OnActivate", text);
// Operations are declared in slot order after the three of IQorUnknown; slots that do nothing
// keep their place so that the order never moves. Never reorder, insert or remove an operation.
#pragma once

#include "client/api/QorUnknown.h"

#include "foundation/uCommon.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

class TROMessage;
class TROTransportChannel;

// One entry of a list of search hits or members: the list text and its record.
struct TSearchListItem
{
    QString Text;
    TSearchObject Object;
};
using TSearchObjectList = QList<TSearchListItem>;

// Levels of IHostLog.WriteLog.
namespace QorLogLevel {
constexpr quint8 Information = 0;
constexpr quint8 Warning = 1;
constexpr quint8 Severe = 2;
constexpr quint8 Debug = 3;
} // namespace QorLogLevel

// The interfaces live in namespace Quorva: the service contract has event-writer classes of the
// same names as two of them.
namespace Quorva {

// Main-window and application commands.
class IHostApplication : public IQorUnknown
{
public:
    virtual bool GetUseWindowsLogon() = 0;                              // 3
    virtual void SetUseWindowsLogon(bool value) = 0;                    // 4
    virtual bool GetAlwaysUsePreferredServer() = 0;                     // 5
    virtual void SetAlwaysUsePreferredServer(bool value) = 0;           // 6
    virtual void CloseMainWindow() = 0;                                 // 7
    virtual void OpenInstallFAQ() = 0;                                  // 8
    virtual void OpenGettingStartedGuide() = 0;                         // 9
    virtual bool GetNavBarVisible() = 0;                                // 10
    virtual void SetNavBarVisible(bool value) = 0;                      // 11
    virtual bool GetSmartHelpVisible() = 0;                             // 12
    virtual void SetSmartHelpVisible(bool value) = 0;                   // 13
    virtual QString GetReportFolder() = 0;                              // 14
    // Style 1 shows a caption line under the bar; any other value the bar only.
    virtual void ShowProgress(quint8 style) = 0;                        // 15
    virtual void SetProgress(int position, const QString &text) = 0;   // 16
    virtual void HideProgress() = 0;                                    // 17

protected:
    ~IHostApplication() = default;
};

// One entry in the session log; plug-ins write their caught errors at level 2 with their
// module word as sender and the handler's name as location.
class IHostLog : public IQorUnknown
{
public:
    virtual void WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message) = 0; // 3

protected:
    ~IHostLog() = default;
};

// The logged-on user's settings: key-value texts and layout blobs, kept on the server.
class ISettings : public IQorUnknown
{
public:
    // The default when the key was never written or anything fails; keys match exactly.
    virtual QString GetUserSetting(const QString &key, const QString &defaultValue) = 0;  // 3
    virtual void SetUserSetting(const QString &key, const QString &value) = 0;           // 4
    // No value when the user has no blob of that name or the server cannot be reached.
    virtual std::optional<QByteArray> LoadUserBlob(const QString &name) = 0;             // 5
    // Nothing is sent for a null stream.
    virtual void SaveUserBlob(const QString &name, const QByteArray *stream) = 0;        // 6
    // Removes the blob of that name; false when that failed.
    virtual bool ClearUserSetting(const QString &name) = 0;                              // 7

protected:
    ~ISettings() = default;
};

// E-mail services. The mail configuration is a map of the standard field names ("smtpserver",
// "smtpserverport", "smtpusessl", "sendusername", "sendemailaddress", "senduserreplyemailaddress").
class IEmailHost : public IQorUnknown
{
public:
    virtual QVariant GetCDOConfiguration() = 0;                 // 3
    virtual void Reserved4() = 0;                               // 4: does nothing
    virtual int Reserved5() = 0;                                // 5: answers 0
    virtual void Reserved6() = 0;                               // 6: does nothing
    virtual QString Reserved7() = 0;                            // 7: answers an empty text
    virtual void Reserved8() = 0;                               // 8: does nothing
    virtual int Reserved9() = 0;                                // 9: answers 0
    virtual void ShowNewMessage() = 0;                          // 10
    virtual void Reserved11() = 0;                              // 11: does nothing
    // Addresses, one per entry; nothing happens for a null or empty list.
    virtual void SendSimpleEmail(const QStringList *recipients) = 0; // 12
    virtual bool IsMailAvailable() = 0;                         // 13

protected:
    ~IEmailHost() = default;
};

// Settings export and import through the visual plug-in "plgTransport", when a module has it.
class ITransportHost : public IQorUnknown
{
public:
    virtual void ExportSettings() = 0;  // 3
    virtual void ImportSettings() = 0;  // 4
    virtual int Reserved5() = 0;        // 5: answers 0

protected:
    ~ITransportHost() = default;
};

// Starts an automatic-scheduling run and shows its progress; returns when the window closes.
class IAutoScheduleRunner : public IQorUnknown
{
public:
    virtual void RunAutoScheduleWithProgress(const QStringList &templateIds, const QStringList &ministryFunctionIds,
                                             const QDateTime &fromDate, const QDateTime &toDate) = 0; // 3

protected:
    ~IAutoScheduleRunner() = default;
};

// The main window's smart-help pane; helpId is not used.
class ISmartHelp : public IQorUnknown
{
public:
    virtual void SetSmartHelpText(const QString &text, int helpId) = 0; // 3

protected:
    ~ISmartHelp() = default;
};

// The host's search dialog. kinds is a mask of 1 contacts, 2 families, 4 groups. On OK the
// result is a new list that belongs to the caller; on cancel it is null and the answer false.
class ISearchHost : public IQorUnknown
{
public:
    virtual bool PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                               const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                               std::unique_ptr<TSearchObjectList> &result) = 0; // 3

protected:
    ~ISearchHost() = default;
};

// Gives the report chooser the criteria of the caller's current view.
class IReportCriteriaProvider : public IQorUnknown
{
public:
    virtual QString GetCriteriaText() = 0; // 3

protected:
    ~IReportCriteriaProvider() = default;
};

// The report chooser, and the report definitions of a category as the server sends them.
class IReportHost : public IQorUnknown
{
public:
    // The selection's texts become one criteria text; count is not used; dataSource and
    // criteria are used when overrideMarker is "{00000000-0000-0000-0000-000000000001}".
    virtual void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                               IReportCriteriaProvider *criteriaProvider, int selectionIndex,
                               const QString &familiesExclusion, const QString &overrideMarker,
                               const QString &dataSource, const QString &criteria) = 0; // 3
    // Raises when the server cannot be asked.
    virtual void GetReportDefinitionsText(const QString &category, QString &text) = 0; // 4

protected:
    ~IReportHost() = default;
};

// The logged-on user; the object stays the host's.
class IUserHost : public IQorUnknown
{
public:
    virtual TvoUser *GetCurrentUser() = 0; // 3

protected:
    ~IUserHost() = default;
};

class IAboutHost : public IQorUnknown
{
public:
    virtual void ShowAboutDialog() = 0; // 3

protected:
    ~IAboutHost() = default;
};

// The host's language texts. text is left as passed while the host has no language module.
class ILanguageHost : public IQorUnknown
{
public:
    virtual void GetResourceText(int number, bool emptyIfMissing, QString &text) = 0; // 3

protected:
    ~ILanguageHost() = default;
};

// The server's automatic-scheduling events, as the host receives them.
class IAutoScheduleEvent_Writer : public IQorUnknown
{
public:
    virtual void OnAutoScheduleProgress(qint32 APosition, qint32 AMax) = 0; // 3
    virtual void OnAutoScheduleBegin() = 0;                                 // 4
    virtual void OnAutoScheduleEnd() = 0;                                   // 5

protected:
    ~IAutoScheduleEvent_Writer() = default;
};

// The server's popup notifications, as the host receives them.
class IClientPopupEvent_Writer : public IQorUnknown
{
public:
    virtual void OnNewPopup(const QString &ToUser, const QString &Title, const QString &Text, qint32 EventType) = 0; // 3

protected:
    ~IClientPopupEvent_Writer() = default;
};

// The look of a window: 0 native, 1 standard, 2 flat, 3 ultra-flat, 4 office.
class IStyleForm : public IQorUnknown
{
public:
    virtual void SetLookAndFeel(quint8 kind) = 0; // 3

protected:
    ~IStyleForm() = default;
};

// The host's server connection, answered by the module manager: every module sets both on its
// remote services when it is given the host and drops them when it is destroyed.
class IROHostConnection : public IQorUnknown
{
public:
    virtual std::shared_ptr<TROTransportChannel> GetChannel() = 0; // 3
    virtual std::shared_ptr<TROMessage> GetMessage() = 0;          // 4

protected:
    ~IROHostConnection() = default;
};

} // namespace Quorva

// GUIDs (and the interface each one extends).
QOR_DECLARE_INTERFACE(Quorva::IHostApplication, "{AC6A933C-80DD-4A3B-856C-F94D5ED7C4E7}", void)
QOR_DECLARE_INTERFACE(Quorva::IHostLog, "{30BC93DD-F9A1-493F-ADA6-F837C7F95511}", void)
QOR_DECLARE_INTERFACE(Quorva::ISettings, "{B7FF6CF1-A191-4886-831F-90F279E1707E}", void)
QOR_DECLARE_INTERFACE(Quorva::IEmailHost, "{A9CEA7A4-CAB4-410A-95AD-28261D49C246}", void)
QOR_DECLARE_INTERFACE(Quorva::ITransportHost, "{E527FFD2-C48A-4F1A-BB77-0B47A322F813}", void)
QOR_DECLARE_INTERFACE(Quorva::IAutoScheduleRunner, "{87F3F0F8-4D70-4637-BA5E-C30184A9DB12}", void)
QOR_DECLARE_INTERFACE(Quorva::ISmartHelp, "{F8FD44F4-B941-4208-9E3E-4E1A853D4304}", void)
QOR_DECLARE_INTERFACE(Quorva::ISearchHost, "{5D7DD38F-CF45-4CF7-BFE3-769A4F4B9FD2}", void)
QOR_DECLARE_INTERFACE(Quorva::IReportCriteriaProvider, "{23AE1CF2-86D7-473B-B00A-D0BCB27C6CFB}", void)
QOR_DECLARE_INTERFACE(Quorva::IReportHost, "{3EC7A694-D0EA-4ED2-AC7B-FE259030314C}", void)
QOR_DECLARE_INTERFACE(Quorva::IUserHost, "{21428F94-2D9A-4AFB-94B7-A6B71AA2A523}", void)
QOR_DECLARE_INTERFACE(Quorva::IAboutHost, "{DD605F11-8E22-4E62-8DA1-F6134C607688}", void)
QOR_DECLARE_INTERFACE(Quorva::ILanguageHost, "{0B15682F-646F-4A43-876E-EE6AEA578ED8}", void)
QOR_DECLARE_INTERFACE(Quorva::IAutoScheduleEvent_Writer, "{FACC9D13-680F-4292-8EDB-8B8B32914112}", void)
QOR_DECLARE_INTERFACE(Quorva::IClientPopupEvent_Writer, "{9A024C7B-647E-4483-B61E-06337F09239F}", void)
QOR_DECLARE_INTERFACE(Quorva::IStyleForm, "{1DAE398C-76E2-4A27-80AC-452F930A53C3}", void)
QOR_DECLARE_INTERFACE(Quorva::IROHostConnection, "{1D414671-2AAB-4535-BBE7-47C1539988FD}", void)
