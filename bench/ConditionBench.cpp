// How long a client's condition of many terms takes on each way a condition reaches the data
// server: a condition in terms (a table request's where clause), the groups view's
// where-clause, the group members' removal, the search dialog's query and a report's
// criteria, each sent by an administrator through the generated proxies to a real server on a
// scratch database of the private cluster. Prints, for 1,000, 4,000 and 10,000 terms, the best
// of three calls; a text that would pass the 262,144 characters a condition may hold carries as
// many terms as fit (the groups view's column name is long). Every answer is checked.
//   condition_bench      (needs $KESTROVA_TEST_PG, as scripts/pg url prints it)
#include "testsupport/ServiceHarness.h"

#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDAWhere.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace kestrova::test;

namespace {

// "term joiner term ..." of up to count terms, as many as the character limit lets in.
QString Terms(const std::function<QString(int)> &term, int count, const QString &joiner, qsizetype fixedLength, int &written)
{
    QString text;
    written = 0;
    for (int i = 0; i < count; ++i) {
        const QString next = (i > 0 ? joiner : QString()) + term(i);
        if (fixedLength + text.size() + next.size() > DAConditionLimits::kMaxCharacters)
            break;
        text += next;
        ++written;
    }
    return text;
}

int Rows(const std::unique_ptr<TROBinaryMemoryStream> &reply)
{
    return reply ? int(TDADataStreamer::ReadDatasets(reply->Bytes()).value(0).Rows.size()) : -1;
}

struct Path
{
    const char *name;
    // Sends a condition of up to count terms; gives the terms sent, the characters and the rows.
    std::function<int(int count, int &terms, qsizetype &characters)> send;
    int rows; // what every answer must hold
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("KESTROVA_TEST_PG")) {
        std::fprintf(stderr, "Set KESTROVA_TEST_PG to the private cluster's URL (scripts/pg url).\n");
        return 2;
    }
    ServiceServer server;
    server.Start();
    if (!server.db.available()) {
        std::fprintf(stderr, "The private cluster cannot be reached.\n");
        return 2;
    }
    server.Sql(QStringLiteral("INSERT INTO tblLocations (PK_LocationID, LocationName) VALUES ('{L1}', 'St. Mary'), ('{L2}', 'St. Anne');"
                              "INSERT INTO tblGroups (PK_GroupID, GroupName) VALUES ('g1', 'Choir');"
                              "INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('f1', 'Miller');"));
    const ServiceClient client = server.Administrator();
    const auto settings = client.Service<CoSettingsService>();
    const auto contacts = client.Service<CoContactsService>();
    const auto reports = client.Service<CoReportService>();
    const QString familySelect = QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHERE ");

    const Path paths[] = {
        {"terms (GetData where clause)",
         [&](int count, int &terms, qsizetype &characters) {
             TDAWhere where;
             for (int i = 0; i < count; ++i)
                 where.AddCondition(QStringLiteral("LocationName"), TDAWhereOperator::woNotEqual, QStringLiteral("x%1").arg(i));
             TableRequestInfoV5 info;
             info.WhereClause = where.ToXml();
             terms = count;
             characters = info.WhereClause.size();
             return Rows(settings->GetData({QStringLiteral("DALocations")}, {info}));
         },
         2},
        {"text (GetGroupedContacts)",
         [&](int count, int &terms, qsizetype &characters) {
             const QString text = Terms([](int i) { return QStringLiteral("tblGroups.PK_GroupID='%1'").arg(i); }, count,
                                        QStringLiteral(" OR "), 0, terms);
             characters = text.size();
             return Rows(contacts->GetGroupedContacts(QStringLiteral("DAContactsByGroups"), text));
         },
         0},
        {"text (RemoveGroupMembers)",
         [&](int count, int &terms, qsizetype &characters) {
             const QString text = Terms([](int i) { return QStringLiteral("F_GroupID='%1'").arg(i); }, count, QStringLiteral(" OR "), 0, terms);
             characters = text.size();
             return contacts->RemoveGroupMembers(QString(), text) ? 0 : -1;
         },
         0},
        {"search query (GetSearchData)",
         [&](int count, int &terms, qsizetype &characters) {
             const QString text = familySelect + Terms([](int i) { return QStringLiteral("Familyname<>'%1'").arg(i); }, count,
                                                       QStringLiteral(" AND "), familySelect.size(), terms);
             characters = text.size();
             return Rows(contacts->GetSearchData(text, -1));
         },
         1},
        {"report criteria (GetReportDataAsDataset)",
         [&](int count, int &terms, qsizetype &characters) {
             const QString text = Terms([](int i) { return QStringLiteral("theID='%1'").arg(i); }, count, QStringLiteral(" OR "), 0, terms);
             characters = text.size();
             return Rows(reports->GetReportDataAsDataset(QStringLiteral("DARtpGroupLabels"), text, QString()));
         },
         0},
    };

    bool ok = true;
    std::printf("%-42s %8s %10s %10s\n", "path", "terms", "characters", "best of 3");
    for (const Path &path : paths)
        for (const int count : {1000, 4000, 10000}) {
            double best = 1e9;
            int terms = 0;
            qsizetype characters = 0;
            for (int round = 0; round < 3; ++round) {
                QElapsedTimer timer;
                timer.start();
                int rows = -1;
                try {
                    rows = path.send(count, terms, characters);
                } catch (const std::exception &e) {
                    std::fprintf(stderr, "%s, %d terms: %s\n", path.name, count, e.what());
                }
                best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
                if (rows != path.rows) {
                    std::fprintf(stderr, "%s, %d terms: %d rows instead of %d\n", path.name, count, rows, path.rows);
                    ok = false;
                }
            }
            std::printf("%-42s %8d %10lld %9.3f s\n", path.name, terms, static_cast<long long>(characters), best);
        }
    server.Stop();
    return ok ? 0 : 1;
}
