// String-keyed hash tables of the scheduler.
#include "server/scheduler/uHashes.h"

EHashError::EHashError(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

THash::~THash() = default;

quint32 THash::HashOf(const QString &key)
{
    quint32 h = 0x12345670u;
    const QByteArray bytes = key.toUtf8();
    for (const char ch : bytes) {
        h = (h << 4) + quint32(quint8(ch));
        const quint32 g = h & 0xF0000000u;
        // An OR, not an exclusive or: once set, the high bits stay set.
        if (g != 0)
            h = h | (g >> 24);
    }
    return h;
}

void THash::CheckKey(const QString &key)
{
    if (key.isEmpty())
        throw EHashInvalidKeyError(QStringLiteral("Key cannot be an empty string"));
}

bool THash::Find(const QString &key, quint32 hash, int &position) const
{
    const auto &bucket = m_buckets[hash & Mask];
    for (std::size_t i = 0; i < bucket.size(); ++i) {
        if (bucket[i].Key == key) {
            position = int(i);
            return true;
        }
    }
    return false;
}

bool THash::Exists(const QString &key) const
{
    CheckKey(key);
    int position = 0;
    return Find(key, HashOf(key), position);
}

int THash::ItemIndexOf(const QString &key) const
{
    CheckKey(key);
    const quint32 hash = HashOf(key);
    int position = 0;
    if (!Find(key, hash, position))
        throw EHashFindError(QStringLiteral("Key \"%1\" not found").arg(key));
    return m_buckets[hash & Mask][std::size_t(position)].ItemIndex;
}

int THash::ItemIndexFor(const QString &key, bool &added)
{
    CheckKey(key);
    const quint32 hash = HashOf(key);
    int position = 0;
    if (Find(key, hash, position)) {
        added = false;
        return m_buckets[hash & Mask][std::size_t(position)].ItemIndex;
    }
    int index = 0;
    if (!m_freeItems.empty()) {
        index = m_freeItems.back();
        m_freeItems.pop_back();
    } else {
        index = HighestItemIndex() + 1;
    }
    if (index > HighestItemIndex())
        SetItemLength(index + 1);
    m_buckets[hash & Mask].push_back(Entry{hash, index, key});
    added = true;
    return index;
}

TIntegerHash::~TIntegerHash() = default;

int TIntegerHash::Get(const QString &key) const
{
    return m_items.at(std::size_t(ItemIndexOf(key)));
}

void TIntegerHash::Set(const QString &key, int value)
{
    bool added = false;
    m_items[std::size_t(ItemIndexFor(key, added))] = value;
}

void TIntegerHash::ClearItem(int index) { m_items[std::size_t(index)] = 0; }
void TIntegerHash::CopyItem(int from, int to) { m_items[std::size_t(to)] = m_items[std::size_t(from)]; }
void TIntegerHash::SetItemLength(int n) { m_items.resize(std::size_t(n)); }
void TIntegerHash::ClearItems() { m_items.clear(); }
int TIntegerHash::HighestItemIndex() const { return int(m_items.size()) - 1; }
