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

bool THash::Exists(const QString &key) const
{
    CheckKey(key);
    return m_index.contains(key);
}

void THash::Clear()
{
    m_index.clear();
    m_freeItems.clear();
    ClearItems();
}

int THash::ItemIndexOf(const QString &key) const
{
    CheckKey(key);
    const auto it = m_index.constFind(key);
    if (it == m_index.constEnd())
        throw EHashFindError(QStringLiteral("Key \"%1\" not found").arg(key));
    return *it;
}

int THash::ItemIndexFor(const QString &key, bool &added)
{
    CheckKey(key);
    const auto it = m_index.constFind(key);
    if (it != m_index.constEnd()) {
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
    m_index.insert(key, index);
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
