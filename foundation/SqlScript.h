// SQL scripts made of batches separated by lines reading "GO": the one splitter that the
// database setup program, the server's ExecuteScript and the test template share. It only
// cuts text; it never executes anything.
#pragma once

#include "foundation/FoundationExport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace SqlScript {

// What to do with text after the last "GO" line.
enum class Trailing {
    Run,   // it is a batch of its own (the server's ExecuteScript)
    Drop,  // it is not executed (the setup program runs only batches closed by "GO")
};

// Lines of a script text, ending in CR LF, LF or a lone CR; a leading UTF-8 byte-order mark
// is dropped.
FOUNDATION_EXPORT QStringList SplitLines(const QByteArray &text);

// Batches of the lines: a line that is exactly "GO" (whole line, that case, no blanks) ends
// the batch before it; every other line belongs to the current batch, joined by LF. Batches
// holding nothing but blanks are left out, so a final "GO" or several in a row do no harm.
FOUNDATION_EXPORT QStringList SplitBatches(const QStringList &lines, Trailing trailing = Trailing::Run);

// Both steps on a whole file's text.
FOUNDATION_EXPORT QStringList SplitBatches(const QByteArray &text, Trailing trailing = Trailing::Run);

} // namespace SqlScript
