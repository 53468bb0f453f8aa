// The crash report's "locale info" section: how the user's locale writes days, months, dates,
// times, numbers and money. The values are read once, and again only when Locale changes to
// another locale. The "NUO_" values are the locale's own, without the user's overrides (the
// LC_* settings that differ from the locale's name).
#pragma once

#include "client/CrashHandler.h"

#include <QLocale>

class TLocaleInfo
{
public:
    static inline const QString SectionName = QStringLiteral("locale info");
    static inline const QString SectionDescription = QStringLiteral("extended locale information");
    static constexpr int SystemLocaleConstant = 2048;
    static constexpr int UserLocaleConstant = 1024;

    // Starts with the user's locale.
    TLocaleInfo();

    QString Locale() const { return m_locale; }
    // A locale name such as "de_DE"; the same name again reads nothing.
    void SetLocale(const QString &name);

    // Names and values in their order.
    const TQorCrashHandler::Properties &Properties() const { return m_properties; }
    QString Value(const QString &name) const;
    // How often the values have been read.
    int Reads() const { return m_reads; }

    static void RegisterSection();
    static void UnregisterSection();

private:
    void Read();

    QString m_locale;
    TQorCrashHandler::Properties m_properties;
    int m_reads = 0;
};
