#pragma once

#include "baselib/Export.h"
#include "baselib/platform/InitializationItem.h"

namespace Threading {

class TaskQueue;

namespace Internal {

// Gives derived classes the process-wide queue on whose own thread shared objects are
// deleted once their last reference is gone.
class KELBASE_EXPORT GuardedSharedFromThisBase {
protected:
    // The shared queue, made with its thread on the first call (and again on the first call
    // after a platform tear-down removed it). The queue lives until the platform is torn
    // down; without a KelPlatformInit it lives until the process ends.
    static TaskQueue& sharedTaskQueue();
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
