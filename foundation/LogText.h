// Text that a client sent, made fit for a log line: cut to a short excerpt, with every
// control character written as an escape, so that it can neither start a forged line nor
// fill the disk. Use it for every piece of client text (or error text that may echo it)
// that goes into the session log.
#pragma once

#include "foundation/FoundationExport.h"

#include <QString>
#include <QStringView>

// The longest excerpt of client text that a log line holds.
constexpr qsizetype kLogExcerptLength = 200;

// At most maxChars characters of text; a longer text ends in "... (+N characters)". A
// backslash becomes "\\", CR, LF and tab "\r", "\n" and "\t", any other control character or
// line separator "\u" and four hex digits.
FOUNDATION_EXPORT QString LogExcerpt(QStringView text, qsizetype maxChars = kLogExcerptLength);
