// The module controller of the contacts plug-in RvContacts: the host's one door into the module
// and the module's one door out to the host. It owns the data module, puts the host's channel
// and message on its remote services, answers the navigation bar for the three views, loads the
// module's language texts, and gives every unit of the module the host's log, user, search,
// reports, grid layouts and mail, and the grid export. Nothing in the module talks to the host
// around it.
#pragma once

#include "client/api/ModuleKit.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

#include <functional>
#include <memory>

class QAbstractItemView;
class QHeaderView;
class QWidget;
class TDAContacts;
class TVOResourceHandler;
class TvoUser;

class TRvContactsController : public THYModuleController, public Quorva::INavBarPluginCtrl
{
public:
    static inline const QString ModuleText = QStringLiteral("Contacts");

    TRvContactsController();
    ~TRvContactsController() override;

    bool queryInterface(const QUuid &id, void **object) override;
    int addRef() override { return THYModuleController::addRef(); }
    int release() override { return THYModuleController::release(); }

    // INavBarPluginCtrl
    void InitializeController() override;
    int GetRequiredRights() override { return 0; }
    void GetCaption(const QString &pluginName, QString &caption) override;
    int GetGroupIndex(const QString &) override { return 0; }
    QPixmap GetBitmap(const QString &pluginName) override;

    // ---- services for the module's own units ----
    // The language text by number; empty while the module has no language texts.
    QString GetText(int number) const;
    // An HTML block of the language texts; empty when there is none.
    QString GetHTML(int number) const;
    // One line in the host's log under the module text "Contacts"; nothing while no host is set.
    void WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const;
    // The logged-on user (the host's object), null while there is none.
    TvoUser *GetCurrentUser() const;
    // The host's search dialog; false (and no result) on cancel or without a host.
    bool PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                       const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                       std::unique_ptr<TSearchObjectList> &result) const;
    void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                       Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex,
                       const QString &familiesExclusion, const QString &overrideMarker, const QString &dataSource,
                       const QString &criteria) const;
    // A view's column layout under the name, from and to the user's settings; a layout never
    // stored, or one that does not fit, leaves the view as it is (the latter logged).
    void LoadGridLayout(const QString &name, QHeaderView *header) const;
    void SaveGridLayout(const QString &name, QHeaderView *header) const;
    // Asks for a file and writes every row of the grid into it: kind 2 spreadsheet (.xlsx),
    // 3 text, 4 HTML, 5 XML. True when the file was written; false on cancel or failure.
    bool ExportGrid(quint8 kind, QAbstractItemView *grid) const;
    bool OpenWebSite() const;
    bool IsMailAvailable() const { return m_mailAvailable; }
    void SendSimpleEmail(const QStringList &addresses) const;
    // The help page of a topic, through the application's help.
    void ShowHelp(const QString &topic) const;
    // The look every grid of the module shares.
    static void StyleGrid(QAbstractItemView *grid);
    // The tool-bar images the views hand to the host, enabled and disabled looks.
    QList<QIcon> ToolbarImages() const;
    QList<QIcon> ToolbarDisabledImages() const;

    TDAContacts &Data() const { return *m_data; }

    // The save dialog of the export: (title, filter) -> the chosen file, empty on cancel.
    std::function<QString(const QString &title, const QString &filter)> ChooseExportFile;
    // The spreadsheet import, run modally over the parent; the contacts view's import action
    // calls it (nothing happens while it is not set).
    std::function<void(QWidget *parent)> RunImport;

    static inline const QString WebSite = QStringLiteral("https://www.orbek.com/kestrova/");

    // The groups view's node when it was left, as the kind and id of each node from the top, for
    // its next showing in this session: an id alone can stand in several places of the tree.
    QList<QPair<int, QString>> GroupsNodeLeft;

protected:
    void OnCreate() override;
    void OnSetHost(Quorva::IHYHost *host) override;
    void OnDestroy() override;

private:
    std::unique_ptr<TDAContacts> m_data;
    std::unique_ptr<TVOResourceHandler> m_texts;
    bool m_initialised = false;
    bool m_mailAvailable = false;
};
