// The calendar's own settings: its working day, the month watermark and the standard duration
// of new liturgies. The calendar owns, loads and saves them; the options dialog edits them.
#pragma once

#include <QTime>

struct TvoEventSettings
{
    QTime WorkdayStart{8, 0};
    QTime WorkdayEnd{16, 0};
    bool ShowMonthNumber = false;
    int StandardDuration = 60;
};
