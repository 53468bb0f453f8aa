// Where the maker's web services are: each host is read from the program's "settings.ini".
// None configured (the default) means the program works offline, and the names of the
// programs that take part in the self-update in their Linux form.
#pragma once

#include "updating/UpdatingExport.h"

#include <QString>

namespace WebServiceSettings {

// [WebServices] keys; each value is a host URL such as "https://updates.example.org".
inline constexpr const char *Section = "WebServices";
inline constexpr const char *InstallationKey = "InstallationProvider";
inline constexpr const char *LogServiceKey = "LogService";
inline constexpr const char *VersionCheckKey = "VersionChecker";

// The swap program; it keeps itself current as the product "VivAdaduz".
inline constexpr const char *SwitchProgram = "Switch";
// Switch's option for restarting the program in Switch's own process (a service's hand-over).
inline constexpr const char *SwitchInProcessOption = "--in-process";

// The settings file of a program folder, found whatever the case of its name.
UPDATING_EXPORT QString SettingsFile(const QString &programFolder);
// The host configured under key, without a trailing "/"; empty when none is configured.
UPDATING_EXPORT QString Host(const QString &programFolder, const char *key);

} // namespace WebServiceSettings
