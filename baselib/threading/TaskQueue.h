#pragma once

#include "baselib/Export.h"
#include "baselib/signals/SignalObserver.h"
#include "baselib/signals/SignalSubject.h"
#include "baselib/signals/SynchronizationModel.h"
#include "baselib/threading/ActiveObject.h"
#include "baselib/threading/Mutex.h"
#include "baselib/threading/Task.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace Threading {

class TaskQueue;

// What a queue tells its listeners about each push made while they are connected:
// taskPushed on the pushing thread, then taskStarted and taskFinished (or taskInterrupted)
// on the thread that processes the queue. A listener hears taskPushed of a push before
// taskStarted of it. Listeners must not connect or disconnect from inside a notification.
// A std::exception from taskStarted, taskFinished or taskInterrupted is reported naming the
// listener, and the task and the other listeners go on; one from taskPushed reaches the pusher.
class TaskQueueSignals {
public:
    virtual void taskPushed(TaskQueue& queue, Task& task) = 0;
    virtual void taskStarted(TaskQueue& queue, Task& task) = 0;
    // The body returned and the task was not interrupted.
    virtual void taskFinished(TaskQueue& queue, Task& task) = 0;
    // The body returned after interrupt() had answered true.
    virtual void taskInterrupted(TaskQueue& queue, Task& task) = 0;

protected:
    ~TaskQueueSignals() = default;
};

using TaskQueueSubject =
    KelBase::SignalSubject<TaskQueueSignals, KelBase::NullType, std::vector,
                           SynchronizationModel::ClassScope<SynchronizationModel::Multiple<RWLock>>, std::allocator>;
// The base of a listener: override the four notifications, connect to signalSubject().
using TaskQueueObserver = KelBase::SignalObserver<TaskQueueSubject>;

// Runs pushed tasks one at a time in push order: on its own thread when a Thread runs it,
// or on the caller's thread in processTasks(). Cancelling it ends its thread's loop after
// the running task (which is asked to interrupt); tasks still waiting stay queued and an
// owned one is deleted with the queue.
class KELBASE_EXPORT TaskQueue : public ActiveObject {
public:
    TaskQueue();
    // Writes how many tasks were still waiting, then deletes the owned ones among them.
    // The queue's thread must have ended.
    virtual ~TaskQueue();

    // Both may be called from any thread, also from a task body. An empty pointer throws
    // ThreadingException.
    void pushTask(Task& task);
    void pushTask(std::unique_ptr<Task> task);

    // Waiting tasks; the running one is not counted.
    std::size_t taskCount() const;
    // Runs every waiting task on the calling thread until none is left; gives how many ran.
    // While another thread runs a task of this queue, waits for it first. Throws
    // ThreadingException when called from a body of this queue.
    std::size_t processTasks();
    // Blocks until no task waits and none runs. Throws ThreadingException when called from
    // a body of this queue.
    void waitAll();
    // Asks the running task, if any, to interrupt; an agreeing task ends with taskInterrupted.
    void interruptCurrentTask();

    TaskQueueSubject& signalSubject();

protected:
    // The loop of the queue's own thread: waits for tasks and runs them until cancelled.
    int execute() override;
    // Interrupts the running task and wakes the loop.
    void executionCancelled() override;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Threading
