#pragma once

#include "baselib/Export.h"
#include "baselib/threading/TaskQueue.h"
#include "baselib/threading/Thread.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace Threading::Internal {

// A TaskQueue together with the thread that runs it.
class KELBASE_EXPORT TaskQueueThreadProxy : private boost::noncopyable {
public:
    // Starts the queue's thread. Throws ThreadException when the thread cannot be made.
    TaskQueueThreadProxy();
    // stop(), then the queue is destroyed.
    ~TaskQueueThreadProxy();

    TaskQueue& queue() { return *m_queue; }
    // Cancels the queue (interrupting its running task) and joins its thread; once only,
    // later calls do nothing. Not from a task of this queue.
    void stop();

private:
    std::unique_ptr<TaskQueue> m_queue = std::make_unique<TaskQueue>();
    Thread m_thread;
    bool m_stopped = false;
};

} // namespace Threading::Internal
