// The array of records the contract carries (UpdateFiles): it owns every element, grows its
// capacity in the steps other programs of the system expect (4, 16 or a quarter), and refuses
// indexes outside its elements without changing anything. An element may be nil (a null
// pointer), as it travels; Items raises EROMessageError for it, GetItemRef answers null.
#pragma once

#include "remoting/ROComplexType.h"
#include "remoting/ROErrors.h"
#include "remoting/ROSerializer.h"

#include <memory>
#include <vector>

template <class T>
class TRecordArray : public TROArray
{
public:
    TRecordArray() = default;
    TRecordArray(const TRecordArray &other) : TROArray() { Assign(other); }
    TRecordArray &operator=(const TRecordArray &other)
    {
        Assign(other);
        return *this;
    }

    int GetCount() const override { return int(m_items.size()); }
    int Capacity() const { return m_capacity; }
    QString GetItemTypeName() const override { return T::TypeName; }

    T &Items(int index) const
    {
        CheckIndex(index);
        T *item = m_items[std::size_t(index)].get();
        if (!item)
            throw EROMessageError(QStringLiteral("Element %1 of the array is nil").arg(index));
        return *item;
    }
    T *GetItemRef(int index) const
    {
        CheckIndex(index);
        return m_items[std::size_t(index)].get();
    }
    // Takes the element; the one it replaces is freed.
    void SetItemRef(int index, std::unique_ptr<T> item)
    {
        CheckIndex(index);
        if (item.get() != m_items[std::size_t(index)].get())
            m_items[std::size_t(index)] = std::move(item);
    }
    int Add(std::unique_ptr<T> item)
    {
        if (GetCount() == m_capacity)
            Grow();
        m_items.push_back(std::move(item));
        return GetCount() - 1;
    }
    T &Add()
    {
        return *m_items[std::size_t(Add(std::make_unique<T>()))];
    }
    void Delete(int index)
    {
        if (index < 0 || index >= GetCount())
            throw EROIndexError::InvalidIndex(index);
        m_items.erase(m_items.begin() + index);
        m_capacity = GetCount();
    }
    void Clear()
    {
        m_items.clear();
        m_capacity = 0;
    }
    void Resize(int count) override
    {
        if (count == GetCount())
            return;
        if (count < GetCount())
            m_items.resize(std::size_t(count));
        while (GetCount() < count)
            m_items.push_back(std::make_unique<T>());
        m_capacity = count;
    }
    void Grow()
    {
        if (m_capacity > 64)
            m_capacity += m_capacity / 4;
        else if (m_capacity > 8)
            m_capacity += 16;
        else
            m_capacity += 4;
        m_items.reserve(std::size_t(m_capacity));
    }

    void Assign(const TROComplexType &source) override
    {
        TROArray::Assign(source);
        const auto *other = dynamic_cast<const TRecordArray *>(&source);
        if (!other || other == this)
            return;
        Clear();
        Resize(other->GetCount());
        for (int i = 0; i < GetCount(); ++i) {
            if (other->m_items[std::size_t(i)])
                m_items[std::size_t(i)]->Assign(*other->m_items[std::size_t(i)]);
            else
                m_items[std::size_t(i)].reset();
        }
    }
    // The framework has sized the array to the element count before this runs. A nil element
    // stays nil.
    void ReadComplex(TROSerializer &serializer) override
    {
        for (int i = 0; i < GetCount(); ++i) {
            auto item = std::make_unique<T>();
            const bool present = serializer.ReadComplexInto(serializer.ArrayElementName(i), *item);
            SetItemRef(i, present ? std::move(item) : nullptr);
        }
    }
    void WriteComplex(TROSerializer &serializer) const override
    {
        for (int i = 0; i < GetCount(); ++i)
            serializer.WriteComplex(serializer.ArrayElementName(i), m_items[std::size_t(i)].get());
    }

private:
    void CheckIndex(int index) const
    {
        if (index < 0 || index >= GetCount())
            throw EROIndexError::ArrayIndexOutOfBounds(index);
    }

    std::vector<std::unique_ptr<T>> m_items;
    int m_capacity = 0;
};
