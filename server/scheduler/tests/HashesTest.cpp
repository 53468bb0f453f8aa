// String-keyed hash tables: hashing, lookup, ownership of stored objects.
#include "server/scheduler/uHashes.h"

#include <gtest/gtest.h>

namespace {

struct Counted
{
    explicit Counted(int &freed) : Freed(freed) {}
    ~Counted() { ++Freed; }
    Counted(const Counted &) = delete;
    Counted &operator=(const Counted &) = delete;
    int &Freed;
};

TEST(Hashes, TheOneLetterKeyAHashesToItsKnownValueAndBucket)
{
    EXPECT_EQ(THash::HashOf(QStringLiteral("A")), 0x23456761u);
    EXPECT_EQ(THash::HashOf(QStringLiteral("A")) & THash::Mask, 97u);
    EXPECT_EQ(THash::BucketCount, 128);
}

TEST(Hashes, HighBitsAreFoldedBackWithOrNotExclusiveOr)
{
    // "AB": after 'A' the value is $23456761; after 'B' the top nibble 3 is ORed into bits 4-7
    // (an exclusive or would give $34567662).
    EXPECT_EQ(THash::HashOf(QStringLiteral("AB")), 0x34567672u);
}

TEST(Hashes, KeysDifferingOnlyInLetterCaseAreTwoEntries)
{
    TIntegerHash h;
    h.Set(QStringLiteral("abc"), 1);
    h.Set(QStringLiteral("ABC"), 2);
    EXPECT_EQ(h.Get(QStringLiteral("abc")), 1);
    EXPECT_EQ(h.Get(QStringLiteral("ABC")), 2);
}

TEST(Hashes, SettingAnExistingKeyReplacesItsValue)
{
    TIntegerHash h;
    h.Set(QStringLiteral("k"), 1);
    h.Set(QStringLiteral("k"), 5);
    EXPECT_EQ(h.Get(QStringLiteral("k")), 5);
}

TEST(Hashes, ManyKeysInOneBucketAreAllFound)
{
    TIntegerHash h;
    for (int i = 0; i < 2000; ++i)
        h.Set(QStringLiteral("{key-%1}").arg(i), i);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(h.Get(QStringLiteral("{key-%1}").arg(i)), i);
    EXPECT_FALSE(h.Exists(QStringLiteral("{key-2000}")));
}

TEST(Hashes, AClearedTableHoldsNoKeyAndTakesNewOnes)
{
    TIntegerHash h;
    h.Set(QStringLiteral("a"), 1);
    h.Clear();
    EXPECT_FALSE(h.Exists(QStringLiteral("a")));
    h.Set(QStringLiteral("b"), 2);
    EXPECT_EQ(h.Get(QStringLiteral("b")), 2);
}

TEST(Hashes, AMissingKeyRaisesAFindErrorNamingIt)
{
    TIntegerHash h;
    try {
        h.Get(QStringLiteral("abc"));
        FAIL() << "no error";
    } catch (const EHashFindError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Key \"abc\" not found"));
    }
}

TEST(Hashes, AnEmptyKeyIsRefusedByEveryOperation)
{
    TIntegerHash h;
    EXPECT_THROW(h.Set(QString(), 1), EHashInvalidKeyError);
    EXPECT_THROW(h.Get(QString()), EHashInvalidKeyError);
    EXPECT_THROW(h.Exists(QString()), EHashInvalidKeyError);
    try {
        h.Exists(QString());
    } catch (const EHashError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Key cannot be an empty string"));
    }
}

TEST(Hashes, AnObjectTableFreesTheReplacedObjectExactlyOnce)
{
    int freed = 0;
    {
        TObjectHash<Counted> h;
        h.Set(QStringLiteral("k"), std::make_unique<Counted>(freed));
        h.Set(QStringLiteral("k"), std::make_unique<Counted>(freed));
        EXPECT_EQ(freed, 1);
        EXPECT_NE(h.Get(QStringLiteral("k")), nullptr);
    }
    EXPECT_EQ(freed, 2);
}

TEST(Hashes, AnObjectTableFreesEveryObjectItHolds)
{
    int freed = 0;
    {
        TObjectHash<Counted> h;
        for (int i = 0; i < 10; ++i)
            h.Set(QString::number(i), std::make_unique<Counted>(freed));
    }
    EXPECT_EQ(freed, 10);
}

} // namespace
