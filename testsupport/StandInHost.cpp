#include "testsupport/StandInHost.h"

#include <stdexcept>

namespace kestrova::test {

using namespace Quorva;

QString TStandInHost::SpacedLine(const TLogEntry &entry)
{
    return QStringLiteral("%1 %2 %3: %4").arg(entry.Level).arg(entry.Sender, entry.Location, entry.Message);
}

QString TStandInHost::TabbedLine(const TLogEntry &entry)
{
    return QStringLiteral("%1\t%2\t%3\t%4").arg(entry.Level).arg(entry.Sender, entry.Location, entry.Message);
}

bool TStandInHost::Offers(const QUuid &id) const
{
    if (id == QorIID<IROHostConnection>())
        return Channel != nullptr;
    const std::pair<QUuid, THostPart> parts[] = {
        {QorIID<ISettings>(), THostPart::Settings},     {QorIID<ISearchHost>(), THostPart::Search},
        {QorIID<IHostApplication>(), THostPart::Application}, {QorIID<IAutoScheduleRunner>(), THostPart::Scheduler},
        {QorIID<IReportHost>(), THostPart::Reports},    {QorIID<IEmailHost>(), THostPart::Mail}};
    for (const auto &[part, flag] : parts) {
        if (id == part)
            return m_parts.testFlag(flag);
    }
    return true;
}

bool TStandInHost::queryInterface(const QUuid &id, void **object)
{
    if (!Offers(id)) {
        *object = nullptr;
        return false;
    }
    return QorQueryInterface<IHYHost, IROHostConnection, IUserHost, IHostLog, ISettings, ISearchHost, IHostApplication,
                             IAutoScheduleRunner, IReportHost, IEmailHost>(this, id, object);
}

void TStandInHost::WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message)
{
    const QString line = LogLine({level, sender, location, message});
    if (!line.isEmpty())
        Log << line;
}

void TStandInHost::SetUserSetting(const QString &key, const QString &value)
{
    if (key == RefusedSetting)
        throw std::runtime_error("The setting could not be saved");
    Settings[key] = value;
}

std::optional<QByteArray> TStandInHost::LoadUserBlob(const QString &name)
{
    if (!Blobs.contains(name))
        return std::nullopt;
    return Blobs.value(name);
}

void TStandInHost::SaveUserBlob(const QString &name, const QByteArray *stream)
{
    if (stream)
        Blobs[name] = *stream;
}

bool TStandInHost::ClearUserSetting(const QString &name)
{
    Cleared << name;
    const bool hadSetting = Settings.remove(name) > 0;
    const bool hadBlob = Blobs.remove(name) > 0;
    return hadSetting || hadBlob;
}

bool TStandInHost::PerformSearch(int kinds, const QString &caption, int, bool, const TSearchObjectList *preselected,
                                 const TSearchObjectList *, std::unique_ptr<TSearchObjectList> &result)
{
    SearchKinds << kinds;
    SearchCaption = caption;
    Preselected = preselected ? *preselected : TSearchObjectList();
    if (!SearchAnswer)
        return false;
    result = std::make_unique<TSearchObjectList>(*SearchAnswer);
    return true;
}

void TStandInHost::RunAutoScheduleWithProgress(const QStringList &templateIds, const QStringList &ministryFunctionIds,
                                               const QDateTime &fromDate, const QDateTime &toDate)
{
    Runs << TRun{templateIds, ministryFunctionIds, fromDate, toDate};
    if (OnRun)
        OnRun(Runs.last());
}

void TStandInHost::ShowReportDlg(const QString &category, const QStringList *selection, int count,
                                 IReportCriteriaProvider *criteriaProvider, int selectionIndex, const QString &familiesExclusion,
                                 const QString &overrideMarker, const QString &dataSource, const QString &criteria)
{
    Reports << TReportCall{category,
                           selection ? *selection : QStringList(),
                           selection != nullptr,
                           count,
                           criteriaProvider,
                           criteriaProvider ? criteriaProvider->GetCriteriaText() : QString(),
                           selectionIndex,
                           {familiesExclusion, overrideMarker, dataSource, criteria}};
    if (OnReport)
        OnReport(Reports.last());
}

void TStandInHost::GetReportDefinitionsText(const QString &category, QString &text)
{
    DefinitionsAsked = category;
    text = ReportDefinitions ? ReportDefinitions(category) : QString();
}

} // namespace kestrova::test
