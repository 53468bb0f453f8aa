// Whether a text is an e-mail address the support service can answer to: a local part of
// atoms or quoted strings, "@", and a domain of letter-led labels with at least one dot.
#pragma once

#include <QString>

class TQorEmailValidation
{
public:
    static bool IsValidEmail(const QString &text);
};
