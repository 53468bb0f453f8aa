#include "plugins/events/uScheduleRules.h"

#include "plugins/events/uEventsCommon.h"

#include "dataaccess/TDACDSDataTable.h"

TSchedulePeriod TScheduleRules::SuggestPeriod(QDate start, QDate end, const QDate &today,
                                              const std::function<int(const TSchedulePeriod &)> &count)
{
    if (!start.isValid())
        start = today;
    if (!end.isValid())
        end = start.addMonths(3);
    TSchedulePeriod period{start, end};
    // The moved end stays more than 5 days after the start.
    while (count(period) > MaxSuggestedEvents && period.End.addDays(-ShrinkDays) > period.Start.addDays(ShrinkDays))
        period.End = period.End.addDays(-ShrinkDays);
    return period;
}

bool TScheduleRules::SuggestedPeriodHolds(const TSchedulePeriod &period, const QDateTime &eventStart)
{
    return eventStart >= QDateTime(period.Start, QTime(0, 0)) && eventStart <= QDateTime(period.End, QTime(0, 0));
}

bool TScheduleRules::FilterHolds(const TSchedulePeriod &period, const QDateTime &eventStart)
{
    return eventStart >= QDateTime(period.Start, QTime(0, 0)) && eventStart < QDateTime(period.End.addDays(1), QTime(0, 0));
}

QDateTime TScheduleRules::NewEventStart(const QDateTime &now)
{
    const QTime time = now.time();
    return QDateTime(now.date(), QTime(time.hour(), time.minute() >= 30 ? 30 : 0));
}

bool TScheduleRules::IsComplete(const QString &colorId)
{
    return colorId.compare(EventColor::Complete, Qt::CaseInsensitive) == 0;
}

QString TScheduleRules::ToggledComplete(const QString &colorId, const QString &assignmentColor)
{
    return IsComplete(colorId) ? assignmentColor : EventColor::Complete;
}

bool TScheduleRules::AssignMember(TDACDSDataTable &rows, const TSearchObjectList &hits, const std::optional<QVariant> &position)
{
    if (hits.isEmpty() || !rows.GetActive() || rows.Eof())
        return false;
    const TSearchObject &member = hits.first().Object;
    rows.Edit();
    try {
        rows.SetValue(QStringLiteral("F_MinistryMemberID"), SearchMemberID(member));
        rows.SetValue(QStringLiteral("F_MinistryMemberTypeID"), member.TypeID);
        rows.SetValue(QStringLiteral("FlagMinister"), member.Flag);
        rows.SetValue(QStringLiteral("MemberCaption"), SearchMemberName(member, hits.first().Text));
        if (position)
            rows.SetValue(QStringLiteral("MemberPosition"), *position);
        rows.SetValue(QStringLiteral("MemberLocked"), true);
        rows.Post();
    } catch (...) {
        rows.Cancel();
        throw;
    }
    return true;
}

void TScheduleRules::ClearMember(TDACDSDataTable &rows, const QVariant &position)
{
    if (!rows.GetActive() || rows.Eof())
        return;
    rows.Edit();
    try {
        rows.SetValue(QStringLiteral("F_MinistryMemberID"), QVariant());
        rows.SetValue(QStringLiteral("F_MinistryMemberTypeID"), QVariant());
        rows.SetValue(QStringLiteral("MemberCaption"), QString());
        rows.SetValue(QStringLiteral("MemberNotAttended"), false);
        rows.SetValue(QStringLiteral("MemberLocked"), false);
        rows.SetValue(QStringLiteral("MemberPosition"), position);
        rows.SetValue(QStringLiteral("FlagMinister"), false);
        rows.Post();
    } catch (...) {
        rows.Cancel();
        throw;
    }
}

bool TScheduleRules::MemberFieldsEditable(const QVariant &memberId)
{
    return !DAIsNull(memberId) && !memberId.toString().isEmpty();
}

QString TScheduleRules::HelpTopic(bool filterShown)
{
    return filterShown ? QStringLiteral("Schedule_filter") : QStringLiteral("Schedule");
}

QColor TScheduleRules::LabelColor(const QVariant &windowsColor)
{
    if (DAIsNull(windowsColor))
        return {};
    const quint32 value = windowsColor.toUInt();
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
