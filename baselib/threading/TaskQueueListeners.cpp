#include "baselib/threading/TaskQueueListeners.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"
#include "baselib/signals/SignalRaiser.h"

#include <boost/core/demangle.hpp>

#include <cstring>

namespace Threading {

void TaskQueueListeners::pushed(TaskQueue& queue, Task& task)
{
    const KelBase::SignalRaiser<TaskQueueSubject> raiser(m_subject);
    raiser(&TaskQueueSignals::taskPushed, queue, task);
}

void TaskQueueListeners::started(TaskQueue& queue, Task& task, const char* signature)
{
    raiseReporting(&TaskQueueSignals::taskStarted, queue, task, signature);
}

void TaskQueueListeners::ended(TaskQueue& queue, Task& task, bool interrupted, const char* signature)
{
    raiseReporting(interrupted ? &TaskQueueSignals::taskInterrupted : &TaskQueueSignals::taskFinished, queue, task,
                   signature);
}

// The task's run goes on whatever its listeners do.
void TaskQueueListeners::raiseReporting(void (TaskQueueSignals::*signal)(TaskQueue&, Task&), TaskQueue& queue,
                                        Task& task, const char* signature)
{
    const KelBase::SignalRaiser<TaskQueueSubject> raiser(m_subject);
    raiser.raiseEach(
        [signature](const TaskQueueSubject::Observer& listener, const std::exception& error) {
            reportEscapedException(signature, error, L"Слушатель", typeid(listener));
        },
        signal, queue, task);
}

std::wstring signatureText(const char* prettyFunction)
{
    return std::wstring(prettyFunction, prettyFunction + std::strlen(prettyFunction));
}

void reportEscapedException(const char* signature, const std::exception& error, const wchar_t* culpritKind,
                            const std::type_info& culprit)
{
    const std::string name = boost::core::demangle(culprit.name());
    KelConsole::writeErrorReport(signatureText(signature) + L": Необработанное исключение во время исполнения\n(" +
                                 KelBase::exceptionMessage(error) + L")\n" + culpritKind + L" " +
                                 std::wstring(name.begin(), name.end()));
}

} // namespace Threading
