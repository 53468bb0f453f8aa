// The rules of the settings pages that need no window: the 0..n-1 renumbering of ordered lists,
// the swap of two neighbours, the list order of liturgies, the counts of functions in a
// template, the duration choices, the stored option texts, the colours as Windows RGB integers
// and the mail addresses offered from the host's mail configuration. The table routines work
// on the current rows of client tables and raise what the tables raise; callers log.
#pragma once

#include "ui/uTemplateLinks.h"

#include <QColor>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class TDACDSDataTable;

namespace SettingsRules {

inline const QString SortIndex = QStringLiteral("SortIndex");
inline const QString LiturgyIndex = QStringLiteral("LiturgyIndex");

// Every row gets its position (0, 1, 2, ...) in the order the rows are shown now, as a pending
// change; the cursor goes back to the first row.
void RenumberSort(TDACDSDataTable &table, const QString &field = SortIndex);

// Exchanges the order value of the current row (which holds current) and the row holding
// target; a target no row holds changes nothing. True when the two rows traded places.
bool SwapSort(int current, int target, TDACDSDataTable &table, const QString &keyField);

// Writes each listed row's position into the index field (ids in list order); ids that no row
// has are stepped over.
void SaveListIndex(TDACDSDataTable &table, const QString &keyField, const QStringList &ids,
                   const QString &field = LiturgyIndex);

// Deletes every row whose field equals the value; the cursor goes to the first row left.
int DeleteRowsWhere(TDACDSDataTable &table, const QString &field, const QString &value);

// The set-up wizard edits the same links by the same rule.
using TemplateLinks::AddFunctionToTemplate;
using TemplateLinks::LinkNodeText;
using TemplateLinks::RemoveFunctionFromTemplate;
using TemplateLinks::TTemplateLink;

// One choice of the standard duration.
struct TDuration
{
    QString Text;
    int Minutes = 0;
};
// 5 to 25 minutes in fives, 30 and 45 minutes, then 1 to 12 hours in half hours (30 entries);
// minutesText and hoursText are the unit words, the half hours in the locale's number format.
QList<TDuration> DurationList(const QString &minutesText, const QString &hoursText, const QLocale &locale = QLocale());
// The entry's text for a stored minute count; one no entry has shows as minutes.
QString DurationText(const QList<TDuration> &list, int minutes, const QString &minutesText);
// The minute count of an entry's text; nullopt when the text is none of them.
std::optional<int> DurationMinutes(const QList<TDuration> &list, const QString &text);

// A stored option read as a Boolean: "0" false, any other number true, the words true and
// false in any letter case; anything else is the default.
bool ParseSettingBool(const QString &text, bool defaultValue);
// "HH:mm" as stored; an unreadable text gives the default.
QString ParseSettingTime(const QString &text, const QString &defaultValue);

// Colours as the database keeps them: red in the low byte, then green, then blue.
int RgbIntFromColor(const QColor &color);
QColor ColorFromRgbInt(int value);
// The sixteen HTML 4 colour names, in the standard's order.
QStringList Html4ColorNames();

// The three mail keys, as the mail page shows them.
struct TMailAddresses
{
    QString Server;
    QString Sender;
    QString Return;
};
// The server, sender and reply address of the host's mail configuration; nullopt when the
// configuration is not there.
std::optional<TMailAddresses> MailFromConfiguration(const QVariant &configuration);
// A stored value wins; an empty one is taken from the configuration.
TMailAddresses MergeMail(const TMailAddresses &stored, const TMailAddresses &configured);

} // namespace SettingsRules
