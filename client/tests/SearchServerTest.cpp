// The search dialog against a real data server over HTTP, on a fixture parish: every query the
// dialog composes (each kind, each criterion field, the function filter, apostrophes and letters
// beyond Latin) is accepted and finds the expected rows; members are gathered once each and never
// from the exclusion list; the host's search operation hands back what the user picked.
#include "client/HostComponentFactory.h"
#include "client/uDAQuorva.h"
#include "client/uDMClient.h"
#include "client/ufSearch.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"

#include "dataaccess/TDACDSDataTable.h"
#include "remoting/ROHTTPChannel.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

using namespace kestrova::test;

namespace {

const QString kAnna = QStringLiteral("{C0000000-0000-0000-0000-000000000001}");  // Abbot, Lector
const QString kBen = QStringLiteral("{C0000000-0000-0000-0000-000000000002}");   // Abrams, Lector, flagged
const QString kCara = QStringLiteral("{C0000000-0000-0000-0000-000000000003}");  // Brown, Usher
const QString kDan = QStringLiteral("{C0000000-0000-0000-0000-000000000004}");   // Carter, Lector and Usher
const QString kEve = QStringLiteral("{C0000000-0000-0000-0000-000000000005}");   // Dunn, nothing
const QString kSean = QStringLiteral("{C0000000-0000-0000-0000-000000000006}");  // O'Brien
const QString kNikos = QStringLiteral("{C0000000-0000-0000-0000-000000000007}"); // Παπαδόπουλος
const QString kLukasz = QStringLiteral("{C0000000-0000-0000-0000-000000000008}");// Łukasz Żak
const QString kLector = QStringLiteral("{E0000000-0000-0000-0000-000000000001}");
const QString kUsher = QStringLiteral("{E0000000-0000-0000-0000-000000000002}");
const QString kBrown = QStringLiteral("{F0000000-0000-0000-0000-000000000002}");
const QString kChoir = QStringLiteral("{B0000000-0000-0000-0000-000000000001}");
const QString kJuniors = QStringLiteral("{B0000000-0000-0000-0000-000000000002}");
const QString kSearcher = QStringLiteral("{A0000000-0000-0000-0000-0000000000C5}");

struct SearchServer : ServiceServer
{
    ServiceClient client;
};

class SearchAgainstServer : public ::testing::Test
{
protected:
    // One server and database for the suite: searching only reads.
    static void SetUpTestSuite()
    {
        shared = std::make_unique<SearchServer>();
        shared->Start();
        if (::testing::Test::IsSkipped() || ::testing::Test::HasFailure())
            return;
        shared->Sql(QStringLiteral(R"(
            INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('{F0000000-0000-0000-0000-000000000001}', 'Abbot-Abrams'),
              ('%1', 'Brown'), ('{F0000000-0000-0000-0000-000000000003}', 'Bryant');
            INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, FlagContact) VALUES
              ('%2', 'Anna', 'Abbot', 0), ('%3', 'Ben', 'Abrams', 1), ('%4', 'Cara', 'Brown', 0), ('%5', 'Dan', 'Carter', 0),
              ('%6', 'Eve', 'Dunn', 0), ('%7', 'Seán', 'O''Brien', 0), ('%8', 'Νίκος', 'Παπαδόπουλος', 0), ('%9', 'Łukasz', 'Żak', 0);
            INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, SortIndex) VALUES ('%10', 'Lector', 0), ('%11', 'Usher', 1);
            INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn, ContactType) VALUES
              ('P1', '%2', '%10', 0, 0), ('P2', '%3', '%10', 0, 0), ('P3', '%4', '%11', 1, 0), ('P4', '%5', '%10', 0, 0), ('P5', '%5', '%11', 0, 0);
            INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES
              ('%12', 'Choir', '{00000000-0000-0000-0000-000000000000}'), ('%13', 'Choir juniors', '%12'),
              ('{B0000000-0000-0000-0000-000000000003}', 'Readers', '{00000000-0000-0000-0000-000000000000}');
        )").arg(kBrown, kAnna, kBen, kCara, kDan, kEve, kSean, kNikos, kLukasz).arg(kLector, kUsher, kChoir, kJuniors));
        shared->client = shared->Administrator();
    }

    static void TearDownTestSuite()
    {
        if (shared)
            shared->Stop();
        shared.reset();
    }

    void SetUp() override
    {
        if (!shared || !shared->client.Channel)
            GTEST_SKIP() << "no server for the search";
        data = std::make_unique<TDAQuorva>(shared->client.Message, shared->client.Channel);
        NewDialog();
    }

    void NewDialog()
    {
        dialog.reset();
        dialog = std::make_unique<TfSearch>(
            [](int number) {
                return number == 2587 ? QStringLiteral("%d found")
                                      : number == 2584 ? QStringLiteral("%d found, %d selected") : QStringLiteral("T%1").arg(number);
            },
            data->DASearch(), data->DAMinistryFunctions());
    }

    void TearDown() override
    {
        dialog.reset();
        data.reset();
    }

    void Prepare(int mask, bool multi = false)
    {
        dialog->SetOfferedKinds(mask);
        dialog->Localizeform(multi);
    }

    // Types the criterion into the kind's panel with its field chosen, and searches.
    void Search(const QString &column, const QString &text, const QStringList &functions = {})
    {
        QComboBox *fields = dialog->CurrentKind() == SearchKind::Contacts ? dialog->cboCFields()
                            : dialog->CurrentKind() == SearchKind::Families ? dialog->cboFFields()
                                                                            : dialog->cboGFields();
        QLineEdit *edit = dialog->CurrentKind() == SearchKind::Contacts ? dialog->edCText()
                          : dialog->CurrentKind() == SearchKind::Families ? dialog->edFText()
                                                                          : dialog->edGText();
        fields->setCurrentIndex(fields->findData(column));
        ASSERT_GE(fields->currentIndex(), 0) << column.toStdString();
        for (int i = 0; i < dialog->chkFunctions()->count(); ++i) {
            QListWidgetItem *item = dialog->chkFunctions()->item(i);
            item->setCheckState(functions.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
        }
        dialog->CloseFunctionsPopup();
        edit->setText(text);
        ASSERT_TRUE(dialog->acSearch()->isEnabled());
        dialog->acSearch()->trigger();
    }

    // The shown column of every result row, in grid order.
    QStringList Shown() const
    {
        TDATableModel &model = dialog->ResultModel();
        QStringList names;
        for (int row = 0; row < model.rowCount(); ++row)
            names << model.data(model.index(row, model.columnCount() - 1)).toString();
        return names;
    }

    void SelectAllResults()
    {
        dialog->grdSearch()->selectAll();
    }

    QStringList MemberIds() const
    {
        QStringList ids;
        for (const TSearchMember &member : dialog->Members().Members())
            ids << member.ID;
        return ids;
    }

    static inline std::unique_ptr<SearchServer> shared;
    LogCapture log;
    std::unique_ptr<TDAQuorva> data;
    std::unique_ptr<TfSearch> dialog;
};

} // namespace

struct ServerCase
{
    const char *name;
    int kind;
    const char *column;
    QString text;
    QStringList functions;
    QStringList expected;  // shown names, in grid order
};

// One server for the whole table: every composition is a separate dialog on the same data.
TEST_F(SearchAgainstServer, TheServerAcceptsEveryCompositionAndFindsTheRows)
{
    const QList<ServerCase> cases{
        {"LastName", 1, "Lastname", QStringLiteral("Ab"), {}, {QStringLiteral("Anna Abbot"), QStringLiteral("Ben Abrams")}},
        {"LastNameWithoutCase", 1, "Lastname", QStringLiteral("aB"), {}, {QStringLiteral("Anna Abbot"), QStringLiteral("Ben Abrams")}},
        {"FirstName", 1, "Firstname", QStringLiteral("E"), {}, {QStringLiteral("Eve Dunn")}},
        {"OneFunction", 1, "Lastname", QStringLiteral("A"), {QStringLiteral("Lector")}, {QStringLiteral("Anna Abbot"), QStringLiteral("Ben Abrams")}},
        // Dan serves in both and is found once.
        {"TwoFunctions", 1, "Lastname", QString(), {QStringLiteral("Lector"), QStringLiteral("Usher")},
         {QStringLiteral("Anna Abbot"), QStringLiteral("Ben Abrams"), QStringLiteral("Cara Brown"), QStringLiteral("Dan Carter")}},
        {"FunctionNarrowsTheName", 1, "Lastname", QStringLiteral("B"), {QStringLiteral("Lector")}, {}},
        {"Apostrophe", 1, "Lastname", QStringLiteral("O'B"), {}, {QStringLiteral("Seán O'Brien")}},
        {"Greek", 1, "Lastname", QStringLiteral("Παπα"), {}, {QStringLiteral("Νίκος Παπαδόπουλος")}},
        {"PolishFirstName", 1, "Firstname", QStringLiteral("łuk"), {}, {QStringLiteral("Łukasz Żak")}},
        {"NothingFound", 1, "Lastname", QStringLiteral("Zz"), {}, {}},
        {"Family", 2, "Familyname", QStringLiteral("Br"), {}, {QStringLiteral("Brown"), QStringLiteral("Bryant")}},
        {"FamilyWithHyphen", 2, "Familyname", QStringLiteral("abbot-"), {}, {QStringLiteral("Abbot-Abrams")}},
        {"Group", 4, "Groupname", QStringLiteral("Choir"), {}, {QStringLiteral("Choir"), QStringLiteral("Choir juniors")}},
        {"GroupWithBlank", 4, "Groupname", QStringLiteral("choir j"), {}, {QStringLiteral("Choir juniors")}}};
    for (const ServerCase &c : cases) {
        SCOPED_TRACE(c.name);
        NewDialog();
        // An empty criterion searches only where several kinds are offered.
        Prepare(c.text.isEmpty() ? 7 : c.kind);
        Search(QString::fromLatin1(c.column), c.text, c.functions);
        EXPECT_EQ(Shown(), c.expected);
        EXPECT_EQ(dialog->FoundCount(), c.expected.size());
    }
    EXPECT_TRUE(log.lines().filter(QStringLiteral("Severe")).isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log.lines().filter(QStringLiteral("Warning")).isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(SearchAgainstServer, TheFunctionFilterListsTheFunctionsAndShowsTheCheckedOnes)
{
    Prepare(1);
    ASSERT_EQ(dialog->chkFunctions()->count(), 2);
    EXPECT_EQ(dialog->chkFunctions()->item(0)->text(), QStringLiteral("Lector"));
    dialog->chkFunctions()->item(0)->setCheckState(Qt::Checked);
    dialog->chkFunctions()->item(1)->setCheckState(Qt::Checked);
    dialog->FunctionsPopup()->show();
    dialog->CloseFunctionsPopup();
    EXPECT_EQ(dialog->cxPopFunctions()->text(), QStringLiteral("Lector,Usher"));
    EXPECT_EQ(dialog->CheckedFunctionIds(), (QStringList{kLector, kUsher}));
}

TEST_F(SearchAgainstServer, TheRowLimitCutsTheRowsAndABadLimitFindsNothing)
{
    Prepare(3);
    dialog->msMaxRecords()->setText(QStringLiteral("2"));
    Search(QStringLiteral("Lastname"), QString());
    EXPECT_EQ(dialog->FoundCount(), 2);
    EXPECT_EQ(dialog->StatusText(), QStringLiteral("2 found"));
    dialog->msMaxRecords()->setText(QString());
    Search(QStringLiteral("Lastname"), QStringLiteral("A"));
    EXPECT_EQ(dialog->FoundCount(), 0);
    EXPECT_EQ(Shown(), QStringList());
    EXPECT_EQ(dialog->StatusText(), QStringLiteral("0 found"));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Severe     \tQuorva\tPreformSearch>")).size(), 1);
}

TEST_F(SearchAgainstServer, AFoundRowIsSelectedAndOkNeedsIt)
{
    Prepare(1);
    EXPECT_FALSE(dialog->acOK()->isEnabled());
    EXPECT_FALSE(dialog->acSearch()->isEnabled()); // one kind and no criterion
    Search(QStringLiteral("Lastname"), QStringLiteral("Abr"));
    EXPECT_TRUE(dialog->acOK()->isEnabled());
    EXPECT_EQ(dialog->grdSearch()->selectionModel()->selectedRows().size(), 1);
    Search(QStringLiteral("Lastname"), QStringLiteral("Zz"));
    EXPECT_FALSE(dialog->acOK()->isEnabled());
    EXPECT_FALSE(dialog->grdSearch()->selectionModel()->hasSelection());
}

TEST_F(SearchAgainstServer, MembersAreGatheredOnceAndNeverFromTheExclusionList)
{
    TSearchObjectList excluded;
    excluded << TSearchListItem{kAnna, {}};
    Prepare(5, true);
    dialog->SetExclusionList(&excluded);
    Search(QStringLiteral("Lastname"), QStringLiteral("A"));
    ASSERT_EQ(dialog->FoundCount(), 2);
    SelectAllResults();
    EXPECT_EQ(dialog->StatusText(), QStringLiteral("2 found, 2 selected"));
    dialog->acAddmember()->trigger();
    dialog->acAddmember()->trigger();
    EXPECT_EQ(MemberIds(), QStringList{kBen});
    const TSearchMember &ben = dialog->Members().Member(0);
    EXPECT_TRUE(ben.Flag);
    EXPECT_EQ(ben.FirstName, QStringLiteral("Ben"));
    EXPECT_EQ(ben.LastName, QStringLiteral("Abrams"));

    Search(QStringLiteral("Lastname"), QString());
    SelectAllResults();
    dialog->acAddmember()->trigger();
    EXPECT_EQ(dialog->Members().Count(), 7); // eight contacts, Anna excluded
    EXPECT_TRUE(dialog->acOK()->isEnabled());

    dialog->grdMembers()->selectRow(0);
    dialog->acRemovemember()->trigger();
    EXPECT_EQ(dialog->Members().Count(), 6);

    // Another kind starts with no members.
    dialog->ChooseLookFor(1);
    EXPECT_EQ(dialog->CurrentKind(), SearchKind::Groups);
    EXPECT_EQ(dialog->Members().Count(), 0);
}

TEST_F(SearchAgainstServer, AMaskOfAllKindsStartsWithContactsAndSwitchesKinds)
{
    Prepare(7, true);
    EXPECT_EQ(dialog->cboLookFor()->count(), 3);
    EXPECT_EQ(dialog->CurrentKind(), SearchKind::Contacts);
    EXPECT_TRUE(dialog->acSearch()->isEnabled());
    Search(QStringLiteral("Lastname"), QStringLiteral("Ab"));
    EXPECT_EQ(dialog->FoundCount(), 2);
    // The contacts' rows and their sort give way to the groups' own.
    dialog->KindAction(SearchKind::Groups)->trigger();
    EXPECT_EQ(dialog->CurrentKind(), SearchKind::Groups);
    EXPECT_EQ(dialog->cboLookFor()->currentIndex(), 2);
    EXPECT_FALSE(dialog->CriteriaPanel(SearchKind::Contacts)->isVisibleTo(dialog.get()));
    EXPECT_TRUE(dialog->CriteriaPanel(SearchKind::Groups)->isVisibleTo(dialog.get()));
    Search(QStringLiteral("Groupname"), QStringLiteral("R"));
    EXPECT_EQ(Shown(), QStringList{QStringLiteral("Readers")});
    SelectAllResults();
    dialog->acAddmember()->trigger();
    const TSearchObjectList result = dialog->Result();
    ASSERT_EQ(result.size(), 1);
    EXPECT_EQ(result[0].Object.Caption, QStringLiteral("{B0000000-0000-0000-0000-000000000003}"));
    EXPECT_EQ(result[0].Object.TypeID, TSearchObject::GroupType);
    EXPECT_EQ(result[0].Object.Text1, QStringLiteral("Readers"));
}

// --- the host's operation ---------------------------------------------------------------------

class HostSearch : public SearchAgainstServer
{
protected:
    void SetUp() override
    {
        SearchAgainstServer::SetUp();
        if (IsSkipped())
            return;
        dialog.reset();
        if (shared->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblUsers WHERE PK_UserID = '%1'").arg(kSearcher)) == "0")
            shared->AddUser(kSearcher, QStringLiteral("searcher"), HashPassword(QStringLiteral("Searcher-1")));
        client = std::make_unique<TDMClient>(program.ProgramPath());
        client->ReadConfiguration();
        const QString url = QStringLiteral("http://127.0.0.1:%1/Bin").arg(shared->http.Port());
        client->ROHTTP()->SetTargetURL(url);
        client->CreateDataAccessModule();
        THostComponentFactory().InstallComponents(*client);
        std::unique_ptr<ROUser> user;
        ASSERT_EQ(CoLogOnService::Create(client->ROBinMgs(), client->ROHTTP())
                      ->VerifyUser(client->ApplicationID(), QStringLiteral("searcher"), QStringLiteral("Searcher-1"), false, QString(),
                                   false, user),
                  0);
    }

    void TearDown() override
    {
        client.reset();
        SearchAgainstServer::TearDown();
    }

    void WhenShown(std::function<void(TfSearch &)> user) { kestrova::test::WhenShown<TfSearch>(user, client.get()); }

    ProgramFolder program;
    std::unique_ptr<TDMClient> client;
};

TEST_F(HostSearch, ThePickedRowComesBackWithItsIdNameTypeAndFlag)
{
    WhenShown([](TfSearch &search) {
        search.edCText()->setText(QStringLiteral("Abr"));
        search.acSearch()->trigger();
        search.acOK()->trigger();
    });
    std::unique_ptr<TSearchObjectList> result;
    ASSERT_TRUE(client->PerformSearch(1, QStringLiteral("Pick"), 0, false, nullptr, nullptr, result));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->size(), 1);
    EXPECT_EQ(result->at(0).Text, kBen);
    EXPECT_EQ(result->at(0).Object.Caption, kBen);
    EXPECT_EQ(result->at(0).Object.Text1, QStringLiteral("Ben Abrams"));
    EXPECT_EQ(result->at(0).Object.TypeID, TSearchObject::ContactType);
    EXPECT_TRUE(result->at(0).Object.Flag);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(HostSearch, AFamilyPickedFromAllKindsIsAFamily)
{
    WhenShown([](TfSearch &search) {
        search.ChooseLookFor(1);
        search.edFText()->setText(QStringLiteral("Bro"));
        search.acSearch()->trigger();
        search.acOK()->trigger();
    });
    std::unique_ptr<TSearchObjectList> result;
    ASSERT_TRUE(client->PerformSearch(7, QString(), 0, false, nullptr, nullptr, result));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->at(0).Object.Caption, kBrown);
    EXPECT_EQ(result->at(0).Object.Text1, QStringLiteral("Brown"));
    EXPECT_EQ(result->at(0).Object.TypeID, TSearchObject::FamilyType);
}

TEST_F(HostSearch, CancelReturnsNoList)
{
    WhenShown([](TfSearch &search) {
        search.edCText()->setText(QStringLiteral("A"));
        search.acSearch()->trigger();
        search.acClose()->trigger();
    });
    std::unique_ptr<TSearchObjectList> result;
    EXPECT_FALSE(client->PerformSearch(1, QStringLiteral("Pick"), 0, false, nullptr, nullptr, result));
    EXPECT_FALSE(result);
}

TEST_F(HostSearch, PreselectedMembersComeBackWithTheAddedOnes)
{
    TSearchObjectList preselected;
    TSearchListItem cara;
    cara.Text = QStringLiteral("Brown Cara");
    cara.Object.Caption = kCara;
    cara.Object.Text1 = QStringLiteral("Brown Cara");
    preselected << cara;
    WhenShown([](TfSearch &search) {
        search.edCText()->setText(QStringLiteral("Brown"));
        search.acSearch()->trigger();
        search.grdSearch()->selectAll();
        search.acAddmember()->trigger(); // Cara is a member already
        search.edCText()->setText(QStringLiteral("Dunn"));
        search.acSearch()->trigger();
        search.grdSearch()->selectAll();
        search.acAddmember()->trigger();
        search.acOK()->trigger();
    });
    std::unique_ptr<TSearchObjectList> result;
    ASSERT_TRUE(client->PerformSearch(1, QStringLiteral("Members"), 0, true, &preselected, nullptr, result));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->size(), 2);
    EXPECT_EQ(result->at(0).Object.Caption, kCara);
    EXPECT_EQ(result->at(1).Object.Caption, kEve);
    EXPECT_EQ(result->at(1).Text, QStringLiteral("Eve Dunn"));
}
