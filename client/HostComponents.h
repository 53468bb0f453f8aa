// The pieces of the host that come with work of their own, each behind a small interface
// that TDMClient calls: the main window, the server choice, the log-on, the search dialog,
// the report chooser, the mail composer, the popup notifier and the automatic-scheduling
// progress window. THostComponentFactory (HostComponentFactory.h) decides which implementation
// each start-up gets; while one is missing, TDMClient logs one Warning line for each call and
// answers what the call answers when it fails.
#pragma once

#include "client/api/HostInterfaces.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;
class TDMClient;

// The main window (TfMain): created hidden at start, built after the log-on, shown by the
// message loop; closing it ends the loop.
class IQuorvaMainWindow
{
public:
    virtual ~IQuorvaMainWindow() = default;
    // The window itself: the owner of the host's dialogs.
    virtual QWidget *Widget() = 0;
    // Its look-and-feel interface; the host never releases it.
    virtual Quorva::IStyleForm *StyleForm() = 0;
    // Right after the data module exists (start-up step 4).
    virtual void SetDataModule(TDMClient *client) = 0;
    // Builds the window for the logged-on user: navigation bar, captions, placement, panels.
    virtual void InitializeForm() = 0;
    virtual void CloseMainWindow() = 0;
    virtual bool GetNavBarVisible() = 0;
    virtual void SetNavBarVisible(bool visible) = 0;
    virtual bool GetSmartHelpVisible() = 0;
    virtual void SetSmartHelpVisible(bool visible) = 0;
    virtual void ShowSmartHelp(const QString &text) = 0;
    // 0 the first item of group 2, 1 the first item of group 1, 2 the help topic "Zarorivodu".
    virtual void OpenPopupTarget(int eventType) = 0;
    virtual void ShowAboutDialog() = 0;
};

// Finds and connects a data server and sets its URL on the host's channels.
class IServerConnector
{
public:
    virtual ~IServerConnector() = default;
    // 0 connected, 1 error (the server chosen does not answer, or anything failed), 2 none found.
    virtual int ConnectToServer() = 0;
};

// The initial set-up and the log-on; a successful log-on tells TDMClient::SetLoggedOnUser.
class ILogOnSteps
{
public:
    virtual ~ILogOnSteps() = default;
    // 6 when the database has no users yet; 4 on any failure.
    virtual int CheckInitialSetup() = 0;
    // True when the wizard finished and its account is logged on.
    virtual bool RunInitialSetup() = 0;
    // 0 logged on, 2 cancelled, 4 error, 7 refused.
    virtual int ProcessLogon() = 0;
    // The server lost the session of the user logged on under that name: the same user logs on
    // again, by the automatic log-on where chosen, else in the log-on dialog with the name filled
    // in. True once logged on again.
    virtual bool LogOnAgain(const QString &userName)
    {
        Q_UNUSED(userName);
        return false;
    }
};

// The search dialog behind Quorva::ISearchHost.PerformSearch, with the same arguments and answer.
class ISearchDialog
{
public:
    virtual ~ISearchDialog() = default;
    virtual bool PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                               const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                               std::unique_ptr<TSearchObjectList> &result) = 0;
};

// The report chooser and what follows it (preview, print, Word), behind Quorva::IReportHost.ShowReportDlg.
class IReportChooser
{
public:
    virtual ~IReportChooser() = default;
    virtual void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                               Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex,
                               const QString &familiesExclusion, const QString &overrideMarker,
                               const QString &dataSource, const QString &criteria) = 0;
};

// The e-mail composer and sending.
class IMailComposer
{
public:
    virtual ~IMailComposer() = default;
    virtual void ShowNewMessage() = 0;
    // Never called with an empty list.
    virtual void SendSimpleEmail(const QStringList &recipients) = 0;
};

// One popup notification as the host asks for it.
struct TPopupNotice
{
    int TimeOut = 25; // seconds
    QString Title;
    QString Text;
    // Handed back by a click: the server event's type as text.
    QString Tag;
    QColor GradientColor1;
    QColor GradientColor2;
};

class IPopupNotifier
{
public:
    virtual ~IPopupNotifier() = default;
    // Shows the notice beside the task bar; onClick gets the notice's tag when it is clicked.
    virtual void ShowPopup(const TPopupNotice &notice, std::function<void(const QString &tag)> onClick) = 0;
};

// The automatic-scheduling progress window (TfServerProgress): watching a run someone started,
// or running one itself.
class IServerProgressWindow
{
public:
    virtual ~IServerProgressWindow() = default;
    // Returns when the window has closed.
    virtual void ShowModal() = 0;
    virtual bool IsVisible() = 0;
    virtual void UpdateProgress(int position, int maximum) = 0;
    // The run is over: the window may close, and does.
    virtual void AllowCloseAndClose() = 0;
};

class IServerProgressFactory
{
public:
    virtual ~IServerProgressFactory() = default;
    virtual std::unique_ptr<IServerProgressWindow> CreateWatching() = 0;
    virtual std::unique_ptr<IServerProgressWindow> CreateRunning(const QStringList &templateIds,
                                                                 const QStringList &ministryFunctionIds,
                                                                 const QDateTime &fromDate, const QDateTime &toDate) = 0;
};
