// How quickly the contacts view opens on a large parish and how quickly a quick search answers,
// against a real data server over HTTP on the private PostgreSQL cluster (KESTROVA_TEST_PG).
//   contacts_view_bench [PEOPLE]   (default 5000)
// Opening is the view created and activated (the whole list fetched from the server) until it
// is painted; a search is one key typed into the search field and Enter, until repainted.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactsView.h"
#include "plugins/contacts/uDAContacts.h"

#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"

#include "foundation/uCommon.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

double Milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int people = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;

    kestrova::test::ServiceServer server;
    if (!server.db.available()) {
        std::fprintf(stderr, "no private PostgreSQL cluster: set KESTROVA_TEST_PG (scripts/pg url)\n");
        return 2;
    }
    server.Start();
    // People with the fields a parish keeps: names that share prefixes, addresses, mail.
    server.Sql(QStringLiteral(R"(
        INSERT INTO tblContacts (PK_ContactID, FirstName, MiddleName, LastName, DateOfBirth, Street, Zip, City, State, EMail1, phone1, Comments)
        SELECT '{' || upper(md5(i::text)::uuid::text) || '}',
               (ARRAY['Ann','Bert','Clara','Dag','Eva','Finn','Gro','Hans','Ida','Jon'])[1 + i % 10],
               CASE WHEN i % 3 = 0 THEN 'Marie' END,
               (ARRAY['Smith','Smythe','Olsen','O''Brien','Berg','Dahl','Lund','Moe','Nilsen','Hansen','Strand','Bakke'])[1 + i % 12] || ' ' || (i / 12),
               DATE '1940-01-01' + (i * 7) % 25000,
               (i % 200) || ' Church Road', lpad((i % 9000)::text, 4, '0'), 'Brennvik', 'Vestland',
               'person' || i || '@example.org', '555-' || lpad(i::text, 5, '0'), 'Sings in the choir'
        FROM generate_series(1, %1) AS i;
    )").arg(people));

    kestrova::test::ServiceClient client = server.Administrator();
    kestrova::test::TStandInHost host;
    host.Channel = client.Channel;
    host.Message = client.Message;
    host.User.UserID = kestrova::test::ServiceServer::kAdministratorId;
    host.User.UserLevel = 1;
    TRvContactsController controller;
    controller.ModuleCreate();
    controller.SetHost(&host);

    QList<double> fetches;
    for (int round = 0; round < 3; ++round) {
        controller.Data().DAContactList().Close();
        QElapsedTimer timer;
        timer.start();
        controller.Data().DAContactList().Open();
        fetches << Milliseconds(timer);
    }
    QList<double> opens;
    for (int round = 0; round < 5; ++round) {
        controller.Data().DAContactList().Close();
        QElapsedTimer timer;
        timer.start();
        Quorva::IHYPlugin *plugin = controller.CreatePlugin(TplgContacts::PluginName);
        auto *view = static_cast<TplgContacts *>(static_cast<Quorva::IHYVisualPlugin *>(plugin));
        view->resize(1200, 800);
        view->show();
        view->Activate(nullptr);
        view->repaint();
        QApplication::processEvents();
        opens << Milliseconds(timer);
        if (round == 0 && view->Model()->rowCount() != people) {
            std::fprintf(stderr, "the view shows %d of %d contacts\n", view->Model()->rowCount(), people);
            return 1;
        }
        view->Deactivate(nullptr);
        plugin->release();
    }

    // The view again while the data module still holds the list, as on every later visit.
    QList<double> views;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        Quorva::IHYPlugin *plugin = controller.CreatePlugin(TplgContacts::PluginName);
        auto *view = static_cast<TplgContacts *>(static_cast<Quorva::IHYVisualPlugin *>(plugin));
        view->resize(1200, 800);
        view->show();
        view->Activate(nullptr);
        view->repaint();
        QApplication::processEvents();
        views << Milliseconds(timer);
        view->Deactivate(nullptr);
        plugin->release();
    }

    Quorva::IHYPlugin *plugin = controller.CreatePlugin(TplgContacts::PluginName);
    auto *view = static_cast<TplgContacts *>(static_cast<Quorva::IHYVisualPlugin *>(plugin));
    view->resize(1200, 800);
    view->show();
    view->Activate(nullptr);
    QApplication::processEvents();
    view->Action(QStringLiteral("acHYFindContact"))->trigger();
    view->SearchFields()->setCurrentIndex(view->SearchFields()->findData(QStringLiteral("LastName")));
    QList<double> searches;
    int shown = 0;
    for (const QString &typed : {QStringLiteral("S"), QStringLiteral("Sm"), QStringLiteral("Smy"), QStringLiteral("O"),
                                 QStringLiteral("O'"), QStringLiteral("B"), QStringLiteral("Be"), QStringLiteral("H")}) {
        view->SearchEdit()->setText(typed.left(typed.size() - 1));
        QElapsedTimer timer;
        timer.start();
        QTest::keyClicks(view->SearchEdit(), typed.right(1));
        QTest::keyClick(view->SearchEdit(), Qt::Key_Return);
        view->repaint();
        QApplication::processEvents();
        searches << Milliseconds(timer);
        shown = view->Model()->rowCount();
    }
    plugin->release();
    controller.SetHost(nullptr);
    controller.ModuleDestroy();

    std::printf("contacts view, %d contacts\n", people);
    std::printf("  open (fetch, activate, paint): median %.0f ms, first %.0f ms, best %.0f ms over %d opens\n", Median(opens),
                opens.first(), *std::min_element(opens.begin(), opens.end()), int(opens.size()));
    std::printf("  of which the list's fetch alone: median %.0f ms\n", Median(fetches));
    std::printf("  a later visit (list held, activate, paint): median %.0f ms\n", Median(views));
    std::printf("  quick-search keystroke (filter, repaint): median %.1f ms, worst %.1f ms over %d searches (last showed %d)\n",
                Median(searches), *std::max_element(searches.begin(), searches.end()), int(searches.size()), shown);
    server.Stop();
    return 0;
}
