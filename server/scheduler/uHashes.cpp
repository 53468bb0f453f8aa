// String-keyed hash tables of the scheduler.
#include "server/scheduler/uHashes.h"

#include <algorithm>

EHashError::EHashError(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

THash::~THash() = default;

quint32 THash::HashOf(const QString &key)
{
    auto step = [](quint32 h, quint8 byte) {
        h = (h << 4) + quint32(byte);
        const quint32 g = h & 0xF0000000u;
        // An OR, not an exclusive or: once set, the high bits stay set.
        return g != 0 ? h | (g >> 24) : h;
    };
    quint32 h = 0x12345670u;
    // Keys are GUID texts: their characters are their UTF-8 bytes, no conversion needed.
    const bool ascii = std::all_of(key.cbegin(), key.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        for (const QChar c : key)
            h = step(h, quint8(c.unicode()));
        return h;
    }
    for (const char ch : key.toUtf8())
        h = step(h, quint8(ch));
    return h;
}

void THash::CheckKey(const QString &key)
{
    if (key.isEmpty())
        throw EHashInvalidKeyError(QStringLiteral("Key cannot be an empty string"));
}

bool THash::Exists(const QString &key) const
{
    CheckKey(key);
    return Bucket(key).contains(key);
}

int THash::ItemIndexOf(const QString &key) const
{
    CheckKey(key);
    const QHash<QString, int> &bucket = Bucket(key);
    const auto it = bucket.constFind(key);
    if (it == bucket.constEnd())
        throw EHashFindError(QStringLiteral("Key \"%1\" not found").arg(key));
    return *it;
}

int THash::ItemIndexFor(const QString &key, bool &added)
{
    CheckKey(key);
    QHash<QString, int> &bucket = m_buckets[HashOf(key) & Mask];
    const auto it = bucket.constFind(key);
    if (it != bucket.constEnd()) {
        added = false;
        return *it;
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
    bucket.insert(key, index);
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
