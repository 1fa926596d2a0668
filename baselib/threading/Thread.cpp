#include "baselib/threading/Thread.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/threading/ActiveObject.h"
#include "baselib/threading/ThreadRegistry.h"
#include "baselib/time/Timeout.h"

#include <sched.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

namespace Threading {

using Internal::ThreadRecord;
using Internal::ThreadRegistry;

namespace {
const wchar_t* const notJoinableText = L"Thread is not joinable";
constexpr auto endlessSleepStep = std::chrono::hours(24);
} // namespace

Thread::Thread(ActiveObject& object)
    : m_object(&object)
{
    ThreadRegistry::instance();
    auto record = std::make_shared<ThreadRecord>(object);
    auto argument = std::make_unique<std::shared_ptr<ThreadRecord>>(record);
    if (!object.start()) {
        const char* const signature = __PRETTY_FUNCTION__;
        throw ActiveObjectException(std::wstring(signature, signature + std::strlen(signature)) +
                                    L" not valid in this state");
    }
    if (const int code = pthread_create(&m_handle, nullptr, threadProcedure, argument.get())) {
        object.abandonStart();
        throw ThreadException(errorCodeToMessage(code));
    }
    argument.release(); // the new thread owns it now
    record->handle = m_handle;
    record->joinState.store(ThreadRecord::Joinable);
    m_record = std::move(record);
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
}

Thread::Thread(ActiveObject* object, pthread_t handle, std::shared_ptr<ThreadRecord> record)
    : m_object(object), m_handle(handle), m_record(std::move(record))
{
}

void* Thread::threadProcedure(void* argument)
{
    std::shared_ptr<ThreadRecord> record;
    record.swap(*static_cast<std::shared_ptr<ThreadRecord>*>(argument));
    delete static_cast<std::shared_ptr<ThreadRecord>*>(argument);

    ActiveObject& object = record->object;
    ThreadRegistry& registry = ThreadRegistry::instance();
    registry.add({&object, pthread_self(), record});
    const int result = object.doExecute();
    registry.remove(&object);
    record->exitValue.store(result);
    record->procedureReturned.store(true);
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(result));
}

int Thread::join()
{
    if (!m_object)
        throw ThreadException(notJoinableText);
    int state = m_object->state();
    while (state == ActiveObject::Starting) {
        yield();
        state = m_object->state();
    }
    if (state < ActiveObject::Running || state > ActiveObject::Finished)
        throw ThreadException(notJoinableText);

    // A handle from fromActiveObject() taken while the thread was starting has no record yet.
    std::shared_ptr<ThreadRecord> record = m_record;
    if (!record)
        record = ThreadRegistry::instance().findByObject(m_object).record;
    if (!record)
        return m_object->result(); // execution already over and its thread out of reach
    return joinRecord(*record);
}

int Thread::joinRecord(ThreadRecord& record)
{
    while (record.joinState.load() == ThreadRecord::Creating)
        yield();
    int expected = ThreadRecord::Joinable;
    if (record.joinState.compare_exchange_strong(expected, ThreadRecord::Joining)) {
        void* exitValue = nullptr;
        if (const int code = pthread_join(record.handle, &exitValue)) {
            record.joinState.store(ThreadRecord::Joinable);
            throw ThreadException(errorCodeToMessage(code));
        }
        record.joinState.store(ThreadRecord::Joined);
        return static_cast<int>(reinterpret_cast<std::intptr_t>(exitValue));
    }
    // Joined already, or being joined by another thread right now.
    while (record.joinState.load() == ThreadRecord::Joining)
        yield();
    return record.exitValue.load();
}

bool Thread::isTerminated() const
{
    // glibc keeps a finished but unjoined thread probe-able (the signal-0 probe answers 0),
    // so the threads we made tell their end themselves; the probe is left for foreign ones.
    if (m_record)
        return m_record->procedureReturned.load();
    if (!m_handle)
        return true;
    return pthread_kill(m_handle, 0) == ESRCH;
}

Thread Thread::self()
{
    const pthread_t handle = pthread_self();
    ThreadRegistry::Entry entry = ThreadRegistry::instance().findByHandle(handle);
    return Thread(entry.object, handle, std::move(entry.record));
}

Thread Thread::fromActiveObject(ActiveObject* object)
{
    ThreadRegistry::Entry entry = ThreadRegistry::instance().findByObject(object);
    return Thread(object, entry.handle, std::move(entry.record));
}

void Thread::yield()
{
    sched_yield();
}

void Thread::sleep(KelTime::Timeout timeout)
{
    if (timeout.isInfinite()) {
        for (;;)
            std::this_thread::sleep_for(endlessSleepStep);
    }
    const long long remaining_ms = timeout.remainingTime().toMilliseconds();
    if (remaining_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(remaining_ms));
}

} // namespace Threading
