#include "TestPluginInterface.h"
#include "tests/support/TraceCapture.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/plugins/ObjectDeleter.h"
#include "baselib/plugins/PluginManager.h"
#include "baselib/signals/SignalObserver.h"

#include <boost/function.hpp>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace DynamicPlugin;

const std::wstring pluginFile = L"" KEL_TEST_PLUGIN;
const std::wstring noEntryFile = L"" KEL_TEST_NO_ENTRY_LIBRARY;

// Whether the loader still has the module in the process, without loading it.
bool isLoaded(const std::wstring& file)
{
    void* module = dlopen(std::filesystem::path(file).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module)
        dlclose(module);
    return module != nullptr;
}

class ReleaseListener : public KelBase::SignalObserver<PluginManager::SignalSubject> {
public:
    ReleaseListener() { connect(PluginManager::signalSubject()); }
    ~ReleaseListener() { disconnect(); }

    void pluginReleased(Plugin& plugin) override
    {
        released.push_back(plugin.fileName());
        if (hook)
            hook(plugin);
    }

    std::vector<std::wstring> released;
    boost::function<void(Plugin&)> hook;
};

std::vector<boost::shared_ptr<Plugin>> listedPlugins()
{
    std::vector<boost::shared_ptr<Plugin>> plugins;
    PluginManager::forEachPlugin([&plugins](const boost::shared_ptr<Plugin>& plugin) {
        plugins.push_back(plugin);
        return true;
    });
    return plugins;
}

TEST(PluginTest, LoadsTheModuleAndMakesObjectsWithItsFactories)
{
    TraceCapture trace;
    boost::shared_ptr<Plugin> plugin = PluginManager::loadPlugin(pluginFile);
    EXPECT_EQ(plugin->fileName(), pluginFile);
    EXPECT_FALSE(plugin->isReleased());
    EXPECT_TRUE(isLoaded(pluginFile));

    const boost::shared_ptr<ITestGreeter> greeter = createObject<GreeterFactory>(plugin, helloGreeterKey);
    EXPECT_EQ(greeter->greet(), helloGreeting);
    try {
        createObject<GreeterFactory>(plugin, failingGreeterKey);
        ADD_FAILURE() << "nothing thrown";
    } catch (const KelBase::CommandLineException& error) {
        EXPECT_STREQ(error.message(), failingGreeterText);
    }
    EXPECT_THROW(createObject<GreeterFactory>(plugin, L"missing"), ObjectFactory::VirtualConstructorException);

    EXPECT_NE(trace.text().find(L"DynamicPlugin::Plugin::Impl::Impl Загрузка модуля " + pluginFile + L" . . .\n"),
              std::wstring::npos);
    EXPECT_NE(trace.text().find(L"DynamicPlugin::Plugin::Impl::Impl Модуль " + pluginFile +
                                L" загружен успешно, полное имя файла модуля - " + pluginFile + L"\n"),
              std::wstring::npos);
}

// The module goes only with the last reference: the manager's, the caller's, or an object's.
TEST(PluginTest, StaysLoadedWhileAnyReferenceExists)
{
    TraceCapture trace;
    boost::shared_ptr<Plugin> plugin = PluginManager::loadPlugin(pluginFile);
    boost::shared_ptr<ITestGreeter> greeter = createObject<GreeterFactory>(plugin, helloGreeterKey);

    plugin->release();
    EXPECT_TRUE(plugin->isReleased());
    plugin.reset();
    EXPECT_TRUE(isLoaded(pluginFile));
    EXPECT_EQ(greeter->greet(), helloGreeting);

    greeter.reset();
    EXPECT_FALSE(isLoaded(pluginFile));
    EXPECT_EQ(trace.count(L"DynamicPlugin::Plugin::release Модуль " + pluginFile + L" отключен\n"), 1u);
    EXPECT_EQ(trace.count(L"DynamicPlugin::Plugin::Impl::~Impl Модуль " + pluginFile + L" выгружен успешно\n"), 1u);
}

TEST(PluginManagerTest, ListsPluginsUntilTheyAreLetGo)
{
    ReleaseListener listener;
    boost::shared_ptr<Plugin> first = PluginManager::loadPlugin(pluginFile);
    boost::shared_ptr<Plugin> second = PluginManager::loadPlugin(pluginFile);
    boost::shared_ptr<Plugin> secondCopy = second;

    {
        const std::vector<boost::shared_ptr<Plugin>> listed = listedPlugins();
        ASSERT_EQ(listed.size(), 2u);
        EXPECT_EQ(listed[0].get(), first.get());
        EXPECT_EQ(listed[1].get(), second.get());
    }

    int visited = 0;
    PluginManager::forEachPlugin([&visited](const boost::shared_ptr<Plugin>&) { return ++visited < 1; });
    EXPECT_EQ(visited, 1);
    EXPECT_THROW(PluginManager::forEachPlugin({}), boost::bad_function_call);

    second.reset();
    EXPECT_TRUE(listener.released.empty());
    secondCopy.reset();
    EXPECT_EQ(listener.released, std::vector<std::wstring>{pluginFile});
    EXPECT_EQ(listedPlugins().size(), 1u);

    // Released once, heard of once, however the references go afterwards.
    first->release();
    first->release();
    first.reset();
    EXPECT_EQ(listener.released.size(), 2u);
    EXPECT_TRUE(listedPlugins().empty());
    EXPECT_FALSE(isLoaded(pluginFile));
}

// The callback and the listeners may load and release plug-ins themselves.
TEST(PluginManagerTest, CallbacksMayChangeTheList)
{
    ReleaseListener listener;
    boost::shared_ptr<Plugin> loadedByListener;
    bool loadedOnce = false;
    listener.hook = [&](Plugin&) {
        if (!std::exchange(loadedOnce, true))
            loadedByListener = PluginManager::loadPlugin(pluginFile);
    };
    boost::shared_ptr<Plugin> plugin = PluginManager::loadPlugin(pluginFile);
    PluginManager::forEachPlugin([](const boost::shared_ptr<Plugin>& listed) {
        listed->release();
        return true;
    });
    EXPECT_TRUE(plugin->isReleased());
    ASSERT_TRUE(loadedByListener);
    EXPECT_EQ(listedPlugins().size(), 1u);
    plugin.reset();
    loadedByListener.reset();
    EXPECT_TRUE(listedPlugins().empty());
    EXPECT_EQ(listener.released.size(), 2u);
}

TEST(PluginManagerTest, RefusesWhatIsNotAPlugin)
{
    const std::filesystem::path text = std::filesystem::temp_directory_path() / "kel_not_a_library.so";
    std::ofstream(text) << "not a library\n";
    const std::wstring missing = L"/nonexistent/kel_missing_plugin.so";

    try {
        PluginManager::loadPlugin(missing);
        ADD_FAILURE() << "a missing file loaded";
    } catch (const PluginSystemException& error) {
        EXPECT_NE(std::wstring(error.message()).find(missing), std::wstring::npos) << error.message();
    }
    try {
        PluginManager::loadPlugin(text.wstring());
        ADD_FAILURE() << "a text file loaded";
    } catch (const PluginSystemException& error) {
        EXPECT_NE(std::wstring(error.message()).find(text.wstring()), std::wstring::npos) << error.message();
    }
    try {
        PluginManager::loadPlugin(noEntryFile);
        ADD_FAILURE() << "a library without the entry point loaded";
    } catch (const PluginSystemException&) {
        ADD_FAILURE() << "the library should have loaded";
    } catch (const PluginException& error) {
        EXPECT_EQ(error.message(), L"Подключаемый модуль '" + noEntryFile +
                                       L"' не предназначен для работы в текущей системе. Не найдена "
                                       L"требуемая точка входа");
    }
    EXPECT_FALSE(isLoaded(noEntryFile));
    EXPECT_TRUE(listedPlugins().empty());
    std::filesystem::remove(text);
}

} // namespace
