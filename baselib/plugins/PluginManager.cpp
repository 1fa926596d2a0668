#include "baselib/plugins/PluginManager.h"

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Console.h"
#include "baselib/plugins/PluginRegistry.h"
#include "baselib/signals/SignalRaiser.h"
#include "baselib/threading/ProcessWide.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace DynamicPlugin {

namespace Internal {

namespace {

// The deleter of the references that loadPlugin() hands out: when the last of them goes, the
// plug-in leaves the list and the listeners hear of it. The manager's own reference, kept
// here, goes last, and with it the module when nothing else holds it.
class UserReferenceDeleter {
public:
    UserReferenceDeleter(boost::shared_ptr<Plugin> plugin, std::shared_ptr<PluginRegistry> registry)
        : m_plugin(std::move(plugin)), m_registry(std::move(registry))
    {
    }

    void operator()(Plugin* plugin)
    {
        // Runs where a reference is dropped, possibly in a destructor: nothing may escape.
        try {
            if (m_registry->remove(plugin))
                m_registry->notifyReleased(*plugin);
        } catch (const std::exception& error) {
            KelConsole::writeErrorReport(L"DynamicPlugin::PluginManager::pluginReleased: Необработанное исключение "
                                         L"во время исполнения\n(" +
                                         KelBase::exceptionMessage(error) + L")");
        }
        m_registry.reset();
        m_plugin.reset();
    }

private:
    boost::shared_ptr<Plugin> m_plugin;
    std::shared_ptr<PluginRegistry> m_registry;
};

} // namespace

std::shared_ptr<PluginRegistry> PluginRegistry::instance()
{
    static Threading::Internal::ProcessWide<std::shared_ptr<PluginRegistry>> registry(
        std::make_shared<PluginRegistry>());
    return registry.get();
}

void PluginRegistry::add(const boost::shared_ptr<Plugin>& plugin)
{
    const Threading::ScopedWriteLock lock(m_lock);
    m_plugins.push_back(plugin);
}

bool PluginRegistry::remove(const Plugin* plugin)
{
    const Threading::ScopedWriteLock lock(m_lock);
    const auto listed = [plugin](const boost::shared_ptr<Plugin>& entry) { return entry.get() == plugin; };
    const auto position = std::find_if(m_plugins.begin(), m_plugins.end(), listed);
    if (position == m_plugins.end())
        return false;
    m_plugins.erase(position);
    return true;
}

std::vector<boost::shared_ptr<Plugin>> PluginRegistry::snapshot()
{
    const Threading::ScopedReadLock lock(m_lock);
    return m_plugins;
}

void PluginRegistry::notifyReleased(Plugin& plugin)
{
    const KelBase::SignalRaiser<PluginManager::SignalSubject> raiser(m_subject);
    raiser(&PluginManagerSignals::pluginReleased, plugin);
}

} // namespace Internal

boost::shared_ptr<Plugin> PluginManager::loadPlugin(const std::wstring& fileName)
{
    const std::shared_ptr<Internal::PluginRegistry> registry = Internal::PluginRegistry::instance();
    const boost::shared_ptr<Plugin> managed(new Plugin(fileName, registry));
    registry->add(managed);
    return boost::shared_ptr<Plugin>(managed.get(), Internal::UserReferenceDeleter(managed, registry));
}

void PluginManager::forEachPlugin(const boost::function<bool(const boost::shared_ptr<Plugin>&)>& f)
{
    if (f.empty())
        throw boost::bad_function_call();
    for (const boost::shared_ptr<Plugin>& plugin : Internal::PluginRegistry::instance()->snapshot())
        if (!f(plugin))
            return;
}

PluginManager::SignalSubject& PluginManager::signalSubject() { return Internal::PluginRegistry::instance()->subject(); }

} // namespace DynamicPlugin
