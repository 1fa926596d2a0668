#pragma once

#include "baselib/Export.h"

namespace KelBase {

// Something the library sets up once per process: the first KelPlatformInit creates one
// object of every class registered under this interface and destroys them at tear-down.
class KELBASE_EXPORT IInitializationItem {
public:
    virtual ~IInitializationItem() = default;
    IInitializationItem(const IInitializationItem&) = delete;
    IInitializationItem& operator=(const IInitializationItem&) = delete;

protected:
    IInitializationItem() = default;
};

} // namespace KelBase
