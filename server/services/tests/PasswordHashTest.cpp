#include "server/services/PasswordHash.h"

#include <gtest/gtest.h>

TEST(PasswordHash, IsArgon2idWithTheMinimumCostAndSalted)
{
    const QString first = HashPassword(QStringLiteral("Kyrie-2026"));
    const QString second = HashPassword(QStringLiteral("Kyrie-2026"));
    EXPECT_TRUE(first.startsWith(QStringLiteral("$argon2id$v=19$m=19456,t=2,")));
    EXPECT_TRUE(IsPasswordHash(first));
    EXPECT_NE(first, second);
    EXPECT_FALSE(first.contains(QStringLiteral("Kyrie")));
}

TEST(PasswordHash, VerifiesOnlyTheExactPassword)
{
    const QString stored = HashPassword(QStringLiteral("Gloria"));
    EXPECT_TRUE(VerifyPassword(stored, QStringLiteral("Gloria")));
    EXPECT_FALSE(VerifyPassword(stored, QStringLiteral("gloria")));
    EXPECT_FALSE(VerifyPassword(stored, QStringLiteral("%")));
    EXPECT_FALSE(VerifyPassword(stored, QString()));
}

TEST(PasswordHash, AnEmptyStoredValueMatchesOnlyTheEmptyPassword)
{
    EXPECT_TRUE(VerifyPassword(QString(), QString()));
    EXPECT_FALSE(VerifyPassword(QString(), QStringLiteral("x")));
}

TEST(PasswordHash, AnOlderClearTextMatchesOnlyItselfNotAsAPattern)
{
    EXPECT_TRUE(VerifyPassword(QStringLiteral("Sanctus"), QStringLiteral("Sanctus")));
    EXPECT_FALSE(VerifyPassword(QStringLiteral("Sanctus"), QStringLiteral("S%")));
    EXPECT_FALSE(VerifyPassword(QStringLiteral("Sanctus"), QStringLiteral("sanctus")));
}
