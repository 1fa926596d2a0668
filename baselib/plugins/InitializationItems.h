#pragma once

#include "baselib/Export.h"
#include "baselib/platform/InitializationItem.h"
#include "baselib/plugins/FactoryCollection.h"

namespace KelBase {

using InitializationItemFactory =
    ObjectFactory::Factory<IInitializationItem, ObjectFactory::EmptyType, IInitializationItem* (*)()>;

// Registers Class as an initialisation item in the library's collection for the lifetime of
// this object; a module keeps one as a static to have its item made at platform set-up.
template <class Class>
class InitializationItemRegistration {
public:
    InitializationItemRegistration()
        : m_registration(collection(), ObjectFactory::EmptyType(),
                         &ObjectFactory::createInstance<IInitializationItem, Class>)
    {
    }

private:
    static ObjectFactory::FactoryCollection& collection()
    {
        ObjectFactory::FactoryCollection& collection = IInitializationItem::factoryCollection();
        IInitializationItem::ensureInterfaceRegistered(collection);
        return collection;
    }

    ObjectFactory::ScopedClassRegistration<InitializationItemFactory> m_registration;
};

// One object of every class registered under IInitializationItem in the library's
// collection, in registration order. If one cannot be made, those made are destroyed and
// the failure passes on.
KELBASE_EXPORT InitializationItems createInitializationItems();

} // namespace KelBase
