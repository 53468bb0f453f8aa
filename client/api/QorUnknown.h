// The base of every interface between the client host and its plug-ins: a query by interface
// GUID and a reference count, in that slot order. Host and plug-ins are separate libraries, so an
// interface is never reached by dynamic_cast, only by queryInterface; this header is all a
// plug-in needs to ask and to answer.
#pragma once

#include <QUuid>

#include <type_traits>
#include <utility>

// queryInterface answers true and hands out a referenced pointer, or false and leaves *object
// null. Objects are never deleted through an interface pointer, only through release().
class IQorUnknown
{
public:
    virtual bool queryInterface(const QUuid &interfaceId, void **object) = 0;
    virtual int addRef() = 0;
    virtual int release() = 0;

protected:
    ~IQorUnknown() = default;
};

// Each interface names its GUID (and, when it extends another interface, that base) here.
template <class Interface>
struct QorInterfaceTraits;

template <>
struct QorInterfaceTraits<IQorUnknown>
{
    static inline const QUuid IID{QStringLiteral("{68EF0C15-324F-4B83-BCBA-B3FD247B5ACB}")};
    using Base = void;
};

#define QOR_DECLARE_INTERFACE(Interface, Guid, BaseInterface)                                                    \
    template <>                                                                                                   \
    struct QorInterfaceTraits<Interface>                                                                          \
    {                                                                                                             \
        static inline const QUuid IID{QStringLiteral(Guid)};                                                      \
        using Base = BaseInterface;                                                                               \
    };

template <class Interface>
inline QUuid QorIID()
{
    return QorInterfaceTraits<Interface>::IID;
}

// When id names Interface or one of the interfaces it extends, points *object at that base of
// object and answers true.
template <class Interface>
inline bool QorCastByID(Interface *object, const QUuid &id, void **result)
{
    if (id == QorInterfaceTraits<Interface>::IID) {
        *result = object;
        return true;
    }
    using Base = typename QorInterfaceTraits<Interface>::Base;
    if constexpr (std::is_void_v<Base>) {
        if (id != QorInterfaceTraits<IQorUnknown>::IID)
            return false;
        *result = static_cast<IQorUnknown *>(object);
        return true;
    } else {
        return QorCastByID<Base>(static_cast<Base *>(object), id, result);
    }
}

// A reference held for one scope: released when it goes, moved but never copied.
template <class Interface>
class QorPtr
{
public:
    QorPtr() = default;
    // Takes over a reference the caller already holds.
    explicit QorPtr(Interface *adopted) : m_object(adopted) {}
    QorPtr(QorPtr &&other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    QorPtr &operator=(QorPtr &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }
    QorPtr(const QorPtr &) = delete;
    QorPtr &operator=(const QorPtr &) = delete;
    ~QorPtr() { reset(); }

    Interface *get() const { return m_object; }
    Interface *operator->() const { return m_object; }
    Interface &operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    void reset()
    {
        if (m_object)
            std::exchange(m_object, nullptr)->release();
    }
    // Gives the reference to the caller, who must release it.
    Interface *detach() { return std::exchange(m_object, nullptr); }

private:
    Interface *m_object = nullptr;
};

// Asks source for Interface; an empty pointer when source is null or does not answer it.
// The reference is released when the result goes out of scope.
template <class Interface, class Source>
inline QorPtr<Interface> host_cast(Source *source)
{
    if (!source)
        return {};
    void *object = nullptr;
    if (!source->queryInterface(QorIID<Interface>(), &object) || !object)
        return {};
    return QorPtr<Interface>(static_cast<Interface *>(object));
}

template <class Interface, class Source>
inline QorPtr<Interface> host_cast(const QorPtr<Source> &source)
{
    return host_cast<Interface>(source.get());
}

// Answers queryInterface for an object implementing Interfaces (in that order of preference):
// a GUID of any of them or of what they extend gives the matching base of self, referenced.
template <class... Interfaces, class Self>
inline bool QorQueryInterface(Self *self, const QUuid &id, void **object)
{
    *object = nullptr;
    const bool found = (QorCastByID<Interfaces>(static_cast<Interfaces *>(self), id, object) || ...);
    if (found)
        self->addRef();
    return found;
}
