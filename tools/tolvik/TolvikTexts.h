// Tolvik's texts by number, in the user's language (English where it has no table of its
// own); a number without a text gives "missing %d" with the number.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace TolvikTexts {

QString GetText(int id);
// The text with each "%s" replaced by the next value, in order.
QString Format(int id, const QStringList &values);
// A button caption without its access-key marker, for use inside a sentence.
QString Plain(int id);
void SetLanguage(QLocale::Language language);

} // namespace TolvikTexts
