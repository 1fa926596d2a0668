#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/BasicVerifier.h"

#include <boost/make_shared.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <pthread.h>

namespace Threading {

// A POSIX barrier for a fixed number of threads.
class KELBASE_EXPORT Barrier : private BasicVerifier, private boost::noncopyable {
public:
    // Throws BarrierException for a count below 1.
    explicit Barrier(int count);
    ~Barrier();

    // Blocks until `count` threads wait; true in exactly one of them.
    bool wait() { return pthread_barrier_wait(&m_barrier) == PTHREAD_BARRIER_SERIAL_THREAD; }

private:
    pthread_barrier_t m_barrier;
};

inline boost::shared_ptr<Barrier> createSharedBarrier(int count)
{
    return boost::make_shared<Barrier>(count);
}

} // namespace Threading
