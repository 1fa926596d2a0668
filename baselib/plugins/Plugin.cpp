#include "baselib/plugins/Plugin.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"
#include "baselib/platform/Conversion.h"
#include "baselib/plugins/PluginEntryPoint.h"
#include "baselib/plugins/PluginRegistry.h"

#include <boost/format.hpp>

#include <atomic>

#include <dlfcn.h>
#include <link.h>

namespace DynamicPlugin {

namespace {

using KelBase::Conversion;

// The loader's text for the last failure of the calling thread.
std::wstring loaderError()
{
    const char* text = dlerror();
    return text ? Conversion::stringFromUTF8(text) : std::wstring();
}

struct ModuleCloser {
    void operator()(void* module) const { dlclose(module); }
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

ModuleHandle loadModule(const std::wstring& fileName)
{
    ModuleHandle module(dlopen(Conversion::stringToUTF8(fileName).c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!module)
        throw PluginSystemException(loaderError());
    return module;
}

std::wstring moduleFileName(void* module, const std::wstring& requestedName)
{
    link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return requestedName;
    return Conversion::stringFromUTF8(map->l_name);
}

} // namespace

struct Plugin::Impl {
    Impl(const std::wstring& requestedName, const std::shared_ptr<Internal::PluginRegistry>& registry)
        : registry(registry)
    {
        KelConsole::writeTraceLine(L"DynamicPlugin::Plugin::Impl::Impl Загрузка модуля " + requestedName + L" . . .");
        ModuleHandle loaded = loadModule(requestedName);
        fileName = moduleFileName(loaded.get(), requestedName);
        KelConsole::writeTraceLine(L"DynamicPlugin::Plugin::Impl::Impl Модуль " + requestedName +
                                   L" загружен успешно, полное имя файла модуля - " + fileName);
        entryPoint = reinterpret_cast<EntryPoint>(dlsym(loaded.get(), entryPointName));
        if (!entryPoint)
            throw PluginException(
                (boost::wformat(KelBase::resStr(PluginMessage::EntryPointMissing)) % requestedName).str());
        module = std::move(loaded);
    }

    ~Impl()
    {
        module.reset();
        KelConsole::writeTraceLine(L"DynamicPlugin::Plugin::Impl::~Impl Модуль " + fileName + L" выгружен успешно");
    }

    std::wstring fileName;
    ModuleHandle module;
    EntryPoint entryPoint = nullptr;
    std::atomic<bool> released{false};
    // Weak: the registry lists the plug-in, and the plug-in must not keep it alive.
    std::weak_ptr<Internal::PluginRegistry> registry;
};

Plugin::Plugin(const std::wstring& fileName, const std::shared_ptr<Internal::PluginRegistry>& registry)
    : m_impl(new Impl(fileName, registry))
{
}

Plugin::~Plugin() { delete m_impl; }

const std::wstring& Plugin::fileName() const { return m_impl->fileName; }

ObjectFactory::FactoryCollection& Plugin::factories() const { return m_impl->entryPoint(); }

void Plugin::release()
{
    const std::shared_ptr<Internal::PluginRegistry> registry = m_impl->registry.lock();
    if (registry && registry->remove(this)) {
        KelConsole::writeTraceLine(L"DynamicPlugin::Plugin::release Модуль " + m_impl->fileName + L" отключен");
        m_impl->released = true;
        registry->notifyReleased(*this);
    }
    m_impl->released = true;
}

bool Plugin::isReleased() const { return m_impl->released; }

} // namespace DynamicPlugin
