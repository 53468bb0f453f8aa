// The settings service through the generated proxies over HTTP: users with hashed passwords
// and the administrator's right to change them, per-user settings and layout blobs, deleting a
// user's settings, and the migration into a new database.
#include "foundation/QorDateTime.h"
#include "server/services/tests/ProxyDataAdapter.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"
#include "server/database/uDMServerDatabase.h"
#include "server/services/uSettingsService.h"
#include "testsupport/LogCapture.h"

#include "Quorva_Data_Service_Invk.h"
#include "dataaccess/DAException.h"
#include "dataaccess/TDACDSDataTable.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDAWhere.h"
#include "foundation/uCommon.h"
#include "remoting/ROErrors.h"
#include "remoting/RORegistry.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <thread>
#include <tuple>

namespace {

using namespace kestrova::test;

const QString kCarol = QStringLiteral("{C0000000-0000-0000-0000-00000000000C}");
const QString kDave = QStringLiteral("{D0000000-0000-0000-0000-00000000000D}");
const QString kEve = QStringLiteral("{E0000000-0000-0000-0000-00000000000E}");
const QString kApp = QStringLiteral("A01");

std::shared_ptr<ISettingsService> Settings(const ServiceClient &client)
{
    return client.Service<CoSettingsService>();
}

QString Bytes(const std::unique_ptr<TROBinaryMemoryStream> &stream)
{
    return stream ? QString::fromUtf8(stream->Bytes()) : QStringLiteral("<none>");
}

class SettingsServiceTest : public ServiceHarness
{
protected:
    QString Stored(const QString &userId, const QString &column)
    {
        return db.scalar(QStringLiteral("SELECT %1 FROM dbo.tblUsers WHERE PK_UserID = '%2'").arg(column, userId));
    }

    QString Count(const QString &table, const QString &condition = QStringLiteral("true"))
    {
        return db.scalar(QStringLiteral("SELECT count(*) FROM dbo.%1 WHERE %2").arg(table, condition));
    }

    // A new user row as the settings plug-in stamps it, with the password typed in.
    void InsertUser(TDACDSDataTable &users, const QString &id, const QString &name, const QVariant &password)
    {
        users.Insert();
        users.SetValue(QStringLiteral("PK_UserID"), id);
        users.SetValue(QStringLiteral("LogonUsername"), name);
        users.SetValue(QStringLiteral("LogonPassword"), password);
        users.SetValue(QStringLiteral("SecretQuestion"), QStringLiteral("Colour?"));
        users.SetValue(QStringLiteral("SecretAnswer"), QStringLiteral("blue"));
        users.SetValue(QStringLiteral("UseInteractiveLogon"), false);
        users.SetValue(QStringLiteral("F_Userlevel"), kUserLevel);
        users.Post();
    }

    void AddSettings(const QString &userId)
    {
        Sql(QStringLiteral("INSERT INTO tblSettings (APPID, F_UserID, SettingsKey, SettingsValue) VALUES ('A01', '%1', 'Pane', 'open');"
                           "INSERT INTO tblBlobSettings (AppID, F_UserID, BlobName, BlobData) VALUES ('A01', '%1', 'Grid', 'x');")
                .arg(userId));
    }
};

// --- users ---------------------------------------------------------------------------------

TEST_F(SettingsServiceTest, UsersInsertedByAnAdministratorAreStoredHashedAndReadBackWithoutSecrets)
{
    ProxyDataAdapter adapter(Settings(Administrator()));
    TDACDSDataTable users(QStringLiteral("tblUsers"), &adapter);
    users.Open();
    InsertUser(users, kCarol, QStringLiteral("carol"), QStringLiteral("Carol-Pw1"));
    users.ApplyUpdates();
    // The reply brought no hash back into the client's row.
    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kCarol));
    EXPECT_EQ(users.AsString(QStringLiteral("LogonPassword")), QStringLiteral("Carol-Pw1"));

    const QString stored = Stored(kCarol, QStringLiteral("LogonPassword"));
    EXPECT_TRUE(IsPasswordHash(stored)) << stored.toStdString();
    EXPECT_TRUE(VerifyPassword(stored, QStringLiteral("Carol-Pw1")));
    EXPECT_EQ(Stored(kCarol, QStringLiteral("SecretAnswer")), QStringLiteral("blue"));

    users.Refresh();
    ASSERT_GE(users.GetRecordCount(), 2);
    for (users.First(); !users.Eof(); users.Next()) {
        EXPECT_TRUE(users.IsNull(QStringLiteral("LogonPassword"))) << users.AsString(QStringLiteral("LogonUsername")).toStdString();
        EXPECT_TRUE(users.IsNull(QStringLiteral("SecretAnswer")));
    }
    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kCarol));
    EXPECT_EQ(users.AsString(QStringLiteral("SecretQuestion")), QStringLiteral("Colour?"));
    // The new user logs on with the password as typed.
    LogOn(QStringLiteral("carol"), QStringLiteral("Carol-Pw1"));
}

TEST_F(SettingsServiceTest, EditingAUserKeepsTheStoredSecretsAndANewPasswordIsHashed)
{
    ProxyDataAdapter adapter(Settings(Administrator()));
    TDACDSDataTable users(QStringLiteral("tblUsers"), &adapter);
    users.Open();
    InsertUser(users, kCarol, QStringLiteral("carol"), QStringLiteral("First-Pw1"));
    users.ApplyUpdates(true);
    const QString firstHash = Stored(kCarol, QStringLiteral("LogonPassword"));

    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kCarol));
    users.Edit();
    users.SetValue(QStringLiteral("Comments"), QStringLiteral("sings bass"));
    users.Post();
    users.ApplyUpdates(true);
    EXPECT_EQ(Stored(kCarol, QStringLiteral("Comments")), QStringLiteral("sings bass"));
    EXPECT_EQ(Stored(kCarol, QStringLiteral("LogonPassword")), firstHash);
    EXPECT_EQ(Stored(kCarol, QStringLiteral("SecretAnswer")), QStringLiteral("blue"));

    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kCarol));
    users.Edit();
    users.SetValue(QStringLiteral("LogonPassword"), QStringLiteral("Second-Pw2"));
    users.Post();
    users.ApplyUpdates(true);
    const QString secondHash = Stored(kCarol, QStringLiteral("LogonPassword"));
    EXPECT_NE(secondHash, firstHash);
    EXPECT_TRUE(VerifyPassword(secondHash, QStringLiteral("Second-Pw2")));
    EXPECT_FALSE(VerifyPassword(secondHash, QStringLiteral("First-Pw1")));
}

TEST_F(SettingsServiceTest, ANonAdministratorsChangesToUsersAreRefusedAndChangeNothing)
{
    Administrator();
    ProxyDataAdapter adapter(Settings(Member()));
    TDACDSDataTable users(QStringLiteral("tblUsers"), &adapter);
    users.Open();
    const QString before = db.scalar(QStringLiteral("SELECT md5(string_agg(t::text, '|' ORDER BY PK_UserID)) FROM dbo.tblUsers t"));

    InsertUser(users, kCarol, QStringLiteral("carol"), QStringLiteral("Carol-Pw1"));
    {
        LogCapture log;
        EXPECT_THROW(users.ApplyUpdates(), EROException);
        // The refusal leaves its reason and the user in the log.
        EXPECT_EQ(log.texts(QStringLiteral("Warning"), QStringLiteral("SettingsService"), QStringLiteral("Rights")),
                  QStringList{QStringLiteral("Changing \"tblUsers\" is not allowed for this user (member)")});
    }
    users.CancelUpdates();

    // Not even the member's own row, and not the administrator's.
    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kMemberId));
    users.Edit();
    users.SetValue(QStringLiteral("F_Userlevel"), kAdministratorLevel);
    users.Post();
    EXPECT_THROW(users.ApplyUpdates(), EROException);
    users.CancelUpdates();

    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kAdministratorId));
    users.Delete();
    EXPECT_THROW(users.ApplyUpdates(), EROException);

    EXPECT_EQ(db.scalar(QStringLiteral("SELECT md5(string_agg(t::text, '|' ORDER BY PK_UserID)) FROM dbo.tblUsers t")), before);
}

TEST_F(SettingsServiceTest, TheWindowsAccountsAndSecretQuestionsGoToAdministratorsOnly)
{
    Administrator();
    Member();
    Sql(QStringLiteral("UPDATE tblUsers SET WindowsAccount = 'PARISH\\' || LogonUsername, UseInteractiveLogon = 1, "
                       "SecretQuestion = 'Pet of ' || LogonUsername"));
    const auto values = [&](const ServiceClient &client, const QString &field) {
        ProxyDataAdapter adapter(Settings(client));
        TDACDSDataTable users(QStringLiteral("tblUsers"), &adapter);
        users.Open();
        QStringList seen;
        for (users.First(); !users.Eof(); users.Next())
            seen << (users.IsNull(field) ? QStringLiteral("null") : users.AsString(field));
        seen.sort();
        return seen;
    };
    const QString account = QStringLiteral("WindowsAccount");
    const QString question = QStringLiteral("SecretQuestion");
    EXPECT_EQ(values(Member(), account), (QStringList{QStringLiteral("null"), QStringLiteral("null")}));
    EXPECT_EQ(values(Administrator(), account), (QStringList{QStringLiteral("PARISH\\admin"), QStringLiteral("PARISH\\member")}));
    // No client reads the question back, so the plain user gets none, not even his own.
    EXPECT_EQ(values(Member(), question), (QStringList{QStringLiteral("null"), QStringLiteral("null")}));
    EXPECT_EQ(values(Administrator(), question), (QStringList{QStringLiteral("Pet of admin"), QStringLiteral("Pet of member")}));
}

// What a GetData of one dataset answers: its rows (values joined by "|", rows sorted unless the
// request orders them), or the error.
QString Answer(const ServiceClient &client, const QString &dataset, const TableRequestInfoV5 &info)
{
    try {
        const auto reply = Settings(client)->GetData({dataset}, {info});
        const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(reply->Bytes());
        QStringList rows;
        for (const QVariantList &row : tables.at(0).Rows) {
            QStringList values;
            for (const QVariant &value : row)
                values << (value.isNull() ? QStringLiteral("null") : value.toString());
            rows << values.join(QLatin1Char('|'));
        }
        if (info.Sorting.FieldName.isEmpty())
            rows.sort();
        return rows.join(QLatin1Char('\n'));
    } catch (const std::exception &e) {
        return QStringLiteral("refused: ") + QString::fromUtf8(e.what());
    }
}

TableRequestInfoV5 Condition(const QString &field, TDAWhereOperator op, const QVariant &value)
{
    TableRequestInfoV5 info;
    info.WhereClause = TDAWhere().AddCondition(field, op, value).ToXml();
    return info;
}

TEST_F(SettingsServiceTest, APlainUsersConditionOrderOrColumnsOnTheWindowsAccountAreRefusedAndAnAdministratorsWork)
{
    Administrator();
    Member();
    Sql(QStringLiteral("UPDATE tblUsers SET WindowsAccount = 'PARISH\\' || LogonUsername, UseInteractiveLogon = 1"));
    const QString users = QStringLiteral("tblUsers");
    const struct
    {
        const char *what;
        std::function<TableRequestInfoV5(const QString &field)> request;
        QString administratorSees; // the rows' keys and accounts, or a part of the rows
    } cases[] = {
        {"condition", [](const QString &field) { return Condition(field, TDAWhereOperator::woLike, QStringLiteral("PARISH_a%")); },
         QStringLiteral("PARISH\\admin")},
        {"order",
         [](const QString &field) {
             TableRequestInfoV5 info;
             info.DynamicSelectFieldNames = {QStringLiteral("LogonUsername")};
             info.Sorting = {field, ColumnSortDirection::Descending};
             return info;
         },
         QStringLiteral("member\nadmin")},
        {"columns",
         [](const QString &field) {
             TableRequestInfoV5 info;
             info.DynamicSelectFieldNames = {QStringLiteral("LogonUsername"), field};
             return info;
         },
         QStringLiteral("admin|PARISH\\admin\nmember|PARISH\\member")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString refused = Answer(Member(), users, c.request(QStringLiteral("WindowsAccount")));
        EXPECT_TRUE(refused.startsWith(QStringLiteral("refused: "))) << refused.toStdString();
        // Word for word the refusal of a field the dataset does not have.
        EXPECT_EQ(refused, Answer(Member(), users, c.request(QStringLiteral("NoSuchField")))
                               .replace(QStringLiteral("NoSuchField"), QStringLiteral("WindowsAccount")));
        EXPECT_TRUE(Answer(Administrator(), users, c.request(QStringLiteral("WindowsAccount"))).contains(c.administratorSees));
    }
    // What may be named still works for the plain user, the account left out.
    EXPECT_EQ(Answer(Member(), users, cases[1].request(QStringLiteral("LogonUsername"))), QStringLiteral("member\nadmin"));
    // A column list names each field once: the name twice is refused as any field beyond the dataset's.
    EXPECT_EQ(Answer(Member(), users, cases[2].request(QStringLiteral("LogonUsername"))),
              QStringLiteral("refused: Dataset \"tblUsers\" has no field \"LogonUsername\" beyond the one named already"));
    EXPECT_TRUE(Answer(Member(), users, Condition(QStringLiteral("LogonUsername"), TDAWhereOperator::woEqual, QStringLiteral("admin")))
                    .contains(QStringLiteral("|admin|")));
}

// Every field whose value the users' reply leaves out for a caller: a condition on it answers
// the same whether it guesses the value right or wrong.
TEST_F(SettingsServiceTest, NoConditionLearnsAFieldTheReplyLeavesOut)
{
    Administrator();
    Member();
    Sql(QStringLiteral("UPDATE tblUsers SET WindowsAccount = 'PARISH\\' || LogonUsername, SecretAnswer = 'blue-' || LogonUsername, "
                       "SecretQuestion = 'Pet of ' || LogonUsername"));
    const QString users = QStringLiteral("tblUsers");
    const struct
    {
        QString field;
        bool administrator;
    } withheld[] = {
        {QStringLiteral("WindowsAccount"), false},
        {QStringLiteral("SecretQuestion"), false},
        {QStringLiteral("LogonPassword"), false},
        {QStringLiteral("LogonPassword"), true},
        {QStringLiteral("SecretAnswer"), false},
        {QStringLiteral("SecretAnswer"), true},
    };
    for (const auto &w : withheld) {
        SCOPED_TRACE((w.field + (w.administrator ? QStringLiteral(" for an administrator") : QStringLiteral(" for a user"))).toStdString());
        const ServiceClient caller = w.administrator ? Administrator() : Member();
        const QString value = Stored(ServiceServer::kAdministratorId, w.field);
        ASSERT_FALSE(value.isEmpty());
        // The reply leaves it out.
        TableRequestInfoV5 plain;
        EXPECT_FALSE(Answer(caller, users, plain).contains(value));
        const QString wrongFirst = value.startsWith(QLatin1Char('z')) ? QStringLiteral("y") : QStringLiteral("z");
        const QList<std::pair<TableRequestInfoV5, TableRequestInfoV5>> guesses = {
            {Condition(w.field, TDAWhereOperator::woEqual, value), Condition(w.field, TDAWhereOperator::woEqual, value + QLatin1Char('x'))},
            {Condition(w.field, TDAWhereOperator::woLike, value.left(1) + QLatin1Char('%')),
             Condition(w.field, TDAWhereOperator::woLike, wrongFirst + QLatin1Char('%'))},
            {Condition(w.field, TDAWhereOperator::woGreaterOrEqual, value), Condition(w.field, TDAWhereOperator::woLess, value)},
        };
        for (const auto &[right, wrong] : guesses)
            EXPECT_EQ(Answer(caller, users, right), Answer(caller, users, wrong)) << right.WhereClause.toStdString();
    }
}

TEST_F(SettingsServiceTest, AConditionInTermsHoldsAtMostTenThousandTermsAndTheirCharacterLimit)
{
    Sql(QStringLiteral("INSERT INTO tblLocations (PK_LocationID, LocationName) VALUES ('{L1}', 'St. Mary'), ('{L2}', 'St. Anne');"));
    const auto terms = [](int count, const QString &value) {
        TDAWhere where;
        for (int i = 0; i < count; ++i)
            where.AddCondition(QStringLiteral("LocationName"), TDAWhereOperator::woNotEqual, value + QString::number(i));
        TableRequestInfoV5 info;
        info.WhereClause = where.ToXml();
        info.DynamicSelectFieldNames = {QStringLiteral("LocationName")};
        return info;
    };
    const struct
    {
        TableRequestInfoV5 request;
        QString answer;
    } cases[] = {
        {terms(10000, QStringLiteral("x")), QStringLiteral("St. Anne\nSt. Mary")},
        {terms(10001, QStringLiteral("x")), QStringLiteral("more than 10000 terms")},
        // The field's name and the value's characters (the last is the term's number) together.
        {terms(1, QString(262144 - 13, QLatin1Char('x'))), QStringLiteral("St. Anne\nSt. Mary")},
        {terms(1, QString(262144 - 12, QLatin1Char('x'))), QStringLiteral("more than 262144 characters")},
    };
    for (const auto &c : cases) {
        const QString answer = Answer(Administrator(), QStringLiteral("DALocations"), c.request);
        EXPECT_TRUE(answer.contains(c.answer)) << answer.left(300).toStdString();
    }
}

TEST_F(SettingsServiceTest, ANewPasswordThroughTheUsersDataWithdrawsTheAutomaticLogOnSecret)
{
    Administrator();
    Member();
    Sql(QStringLiteral("UPDATE tblUsers SET InteractiveLogonHash = '%1'").arg(HashPassword(QStringLiteral("secret"))));
    ProxyDataAdapter adapter(Settings(Administrator()));
    TDACDSDataTable users(QStringLiteral("tblUsers"), &adapter);
    users.Open();
    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kMemberId));
    users.Edit();
    users.SetValue(QStringLiteral("Comments"), QStringLiteral("no new password"));
    users.Post();
    users.ApplyUpdates(true);
    EXPECT_TRUE(IsPasswordHash(Stored(kMemberId, QStringLiteral("InteractiveLogonHash"))));
    ASSERT_TRUE(users.Locate(QStringLiteral("PK_UserID"), kMemberId));
    users.Edit();
    users.SetValue(QStringLiteral("LogonPassword"), QStringLiteral("New-Pw3"));
    users.Post();
    users.ApplyUpdates(true);
    EXPECT_EQ(Count(QStringLiteral("tblUsers"), QStringLiteral("InteractiveLogonHash IS NULL")), QStringLiteral("1"));
    EXPECT_TRUE(Stored(kMemberId, QStringLiteral("InteractiveLogonHash")).isEmpty());
    EXPECT_TRUE(IsPasswordHash(Stored(kAdministratorId, QStringLiteral("InteractiveLogonHash"))));
}

TEST_F(SettingsServiceTest, TheUserCommandsAndUserLevelsCannotBeWrittenAroundTheUsersProcessor)
{
    const auto member = Settings(Member());
    const auto admin = Settings(Administrator());
    for (const auto &service : {member, admin}) {
        EXPECT_THROW(service->ExecuteCommand(QStringLiteral("Insert_tblUsers"),
                                             {DataParameter{QStringLiteral("PK_UserID"), kCarol},
                                              DataParameter{QStringLiteral("LogonPassword"), QStringLiteral("clear")}}),
                     EROException);
        EXPECT_THROW(service->ExecuteCommand(QStringLiteral("delete_tblusers"), {DataParameter{QStringLiteral("OLD_PK_UserID"), kMemberId}}),
                     EROException);
    }
    EXPECT_EQ(Count(QStringLiteral("tblUsers")), QStringLiteral("2"));

    ProxyDataAdapter adapter(member);
    TDACDSDataTable levels(QStringLiteral("UserLevels"), &adapter);
    levels.Open();
    ASSERT_TRUE(levels.Locate(QStringLiteral("PK_UserLevelID"), kUserLevel));
    levels.Edit();
    levels.SetValue(QStringLiteral("UserlevelValue"), 0x7FFFFFFF);
    levels.Post();
    EXPECT_THROW(levels.ApplyUpdates(), EROException);
    EXPECT_NE(db.scalar(QStringLiteral("SELECT UserlevelValue FROM dbo.tblUserLevels WHERE PK_UserLevelID = '%1'").arg(kUserLevel)),
              QString::number(0x7FFFFFFF));
}

TEST_F(SettingsServiceTest, TheFirstUserMayBeAddedBeforeAnyoneExistsAndNoSecondOneWithoutLogOn)
{
    ProxyDataAdapter adapter(Settings(NewClient()));
    TDACDSDataTable users(QStringLiteral("tblUsers"), &adapter);
    users.Open();
    EXPECT_EQ(users.GetRecordCount(), 0);
    InsertUser(users, kCarol, QStringLiteral("carol"), QStringLiteral("Carol-Pw1"));
    users.SetRecNo(0);
    users.Edit();
    users.SetValue(QStringLiteral("F_Userlevel"), kAdministratorLevel);
    users.Post();
    users.ApplyUpdates();
    EXPECT_TRUE(VerifyPassword(Stored(kCarol, QStringLiteral("LogonPassword")), QStringLiteral("Carol-Pw1")));

    // Now that a user exists, a session nobody logged on in is turned away.
    ProxyDataAdapter second(Settings(NewClient()));
    TDACDSDataTable more(QStringLiteral("tblUsers"), &second);
    EXPECT_THROW(more.Open(), EROException);
    EXPECT_EQ(Count(QStringLiteral("tblUsers")), QStringLiteral("1"));
}

// --- locations, history date, version ------------------------------------------------------

TEST_F(SettingsServiceTest, LocationsAndTheHistoryDateAreWrittenThroughTheirCommands)
{
    ProxyDataAdapter adapter(Settings(Administrator()));
    TDACDSDataTable locations(QStringLiteral("DALocations"), &adapter);
    locations.Open();
    const int before = locations.GetRecordCount();
    for (const auto &[id, name, sort] : {std::tuple{"{L0000000-0000-0000-0000-000000000002}", "Chapel", 1},
                                         std::tuple{"{L0000000-0000-0000-0000-000000000001}", "Church", 0}}) {
        locations.Insert();
        locations.SetValue(QStringLiteral("PK_LocationID"), QLatin1String(id));
        locations.SetValue(QStringLiteral("LocationName"), QLatin1String(name));
        locations.SetValue(QStringLiteral("LocationAddress"), QStringLiteral("Main Street 1\nTown"));
        locations.SetValue(QStringLiteral("SortIndex"), sort);
        locations.Post();
    }
    locations.ApplyUpdates(true);
    ASSERT_EQ(locations.GetRecordCount(), before + 2);
    // Ordered by sort index: the church, then the chapel.
    ASSERT_TRUE(locations.Locate(QStringLiteral("LocationName"), QStringLiteral("Chapel")));
    const int chapel = locations.GetRecNo();
    ASSERT_TRUE(locations.Locate(QStringLiteral("LocationName"), QStringLiteral("Church")));
    EXPECT_EQ(locations.GetRecNo() + 1, chapel);
    EXPECT_EQ(locations.AsString(QStringLiteral("LocationAddress")), QStringLiteral("Main Street 1\nTown"));
    locations.Edit();
    locations.SetValue(QStringLiteral("LocationName"), QStringLiteral("Cathedral"));
    locations.Post();
    locations.Next();
    EXPECT_EQ(locations.AsString(QStringLiteral("LocationName")), QStringLiteral("Chapel"));
    locations.Delete();
    locations.ApplyUpdates(true);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT LocationName FROM dbo.tblLocations WHERE PK_LocationID LIKE '{L0%'")),
              QList<QStringList>({{"Cathedral"}}));

    TDACDSDataTable history(QStringLiteral("DA_HistoryDate"), &adapter);
    history.Open();
    ASSERT_EQ(history.GetRecordCount(), 1);
    history.Edit();
    history.SetValue(QStringLiteral("HistoryStartDate"), WallClock(QDate(2020, 9, 1), QTime(0, 0)));
    history.Post();
    history.ApplyUpdates();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT HistoryStartDate::date::text FROM dbo.tblHistoryStartDate")), QStringLiteral("2020-09-01"));

    TDACDSDataTable version(QStringLiteral("DA_DbVersion"), &adapter);
    version.Open();
    ASSERT_EQ(version.GetRecordCount(), 1);
    EXPECT_EQ(version.AsInteger(QStringLiteral("Version")), kDatabaseVersion);
}

// --- failures and time limits ----------------------------------------------------------------

// A location inserted through UpdateData: the failed change's message, or the error.
QString InsertLocation(const ServiceClient &client, const QString &id, const QString &name)
{
    TDADelta delta;
    delta.LogicalName = QStringLiteral("DALocations");
    delta.Fields = TSettingsService::Schema().DatasetByName(delta.LogicalName).Fields;
    TDADeltaChange change(1, TDAChangeType::ctInsert, int(delta.Fields.size()));
    change.SetNewValue(DAFindField(delta.Fields, QStringLiteral("PK_LocationID")), id);
    change.SetNewValue(DAFindField(delta.Fields, QStringLiteral("LocationName")), name);
    delta.Changes << change;
    try {
        const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
        const auto reply = Settings(client)->UpdateData(&request);
        return TDADataStreamer::ReadDeltas(reply->Bytes()).at(0).Changes.at(0).Message;
    } catch (const std::exception &e) {
        return QStringLiteral("refused: ") + QString::fromUtf8(e.what());
    }
}

QStringList SevereLines(const LogCapture &log)
{
    QStringList severe;
    for (const QString &line : log.lines())
        if (line.startsWith(TQorLog::LevelWord(llSevere)))
            severe << line;
    return severe;
}

TEST_F(SettingsServiceTest, AFailedRequestTellsTheClientWhatFailedAndLogsOneSevereLineWithTheDatabasesText)
{
    const ServiceClient administrator = Administrator();
    const QString taken = QStringLiteral("{L0000000-0000-0000-0000-0000000000AA}");
    Sql(QStringLiteral("INSERT INTO tblLocations (PK_LocationID, LocationName) VALUES ('%1', 'Church')").arg(taken));
    const QString reachable = db.connectionString();
    const QString unreachable = TestDatabase::connectionString(QStringLiteral("/nonexistent-kestrova-socket"), db.port(), db.name());
    const struct
    {
        const char *what;
        std::function<QString()> request;
        QString clientIsTold;
        QString context;     // of the one Severe line
        QString databaseSays; // in that line
    } cases[] = {
        {"unique violation", [&] { return InsertLocation(administrator, taken, QStringLiteral("Chapel")); },
         QStringLiteral("A row with this value of \"pk_locationid\" already exists"), QStringLiteral("UpdateData"),
         QStringLiteral("tbllocations_pkey")},
        {"too long", [&] { return InsertLocation(administrator, QString(45, QLatin1Char('L')), QStringLiteral("Chapel")); },
         QStringLiteral("A value is too long for its field"), QStringLiteral("UpdateData"), QStringLiteral("character varying(38)")},
        {"database down",
         [&] {
             server->ConnectionManager().AddConnection(QStringLiteral("MSSQL"), unreachable, true);
             const QString answer = Answer(administrator, QStringLiteral("DALocations"), {});
             server->ConnectionManager().AddConnection(QStringLiteral("MSSQL"), reachable, true);
             return answer;
         },
         QStringLiteral("refused: The database cannot be reached"), QStringLiteral("GetData"), QStringLiteral("/nonexistent-kestrova-socket")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const LogCapture log;
        const QString told = c.request();
        EXPECT_EQ(told, c.clientIsTold);
        EXPECT_FALSE(told.contains(c.databaseSays));
        const QStringList severe = SevereLines(log);
        ASSERT_EQ(severe.size(), 1) << severe.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(severe[0].startsWith(TQorLog::LevelWord(llSevere) + QStringLiteral("\tSettingsService\t") + c.context + QLatin1Char(' ')))
            << severe[0].toStdString();
        EXPECT_TRUE(severe[0].contains(c.databaseSays)) << severe[0].toStdString();
    }
    EXPECT_EQ(Count(QStringLiteral("tblLocations"), QStringLiteral("LocationName = 'Chapel'")), QStringLiteral("0"));
}

TEST_F(SettingsServiceTest, AStatementEndsAtTheTimeLimitOrAsSoonAsItsClientHangsUp)
{
    using namespace std::chrono_literals;
    const auto restart = [&](std::chrono::milliseconds limit) {
        http.SetActive(false);
        http.SetStatementTimeLimit(limit);
        http.SetActive(true);
    };
    // Reads of the locations wait for this lock until they are ended.
    std::unique_ptr<IDAConnection> holder = Connection();
    holder->BeginTransaction();
    holder->NewCommand(QStringLiteral("LOCK TABLE tblLocations IN ACCESS EXCLUSIVE MODE"))->Execute();
    const auto waitingEnds = [&] {
        for (int i = 0; i < 50; ++i) {
            if (db.scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                                         "AND wait_event_type = 'Lock' AND query ILIKE '%tblLocations%'")) == QStringLiteral("0"))
                return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    };
    const struct
    {
        const char *what;
        std::chrono::milliseconds limit;
        std::chrono::milliseconds clientWaits;
        QString clientIsTold; // the start of it
    } cases[] = {
        {"time limit", 1000ms, 0ms, QStringLiteral("refused: The database did not finish the statement within 1 s: it was cancelled")},
        {"client hangs up", 60000ms, 500ms, QStringLiteral("refused: No reply from the server for 500 ms")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        restart(c.limit);
        const ServiceClient member = Member();
        if (c.clientWaits.count() > 0)
            member.Channel->SetTimeout(c.clientWaits);
        const LogCapture log;
        const auto started = std::chrono::steady_clock::now();
        const QString answer = Answer(member, QStringLiteral("DALocations"), {});
        EXPECT_TRUE(answer.startsWith(c.clientIsTold)) << answer.toStdString();
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        // Ended on the database too, long before the lock goes.
        EXPECT_TRUE(waitingEnds());
        // The request's thread writes its line as it ends, a moment after the client has gone.
        QStringList lines;
        for (int i = 0; i < 50 && lines.isEmpty(); ++i, std::this_thread::sleep_for(50ms))
            lines = log.texts(QStringLiteral("Severe"), QStringLiteral("SettingsService"), QStringLiteral("GetData"));
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines[0].contains(QStringLiteral("cancelled"))) << lines[0].toStdString();
    }
    holder->RollbackTransaction();
    EXPECT_FALSE(Answer(Member(), QStringLiteral("DALocations"), {}).startsWith(QStringLiteral("refused")));
}

// --- per-user settings and blobs -----------------------------------------------------------

TEST_F(SettingsServiceTest, PerUserSettingsRoundTripForTheirOwnerOnly)
{
    AddSettings(kDave);
    ProxyDataAdapter adapter(Settings(Member()));
    TDACDSDataTable settings(QStringLiteral("DASettings"), &adapter);
    settings.ParamByName(QStringLiteral("UserID")).Value = kMemberId;
    settings.Open();
    EXPECT_EQ(settings.GetRecordCount(), 0);
    settings.Insert();
    settings.SetValue(QStringLiteral("APPID"), kApp);
    settings.SetValue(QStringLiteral("F_UserID"), kMemberId);
    settings.SetValue(QStringLiteral("SettingsKey"), QStringLiteral("Last period"));
    settings.SetValue(QStringLiteral("SettingsValue"), QStringLiteral("week"));
    settings.SetValue(QStringLiteral("SystemSetting"), false);
    settings.Post();
    settings.ApplyUpdates();

    TDACDSDataTable again(QStringLiteral("DASettings"), &adapter);
    again.ParamByName(QStringLiteral("UserID")).Value = kMemberId;
    again.Open();
    ASSERT_EQ(again.GetRecordCount(), 1);
    EXPECT_EQ(again.AsString(QStringLiteral("SettingsKey")), QStringLiteral("Last period"));
    EXPECT_EQ(again.AsString(QStringLiteral("SettingsValue")), QStringLiteral("week"));
    again.Edit();
    again.SetValue(QStringLiteral("SettingsValue"), QStringLiteral("month"));
    again.Post();
    again.ApplyUpdates();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT SettingsValue FROM dbo.tblSettings WHERE F_UserID = '%1'").arg(kMemberId)),
              QStringLiteral("month"));
    EXPECT_EQ(Count(QStringLiteral("tblSettings"), QStringLiteral("F_UserID = '%1'").arg(kDave)), QStringLiteral("1"));
}

TEST_F(SettingsServiceTest, SettingsOpenedWithoutAUserAreThoseOfTheSchemasDefaultUser)
{
    const QString defaultUser = QStringLiteral("{1E6F182A-54A7-4A85-9458-8947CB20A986}");
    AddSettings(defaultUser);
    AddSettings(kDave);
    ProxyDataAdapter adapter(Settings(Member()));
    TDACDSDataTable settings(QStringLiteral("DASettings"), &adapter);
    settings.Open();
    ASSERT_EQ(settings.GetRecordCount(), 1);
    EXPECT_EQ(settings.AsString(QStringLiteral("F_UserID")), defaultUser);
}

TEST_F(SettingsServiceTest, ABlobLoadsEmptySavesTwiceIntoOneRowAndClears)
{
    const auto settings = Settings(Member());
    EXPECT_EQ(Bytes(settings->LoadBlobSetting(kApp, kMemberId, QStringLiteral("Grid"))), QStringLiteral("<none>"));

    const TROBinaryMemoryStream first(QByteArrayLiteral("first layout"));
    settings->SaveBlobSetting(kApp, kMemberId, QStringLiteral("Grid"), &first);
    EXPECT_EQ(Bytes(settings->LoadBlobSetting(kApp, kMemberId, QStringLiteral("Grid"))), QStringLiteral("first layout"));

    const TROBinaryMemoryStream second(QByteArray("second\0layout", 13));
    settings->SaveBlobSetting(kApp, kMemberId, QStringLiteral("Grid"), &second);
    const auto loaded = settings->LoadBlobSetting(kApp, kMemberId, QStringLiteral("Grid"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Bytes(), second.Bytes());
    EXPECT_EQ(Count(QStringLiteral("tblBlobSettings")), QStringLiteral("1"));

    EXPECT_TRUE(settings->ClearBlobSetting(kApp, kMemberId, QStringLiteral("Grid")));
    EXPECT_EQ(Bytes(settings->LoadBlobSetting(kApp, kMemberId, QStringLiteral("Grid"))), QStringLiteral("<none>"));
    EXPECT_EQ(Count(QStringLiteral("tblBlobSettings")), QStringLiteral("0"));
}

TEST_F(SettingsServiceTest, BlobCallsWithMissingArgumentsTouchNothing)
{
    AddSettings(kMemberId);
    const auto settings = Settings(Member());
    EXPECT_EQ(Bytes(settings->LoadBlobSetting(QString(), kMemberId, QStringLiteral("Grid"))), QStringLiteral("<none>"));
    EXPECT_EQ(Bytes(settings->LoadBlobSetting(kApp, kMemberId, QStringLiteral("Never saved"))), QStringLiteral("<none>"));
    settings->SaveBlobSetting(kApp, kMemberId, QStringLiteral("Grid"), nullptr);
    EXPECT_TRUE(settings->ClearBlobSetting(kApp, QString(), QStringLiteral("Grid")));
    EXPECT_EQ(Bytes(settings->LoadBlobSetting(kApp, kMemberId, QStringLiteral("Grid"))), QStringLiteral("x"));
}

TEST_F(SettingsServiceTest, ConcurrentSavesOfOneBlobLeaveOneRowWithOneOfTheBlocks)
{
    constexpr int kThreads = 6;
    constexpr int kSaves = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            TSettingsService service(TSettingsServiceContext{server->ConnectionManager(), folder.path()});
            for (int i = 0; i < kSaves; ++i) {
                const TROBinaryMemoryStream block(QStringLiteral("block %1.%2").arg(t).arg(i).toUtf8());
                service.SaveBlobSetting(kApp, kEve, QStringLiteral("Grid"), &block);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(Count(QStringLiteral("tblBlobSettings")), QStringLiteral("1"));
    EXPECT_TRUE(db.scalar(QStringLiteral("SELECT convert_from(BlobData, 'UTF8') FROM dbo.tblBlobSettings"))
                    .endsWith(QStringLiteral(".%1").arg(kSaves - 1)));
}

TEST_F(SettingsServiceTest, DeleteUserRemovesExactlyTheListedUsersSettings)
{
    for (const QString &id : {kCarol, kDave, kEve})
        AddSettings(id);
    const auto settings = Settings(Administrator());
    EXPECT_TRUE(settings->DeleteUser(kCarol + QStringLiteral("\r\n") + kDave + QStringLiteral("\n")));
    for (const QString &table : {QStringLiteral("tblSettings"), QStringLiteral("tblBlobSettings")})
        EXPECT_EQ(db.rows(QStringLiteral("SELECT F_UserID FROM dbo.%1").arg(table)), QList<QStringList>({{kEve}})) << table.toStdString();
    EXPECT_TRUE(settings->DeleteUser(QString()));
    EXPECT_EQ(Count(QStringLiteral("tblSettings")), QStringLiteral("1"));
}

TEST_F(SettingsServiceTest, DeleteUserDeletesAllOrNothing)
{
    for (const QString &id : {kCarol, kDave})
        AddSettings(id);
    // The second user's settings cannot be deleted: the first user's must stay too.
    Sql(QStringLiteral("CREATE FUNCTION keep_dave() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                       "IF OLD.F_UserID = '%1' THEN RAISE EXCEPTION 'kept'; END IF; RETURN OLD; END $$;"
                       "CREATE TRIGGER keep_dave BEFORE DELETE ON tblSettings FOR EACH ROW EXECUTE FUNCTION keep_dave();")
            .arg(kDave));
    LogCapture log;
    EXPECT_FALSE(Settings(Administrator())->DeleteUser(kCarol + QStringLiteral("\r\n") + kDave));
    EXPECT_EQ(Count(QStringLiteral("tblSettings")), QStringLiteral("2"));
    EXPECT_EQ(Count(QStringLiteral("tblBlobSettings")), QStringLiteral("2"));
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("SettingsService"), QStringLiteral("DeleteUser")).size(), 1);
}

TEST_F(SettingsServiceTest, DeleteUserIsRefusedToANonAdministrator)
{
    Administrator();
    AddSettings(kCarol);
    EXPECT_THROW(Settings(Member())->DeleteUser(kCarol), EROException);
    EXPECT_EQ(Count(QStringLiteral("tblSettings")), QStringLiteral("1"));
    EXPECT_EQ(Count(QStringLiteral("tblBlobSettings")), QStringLiteral("1"));
}

// Another user's settings and layouts are out of a plain user's reach; an administrator's
// session reaches them.
TEST_F(SettingsServiceTest, AnotherUsersSettingsAndLayoutsAreReachedOnlyByAnAdministrator)
{
    Administrator();
    AddSettings(kDave);
    const auto denied = [](const std::function<void()> &call) -> QString {
        try {
            call();
        } catch (const EROServerError &e) {
            return e.ClassName();
        }
        return QStringLiteral("answered");
    };
    const auto member = Settings(Member());
    const TROBinaryMemoryStream layout(QByteArrayLiteral("theirs"));
    TableRequestInfoV5 request;
    request.Parameters << DataParameter{QStringLiteral("UserID"), kDave};
    EXPECT_EQ(denied([&] { member->LoadBlobSetting(kApp, kDave, QStringLiteral("Grid")); }), QStringLiteral("EROAccessDenied"));
    EXPECT_EQ(denied([&] { member->SaveBlobSetting(kApp, kDave, QStringLiteral("Grid"), &layout); }), QStringLiteral("EROAccessDenied"));
    EXPECT_EQ(denied([&] { member->ClearBlobSetting(kApp, kDave, QStringLiteral("Grid")); }), QStringLiteral("EROAccessDenied"));
    EXPECT_EQ(denied([&] { member->GetData({QStringLiteral("DASettings")}, {request}); }), QStringLiteral("EROAccessDenied"));
    for (const char *command : {"Delete_UserSettings", "Delete_UserBlobSettings"})
        EXPECT_EQ(denied([&] { member->ExecuteCommand(QLatin1String(command), {DataParameter{QStringLiteral("UserID"), kDave}}); }),
                  QStringLiteral("EROAccessDenied"))
            << command;
    EXPECT_EQ(denied([&] {
                  member->ExecuteCommand(QStringLiteral("Delete_DASettings"),
                                         {DataParameter{QStringLiteral("OLD_APPID"), kApp}, DataParameter{QStringLiteral("OLD_F_UserID"), kDave},
                                          DataParameter{QStringLiteral("OLD_SettingsKey"), QStringLiteral("Pane")}});
              }),
              QStringLiteral("EROAccessDenied"));
    // Nor through the settings' changes.
    ProxyDataAdapter adapter(member);
    TDACDSDataTable mine(QStringLiteral("DASettings"), &adapter);
    mine.ParamByName(QStringLiteral("UserID")).Value = kMemberId;
    mine.Open();
    mine.Insert();
    mine.SetValue(QStringLiteral("APPID"), kApp);
    mine.SetValue(QStringLiteral("F_UserID"), kDave);
    mine.SetValue(QStringLiteral("SettingsKey"), QStringLiteral("Planted"));
    mine.SetValue(QStringLiteral("SystemSetting"), false);
    mine.Post();
    EXPECT_THROW(mine.ApplyUpdates(), EROException);
    EXPECT_EQ(Count(QStringLiteral("tblSettings"), QStringLiteral("F_UserID = '%1'").arg(kDave)), QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT convert_from(BlobData, 'UTF8') FROM dbo.tblBlobSettings WHERE F_UserID = '%1'").arg(kDave)),
              QStringLiteral("x"));

    const auto administrator = Settings(Administrator());
    EXPECT_EQ(Bytes(administrator->LoadBlobSetting(kApp, kDave, QStringLiteral("Grid"))), QStringLiteral("x"));
    EXPECT_EQ(TDADataStreamer::ReadDatasets(administrator->GetData({QStringLiteral("DASettings")}, {request})->Bytes()).at(0).Rows.size(), 1);
    EXPECT_EQ(administrator->ExecuteCommand(QStringLiteral("Delete_UserBlobSettings"), {DataParameter{QStringLiteral("UserID"), kDave}}), 1);
    EXPECT_EQ(administrator->ExecuteCommand(QStringLiteral("Delete_UserSettings"), {DataParameter{QStringLiteral("UserID"), kDave}}), 1);
    EXPECT_EQ(Count(QStringLiteral("tblSettings")), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("tblBlobSettings")), QStringLiteral("0"));
}

TEST_F(SettingsServiceTest, OnlyAVersionBelowTwelveAsksForTheMigration)
{
    const auto settings = Settings(Member());
    EXPECT_FALSE(settings->ShouldUpdateToMSSQL());
    Sql(QStringLiteral("UPDATE tblDBVersion SET Version = 11"));
    EXPECT_TRUE(settings->ShouldUpdateToMSSQL());
    Sql(QStringLiteral("UPDATE tblDBVersion SET Version = %1; INSERT INTO tblDBVersion VALUES (%1)").arg(kDatabaseVersion));
    EXPECT_TRUE(settings->ShouldUpdateToMSSQL());
    EXPECT_TRUE(settings->CheckIfMinistryFunctionIsInUse(QStringLiteral("{unknown}")));
}

// --- migration -----------------------------------------------------------------------------

// A second database, the older one, reached through the definition "Access"; the migration
// makes a database named after this test's own, dropped again at the end.
class SettingsMigrationTest : public SettingsServiceTest
{
protected:
    void SetUp() override
    {
        SettingsServiceTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        target = db.name() + QStringLiteral("_new");
        ASSERT_TRUE(source.available());
        ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("mssqlScripts")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/mssqlScripts/CreateScript.sql"),
                                folder.filePath(QStringLiteral("mssqlScripts/CreateScript.sql"))));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/Settings.ini"), folder.filePath(QStringLiteral("Settings.ini"))));
        // The service's database is one the migration replaces.
        Sql(QStringLiteral("UPDATE tblDBVersion SET Version = 11"));
        // The same service, making the test's database rather than the shipped name.
        UnregisterClassFactory(QStringLiteral("SettingsService"));
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("SettingsService"),
            [this] {
                TSettingsServiceContext context{server->ConnectionManager(), folder.path()};
                context.MigrationDatabase = target;
                return std::make_unique<TSettingsService>(context);
            },
            std::make_shared<TSettingsService_Invoker>()));
        // A small parish, and a calendar of one year, so the copy stays quick.
        SourceSql(QStringLiteral(
            "DELETE FROM tblCalenderData WHERE ID NOT BETWEEN 20240101 AND 20241231;"
            "INSERT INTO tblUsers (PK_UserID, LogonUsername, LogonPassword, F_Userlevel) VALUES ('{U1}', 'old', 'x', '%1');"
            "INSERT INTO tblSettings (APPID, F_UserID, SettingsKey, SettingsValue) VALUES ('A01', '{U1}', 'Pane', 'open');"
            "INSERT INTO tblBlobSettings (AppID, F_UserID, BlobName, BlobData) VALUES ('A01', '{U1}', 'Grid', '\\x00ff');"
            "INSERT INTO tblLocations (PK_LocationID, LocationName, SortIndex) VALUES ('{L1}', 'St. Mary''s', 0);"
            "INSERT INTO tblContacts (PK_ContactID, LastName, FirstName) VALUES ('{C1}', 'Adams', 'Ann');"
            "INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime) VALUES ('{E1}', 'Mass', '2024-06-09 10:00');")
                      .arg(kUserLevel));
        server->ConnectionManager().AddConnection(QStringLiteral("Access"), source.connectionString());
    }

    void TearDown() override
    {
        if (!target.isEmpty())
            DropTargets();
        SettingsServiceTest::TearDown();
    }

    void SourceSql(const QString &sql) { source.exec(QStringLiteral("SET search_path=dbo;\n") + sql); }

    QString Maintenance() const { return TestDatabase::connectionString(db.socketDir(), db.port(), QStringLiteral("postgres")); }

    QStringList DatabasesLike(const QString &prefix)
    {
        QStringList names;
        for (const QStringList &row : db.rows(QStringLiteral("SELECT datname FROM pg_database WHERE datname LIKE '%1%' ORDER BY 1").arg(prefix)))
            names << row.first();
        return names;
    }

    void DropTargets()
    {
        auto connection = OpenConnection(Maintenance());
        for (const QString &name : DatabasesLike(target))
            connection->NewCommand(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name))->Execute();
    }

    // Rows of every copied table, as text, in a stable order: one query, one connection.
    static QList<QStringList> Contents(const std::function<QList<QStringList>(const QString &)> &rows)
    {
        QStringList queries;
        for (const char *table : {"tblBlobSettings", "tblCalenderData", "tblContacts", "tblContactTypes", "tblDBVersion",
                                  "tblEventColors", "tblEvents", "tblEventSeries", "tblFamilies", "tblGroups", "tblHistoryStartDate",
                                  "tblLiturgyTemplates", "tblLnkContactFunctionFrequency", "tblLnkEventSeries",
                                  "tblLnkGroupmembers", "tblLnkMinistryTemplateToMinistryFunction", "tblLnkServingPrefrence",
                                  "tblLnkServingRules", "tblLocations", "tblMinistryFunctions", "tblMinistryTemplates",
                                  "tblRuleTypes", "tblScheduledLiturgies", "tblScheduledMinistryFunctions",
                                  "tblServingFrequency", "tblServingPrefrenceFrequency", "tblServingPrefrenceLiturgy",
                                  "tblSettings", "tblUnAvailiabillity", "tblUserLevels", "tblUsers"})
            queries << QStringLiteral("(SELECT CAST('%1' AS text), count(*)::text, md5(string_agg(t::text, '|' ORDER BY t::text)) "
                                    "FROM dbo.%1 t)")
                         .arg(QLatin1String(table));
        return rows(queries.join(QStringLiteral(" UNION ALL ")));
    }

    QList<QStringList> SourceContents()
    {
        return Contents([this](const QString &sql) { return source.rows(sql); });
    }

    // An earlier database of the target's name, with a row to recognise it by.
    void MakeEarlierTarget()
    {
        auto connection = OpenConnection(Maintenance());
        connection->NewCommand(QStringLiteral("CREATE DATABASE \"%1\"").arg(target))->Execute();
        auto earlier = OpenConnection(TestDatabase::connectionString(db.socketDir(), db.port(), target));
        earlier->NewCommand(QStringLiteral("CREATE TABLE public.marker (note text)"))->Execute();
        earlier->NewCommand(QStringLiteral("INSERT INTO public.marker VALUES ('earlier')"))->Execute();
    }

    QList<QStringList> TargetRows(const QString &sql)
    {
        auto connection = OpenConnection(TestDatabase::connectionString(db.socketDir(), db.port(), target));
        auto rows = connection->NewDataset(sql);
        rows->Open();
        QList<QStringList> result;
        for (const QVariantList &row : rows->Rows()) {
            QStringList texts;
            for (const QVariant &value : row)
                texts << (value.isNull() ? QString() : value.toString());
            result << texts;
        }
        return result;
    }

    TestDatabase source; // what the setup program makes: the shape the creation script gives
    QString target;
};

TEST_F(SettingsMigrationTest, AMigrationCopiesEveryTableIntoANewDatabaseThatReplacesTheEarlierOne)
{
    MakeEarlierTarget();
    const QList<QStringList> before = SourceContents();
    LogCapture log;
    EXPECT_TRUE(Settings(Administrator())->RunMSSQLMigration(Maintenance())) << log.lines().join(QLatin1Char('\n')).toStdString();

    EXPECT_EQ(DatabasesLike(target), QStringList({target}));
    QList<QStringList> copied = Contents([this](const QString &sql) { return TargetRows(sql); });
    QList<QStringList> expected = before;
    // The version row alone differs: the new database says 12.
    for (QList<QStringList> *contents : {&copied, &expected})
        contents->removeIf([](const QStringList &row) { return row.first() == QLatin1String("tblDBVersion"); });
    EXPECT_EQ(copied, expected);
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT Version FROM tblDBVersion")), QList<QStringList>({{"12"}}));
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT count(*) FROM pg_tables WHERE tablename = 'marker'")), QList<QStringList>({{"0"}}));
    EXPECT_EQ(SourceContents(), before);
    // Keys of copied blobs are taken: new rows count on after them.
    EXPECT_EQ(TargetRows(QStringLiteral("INSERT INTO tblBlobSettings (AppID, F_UserID, BlobName) VALUES ('A01', '{U2}', 'Grid') "
                                        "RETURNING (PK_BlobSettingID > (SELECT min(PK_BlobSettingID) FROM tblBlobSettings))::int")),
              QList<QStringList>({{"1"}}));

    const TvoLocalConfigFile settings(folder.filePath(QStringLiteral("Settings.ini")));
    EXPECT_EQ(settings.ReadString(QStringLiteral("Data Access"), QStringLiteral("DataType"), QString()), QStringLiteral("MSSQL"));
    EXPECT_EQ(settings.ReadString(QStringLiteral("Data Access"), QStringLiteral("DataSource"), QString()),
              TestDatabase::connectionString(db.socketDir(), db.port(), target));
}

TEST_F(SettingsMigrationTest, TheMigratedDatabaseClimbsTheLadderToTheCurrentVersionWithItsOwnHistoryStart)
{
    SourceSql(QStringLiteral("UPDATE tblHistoryStartDate SET HistoryStartDate = '2019-09-01'"));
    ASSERT_TRUE(Settings(Administrator())->RunMSSQLMigration(Maintenance()));
    ASSERT_EQ(TargetRows(QStringLiteral("SELECT Version FROM tblDBVersion")), QList<QStringList>({{"12"}}));
    // One year of the shipped calendar beside the program keeps the climb quick.
    QFile shipped(QStringLiteral(KESTROVA_STAGE_DIR "/") + TDMServerDatabase::CalendarFileName());
    QFile small(folder.filePath(TDMServerDatabase::CalendarFileName()));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly) && small.open(QIODevice::WriteOnly));
    for (int line = 0; line <= 366 && !shipped.atEnd(); ++line)
        small.write(shipped.readLine());
    small.close();

    EXPECT_TRUE(RunLadder(TestDatabase::connectionString(db.socketDir(), db.port(), target), folder.path()));
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT Version FROM tblDBVersion")), QList<QStringList>({{QString::number(kDatabaseVersion)}}));
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT PK_ID, CAST(HistoryStartDate AS date)::text FROM tblHistoryStartDate")),
              QList<QStringList>({{"{B560F2F6-06F1-4233-9644-82857C983CAF}", "2019-09-01"}}));
    // What the steps beyond 13 add: the ranking functions, the calendar rows and the blob key.
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname IN ('numassigned', 'rotationratio', 'step4')")),
              QList<QStringList>({{"3"}}));
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT count(*) FROM tblCalenderData")), QList<QStringList>({{"366"}}));
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT count(*) FROM pg_constraint WHERE conname = lower('tblBlobSettings_Owner_Key')")),
              QList<QStringList>({{"1"}}));
}

TEST_F(SettingsMigrationTest, AFailingTableCopyLeavesNoNewDatabaseAndTheSourceAndTheEarlierOneUntouched)
{
    MakeEarlierTarget();
    // A column the new tables do not have: that table's copy fails.
    SourceSql(QStringLiteral("ALTER TABLE tblLocations ADD COLUMN Extra integer"));
    const QList<QStringList> before = SourceContents();
    LogCapture log;
    EXPECT_FALSE(Settings(Administrator())->RunMSSQLMigration(Maintenance()));

    EXPECT_EQ(DatabasesLike(target), QStringList({target}));
    EXPECT_EQ(TargetRows(QStringLiteral("SELECT note FROM public.marker")), QList<QStringList>({{"earlier"}}));
    EXPECT_EQ(SourceContents(), before);
    const QStringList failures = log.texts(QStringLiteral("Severe"), QStringLiteral("SettingsService"),
                                           QStringLiteral("RunMSSQLMigration.Migrate"));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().startsWith(QStringLiteral("tblLocations"))) << failures.first().toStdString();
    const TvoLocalConfigFile settings(folder.filePath(QStringLiteral("Settings.ini")));
    EXPECT_FALSE(settings.ReadString(QStringLiteral("Data Access"), QStringLiteral("DataSource"), QString()).contains(target));
}

TEST_F(SettingsMigrationTest, AFailingTableCopyWithoutAnEarlierDatabaseLeavesNone)
{
    SourceSql(QStringLiteral("ALTER TABLE tblUsers ADD COLUMN Extra integer"));
    const QList<QStringList> before = SourceContents();
    EXPECT_FALSE(Settings(Administrator())->RunMSSQLMigration(Maintenance()));
    EXPECT_EQ(DatabasesLike(target), QStringList());
    EXPECT_EQ(SourceContents(), before);
}

TEST_F(SettingsMigrationTest, WithoutTheSourceDefinitionTheMigrationFailsBeforeCreatingAnything)
{
    // A manager that knows the service's database only.
    TDAConnectionManager bare;
    bare.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
    UnregisterClassFactory(QStringLiteral("SettingsService"));
    RegisterClassFactory(std::make_shared<TROClassFactory>(
        QStringLiteral("SettingsService"),
        [this, &bare] {
            TSettingsServiceContext context{bare, folder.path()};
            context.MigrationDatabase = target;
            return std::make_unique<TSettingsService>(context);
        },
        std::make_shared<TSettingsService_Invoker>()));
    EXPECT_THROW(Settings(Administrator())->RunMSSQLMigration(Maintenance()), EROException);
    EXPECT_EQ(DatabasesLike(target), QStringList());
}

TEST_F(SettingsMigrationTest, ACurrentDatabaseOrANonAdministratorMigratesNothing)
{
    EXPECT_THROW(Settings(Member())->RunMSSQLMigration(Maintenance()), EROException);
    Sql(QStringLiteral("UPDATE tblDBVersion SET Version = %1").arg(kDatabaseVersion));
    EXPECT_FALSE(Settings(Administrator())->RunMSSQLMigration(Maintenance()));
    EXPECT_EQ(DatabasesLike(target), QStringList());
}

} // namespace
