#pragma once

#include "baselib/Export.h"

#include <memory>
#include <vector>

namespace ObjectFactory {
class FactoryCollection;
}

namespace KelBase {

// Something the library sets up once per process: the first KelPlatformInit creates one
// object of every class registered under this interface in factoryCollection() and destroys
// them at tear-down (see InitializationItemRegistration).
class KELBASE_EXPORT IInitializationItem {
public:
    virtual ~IInitializationItem() = default;
    IInitializationItem(const IInitializationItem&) = delete;
    IInitializationItem& operator=(const IInitializationItem&) = delete;

    // The library's process-wide collection, made on first use and never destroyed.
    static ObjectFactory::FactoryCollection& factoryCollection();
    // Gives this interface its identifier on the first call; later calls do nothing.
    static void ensureInterfaceRegistered(const ObjectFactory::FactoryCollection& collection);

protected:
    IInitializationItem() = default;
};

using InitializationItems = std::vector<std::unique_ptr<IInitializationItem>>;

} // namespace KelBase
