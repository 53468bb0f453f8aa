// One data server for every report test of the host: the shipped report folder (definitions,
// templates and the Word templates the build made), a database of contacts, families, groups
// and a month of the schedule, and a client host logged on to it. The tests only read, so they
// share it; it starts with the first test that asks for it.
#pragma once

#include "testsupport/ClientTestSupport.h"
#include "testsupport/ServiceHarness.h"

#include <memory>

class IReportService;
class TDMClient;

namespace kestrova::test {

struct ReportServer : ServiceServer
{
    QString Reports;  // the server's report folder, with a trailing "/"
    ServiceClient Admin;
    std::unique_ptr<IReportService> Service;
    std::unique_ptr<ProgramFolder> Program;
    std::unique_ptr<TDMClient> Client;
};

// Null when there is no database for the tests.
ReportServer *SharedReportServer();

// Keys of the fixture.
inline const QString kJohn = QStringLiteral("{C1000000-0000-0000-0000-000000000001}");    // John Adams, family Adams
inline const QString kMary = QStringLiteral("{C1000000-0000-0000-0000-000000000002}");    // Mary Baker
inline const QString kQuentin = QStringLiteral("{C1000000-0000-0000-0000-000000000003}"); // Quentin O'Neil
inline const QString kZoe = QStringLiteral("{C1000000-0000-0000-0000-000000000004}");     // Zoë "Zizi" Ølstrup-Дмитриев, family Ølberg
inline const QString kAdams = QStringLiteral("{F1000000-0000-0000-0000-000000000001}");
inline const QString kOlberg = QStringLiteral("{F1000000-0000-0000-0000-000000000002}");
inline const QString kChoir = QStringLiteral("{61000000-0000-0000-0000-000000000001}");   // John, Mary
inline const QString kLectors = QStringLiteral("{61000000-0000-0000-0000-000000000002}"); // Quentin, Zoë

// The test's own fixture: skips without a database.
class ReportServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server = SharedReportServer();
        if (!server)
            GTEST_SKIP() << "no database for the report tests";
    }

    ReportServer *server = nullptr;
};

} // namespace kestrova::test
