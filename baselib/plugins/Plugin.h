#pragma once

#include "baselib/Export.h"

#include <boost/noncopyable.hpp>

#include <memory>
#include <string>

namespace ObjectFactory {
class FactoryCollection;
}

namespace DynamicPlugin {

class PluginManager;

namespace Internal {
class PluginRegistry;
}

// One loaded plug-in module; made by PluginManager::loadPlugin. The module stays loaded as
// long as any shared reference to this object exists, also after release().
class KELBASE_EXPORT Plugin : private boost::noncopyable {
public:
    ~Plugin();

    // The module's full file name as the loader reports it.
    const std::wstring& fileName() const;
    // The plug-in's own collection of factories.
    ObjectFactory::FactoryCollection& factories() const;

    // Takes the plug-in off the manager's list and tells the manager's listeners, once;
    // the module itself is unloaded when the last reference goes.
    void release();
    bool isReleased() const;

private:
    friend class PluginManager;

    // Loads the module. Throws PluginSystemException with the loader's text when it cannot
    // be loaded, PluginException when it lacks the entry point.
    Plugin(const std::wstring& fileName, const std::shared_ptr<Internal::PluginRegistry>& registry);

    struct Impl;
    Impl* m_impl;
};

} // namespace DynamicPlugin
