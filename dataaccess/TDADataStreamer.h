// The one binary format in which datasets and deltas travel between data service and client
// tables (docs/wire-format.md, "Dataset streams and deltas"). The readers take bytes from
// the network: every count and length is checked against what remains, and a malformed
// stream raises EDAException, never reads out of bounds.
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/DataAccessExport.h"
#include "remoting/RemotingLimits.h"

#include <QByteArray>
#include <QList>
#include <QVariant>

#include <memory>

class TMemoryBudget;

// One dataset: its fields and rows (one value per field, null for NULL).
struct DATAACCESS_EXPORT TDATableData
{
    QString Name;
    TDAFieldList Fields;
    QList<QVariantList> Rows;
};

enum class TDAChangeType : quint8 { ctInsert = 0, ctUpdate = 1, ctDelete = 2 };
enum class TDAChangeStatus : quint8 { csPending = 0, csResolved = 1, csFailed = 2 };

// One change of a delta. Old and new values are per field; a value not present is one the
// change does not carry (an update carries only what changed and the key's old value).
class DATAACCESS_EXPORT TDADeltaChange
{
public:
    TDADeltaChange() = default;
    TDADeltaChange(int recId, TDAChangeType type, int fieldCount);

    int RecID = 0;
    TDAChangeType ChangeType = TDAChangeType::ctInsert;
    TDAChangeStatus Status = TDAChangeStatus::csPending;
    QString Message;

    int FieldCount() const { return int(m_new.size()); }
    void Resize(int fieldCount);
    bool HasOldValue(int field) const { return m_hasOld.at(field); }
    bool HasNewValue(int field) const { return m_hasNew.at(field); }
    QVariant OldValue(int field) const { return m_old.at(field); }
    QVariant NewValue(int field) const { return m_new.at(field); }
    void SetOldValue(int field, const QVariant &value);
    void SetNewValue(int field, const QVariant &value);
    void ClearNewValue(int field);

private:
    QVariantList m_old;
    QVariantList m_new;
    QList<bool> m_hasOld;
    QList<bool> m_hasNew;
};

// Its members are Qt's implicitly shared lists and texts: a list of changes grows by moving bytes.
Q_DECLARE_TYPEINFO(TDADeltaChange, Q_RELOCATABLE_TYPE);

struct DATAACCESS_EXPORT TDADelta
{
    QString LogicalName;
    TDAFieldList Fields;
    QList<TDADeltaChange> Changes;
};

class DATAACCESS_EXPORT TDADataStreamer
{
public:
    // Limits on what a reader accepts, so a stream cannot make it allocate without bound.
    static constexpr int kMaxFields = 4096;
    static constexpr int kMaxTables = 1024;
    // What a stream may take in memory once read: this much plus kMemoryPerByte times its size.
    // A NULL is one bit on the wire but a whole value in memory, an absent delta value one byte.
    static constexpr std::size_t kMemoryBase = std::size_t(16) * 1024 * 1024;
    static constexpr std::size_t kMemoryPerByte = 64;
    // What a writer makes at most: a dataset stream travels in one reply, beside a little else.
    static constexpr std::size_t kMaxStreamSize = RemotingLimits::kMaxReplySize - std::size_t(1024) * 1024;

    static QByteArray WriteDatasets(const QList<TDATableData> &tables);
    static QList<TDATableData> ReadDatasets(const QByteArray &stream);
    static QByteArray WriteDeltas(const QList<TDADelta> &deltas);
    // With a shared budget, what the deltas take in memory is drawn from it while they are read.
    static QList<TDADelta> ReadDeltas(const QByteArray &stream, TMemoryBudget *shared = nullptr);
};

// Writes a dataset stream table by table and row by row, for producers that have one row at a
// time (a driver reading its result straight into the stream) instead of a whole TDATableData.
// Each row gives its null flags first, then one value for each field that is not null, in
// field order, in the form of the field's kind (PutValue converts any value).
class DATAACCESS_EXPORT TDADatasetWriter
{
public:
    // A stream that would grow beyond sizeLimit bytes is refused (EDAException) as it reaches it.
    explicit TDADatasetWriter(int tableCount, qsizetype expectedSize = 0, std::size_t sizeLimit = TDADataStreamer::kMaxStreamSize);
    ~TDADatasetWriter();
    TDADatasetWriter(const TDADatasetWriter &) = delete;
    TDADatasetWriter &operator=(const TDADatasetWriter &) = delete;

    // A table's rows are counted as they come and the count written when it ends.
    void BeginTable(const QString &name, const TDAFieldList &fields);
    // nulls holds one flag per field of the table.
    void BeginRow(const bool *nulls);
    void EndTable();
    void PutValue(const QVariant &value);
    void PutText(QStringView text);
    // Text that is UTF-8 already.
    void PutUtf8(const char *utf8, qsizetype size);
    void PutInt32(qint32 value);
    void PutInt64(qint64 value);
    void PutDouble(double value);
    void PutBoolean(bool value);
    void PutDateTime(const QDateTime &value);
    void PutBytes(const QByteArray &value);
    // The stream; throws EDAException when fewer tables or values came than announced.
    QByteArray Take();

private:
    const TDAField &Next(TDAValueKind kind);

    struct Buffer;
    std::unique_ptr<Buffer> m_out;
    int m_tablesLeft;
    bool m_inTable = false;
    qsizetype m_countAt = 0; // where the open table's row count goes
    quint32 m_rows = 0;
    TDAFieldList m_fields;
    QList<bool> m_nulls;
    QByteArray m_bitmap; // the open table's null flags of one row
    int m_next = 0; // the field the next value is for
};

