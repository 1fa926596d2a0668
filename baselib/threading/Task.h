#pragma once

#include "baselib/Export.h"

#include <boost/noncopyable.hpp>

namespace Threading {

class TaskQueue;

// A unit of work for a TaskQueue or a ThreadPool. A task pushed by reference stays its
// caller's; one pushed as std::unique_ptr belongs to the queue, which deletes it after its
// body has run (or with the queue, if it never ran).
class KELBASE_EXPORT Task : private boost::noncopyable {
public:
    virtual ~Task();

    // The work, on the thread that processes `queue`. Further tasks may be pushed from here.
    virtual void run(TaskQueue& queue) = 0;
    // Asks a running body to stop early; true when it will. Called from another thread while
    // the body runs, with the queue's lock held: it must not call back into the queue.
    virtual bool interrupt();

protected:
    Task() = default;
};

} // namespace Threading
