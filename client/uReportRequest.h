// What the host makes of a choice in the report chooser: the report request for the preview,
// the printer or the Word output (template, data source, ORDER BY, criteria), composed only in
// the shapes the server's criteria reader accepts (docs/reports.md).
#pragma once

#include "client/uReportDefinitions.h"

#include <QDate>
#include <QString>
#include <QStringList>

// The request the preview operation takes, in its order.
struct TReportRequest
{
    QString TemplateName;
    QString DataSource;
    bool ShowSetupDialog = false;  // direct PDF output only
    QString TargetPdf;             // empty for the screen and the printer
    bool Print = false;
    QString OrderBy;
    QString Criteria;

    bool operator==(const TReportRequest &other) const = default;
};

// What the plug-in passed with its request.
struct TReportCaller
{
    QString Category;
    // Record conditions ("(PK_ContactID='{…}')"), one per selected record.
    QStringList Selection;
    // The text of the caller's criteria provider; empty without one.
    QString ProviderCriteria;
    QString FamiliesExclusion;
    QString OverrideMarker;
    QString DataSource;
    QString Criteria;

    bool Overrides() const { return OverrideMarker == ReportOverrideMarker; }
};

// The state of the chooser when the user confirmed.
struct TReportChoice
{
    const TBaseReportDef *Definition = nullptr;
    bool Preview = false;
    bool Word = false;
    bool Portrait = true;
    bool AllChecked = false;
    bool SelectedChecked = false;
    bool SelectedEnabled = false;
    bool LabelAddress = false;
    bool PeriodVisible = false;  // the extra period of a definition that supports one
    QDate From;
    QDate To;
    QDate ExtFrom;
    QDate ExtTo;
};

struct TReportComposition
{
    enum class Route { Preview, Print, Word };

    Route Output = Route::Preview;
    TReportRequest Request;
    QString WordTemplate;
    // "Selected" was chosen with no record selected: nothing is to be printed.
    bool NothingSelected = false;
    // Which periods the user settings keep.
    bool KeepsPeriod = false;
    bool KeepsExtraPeriod = false;
};

namespace ReportRequest {

// The label-address data source of the contacts' label reports, and its order.
inline const QString LabelsInFamily = QStringLiteral("DARptLabelsContactsInFamily");
inline const QString LabelsInFamilyOrder = QStringLiteral(
    "CASE WHEN FamilyName IS NULL THEN UPPER(LastName) + ' ' + Upper(FirstName) ELSE Upper(FamilyName) END");

// The condition of a period from its first to its last day, the whole last day included.
QString PeriodCondition(const QDate &from, const QDate &to);

// overrideFits: whether the caller's data source serves the chosen report (the host checks
// the template's fields against it); when it does not, the definition's own data is used.
TReportComposition Compose(const TReportChoice &choice, const TReportCaller &caller, bool overrideFits = true);

} // namespace ReportRequest
