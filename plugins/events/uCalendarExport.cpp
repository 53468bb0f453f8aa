#include "plugins/events/uCalendarExport.h"

#include <QSaveFile>
#include <QUuid>

#include <libical/ical.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace {

struct ComponentFree
{
    void operator()(icalcomponent *c) const { icalcomponent_free(c); }
};

// Floating local time: the appointment keeps its clock time wherever it is opened, as the
// liturgy does.
icaltimetype LocalTime(const QDateTime &t)
{
    icaltimetype v = icaltime_null_time();
    v.year = t.date().year();
    v.month = t.date().month();
    v.day = t.date().day();
    v.hour = t.time().hour();
    v.minute = t.time().minute();
    v.second = t.time().second();
    v.is_date = 0;
    return v;
}

QByteArray Utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

QByteArray CalendarText(const QList<TIcsEvent> &events)
{
    std::unique_ptr<icalcomponent, ComponentFree> calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    if (!calendar)
        throw std::runtime_error("The calendar could not be made");
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Kestrova//Quorva calendar//EN"));
    const icaltimetype stamp = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    for (const TIcsEvent &e : events) {
        icalcomponent *event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        icalcomponent_add_property(event, icalproperty_new_uid(Utf8(e.Uid).constData()));
        icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
        icalcomponent_add_property(event, icalproperty_new_dtstart(LocalTime(e.Start)));
        icalcomponent_add_property(event, icalproperty_new_dtend(LocalTime(e.Finish)));
        icalcomponent_add_property(event, icalproperty_new_summary(Utf8(e.Summary).constData()));
        if (!e.Location.isEmpty())
            icalcomponent_add_property(event, icalproperty_new_location(Utf8(e.Location).constData()));
        if (!e.Description.isEmpty()) {
            // The details use carriage returns between lines; the file format wants line feeds.
            QString text = e.Description;
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
            icalcomponent_add_property(event, icalproperty_new_description(Utf8(text).constData()));
        }
        if (!e.Categories.isEmpty())
            icalcomponent_add_property(event, icalproperty_new_categories(Utf8(e.Categories).constData()));
        // Busy.
        icalcomponent_add_property(event, icalproperty_new_transp(ICAL_TRANSP_OPAQUE));
        icalcomponent_add_component(calendar.get(), event);
    }
    char *text = icalcomponent_as_ical_string_r(calendar.get());
    if (!text)
        throw std::runtime_error("The calendar could not be written as text");
    const QByteArray result(text);
    std::free(text);
    return result;
}

void WriteCalendarFile(const QString &path, const QList<TIcsEvent> &events)
{
    const QByteArray text = CalendarText(events);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw std::runtime_error(QStringLiteral("The calendar file %1 could not be written: %2").arg(path, file.errorString()).toStdString());
}

QString NewSynchID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral("@kestrova");
}
