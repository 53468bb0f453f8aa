// Finds the ":Name" parameters of an SQL text and turns them into positional "$n" markers.
// Must never take a colon inside a string literal, a quoted name, a comment, a dollar-quoted
// body, a "::" cast or an ":=" assignment for a parameter.
#pragma once

#include "dataaccess/DataAccessExport.h"

#include <QString>
#include <QStringList>

struct DATAACCESS_EXPORT TDASQLParamText
{
    // The text with every ":Name" replaced by "$n"; a name used twice gets the same n.
    QString SQL;
    // Distinct names in order of first use; "$n" stands for Names[n - 1].
    QStringList Names;
    // False when a ";" outside literals and comments is followed by more than blanks and comments.
    bool SingleStatement = true;
};

DATAACCESS_EXPORT TDASQLParamText DAParseSQLParams(const QString &sql);
