#include "baselib/threading/StaticInitializer.h"

#include "baselib/exceptions/ExceptionTree.h"

#include <exception>
#include <new>

namespace Threading::Internal {

namespace {
pthread_once_t onceControl = PTHREAD_ONCE_INIT;
pthread_mutexattr_t recursiveAttributes;
// Raw storage: the mutex must not depend on the order of static construction.
alignas(Mutex) unsigned char mutexStorage[sizeof(Mutex)];
Mutex* syncMutexInstance = nullptr;
// An exception must not unwind through pthread_once; a failed creation is kept and rethrown.
std::exception_ptr creationFailure;
} // namespace

void BasicStaticInitializer::createSyncMutex()
{
    try {
        if (const int code = pthread_mutexattr_init(&recursiveAttributes))
            throw MutexException(errorCodeToMessage(code));
        pthread_mutexattr_settype(&recursiveAttributes, PTHREAD_MUTEX_RECURSIVE);
        syncMutexInstance = new (mutexStorage) Mutex(recursiveAttributes);
    } catch (...) {
        creationFailure = std::current_exception();
    }
}

Mutex& BasicStaticInitializer::syncMutex()
{
    pthread_once(&onceControl, createSyncMutex);
    if (!syncMutexInstance)
        std::rethrow_exception(creationFailure);
    return *syncMutexInstance;
}

} // namespace Threading::Internal
