// Stelvar: creates, overwrites or migrates the system's database once after installation and
// points the data server's settings file at it.
#include "fMain.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Stelvar"));
    TStelvarSetup setup(QApplication::applicationDirPath());
    if (!setup.SettingsExist()) {
        QMessageBox::critical(nullptr, QStringLiteral("Severe error"), QStringLiteral("Unable to find settings.ini"));
        return 1;
    }
    TfMain form(setup);
    form.show();
    form.FormShow();
    form.exec();
    return 0;
}
