#include "baselib/threading/Barrier.h"

#include "baselib/exceptions/ExceptionTree.h"

#include <cerrno>

namespace Threading {

Barrier::Barrier(int count)
{
    // A negative count would otherwise turn into a huge unsigned one.
    const int code = count < 1 ? EINVAL : pthread_barrier_init(&m_barrier, nullptr, static_cast<unsigned>(count));
    if (code)
        throw BarrierException(errorCodeToMessage(code));
}

Barrier::~Barrier()
{
    pthread_barrier_destroy(&m_barrier);
}

} // namespace Threading
