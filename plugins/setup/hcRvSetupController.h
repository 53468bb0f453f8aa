// The entry object of the set-up module: it owns the module's data module and language texts
// and is the gateway through which the wizard reaches the host (log and connection). The module
// offers no navigation item; the host finds its one plug-in, "plgInitialSetup", by name.
#pragma once

#include "client/api/ModuleKit.h"

#include "foundation/uResourceHandler.h"

#include <memory>

class TDASetup;

class TRvSetupController : public THYModuleController
{
public:
    static inline const QString SetupPlugin = QStringLiteral("plgInitialSetup");
    static inline const QString LogModule = QStringLiteral("RvSetup");

    TRvSetupController();
    ~TRvSetupController() override;

    // The one controller of the loaded module (null outside it).
    static TRvSetupController *Instance();

    TDASetup *DataModule() const { return m_data.get(); }
    // Made by the wizard's Prepare: the module's file with ".lng" (path empty: that file).
    void LoadLanguage(const QString &path = {});
    const TVOResourceHandler *LanguageModule() const { return m_texts.get(); }
    // The text into text; without a language module text stays as it was.
    void GetText(int number, bool emptyIfMissing, QString &text) const;
    // The text, or the number in decimal (empty when asked) while no module is loaded.
    QString Text(int number, bool emptyIfMissing = false) const;
    void WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const;

    // For tests that drive the module's units without loading the library.
    void AttachHost(Quorva::IHYHost *host) { SetHost(host); }

protected:
    void OnCreate() override;
    void OnSetHost(Quorva::IHYHost *host) override;
    void OnDestroy() override;

private:
    std::unique_ptr<TVOResourceHandler> m_texts;
    std::unique_ptr<TDASetup> m_data;
};

inline TRvSetupController *RvSetup() { return TRvSetupController::Instance(); }

