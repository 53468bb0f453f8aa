// The resource and LS services through the generated proxies, over the real HTTP server and
// channel, against a database at the current schema: client tables applying their changes,
// removing what hangs on ministry functions, and writing events from plain values.
#include "foundation/QorDateTime.h"
#include "server/services/tests/ProxyDataAdapter.h"
#include "testsupport/ServiceHarness.h"
#include "server/services/uResourceService.h"
#include "testsupport/LogCapture.h"

#include "dataaccess/TDACDSDataTable.h"

#include <gtest/gtest.h>

namespace {

const QString kAcolyte = QStringLiteral("{F0000000-0000-0000-0000-00000000000A}");
const QString kLector = QStringLiteral("{F0000000-0000-0000-0000-00000000000B}");
const QString kCantor = QStringLiteral("{F0000000-0000-0000-0000-00000000000C}");
const QString kSunday = QStringLiteral("{70000000-0000-0000-0000-000000000001}");
const QString kWeekday = QStringLiteral("{70000000-0000-0000-0000-000000000002}");

class ResourceServices : public kestrova::test::ServiceHarness
{
protected:
    void SetUp() override
    {
        kestrova::test::ServiceHarness::SetUp();
        if (IsSkipped())
            return;
        resources = Administrator().Service<CoResourceService>();
        adapter = std::make_unique<kestrova::test::ProxyDataAdapter>(resources);
    }

    // Two templates holding functions, and people who serve in them with their frequencies
    // and liturgy choices.
    void Parish()
    {
        Sql(QStringLiteral(
            "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, SortIndex) VALUES "
            "('%1', 'Acolyte', 0), ('%2', 'Lector', 1), ('%3', 'Cantor', 2);"
            "INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName, SortIndex) VALUES "
            "('%4', 'Sunday', 0), ('%5', 'Weekday', 1);"
            "INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID, F_MinistryFunctionID, "
            "MinistryFunctionCount, SortIndex) VALUES "
            "('L1', '%4', '%1', 2, 0), ('L2', '%4', '%2', 1, 1), ('L3', '%4', '%3', 1, 2), ('L4', '%5', '%2', 1, 0);"
            "INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID) VALUES "
            "('P1', 'C1', '%1'), ('P2', 'C2', '%1'), ('P3', 'C1', '%2'), ('P4', 'C3', '%3');"
            "INSERT INTO tblServingPrefrenceFrequency (PK_LinkID, F_ServingPrefrenceID, F_ContactID) VALUES "
            "('F1', 'P1', 'C1'), ('F2', 'P2', 'C2'), ('F3', 'P3', 'C1'), ('F4', 'P4', 'C3');"
            "INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID) VALUES "
            "('T1', 'P1', 'C1'), ('T2', 'P3', 'C1'), ('T3', 'P3', 'C1'), ('T4', 'P4', 'C3');")
                .arg(kAcolyte, kLector, kCantor, kSunday, kWeekday));
    }

    QStringList Column(const QString &sql)
    {
        QStringList values;
        for (const QStringList &row : db.rows(sql))
            values << row.value(0);
        return values;
    }

    std::shared_ptr<IResourceService> resources;
    std::unique_ptr<kestrova::test::ProxyDataAdapter> adapter;
};

TEST_F(ResourceServices, DeletingTwoFunctionsRemovesTheirTemplateLinksAndServingPreferencesOnly)
{
    Parish();
    EXPECT_TRUE(resources->DeleteMinistryFunctions(kAcolyte + QStringLiteral("\r\n") + kLector + QStringLiteral("\r\n")));
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_LinkID FROM dbo.tblLnkMinistryTemplateToMinistryFunction ORDER BY 1")),
              QStringList{QStringLiteral("L3")});
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_ServingPrefrenceID FROM dbo.tblLnkServingPrefrence ORDER BY 1")),
              QStringList{QStringLiteral("P4")});
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_LinkID FROM dbo.tblServingPrefrenceFrequency ORDER BY 1")),
              QStringList{QStringLiteral("F4")});
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_LinkID FROM dbo.tblServingPrefrenceLiturgy ORDER BY 1")),
              QStringList{QStringLiteral("T4")});
    // The functions themselves are the client's to delete.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblMinistryFunctions")), QStringLiteral("3"));
}

TEST_F(ResourceServices, AnEmptyFunctionListAnswersTrueAndDeletesNothing)
{
    Parish();
    EXPECT_TRUE(resources->DeleteMinistryFunctions(QString()));
    EXPECT_TRUE(resources->DeleteMinistryFunctions(QStringLiteral("\r\n")));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblLnkMinistryTemplateToMinistryFunction")), QStringLiteral("4"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblServingPrefrenceLiturgy")), QStringLiteral("4"));
}

TEST_F(ResourceServices, AFailedDeletionAnswersFalseLogsItAndKeepsWhatWasAlreadyRemoved)
{
    Parish();
    kestrova::test::LogCapture log;
    Sql(QStringLiteral("ALTER TABLE tblServingPrefrenceLiturgy RENAME TO tblServingPrefrenceLiturgyAway;"));
    EXPECT_FALSE(resources->DeleteMinistryFunctions(kAcolyte + QStringLiteral("\r\n") + kLector));
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("ResourceService"), QStringLiteral("DeleteMinistryFunction")).size(), 1);
    // The first function's links went before the failure and stay gone; the second's are untouched.
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_LinkID FROM dbo.tblLnkMinistryTemplateToMinistryFunction ORDER BY 1")),
              (QStringList{QStringLiteral("L2"), QStringLiteral("L3"), QStringLiteral("L4")}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblLnkServingPrefrence")), QStringLiteral("4"));
}

TEST_F(ResourceServices, ClientTablesInsertChangeAndDeleteMinistryFunctionsAndLocations)
{
    TDACDSDataTable functions(QStringLiteral("MinistryFunctions"), adapter.get());
    functions.Open();
    EXPECT_EQ(functions.GetRecordCount(), 0);
    functions.Insert();
    functions.SetValue(QStringLiteral("PK_MinistryFunctionID"), kAcolyte);
    functions.SetValue(QStringLiteral("MinistryFunctionName"), QStringLiteral("Acolyte"));
    functions.SetValue(QStringLiteral("MinistryFunctionAbr"), QStringLiteral("Ac"));
    functions.SetValue(QStringLiteral("SortIndex"), 4);
    functions.Post();
    functions.Insert();
    functions.SetValue(QStringLiteral("PK_MinistryFunctionID"), kLector);
    functions.SetValue(QStringLiteral("MinistryFunctionName"), QStringLiteral("Lector"));
    functions.SetValue(QStringLiteral("AllowDuplicate"), true);
    functions.SetValue(QStringLiteral("SortIndex"), 1);
    functions.Post();
    functions.ApplyUpdates(true);
    // Read back in the service's order: by SortIndex, then name.
    ASSERT_EQ(functions.GetRecordCount(), 2);
    functions.First();
    EXPECT_EQ(functions.AsString(QStringLiteral("MinistryFunctionName")), QStringLiteral("Lector"));
    EXPECT_TRUE(functions.Value(QStringLiteral("AllowDuplicate")).toBool());
    functions.Next();
    EXPECT_EQ(functions.AsString(QStringLiteral("MinistryFunctionName")), QStringLiteral("Acolyte"));
    EXPECT_FALSE(functions.Value(QStringLiteral("AllowDuplicate")).toBool());

    ASSERT_TRUE(functions.Locate(QStringLiteral("PK_MinistryFunctionID"), kAcolyte));
    functions.Edit();
    functions.SetValue(QStringLiteral("MinistryFunctionDescription"), QStringLiteral("Carries the candles"));
    functions.Post();
    ASSERT_TRUE(functions.Locate(QStringLiteral("PK_MinistryFunctionID"), kLector));
    functions.Delete();
    functions.ApplyUpdates(true);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_MinistryFunctionID, MinistryFunctionName, MinistryFunctionAbr, "
                                       "MinistryFunctionDescription, AllowDuplicate, SortIndex FROM dbo.tblMinistryFunctions")),
              (QList<QStringList>{{kAcolyte, QStringLiteral("Acolyte"), QStringLiteral("Ac"), QStringLiteral("Carries the candles"),
                                   QStringLiteral("0"), QStringLiteral("4")}}));

    TDACDSDataTable locations(QStringLiteral("Locations"), adapter.get());
    locations.Open();
    locations.Insert();
    locations.SetValue(QStringLiteral("PK_LocationID"), QStringLiteral("{10000000-0000-0000-0000-000000000001}"));
    locations.SetValue(QStringLiteral("LocationName"), QStringLiteral("St. Mary's"));
    locations.Post();
    locations.ApplyUpdates();
    locations.Edit();
    locations.SetValue(QStringLiteral("LocationPhone1"), QStringLiteral("555-0100"));
    locations.Post();
    locations.ApplyUpdates(true);
    ASSERT_EQ(locations.GetRecordCount(), 1);
    EXPECT_EQ(locations.AsString(QStringLiteral("LocationName")), QStringLiteral("St. Mary's"));
    EXPECT_EQ(locations.AsString(QStringLiteral("LocationPhone1")), QStringLiteral("555-0100"));
    locations.Delete();
    locations.ApplyUpdates();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblLocations")), QStringLiteral("0"));
}

TEST_F(ResourceServices, TemplateLinksComeInTemplateOrderAndANewLinkCountsZeroFunctions)
{
    Parish();
    TDACDSDataTable links(QStringLiteral("LnkMinistryTemplateToMinistryFunction"), adapter.get());
    links.Open();
    QStringList order;
    for (links.First(); !links.Eof(); links.Next())
        order << links.AsString(QStringLiteral("PK_LinkID"));
    EXPECT_EQ(order, (QStringList{QStringLiteral("L1"), QStringLiteral("L2"), QStringLiteral("L3"), QStringLiteral("L4")}));

    // A new link without a count holds none of its function.
    links.Insert();
    links.SetValue(QStringLiteral("PK_LinkID"), QStringLiteral("L5"));
    links.SetValue(QStringLiteral("F_MinistryTemplateID"), kWeekday);
    links.SetValue(QStringLiteral("F_MinistryFunctionID"), kCantor);
    links.SetValue(QStringLiteral("SortIndex"), 1);
    links.Post();
    ASSERT_TRUE(links.Locate(QStringLiteral("PK_LinkID"), QStringLiteral("L2")));
    links.Edit();
    links.SetValue(QStringLiteral("MinistryFunctionCount"), 3);
    links.Post();
    links.ApplyUpdates();
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_LinkID, MinistryFunctionCount FROM dbo.tblLnkMinistryTemplateToMinistryFunction "
                                       "WHERE PK_LinkID IN ('L2', 'L5') ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("L2"), QStringLiteral("3")}, {QStringLiteral("L5"), QStringLiteral("0")}}));
}

TEST_F(ResourceServices, AnUpdateThatLacksColumnsKeepsTheirStoredValues)
{
    Parish();
    TDADelta delta;
    delta.LogicalName = QStringLiteral("MinistryFunctions");
    const TDAFieldList &fields = TResourceService::Schema().DatasetByName(delta.LogicalName).Fields;
    delta.Fields << fields[DAFindField(fields, QStringLiteral("PK_MinistryFunctionID"))]
                 << fields[DAFindField(fields, QStringLiteral("SortIndex"))];
    TDADeltaChange change(1, TDAChangeType::ctUpdate, 2);
    change.SetOldValue(0, kLector);
    change.SetOldValue(1, 1);
    change.SetNewValue(1, 7);
    delta.Changes << change;
    const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
    const auto reply = resources->UpdateData(&request);
    ASSERT_TRUE(reply);
    const QList<TDADelta> answered = TDADataStreamer::ReadDeltas(reply->Bytes());
    ASSERT_EQ(answered.size(), 1);
    ASSERT_EQ(answered[0].Changes.size(), 1);
    EXPECT_EQ(answered[0].Changes[0].Status, TDAChangeStatus::csResolved);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT MinistryFunctionName, SortIndex FROM dbo.tblMinistryFunctions WHERE PK_MinistryFunctionID = '%1'")
                            .arg(kLector)),
              (QList<QStringList>{{QStringLiteral("Lector"), QStringLiteral("7")}}));
}

TEST_F(ResourceServices, EventColoursCalendarDataAndTemplatesReadAsThePlugInsExpect)
{
    // The calendar comes with the database; two days far beyond it are added.
    Sql(QStringLiteral("INSERT INTO tblCalenderData (ID, Date, Day, FullName, ShortName, Year, YearDC) VALUES "
                       "(9000002, '2999-12-25', 'Wed', 'Nativity of the Lord', 'Christmas', 'A', 'I'), "
                       "(9000001, '2999-12-24', 'Tue', 'Christmas Eve', 'Eve', 'A', 'I');"
                       "INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, LiturgyIndex) VALUES "
                       "('{B2}', 'Vigil', 2), ('{B1}', 'Morning', 1);"));
    TDACDSDataTable calendar(QStringLiteral("DACalenderData"), adapter.get());
    calendar.Open();
    ASSERT_EQ(calendar.GetRecordCount(), db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblCalenderData")).toInt());
    ASSERT_TRUE(calendar.Locate(QStringLiteral("ID"), 9000001));
    EXPECT_EQ(calendar.AsString(QStringLiteral("FullName")), QStringLiteral("Christmas Eve"));
    EXPECT_EQ(calendar.AsString(QStringLiteral("ShortName")), QStringLiteral("Eve"));
    EXPECT_EQ(calendar.AsString(QStringLiteral("Day")), QStringLiteral("Tue"));
    EXPECT_EQ(calendar.AsString(QStringLiteral("Year")), QStringLiteral("A"));
    EXPECT_EQ(calendar.Value(QStringLiteral("Date")).toDateTime().date(), QDate(2999, 12, 24));
    EXPECT_EQ(calendar.AsInteger(QStringLiteral("Day_Color")), 0);

    TDACDSDataTable liturgies(QStringLiteral("LiturgyTemplates"), adapter.get());
    liturgies.Open();
    ASSERT_EQ(liturgies.GetRecordCount(), 2);
    EXPECT_EQ(liturgies.AsString(QStringLiteral("LiturgyTemplateName")), QStringLiteral("Morning"));

    // The four fixed colours come in id order; a colour's value is changed and read back.
    TDACDSDataTable colours(QStringLiteral("DAEventColors"), adapter.get());
    colours.Open();
    ASSERT_EQ(colours.GetRecordCount(), 4);
    EXPECT_EQ(colours.AsString(QStringLiteral("PK_ColorID")), QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
    ASSERT_TRUE(colours.Locate(QStringLiteral("PK_ColorID"), QStringLiteral("{00000000-0000-0000-0000-000000000002}")));
    colours.Edit();
    colours.SetValue(QStringLiteral("ColorIntValue"), 0x00FF00);
    colours.Post();
    colours.ApplyUpdates(true);
    ASSERT_TRUE(colours.Locate(QStringLiteral("PK_ColorID"), QStringLiteral("{00000000-0000-0000-0000-000000000002}")));
    EXPECT_EQ(colours.AsInteger(QStringLiteral("ColorIntValue")), 0x00FF00);
    EXPECT_FALSE(colours.IsNull(QStringLiteral("ColorDescription")));
}

class LSServiceOverHttp : public kestrova::test::ServiceHarness
{
protected:
    void SetUp() override
    {
        kestrova::test::ServiceHarness::SetUp();
        if (IsSkipped())
            return;
        ls = Administrator().Service<CoLSService>();
        Sql(QStringLiteral("UPDATE tblEventColors SET ColorIntValue = 255 WHERE PK_ColorID = '{00000000-0000-0000-0000-000000000001}';"
                           "UPDATE tblEventColors SET ColorIntValue = 65280 WHERE PK_ColorID = '{00000000-0000-0000-0000-000000000002}';"));
    }

    QString Write(int action, const QString &id, const QString &subject, const QString &message = QStringLiteral("Note"),
                  int colour = 255)
    {
        return ls->UpdateEvent(action, id, WallClock(QDate(2026, 12, 24), QTime(22, 0, 5, 250)),
                               WallClock(QDate(2026, 12, 25), QTime(0, 30)), QStringLiteral("{10000000-0000-0000-0000-000000000001}"),
                               QStringLiteral("St. Mary's"), subject, message, colour, true);
    }

    QList<QStringList> Event(const QString &id)
    {
        return db.rows(QStringLiteral("SELECT EventSubject, EventMessage, EventLocationCaption, EventLabelColorID, "
                                        "to_char(StartDateTime, 'YYYY-MM-DD HH24:MI:SS.MS'), EventType, EventState, EventOptions, "
                                        "EventRecurrenceIndex FROM dbo.tblEvents WHERE PK_EventID = '%1'")
                             .arg(id));
    }

    std::unique_ptr<ILSService> ls;
};

TEST_F(LSServiceOverHttp, AnEventIsInsertedChangedAndDeletedByItsId)
{
    const QString id = Write(0, QString(), QStringLiteral("Midnight Mass"));
    ASSERT_EQ(id.size(), 38);
    EXPECT_TRUE(id.startsWith(QLatin1Char('{')));
    EXPECT_EQ(id, id.toUpper());
    EXPECT_EQ(Event(id), (QList<QStringList>{{QStringLiteral("Midnight Mass"), QStringLiteral("Note"), QStringLiteral("St. Mary's"),
                                              QStringLiteral("{00000000-0000-0000-0000-000000000001}"),
                                              QStringLiteral("2026-12-24 22:00:05.000"), QStringLiteral("0"), QStringLiteral("2"),
                                              QStringLiteral("2"), QStringLiteral("-1")}}));

    EXPECT_EQ(Write(1, id, QStringLiteral("Christmas Vigil"), QStringLiteral("Changed"), 65280), id);
    const QList<QStringList> changed = Event(id);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0].mid(0, 4), (QStringList{QStringLiteral("Christmas Vigil"), QStringLiteral("Changed"), QStringLiteral("St. Mary's"),
                                                  QStringLiteral("{00000000-0000-0000-0000-000000000002}")}));

    EXPECT_EQ(Write(2, id, QString()), id);
    EXPECT_TRUE(Event(id).isEmpty());
}

TEST_F(LSServiceOverHttp, AnUnknownActionAnswersEmptyAndWritesNothing)
{
    EXPECT_EQ(Write(3, QString(), QStringLiteral("Never")), QString());
    EXPECT_EQ(Write(-1, QString(), QStringLiteral("Never")), QString());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents")), QStringLiteral("0"));
}

TEST_F(LSServiceOverHttp, HostileTextIsStoredAsPlainData)
{
    const QString subject = QStringLiteral("O'Brien's '); DROP TABLE tblEvents; --");
    const QString message = QStringLiteral("x'; DELETE FROM tblUsers; --");
    const QString id = Write(0, QString(), subject, message);
    ASSERT_FALSE(id.isEmpty());
    const QList<QStringList> stored = Event(id);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0][0], subject);
    EXPECT_EQ(stored[0][1], message);
    // An id that tries to widen the delete matches no event.
    EXPECT_EQ(Write(2, QStringLiteral("' OR '1'='1"), QString()), QStringLiteral("' OR '1'='1"));
    EXPECT_EQ(Event(id).size(), 1);
}

TEST_F(LSServiceOverHttp, AFailedWriteAnswersEmptyAndIsLogged)
{
    kestrova::test::LogCapture log;
    // The location id is longer than an id column holds.
    const QString id = ls->UpdateEvent(0, QString(), QDateTime(), QDateTime(), QString(60, QLatin1Char('x')), QString(),
                                       QStringLiteral("Too long"), QString(), 0, false);
    EXPECT_EQ(id, QString());
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("LSService"), QStringLiteral("UpdateEvent")).size(), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents")), QStringLiteral("0"));
}

TEST_F(LSServiceOverHttp, ItsGenericOperationsReachNoDataset)
{
    try {
        ls->GetData({QStringLiteral("DAEventList")}, {TableRequestInfoV5{}});
        ADD_FAILURE() << "GetData answered";
    } catch (const EROServerError &e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("Exception"));
        EXPECT_EQ(e.Message(), QStringLiteral("Dataset \"DAEventList\" is not part of the schema"));
    }
}

} // namespace
