// The automatic log-on secret is the documented derivation, so any client can make it.
#include "foundation/InteractiveLogon.h"

#include <gtest/gtest.h>

namespace {

// Computed apart from this code, with the argon2 reference library and Python's BLAKE2b,
// from the steps docs/wire-format.md gives.
TEST(InteractiveLogonSecret, IsTheDocumentedDerivation)
{
    EXPECT_EQ(DeriveInteractiveLogonSecret(QStringLiteral("Credo"), QStringLiteral("anna"), QStringLiteral("PARISH\\anna")),
              QStringLiteral("9f8f9704a13138d7153dbe47837491597ad628013e2e2f1dd68475b51a7432d7"));
    EXPECT_EQ(DeriveInteractiveLogonSecret(QString(), QStringLiteral("Grüß"), QString()),
              QStringLiteral("1644e3b3f5f23ac62022575782d492c6bf11e335e85119ba10ddfdb35b331286"));
}

TEST(InteractiveLogonSecret, DependsOnPasswordNameAndAccountAsTyped)
{
    const QString base = DeriveInteractiveLogonSecret(QStringLiteral("Credo"), QStringLiteral("anna"), QStringLiteral("PARISH\\anna"));
    EXPECT_NE(DeriveInteractiveLogonSecret(QStringLiteral("credo"), QStringLiteral("anna"), QStringLiteral("PARISH\\anna")), base);
    EXPECT_NE(DeriveInteractiveLogonSecret(QStringLiteral("Credo"), QStringLiteral("Anna"), QStringLiteral("PARISH\\anna")), base);
    EXPECT_NE(DeriveInteractiveLogonSecret(QStringLiteral("Credo"), QStringLiteral("anna"), QStringLiteral("PARISH\\ann")), base);
    // The separator keeps name and account apart: "an"+"na..." is not "anna"+"...".
    EXPECT_NE(DeriveInteractiveLogonSecret(QStringLiteral("Credo"), QStringLiteral("an"), QStringLiteral("naPARISH\\anna")), base);
}

} // namespace
