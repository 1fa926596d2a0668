#include "baselib/signals/GuardedSharedFromThisBase.h"

#include "baselib/platform/Console.h"
#include "baselib/threading/Mutex.h"
#include "baselib/threading/ProcessWide.h"
#include "baselib/threading/TaskQueueThreadProxy.h"

#include <memory>

namespace Threading {

namespace {

struct SharedQueue {
    Mutex mutex;
    std::unique_ptr<Internal::TaskQueueThreadProxy> proxy;
};

// A queue that no platform tear-down removed is left running when the process ends.
SharedQueue& sharedQueue()
{
    static Internal::ProcessWide<SharedQueue> instance;
    return instance.get();
}

} // namespace

namespace Internal {

TaskQueue& GuardedSharedFromThisBase::sharedTaskQueue()
{
    SharedQueue& shared = sharedQueue();
    TaskQueue* queue = nullptr;
    {
        const ScopedLock lock(shared.mutex);
        if (!shared.proxy) {
            KelConsole::writeTraceLine(L"!!! Создана очередь для GuardedSharedFromThis");
            shared.proxy = std::make_unique<TaskQueueThreadProxy>();
        }
        queue = &shared.proxy->queue();
    }
    KelConsole::writeTraceLine(L"!!! Обращение к очереди для GuardedSharedFromThis");
    return *queue;
}

} // namespace Internal

TaskQueueReleaser::~TaskQueueReleaser()
{
    std::unique_ptr<Internal::TaskQueueThreadProxy> proxy;
    {
        SharedQueue& shared = sharedQueue();
        const ScopedLock lock(shared.mutex);
        proxy.swap(shared.proxy);
    }
    if (!proxy)
        return;
    // Outside the lock: deleting the tasks still waiting may release further shared objects.
    proxy.reset();
    KelConsole::writeTraceLine(L"!!! Очередь для GuardedSharedFromThis удалена");
}

} // namespace Threading
