// Dataset streams and deltas: what is written is read back, and damaged streams are refused.
#include "dataaccess/DAException.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/MemoryBudget.h"
#include "foundation/QorDateTime.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

TDAFieldList sampleFields()
{
    TDAFieldList f;
    const TDADataType types[] = {TDADataType::datString, TDADataType::datInteger, TDADataType::datLargeInt,
                                 TDADataType::datFloat, TDADataType::datBoolean, TDADataType::datDateTime,
                                 TDADataType::datBlob, TDADataType::datMemo};
    int i = 0;
    for (TDADataType t : types)
        f << TDAField{QStringLiteral("F%1").arg(i++), t, 0, i == 1, false, false, {}, {}};
    return f;
}

QVariantList sampleRow()
{
    return {QStringLiteral("Zoë 東京"), -7, qlonglong(1) << 40, 2.5, true,
            WallClock(QDate(2023, 12, 31), QTime(23, 59, 59, 999)), QByteArray("\0\1\2", 3), QString()};
}

} // namespace

TEST(DataStreamer, DatasetsRoundTripWithNullsAndEveryType)
{
    TDATableData t{QStringLiteral("Parents"), sampleFields(), {}};
    t.Rows << sampleRow();
    QVariantList nulls;
    for (int i = 0; i < t.Fields.size(); ++i)
        nulls << QVariant();
    t.Rows << nulls;
    TDATableData empty{QStringLiteral("Empty"), {}, {}};
    const auto back = TDADataStreamer::ReadDatasets(TDADataStreamer::WriteDatasets({t, empty}));
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0].Name, QStringLiteral("Parents"));
    ASSERT_EQ(back[0].Fields.size(), t.Fields.size());
    EXPECT_TRUE(back[0].Fields[0].InPrimaryKey);
    EXPECT_EQ(back[0].Fields[6].DataType, TDADataType::datBlob);
    ASSERT_EQ(back[0].Rows.size(), 2);
    for (int i = 0; i < t.Fields.size(); ++i) {
        EXPECT_EQ(back[0].Rows[0][i], t.Rows[0][i]) << i;
        EXPECT_TRUE(DAIsNull(back[0].Rows[1][i])) << i;
    }
}

// Also run under TZ=Europe/Berlin and TZ=America/Santiago (scripts/test): the wall-clock times
// that do not exist on those clocks travel as they are.
TEST(DataStreamer, DateTimesInADaylightSavingGapTravelAsTheyAre)
{
    TDATableData t{QStringLiteral("Times"), {TDAField{QStringLiteral("At"), TDADataType::datDateTime, 0, false, false, false, {}, {}}}, {}};
    const QList<QDateTime> times = {WallClock(QDate(2024, 3, 31), QTime(2, 30)), WallClock(QDate(2024, 9, 8)),
                                    WallClock(QDate(2024, 9, 8), QTime(0, 59, 59, 999)), WallClock(QDate(9999, 12, 31), QTime(23, 59, 59, 999))};
    for (const QDateTime &at : times)
        t.Rows << QVariantList{at};
    // A local value travels with its calendar fields.
    t.Rows << QVariantList{QDateTime(QDate(2024, 7, 1), QTime(9, 15), Qt::LocalTime)};
    const auto back = TDADataStreamer::ReadDatasets(TDADataStreamer::WriteDatasets({t}));
    ASSERT_EQ(back.size(), 1);
    ASSERT_EQ(back[0].Rows.size(), times.size() + 1);
    for (qsizetype i = 0; i < times.size(); ++i)
        EXPECT_EQ(back[0].Rows[i][0].toDateTime().toString(Qt::ISODateWithMs), times[i].toString(Qt::ISODateWithMs));
    EXPECT_EQ(back[0].Rows.last()[0].toDateTime(), WallClock(QDate(2024, 7, 1), QTime(9, 15)));
}

TEST(DataStreamer, DateTimesOutsideTheYearsOneTo9999AreRefused)
{
    TDATableData t{QStringLiteral("Times"), {TDAField{QStringLiteral("At"), TDADataType::datDateTime, 0, false, false, false, {}, {}}}, {}};
    t.Rows << QVariantList{WallClock(QDate(10000, 1, 1))};
    EXPECT_THROW(TDADataStreamer::WriteDatasets({t}), std::out_of_range);

    // A stream whose only value is a known date: its eight bytes are then replaced.
    t.Rows = {QVariantList{WallClock(QDate(2024, 5, 1))}};
    const QByteArray good = TDADataStreamer::WriteDatasets({t});
    const double known = DateTimeToOle(WallClock(QDate(2024, 5, 1)));
    QByteArray pattern(sizeof known, Qt::Uninitialized);
    std::memcpy(pattern.data(), &known, sizeof known);
    const qsizetype at = good.indexOf(pattern);
    ASSERT_GE(at, 0);
    for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 2958466.0, 2958465.99999999999, -693595.0}) {
        QByteArray stream = good;
        std::memcpy(stream.data() + at, &bad, sizeof bad);
        EXPECT_THROW(TDADataStreamer::ReadDatasets(stream), EDAException) << bad;
    }
}

TEST(DataStreamer, DeltasKeepAbsentNullAndPresentValuesApart)
{
    TDADelta d{QStringLiteral("Parents"), sampleFields(), {}};
    TDADeltaChange c(7, TDAChangeType::ctUpdate, int(d.Fields.size()));
    c.SetOldValue(0, QStringLiteral("{K}"));
    c.SetNewValue(1, QVariant());
    c.SetNewValue(2, qlonglong(-3));
    c.Status = TDAChangeStatus::csFailed;
    c.Message = QStringLiteral("duplicate key");
    d.Changes << c;
    const auto back = TDADataStreamer::ReadDeltas(TDADataStreamer::WriteDeltas({d}));
    ASSERT_EQ(back.size(), 1);
    ASSERT_EQ(back[0].Changes.size(), 1);
    const TDADeltaChange &b = back[0].Changes[0];
    EXPECT_EQ(b.RecID, 7);
    EXPECT_EQ(b.ChangeType, TDAChangeType::ctUpdate);
    EXPECT_EQ(b.Status, TDAChangeStatus::csFailed);
    EXPECT_EQ(b.Message, QStringLiteral("duplicate key"));
    EXPECT_TRUE(b.HasOldValue(0));
    EXPECT_FALSE(b.HasNewValue(0));
    EXPECT_TRUE(b.HasNewValue(1));
    EXPECT_TRUE(DAIsNull(b.NewValue(1)));
    EXPECT_EQ(b.NewValue(2), QVariant(qlonglong(-3)));
    EXPECT_FALSE(b.HasNewValue(3));
}

TEST(DataStreamer, EveryTruncationOfAStreamIsRefused)
{
    TDATableData t{QStringLiteral("T"), sampleFields(), {sampleRow()}};
    const QByteArray full = TDADataStreamer::WriteDatasets({t});
    for (int n = 0; n < full.size(); ++n)
        EXPECT_THROW(TDADataStreamer::ReadDatasets(full.left(n)), EDAException) << n;
    EXPECT_THROW(TDADataStreamer::ReadDatasets(full + 'x'), EDAException);
}

TEST(DataStreamer, HugeCountsAreRefusedBeforeAllocating)
{
    QByteArray s("KDS1");
    s.append("\xff\xff\xff\x7f", 4);
    EXPECT_THROW(TDADataStreamer::ReadDatasets(s), EDAException);
    QByteArray d("KDD1\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff", 20);
    EXPECT_THROW(TDADataStreamer::ReadDeltas(d), EDAException);
}

TEST(DataStreamer, WrongMagicAndBadTagsAreRefused)
{
    EXPECT_THROW(TDADataStreamer::ReadDatasets(QByteArray("KDD1\0\0\0\0", 8)), EDAException);
    TDADelta d{QStringLiteral("X"), {TDAField{QStringLiteral("A"), TDADataType::datInteger, 0, true, false, false, {}, {}}}, {}};
    d.Changes << TDADeltaChange(1, TDAChangeType::ctDelete, 1);
    QByteArray bytes = TDADataStreamer::WriteDeltas({d});
    bytes[bytes.size() - 1] = 9; // the last value tag
    EXPECT_THROW(TDADataStreamer::ReadDeltas(bytes), EDAException);
}

namespace {

void putU32(QByteArray &out, quint32 v)
{
    out.append(reinterpret_cast<const char *>(&v), 4);
}

// One table of `fields` Integer fields, then `rows` rows whose null bitmaps say every field is NULL.
QByteArray nullRows(int fields, int rows)
{
    QByteArray s("KDS1");
    putU32(s, 1);
    putU32(s, 1);
    s.append('T');
    putU32(s, quint32(fields));
    for (int i = 0; i < fields; ++i) {
        putU32(s, 1);
        s.append('F');
        s.append(char(TDADataType::datInteger));
        putU32(s, 0);
        s.append('\0');
    }
    putU32(s, quint32(rows));
    s.append(QByteArray(qsizetype(rows) * ((fields + 7) / 8), '\xff'));
    return s;
}

TDADelta wideDelta(int fields, int changes)
{
    TDADelta d{QStringLiteral("Wide"), {}, {}};
    for (int i = 0; i < fields; ++i)
        d.Fields << TDAField{QStringLiteral("F%1").arg(i), TDADataType::datInteger, 0, i == 0, false, false, {}, {}};
    for (int c = 0; c < changes; ++c) {
        TDADeltaChange change(c, TDAChangeType::ctDelete, fields);
        change.SetOldValue(0, c);
        d.Changes << change;
    }
    return d;
}

} // namespace

TEST(DataStreamer, RowsOfNullsAreRefusedBeyondWhatTheStreamsSizeAllows)
{
    // A row of 4,096 NULLs is 512 bytes on the wire but 4,096 values in memory.
    const QByteArray hostile = nullRows(4096, 400);
    try {
        TDADataStreamer::ReadDatasets(hostile);
        FAIL() << "the rows were read";
    } catch (const EDAException &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("memory"))) << e.Message().toStdString();
    }
    // Narrower tables of the same kind stay well within it.
    EXPECT_EQ(TDADataStreamer::ReadDatasets(nullRows(16, 4000)).first().Rows.size(), 4000);
}

TEST(DataStreamer, ASharedBudgetBoundsWhatDeltasTakeAtOnceAndIsGivenBack)
{
    const QByteArray stream = TDADataStreamer::WriteDeltas({wideDelta(1000, 20)});
    TMemoryBudget small(512 * 1024);
    EXPECT_THROW(TDADataStreamer::ReadDeltas(stream, &small), EDAException);
    EXPECT_EQ(small.InUse(), 0u);
    TMemoryBudget enough(64 * 1024 * 1024);
    EXPECT_EQ(TDADataStreamer::ReadDeltas(stream, &enough).first().Changes.size(), 20);
    EXPECT_EQ(enough.InUse(), 0u);
}

TEST(DataStreamer, TextsTravelAsTheirUtf8WhateverTheirCharacters)
{
    const TDAFieldList fields{TDAField{QStringLiteral("Name"), TDADataType::datString, 0, false, false, false, {}, {}}};
    const QString texts[] = {QString(), QStringLiteral("plain"), QStringLiteral("Zoë"), QStringLiteral("at the end 東京"),
                             QStringLiteral("😀 first"), QString::fromUtf16(u"a\xD800 lone half")};
    for (const QString &text : texts) {
        const QByteArray stream = TDADataStreamer::WriteDatasets({TDATableData{QStringLiteral("T"), fields, {{text}}}});
        const QByteArray utf8 = text.toUtf8();
        ASSERT_GE(stream.size(), utf8.size() + 4);
        quint32 length = 0;
        std::memcpy(&length, stream.constData() + stream.size() - utf8.size() - 4, 4);
        EXPECT_EQ(length, quint32(utf8.size())) << text.toStdString();
        EXPECT_TRUE(stream.endsWith(utf8)) << text.toStdString();
    }
}

TEST(DataStreamer, RowsWrittenOneAtATimeMakeTheSameStreamAndMisuseIsRefused)
{
    const TDAFieldList fields = sampleFields();
    const QVariantList row = sampleRow();
    const QList<bool> nulls = {false, false, false, false, false, false, false, true};
    TDADatasetWriter w(2);
    w.BeginTable(QStringLiteral("Parents"), fields);
    for (int r = 0; r < 2; ++r) {
        w.BeginRow(nulls.constData());
        w.PutUtf8("Zo\xc3\xab \xe6\x9d\xb1\xe4\xba\xac", 11);
        w.PutInt32(-7);
        w.PutInt64(qlonglong(1) << 40);
        w.PutDouble(2.5);
        w.PutBoolean(true);
        w.PutDateTime(row[5].toDateTime());
        w.PutValue(row[6]);
    }
    w.EndTable();
    w.BeginTable(QStringLiteral("Empty"), {});
    w.EndTable();
    QVariantList withNull = row;
    withNull[7] = QVariant();
    EXPECT_EQ(w.Take(), TDADataStreamer::WriteDatasets({TDATableData{QStringLiteral("Parents"), fields, {withNull, withNull}},
                                                        TDATableData{QStringLiteral("Empty"), {}, {}}}));

    TDADatasetWriter wrong(1);
    wrong.BeginTable(QStringLiteral("T"), fields);
    wrong.BeginRow(nulls.constData());
    EXPECT_THROW(wrong.PutInt32(1), EDAException);      // the first field is a text
    EXPECT_THROW(wrong.EndTable(), EDAException);       // the row still wants its values
    EXPECT_THROW(wrong.Take(), EDAException);
    TDADatasetWriter tooMany(1);
    tooMany.BeginTable(QStringLiteral("T"), {fields[1]});
    tooMany.BeginRow(nulls.constData());
    tooMany.PutInt32(1);
    EXPECT_THROW(tooMany.PutInt32(2), EDAException);
    tooMany.EndTable();
    EXPECT_THROW(tooMany.BeginTable(QStringLiteral("U"), {}), EDAException); // one table was announced
}

// What a writer makes is bounded as a reader's input is: no table beyond the fields a reader
// takes, no stream beyond its size limit, refused as the limit is reached.
TEST(DataStreamer, AWriterRefusesMoreFieldsThanAReaderTakesAndAStreamBeyondItsLimit)
{
    const auto fieldsOf = [](int count) {
        TDAFieldList fields;
        for (int i = 0; i < count; ++i)
            fields << TDAField{QStringLiteral("F%1").arg(i), TDADataType::datString, 0, false, false, false, {}, {}};
        return fields;
    };
    const QString text(1000, QLatin1Char('x'));
    const struct
    {
        const char *what;
        int fields;
        int rows;
        std::size_t limit;
        bool refused;
    } cases[] = {
        {"as many fields as a reader takes", TDADataStreamer::kMaxFields, 2, TDADataStreamer::kMaxStreamSize, false},
        {"one field more", TDADataStreamer::kMaxFields + 1, 2, TDADataStreamer::kMaxStreamSize, true},
        {"rows within the limit", 1, 50, 64 * 1024, false},
        {"rows beyond the limit", 1, 70, 64 * 1024, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const TDAFieldList fields = fieldsOf(c.fields);
        const QList<bool> nulls(c.fields, false);
        TDADatasetWriter w(1, 0, c.limit);
        QString refusal;
        int written = 0;
        try {
            w.BeginTable(QStringLiteral("T"), fields);
            for (; written < c.rows; ++written) {
                w.BeginRow(nulls.constData());
                for (int f = 0; f < c.fields; ++f)
                    w.PutText(text.left(c.fields > 1 ? 1 : text.size()));
            }
            w.EndTable();
            const QList<TDATableData> read = TDADataStreamer::ReadDatasets(w.Take());
            EXPECT_EQ(read.first().Fields.size(), c.fields);
            EXPECT_EQ(read.first().Rows.size(), c.rows);
        } catch (const EDAException &e) {
            refusal = e.Message();
        }
        EXPECT_EQ(!refusal.isEmpty(), c.refused) << refusal.toStdString();
        if (c.limit < TDADataStreamer::kMaxStreamSize && c.refused) {
            EXPECT_LE(written * (text.size() + 5), qsizetype(c.limit)) << "refused only after passing the limit";
            EXPECT_TRUE(refusal.contains(QStringLiteral("ask for fewer rows or columns"))) << refusal.toStdString();
        }
    }
}
