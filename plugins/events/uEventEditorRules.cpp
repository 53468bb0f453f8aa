#include "plugins/events/uEventEditorRules.h"

#include "plugins/events/uDAEvents.h"
#include "plugins/events/uScheduleRules.h"

#include "client/api/HostInterfaces.h"
#include "dataaccess/TDAWhere.h"
#include "ui/PromptService.h"

#include <QLocale>

TEventEditorRules::TEventEditorRules(TDAEvents &data, TextSource text) : m_data(data), m_text(std::move(text))
{
}

void TEventEditorRules::Prepare(bool isNew)
{
    m_isNew = isNew;
    m_durations = DurationEntries(m_text(3038), m_text(2568), m_text(2567));
}

TvoMinutes TEventEditorRules::Duration(int minutes) const
{
    const int index = DurationIndex(m_durations, minutes);
    return index >= 0 ? m_durations[index] : DurationEntry(minutes, m_text(3038), m_text(2568), m_text(2567));
}

QString TEventEditorRules::Caption() const
{
    return m_isNew ? QStringLiteral("Create a new Liturgy") : QStringLiteral("Edit Liturgy");
}

QString TEventEditorRules::HelpTopic() const
{
    return m_isNew ? QStringLiteral("Cal_add_a_singel_liturgy") : QStringLiteral("cal_edit_liturgy");
}

TEventEditorRules::CloseDecision TEventEditorRules::DecideClose(bool viaOk) const
{
    if (viaOk || !m_modified)
        return viaOk ? CloseDecision::Save : CloseDecision::Close;
    switch (Prompt().Ask(nullptr, QMessageBox::Warning, m_text(5410), m_text(5409),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return CloseDecision::Save;
    case QMessageBox::No:
        return CloseDecision::Close;
    default:
        return CloseDecision::KeepOpen;
    }
}

QString TEventEditorRules::FunctionCountText() const
{
    const TDACDSDataTable &rows = Rows();
    if (!rows.GetActive())
        return m_text(3017);
    return m_text(3037) + QLatin1Char(' ') + QString::number(rows.GetRecordCount());
}

QString TEventEditorRules::RecurrenceText(const QDate &start, const QDate &end, int count) const
{
    const QLocale locale;
    return m_text(3039) + QLatin1Char(' ') + locale.toString(start, QLocale::ShortFormat) + QStringLiteral(" - ")
        + locale.toString(end, QLocale::ShortFormat) + QStringLiteral(" ( ") + QString::number(count) + QLatin1Char(' ')
        + m_text(3043) + QStringLiteral(") ");
}

TDACDSDataTable &TEventEditorRules::Rows() const
{
    return m_data.DAScheduledMinistryFunctions;
}

void TEventEditorRules::AddFunction(const QString &functionId, const QString &liturgyId)
{
    TDACDSDataTable &rows = Rows();
    rows.Insert();
    if (!liturgyId.isEmpty())
        rows.SetValue(QStringLiteral("F_ScheduledLiturgyID"), liturgyId);
    rows.SetValue(QStringLiteral("F_MinistryFunctionID"), functionId);
    rows.Post();
    if (m_activated)
        m_modified = true;
}

void TEventEditorRules::RemoveCurrent()
{
    TDACDSDataTable &rows = Rows();
    if (rows.GetState() != TDATableState::dsBrowse)
        rows.Post();
    if (!rows.Eof())
        rows.Delete();
    m_modified = true;
}

void TEventEditorRules::RemoveAllFunctions()
{
    // Each row goes as a deletion, so in edit mode the old rows leave the server too.
    TDACDSDataTable &rows = Rows();
    if (rows.GetState() != TDATableState::dsBrowse)
        rows.Post();
    rows.ClearRows();
}

bool TEventEditorRules::AskReplaceByTemplate() const
{
    if (Rows().GetRecordCount() == 0)
        return true;
    return Prompt().Ask(nullptr, QMessageBox::Warning, m_text(3048), m_text(3047), QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No)
        == QMessageBox::Yes;
}

bool TEventEditorRules::AskRemoveAll() const
{
    return Prompt().Ask(nullptr, QMessageBox::Warning, m_text(3049), m_text(3050), QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No)
        == QMessageBox::Yes;
}

void TEventEditorRules::AddFunctionsFromTemplate(const QString &ministryTemplateId, const QString &liturgyId)
{
    RemoveAllFunctions();
    TDACDSDataTable &links = m_data.DALnkMinistryTemplateToMinistryFunction;
    links.Close();
    links.SetWhere(TDAWhere().AddCondition(QStringLiteral("F_MinistryTemplateID"), TDAWhereOperator::woEqual, ministryTemplateId));
    links.Open();
    // The condition narrows the read where the server takes it; the filter makes sure.
    links.SetFilter([&ministryTemplateId](const TDACDSDataTable::TDARecord &r) {
        return r.Value(QStringLiteral("F_MinistryTemplateID")).toString().compare(ministryTemplateId, Qt::CaseInsensitive) == 0;
    });
    links.Sort(QStringLiteral("SortIndex"));
    TDACDSDataTable &rows = Rows();
    for (links.First(); !links.Eof(); links.Next()) {
        const int count = links.AsInteger(QStringLiteral("MinistryFunctionCount"));
        for (int i = 0; i < count; ++i) {
            rows.Insert();
            rows.SetValue(QStringLiteral("F_MinistryFunctionID"), links.Value(QStringLiteral("F_MinistryFunctionID")));
            if (!liturgyId.isEmpty())
                rows.SetValue(QStringLiteral("F_ScheduledLiturgyID"), liturgyId);
            rows.Post();
        }
    }
    links.ClearFilter();
    m_modified = true;
}

bool TEventEditorRules::PickMember(const TSearchObjectList &hits, const QDate &day)
{
    if (hits.isEmpty())
        return false;
    if (m_data.ContactIsInUse(hits.first().Object, QDateTime(day, QTime(0, 0))))
        return false;
    // The editor's grid keeps the position the row has.
    if (!TScheduleRules::AssignMember(Rows(), hits, std::nullopt))
        return false;
    m_modified = true;
    return true;
}

void TEventEditorRules::ClearMember()
{
    TDACDSDataTable &rows = Rows();
    if (rows.Eof())
        return;
    // The editor's grid shows the position "0" where the schedule shows none.
    TScheduleRules::ClearMember(rows, QStringLiteral("0"));
    m_modified = true;
}

void TMinisterFlagHint::Move(bool overSetFlag, const QString &comments)
{
    if (!overSetFlag) {
        m_visible = false;
        return;
    }
    if (comments != m_text) {
        m_text = comments;
        m_visible = false;
        return;
    }
    m_visible = true;
}
