#pragma once

#include "baselib/Export.h"

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <map>
#include <utility>

namespace ObjectFactory {

// The key of a factory whose classes need no name: every class registered in it is made
// together (the initialisation items are).
struct EmptyType {
    bool operator<(const EmptyType&) const { return false; }
    bool operator==(const EmptyType&) const { return true; }
};

// What a factory collection holds; the concrete factories are Factory<...>.
class KELBASE_EXPORT BasicFactory : private boost::noncopyable {
public:
    virtual ~BasicFactory();

protected:
    BasicFactory() = default;
};

// The creators of the classes that implement Interface, by key. Creator is a callable that
// returns a new object as a plain Interface* owned by the caller (a function pointer, or a
// boost::function when creators carry state). Several classes may share a key; they are kept
// in registration order and the first one is made for the key.
template <class InterfaceType, class KeyType, class CreatorType>
class Factory : public BasicFactory {
public:
    using Interface = InterfaceType;
    using Key = KeyType;
    using Creator = CreatorType;

    void registerClass(const Key& key, const Creator& creator) { m_creators.emplace(key, creator); }

    // Removes every class registered under the key.
    void unregisterClass(const Key& key) { m_creators.erase(key); }

    // Removes the registration of this one creator under the key.
    void unregisterClass(const Key& key, const Creator& creator)
    {
        auto [position, end] = m_creators.equal_range(key);
        while (position != end) {
            if (position->second == creator)
                position = m_creators.erase(position);
            else
                ++position;
        }
    }

    // The creator of the first class registered under the key, or null.
    const Creator* findCreator(const Key& key) const
    {
        const auto position = m_creators.find(key);
        return position == m_creators.end() ? nullptr : &position->second;
    }

    // Calls f(key, creator) for every registered class, in key order, equal keys in
    // registration order.
    template <class Function>
    void forEachClass(Function&& f) const
    {
        for (const auto& [key, creator] : m_creators)
            f(key, creator);
    }

    std::size_t classCount() const { return m_creators.size(); }

private:
    std::multimap<Key, Creator> m_creators;
};

// A creator for Factory: makes a Class with its default constructor.
template <class Interface, class Class>
Interface* createInstance()
{
    return new Class();
}

} // namespace ObjectFactory
