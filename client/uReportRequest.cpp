#include "client/uReportRequest.h"

#include "foundation/uCommon.h"

namespace ReportRequest {

QString PeriodCondition(const QDate &from, const QDate &to)
{
    // Less than the day after: every time of the last day is in.
    return QStringLiteral("tblEvents.StartDateTime >= %1 AND tblEvents.StartDateTime < %2")
        .arg(DateToSQLLiteral(from), DateToSQLLiteral(to.addDays(1)));
}

TReportComposition Compose(const TReportChoice &choice, const TReportCaller &caller, bool overrideFits)
{
    const TBaseReportDef &definition = *choice.Definition;
    TReportComposition composition;
    TReportRequest &request = composition.Request;
    request.TemplateName = definition.TemplateName(choice.Portrait);
    request.DataSource = definition.DataSource;
    request.OrderBy = definition.OrderBy;
    composition.WordTemplate = definition.WordTemplateName(choice.Portrait);
    if (caller.Overrides() && overrideFits) {
        request.DataSource = caller.DataSource;
        request.Criteria = caller.Criteria;
    }
    composition.KeepsExtraPeriod = choice.PeriodVisible;

    const QString &category = caller.Category;
    if (ReportCategory::IsPeriodic(category)) {
        request.Criteria = QLatin1Char(' ') + PeriodCondition(choice.From, choice.To);
        if (definition.ReportID == ReportID::DidNotAttend)
            request.Criteria += QStringLiteral(" AND MemberNotAttended = 1");
        composition.KeepsPeriod = true;
    } else {
        if (ReportCategory::Holds(category, ReportCategory::Families) && choice.AllChecked) {
            request.Criteria = QStringLiteral(" NOT PK_FamilyID IS NULL");
        } else if (choice.SelectedEnabled && choice.SelectedChecked) {
            // Nothing selected would otherwise be no condition at all: every record.
            if (caller.Selection.isEmpty())
                composition.NothingSelected = true;
            QStringList terms;
            for (const QString &item : caller.Selection)
                terms << QLatin1Char('(') + item + QLatin1Char(')');
            request.Criteria = terms.join(QStringLiteral(" or "));
        }
        if (ReportCategory::Holds(category, ReportCategory::Groups)) {
            const bool label = definition.IsLabelReport();
            if ((label && choice.AllChecked) || (!label && definition.ReportType == ReportType::List && request.Criteria.isEmpty()))
                request.Criteria = caller.ProviderCriteria;
        }
        if (definition.ReportID == ReportID::GroupLabels)
            request.Criteria.replace(QStringLiteral("theID"), QStringLiteral("PK_GroupID"));
        else if (definition.ReportID == ReportID::FamilyLabels)
            request.Criteria.replace(QStringLiteral("theID"), QStringLiteral("PK_FamilyID"));
        if (definition.SupportsPeriod) {
            if (!request.Criteria.isEmpty())
                request.Criteria += QStringLiteral(" AND ");
            request.Criteria += QStringLiteral(" (") + PeriodCondition(choice.ExtFrom, choice.ExtTo) + QLatin1Char(')');
        }
    }

    if (ReportCategory::Holds(category, ReportCategory::Contacts) && definition.IsLabelReport() && choice.LabelAddress) {
        request.DataSource = LabelsInFamily;
        request.OrderBy = LabelsInFamilyOrder;
    }

    if (choice.Word)
        composition.Output = TReportComposition::Route::Word;
    else if (choice.Preview)
        composition.Output = TReportComposition::Route::Preview;
    else
        composition.Output = TReportComposition::Route::Print;
    request.Print = composition.Output == TReportComposition::Route::Print;
    return composition;
}

} // namespace ReportRequest
