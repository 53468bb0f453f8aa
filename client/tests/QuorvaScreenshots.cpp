// Makes the pictures of docs/screenshots: the host's real start against the real Brennic on a
// fresh database (KESTROVA_TEST_PG), run under a display, with the log-on dialog, the main
// window of an administrator, the about box and the what's-new page saved as PNG files into the
// folder given. The plug-ins are those of the staging folder; without any, the in-tree test
// modules stand in under captions of their own. scripts/screenshots runs it under xvfb.
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/uDMClient.h"
#include "client/uLogOn.h"
#include "client/uServerConnector.h"
#include "client/ufAbout.h"
#include "client/ufDlgLogin.h"
#include "client/ufMain.h"
#include "client/ufWhatsNew.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/DialogScript.h"
#include "testsupport/RealBrennic.h"
#include "testsupport/Wait.h"

#include "foundation/uRegistry.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTextStream>

#include <cstdio>

using namespace kestrova::test;
using namespace std::chrono_literals;

namespace {

QString g_folder;
QStringList g_saved;
QStringList g_failed;

void Settle(std::chrono::milliseconds time = 400ms)
{
    WaitFor([] { return false; }, time);
}

void Save(QWidget &widget, const QString &name)
{
    Settle();
    const QString path = QDir(g_folder).filePath(name + QStringLiteral(".png"));
    if (widget.grab().save(path))
        g_saved << path;
    else
        g_failed << path;
}

class ScreenshotFactory : public THostComponentFactory
{
public:
    quint16 discoveryPort = 0;
    DialogScript *script = nullptr;

    void InstallComponents(TDMClient &client) override
    {
        auto connector = std::make_unique<TServerConnector>(client);
        connector->SetDiscoveryTarget(QHostAddress::LocalHost, discoveryPort);
        client.SetServerConnector(std::move(connector));
        client.SetLogOnSteps(std::make_unique<TLogOnSteps>(client));
        m_client = &client;
    }
    void RunMessageLoop(IQuorvaMainWindow &window) override
    {
        // At its first size: nothing is stored yet, so it fits the screen's available area.
        auto &main = *qobject_cast<TfMain *>(window.Widget());
        main.show();
        // The what's-new page follows the window's first showing.
        script->Then<TfWhatsNew>([](TfWhatsNew &shown) {
            shown.resize(640, 480);
            Save(shown, QStringLiteral("whats-new"));
            PressLater(shown.btnClose());
        });
        WaitFor([&] { return script->Pending() == 0 && !main.tmrWhatsNew()->isActive(); }, 10s);
        // Several copies of one stand-in module offer the same views: the first group's are its own.
        main.OnNavItemClick(0, 0);
        Save(main, QStringLiteral("main-window"));
        script->Then<TfAbout>([](TfAbout &shown) {
            WaitFor([&] { return !shown.tmrShow()->isActive(); }, 5s);
            Save(shown, QStringLiteral("about"));
            QTimer::singleShot(0, &shown, [&shown] { shown.PictureClick(); });
        });
        main.ShowAboutDialog();
        main.close();
    }

private:
    TDMClient *m_client = nullptr;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: quorva_screenshots <folder for the PNG files>\n";
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);

    RealBrennic server;
    if (!server.Available()) {
        err << "No database: set KESTROVA_TEST_PG to a PostgreSQL server's URL\n";
        return 1;
    }
    if (const QString error = server.Start(); !error.isEmpty()) {
        err << error << '\n';
        return 1;
    }
    server.AddUser(QStringLiteral("{A0000000-0000-0000-0000-00000000000A}"), QStringLiteral("anna"), QStringLiteral("Credo2024"), 1);
    server.AddUser(QStringLiteral("{B0000000-0000-0000-0000-00000000000B}"), QStringLiteral("bob"), QStringLiteral("Gloria77"),
                   0x7FFFFFFF);

    // The first view of the main window lists the parish: a few families' worth of people.
    QString people = QStringLiteral("SET search_path=dbo;\n");
    const QStringList first = {QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Clara"), QStringLiteral("David"),
                               QStringLiteral("Elena"), QStringLiteral("Franz"), QStringLiteral("Greta"), QStringLiteral("Hugo")};
    const QStringList last = {QStringLiteral("Adler"), QStringLiteral("Brandt"), QStringLiteral("Castell"), QStringLiteral("Eberle"),
                              QStringLiteral("Falk"), QStringLiteral("Gruber")};
    for (int i = 0; i < 24; ++i) {
        const QString name = first[i % first.size()];
        const QString row = QStringList{QStringLiteral("'{C0000000-0000-0000-0000-%1}'").arg(i, 12, 10, QLatin1Char('0')),
                                        QStringLiteral("'%1'").arg(name), QStringLiteral("'%1'").arg(last[(i * 5) % last.size()]),
                                        QStringLiteral("'%1-%2-%3'").arg(1950 + 2 * i).arg(1 + i % 12).arg(1 + (i * 7) % 28),
                                        QStringLiteral("'%1 Church Street'").arg(3 + 7 * i), QStringLiteral("'6270%1'").arg(i % 6),
                                        QStringLiteral("'Springfield'"), QStringLiteral("'IL'"),
                                        QStringLiteral("'%1%2@example.org'").arg(name.toLower()).arg(i),
                                        QStringLiteral("'(217) 555-%1'").arg(1200 + 37 * i)}
                                .join(QStringLiteral(", "));
        people += QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, DateOfBirth, Street, Zip, City, State, "
                                 "EMail1, Phone1) VALUES (%1);\n")
                      .arg(row);
    }
    server.Db().exec(people);

    ProgramFolder program;
    program.SetSetting(QStringLiteral("Animate splash"), QStringLiteral("False"));
    QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/" KESTROVA_VERSION ".html"), program.Path(QStringLiteral(KESTROVA_VERSION ".html")));
    const QDir staged(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns"));
    const QStringList plugins = staged.entryList({QStringLiteral("*.qor"), QStringLiteral("*.lng")}, QDir::Files);
    for (const QString &file : plugins)
        QFile::copy(staged.filePath(file), QDir(program.PluginsFolder()).filePath(file));
    const qsizetype modules = plugins.filter(QStringLiteral(".qor")).size();
    // The host starts with two modules at least: a service module makes up for a single one.
    if (modules < TQuorvaStartup::MinimumModules)
        program.AddModule(QStringLiteral("TestService"));
    if (modules == 0) {
        const auto views = [&](const QString &asName, const QString &rights, const QString &group, const QStringList &texts) {
            QMap<int, QString> lng = {{9000, rights}, {9001, group}, {9002, group}};
            for (int i = 0; i < texts.size(); ++i)
                lng.insert(1000 + i, texts[i]);
            program.AddModule(QStringLiteral("TestViews"), lng, asName);
        };
        const QString standIn = QStringLiteral("The %1 module is not installed with this build: a stand-in shows where its view appears.");
        views(QStringLiteral("A_Contacts"), QStringLiteral("0"), QStringLiteral("0"),
              {QStringLiteral("Contacts"), QStringLiteral("Families"), standIn.arg(QStringLiteral("contacts")),
               standIn.arg(QStringLiteral("contacts")), QStringLiteral("<b>Contacts</b> lists the members of the parish and what they can do."),
               QStringLiteral("<b>Families</b> groups the contacts who live together."), QStringLiteral("Contacts of the parish"),
               QStringLiteral("Families of the parish")});
        views(QStringLiteral("B_Calendar"), QStringLiteral("0"), QStringLiteral("1"),
              {QStringLiteral("Calendar"), QStringLiteral("Schedule"), standIn.arg(QStringLiteral("events")),
               standIn.arg(QStringLiteral("events")), QStringLiteral("<b>Calendar</b> shows the services and events of each day."),
               QStringLiteral("<b>Schedule</b> shows who serves at which service.")});
        views(QStringLiteral("C_Administration"), QStringLiteral("0x7FFFFFFF"), QStringLiteral("2"),
              {QStringLiteral("Locations"), QStringLiteral("Users"), standIn.arg(QStringLiteral("settings")),
               standIn.arg(QStringLiteral("settings")), QStringLiteral("<b>Locations</b> are the churches and halls where services take place."),
               QStringLiteral("<b>Users</b> are the people who may log on, each with a level of rights.")});
    }

    DialogScript script;
    script.Then<TfDlgLogin>([](TfDlgLogin &dialog) {
        dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(QStringLiteral("bob")));
        dialog.ePwd()->setText(QStringLiteral("Gloria77"));
        Save(dialog, QStringLiteral("logon"));
        PressLater(dialog.btnOK());
    });
    ScreenshotFactory factory;
    factory.discoveryPort = server.DiscoveryPort();
    factory.script = &script;
    {
        TQuorvaSteps steps(program.ProgramPath(), factory);
        TQuorvaStartup(steps, program.ProgramPath(), QStringLiteral(KESTROVA_VERSION)).Run();
    }
    for (const QString &path : g_saved)
        err << "saved " << path << '\n';
    for (const QString &path : g_failed)
        err << "could not save " << path << '\n';
    const int expected = 4;
    if (g_saved.size() != expected) {
        err << "made " << g_saved.size() << " of " << expected << " pictures; the start's log:\n"
            << FileLines(program.Path(QStringLiteral("session.txt"))).join(QLatin1Char('\n')) << '\n';
        return 1;
    }
    return 0;
}
