#pragma once

#include "baselib/Export.h"
#include "baselib/platform/InitializationItem.h"

#include <memory>

namespace Threading {

class Task;
class TaskQueue;

namespace Internal {

// Gives derived classes the process-wide queue on whose own thread shared objects are
// deleted once their last reference is gone.
class KELBASE_EXPORT GuardedSharedFromThisBase {
protected:
    // The shared queue, made with its thread on the first call (and again on the first call
    // after a platform tear-down removed it). The queue lives until the platform is torn
    // down; without a KelPlatformInit it lives until the process ends. The reference does not
    // keep it: push through pushToSharedQueue() where a tear-down may run meanwhile.
    static TaskQueue& sharedTaskQueue();
    // Moves the task into the shared queue (made as above), holding off the queue's removal
    // until the push is done. When the queue cannot be made the task stays with the caller.
    static void pushToSharedQueue(std::unique_ptr<Task>& task);
};

} // namespace Internal

// The initialisation item that removes the shared queue at platform tear-down: cancels it,
// joins its thread and deletes it, with the tasks still waiting in it. Nothing happens when
// the queue was never made.
class KELBASE_EXPORT TaskQueueReleaser : public KelBase::IInitializationItem {
public:
    TaskQueueReleaser() = default;
    ~TaskQueueReleaser() override;
};

} // namespace Threading
