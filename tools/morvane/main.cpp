// Morvane: edits the data server's settings file beside it (database server and log-on, the
// server's port, discovery) with a connection test. The server starts it when its own start fails.
#include "fMorvane.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Morvaneurator"));
    TfMorvaneurator form;
    form.InitForm();
    form.exec();
    return 0;
}
