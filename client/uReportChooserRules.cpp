#include "client/uReportChooserRules.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace ReportChooserRules {

namespace {

bool CaptionLess(const QString &a, const QString &b)
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

} // namespace

TCategorySetup ForCategory(const QString &category)
{
    TCategorySetup setup;
    if (category == ReportCategory::SystemSettings) {
        setup.AllChecked = true;
        setup.ShowPrintBox = false;
    } else if (ReportCategory::Holds(category, ReportCategory::Contacts)) {
        setup.SelectedCaption = {5006, 3030};
        setup.AllCaption = {5007, 3030};
    } else if (ReportCategory::Holds(category, ReportCategory::Families)) {
        setup.SelectedCaption = {3043};
        setup.AllCaption = {3044};
        setup.ShowLabelAddress = false;
    } else if (ReportCategory::Holds(category, ReportCategory::Groups)) {
        setup.SelectedCaption = {3045};
        setup.AllCaption = {3046};
        setup.ShowLabelAddress = false;
    } else if (ReportCategory::IsPeriodic(category)) {
        setup.AllChecked = true;
        setup.ShowLabelAddress = false;
        setup.ShowRecordChoice = false;
        setup.ShowPeriod = true;
    }
    return setup;
}

int CategoryCaption(const TBaseReportDef &definition, const QString &dialogCategory)
{
    if (definition.IsLabelReport())
        return 5010;
    if (definition.ReportType == ReportType::List)
        return ReportCategory::IsPeriodic(dialogCategory) ? 5514 : 5011;
    if (definition.ReportType == ReportType::Summary)
        return 5516;
    return 5009;
}

TNodeDetail ForCategoryNode(const TBaseReportDef &first, const QString &)
{
    TNodeDetail detail;
    if (first.IsLabelReport()) {
        detail.Caption = 5500;
        detail.Text = 5501;
    } else if (first.ReportType == ReportType::List) {
        detail.Caption = 5510;
        detail.Text = 5511;
        const QString &categories = first.Category;
        if (ReportCategory::Holds(categories, ReportCategory::Contacts) || ReportCategory::Holds(categories, ReportCategory::Families) ||
            ReportCategory::Holds(categories, ReportCategory::Groups) || ReportCategory::Holds(categories, ReportCategory::SystemSettings))
            detail.Text = 5517;
        if (ReportCategory::IsPeriodic(categories))
            detail.Caption = 5514;
    } else if (first.ReportType == ReportType::Summary) {
        detail.Caption = 5516;
        detail.Text = 5515;
    }
    return detail;
}

TNodeDetail ForReportNode(const TBaseReportDef &definition, const QString &dialogCategory)
{
    TNodeDetail detail;
    detail.CanPreview = true;
    detail.CanWord = definition.SupportsWord;
    detail.ShowExtraPeriod = definition.SupportsPeriod;
    if (definition.IsLabelReport()) {
        detail.Kind = TNodeDetail::Panel::Label;
        detail.Caption = 5500;
    } else {
        detail.Kind = TNodeDetail::Panel::Report;
        detail.Caption = definition.ReportType == ReportType::Summary ? 5516 : ReportCategory::IsPeriodic(dialogCategory) ? 5514 : 5510;
        detail.ShowOrientation = definition.OffersOrientation();
    }
    // A group list prints what the groups view shows: it has no record choice.
    detail.RecordChoiceEnabled = definition.IsLabelReport() || definition.Category != ReportCategory::Groups;
    return detail;
}

bool Listed(const TBaseReportDef &definition, const QString &dialogCategory, const QString &familiesExclusion)
{
    return !(dialogCategory == ReportCategory::Families && !familiesExclusion.isEmpty() && definition.ReportID == ReportID::GroupLabels);
}

QList<TTreeGroup> BuildTree(const TReportDefinitionList &definitions, const QString &dialogCategory,
                            const QString &familiesExclusion, const std::function<QString(int)> &text)
{
    QList<TTreeGroup> groups;
    for (const auto &definition : definitions) {
        if (!Listed(*definition, dialogCategory, familiesExclusion))
            continue;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const TTreeGroup &g) { return g.First->ReportType == definition->ReportType; });
        if (group == groups.end()) {
            groups.append(TTreeGroup{text(CategoryCaption(*definition, dialogCategory)), definition.get(), {}});
            group = groups.end() - 1;
        }
        group->Reports.append(definition.get());
    }
    std::stable_sort(groups.begin(), groups.end(), [](const TTreeGroup &a, const TTreeGroup &b) { return CaptionLess(a.Caption, b.Caption); });
    for (TTreeGroup &group : groups)
        std::stable_sort(group.Reports.begin(), group.Reports.end(),
                         [](const TBaseReportDef *a, const TBaseReportDef *b) { return CaptionLess(a->ReportTitle, b->ReportTitle); });
    return groups;
}

int SystemSettingsNode(int selectionIndex)
{
    switch (selectionIndex) {
    case 0: return 2;
    case 1: return 1;
    case 2: return 3;
    case 3: return 4;
    case 4: return 5;
    default: return -1;
    }
}

QDate SettingDate(const QString &text)
{
    const QString value = text.trimmed();
    QDate date = QDate::fromString(value, Qt::ISODate);
    if (!date.isValid())
        date = QDate::fromString(value, QStringLiteral("M/d/yyyy"));
    if (!date.isValid())
        date = QLocale().toDate(value, QLocale::ShortFormat);
    if (!date.isValid())
        date = QDateTime::fromString(value, Qt::ISODate).date();
    return date.isValid() ? date : QDate::currentDate();
}

QString SettingText(const QDate &date)
{
    return date.toString(Qt::ISODate);
}

} // namespace ReportChooserRules
