// The settings module's client tables, shared by every page of the settings view, over the data
// server's resource and settings services; the keys and audit stamps of new and edited rows;
// the 0..n-1 renumbering of the ordered lists when they are opened; and the two server-side
// deletions (ministry functions, users' settings).
#pragma once

#include "dataaccess/TDACDSDataTable.h"
#include "contract/TDAServiceAdapter.h"

#include <QStringList>

#include <memory>

class IResourceService;
class ISettingsService;
class TROMessage;
class TROTransportChannel;
class TRvSettingsController;

class TDASettings
{
    // Before the tables, which keep pointers to them.
    TDAServiceAdapter m_resourceAdapter;
    TDAServiceAdapter m_settingsAdapter;

public:
    // The level a new account gets: a plain user.
    static inline const QString UserLevelID = QStringLiteral("{86A13150-8F61-47CC-9503-A5BFAE09F464}");

    explicit TDASettings(TRvSettingsController &controller);
    ~TDASettings();
    TDASettings(const TDASettings &) = delete;
    TDASettings &operator=(const TDASettings &) = delete;

    void Connect(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel);
    void Disconnect();
    // Both raise while the module has no connection.
    std::shared_ptr<IResourceService> ResourceService() const;
    std::shared_ptr<ISettingsService> SettingsService() const;

    // Opens the table; Locations, MinistryFunctions and MinistryTemplates are renumbered 0..n-1
    // in the order the server delivers them (by SortIndex, then name).
    void OpenTable(TDACDSDataTable &table);

    // The server removes the functions with their links, preferences and scheduled uses.
    bool DeleteMinistryFunctions(const QStringList &ids);
    // The server removes the users' settings and stored layouts (not the accounts).
    bool DeleteUser(const QStringList &ids);

    // The logged-on user's id for stamps (the none id without one).
    QString UserID() const;

    // Settings service
    TDACDSDataTable Users;          // "tblUsers"
    TDACDSDataTable UserLevels;     // read only
    TDACDSDataTable tblHistoryDate; // "DA_HistoryDate"
    // Resource service
    TDACDSDataTable Locations;
    TDACDSDataTable LiturgyTemplates;
    TDACDSDataTable MinistryFunctions;
    TDACDSDataTable MinistryTemplates;
    TDACDSDataTable LnkMinistryTemplateToMinistryFunction;
    TDACDSDataTable DAEventColors;

private:
    void BindStamps();

    TRvSettingsController &m_controller;
    std::shared_ptr<IResourceService> m_resources;
    std::shared_ptr<ISettingsService> m_settings;
};
