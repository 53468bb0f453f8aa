#include "server/services/ReportCriteria.h"

#include "foundation/QorDateTime.h"
#include "server/services/ClientSqlCondition.h"

#include <QDateTime>

namespace ReportCriteria {

namespace {

// The columns the host's report criteria name: the period of calendar and schedule reports,
// the selections of the contacts, families and groups views, and the groups view's own
// where-clause. Each stands for itself in the report statements, which keep the table names.
const QStringList &CriteriaColumns()
{
    static const QStringList columns = {
        QStringLiteral("tblEvents.StartDateTime"),
        QStringLiteral("tblScheduledMinistryFunctions.MemberNotAttended"),
        QStringLiteral("tblGroups.PK_GroupID"),
        QStringLiteral("tblLnkServingPrefrence.F_MinistryFunctionID"),
        QStringLiteral("tblLnkServingPrefrence.F_ContactID"),
        QStringLiteral("tblLnkServingPrefrence.ContactCanFillIn"),
        QStringLiteral("tblServingPrefrenceLiturgy.F_LiturgyTemplateID"),
        QStringLiteral("tblContacts.PK_ContactID"),
        QStringLiteral("tblFamilies.PK_FamilyID"),
        QStringLiteral("PK_ContactID"),
        QStringLiteral("PK_FamilyID"),
        QStringLiteral("PK_GroupID"),
        QStringLiteral("theID"),
    };
    return columns;
}

const TClientSqlVocabulary &CriteriaVocabulary()
{
    static const TClientSqlVocabulary vocabulary = [] {
        TClientSqlVocabulary v;
        for (const QString &column : CriteriaColumns())
            v.AddColumn(column, column);
        // Unqualified names the host writes, and what they mean in the report statements.
        v.AddColumn(QStringLiteral("StartDateTime"), QStringLiteral("tblEvents.StartDateTime"));
        v.AddColumn(QStringLiteral("MemberNotAttended"), QStringLiteral("tblScheduledMinistryFunctions.MemberNotAttended"));
        v.AddColumn(QStringLiteral("F_MinistryFunctionID"), QStringLiteral("tblLnkServingPrefrence.F_MinistryFunctionID"));
        // The groups view's "members without a liturgy" node.
        v.AddFixedText(QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblServingPrefrenceLiturgy)"),
                       QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN (SELECT F_ContactID FROM tblServingPrefrenceLiturgy)"));
        return v;
    }();
    return vocabulary;
}

// Sort keys: the dataset's own columns and the few expressions the host and the shipped
// definitions use, written for this database.
TClientSqlVocabulary OrderVocabulary(const TDASchemaDataset &dataset)
{
    TClientSqlVocabulary v;
    for (const TDAField &field : dataset.Fields)
        v.AddColumn(field.Name, field.Name);
    for (const QString &column : {QStringLiteral("tblEvents.StartDateTime"), QStringLiteral("tblContacts.LastName"),
                                  QStringLiteral("tblContacts.FirstName"), QStringLiteral("tblFamilies.FamilyName"),
                                  QStringLiteral("tblGroups.GroupName"), QStringLiteral("tblMinistryFunctions.MinistryFunctionName")})
        v.AddColumn(column, column);
    v.AddFixedText(QStringLiteral("CAST(tblEvents.StartDateTime AS DateTime)"), QStringLiteral("tblEvents.StartDateTime"));
    v.AddFixedText(QStringLiteral("CASE WHEN FamilyName IS NULL THEN UPPER(LastName) + ' ' + Upper(FirstName) ELSE Upper(FamilyName) END"),
                   QStringLiteral("CASE WHEN tblFamilies.FamilyName IS NULL THEN UPPER(tblContacts.LastName) || ' ' || "
                                  "UPPER(tblContacts.FirstName) ELSE UPPER(tblFamilies.FamilyName) END"));
    return v;
}

} // namespace

TReportFilter Build(const TDASchemaDataset &dataset, const QString &criteria, const QString &orderBy, bool likeAsEquality)
{
    TReportFilter filter;
    const TClientSqlCondition condition = TClientSqlCondition::Parse(criteria, CriteriaVocabulary());
    TClientSqlBuildOptions options;
    options.ParamPrefix = QStringLiteral("rpt_c");
    options.LikeAsEquality = likeAsEquality;
    const TClientSqlText sql = condition.BuildSQL(options);
    filter.Condition = sql.SQL;
    for (const TClientSqlParam &param : sql.Params) {
        TDAParam &p = filter.Values.Add(param.Name);
        switch (param.Value.typeId()) {
        case QMetaType::QDate:
            p.DataType = TDADataType::datDateTime;
            p.Value = WallClock(param.Value.toDate());
            break;
        case QMetaType::LongLong:
            p.DataType = TDADataType::datLargeInt;
            p.Value = param.Value;
            break;
        default:
            p.DataType = TDADataType::datString;
            p.Value = param.Value.toString();
            break;
        }
    }
    if (!condition.IsEmpty())
        for (const TClientSqlTerm &term : condition.Terms())
            if (term.Value.typeId() == QMetaType::QDate)
                filter.Dates << term.Value.toDate();
    filter.OrderBy = TClientSqlOrderBy::Parse(orderBy, OrderVocabulary(dataset)).BuildSQL();
    return filter;
}

} // namespace ReportCriteria
