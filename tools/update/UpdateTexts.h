// Update's window texts by number, in the user's language (English where it has no table).
#pragma once

#include <QLocale>
#include <QString>

namespace UpdateTexts {

enum Number : int {
    Title = 1,
    Description = 2,
    Contacting = 3,
    Querying = 4,
    Located = 5,
    NoUpdateService = 6,
    NewVersion = 7,
    Installing = 8,
    CheckingForMore = 9,
};

// Numbers without a text (0 and above 9) give the empty text.
QString Text(int number);
// For tests and for a language chosen on purpose; the user's language at first.
void SetLanguage(QLocale::Language language);

} // namespace UpdateTexts
