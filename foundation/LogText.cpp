#include "foundation/LogText.h"

namespace {

// C0 and C1 controls, DEL, and the characters that some readers take for a line break.
bool NeedsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString LogExcerpt(QStringView text, qsizetype maxChars)
{
    qsizetype kept = std::min(text.size(), std::max<qsizetype>(maxChars, 0));
    // Never keep half of a surrogate pair.
    if (kept > 0 && kept < text.size() && text[kept - 1].isHighSurrogate())
        --kept;
    QString result;
    result.reserve(kept + 24);
    for (const QChar ch : text.first(kept)) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'\\': result += QLatin1String("\\\\"); break;
        case u'\r': result += QLatin1String("\\r"); break;
        case u'\n': result += QLatin1String("\\n"); break;
        case u'\t': result += QLatin1String("\\t"); break;
        default:
            if (NeedsEscape(c))
                result += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
            else
                result += ch;
        }
    }
    if (kept < text.size())
        result += QStringLiteral("... (+%1 characters)").arg(text.size() - kept);
    return result;
}
