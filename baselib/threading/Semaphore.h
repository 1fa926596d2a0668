#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/BasicVerifier.h"

#include <boost/make_shared.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <semaphore.h>

namespace Threading {

// A process-private counting POSIX semaphore, starting at 0.
class KELBASE_EXPORT Semaphore : private BasicVerifier, private boost::noncopyable {
public:
    Semaphore();
    ~Semaphore();

    // Decrements, blocking while the count is 0.
    void wait();
    void post() { sem_post(&m_semaphore); }

private:
    sem_t m_semaphore;
};

inline boost::shared_ptr<Semaphore> createSharedSemaphore()
{
    return boost::make_shared<Semaphore>();
}

} // namespace Threading
