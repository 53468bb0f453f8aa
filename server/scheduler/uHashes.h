// String-keyed hash tables of the scheduler: per-service use counts and indexes by contact id.
// Keys compare exactly (case counts) and may not be empty. HashOf is the tables' historical
// 128-bucket hash; keys are found through one hash index instead, because that hash sends most
// GUID keys to a handful of buckets and every lookup walked hundreds of entries.
#pragma once

#include "server/scheduler/SchedulerExport.h"

#include <QHash>
#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

class SCHEDULER_EXPORT EHashError : public std::runtime_error
{
public:
    explicit EHashError(const QString &message);
    QString Message() const { return m_message; }

private:
    QString m_message;
};

class SCHEDULER_EXPORT EHashFindError : public EHashError
{
public:
    using EHashError::EHashError;
};

class SCHEDULER_EXPORT EHashInvalidKeyError : public EHashError
{
public:
    using EHashError::EHashError;
};

class SCHEDULER_EXPORT THash
{
public:
    static constexpr int Bits = 7;
    static constexpr int BucketCount = 1 << Bits;
    static constexpr quint32 Mask = BucketCount - 1;

    THash() = default;
    virtual ~THash();
    THash(const THash &) = delete;
    THash &operator=(const THash &) = delete;

    bool Exists(const QString &key) const;
    // Removes every key and value.
    void Clear();
    // The hash of a key over its UTF-8 bytes; its low bits name the key's bucket.
    static quint32 HashOf(const QString &key);

protected:
    // The subclass's item array, in the slot order of the original design.
    virtual void ClearItem(int index) = 0;
    virtual void CopyItem(int from, int to) = 0;
    virtual void SetItemLength(int n) = 0;
    virtual void ClearItems() = 0;
    virtual int HighestItemIndex() const = 0;

    // The item index of the key; raises EHashFindError when it is missing.
    int ItemIndexOf(const QString &key) const;
    // The item index of the key, adding an entry (and growing the items) when it is new;
    // `added` tells which happened.
    int ItemIndexFor(const QString &key, bool &added);

private:
    static void CheckKey(const QString &key);

    QHash<QString, int> m_index; // item index by key
    std::vector<int> m_freeItems;
};

class SCHEDULER_EXPORT TIntegerHash : public THash
{
public:
    TIntegerHash() = default;
    ~TIntegerHash() override;

    int Get(const QString &key) const;
    void Set(const QString &key, int value);

protected:
    void ClearItem(int index) override;
    void CopyItem(int from, int to) override;
    void SetItemLength(int n) override;
    void ClearItems() override;
    int HighestItemIndex() const override;

private:
    std::vector<int> m_items;
};

// Owns every object stored in it: replacing a value frees the old one.
template <class T>
class TObjectHash : public THash
{
public:
    TObjectHash() = default;
    ~TObjectHash() override { m_items.clear(); }

    T *Get(const QString &key) const { return m_items.at(std::size_t(ItemIndexOf(key))).get(); }
    void Set(const QString &key, std::unique_ptr<T> value)
    {
        bool added = false;
        const int index = ItemIndexFor(key, added);
        m_items[std::size_t(index)] = std::move(value);
    }

protected:
    void ClearItem(int index) override { m_items[std::size_t(index)].reset(); }
    void CopyItem(int from, int to) override
    {
        // Plain reference copy in the original; here ownership moves, so no object is held twice.
        m_items[std::size_t(to)] = std::move(m_items[std::size_t(from)]);
    }
    void SetItemLength(int n) override { m_items.resize(std::size_t(n)); }
    void ClearItems() override { m_items.clear(); }
    int HighestItemIndex() const override { return int(m_items.size()) - 1; }

private:
    std::vector<std::unique_ptr<T>> m_items;
};
