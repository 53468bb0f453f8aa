// The picture of the import wizard's first page with a spreadsheet chosen: its columns, ticked,
// with the first person's values as examples. Run under a real display (xvfb-run with the xcb
// platform); writes contacts-import.png into the folder given.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/ufImportWizard.h"

#include "testsupport/ScreenshotSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyleFactory>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc < 2) {
        std::fprintf(stderr, "usage: contacts_import_screens FOLDER\n");
        return 2;
    }
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("parish members.csv"));
    QFile csv(file);
    if (!csv.open(QIODevice::WriteOnly))
        return 1;
    csv.write(QStringLiteral("FirstName,LastName,DateOfBirth,Street,Zip,City,EMail,Phone\n"
                             "Zoë,Ødegård,1985-03-14,12 Church Lane,01234,Åsgårdstrand,zoe@example.org,(555) 123-4567\n"
                             "Дмитрий,Смирнов,1990-12-01,3 Mill Road,00501,Holtsville,dmitri@example.org,(555) 765-4321\n")
                  .toUtf8());
    csv.close();

    TRvContactsController controller;
    controller.ModuleCreate();
    bool saved = false;
    {
        TfImport wizard(controller);
        wizard.SetTexts();
        wizard.show();
        wizard.ChooseFile(QDir::toNativeSeparators(file));
        screenshots::Wait(400);
        saved = screenshots::Save(wizard.grab(), QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("contacts-import.png")));
    }
    controller.ModuleDestroy();
    return saved ? 0 : 1;
}
