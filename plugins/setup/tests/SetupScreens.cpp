// Pictures of the set-up wizard as a new installation shows it: the account page and the
// templates page after a few entries, against the real services on a fresh database of the
// private cluster. Run under a real display (xvfb-run with the xcb platform); writes
// setup-wizard-account.png and setup-wizard-templates.png into the folder given.
#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uplgSetup.h"

#include "testsupport/ScreenshotSupport.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"

#include "ui/uStyleForm.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Quorva;
using screenshots::Save;
using screenshots::Wait;

namespace {

void Press(QWidget *wizard, const char *name)
{
    if (auto *button = wizard->findChild<QPushButton *>(QString::fromLatin1(name)))
        button->click();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    qputenv("KESTROVA_REGISTRY_DIR", QFile::encodeName(QDir::tempPath() + QStringLiteral("/setup-screens-registry")));
    kestrova::test::ServiceServer server;
    server.Start();
    if (!server.server) {
        std::fprintf(stderr, "no database: set KESTROVA_TEST_PG\n");
        return 1;
    }
    int status = 0;
    {
        kestrova::test::TStandInHost host;
        host.Connect(server.NewClient());
        TRvSetupController controller;
        controller.ModuleCreate();
        controller.AttachHost(&host);
        // The window the host shows the wizard in.
        TfStyleForm form;
        auto *area = new QWidget(&form);
        (new QVBoxLayout(area))->setContentsMargins(0, 0, 0, 0);
        form.setCentralWidget(area);
        form.resize(488, 335);
        auto *wizard = dynamic_cast<TplgInitialSetup *>(controller.CreatePlugin(TRvSetupController::SetupPlugin));
        wizard->SetUserName(QStringLiteral("Pastor"));
        wizard->Prepare();
        wizard->ShowParented(area);
        form.show();
        Wait(400);
        if (!Save(form.grab(), out + QStringLiteral("/setup-wizard-account.png")))
            status = 1;

        for (QLineEdit *edit : {wizard->findChild<QLineEdit *>(QStringLiteral("edPassword1")), wizard->findChild<QLineEdit *>(QStringLiteral("edPassword2"))})
            edit->setText(QStringLiteral("Credo2024"));
        Press(wizard, "btnNext");
        Press(wizard, "btnNext");
        Press(wizard, "btnAddLiturgy");
        Press(wizard, "btnNext");
        auto *templates = wizard->findChild<QTreeWidget *>(QStringLiteral("tvTemplates"));
        auto *functions = wizard->findChild<QTreeWidget *>(QStringLiteral("tvFunctions"));
        const QStringList names{QStringLiteral("Reader"), QStringLiteral("Cantor"), QStringLiteral("Altar server"), QStringLiteral("Usher")};
        for (const QString &name : names) {
            Press(wizard, "btnNewFunction");
            functions->currentItem()->setText(0, name);
        }
        for (const QString &name : {QStringLiteral("Sunday Mass"), QStringLiteral("Evening prayer")}) {
            Press(wizard, "btnAddTemplate");
            templates->currentItem()->setText(0, name);
        }
        const int links[][2] = {{0, 0}, {0, 0}, {0, 1}, {0, 2}, {0, 2}, {0, 3}, {1, 1}, {1, 0}};
        for (const auto &link : links)
            wizard->AddFunctionToTemplate(templates->topLevelItem(link[0]), functions->topLevelItem(link[1]));
        templates->setCurrentItem(templates->topLevelItem(0)->child(0));
        functions->setCurrentItem(functions->topLevelItem(0));
        Wait(400);
        if (!Save(form.grab(), out + QStringLiteral("/setup-wizard-templates.png")))
            status = 1;
        form.close();
        wizard->release();
        controller.AttachHost(nullptr);
        controller.ModuleDestroy();
    }
    server.Stop();
    return status;
}
