#include "baselib/signals/GuardedSharedFromThisBase.h"

#include "baselib/platform/Console.h"
#include "baselib/threading/ProcessWide.h"
#include "baselib/threading/TaskQueueThreadProxy.h"

#include <memory>
#include <mutex>
#include <utility>

namespace Threading {

namespace {

struct SharedQueue {
    // Recursive: a listener of the queue may let a shared object go from inside a push.
    std::recursive_mutex mutex;
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

namespace {

// Under the shared queue's mutex.
TaskQueue& existingSharedQueue(SharedQueue& shared)
{
    if (!shared.proxy) {
        KelConsole::writeTraceLine(L"!!! Создана очередь для GuardedSharedFromThis");
        shared.proxy = std::make_unique<TaskQueueThreadProxy>();
    }
    return shared.proxy->queue();
}

} // namespace

TaskQueue& GuardedSharedFromThisBase::sharedTaskQueue()
{
    SharedQueue& shared = sharedQueue();
    TaskQueue* queue = nullptr;
    {
        const std::lock_guard lock(shared.mutex);
        queue = &existingSharedQueue(shared);
    }
    KelConsole::writeTraceLine(L"!!! Обращение к очереди для GuardedSharedFromThis");
    return *queue;
}

void GuardedSharedFromThisBase::pushToSharedQueue(std::unique_ptr<Task>& task)
{
    SharedQueue& shared = sharedQueue();
    {
        const std::lock_guard lock(shared.mutex);
        TaskQueue& queue = existingSharedQueue(shared);
        queue.pushTask(std::move(task));
    }
    KelConsole::writeTraceLine(L"!!! Обращение к очереди для GuardedSharedFromThis");
}

} // namespace Internal

TaskQueueReleaser::~TaskQueueReleaser()
{
    std::unique_ptr<Internal::TaskQueueThreadProxy> proxy;
    {
        SharedQueue& shared = sharedQueue();
        const std::lock_guard lock(shared.mutex);
        proxy.swap(shared.proxy);
    }
    if (!proxy)
        return;
    // Outside the lock: deleting the tasks still waiting may release further shared objects.
    proxy.reset();
    KelConsole::writeTraceLine(L"!!! Очередь для GuardedSharedFromThis удалена");
}

} // namespace Threading
