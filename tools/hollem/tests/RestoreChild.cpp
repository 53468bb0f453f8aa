// Hollem's restore, through the data module its window drives, in a process the test can kill.
// Usage: hollem_restore_child FOLDER BACKUP
#include "uDM.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    TDM dm(QString::fromLocal8Bit(argv[1]));
    try {
        dm.RestoreDatabase(QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
