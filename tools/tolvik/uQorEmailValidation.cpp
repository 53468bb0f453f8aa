#include "tools/tolvik/uQorEmailValidation.h"

namespace {

enum State { Start, InAtom, InQuoted, Escaped, AfterQuoted, AfterDot, DomainStart, InLabel, AfterHyphen, Invalid };

bool isAtom(char16_t c)
{
    if (c >= 128 && c <= 255)
        return true;
    if (c < u'!' || c > u'~')
        return false;
    for (const char16_t special : u"(),./:;<>@[\\]\"")
        if (c == special)
            return false;
    return true;
}

bool isLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

State next(State state, char16_t c, int &domainDots)
{
    switch (state) {
    case Start:
    case AfterDot:
        if (isAtom(c))
            return InAtom;
        return c == u'"' ? InQuoted : Invalid;
    case InAtom:
        if (c == u'@')
            return DomainStart;
        if (c == u'.')
            return AfterDot;
        return isAtom(c) ? InAtom : Invalid;
    case InQuoted:
        if (c == u'\r')
            return Invalid;
        if (c == u'"')
            return AfterQuoted;
        return c == u'\\' ? Escaped : InQuoted;
    case Escaped:
        return InQuoted;
    case AfterQuoted:
        if (c == u'@')
            return DomainStart;
        return c == u'.' ? AfterDot : Invalid;
    case DomainStart:
        return isLetter(c) ? InLabel : Invalid;
    case InLabel:
        if (c == u'-')
            return AfterHyphen;
        if (c == u'.') {
            ++domainDots;
            return DomainStart;
        }
        return isLetter(c) || isDigit(c) ? InLabel : Invalid;
    case AfterHyphen:
        if (c == u'-')
            return AfterHyphen;
        return isLetter(c) || isDigit(c) ? InLabel : Invalid;
    case Invalid:
        break;
    }
    return Invalid;
}

} // namespace

bool TQorEmailValidation::IsValidEmail(const QString &text)
{
    State state = Start;
    int domainDots = 0;
    for (const QChar c : text) {
        state = next(state, c.unicode(), domainDots);
        if (state == Invalid)
            return false;
    }
    return state == InLabel && domainDots > 0;
}
