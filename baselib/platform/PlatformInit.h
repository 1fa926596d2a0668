#pragma once

#include "baselib/Export.h"
#include "baselib/platform/InitializationItem.h"

#include <string>

namespace KelBase {

// One-time process set-up. Every instance counts as one use; the first does the set-up (console
// locale, application directory, configuration file name, initialisation items) and the last
// one to go tears it down. Meant to be made in main() before other threads start.
class KELBASE_EXPORT KelPlatformInit {
public:
    // `configuration` names the configuration file, relative to the application directory or
    // complete; null or empty takes "<executable>.conf" beside the executable when it exists.
    KelPlatformInit(int argc, char** argv, const wchar_t* configuration = nullptr);
    ~KelPlatformInit();
    KelPlatformInit(const KelPlatformInit&) = delete;
    KelPlatformInit& operator=(const KelPlatformInit&) = delete;

    static void checkInitialized() {}

private:
    static void setUp(const wchar_t* configuration);
    static void tearDown();
};

// What the first KelPlatformInit found; empty strings before set-up and after tear-down.
class KELBASE_EXPORT KelPlatform {
public:
    static std::wstring appDirectory();
    static std::wstring executableFileName();
    static std::wstring configFileName();
};

} // namespace KelBase
