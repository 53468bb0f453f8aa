// Test databases at the current schema: the version-14 template climbed once by the patch
// ladder, kept as a template of its own; and a small harness that runs the ladder the way
// the server's start-up does.
#pragma once

#include "testsupport/TestDatabase.h"

#include <QString>

#include <memory>

class IDAConnection;

namespace kestrova::test {

// The stage that climbs a template to the current schema; its tag follows the ladder library
// and the calendar file, so a changed ladder builds a new template.
TemplateStage CurrentSchemaStage();

// A connection of the system's own driver to the database.
std::unique_ptr<IDAConnection> OpenConnection(const QString &connectionString);

// Runs the ladder in one transaction and commits on True, rolls back on False, as the
// server's start-up does. programFolder holds the calendar file (the staging folder by default).
bool RunLadder(const QString &connectionString, const QString &programFolder = {});

} // namespace kestrova::test
