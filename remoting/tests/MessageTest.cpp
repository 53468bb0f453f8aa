#include "remoting/ROErrors.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"

#include "HostileMessages.h"
#include "TestRecords.h"

#include "foundation/MemoryBudget.h"
#include "foundation/QorDateTime.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace {

using RemotingLimits::kMaxReplySize;
using RemotingLimits::kMaxRequestSize;

const QString kLib = QStringLiteral("Quorva_Data_Service");
const QString kSvc = QStringLiteral("TestService");

bool IsCompressed(const QByteArray &bytes) { return (quint8(bytes.at(6)) & 1) != 0; }

TROMessage RoundTrip(const TROMessage &m, bool *compressed = nullptr)
{
    const QByteArray bytes = m.SaveToBytes();
    if (compressed)
        *compressed = IsCompressed(bytes);
    TROMessage back;
    back.LoadFromBytes(bytes, kMaxReplySize);
    return back;
}

// One value of each scalar type, each with an ordinary and an edge value.
std::vector<RONamedValue> EveryScalar(int pad)
{
    const QString text = QStringLiteral("Grüße ✓ ") + QString(pad, QLatin1Char('x'));
    return {
        {"IntMin", ROValue::FromInteger(std::numeric_limits<qint32>::min())},
        {"IntMax", ROValue::FromInteger(std::numeric_limits<qint32>::max())},
        {"Int64", ROValue::FromInt64(std::numeric_limits<qint64>::min() + 7)},
        {"Double", ROValue::FromDouble(-1.5e-300)},
        {"Infinity", ROValue::FromDouble(std::numeric_limits<double>::infinity())},
        {"Currency", ROValue::FromCurrency(-123456789)},
        {"True", ROValue::FromBoolean(true)},
        {"False", ROValue::FromBoolean(false)},
        {"Date", ROValue::FromDateTime(45000.75)},
        {"Ansi", ROValue::FromString(ROType::AnsiString, text)},
        {"Utf8", ROValue::FromString(ROType::Utf8String, text)},
        {"Wide", ROValue::FromString(ROType::WideString, text)},
        {"EmptyAnsi", ROValue::FromString(ROType::AnsiString, QString())},
        {"EmptyWide", ROValue::FromString(ROType::WideString, QString())},
        {"Guid", ROValue::FromGuid(QUuid::fromString(QStringLiteral("{04CA1B51-F3D5-44CC-AC7D-7F8EB71C06AE}")))},
        {"NullGuid", ROValue::FromGuid(QUuid())},
        {"Binary", ROValue::FromBinary(QByteArray("\0\1\2\xff", 4))},
        {"EmptyBinary", ROValue::FromBinary(QByteArray())},
        {"NilBinary", ROValue::NilOf(ROType::Binary)},
        {"Xml", ROValue::FromXml(QStringLiteral("<a b=\"1\">text</a>"))},
        {"VariantEmpty", ROValue::FromVariant(ROValue())},
        {"VariantInt", ROValue::FromVariant(ROValue::FromInteger(7))},
        {"VariantText", ROValue::FromVariant(ROValue::FromString(ROType::WideString, text))},
        {"VariantDate", ROValue::FromVariant(ROValue::FromDateTime(1.5))},
        {"Enum", ROValue::FromEnum(QStringLiteral("ColumnSortDirection"), 1)},
        {"Nil", ROValue()},
        {"Record", ROValue::FromRecord(QStringLiteral("Pair"), {{"A", ROValue::FromInteger(1)},
                                                                 {"B", ROValue::NilOf(ROType::Binary)}})},
        {"EmptyRecord", ROValue::FromRecord(QStringLiteral("Nothing"), {})},
        {"NilRecord", ROValue::NilOf(ROType::Record)},
        {"Array", ROValue::FromArray(QStringLiteral("Variant"), {ROValue::FromVariant(ROValue::FromInt64(5)),
                                                                  ROValue::FromVariant(ROValue())})},
        {"EmptyArray", ROValue::FromArray(QStringLiteral("Utf8String"), {})},
        {"NilArray", ROValue::NilOf(ROType::Array)},
    };
}

// The padding of every text: none (plain), some (packed at once), more than a megabyte in all
// (packed as it is written).
class MessageRoundTrip : public ::testing::TestWithParam<int>
{
};

TEST_P(MessageRoundTrip, EveryTypeReadsBackAsWrittenCompressedOrNot)
{
    const int pad = GetParam();
    TROMessage m;
    m.SetClientID(QUuid::createUuid());
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Everything"));
    for (const RONamedValue &v : EveryScalar(pad))
        m.WriteValue(v.Name, v.Value);
    bool compressed = false;
    TROMessage back = RoundTrip(m, &compressed);
    EXPECT_EQ(compressed, pad > 0);
    EXPECT_EQ(back.Kind(), ROMessageKind::Request);
    EXPECT_EQ(back.LibraryName(), kLib);
    EXPECT_EQ(back.InterfaceName(), kSvc);
    EXPECT_EQ(back.MessageName(), QStringLiteral("Everything"));
    EXPECT_EQ(back.ClientID(), m.ClientID());
    ASSERT_EQ(back.Values().size(), m.Values().size());
    for (std::size_t i = 0; i < m.Values().size(); ++i) {
        EXPECT_EQ(back.Values()[i].Name, m.Values()[i].Name);
        EXPECT_TRUE(back.Values()[i].Value == m.Values()[i].Value)
            << m.Values()[i].Name.toStdString() << ": " << back.Values()[i].Value.Describe().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Message, MessageRoundTrip, ::testing::Values(0, 3000, 300 * 1000));

// A reply whose files stay on disk is written in pieces that make up, byte for byte, the message
// SaveToBytes gives for the same files in memory: plain, packed at once, and packed as it is
// written, the files anywhere among the values and larger than a piece.
TEST(Message, AReplyOfFilesIsWrittenInPiecesAsTheSameReplyInMemory)
{
    QByteArray random(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
    const QByteArray text = QByteArray("Kestrova client update ").repeated(60000);
    const struct
    {
        const char *what;
        std::vector<QByteArray> files;
        bool compressed;
    } cases[] = {
        {"one small file, plain", {"client 1.0.0.5"}, false},
        {"an empty file among small ones, packed at once", {QByteArray(), "abc", QByteArray(1500, 'x')}, true},
        {"files larger than a piece, packed as they are written", {random, "x", text, random.left(5)}, true},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ROValue> inMemory, onDisk;
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            const QString path = folder.filePath(QStringLiteral("file%1").arg(i));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(file.write(c.files[i]), c.files[i].size());
            file.close();
            const auto record = [&](const ROValue &data) {
                return ROValue::FromRecord(QStringLiteral("UpdateFile"), {{"FileName", ROValue::FromString(ROType::AnsiString, path)},
                                                                          {"Filedata", data}});
            };
            inMemory.push_back(record(ROValue::FromBinary(c.files[i])));
            onDisk.push_back(record(ROValue::FromBinaryFile(path, c.files[i].size())));
        }
        const auto reply = [](std::vector<ROValue> files) {
            TROMessage m;
            m.SetClientID(QUuid::createUuid());
            m.InitializeResponse(kLib, kSvc, QStringLiteral("DownloadClientUpdateEX"));
            m.WriteValue(QStringLiteral("Result"), ROValue::FromArray(QStringLiteral("UpdateFile"), std::move(files)));
            m.WriteUtf8String(QStringLiteral("After"), QStringLiteral("the files"));
            return m;
        };
        TROMessage memory = reply(inMemory), disk = reply(onDisk);
        disk.SetClientID(memory.ClientID());
        ASSERT_FALSE(memory.HoldsFiles());
        ASSERT_TRUE(disk.HoldsFiles());
        const QByteArray expected = memory.SaveToBytes();
        EXPECT_EQ(IsCompressed(expected), c.compressed);

        TROMessageWriter writer(disk, kMaxReplySize);
        EXPECT_EQ(writer.Length(), std::size_t(expected.size()));
        QByteArray written, piece;
        while (writer.Next(piece)) {
            EXPECT_LE(std::size_t(piece.size()), RemotingLimits::kReplyPieceSize);
            written += piece;
        }
        EXPECT_TRUE(written == expected) << written.size() << " bytes written, " << expected.size() << " expected";
        EXPECT_TRUE(disk.SaveToBytes() == expected);
    }
    // A file that is no longer the one listed is never sent as another.
    ASSERT_TRUE(QFile::resize(folder.filePath(QStringLiteral("file0")), 3));
    TROMessage changed;
    changed.InitializeResponse(kLib, kSvc, QStringLiteral("DownloadClientUpdateEX"));
    changed.WriteValue(QStringLiteral("Result"), ROValue::FromBinaryFile(folder.filePath(QStringLiteral("file0")), random.size()));
    EXPECT_THROW(TROMessageWriter(changed, kMaxReplySize), EROMessageError);
}

TEST(Message, EmptyValuesStayDistinctFromNil)
{
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    TROBinaryMemoryStream empty;
    m.WriteBinary(QStringLiteral("Empty"), &empty);
    m.WriteBinary(QStringLiteral("Nil"), nullptr);
    m.WriteComplex(QStringLiteral("NoUser"), nullptr);
    TROMessage back = RoundTrip(m);
    const auto emptyBack = back.ReadBinary(QStringLiteral("Empty"));
    ASSERT_NE(emptyBack, nullptr);
    EXPECT_EQ(emptyBack->Size(), 0);
    EXPECT_EQ(back.ReadBinary(QStringLiteral("Nil")), nullptr);
    EXPECT_EQ(back.ReadComplex<TestUser>(QStringLiteral("NoUser")), nullptr);
}

TEST(Message, MessageWithoutValuesRoundTrips)
{
    TROMessage m;
    m.InitializeEvent(kLib, QStringLiteral("AutoScheduleEvent"), QStringLiteral("OnAutoScheduleBegin"));
    TROMessage back = RoundTrip(m);
    EXPECT_EQ(back.Kind(), ROMessageKind::Event);
    EXPECT_EQ(back.InterfaceName(), QStringLiteral("AutoScheduleEvent"));
    EXPECT_EQ(back.MessageName(), QStringLiteral("OnAutoScheduleBegin"));
    EXPECT_TRUE(back.Values().empty());
    EXPECT_TRUE(back.ClientID().isNull());
}

TEST(Message, ResponseIsNamedAfterTheOperation)
{
    TROMessage m;
    m.InitializeResponse(kLib, QStringLiteral("LogOnService"), QStringLiteral("SaveBlobSetting"));
    EXPECT_EQ(m.MessageName(), QStringLiteral("SaveBlobSettingResponse"));
    EXPECT_EQ(m.Kind(), ROMessageKind::Response);
}

TEST(Message, RecordsAndArraysOfRecordsRoundTripThroughTheirClasses)
{
    TestUsers users;
    users.Resize(3);
    users.Items[0]->UserID = QStringLiteral("{A}");
    users.Items[0]->UserName = QStringLiteral("anna");
    users.Items[0]->UserLevel = 0x7FFFFFFF;
    users.Items[0]->Photo = std::make_unique<TROBinaryMemoryStream>(QByteArray(5000, 'p'));
    users.Items[1].reset();
    users.Items[2]->UserName = QStringLiteral("bert");
    TestStrings strings;
    strings.Items = {QStringLiteral("one"), QString(), QStringLiteral("drei")};

    TROMessage m;
    m.InitializeResponse(kLib, kSvc, QStringLiteral("Users"));
    m.WriteComplex(QStringLiteral("Result"), &users);
    m.WriteComplex(QStringLiteral("Names"), &strings);
    bool compressed = false;
    TROMessage back = RoundTrip(m, &compressed);
    EXPECT_TRUE(compressed);

    auto usersBack = back.ReadComplex<TestUsers>(QStringLiteral("Result"));
    ASSERT_NE(usersBack, nullptr);
    ASSERT_EQ(usersBack->GetCount(), 3);
    EXPECT_EQ(usersBack->Items[0]->UserName, QStringLiteral("anna"));
    EXPECT_EQ(usersBack->Items[0]->UserLevel, 0x7FFFFFFF);
    ASSERT_NE(usersBack->Items[0]->Photo, nullptr);
    EXPECT_EQ(usersBack->Items[0]->Photo->Bytes(), QByteArray(5000, 'p'));
    EXPECT_EQ(usersBack->Items[1], nullptr);
    EXPECT_EQ(usersBack->Items[2]->UserName, QStringLiteral("bert"));
    EXPECT_EQ(usersBack->Items[2]->Photo, nullptr);
    auto stringsBack = back.ReadComplex<TestStrings>(QStringLiteral("Names"));
    ASSERT_NE(stringsBack, nullptr);
    EXPECT_EQ(stringsBack->Items, strings.Items);
}

TEST(Message, RecordClassesAreFoundByName)
{
    RegisterROClass(TestUser::StaticClassName(), [] { return std::make_unique<TestUser>(); });
    TestUser user;
    user.UserName = QStringLiteral("carl");
    TROMessage m;
    m.InitializeResponse(kLib, kSvc, QStringLiteral("Op"));
    m.WriteComplex(QStringLiteral("User"), &user);
    TROMessage back = RoundTrip(m);
    auto object = back.ReadComplex(QStringLiteral("User"), TestUser::StaticClassName());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(static_cast<TestUser &>(*object).UserName, QStringLiteral("carl"));
    UnregisterROClass(TestUser::StaticClassName());
    EXPECT_FALSE(IsROClassRegistered(TestUser::StaticClassName()));
    TROMessage again = RoundTrip(m);
    EXPECT_THROW(again.ReadComplex(QStringLiteral("User"), TestUser::StaticClassName()), EROInterfaceCastError);
}

// Also run under TZ=Europe/Berlin and TZ=America/Santiago (scripts/test): 02:30 on Berlin's
// spring-forward day and midnight of Santiago's do not exist on those clocks.
TEST(Message, DateTimeTravelsAsLocalWallClockRoundedToTheMillisecond)
{
    const QDateTime when = WallClock(QDate(2026, 3, 29), QTime(2, 30, 15, 123));
    const QDateTime berlinGap = WallClock(QDate(2024, 3, 31), QTime(2, 30));
    const QDateTime santiagoGap = WallClock(QDate(2024, 9, 8));
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    m.WriteDateTime(QStringLiteral("AFromDate"), when);
    m.WriteDateTime(QStringLiteral("Epoch"), 0.0);
    m.WriteDateTime(QStringLiteral("Berlin"), berlinGap);
    m.WriteDateTime(QStringLiteral("Santiago"), santiagoGap);
    // A local value travels with its calendar fields.
    m.WriteDateTime(QStringLiteral("Local"), QDateTime(QDate(2024, 7, 1), QTime(9, 15), Qt::LocalTime));
    TROMessage back = RoundTrip(m);
    EXPECT_EQ(back.ReadDateTime(QStringLiteral("AFromDate")), when);
    EXPECT_EQ(back.ReadDateTime(QStringLiteral("Epoch")), WallClock(QDate(1899, 12, 30)));
    EXPECT_EQ(back.ReadDateTime(QStringLiteral("Berlin")).toString(Qt::ISODate), QStringLiteral("2024-03-31T02:30:00Z"));
    EXPECT_EQ(back.ReadDateTime(QStringLiteral("Santiago")), santiagoGap);
    EXPECT_DOUBLE_EQ(back.ReadDateTimeDays(QStringLiteral("Santiago")), 45543.0);
    EXPECT_EQ(back.ReadDateTime(QStringLiteral("Local")), WallClock(QDate(2024, 7, 1), QTime(9, 15)));
}

TEST(Message, DateTimesOutsideTheYearsOneTo9999AreRefused)
{
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    const double refused[] = {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                              2958466.0, 2958465.99999999999, -693594.5};
    for (size_t i = 0; i < std::size(refused); ++i)
        m.WriteDateTime(QStringLiteral("D%1").arg(i), refused[i]);
    TROMessage back = RoundTrip(m);
    for (size_t i = 0; i < std::size(refused); ++i)
        EXPECT_THROW(back.ReadDateTime(QStringLiteral("D%1").arg(i)), EROMessageError) << refused[i];
    EXPECT_THROW(m.WriteDateTime(QStringLiteral("Late"), WallClock(QDate(10000, 1, 1))), std::out_of_range);
}

TEST(Message, ReadsFindValuesByNameAndRefuseWrongTypes)
{
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    m.WriteAnsiString(QStringLiteral("First"), QStringLiteral("a"));
    m.WriteInteger(QStringLiteral("Second"), 2);
    TROMessage back = RoundTrip(m);
    EXPECT_EQ(back.ReadInteger(QStringLiteral("Second")), 2);
    EXPECT_EQ(back.ReadAnsiString(QStringLiteral("First")), QStringLiteral("a"));
    EXPECT_THROW(back.ReadWideString(QStringLiteral("First")), EROMessageError);
    EXPECT_THROW(back.ReadInteger(QStringLiteral("Third")), EROMessageError);
    EXPECT_THROW(back.ReadEnum(QStringLiteral("Second"), QStringLiteral("E")), EROMessageError);
}

TEST(Message, ErrorMessageRaisesTheServerClassAndText)
{
    TROMessage m;
    m.InitializeError(kLib, kSvc, QStringLiteral("Op"), QStringLiteral("EDatabaseError"), QStringLiteral("gone"));
    TROMessage back = RoundTrip(m);
    try {
        back.RaiseIfError();
        FAIL() << "no exception";
    } catch (const EROServerError &e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("EDatabaseError"));
        EXPECT_EQ(e.Message(), QStringLiteral("gone"));
    }
}

TEST(Message, VariantRefusesNestedComplexValues)
{
    EXPECT_THROW(ROValue::FromVariant(ROValue::FromRecord(QStringLiteral("R"), {})), EROMessageError);
    EXPECT_THROW(ROValue::FromVariant(ROValue::FromVariant(ROValue())), EROMessageError);
}

// --- malformed input -------------------------------------------------------------------

QByteArray SampleBytes(bool big)
{
    TROMessage m;
    m.SetClientID(QUuid::createUuid());
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    for (const RONamedValue &v : EveryScalar(big ? 2000 : 0))
        m.WriteValue(v.Name, v.Value);
    return m.SaveToBytes();
}

TEST(MessageReader, EveryTruncationIsRefused)
{
    for (bool big : {false, true}) {
        const QByteArray full = SampleBytes(big);
        for (qsizetype n = 0; n < full.size(); ++n) {
            TROMessage m;
            EXPECT_THROW(m.LoadFromBytes(full.left(n), kMaxRequestSize), EROMessageError) << "length " << n;
            EXPECT_TRUE(m.Values().empty());
        }
    }
}

TEST(MessageReader, StrayBytesAfterTheMessageAreRefused)
{
    TROMessage m;
    EXPECT_THROW(m.LoadFromBytes(SampleBytes(false) + "x", kMaxRequestSize), EROMessageError);
    EXPECT_THROW(m.LoadFromBytes(SampleBytes(true) + "x", kMaxRequestSize), EROMessageError);
}

TEST(MessageReader, RandomDamageNeverCrashes)
{
    QRandomGenerator random(4711);
    const QByteArray full = SampleBytes(false);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = full;
        const int flips = 1 + int(random.bounded(4));
        for (int i = 0; i < flips; ++i)
            bytes[int(random.bounded(quint32(bytes.size())))] = char(random.bounded(256));
        TROMessage m;
        try {
            m.LoadFromBytes(bytes, kMaxRequestSize);
        } catch (const EROMessageError &) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(MessageReader, HugeCountsAndLengthsAreRefusedBeforeAllocating)
{
    QByteArray bytes = SampleBytes(false).left(23);
    auto u32 = [&bytes](quint32 v) { bytes.append(reinterpret_cast<const char *>(&v), 4); };
    u32(0);
    u32(0);
    u32(0);
    u32(0xFFFFFFFFu); // value count
    TROMessage m;
    EXPECT_THROW(m.LoadFromBytes(bytes, kMaxRequestSize), EROMessageError);

    QByteArray longName = SampleBytes(false).left(23);
    quint32 huge = 0x7FFFFFFF;
    longName.append(reinterpret_cast<const char *>(&huge), 4);
    EXPECT_THROW(m.LoadFromBytes(longName, kMaxRequestSize), EROMessageError);
}

TEST(MessageReader, UnpackedSizeIsBounded)
{
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    TROBinaryMemoryStream zeros(QByteArray(3 * 1024 * 1024, '\0'));
    m.WriteBinary(QStringLiteral("Data"), &zeros);
    const QByteArray bytes = m.SaveToBytes();
    EXPECT_LT(bytes.size(), 100 * 1024);
    TROMessage back;
    EXPECT_THROW(back.LoadFromBytes(bytes, 1024 * 1024), EROMessageError);
    back.LoadFromBytes(bytes, kMaxRequestSize);
    EXPECT_EQ(back.ReadBinary(QStringLiteral("Data"))->Size(), 3 * 1024 * 1024);
    // A stated size smaller than the real one is refused too.
    QByteArray lying = bytes;
    const quint32 small = 2000;
    lying.replace(23, 4, reinterpret_cast<const char *>(&small), 4);
    EXPECT_THROW(back.LoadFromBytes(lying, kMaxRequestSize), EROMessageError);
}

TEST(MessageReader, ACompressedBodyOfTinyValuesIsRefusedBeyondItsValueBudget)
{
    // One-byte nil elements pack into almost nothing, but each would cost over a hundred bytes
    // as a value (a 64 KB body of them unpacks to 64 MiB and ten gigabytes of values).
    const QByteArray bomb = hostile::NilArray(300'000, true);
    ASSERT_LT(bomb.size(), 2 * 1024);
    TROMessage m;
    try {
        m.LoadFromBytes(bomb, kMaxRequestSize);
        FAIL() << "the bomb was read";
    } catch (const EROMessageError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("values"))) << e.Message().toStdString();
    }
    EXPECT_TRUE(m.Values().empty());
}

TEST(MessageReader, ACountBeyondTheValueBudgetIsRefusedBeforeItsValuesAreRead)
{
    // 100,000 one-byte elements fit the bytes but not the budget of a 100 KB body; the elements
    // are invalid tags, so reading any of them would fail differently.
    constexpr int kElements = 100'000;
    QByteArray bytes = hostile::NilArray(kElements, false);
    bytes.replace(bytes.size() - kElements, kElements, QByteArray(kElements, '\xff'));
    TROMessage m;
    try {
        m.LoadFromBytes(bytes, kMaxRequestSize);
        FAIL() << "the array was read";
    } catch (const EROMessageError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("values"))) << e.Message().toStdString();
    }
}

TEST(MessageReader, DenseButOrdinaryArraysStayWithinTheValueBudget)
{
    std::vector<ROValue> numbers;
    for (int i = 0; i < 100'000; ++i)
        numbers.push_back(ROValue::FromInteger(i));
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    m.WriteValue(QStringLiteral("Numbers"), ROValue::FromArray(QStringLiteral("Integer"), std::move(numbers)));
    TROMessage back;
    back.LoadFromBytes(m.SaveToBytes(), kMaxRequestSize);
    EXPECT_EQ(back.ReadValue(QStringLiteral("Numbers"), ROType::Array).Items().size(), 100'000u);
}

TEST(MessageReader, ASharedBudgetBoundsWhatReadsTakeAtOnceAndIsGivenBack)
{
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    TROBinaryMemoryStream zeros(QByteArray(3 * 1024 * 1024, '\0'));
    m.WriteBinary(QStringLiteral("Data"), &zeros);
    const QByteArray bytes = m.SaveToBytes();

    TMemoryBudget budget(16 * 1024 * 1024);
    TROMessage back;
    back.LoadFromBytes(bytes, kMaxRequestSize, &budget);
    EXPECT_EQ(back.ReadBinary(QStringLiteral("Data"))->Size(), 3 * 1024 * 1024);
    EXPECT_EQ(budget.InUse(), 0u);

    // Other reads hold most of it: this one is refused and gives back what it took.
    ASSERT_TRUE(budget.TryTake(14 * 1024 * 1024));
    EXPECT_THROW(back.LoadFromBytes(bytes, kMaxRequestSize, &budget), EROMessageError);
    EXPECT_EQ(budget.InUse(), std::size_t(14 * 1024 * 1024));
    budget.Give(14 * 1024 * 1024);
    back.LoadFromBytes(bytes, kMaxRequestSize, &budget);
    EXPECT_EQ(budget.InUse(), 0u);
}

TEST(MessageReader, WritingBeyondTheLimitIsRefused)
{
    TROMessage m;
    m.InitializeResponse(kLib, kSvc, QStringLiteral("Op"));
    TROBinaryMemoryStream data(QByteArray(4096, 'a'));
    m.WriteBinary(QStringLiteral("Data"), &data);
    EXPECT_THROW(m.SaveToBytes(1000), EROMessageError);
}

TEST(MessageReader, DeepNestingIsRefused)
{
    ROValue v = ROValue::FromRecord(QStringLiteral("R"), {});
    for (int i = 0; i < RemotingLimits::kMaxNesting + 5; ++i)
        v = ROValue::FromRecord(QStringLiteral("R"), {{QStringLiteral("Inner"), v}});
    TROMessage m;
    m.InitializeRequest(kLib, kSvc, QStringLiteral("Op"));
    m.WriteValue(QStringLiteral("Deep"), v);
    EXPECT_THROW(m.SaveToBytes(), EROMessageError);
}

TEST(MessageReader, BadSignatureVersionKindAndFlagsAreRefused)
{
    const QByteArray good = SampleBytes(false);
    for (int offset : {0, 4, 5, 6}) {
        QByteArray bad = good;
        bad[offset] = char(0x7f);
        TROMessage m;
        EXPECT_THROW(m.LoadFromBytes(bad, kMaxRequestSize), EROMessageError) << "offset " << offset;
    }
}

} // namespace
