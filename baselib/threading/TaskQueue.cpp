#include "baselib/threading/TaskQueue.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"
#include "baselib/threading/Condition.h"
#include "baselib/threading/TaskQueueListeners.h"

#include <sched.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <typeinfo>

namespace Threading {

namespace {

// The queue's loop yields this often before it sleeps on an empty queue: tasks pushed back
// to back usually arrive meanwhile, and catching them awake spares a sleep and a wake-up
// per task.
constexpr int yieldsBeforeSleep = 4;

} // namespace

class TaskQueue::Impl {
public:
    // Thrown inside the queue's own loop to leave it on cancellation; never leaves execute().
    struct TerminateException {};

    ~Impl();

    void push(TaskQueue& queue, Task& task, std::unique_ptr<Task>* owner);
    // Runs waiting tasks until none is left, or, as the queue's own loop, until cancelled.
    std::size_t executeTaskQueue(TaskQueue& queue, bool ownLoop);
    void waitAll();
    void interruptCurrentTask();
    std::size_t waitingCount() const { return m_waitingCount.load(std::memory_order_acquire); }

    TaskQueueListeners listeners;

private:
    struct Entry {
        Task* task = nullptr;
        bool owned = false;
        // Listeners were connected at the push: they hear of the task's start and end.
        bool listened = false;
        // taskPushed of this push is still being told; the task must not start before.
        bool announcing = false;
    };

    struct Running {
        Task* task = nullptr;
        bool owned = false;
        bool listened = false;
        // interrupt() may be called only meanwhile: afterwards an owned task may be deleted.
        bool bodyRunning = false;
        bool interrupted = false;
        std::thread::id thread;
    };

    // Under the mutex.
    void refuseFromOwnBody(const char* signature) const;
    bool takeNext(const TaskQueue& queue, bool ownLoop);
    void yieldForArrival();
    void clearRunning();
    void setWaitingCount() { m_waitingCount.store(m_waiting.size(), std::memory_order_release); }

    // Without the mutex.
    void finishAnnouncement(std::uint64_t sequence);
    // The notifications (when the push had listeners) and the body of the running task.
    void runTask(TaskQueue& queue, Task& task, bool listened, const char* signature);
    // Ends the running task: marks its body's end unless done already, deletes it if owned;
    // the caller then takes the mutex and clears the slot.
    void endBody(Task& task, bool owned, bool bodyEndMarked);

    Mutex m_mutex;
    // The queue's own loop sleeps on m_arrival while no task waits; only it waits there, so
    // that a push wakes one thread. Every other wait (for the running slot, the end of an
    // announcement, waitAll) is on m_changed.
    Condition m_arrival;
    Condition m_changed;
    std::deque<Entry> m_waiting;
    // m_waiting.size(), also readable without the mutex.
    std::atomic<std::size_t> m_waitingCount{0};
    // Push number of m_waiting.front(); a push finds its entry again by its own number.
    std::uint64_t m_firstSequence = 0;
    Running m_running;
};

TaskQueue::Impl::~Impl()
{
    KelConsole::writeTraceLine(L"Threading::TaskQueue::Impl::~Impl - В очереди " + std::to_wstring(m_waiting.size()) +
                               L" задач");
    for (const Entry& entry : m_waiting)
        if (entry.owned)
            delete entry.task;
}

void TaskQueue::Impl::push(TaskQueue& queue, Task& task, std::unique_ptr<Task>* owner)
{
    // Without listeners there is nothing to wait for: the task can start at once. Looked at
    // once per push, so that processing a task need not take the subject's lock for nothing.
    const bool announce = listeners.any();
    std::uint64_t sequence = 0;
    {
        const ScopedLock lock(m_mutex);
        sequence = m_firstSequence + m_waiting.size();
        m_waiting.push_back({&task, owner != nullptr, announce, announce});
        setWaitingCount();
        if (owner)
            owner->release();
    }
    if (!announce) {
        // After the unlock, so that the woken thread does not block on the mutex at once.
        // An owned task may be gone already.
        m_arrival.wakeOne();
        return;
    }
    struct AnnouncementEnd {
        Impl& impl;
        std::uint64_t sequence;
        ~AnnouncementEnd() { impl.finishAnnouncement(sequence); }
    } const end{*this, sequence};
    listeners.pushed(queue, task);
}

void TaskQueue::Impl::finishAnnouncement(std::uint64_t sequence)
{
    const ScopedLock lock(m_mutex);
    // The entry cannot have left the queue: taking it waits for this announcement.
    m_waiting[static_cast<std::size_t>(sequence - m_firstSequence)].announcing = false;
    m_changed.wakeAll();
    m_arrival.wakeOne();
}

void TaskQueue::Impl::refuseFromOwnBody(const char* signature) const
{
    if (m_running.task && m_running.thread == std::this_thread::get_id())
        throw ThreadingException(signatureText(signature) + L" not valid in this state");
}

void TaskQueue::Impl::yieldForArrival()
{
    m_mutex.unlock();
    for (int i = 0; i < yieldsBeforeSleep && m_waitingCount.load(std::memory_order_relaxed) == 0; ++i)
        sched_yield();
    m_mutex.lock();
}

bool TaskQueue::Impl::takeNext(const TaskQueue& queue, bool ownLoop)
{
    // One task at a time, also when several threads process the queue.
    bool yielded = false;
    for (;;) {
        // cancel() sets the state before it takes the lock to wake us: no wake-up is lost.
        if (ownLoop && queue.isCancelled())
            throw TerminateException();
        if (m_running.task) {
            m_changed.wait(m_mutex);
            continue;
        }
        if (!m_waiting.empty())
            break;
        if (!ownLoop)
            return false;
        if (!yielded) {
            yielded = true;
            yieldForArrival();
            continue;
        }
        m_arrival.wait(m_mutex);
    }
    m_running.task = m_waiting.front().task;
    m_running.thread = std::this_thread::get_id();
    while (m_waiting.front().announcing)
        m_changed.wait(m_mutex);
    m_running.owned = m_waiting.front().owned;
    m_running.listened = m_waiting.front().listened;
    m_running.interrupted = false;
    m_running.bodyRunning = true;
    m_waiting.pop_front();
    setWaitingCount();
    ++m_firstSequence;
    return true;
}

void TaskQueue::Impl::runTask(TaskQueue& queue, Task& task, bool listened, const char* signature)
{
    if (listened)
        listeners.started(queue, task, signature);
    try {
        task.run(queue);
    } catch (const std::exception& error) {
        reportEscapedException(signature, error, L"Задача", typeid(task));
    }
    if (!listened)
        return;
    bool interrupted = false;
    {
        const ScopedLock lock(m_mutex);
        m_running.bodyRunning = false;
        interrupted = m_running.interrupted;
    }
    listeners.ended(queue, task, interrupted, signature);
}

void TaskQueue::Impl::endBody(Task& task, bool owned, bool bodyEndMarked)
{
    if (!owned)
        return;
    if (!bodyEndMarked) {
        const ScopedLock lock(m_mutex);
        m_running.bodyRunning = false;
    }
    // Outside the lock: a task's destructor may use the queue.
    delete &task;
}

void TaskQueue::Impl::clearRunning()
{
    m_running = Running();
    m_changed.wakeAll();
}

std::size_t TaskQueue::Impl::executeTaskQueue(TaskQueue& queue, bool ownLoop)
{
    // Not a static string: the shared queue's thread still runs while statics are destroyed.
    const char* const signature = __PRETTY_FUNCTION__;
    std::size_t count = 0;
    std::unique_lock<Mutex> lock(m_mutex);
    refuseFromOwnBody(signature);
    while (takeNext(queue, ownLoop)) {
        Task& task = *m_running.task;
        const bool owned = m_running.owned;
        const bool listened = m_running.listened;
        lock.unlock();
        try {
            runTask(queue, task, listened, signature);
        } catch (...) {
            // Not a std::exception: it passes on, the queue stays usable.
            endBody(task, owned, false);
            lock.lock();
            clearRunning();
            throw;
        }
        endBody(task, owned, listened);
        lock.lock();
        clearRunning();
        ++count;
    }
    return count;
}

void TaskQueue::Impl::waitAll()
{
    const char* const signature = __PRETTY_FUNCTION__;
    const ScopedLock lock(m_mutex);
    refuseFromOwnBody(signature);
    while (!m_waiting.empty() || m_running.task)
        m_changed.wait(m_mutex);
}

void TaskQueue::Impl::interruptCurrentTask()
{
    const ScopedLock lock(m_mutex);
    if (m_running.task && m_running.bodyRunning && m_running.task->interrupt())
        m_running.interrupted = true;
    // Also wakes the loop to see a cancellation.
    m_arrival.wakeAll();
    m_changed.wakeAll();
}

TaskQueue::TaskQueue() : m_impl(std::make_unique<Impl>()) {}

TaskQueue::~TaskQueue() = default;

void TaskQueue::pushTask(Task& task) { m_impl->push(*this, task, nullptr); }

void TaskQueue::pushTask(std::unique_ptr<Task> task)
{
    if (!task)
        throw ThreadingException(signatureText(__PRETTY_FUNCTION__) + L" not valid in this state");
    Task& pushed = *task;
    m_impl->push(*this, pushed, &task);
}

std::size_t TaskQueue::taskCount() const { return m_impl->waitingCount(); }

std::size_t TaskQueue::processTasks() { return m_impl->executeTaskQueue(*this, false); }

void TaskQueue::waitAll() { m_impl->waitAll(); }

void TaskQueue::interruptCurrentTask() { m_impl->interruptCurrentTask(); }

TaskQueueSubject& TaskQueue::signalSubject() { return m_impl->listeners.subject(); }

int TaskQueue::execute()
{
    try {
        m_impl->executeTaskQueue(*this, true);
    } catch (const Impl::TerminateException&) {
    }
    return 0;
}

void TaskQueue::executionCancelled() { m_impl->interruptCurrentTask(); }

} // namespace Threading
