// The report chooser's rules, apart from its window: which definitions it lists and under which
// category node, how it sets itself up for the caller's category, and what each node shows and
// allows. Captions are language text numbers.
#pragma once

#include "client/uReportDefinitions.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

namespace ReportChooserRules {

// How the print-range panel looks for the caller's category.
struct TCategorySetup
{
    bool ShowPrintBox = true;
    bool AllChecked = false;
    bool ShowRecordChoice = true;   // rbSelected, rbAll
    bool ShowLabelAddress = true;   // chkLBLAddress
    bool ShowPeriod = false;        // dtFrom, dtTo and their labels
    QList<int> SelectedCaption{5006};  // the texts of these numbers, joined
    QList<int> AllCaption{5007};
};
TCategorySetup ForCategory(const QString &category);

// What a tree node shows on the right and which actions and choices it allows.
struct TNodeDetail
{
    enum class Panel { Description, Label, Report };

    Panel Kind = Panel::Description;
    int Caption = 5012;
    int Text = 5013;                // the description panel's text
    bool RecordChoiceEnabled = false;  // rbAll, rbSelected
    bool ShowOrientation = false;
    bool ShowExtraPeriod = false;      // pnlDates
    bool CanPreview = false;           // preview and print
    bool CanWord = false;
};
// A category node, described by the first definition that made it.
TNodeDetail ForCategoryNode(const TBaseReportDef &first, const QString &dialogCategory);
TNodeDetail ForReportNode(const TBaseReportDef &definition, const QString &dialogCategory);

// The caption number of the category node a definition goes under.
int CategoryCaption(const TBaseReportDef &definition, const QString &dialogCategory);

// Whether the chooser lists the definition: the group labels stay out of the families' list
// when the caller asks so.
bool Listed(const TBaseReportDef &definition, const QString &dialogCategory, const QString &familiesExclusion);

// One category node and its reports, both in the order the tree shows them (by caption).
struct TTreeGroup
{
    QString Caption;
    const TBaseReportDef *First = nullptr;
    QList<const TBaseReportDef *> Reports;
};
QList<TTreeGroup> BuildTree(const TReportDefinitionList &definitions, const QString &dialogCategory,
                            const QString &familiesExclusion, const std::function<QString(int)> &text);

// The node (index in tree order, category and report nodes counted, all expanded) that the
// system settings' selection index picks; -1 for none.
int SystemSettingsNode(int selectionIndex);

// A date kept in a user setting: ISO text, or the month/day/year or locale forms of older
// settings; today for anything else.
QDate SettingDate(const QString &text);
// How a date is kept in a user setting.
QString SettingText(const QDate &date);

} // namespace ReportChooserRules
