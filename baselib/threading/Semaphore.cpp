#include "baselib/threading/Semaphore.h"

#include "baselib/exceptions/ExceptionTree.h"

#include <cerrno>

namespace Threading {

Semaphore::Semaphore()
{
    if (sem_init(&m_semaphore, 0, 0) != 0)
        throw SemaphoreException(errnoToMessage());
}

Semaphore::~Semaphore()
{
    sem_destroy(&m_semaphore);
}

void Semaphore::wait()
{
    // A signal handler interrupting the wait is not a failure of the semaphore.
    while (sem_wait(&m_semaphore) != 0) {
        if (errno != EINTR)
            throw SemaphoreException(errnoToMessage());
    }
}

} // namespace Threading
