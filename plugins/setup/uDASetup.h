// The set-up module's data module: the client tables the wizard fills (locations, liturgies,
// ministry functions, templates with their links, and the first account), their row stamps, and
// the two ways they are written. Nothing reaches the server before Finish.
//
// No user is logged on during the set-up, so every row carries the nil id as its creator and
// modifier. The server serves a session nobody logged on in only while no user exists: the
// content is therefore written before the account (ApplyContent, then ApplyAccount).
#pragma once

#include "dataaccess/TDACDSDataTable.h"
#include "contract/TDAServiceAdapter.h"

#include <QString>

#include <memory>

class TROMessage;
class TROTransportChannel;

class TDASetup
{
    // Before the tables, which keep pointers to them.
    TDAServiceAdapter m_resources;
    TDAServiceAdapter m_settings;

public:
    // The level of the first, administrating account.
    static inline const QString AdministratorLevel = QStringLiteral("{86A13150-8F61-47CC-9503-A5BFAE09F465}");

    TDASetup();
    TDASetup(const TDASetup &) = delete;
    TDASetup &operator=(const TDASetup &) = delete;

    // The host's channel and message for both remote services (ResourceService, SettingsService).
    void Connect(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel);
    void Disconnect();


    TDACDSDataTable Locations;
    TDACDSDataTable LiturgyTemplates;
    TDACDSDataTable LnkMinistryTemplateToMinistryFunction;
    TDACDSDataTable MinistryFunctions;
    TDACDSDataTable MinistryTemplates;
    TDACDSDataTable DAUsers; // "tblUsers"

    // Posts pending edits of the content tables.
    void PostContent();
    // Writes the content in one call and one server transaction, every table before the rows
    // that point at it: locations, liturgies, templates, functions, then the links.
    void ApplyContent();
    // Puts the wizard's account into DAUsers: the first call inserts the row, later ones (after
    // a Finish that failed) change that same row, so a repeated Finish makes one account.
    // Returns the account's key.
    QString PutAccount(const QString &userName, const QString &password, bool useWindowsLogon, const QString &windowsAccount);
    // Writes the account. The server keeps only the password's hash.
    void ApplyAccount();
    // True once the account reached the server.
    bool AccountStored() const { return m_accountStored; }
    void CloseAll();

private:
    bool m_accountStored = false;
};
