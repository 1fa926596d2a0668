#pragma once

#include "baselib/Export.h"
#include "baselib/threading/Task.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace Threading {

// Task queues, each on its own thread, among which pushed tasks are spread by load. A task
// goes to the first worker without waiting tasks; when every worker has some, the pool grows
// up to its maximum, and beyond that the least loaded worker (the first among equals) takes
// it. The pool never shrinks.
class KELBASE_EXPORT ThreadPool : private boost::noncopyable {
public:
    // Starts `min` workers at once. Throws ThreadException when one cannot be made.
    ThreadPool(unsigned int min, unsigned int max);
    // Cancels every worker (interrupting its running task) and joins it; tasks still waiting
    // are dropped, the owned ones deleted. No push may run meanwhile.
    ~ThreadPool();

    // Ownership as for TaskQueue. Both throw ThreadingException when the pool has no worker
    // and may not make one (a pool made with max 0), ThreadException when a new worker's
    // thread cannot be made; an owned task is then deleted.
    void pushTask(Task& task);
    void pushTask(std::unique_ptr<Task> task);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Threading
