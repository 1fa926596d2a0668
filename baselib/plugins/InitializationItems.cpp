#include "baselib/plugins/InitializationItems.h"

#include "baselib/signals/GuardedSharedFromThisBase.h"
#include "baselib/threading/ProcessWide.h"

#include <memory>
#include <mutex>
#include <typeinfo>
#include <utility>

namespace KelBase {

namespace {

// The library's own items are registered as the collection is made rather than while the
// library is loaded: loading it must not write trace lines into every program's output.
ObjectFactory::FactoryCollection& makeLibraryCollection()
{
    static Threading::Internal::ProcessWide<ObjectFactory::FactoryCollection> instance;
    ObjectFactory::FactoryCollection& collection = instance.get();
    IInitializationItem::ensureInterfaceRegistered(collection);
    collection.factoryFor<InitializationItemFactory>().registerClass(
        ObjectFactory::EmptyType(), &ObjectFactory::createInstance<IInitializationItem, Threading::TaskQueueReleaser>);
    return collection;
}

} // namespace

ObjectFactory::FactoryCollection& IInitializationItem::factoryCollection()
{
    static ObjectFactory::FactoryCollection& instance = makeLibraryCollection();
    return instance;
}

void IInitializationItem::ensureInterfaceRegistered(const ObjectFactory::FactoryCollection&)
{
    static std::once_flag registered;
    std::call_once(registered,
                   [] { ObjectFactory::Internal::createInterfaceUniqueId(typeid(IInitializationItem)); });
}

InitializationItems createInitializationItems()
{
    InitializationItems items;
    if (const auto* factory = IInitializationItem::factoryCollection().findFactory<InitializationItemFactory>())
        factory->forEachClass([&items](ObjectFactory::EmptyType, IInitializationItem* (*create)()) {
            std::unique_ptr<IInitializationItem> item(create());
            items.push_back(std::move(item));
        });
    return items;
}

} // namespace KelBase
