#include "foundation/uRegistry.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("KESTROVA_REGISTRY_DIR", QFile::encodeName(dir.filePath(QStringLiteral("reg"))));
    }
    void TearDown() override { qunsetenv("KESTROVA_REGISTRY_DIR"); }
    QTemporaryDir dir;
};

TEST_F(RegistryTest, MissingStoreKeyOrValueGivesTheDefault)
{
    QString value = QStringLiteral("junk");
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("def"), QStringLiteral("Server path"));
    EXPECT_EQ(value, QStringLiteral("def"));
    TQorReg::ReadString(0x1234, ProductKey, value, QStringLiteral("d2"), QStringLiteral("x"));
    EXPECT_EQ(value, QStringLiteral("d2"));
}

TEST_F(RegistryTest, EmptyValueGivesTheDefault)
{
    TQorReg::WriteString(HKEY_LOCAL_MACHINE, ProductKey, QString(), QStringLiteral("Server run-mode"));
    QString value;
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, ProductKey, value, QStringLiteral("desktop"), QStringLiteral("Server run-mode"));
    EXPECT_EQ(value, QStringLiteral("desktop"));
}

TEST_F(RegistryTest, WriteCreatesThePathAndRootsAreSeparate)
{
    const QString key = ProductKey + QStringLiteral("\\Client\\Grid");
    TQorReg::WriteString(HKEY_CURRENT_USER, key, QStringLiteral("wide"), QStringLiteral("Layout"));
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, QStringLiteral("software\\orbek\\kestrova\\client\\grid"), value, {},
                        QStringLiteral("layout"));
    EXPECT_EQ(value, QStringLiteral("wide"));
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, key, value, QStringLiteral("none"), QStringLiteral("Layout"));
    EXPECT_EQ(value, QStringLiteral("none"));
}

TEST_F(RegistryTest, UnwritableStoreWritesNothingAndReadNeverRaises)
{
    QFile blocker(dir.filePath(QStringLiteral("reg")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();
    EXPECT_NO_THROW(TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("v"), QStringLiteral("n")));
    QString value;
    EXPECT_NO_THROW(TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("d"), QStringLiteral("n")));
    EXPECT_EQ(value, QStringLiteral("d"));
}

TEST_F(RegistryTest, TextsWithLineBreaksAndBlanksReadBackAsWritten)
{
    const QStringList texts = {QStringLiteral("first\r\nsecond=not a key"), QStringLiteral("  padded  ")};
    for (const QString &text : texts) {
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, text, QStringLiteral("Note"));
        QString value;
        TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("d"), QStringLiteral("Note"));
        EXPECT_EQ(value, text);
        TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("d"), QStringLiteral("second"));
        EXPECT_EQ(value, QStringLiteral("d"));
    }
}

} // namespace

TEST_F(RegistryTest, ASecretMakesTheStoreTheOwnersAloneAndLaterWritesKeepItSo)
{
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("anna"), QStringLiteral("Last known user"));
    const QString store = TQorReg::StorePath(HKEY_CURRENT_USER);
    QFile::setPermissions(store, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    TQorReg::WriteSecretString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("0123abcd"), QStringLiteral("Logon secret"));
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    EXPECT_EQ(QFile::permissions(store) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("Yes"), QStringLiteral("Use Windows logon"));
    EXPECT_EQ(QFile::permissions(store) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, {}, QStringLiteral("Logon secret"));
    EXPECT_EQ(value, QStringLiteral("0123abcd"));
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, {}, QStringLiteral("Last known user"));
    EXPECT_EQ(value, QStringLiteral("anna"));
}
