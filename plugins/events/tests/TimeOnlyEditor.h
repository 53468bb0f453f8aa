// A planner's choice in the calendar's editor: one template at the time the calendar hands over,
// an hour long, no functions. The views' tests create liturgies through it without a dialog.
#pragma once

#include "plugins/events/uEventEditor.h"
#include "plugins/events/uEventEditorRules.h"

#include <QDateTime>
#include <QString>

class TTimeOnlyEditor : public IEventEditor
{
public:
    TTimeOnlyEditor(TDAEvents &data, QString templateId)
        : m_rules(data, [](int) { return QString(); }), m_templateId(std::move(templateId))
    {
    }
    void Prepare(bool isNew) override { m_rules.Prepare(isNew); }
    void SetRecurrence(TRecurrence *) override {}
    void SetEventDateTime(const QDateTime &start) override { m_start = start; }
    void SetEndDateTime(const QDateTime &) override {}
    void SetDurationMinutes(int) override {}
    void SelectTemplate(const QString &) override {}
    bool Execute() override
    {
        m_rules.Activate();
        return true;
    }
    std::optional<TvoLiturgyTemplateData> SelectedTemplate() const override
    {
        return TvoLiturgyTemplateData{m_templateId, QStringLiteral("Evening Mass"), QString()};
    }
    QDateTime Start() const override { return m_start; }
    int DurationMinutes() const override { return 60; }

private:
    TEventEditorRules m_rules;
    QString m_templateId;
    QDateTime m_start;
};
