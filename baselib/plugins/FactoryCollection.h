#pragma once

#include "baselib/Export.h"
#include "baselib/plugins/Factory.h"
#include "baselib/plugins/InterfaceId.h"

#include <boost/noncopyable.hpp>

#include <typeinfo>

namespace ObjectFactory {

// One factory per interface, keyed by the interface's identifier; owns its factories.
// Not synchronised: classes are registered while a module starts, and looked up afterwards.
class KELBASE_EXPORT FactoryCollection : private boost::noncopyable {
public:
    FactoryCollection();
    ~FactoryCollection();

    // The factory of FactoryType's interface, made and registered (with the interface's
    // identifier) when the collection has none. Throws VirtualConstructorException "Фабрика
    // объектов для указанного интерфейса не найдена" when the interface has a factory of
    // another type.
    template <class FactoryType>
    FactoryType& factoryFor()
    {
        const int id = Internal::createInterfaceUniqueId(typeid(typename FactoryType::Interface));
        if (BasicFactory* existing = factory(id))
            return checkedFactory<FactoryType>(existing);
        FactoryType* created = new FactoryType;
        registerFactory(created, id);
        return *created;
    }

    // The factory of FactoryType's interface, or null when the interface has no identifier,
    // no factory here, or a factory of another type.
    template <class FactoryType>
    FactoryType* findFactory() const
    {
        int id = 0;
        if (!Internal::findInterfaceUniqueId(typeid(typename FactoryType::Interface), id))
            return nullptr;
        return dynamic_cast<FactoryType*>(factory(id));
    }

    // Removes and deletes the factory of the interface, if there is one.
    template <class Interface>
    void removeFactoryOf()
    {
        int id = 0;
        if (Internal::findInterfaceUniqueId(typeid(Interface), id))
            removeFactory(id);
    }

private:
    template <class FactoryType>
    static FactoryType& checkedFactory(BasicFactory* existing)
    {
        if (auto* typed = dynamic_cast<FactoryType*>(existing))
            return *typed;
        throwFactoryTypeMismatch();
    }

    BasicFactory* factory(int id) const;
    // Takes ownership; a null factory is refused with the container's bad_pointer.
    void registerFactory(BasicFactory* factory, int id);
    void removeFactory(int id);
    [[noreturn]] static void throwFactoryTypeMismatch();

    struct Impl;
    Impl* m_impl;
};

// Registers one class in a collection for the lifetime of this object. The collection must
// outlive it.
template <class FactoryType>
class ScopedClassRegistration : private boost::noncopyable {
public:
    ScopedClassRegistration(FactoryCollection& collection, const typename FactoryType::Key& key,
                            const typename FactoryType::Creator& creator)
        : m_collection(collection), m_key(key), m_creator(creator)
    {
        m_collection.factoryFor<FactoryType>().registerClass(m_key, m_creator);
    }

    ~ScopedClassRegistration()
    {
        if (FactoryType* factory = m_collection.findFactory<FactoryType>())
            factory->unregisterClass(m_key, m_creator);
    }

private:
    FactoryCollection& m_collection;
    const typename FactoryType::Key m_key;
    const typename FactoryType::Creator m_creator;
};

} // namespace ObjectFactory
