// A generated parish for the scheduler's benchmark and its equivalence tests, and what a run
// leaves behind in it. A fixed seed: the same shape gives the same rows every time.
#pragma once

#include "testsupport/TestDatabase.h"

#include <QDate>
#include <QList>
#include <QStringList>

struct TParishShape
{
    int People = 100;
    int Months = 3;
    // Rows that make the ranking's corner cases common: a person listed twice for one function,
    // two preferred liturgies or weeks on one preference, liturgies without a template, two
    // liturgies at one time, a history start inside an earlier weekend.
    bool Quirks = false;
    // Share of the period's rows locked with a member, in percent.
    int LockedPercent = 2;
};

// The period starts on this Monday; one month of history with members comes before it.
QDate GeneratedParishStart();

// Fills an empty database at the current schema.
void GenerateParish(const kestrova::test::TestDatabase &db, const TParishShape &shape);

// Every function row (key, member, member type, flag) and every event (key, colour, flag),
// by key: what a run writes.
QList<QStringList> ScheduleOf(const kestrova::test::TestDatabase &db);
