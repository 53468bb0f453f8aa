#include "Quorva_Data_Service_Intf.h"

#include "remoting/ROErrors.h"
#include "remoting/ROMessage.h"

#include <gtest/gtest.h>

namespace {

TEST(ContractRecords, UserFieldsTravelInContractOrder)
{
    ROUser user;
    user.UserID = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
    user.UserName = QStringLiteral("Anna");
    user.UserLevel = 0x7FFFFFFF;
    TROSerializer fields;
    user.WriteComplex(fields);
    ASSERT_EQ(fields.Values().size(), 3u);
    EXPECT_EQ(fields.Values()[0].Name, QStringLiteral("UserID"));
    EXPECT_EQ(fields.Values()[1].Name, QStringLiteral("UserName"));
    EXPECT_EQ(fields.Values()[2].Name, QStringLiteral("UserLevel"));
    EXPECT_EQ(fields.Values()[0].Value.Type(), ROType::AnsiString);

    TROMessage message;
    message.InitializeRequest(QuorvaLibraryName, QStringLiteral("LogOnService"), QStringLiteral("X"));
    message.WriteComplex(QStringLiteral("User"), &user);
    TROMessage back;
    back.LoadFromBytes(message.SaveToBytes(), 1 << 20);
    const auto read = back.ReadComplex<ROUser>(QStringLiteral("User"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->UserID, user.UserID);
    EXPECT_EQ(read->UserName, user.UserName);
    EXPECT_EQ(read->UserLevel, user.UserLevel);
}

TEST(ContractRecords, UpdateFileStreamIsMadeOnDemandAndCopiedByContent)
{
    UpdateFile file;
    EXPECT_EQ(file.Filedata().Size(), 0);
    file.FileName = QStringLiteral("Quorva");
    file.Filedata().SetBytes("abc");
    UpdateFile copy(file);
    copy.Filedata().SetBytes("changed");
    EXPECT_EQ(file.Filedata().Bytes(), QByteArray("abc"));
    EXPECT_EQ(copy.FileName, QStringLiteral("Quorva"));

    ROUser other;
    copy.Assign(other);  // another class: nothing copied
    EXPECT_EQ(copy.FileName, QStringLiteral("Quorva"));
}

TEST(ContractRecords, UpdateFilesGrowsInItsSteps)
{
    UpdateFiles files;
    std::vector<int> capacities;
    for (int i = 1; i <= 13; ++i) {
        files.Add(std::make_unique<UpdateFile>());
        capacities.push_back(files.Capacity());
    }
    EXPECT_EQ(capacities[0], 4);
    EXPECT_EQ(capacities[4], 8);
    EXPECT_EQ(capacities[8], 12);
    EXPECT_EQ(capacities[12], 28);

    UpdateFiles full;
    full.Resize(80);
    EXPECT_EQ(full.Capacity(), 80);
    full.Add();
    EXPECT_EQ(full.Capacity(), 100);
}

TEST(ContractRecords, UpdateFilesResizeDeleteAndBounds)
{
    UpdateFiles files;
    for (int i = 0; i < 5; ++i)
        files.Add().FileName = QString::number(i);
    files.Resize(3);
    EXPECT_EQ(files.GetCount(), 3);
    EXPECT_EQ(files.Items(2).FileName, QStringLiteral("2"));
    files.Resize(5);
    EXPECT_EQ(files.Items(4).FileName, QString());
    files.Delete(0);
    EXPECT_EQ(files.GetCount(), 4);
    EXPECT_EQ(files.Capacity(), 4);
    EXPECT_EQ(files.Items(0).FileName, QStringLiteral("1"));

    EXPECT_THROW(files.Items(4), EROIndexError);
    EXPECT_THROW(files.Items(-1), EROIndexError);
    EXPECT_THROW(files.Delete(9), EROIndexError);
    EXPECT_EQ(files.GetCount(), 4);

    UpdateFiles empty;
    files.Assign(empty);
    EXPECT_EQ(files.GetCount(), 0);
}

TEST(ContractRecords, UpdateFilesRoundTripWithStreams)
{
    UpdateFiles files;
    for (int i = 0; i < 3; ++i) {
        UpdateFile &f = files.Add();
        f.FileName = QStringLiteral("plugins/file%1.qor").arg(i);
        f.Fileversion = QStringLiteral("1.0.0.%1").arg(i);
        f.FileSize = QString::number(i * 1000);
        f.Filedata().SetBytes(QByteArray(i * 1000, char('a' + i)));
    }
    TROMessage message;
    message.InitializeResponse(QuorvaLibraryName, QStringLiteral("LogOnService"), QStringLiteral("DownloadClientUpdateEX"));
    message.WriteComplex(QStringLiteral("Result"), &files);
    TROMessage back;
    back.LoadFromBytes(message.SaveToBytes(), 1 << 20);
    const auto read = back.ReadComplex<UpdateFiles>(QStringLiteral("Result"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(read->Items(i).FileName, files.Items(i).FileName);
        EXPECT_EQ(read->Items(i).Filedata().Bytes(), files.Items(i).Filedata().Bytes());
    }
}

TEST(ContractRecords, ANilElementOfUpdateFilesStaysNilThroughStreamsAndCopies)
{
    UpdateFiles files;
    files.Add().FileName = QStringLiteral("first");
    files.Add(nullptr);
    files.Add().FileName = QStringLiteral("third");
    TROMessage message;
    message.InitializeResponse(QuorvaLibraryName, QStringLiteral("LogOnService"), QStringLiteral("DownloadClientUpdateEX"));
    message.WriteComplex(QStringLiteral("Result"), &files);
    TROMessage back;
    back.LoadFromBytes(message.SaveToBytes(), 1 << 20);
    const auto read = back.ReadComplex<UpdateFiles>(QStringLiteral("Result"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->GetCount(), 3);
    EXPECT_EQ(read->GetItemRef(1), nullptr);
    EXPECT_EQ(read->Items(2).FileName, QStringLiteral("third"));

    const UpdateFiles copy(*read);
    EXPECT_EQ(copy.GetItemRef(1), nullptr);
    EXPECT_EQ(copy.Items(0).FileName, QStringLiteral("first"));
    EXPECT_THROW(copy.Items(1), EROMessageError);
}

} // namespace
