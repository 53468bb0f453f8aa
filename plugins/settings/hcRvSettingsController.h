// The entry object of the settings module: answers the host's navigation-bar questions (only a
// user holding every right sees the item), owns the data module and the language texts, and is
// the one gateway through which the settings view reaches the host.
#pragma once

#include "client/api/ModuleKit.h"

#include <QPixmap>
#include <QVariant>

#include <memory>

class TDASettings;
class TVOResourceHandler;
class TvoUser;

class TRvSettingsController : public THYModuleController, public Quorva::INavBarPluginCtrl
{
public:
    static inline const QString SettingsPlugin = QStringLiteral("plgSystemSettings");
    static inline const QString UserSettingsPlugin = QStringLiteral("plgUserSettings");
    static inline const QString LogModule = QStringLiteral("Settings");
    static inline const QString WebSite = QStringLiteral("https://www.orbek.com/kestrova/");

    TRvSettingsController();
    ~TRvSettingsController() override;

    bool queryInterface(const QUuid &id, void **object) override;
    int addRef() override { return THYModuleController::addRef(); }
    int release() override { return THYModuleController::release(); }

    // INavBarPluginCtrl
    void InitializeController() override;
    int GetRequiredRights() override { return 0x7FFFFFFF; }
    void GetCaption(const QString &pluginName, QString &caption) override;
    int GetGroupIndex(const QString &) override { return 2; }
    QPixmap GetBitmap(const QString &pluginName) override;

    TDASettings &Data() const { return *m_data; }
    bool HasTexts() const { return bool(m_texts); }

    // Empty while no language module is loaded.
    QString GetText(int number) const;
    QString GetHTML(int number) const;
    void WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const;
    // The logged-on user (the host's object), null while there is none.
    TvoUser *GetCurrentUser() const;
    QString GetUserSetting(const QString &key, const QString &defaultValue) const;
    void SetUserSetting(const QString &key, const QString &value) const;
    // False when the host has no settings or the setting was not there.
    bool ClearUserSetting(const QString &key) const;
    // The host's report chooser for the category at the page.
    void ShowReport(const QString &category, int pageIndex) const;
    // The host's mail configuration; invalid while the host has none or cannot read it.
    QVariant GetCDOConfiguration() const;
    bool IsMailAvailable() const;
    void ShowHelp(const QString &keyword) const;

    // For tests that drive the module's units without loading the library: the host as given.
    void AttachHost(Quorva::IHYHost *host) { SetHost(host); }

protected:
    void OnCreate() override;
    void OnSetHost(Quorva::IHYHost *host) override;
    void OnDestroy() override;

private:
    std::unique_ptr<TDASettings> m_data;
    std::unique_ptr<TVOResourceHandler> m_texts;
    bool m_initialised = false;
};
