#pragma once

#include "baselib/Export.h"
#include "baselib/plugins/Plugin.h"
#include "baselib/signals/SignalSubject.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace DynamicPlugin {

// What the plug-in manager tells its listeners.
class PluginManagerSignals {
public:
    // The plug-in left the manager's list: released, or its last reference from
    // loadPlugin() went. Called once per plug-in, on the thread that let it go.
    virtual void pluginReleased(Plugin& plugin) = 0;

protected:
    ~PluginManagerSignals() = default;
};

// The process-wide list of loaded plug-ins.
class KELBASE_EXPORT PluginManager {
public:
    using SignalSubject =
        KelBase::SignalSubject<PluginManagerSignals, KelBase::NullType, std::vector,
                               Threading::SynchronizationModel::ClassScope<
                                   Threading::SynchronizationModel::Multiple<Threading::RWLock>>>;

    // Loads the module and lists it. When the last copy of the returned reference goes, the
    // plug-in leaves the list and the listeners hear of it; the module is unloaded once no
    // reference at all is left. Throws as Plugin's constructor does.
    static boost::shared_ptr<Plugin> loadPlugin(const std::wstring& fileName);

    // Calls f for each listed plug-in in load order while f returns true. f runs on a
    // snapshot of the list, so it may load or release plug-ins itself. An empty f throws
    // boost::bad_function_call.
    static void forEachPlugin(const boost::function<bool(const boost::shared_ptr<Plugin>&)>& f);

    static SignalSubject& signalSubject();
};

} // namespace DynamicPlugin
