#pragma once

#include "baselib/plugins/PluginManager.h"
#include "baselib/threading/Mutex.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <vector>

namespace DynamicPlugin::Internal {

// The plug-in manager's state. Shared by the manager, the plug-ins' references and their
// deleters, so that a plug-in can still leave the list while the process exits.
class PluginRegistry {
public:
    static std::shared_ptr<PluginRegistry> instance();

    void add(const boost::shared_ptr<Plugin>& plugin);
    // Takes the plug-in off the list; false when it was no longer there.
    bool remove(const Plugin* plugin);
    std::vector<boost::shared_ptr<Plugin>> snapshot();
    void notifyReleased(Plugin& plugin);

    PluginManager::SignalSubject& subject() { return m_subject; }

private:
    Threading::RWLock m_lock;
    std::vector<boost::shared_ptr<Plugin>> m_plugins;
    PluginManager::SignalSubject m_subject;
};

} // namespace DynamicPlugin::Internal
