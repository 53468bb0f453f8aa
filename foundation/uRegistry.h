// Text values under the product key, kept in ini stores in place of the Windows registry:
// per user in $XDG_CONFIG_HOME/Orbek/Kestrova.ini, machine-wide in /etc/xdg/Orbek/Kestrova.ini
// (KESTROVA_REGISTRY_DIR puts both into one folder, for tests). A key path is a section.
#pragma once

#include "foundation/FoundationExport.h"

#include <QString>

#include <cstdint>

using HKEY = std::uintptr_t;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

// The product key below which every program keeps its values.
FOUNDATION_EXPORT extern const QString ProductKey;

class FOUNDATION_EXPORT TQorReg
{
public:
    // Never raises: value becomes the default when the key or value is missing or empty,
    // or on any error.
    static void ReadString(HKEY root, const QString &keyPath, QString &value, const QString &defaultValue,
                           const QString &valueName);
    // Creates the key path as needed; nothing is written when the store cannot be written.
    static void WriteString(HKEY root, const QString &keyPath, const QString &value, const QString &valueName);
    // As WriteString, for a credential: from then on the store is readable by its owner only.
    static void WriteSecretString(HKEY root, const QString &keyPath, const QString &value, const QString &valueName);

    // The ini store behind a root key; empty for an unknown root.
    static QString StorePath(HKEY root);
    // The store's section of a key path: one separator spelling, none at either end.
    static QString KeySection(const QString &keyPath);
};
