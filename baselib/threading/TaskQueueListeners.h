#pragma once

#include "baselib/threading/TaskQueue.h"

#include <exception>
#include <string>
#include <typeinfo>

namespace Threading {

// The listeners of one queue and what they are told of its tasks. What a listener throws from
// taskStarted, taskFinished or taskInterrupted is reported, and the others still hear; what
// it throws from taskPushed reaches the pusher.
class TaskQueueListeners {
public:
    TaskQueueSubject& subject() { return m_subject; }
    bool any() const { return m_subject.observerCount() != 0; }

    void pushed(TaskQueue& queue, Task& task);
    // `signature` names the queue's loop in the reports.
    void started(TaskQueue& queue, Task& task, const char* signature);
    void ended(TaskQueue& queue, Task& task, bool interrupted, const char* signature);

private:
    void raiseReporting(void (TaskQueueSignals::*signal)(TaskQueue&, Task&), TaskQueue& queue, Task& task,
                        const char* signature);

    TaskQueueSubject m_subject;
};

// A function's __PRETTY_FUNCTION__ as the queue's reports and exceptions show it.
std::wstring signatureText(const char* prettyFunction);

// Reports an exception that a task or a listener let out into the queue's loop, naming the
// culprit by its kind (a localized word) and its type.
void reportEscapedException(const char* signature, const std::exception& error, const wchar_t* culpritKind,
                            const std::type_info& culprit);

} // namespace Threading
