// A grid's column layout, kept as a user blob in the host's settings store.
#pragma once

#include "client/api/HostInterfaces.h"

#include <QHeaderView>

#include <stdexcept>

// Puts back the stored layout of name; nothing stored leaves the grid as it is. A layout that
// does not fit the grid leaves it as designed and raises, so the caller can log it.
inline void RestoreGridLayout(Quorva::ISettings &settings, const QString &name, QHeaderView &header)
{
    const std::optional<QByteArray> stream = settings.LoadUserBlob(name);
    if (!stream || stream->isEmpty())
        return;
    const QByteArray designed = header.saveState();
    if (!header.restoreState(*stream)) {
        header.restoreState(designed);
        throw std::runtime_error(QStringLiteral("The stored layout \"%1\" does not fit the grid").arg(name).toStdString());
    }
}
