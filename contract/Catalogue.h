// The contract catalogue as it travels inside the library (the resource "RODLFILE"): the
// server can hand it out, and tests check the generated code against it.
#pragma once

#include "contract/ContractExport.h"

#include <QByteArray>

CONTRACT_EXPORT QByteArray QuorvaCatalogue();
