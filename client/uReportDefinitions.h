// The report definitions the server sends for a category: one comma-delimited line of 19 fields
// per definition, read into a label report or a list report; the categories and report types
// the host knows; and the few definitions the host treats apart.
#pragma once

#include "foundation/uCommon.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace ReportCategory {
inline const QString Contacts = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
inline const QString Calendar = QStringLiteral("{00000000-0000-0000-0000-000000000002}");
inline const QString SystemSettings = QStringLiteral("{00000000-0000-0000-0000-000000000003}");
inline const QString Families = QStringLiteral("{00000000-0000-0000-0000-000000000004}");
inline const QString Groups = QStringLiteral("{00000000-0000-0000-0000-000000000005}");
inline const QString Schedule = QStringLiteral("{00000000-0000-0000-0000-000000000006}");
// Categories are held as text that may list several: a category is matched by containment.
inline bool Holds(const QString &categories, const QString &category) { return categories.contains(category); }
inline bool IsPeriodic(const QString &categories) { return Holds(categories, Calendar) || Holds(categories, Schedule); }
} // namespace ReportCategory

namespace ReportType {
inline const QString Label = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
inline const QString List = QStringLiteral("{00000000-0000-0000-0000-000000000002}");
inline const QString Summary = QStringLiteral("{00000000-0000-0000-0000-000000000003}");
} // namespace ReportType

namespace ReportID {
inline const QString GroupLabels = QStringLiteral("{01EFEDD6-276A-4E16-A941-6834110014C5}");
inline const QString FamilyLabels = QStringLiteral("{0A73D051-824B-46FD-B1BC-9929C6E6A348}");
inline const QString DidNotAttend = QStringLiteral("{DB5B1540-9097-4C6A-B803-0666B6A832C7}");
} // namespace ReportID

// The caller's data source and criteria stand in for the definition's when it passes this.
inline const QString ReportOverrideMarker = QStringLiteral("{00000000-0000-0000-0000-000000000001}");

class TBaseReportDef
{
public:
    static constexpr int kFieldCount = 19;

    virtual ~TBaseReportDef() = default;
    virtual bool IsLabelReport() const { return false; }

    QString ReportID;
    QString Category;
    QString ReportType;
    QString ReportName;
    QString ReportTitle;
    QString ReportCaption;
    QString DataSource;
    QString Description;  // its "#13" already carriage returns
    QString OrderBy;
    QString ReportFormat;
    QString ReportPaperFormat;
    QString ReportNameLandscape;
    QString ReportNamePortrait;
    bool SupportsWord = false;
    QString WordDocPortrait;
    QString WordDocLandscape;
    bool SupportsPeriod = false;

    // The orientation is offered when the definition names a portrait template.
    bool OffersOrientation() const { return !ReportNamePortrait.isEmpty(); }
    // The report template for the orientation chosen: the pair when it is offered, else the one name.
    QString TemplateName(bool portrait) const;
    QString WordTemplateName(bool portrait) const { return portrait ? WordDocPortrait : WordDocLandscape; }
};

class TLabelReportDef : public TBaseReportDef
{
public:
    bool IsLabelReport() const override { return true; }

    QString LabelWidth;
    QString LabelHeight;
};

// A list (type 2) or summary (type 3) report; it takes no label size.
class TReportReportDef : public TBaseReportDef
{
};

using TReportDefinitionList = std::vector<std::unique_ptr<TBaseReportDef>>;

namespace ReportDefinitions {

// A line read as a comma text (foundation/uCommon.h).
using ::SplitCommaText;

// The definition of one line's fields; none for a type the host does not know. A line of
// fewer than 19 fields or with a boolean that does not read is logged (Severe, "DMClient",
// "GetReportDefObject") and keeps the fields read until then.
std::unique_ptr<TBaseReportDef> ParseDefinition(const QStringList &fields);

// Every definition of the text, one per line, in the order of the lines; empty lines and
// unknown types are left out.
TReportDefinitionList ParseDefinitions(const QString &text);

} // namespace ReportDefinitions
