// Texts by number from a program's own tables, one table per language, each in the language
// module format (docs/language-modules.md). A language without a table of its own, and a number
// that its table leaves empty, get the English text.
#pragma once

#include "foundation/FoundationExport.h"

#include <QLocale>
#include <QString>

#include <map>
#include <memory>

class TVOResourceHandler;

class FOUNDATION_EXPORT TTextTables
{
public:
    TTextTables();
    ~TTextTables();
    TTextTables(const TTextTables &) = delete;
    TTextTables &operator=(const TTextTables &) = delete;

    // A table from a module file or a compiled-in resource (":/texts/en.lng"); false when it
    // cannot be read or is no language module, and the language then keeps no table.
    bool AddTable(QLocale::Language language, const QString &path);

    // The user's language at first.
    QLocale::Language Language() const { return m_language; }
    void SetLanguage(QLocale::Language language) { m_language = language; }

    // The text of the chosen language, else the English one, else the empty text.
    QString Text(int number) const;

private:
    std::map<QLocale::Language, std::unique_ptr<TVOResourceHandler>> m_tables;
    QLocale::Language m_language;
};
