// Small records the events module's units share: the fixed ids, a scheduled function carried
// from an event to its copies, the duration list of the editor and the options dialog, the
// template entries of a choice list, and how a search hit names its member.
#pragma once

#include "foundation/uCommon.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <limits>

namespace EventColor {
inline const QString AllAssigned = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
inline const QString NoneAssigned = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
inline const QString SomeAssigned = QStringLiteral("{00000000-0000-0000-0000-000000000002}");
inline const QString Complete = QStringLiteral("{00000000-0000-0000-0000-000000000003}");
} // namespace EventColor

// One scheduled function of an event, as its copies take it.
struct TvoMinistryFunction
{
    QString MemberPosition;
    bool MemberLocked = false;
    QString F_MinistryFunctionId;
    QString F_MinistryMemberID;
    QString F_MinistryMemberTypeId;
    QString MemberCaption;
    bool FlagMinister = false;
};
using TvoMinistryFunctions = QList<TvoMinistryFunction>;

// One entry of a duration list: its text and its minutes.
struct TvoMinutes
{
    QString Text;
    int Minutes = 0;
};

// The longest duration an event keeps: its end is reckoned as start plus minutes * 60 seconds
// in an int.
constexpr int kMaxDurationMinutes = std::numeric_limits<int>::max() / 60;

// 5 to 720 minutes: five-minute steps below half an hour, then 30 and 45 minutes, then every
// half hour (30 entries). hourWord and minuteWord are the language's "hours" and "minutes"
// words, oneHourWord the word after "1"; the half hours show the locale's decimal separator
// ("1.5").
QList<TvoMinutes> DurationEntries(const QString &minuteWord, const QString &hourWord, const QString &oneHourWord,
                                  const QLocale &locale = QLocale());
// The entry of any other number of minutes ("75 minutes", "13 hours").
TvoMinutes DurationEntry(int minutes, const QString &minuteWord, const QString &hourWord, const QString &oneHourWord,
                         const QLocale &locale = QLocale());
// The index of the entry of exactly that many minutes, -1 when there is none.
int DurationIndex(const QList<TvoMinutes> &entries, int minutes);
// The minutes a typed text names: an entry's own text (any case), a whole number of minutes
// ("75", "75 min"), or a number followed by the hour word or its first letter ("1.5 h"); 0 when
// it names no whole number of minutes from 1 to kMaxDurationMinutes.
int DurationMinutesOfText(const QList<TvoMinutes> &entries, const QString &text, const QString &hourWord,
                          const QLocale &locale = QLocale());

// A liturgy template as an entry of a choice list.
struct TvoLiturgyTemplateData
{
    QString ID;
    QString Name;
    QString Text; // the name and its location
};
int FindTemplateIndex(const QList<TvoLiturgyTemplateData> &items, const QString &id);

// What a search hit holds, in its fields' order: the id, the kind, the type, the name and the
// first and last names of a contact, the contact's flag.
inline QString SearchMemberID(const TSearchObject &hit) { return hit.Caption; }
QString SearchMemberName(const TSearchObject &hit, const QString &listText);
