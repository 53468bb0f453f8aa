// What the event record asks of the event editor: the set-up before it is shown, one modal
// run, and the choices read after OK. The dialog implements it; tests give a scripted one.
#pragma once

#include "plugins/events/uEventsCommon.h"

#include <QDateTime>

#include <optional>

class TRecurrence;

class IEventEditor
{
public:
    virtual ~IEventEditor() = default;

    // Texts, mode and the lists (durations, templates, ministry templates).
    virtual void Prepare(bool isNew) = 0;
    virtual void SetRecurrence(TRecurrence *recurrence) = 0;
    virtual void SetEventDateTime(const QDateTime &start) = 0;
    virtual void SetEndDateTime(const QDateTime &end) = 0;
    // Preselects the entry of that many minutes; none when the list has no such entry.
    virtual void SetDurationMinutes(int minutes) = 0;
    // The template of that id; an empty id the first entry.
    virtual void SelectTemplate(const QString &templateId) = 0;
    // True on OK (also when the close question was answered Yes).
    virtual bool Execute() = 0;

    virtual std::optional<TvoLiturgyTemplateData> SelectedTemplate() const = 0;
    // The chosen date with the chosen time.
    virtual QDateTime Start() const = 0;
    // 0 when no duration is chosen.
    virtual int DurationMinutes() const = 0;
};
