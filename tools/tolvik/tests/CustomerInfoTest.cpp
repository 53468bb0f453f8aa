#include "tools/tolvik/uQorCustomerInfo.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using kestrova::test::ReadFile;

class SenderDetails : public ::testing::Test
{
protected:
    TQorCustomerInfo Stored() const { return TQorCustomerInfo(dir.filePath("userinfo.ini"), dir.filePath("keys/Tolvik.key")); }

    void SaveAnna() const
    {
        TQorCustomerInfo info = Stored();
        info.SetOwner(QStringLiteral("Anna Berg"));
        info.SetOrganization(QStringLiteral("St. Olav's"));
        info.SetEmail(QStringLiteral("anna.berg@example.org"));
        info.Save();
    }

    QTemporaryDir dir;
};

TEST_F(SenderDetails, ComeBackAsTheyWereSaved)
{
    SaveAnna();
    TQorCustomerInfo info = Stored();
    ASSERT_TRUE(info.Load());
    EXPECT_EQ(info.Owner(), QStringLiteral("Anna Berg"));
    EXPECT_EQ(info.Organization(), QStringLiteral("St. Olav's"));
    EXPECT_EQ(info.Email(), QStringLiteral("anna.berg@example.org"));
    EXPECT_EQ(info.CustomerID(), QString());
}

TEST_F(SenderDetails, AreStoredEncipheredWithAKeyOnlyTheUserMayRead)
{
    SaveAnna();
    const QByteArray stored = ReadFile(dir.filePath("userinfo.ini"));
    EXPECT_TRUE(stored.contains("[User information]"));
    for (const QByteArray &plain : {QByteArray("Anna"), QByteArray("Berg"), QByteArray("Olav"), QByteArray("example.org"),
                                   QByteArray("Anna Berg").toBase64(), QByteArray("anna.berg@example.org").toBase64()})
        EXPECT_FALSE(stored.contains(plain)) << plain.toStdString();
    struct stat key {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("keys/Tolvik.key")).constData(), &key), 0);
    EXPECT_EQ(key.st_mode & 07777, 0600u);
    // A fresh nonce each time: the same details never look the same twice.
    SaveAnna();
    EXPECT_NE(ReadFile(dir.filePath("userinfo.ini")), stored);
}

TEST_F(SenderDetails, ReadAsEmptyWithoutTheirKey)
{
    SaveAnna();
    ASSERT_TRUE(QFile::remove(dir.filePath("keys/Tolvik.key")));
    TQorCustomerInfo info = Stored();
    EXPECT_TRUE(info.Load());
    EXPECT_EQ(info.Owner(), QString());
    EXPECT_EQ(info.Email(), QString());
    // Saved again, they are readable with the new key.
    SaveAnna();
    ASSERT_TRUE(info.Load());
    EXPECT_EQ(info.Owner(), QStringLiteral("Anna Berg"));
}

TEST_F(SenderDetails, AreGoneOnceForgotten)
{
    EXPECT_FALSE(Stored().Load());
    SaveAnna();
    EXPECT_TRUE(Stored().Forget());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("userinfo.ini")));
    TQorCustomerInfo info = Stored();
    EXPECT_FALSE(info.Load());
}

} // namespace
