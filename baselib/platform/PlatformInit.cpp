#include "baselib/platform/PlatformInit.h"

#include "baselib/platform/Console.h"
#include "baselib/platform/Conversion.h"
#include "baselib/plugins/InitializationItems.h"
#include "baselib/threading/ProcessWide.h"

#include <atomic>
#include <clocale>
#include <filesystem>
#include <iostream>
#include <locale>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace KelBase {

namespace fs = std::filesystem;

namespace {

// The console's Russian locale first, then any UTF-8 one, then whatever the environment says.
constexpr const char* consoleLocaleNames[] = {"ru_RU.CP866", "ru_RU.UTF-8", "C.UTF-8", ""};

constexpr const char configurationExtension[] = ".conf";

std::atomic<int> useCount{0};

struct PlatformState {
    std::mutex mutex;
    std::wstring appDirectory;
    std::wstring executableFileName;
    std::wstring configFileName;
    InitializationItems items;
};

PlatformState& state()
{
    static Threading::Internal::ProcessWide<PlatformState> instance;
    return instance.get();
}

std::wstring widePath(const fs::path& path) { return Conversion::stringFromUTF8(path.native()); }

void setConsoleLocale()
{
    for (const char* name : consoleLocaleNames) {
        std::locale locale;
        try {
            locale = std::locale(name);
        } catch (const std::runtime_error&) {
            continue;
        }
        // The wide standard streams share their C streams, which convert with the C locale.
        std::setlocale(LC_CTYPE, name);
        {
            const KelConsole::Internal::ScopedConsoleLock lock;
            std::wcout.imbue(locale);
            std::wcerr.imbue(locale);
            std::wclog.imbue(locale);
        }
        std::wcin.imbue(locale);
        return;
    }
}

fs::path executablePath()
{
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

std::wstring configurationFile(const fs::path& executable, const wchar_t* configuration)
{
    if (configuration && *configuration)
        return widePath(executable.parent_path() / Conversion::stringToUTF8(configuration));
    if (executable.empty())
        return {};
    fs::path file = executable;
    file += configurationExtension;
    return fs::exists(file) ? widePath(file) : std::wstring();
}

} // namespace

KelPlatformInit::KelPlatformInit(int, char**, const wchar_t* configuration)
{
    if (useCount.fetch_add(1) != 0)
        return;
    try {
        setUp(configuration);
    } catch (...) {
        tearDown();
        useCount.fetch_sub(1);
        throw;
    }
}

KelPlatformInit::~KelPlatformInit()
{
    if (useCount.fetch_sub(1) == 1)
        tearDown();
}

void KelPlatformInit::setUp(const wchar_t* configuration)
{
    setConsoleLocale();
    const fs::path executable = executablePath();
    const std::wstring configFile = configurationFile(executable, configuration);
    {
        PlatformState& platform = state();
        const std::lock_guard lock(platform.mutex);
        platform.appDirectory = widePath(executable.parent_path());
        platform.executableFileName = widePath(executable.filename());
        platform.configFileName = configFile;
    }
    InitializationItems items = createInitializationItems();
    PlatformState& platform = state();
    const std::lock_guard lock(platform.mutex);
    platform.items = std::move(items);
}

void KelPlatformInit::tearDown()
{
    PlatformState& platform = state();
    InitializationItems items;
    {
        const std::lock_guard lock(platform.mutex);
        items.swap(platform.items);
        platform.appDirectory.clear();
        platform.executableFileName.clear();
        platform.configFileName.clear();
    }
    // Later items may rely on earlier ones, so they go first; their destructors may write
    // trace lines, hence outside the lock.
    while (!items.empty())
        items.pop_back();
}

std::wstring KelPlatform::appDirectory()
{
    const std::lock_guard lock(state().mutex);
    return state().appDirectory;
}

std::wstring KelPlatform::executableFileName()
{
    const std::lock_guard lock(state().mutex);
    return state().executableFileName;
}

std::wstring KelPlatform::configFileName()
{
    const std::lock_guard lock(state().mutex);
    return state().configFileName;
}

} // namespace KelBase
