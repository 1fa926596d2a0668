#pragma once

#include "baselib/plugins/Plugin.h"
#include "baselib/plugins/VirtualConstructor.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <utility>

namespace DynamicPlugin {

namespace Internal {

// Deletes an object made by a plug-in, keeping the plug-in's module loaded until then.
class ObjectDeleter {
public:
    explicit ObjectDeleter(boost::shared_ptr<Plugin> plugin) : m_plugin(std::move(plugin)) {}

    template <class T>
    void operator()(T* object)
    {
        delete object;
        m_plugin.reset();
    }

private:
    boost::shared_ptr<Plugin> m_plugin;
};

} // namespace Internal

// Makes an object of FactoryType's interface with the plug-in's factories; the object keeps
// the plug-in loaded. Throws what VirtualConstructor::make() throws.
template <class FactoryType, class... Arguments>
boost::shared_ptr<typename FactoryType::Interface> createObject(const boost::shared_ptr<Plugin>& plugin,
                                                                const typename FactoryType::Key& key,
                                                                Arguments&&... arguments)
{
    ObjectFactory::VirtualConstructor<FactoryType> constructor(plugin->factories());
    std::unique_ptr<typename FactoryType::Interface> object =
        constructor.make(key, std::forward<Arguments>(arguments)...);
    return boost::shared_ptr<typename FactoryType::Interface>(object.release(), Internal::ObjectDeleter(plugin));
}

} // namespace DynamicPlugin
