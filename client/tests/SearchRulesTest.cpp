// The search dialog's rules without a window or a server: the kinds a mask offers, the query
// texts it composes, the member list with its exclusion list, and the records handed back.
#include "client/uSearchRules.h"

#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QString kContactBase = QStringLiteral(
    "SELECT DISTINCT tblContacts.PK_ContactID, Firstname +' '+Lastname AS Name, tblContacts.FirstName, tblContacts.LastName, "
    "FlagContact  FROM tblLnkServingPrefrence RIGHT JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID WHERE ");

TSearchMember Contact(const QString &id, const QString &name)
{
    return TSearchMember{id, SearchKind::Contacts, true, name.section(QLatin1Char(' '), 0, 0), name.section(QLatin1Char(' '), 1), name};
}

QStringList Names(const TSearchMemberModel &model)
{
    QStringList names;
    for (const TSearchMember &member : model.Members())
        names << member.Name;
    return names;
}

} // namespace

TEST(SearchRules, AMaskOffersItsKindsInTheOrderContactsFamiliesGroups)
{
    auto kinds = [](int mask) {
        QList<int> result;
        for (const TSearchItemObject &entry : TSearchRules::LookForEntries(mask))
            result << entry.Kind;
        return result;
    };
    EXPECT_EQ(kinds(7), (QList<int>{1, 2, 4}));
    EXPECT_EQ(kinds(6), (QList<int>{2, 4}));
    EXPECT_EQ(kinds(1), (QList<int>{1}));
    EXPECT_EQ(kinds(0), QList<int>{});
    EXPECT_EQ(TSearchRules::LookForEntries(2).first().BaseQuery,
              QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHERE "));
}

struct CompositionCase
{
    const char *name;
    int kind;
    const char *column;
    QString criterion;
    QStringList functions;
    QString expected;
};

class SearchComposition : public ::testing::TestWithParam<CompositionCase>
{
};

TEST_P(SearchComposition, TheQueryHasTheShapeTheServerReads)
{
    const CompositionCase &c = GetParam();
    EXPECT_EQ(TSearchRules::Compose(c.kind, QString::fromLatin1(c.column), c.criterion, c.functions), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    EachKindFieldAndFilter, SearchComposition,
    ::testing::Values(
        CompositionCase{"LastName", 1, "Lastname", QStringLiteral("Ab"), {}, kContactBase + QStringLiteral("Lastname LIKE 'Ab%'")},
        CompositionCase{"FirstName", 1, "Firstname", QStringLiteral("E"), {}, kContactBase + QStringLiteral("Firstname LIKE 'E%'")},
        CompositionCase{"OneFunction", 1, "Lastname", QStringLiteral("A"), {QStringLiteral("f1")},
                        kContactBase + QStringLiteral("Lastname LIKE 'A%' AND ((F_MinistryFunctionID='f1'))")},
        CompositionCase{"TwoFunctions", 1, "Lastname", QStringLiteral("A"), {QStringLiteral("f1"), QStringLiteral("f2")},
                        kContactBase + QStringLiteral("Lastname LIKE 'A%' AND ((F_MinistryFunctionID='f1') OR (F_MinistryFunctionID='f2'))")},
        CompositionCase{"Apostrophe", 1, "Lastname", QStringLiteral("O'B"), {}, kContactBase + QStringLiteral("Lastname LIKE 'O''B%'")},
        CompositionCase{"NonLatin", 1, "Lastname", QStringLiteral("Παπα"), {}, kContactBase + QStringLiteral("Lastname LIKE 'Παπα%'")},
        CompositionCase{"EmptyFindsAll", 1, "Firstname", QString(), {}, kContactBase + QStringLiteral("Firstname LIKE '%'")},
        CompositionCase{"Family", 2, "Familyname", QStringLiteral("Br"), {QStringLiteral("ignored")},
                        QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHERE Familyname LIKE 'Br%' ORDER BY FamilyName")},
        CompositionCase{"Group", 4, "Groupname", QStringLiteral("Ch"), {},
                        QStringLiteral("SELECT DISTINCT PK_GroupID, GroupName FROM tblGroups WHERE Groupname LIKE 'Ch%' ORDER BY GroupName")}),
    [](const ::testing::TestParamInfo<CompositionCase> &param) { return std::string(param.param.name); });

TEST(SearchRules, AWildcardOrAColumnOfAnotherKindIsNeverComposed)
{
    for (const QString &text : {QStringLiteral("a%"), QStringLiteral("a_b"), QStringLiteral("a;b"), QStringLiteral("a\nb"),
                                QStringLiteral("a\"b"), QStringLiteral("a)b")})
        EXPECT_THROW(TSearchRules::Compose(SearchKind::Contacts, QStringLiteral("Lastname"), text), std::invalid_argument)
            << text.toStdString();
    EXPECT_THROW(TSearchRules::Compose(SearchKind::Families, QStringLiteral("Lastname"), QStringLiteral("a")), std::invalid_argument);
    EXPECT_TRUE(TSearchRules::IsCriterionText(QStringLiteral("Anne-Marie St. O'Neil 2")));
    EXPECT_TRUE(TSearchRules::IsCriterionText(QStringLiteral("Łukasz Ðorđević Müller")));
}

TEST(SearchRules, TheCriterionFieldsStartAtLastnameForContacts)
{
    const QList<TSearchField> fields = TSearchRules::CriterionFields(SearchKind::Contacts);
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[TSearchRules::DefaultCriterionField(SearchKind::Contacts)].Column, QStringLiteral("Lastname"));
    EXPECT_EQ(fields[1].CaptionText, 4003);
    EXPECT_EQ(TSearchRules::CriterionFields(SearchKind::Families).value(0).Column, QStringLiteral("Familyname"));
    EXPECT_EQ(TSearchRules::CriterionFields(SearchKind::Groups).value(0).CaptionText, 4001);
}

TEST(SearchRules, MaxRowsMustBeANumber)
{
    EXPECT_EQ(TSearchRules::MaxRecords(QStringLiteral("15")), 15);
    EXPECT_THROW(TSearchRules::MaxRecords(QString()), std::invalid_argument);
    EXPECT_THROW(TSearchRules::MaxRecords(QStringLiteral("1x")), std::invalid_argument);
    EXPECT_THROW(TSearchRules::MaxRecords(QStringLiteral("-3")), std::invalid_argument);
}

TEST(SearchRules, SearchingNeedsACriterionOnlyWhereOneKindIsOffered)
{
    EXPECT_FALSE(TSearchRules::SearchEnabled(1, 1, QString()));
    EXPECT_TRUE(TSearchRules::SearchEnabled(1, 1, QStringLiteral("A")));
    EXPECT_FALSE(TSearchRules::SearchEnabled(2, 1, QStringLiteral("A")));
    EXPECT_TRUE(TSearchRules::SearchEnabled(7, 2, QString()));
    EXPECT_TRUE(TSearchRules::SearchEnabled(6, 4, QString()));
    EXPECT_TRUE(TSearchRules::OkEnabled(false, 1, 0));
    EXPECT_FALSE(TSearchRules::OkEnabled(false, 0, 3));
    EXPECT_TRUE(TSearchRules::OkEnabled(true, 0, 1));
    EXPECT_FALSE(TSearchRules::OkEnabled(true, 5, 0));
}

TEST(SearchRules, TheStatusCountsFoundAndSelectedRows)
{
    EXPECT_EQ(TSearchRules::CountText(false, QStringLiteral("%d found"), QStringLiteral("x"), 0, 0), QStringLiteral("0 found"));
    EXPECT_EQ(TSearchRules::CountText(true, QStringLiteral("x"), QStringLiteral("%d found, %d selected"), 12, 3),
              QStringLiteral("12 found, 3 selected"));
    EXPECT_EQ(TSearchRules::FormatCount(QStringLiteral("100%d %s %d"), {7}), QStringLiteral("1007 %s %d"));
    EXPECT_EQ(TSearchRules::FunctionsText({QStringLiteral("Lector"), QStringLiteral("Usher")}), QStringLiteral("Lector,Usher"));
}

TEST(SearchMembers, AnIdIsAddedOnceAndNeverWhenExcluded)
{
    TSearchMemberModel model;
    EXPECT_TRUE(model.Add(Contact(QStringLiteral("c2"), QStringLiteral("Ben Abrams")), {}));
    EXPECT_FALSE(model.Add(Contact(QStringLiteral("c2"), QStringLiteral("Ben Abrams")), {}));
    EXPECT_FALSE(model.Add(Contact(QStringLiteral("c9"), QStringLiteral("Eve Dunn")), {QStringLiteral("c9")}));
    EXPECT_TRUE(model.Add(Contact(QStringLiteral("c1"), QStringLiteral("Anna Abbot")), {QStringLiteral("c9")}));
    EXPECT_TRUE(model.Add(Contact(QStringLiteral("c3"), QStringLiteral("Cara Brown")), {}));
    // Sorted by name, as the grid shows them.
    EXPECT_EQ(Names(model), (QStringList{QStringLiteral("Anna Abbot"), QStringLiteral("Ben Abrams"), QStringLiteral("Cara Brown")}));
    model.Remove({2, 0});
    EXPECT_EQ(Names(model), QStringList{QStringLiteral("Ben Abrams")});
}

TEST(SearchMembers, ChangingTheKindEmptiesTheMembersAndSetsItsColumns)
{
    TSearchMemberModel model;
    model.Add(Contact(QStringLiteral("c1"), QStringLiteral("Anna Abbot")), {});
    EXPECT_EQ(model.columnCount(), 6);
    model.SetKind(SearchKind::Families);
    EXPECT_EQ(model.Count(), 0);
    EXPECT_EQ(model.ColumnNames(), (QStringList{QStringLiteral("FamilyID"), QStringLiteral("FamilyIntType"), QStringLiteral("Name")}));
    model.SetColumnCaption(model.NameColumn(), QStringLiteral("Name"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Name"));
}

TEST(SearchResult, MembersComeBackInGridOrderWithTheirKindsRecord)
{
    const TSearchObjectList contacts = TSearchResult::FromMembers(
        SearchKind::Contacts, {Contact(QStringLiteral("c1"), QStringLiteral("Anna Abbot")), Contact(QStringLiteral("c2"), QStringLiteral("Ben Abrams"))});
    ASSERT_EQ(contacts.size(), 2);
    EXPECT_EQ(contacts[0].Text, QStringLiteral("Anna Abbot"));
    EXPECT_EQ(contacts[0].Object.Caption, QStringLiteral("c1"));
    EXPECT_EQ(contacts[0].Object.Value, 1);
    EXPECT_EQ(contacts[0].Object.TypeID, TSearchObject::ContactType);
    EXPECT_TRUE(contacts[0].Object.Flag);
    EXPECT_EQ(contacts[0].Object.Text2, QStringLiteral("Anna"));
    EXPECT_EQ(contacts[0].Object.Text3, QStringLiteral("Abbot"));

    const TSearchObjectList groups =
        TSearchResult::FromMembers(SearchKind::Groups, {TSearchMember{QStringLiteral("g1"), 4, false, {}, {}, QStringLiteral("Choir")}});
    EXPECT_EQ(groups[0].Object.TypeID, TSearchObject::GroupType);
    EXPECT_EQ(groups[0].Object.Value, 4);
    EXPECT_EQ(groups[0].Object.Text1, QStringLiteral("Choir"));

    const TSearchObjectList single = TSearchResult::FromRow(SearchKind::Families, QStringLiteral("f1"), QStringLiteral("Brown"), true);
    ASSERT_EQ(single.size(), 1);
    EXPECT_EQ(single[0].Text, QStringLiteral("f1"));
    EXPECT_EQ(single[0].Object.TypeID, TSearchObject::FamilyType);
    EXPECT_EQ(single[0].Object.Text1, QStringLiteral("Brown"));
    EXPECT_FALSE(single[0].Object.Flag);
}

TEST(SearchResult, PreselectedRecordsBecomeMembersInListOrder)
{
    TSearchListItem item;
    item.Object.Caption = QStringLiteral("c7");
    item.Object.Text1 = QStringLiteral("Abbot Anna");
    item.Object.Flag = true;
    const QList<TSearchMember> members = TSearchResult::MembersFrom(SearchKind::Contacts, {item});
    ASSERT_EQ(members.size(), 1);
    EXPECT_EQ(members[0].ID, QStringLiteral("c7"));
    EXPECT_EQ(members[0].Kind, 1);
    EXPECT_FALSE(members[0].Flag);
    EXPECT_EQ(members[0].Name, QStringLiteral("Abbot Anna"));
}
