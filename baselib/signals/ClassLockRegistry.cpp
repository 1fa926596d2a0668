#include "baselib/signals/SynchronizationModel.h"

#include "baselib/threading/ProcessWide.h"
#include "baselib/threading/StaticInitializer.h"

#include <map>
#include <memory>
#include <string>

namespace Threading::SynchronizationModel::Internal {

namespace {
using LockMap = std::map<std::string, std::unique_ptr<RWLock>>;

LockMap& locks()
{
    static Threading::Internal::ProcessWide<LockMap> instance;
    return instance.get();
}
} // namespace

RWLock& classRWLock(const std::type_info& host)
{
    const ScopedLock guard(Threading::Internal::BasicStaticInitializer::syncMutex());
    std::unique_ptr<RWLock>& slot = locks()[host.name()];
    if (!slot)
        slot = std::make_unique<RWLock>();
    return *slot;
}

} // namespace Threading::SynchronizationModel::Internal
