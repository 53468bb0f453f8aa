#include "contract/Catalogue.h"

#include <QFile>

QByteArray QuorvaCatalogue()
{
    // The library's own resources are initialised by the library itself.
    Q_INIT_RESOURCE(contract_catalogue);
    QFile file(QStringLiteral(":/RODLFILE"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
