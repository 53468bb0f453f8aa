// What the host makes of a choice in the report chooser: the request of each category with all
// and selected records, periods with their whole last day, families and groups, the label
// address; the chooser's tree and panels; and every composed request of every shipped
// definition sent to a real server, which accepts it.
#include "testsupport/ReportServerFixture.h"

#include "client/uReportChooser.h"
#include "client/uReportChooserRules.h"
#include "client/uReportRequest.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDADataStreamer.h"
#include "server/services/ReportDefinition.h"
#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

using namespace kestrova::test;
using ReportRequest::Compose;

namespace {

const QString kReports = QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports/");

// The shipped definitions, as the server sends them.
const TReportDefinitionList &Shipped()
{
    static const TReportDefinitionList definitions =
        ReportDefinitions::ParseDefinitions(ReportDefinition::GenerateReportDefinition(kReports, QString()));
    return definitions;
}

const TBaseReportDef &ShippedByTitle(const QString &title)
{
    for (const auto &d : Shipped())
        if (d->ReportTitle == title)
            return *d;
    ADD_FAILURE() << "no shipped report " << title.toStdString();
    static TReportReportDef none;
    return none;
}

TReportChoice Choice(const TBaseReportDef &definition, bool all, bool preview = true)
{
    TReportChoice choice;
    choice.Definition = &definition;
    choice.Preview = preview;
    choice.AllChecked = all;
    choice.SelectedChecked = !all;
    choice.SelectedEnabled = true;
    choice.From = QDate(2026, 3, 8);
    choice.To = QDate(2026, 3, 14);
    choice.ExtFrom = QDate(2026, 3, 1);
    choice.ExtTo = QDate(2026, 3, 31);
    return choice;
}

TReportCaller Caller(const QString &category, const QStringList &selection = {})
{
    TReportCaller caller;
    caller.Category = category;
    caller.Selection = selection;
    return caller;
}

QString ContactTerm(const QString &key)
{
    return QStringLiteral("(PK_ContactID='%1')").arg(key);
}

} // namespace

// --- composition ------------------------------------------------------------------------------

TEST(ReportComposition, ContactsPrintTheSelectedRecordsOrAll)
{
    const TBaseReportDef &list = ShippedByTitle(QStringLiteral("Contact list"));
    const TReportCaller caller = Caller(ReportCategory::Contacts, {ContactTerm(kJohn), ContactTerm(kQuentin)});
    const TReportComposition selected = Compose(Choice(list, false), caller);
    EXPECT_EQ(selected.Request, (TReportRequest{QStringLiteral("ContactList.rtm"), QStringLiteral("rptContacts"), false, QString(), false,
                                                QStringLiteral("LastName, FirstName"),
                                                QStringLiteral("((PK_ContactID='%1')) or ((PK_ContactID='%2'))").arg(kJohn, kQuentin)}));
    EXPECT_EQ(selected.Output, TReportComposition::Route::Preview);
    EXPECT_FALSE(selected.NothingSelected);

    const TReportComposition all = Compose(Choice(list, true, false), caller);
    EXPECT_TRUE(all.Request.Criteria.isEmpty());
    EXPECT_EQ(all.Output, TReportComposition::Route::Print);
    EXPECT_TRUE(all.Request.Print);
}

TEST(ReportComposition, SelectedWithNothingSelectedPrintsNothing)
{
    const TReportComposition composition =
        Compose(Choice(ShippedByTitle(QStringLiteral("Contact list")), false), Caller(ReportCategory::Contacts));
    EXPECT_TRUE(composition.NothingSelected);
    // A disabled choice is no choice: every record.
    TReportChoice disabled = Choice(ShippedByTitle(QStringLiteral("Contact list")), false);
    disabled.SelectedEnabled = false;
    EXPECT_FALSE(Compose(disabled, Caller(ReportCategory::Contacts)).NothingSelected);
}

TEST(ReportComposition, TheOrientationPicksTheTemplatesOfThePair)
{
    TReportChoice choice = Choice(ShippedByTitle(QStringLiteral("Contact list")), true);
    choice.Word = true;
    choice.Portrait = false;
    const TReportComposition landscape = Compose(choice, Caller(ReportCategory::Contacts));
    EXPECT_EQ(landscape.Request.TemplateName, QStringLiteral("ContactListL.rtm"));
    EXPECT_EQ(landscape.WordTemplate, QStringLiteral("ContactListL.docx"));
    EXPECT_EQ(landscape.Output, TReportComposition::Route::Word);
}

TEST(ReportComposition, ContactLabelsByFamilyTakeTheFamilyAddress)
{
    TReportChoice choice = Choice(ShippedByTitle(QStringLiteral("Contact labels")), true);
    choice.LabelAddress = true;
    const TReportRequest request = Compose(choice, Caller(ReportCategory::Contacts)).Request;
    EXPECT_EQ(request.DataSource, QStringLiteral("DARptLabelsContactsInFamily"));
    EXPECT_EQ(request.OrderBy, ReportRequest::LabelsInFamilyOrder);
    EXPECT_EQ(request.TemplateName, QStringLiteral("ContactLabels.rtm"));
    // Lists keep their own data.
    TReportChoice list = Choice(ShippedByTitle(QStringLiteral("Contact list")), true);
    list.LabelAddress = true;
    EXPECT_EQ(Compose(list, Caller(ReportCategory::Contacts)).Request.DataSource, QStringLiteral("rptContacts"));
}

TEST(ReportComposition, APeriodTakesItsWholeLastDay)
{
    for (const QString &category : {ReportCategory::Calendar, ReportCategory::Schedule}) {
        const TReportComposition composition = Compose(Choice(ShippedByTitle(QStringLiteral("Ministry schedule")), true), Caller(category));
        EXPECT_EQ(composition.Request.Criteria,
                  QStringLiteral(" tblEvents.StartDateTime >= #03/08/2026# AND tblEvents.StartDateTime < #03/15/2026#"));
        EXPECT_TRUE(composition.KeepsPeriod);
    }
    // The selection of the calendar does not narrow a period report.
    const TReportComposition selected =
        Compose(Choice(ShippedByTitle(QStringLiteral("Ministry schedule")), false), Caller(ReportCategory::Calendar, {QStringLiteral("x")}));
    EXPECT_FALSE(selected.Request.Criteria.contains(QLatin1String("x")));
    // Over a month's end.
    EXPECT_EQ(ReportRequest::PeriodCondition(QDate(2026, 2, 1), QDate(2026, 2, 28)),
              QStringLiteral("tblEvents.StartDateTime >= #02/01/2026# AND tblEvents.StartDateTime < #03/01/2026#"));
}

TEST(ReportComposition, DidNotAttendAddsTheMissedAssignments)
{
    EXPECT_EQ(Compose(Choice(ShippedByTitle(QStringLiteral("Did not attend")), true), Caller(ReportCategory::Schedule)).Request.Criteria,
              QStringLiteral(" tblEvents.StartDateTime >= #03/08/2026# AND tblEvents.StartDateTime < #03/15/2026# AND MemberNotAttended = 1"));
}

TEST(ReportComposition, FamiliesPrintAllFamiliesOrTheSelected)
{
    const TBaseReportDef &list = ShippedByTitle(QStringLiteral("Family list"));
    const TReportCaller caller = Caller(ReportCategory::Families, {QStringLiteral("(PK_FamilyID='%1')").arg(kAdams)});
    EXPECT_EQ(Compose(Choice(list, true), caller).Request.Criteria, QStringLiteral(" NOT PK_FamilyID IS NULL"));
    EXPECT_EQ(Compose(Choice(list, false), caller).Request.Criteria, QStringLiteral("((PK_FamilyID='%1'))").arg(kAdams));
    // The family labels read the families' key where a caller wrote "theID".
    TReportCaller theId = Caller(ReportCategory::Families, {QStringLiteral("theID='%1'").arg(kAdams)});
    EXPECT_EQ(Compose(Choice(ShippedByTitle(QStringLiteral("Family labels")), false), theId).Request.Criteria,
              QStringLiteral("(PK_FamilyID='%1')").arg(kAdams));
}

TEST(ReportComposition, GroupsTakeTheViewsDataAndCriteria)
{
    TReportCaller caller = Caller(ReportCategory::Groups, {QStringLiteral("(PK_ContactID LIKE '%1')").arg(kJohn)});
    caller.OverrideMarker = ReportOverrideMarker;
    caller.DataSource = QStringLiteral("rptDAContactsByGroups");
    caller.Criteria = QStringLiteral(" tblGroups.PK_GroupID='%1'").arg(kChoir);
    caller.ProviderCriteria = QStringLiteral(" theID LIKE '%1'").arg(kChoir);

    // A group list has no record choice: the view's own criteria.
    TReportChoice directory = Choice(ShippedByTitle(QStringLiteral("Group directory")), true);
    directory.SelectedEnabled = false;
    const TReportRequest list = Compose(directory, caller).Request;
    EXPECT_EQ(list.DataSource, QStringLiteral("rptDAContactsByGroups"));
    EXPECT_EQ(list.Criteria, caller.Criteria);
    EXPECT_EQ(list.OrderBy, QStringLiteral("MemberOf, Name"));
    // ... and the provider's when the view sent none.
    TReportCaller bare = caller;
    bare.Criteria.clear();
    EXPECT_EQ(Compose(directory, bare).Request.Criteria, caller.ProviderCriteria);

    // Labels of all members: the provider's criteria, its "theID" the group's key.
    const TBaseReportDef &labels = ShippedByTitle(QStringLiteral("Group labels"));
    EXPECT_EQ(Compose(Choice(labels, true), caller).Request.Criteria, QStringLiteral(" PK_GroupID LIKE '%1'").arg(kChoir));
    EXPECT_EQ(Compose(Choice(labels, false), caller).Request.Criteria, QStringLiteral("((PK_ContactID LIKE '%1'))").arg(kJohn));

    // A report the view's data cannot feed keeps its own.
    const TReportRequest own = Compose(Choice(ShippedByTitle(QStringLiteral("Group members")), true), caller, false).Request;
    EXPECT_EQ(own.DataSource, QStringLiteral("rptMinistrySchedule"));
    EXPECT_TRUE(own.Criteria.isEmpty());
}

TEST(ReportComposition, AReportOfAPeriodAddsTheExtraPeriodToItsCriteria)
{
    TReportReportDef definition;
    definition.ReportType = ReportType::List;
    definition.ReportName = QStringLiteral("ContactList.rtm");
    definition.DataSource = QStringLiteral("rptContacts");
    definition.SupportsPeriod = true;
    TReportChoice choice = Choice(definition, false);
    choice.PeriodVisible = true;
    const TReportComposition composition = Compose(choice, Caller(ReportCategory::Contacts, {ContactTerm(kJohn)}));
    EXPECT_EQ(composition.Request.Criteria,
              QStringLiteral("((PK_ContactID='%1')) AND  (tblEvents.StartDateTime >= #03/01/2026# AND tblEvents.StartDateTime < #04/01/2026#)")
                  .arg(kJohn));
    EXPECT_TRUE(composition.KeepsExtraPeriod);
    EXPECT_FALSE(composition.KeepsPeriod);
    EXPECT_EQ(Compose(Choice(definition, true), Caller(ReportCategory::Contacts)).Request.Criteria,
              QStringLiteral(" (tblEvents.StartDateTime >= #03/01/2026# AND tblEvents.StartDateTime < #04/01/2026#)"));
}

// --- the chooser's rules ----------------------------------------------------------------------

TEST(ReportChooserRules, TheTreeGroupsReportsByKindSortedByCaption)
{
    const TReportDefinitionList contacts =
        ReportDefinitions::ParseDefinitions(ReportDefinition::GenerateReportDefinition(kReports, ReportCategory::Contacts));
    const QList<ReportChooserRules::TTreeGroup> tree = ReportChooserRules::BuildTree(contacts, ReportCategory::Contacts, {},
                                                                                     [](int n) { return n == 5010 ? QStringLiteral("Labels") : n == 5011 ? QStringLiteral("Lists") : QStringLiteral("Reports"); });
    QStringList lines;
    for (const auto &group : tree) {
        lines << group.Caption;
        for (const TBaseReportDef *d : group.Reports)
            lines << QStringLiteral("  ") + d->ReportTitle;
    }
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Labels"), QStringLiteral("  Contact labels"), QStringLiteral("  Household labels"),
                                  QStringLiteral("Lists"), QStringLiteral("  Contact list"), QStringLiteral("Reports"),
                                  QStringLiteral("  Contact details"), QStringLiteral("  Minister verification")}));
}

TEST(ReportChooserRules, KindsCaptionTheirNodes)
{
    TLabelReportDef label;
    label.ReportType = ReportType::Label;
    TReportReportDef list;
    list.ReportType = ReportType::List;
    TReportReportDef summary;
    summary.ReportType = ReportType::Summary;
    EXPECT_EQ(ReportChooserRules::CategoryCaption(label, ReportCategory::Contacts), 5010);
    EXPECT_EQ(ReportChooserRules::CategoryCaption(list, ReportCategory::Contacts), 5011);
    EXPECT_EQ(ReportChooserRules::CategoryCaption(list, ReportCategory::Schedule), 5514);
    EXPECT_EQ(ReportChooserRules::CategoryCaption(summary, ReportCategory::Calendar), 5516);
}

TEST(ReportChooserRules, TheGroupLabelsLeaveTheFamiliesListWhenTheCallerAsks)
{
    TLabelReportDef groupLabels;
    groupLabels.ReportID = ReportID::GroupLabels;
    EXPECT_FALSE(ReportChooserRules::Listed(groupLabels, ReportCategory::Families, QStringLiteral("{G}")));
    EXPECT_TRUE(ReportChooserRules::Listed(groupLabels, ReportCategory::Families, QString()));
    EXPECT_TRUE(ReportChooserRules::Listed(groupLabels, ReportCategory::Groups, QStringLiteral("{G}")));
}

TEST(ReportChooserRules, NodesShowTheirPanelAndAllowWhatTheirReportCan)
{
    const TBaseReportDef &list = ShippedByTitle(QStringLiteral("Contact list"));
    const auto detail = ReportChooserRules::ForReportNode(list, ReportCategory::Contacts);
    EXPECT_EQ(detail.Kind, ReportChooserRules::TNodeDetail::Panel::Report);
    EXPECT_EQ(detail.Caption, 5510);
    EXPECT_TRUE(detail.ShowOrientation);
    EXPECT_TRUE(detail.CanWord);
    EXPECT_TRUE(detail.RecordChoiceEnabled);
    const auto category = ReportChooserRules::ForCategoryNode(list, ReportCategory::Contacts);
    EXPECT_EQ(category.Kind, ReportChooserRules::TNodeDetail::Panel::Description);
    EXPECT_EQ(category.Text, 5517);
    EXPECT_FALSE(category.CanPreview);
    EXPECT_FALSE(category.CanWord);

    const auto labels = ReportChooserRules::ForReportNode(ShippedByTitle(QStringLiteral("Group labels")), ReportCategory::Groups);
    EXPECT_EQ(labels.Kind, ReportChooserRules::TNodeDetail::Panel::Label);
    EXPECT_TRUE(labels.RecordChoiceEnabled);
    EXPECT_FALSE(ReportChooserRules::ForReportNode(ShippedByTitle(QStringLiteral("Group directory")), ReportCategory::Groups).RecordChoiceEnabled);
    EXPECT_EQ(ReportChooserRules::ForReportNode(ShippedByTitle(QStringLiteral("Did not attend")), ReportCategory::Schedule).Caption, 5514);
    EXPECT_EQ(ReportChooserRules::ForCategoryNode(ShippedByTitle(QStringLiteral("Did not attend")), ReportCategory::Schedule).Caption, 5514);
}

TEST(ReportChooserRules, EachCategorySetsUpThePrintRange)
{
    const auto settings = ReportChooserRules::ForCategory(ReportCategory::SystemSettings);
    EXPECT_FALSE(settings.ShowPrintBox);
    EXPECT_TRUE(settings.AllChecked);
    const auto contacts = ReportChooserRules::ForCategory(ReportCategory::Contacts);
    EXPECT_EQ(contacts.SelectedCaption, (QList<int>{5006, 3030}));
    EXPECT_TRUE(contacts.ShowLabelAddress);
    const auto groups = ReportChooserRules::ForCategory(ReportCategory::Groups);
    EXPECT_EQ(groups.AllCaption, QList<int>{3046});
    EXPECT_FALSE(groups.ShowLabelAddress);
    const auto schedule = ReportChooserRules::ForCategory(ReportCategory::Schedule);
    EXPECT_TRUE(schedule.ShowPeriod);
    EXPECT_FALSE(schedule.ShowRecordChoice);
    EXPECT_TRUE(schedule.AllChecked);
}

TEST(ReportChooserRules, SettingDatesReadInEveryFormTheyWereKeptIn)
{
    EXPECT_EQ(ReportChooserRules::SettingDate(QStringLiteral("2026-03-14")), QDate(2026, 3, 14));
    EXPECT_EQ(ReportChooserRules::SettingDate(QStringLiteral("3/14/2026")), QDate(2026, 3, 14));
    EXPECT_EQ(ReportChooserRules::SettingDate(QStringLiteral("not a date")), QDate::currentDate());
    EXPECT_EQ(ReportChooserRules::SettingText(QDate(2026, 3, 14)), QStringLiteral("2026-03-14"));
    EXPECT_EQ(ReportChooserRules::SystemSettingsNode(0), 2);
    EXPECT_EQ(ReportChooserRules::SystemSettingsNode(1), 1);
    EXPECT_EQ(ReportChooserRules::SystemSettingsNode(7), -1);
}

// --- against the server -----------------------------------------------------------------------

class ComposedOnTheServer : public ReportServerTest
{
protected:
    TDATableData Data(const TReportRequest &request)
    {
        const std::unique_ptr<TROBinaryMemoryStream> stream =
            server->Service->GetReportDataAsDataset(request.DataSource, request.Criteria, request.OrderBy);
        const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(stream ? stream->Bytes() : QByteArray());
        return tables.isEmpty() ? TDATableData() : tables.first();
    }

    QStringList Column(const TDATableData &data, const QString &field)
    {
        QStringList values;
        for (qsizetype i = 0; i < data.Fields.size(); ++i)
            if (data.Fields[i].Name.compare(field, Qt::CaseInsensitive) == 0)
                for (const QVariantList &row : data.Rows)
                    values << row.at(i).toString();
        return values;
    }
};

TEST_F(ComposedOnTheServer, EveryCompositionOfEveryShippedDefinitionIsAccepted)
{
    // What each caller passes, as its Part says.
    TReportCaller groups = Caller(ReportCategory::Groups, {QStringLiteral("(PK_ContactID LIKE '%1')").arg(kJohn)});
    groups.OverrideMarker = ReportOverrideMarker;
    groups.DataSource = QStringLiteral("rptDAContactsByGroups");
    groups.Criteria = QStringLiteral(" tblGroups.PK_GroupID='%1'").arg(kChoir);
    groups.ProviderCriteria = QStringLiteral(" theID LIKE '%1'").arg(kChoir);
    const QList<TReportCaller> callers = {
        Caller(ReportCategory::Contacts, {ContactTerm(kJohn), ContactTerm(kZoe)}),
        Caller(ReportCategory::Families, {QStringLiteral("(PK_FamilyID='%1')").arg(kOlberg)}),
        groups,
        Caller(ReportCategory::Calendar, {QStringLiteral("{E1}")}),
        Caller(ReportCategory::Schedule),
        Caller(ReportCategory::SystemSettings),
    };
    int sent = 0;
    for (const TReportCaller &caller : callers) {
        for (const auto &definition : Shipped()) {
            if (!ReportCategory::Holds(definition->Category, caller.Category))
                continue;
            for (bool all : {true, false})
                for (bool portrait : {true, false})
                    for (bool labelAddress : {false, true}) {
                        TReportChoice choice = Choice(*definition, all);
                        choice.Portrait = portrait;
                        choice.LabelAddress = labelAddress;
                        choice.SelectedEnabled = ReportChooserRules::ForReportNode(*definition, caller.Category).RecordChoiceEnabled;
                        const bool fits = !caller.Overrides() || TReportChooser::OverrideFits(*server->Service, choice, caller);
                        const TReportRequest request = Compose(choice, caller, fits).Request;
                        SCOPED_TRACE((definition->ReportTitle + QStringLiteral(": ") + request.DataSource + QStringLiteral(" | ") +
                                      request.Criteria + QStringLiteral(" | ") + request.OrderBy).toStdString());
                        try {
                            const TDATableData data = Data(request);
                            EXPECT_FALSE(data.Fields.isEmpty());
                        } catch (const std::exception &e) {
                            ADD_FAILURE() << "refused: " << e.what();
                        }
                        ++sent;
                    }
        }
    }
    EXPECT_GT(sent, 100);
}

TEST_F(ComposedOnTheServer, TheViewsDataServesOnlyTheReportsThatReadItsFields)
{
    TReportCaller groups = Caller(ReportCategory::Groups);
    groups.OverrideMarker = ReportOverrideMarker;
    groups.DataSource = QStringLiteral("rptDAContactsByGroups");
    EXPECT_TRUE(TReportChooser::OverrideFits(*server->Service, Choice(ShippedByTitle(QStringLiteral("Group directory")), true), groups));
    EXPECT_TRUE(TReportChooser::OverrideFits(*server->Service, Choice(ShippedByTitle(QStringLiteral("Group labels")), true), groups));
    // It has no group names to list the members under.
    EXPECT_FALSE(TReportChooser::OverrideFits(*server->Service, Choice(ShippedByTitle(QStringLiteral("Group members")), true), groups));
    groups.DataSource = QStringLiteral("NoSuchDataset");
    EXPECT_FALSE(TReportChooser::OverrideFits(*server->Service, Choice(ShippedByTitle(QStringLiteral("Group directory")), true), groups));
}

TEST_F(ComposedOnTheServer, APeriodEndingOnADayHasThatWholeDay)
{
    TReportChoice choice = Choice(ShippedByTitle(QStringLiteral("Ministry schedule")), true);
    choice.From = QDate(2026, 3, 9);
    choice.To = QDate(2026, 3, 14);
    const TDATableData data = Data(Compose(choice, Caller(ReportCategory::Schedule)).Request);
    // Quentin serves at 23:30 on the last day; Zoë at midnight after it, John before the first.
    EXPECT_EQ(Column(data, QStringLiteral("Name")).size(), 1);
    EXPECT_TRUE(Column(data, QStringLiteral("Name")).value(0).contains(QStringLiteral("O'Neil")));
}

TEST_F(ComposedOnTheServer, SelectionsFamiliesAndGroupsNarrowTheRows)
{
    const TDATableData contacts =
        Data(Compose(Choice(ShippedByTitle(QStringLiteral("Contact list")), false),
                     Caller(ReportCategory::Contacts, {ContactTerm(kQuentin), ContactTerm(kZoe)}))
                 .Request);
    EXPECT_EQ(Column(contacts, QStringLiteral("LastName")), (QStringList{QStringLiteral("O'Neil"), QStringLiteral("Ølstrup-Дмитриев")}));

    const TReportCaller families = Caller(ReportCategory::Families, {QStringLiteral("(PK_FamilyID='%1')").arg(kOlberg)});
    EXPECT_EQ(Column(Data(Compose(Choice(ShippedByTitle(QStringLiteral("Family labels")), false), families).Request), QStringLiteral("FamilyName")),
              QStringList{QStringLiteral("Ølberg")});
    EXPECT_EQ(Column(Data(Compose(Choice(ShippedByTitle(QStringLiteral("Family labels")), true), families).Request), QStringLiteral("FamilyName")).size(), 2);

    TReportCaller groups = Caller(ReportCategory::Groups);
    groups.OverrideMarker = ReportOverrideMarker;
    groups.DataSource = QStringLiteral("rptDAContactsByGroups");
    groups.Criteria = QStringLiteral(" tblGroups.PK_GroupID='%1'").arg(kLectors);
    groups.ProviderCriteria = QStringLiteral(" theID LIKE '%1'").arg(kLectors);
    const TDATableData labels = Data(Compose(Choice(ShippedByTitle(QStringLiteral("Group labels")), true), groups).Request);
    EXPECT_EQ(labels.Rows.size(), 2);
    for (const QString &name : Column(labels, QStringLiteral("Name")))
        EXPECT_TRUE(name.contains(QStringLiteral("O'Neil")) || name.contains(QStringLiteral("Ølstrup"))) << name.toStdString();
}
