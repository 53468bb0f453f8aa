// The calendar's export for other calendar programs: one iCalendar file (RFC 5545) with one
// VEVENT per event, keyed by the event's synchronisation id so that an import of a later
// export updates the same appointments instead of adding new ones.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

struct TIcsEvent
{
    QString Uid;
    QString Summary;
    QString Location;
    QString Description;
    QString Categories;
    QDateTime Start;
    QDateTime Finish;
};

// The calendar's text; raises when libical refuses it.
QByteArray CalendarText(const QList<TIcsEvent> &events);
// Writes the calendar whole or leaves the file as it was; raises on failure.
void WriteCalendarFile(const QString &path, const QList<TIcsEvent> &events);
// A new synchronisation id for an event that has none.
QString NewSynchID();
