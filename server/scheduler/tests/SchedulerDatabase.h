// The scheduler's procedures in their current form on a fresh test database, for the tests
// and the benchmark that run the scheduler against the private cluster.
#pragma once

#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

#include <QFile>

namespace kestrova::test {

// Replaces the version-14 forms of the ranking objects by the current ones.
inline void InstallSchedulerObjects(const TestDatabase &db)
{
    db.exec(QStringLiteral("SET search_path=dbo; DROP FUNCTION IF EXISTS step3_ordered(varchar);"));
    for (const char *name : {"NumAssigned", "SinceLast", "RotationRatio-4", "step3_ordered", "step4_weekend_ordered",
                             "sp_AutoSchedule_Rulemembers", "sp_Auto_Step2"}) {
        QFile f(QStringLiteral(KESTROVA_SOURCE_DIR "/server/database/objects/%1.sql").arg(QString::fromLatin1(name)));
        if (!f.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << f.fileName().toStdString();
            continue;
        }
        db.exec(QStringLiteral("SET search_path=dbo;\n") + QString::fromUtf8(f.readAll()));
    }
}

} // namespace kestrova::test
