#include "tools/tolvik/uQorEmailValidation.h"

#include <gtest/gtest.h>

namespace {

struct EmailCase
{
    const char *address;
    bool valid;
};

// Readable, with control characters escaped, for the test's name.
void PrintTo(const EmailCase &c, std::ostream *out)
{
    *out << '"';
    for (const char *at = c.address; *at; ++at)
        if (*at == '\r')
            *out << "\\r";
        else
            *out << *at;
    *out << '"';
}

class EmailAddresses : public ::testing::TestWithParam<EmailCase>
{
};

TEST_P(EmailAddresses, AreValidOnlyInTheShapesSupportCanAnswer)
{
    EXPECT_EQ(TQorEmailValidation::IsValidEmail(QString::fromUtf8(GetParam().address)), GetParam().valid)
        << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmailAddresses,
    ::testing::Values(
        // no dot after the "@"
        EmailCase{"anna@localhost", false},
        // a dotted local part before a dotted domain
        EmailCase{"anna.berg@mail.example.org", true},
        // a domain label that starts with a digit
        EmailCase{"anna@1example.org", false}, EmailCase{"anna@example.1org", false},
        // a quoted local part holding a blank
        EmailCase{"\"anna berg\"@example.org", true}, EmailCase{"\"anna\\\"b\"@example.org", true},
        EmailCase{"\"anna\".berg@example.org", true}, EmailCase{"\"an\rna\"@example.org", false},
        EmailCase{"anna berg@example.org", false}, EmailCase{"anna..berg@example.org", false},
        EmailCase{".anna@example.org", false}, EmailCase{"anna.@example.org", false},
        EmailCase{"an(na)@example.org", false}, EmailCase{"anna@@example.org", false},
        EmailCase{"anna!#$%&'*+-/=?^_`{|}~@example.org", false}, EmailCase{"anna!#$%&'*+-=?^_`{|}~@example.org", true},
        EmailCase{"\xc3\xa5se@example.org", true}, EmailCase{"\xe2\x82\xac@example.org", false},
        EmailCase{"anna@ex-ample.org", true}, EmailCase{"anna@ex--ample.org", true},
        EmailCase{"anna@example-.org", false}, EmailCase{"anna@-example.org", false},
        EmailCase{"anna@example.org.", false}, EmailCase{"anna@example..org", false},
        EmailCase{"anna@exa_mple.org", false}, EmailCase{"anna@example.o2", true},
        EmailCase{"anna@", false}, EmailCase{"@example.org", false}, EmailCase{"", false}));

} // namespace
