// The settings pages' rules without a window: renumbering of ordered lists, the swap of two
// neighbours, the list order of liturgies, the counts of functions in a template, the duration
// choices and the stored option texts, the colours and the mail addresses.
#include "plugins/settings/uSettingsRules.h"

#include "dataaccess/TDACDSDataTable.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDARemoteDataAdapter.h"

#include <gtest/gtest.h>

using namespace SettingsRules;

namespace {

TDAField Field(const QString &name, TDADataType type, bool key = false)
{
    TDAField f;
    f.Name = name;
    f.DataType = type;
    f.InPrimaryKey = key;
    f.Required = key;
    return f;
}

// Serves one dataset with the given rows; these tests never apply.
class RowsAdapter : public TDARemoteDataAdapter
{
public:
    TDATableData Data;
    QByteArray GetData(const QStringList &, const QList<TableRequestInfoV5> &) override { return TDADataStreamer::WriteDatasets({Data}); }
    QByteArray UpdateData(const QByteArray &) override { return {}; }
};

// A list of named rows with their SortIndex as given (null where the text is empty).
struct OrderedList
{
    explicit OrderedList(const QList<QPair<QString, QVariant>> &rows)
    {
        adapter.Data.Name = QStringLiteral("Locations");
        adapter.Data.Fields = {Field(QStringLiteral("PK_LocationID"), TDADataType::datString, true),
                               Field(QStringLiteral("LocationName"), TDADataType::datString),
                               Field(QStringLiteral("SortIndex"), TDADataType::datInteger)};
        for (const auto &[name, index] : rows)
            adapter.Data.Rows << QVariantList{QStringLiteral("{%1}").arg(name), name, index};
        table.Open();
    }
    // name:index in the order shown.
    QStringList Shown()
    {
        QStringList shown;
        for (int r = 0; r < table.GetRecordCount(); ++r)
            shown << QStringLiteral("%1:%2").arg(table.ValueAt(r, 1).toString(), table.ValueAt(r, 2).toString());
        return shown;
    }
    RowsAdapter adapter;
    TDACDSDataTable table{QStringLiteral("Locations"), &adapter};
};

class Links
{
public:
    Links()
    {
        adapter.Data.Name = QStringLiteral("LnkMinistryTemplateToMinistryFunction");
        adapter.Data.Fields = {Field(QStringLiteral("PK_LinkID"), TDADataType::datString, true),
                               Field(QStringLiteral("F_MinistryTemplateID"), TDADataType::datString),
                               Field(QStringLiteral("F_MinistryFunctionID"), TDADataType::datString),
                               Field(QStringLiteral("MinistryFunctionCount"), TDADataType::datInteger)};
        adapter.Data.Rows << QVariantList{QStringLiteral("{L1}"), QStringLiteral("{T1}"), QStringLiteral("{F1}"), 2};
        table.OnAfterInsert = [this](TDACDSDataTable &t) { t.SetValue(QStringLiteral("PK_LinkID"), QStringLiteral("{N%1}").arg(++made)); };
        table.Open();
    }
    RowsAdapter adapter;
    TDACDSDataTable table{QStringLiteral("LnkMinistryTemplateToMinistryFunction"), &adapter};
    int made = 0;
};

} // namespace

TEST(SettingsRenumbering, GivesEveryRowItsPlaceInTheDeliveredOrder)
{
    const struct
    {
        QList<QPair<QString, QVariant>> rows;
        QStringList expected;
        int changed;
    } cases[] = {
        {{{"A", 3}, {"B", 3}, {"C", 7}}, {"A:0", "B:1", "C:2"}, 3},
        {{{"A", 0}, {"B", 1}, {"C", 2}}, {"A:0", "B:1", "C:2"}, 0},
        {{{"New", QVariant()}, {"A", 0}, {"B", 5}}, {"New:0", "A:1", "B:2"}, 3},
        {{{"A", 0}, {"B", 2}}, {"A:0", "B:1"}, 1},
        {{}, {}, 0},
    };
    for (const auto &c : cases) {
        OrderedList list(c.rows);
        RenumberSort(list.table);
        EXPECT_EQ(list.Shown(), c.expected);
        EXPECT_EQ(list.table.PendingChangeCount(), c.changed) << c.expected.join(QLatin1Char(' ')).toStdString();
        if (!c.rows.isEmpty()) {
            EXPECT_EQ(list.table.GetRecNo(), 0);
        }
    }
}

TEST(SettingsSwapSort, TradesTheOrderOfTheCurrentRowAndItsNeighbour)
{
    const struct
    {
        QString current;
        int step;
        QStringList expected;
        bool swapped;
    } cases[] = {
        {"B", -1, {"A:1", "B:0", "C:2"}, true},
        {"B", 1, {"A:0", "B:2", "C:1"}, true},
        {"A", -1, {"A:0", "B:1", "C:2"}, false}, // first row up: no partner
        {"C", 1, {"A:0", "B:1", "C:2"}, false},  // last row down
    };
    for (const auto &c : cases) {
        OrderedList list({{"A", 0}, {"B", 1}, {"C", 2}});
        ASSERT_TRUE(list.table.Locate(QStringLiteral("LocationName"), c.current));
        const int a = list.table.AsInteger(SortIndex);
        EXPECT_EQ(SwapSort(a, a + c.step, list.table, QStringLiteral("PK_LocationID")), c.swapped);
        EXPECT_EQ(list.Shown(), c.expected) << c.current.toStdString() << " " << c.step;
        EXPECT_EQ(list.table.AsString(QStringLiteral("LocationName")), c.current) << "the moved row stays current";
    }
}

TEST(SettingsSwapSort, ARowWithoutOrderFindsNoPartner)
{
    OrderedList list({{"A", 0}, {"New", QVariant()}});
    ASSERT_TRUE(list.table.Locate(QStringLiteral("LocationName"), QStringLiteral("A")));
    EXPECT_FALSE(SwapSort(0, 1, list.table, QStringLiteral("PK_LocationID")));
    EXPECT_EQ(list.Shown(), (QStringList{"A:0", "New:"}));
}

TEST(SettingsListIndex, OneMoveRewritesEveryIndexInListOrder)
{
    OrderedList list({{"A", 4}, {"B", QVariant()}, {"C", 4}});
    SaveListIndex(list.table, QStringLiteral("PK_LocationID"), {"{C}", "{A}", "{Gone}", "{B}"}, SortIndex);
    // A vanished id keeps its place in the list numbering.
    EXPECT_EQ(list.Shown(), (QStringList{"A:1", "B:3", "C:0"}));
}

TEST(SettingsTemplateCounts, AddingAndRemovingAFunctionCountsItInOneLink)
{
    Links links;
    const struct
    {
        bool add;
        QString templateId;
        QString functionOrLink;
        QString linkId; // after the step, empty when the link is gone
        int count;
        int rows;
    } steps[] = {
        {true, "{T1}", "{F2}", "{N1}", 1, 2},  // a new link
        {true, "{T1}", "{F2}", "{N1}", 2, 2},  // the same function again: count 2, no second row
        {true, "{T2}", "{F2}", "{N2}", 1, 3},  // another template has its own link
        {true, "{T1}", "{F1}", "{L1}", 3, 3},  // a stored link counts on
        {true, "{t1}", "{f1}", "{L1}", 4, 3},  // keys in other letter case name the same link
        {false, "", "{N1}", "{N1}", 1, 3},     // 2 -> 1
        {false, "", "{N1}", "", 0, 2},         // 1 -> the link row goes
    };
    for (const auto &s : steps) {
        if (s.add) {
            const TTemplateLink link = AddFunctionToTemplate(links.table, s.templateId, s.functionOrLink);
            EXPECT_EQ(link.LinkID, s.linkId);
            EXPECT_EQ(link.Count, s.count);
        } else {
            const std::optional<TTemplateLink> link = RemoveFunctionFromTemplate(links.table, s.functionOrLink);
            ASSERT_TRUE(link);
            EXPECT_EQ(link->LinkID, s.linkId);
            EXPECT_EQ(link->Count, s.count);
        }
        EXPECT_EQ(links.table.GetRecordCount(), s.rows);
    }
    EXPECT_FALSE(RemoveFunctionFromTemplate(links.table, QStringLiteral("{N1}")));
    EXPECT_EQ(LinkNodeText(QStringLiteral("Lector"), 2), QStringLiteral("Lector (2)"));
}

TEST(SettingsTemplateCounts, DeletingATemplatesLinksLeavesTheOthers)
{
    Links links;
    AddFunctionToTemplate(links.table, QStringLiteral("{T2}"), QStringLiteral("{F1}"));
    AddFunctionToTemplate(links.table, QStringLiteral("{T1}"), QStringLiteral("{F3}"));
    EXPECT_EQ(DeleteRowsWhere(links.table, QStringLiteral("F_MinistryTemplateID"), QStringLiteral("{t1}")), 2);
    ASSERT_EQ(links.table.GetRecordCount(), 1);
    EXPECT_EQ(links.table.AsString(QStringLiteral("F_MinistryTemplateID")), QStringLiteral("{T2}"));
}

TEST(SettingsDurations, ThirtyChoicesFromFiveMinutesToTwelveHours)
{
    const QList<TDuration> list = DurationList(QStringLiteral("minutes"), QStringLiteral("hours"), QLocale::c());
    ASSERT_EQ(list.size(), 30);
    QList<int> minutes;
    for (const TDuration &d : list)
        minutes << d.Minutes;
    QList<int> expected = {5, 10, 15, 20, 25, 30, 45};
    for (int m = 60; m <= 720; m += 30)
        expected << m;
    EXPECT_EQ(minutes, expected);
    const struct
    {
        int minutes;
        QString text;
    } texts[] = {{5, "minutes 5"}, {45, "minutes 45"}, {60, "hours 1"}, {90, "hours 1.5"}, {720, "hours 12"}, {50, "minutes 50"}};
    for (const auto &t : texts)
        EXPECT_EQ(DurationText(list, t.minutes, QStringLiteral("minutes")), t.text);
    EXPECT_EQ(DurationMinutes(list, QStringLiteral("minutes 45")), 45);
    EXPECT_EQ(DurationMinutes(list, QStringLiteral("minutes 50")), std::nullopt);
    EXPECT_EQ(DurationList(QStringLiteral("m"), QStringLiteral("h"), QLocale(QLocale::German))[8].Text, QStringLiteral("h 1,5"));
}

TEST(SettingsOptionTexts, StoredTextsReadAsTheCalendarReadsThem)
{
    const struct
    {
        QString text;
        bool fallback;
        bool expected;
    } booleans[] = {{"0", true, false}, {"-1", false, true}, {"1", false, true}, {"TRUE", false, true},
                    {"false", true, false}, {"", true, true}, {"yes", false, false}};
    for (const auto &b : booleans)
        EXPECT_EQ(ParseSettingBool(b.text, b.fallback), b.expected) << b.text.toStdString();
    EXPECT_EQ(ParseSettingTime(QStringLiteral("7:30"), QStringLiteral("08:00")), QStringLiteral("07:30"));
    EXPECT_EQ(ParseSettingTime(QStringLiteral("noon"), QStringLiteral("08:00")), QStringLiteral("08:00"));
}

TEST(SettingsColours, KeptAsWindowsRgbIntegers)
{
    EXPECT_EQ(RgbIntFromColor(QColor(0xFF, 0, 0)), 0x0000FF);
    EXPECT_EQ(RgbIntFromColor(QColor(0, 0, 0x80)), 0x800000); // navy
    EXPECT_EQ(ColorFromRgbInt(0x00FF00), QColor(0, 0xFF, 0));
    EXPECT_EQ(ColorFromRgbInt(RgbIntFromColor(QColor(0x12, 0x34, 0x56))), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(Html4ColorNames().size(), 16);
}

TEST(SettingsMail, StoredAddressesWinAndAMissingConfigurationGivesNone)
{
    EXPECT_FALSE(MailFromConfiguration(QVariant()));
    EXPECT_FALSE(MailFromConfiguration(QVariantMap()));
    const QVariantMap fields = {{"smtpserver", "mail.parish.org"}, {"sendemailaddress", "office@parish.org"},
                                {"senduserreplyemailaddress", "reply@parish.org"}};
    const std::optional<TMailAddresses> configured = MailFromConfiguration(fields);
    ASSERT_TRUE(configured);
    const TMailAddresses shown = MergeMail({QString(), QStringLiteral("me@parish.org"), QString()}, *configured);
    EXPECT_EQ(shown.Server, QStringLiteral("mail.parish.org"));
    EXPECT_EQ(shown.Sender, QStringLiteral("me@parish.org"));
    EXPECT_EQ(shown.Return, QStringLiteral("reply@parish.org"));
}
