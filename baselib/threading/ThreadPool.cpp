#include "baselib/threading/ThreadPool.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"
#include "baselib/threading/Mutex.h"
#include "baselib/threading/TaskQueueThreadProxy.h"

#include <cstring>
#include <string>
#include <vector>

namespace Threading {

using Internal::TaskQueueThreadProxy;

class ThreadPool::Impl {
public:
    explicit Impl(unsigned int maxWorkers) : m_maxWorkers(maxWorkers) {}
    ~Impl();

    void addWorker();
    // The queue of the worker chosen for the next task; under the mutex.
    TaskQueue& chooseWorker();

    Mutex mutex;

private:
    const unsigned int m_maxWorkers;
    std::vector<std::unique_ptr<TaskQueueThreadProxy>> m_workers;
};

ThreadPool::Impl::~Impl()
{
    for (auto& worker : m_workers) {
        worker->stop();
        KelConsole::writeTraceLine(L"Task queue in thread pool deleted");
        worker.reset();
    }
}

void ThreadPool::Impl::addWorker()
{
    m_workers.reserve(m_workers.size() + 1);
    m_workers.push_back(std::make_unique<TaskQueueThreadProxy>());
    KelConsole::writeTraceLine(L"Task queue in thread pool created");
}

TaskQueue& ThreadPool::Impl::chooseWorker()
{
    TaskQueue* least = nullptr;
    std::size_t leastCount = 0;
    for (auto& worker : m_workers) {
        // A worker that only runs a task has none waiting: it counts as free.
        const std::size_t count = worker->queue().taskCount();
        if (!least || count < leastCount) {
            least = &worker->queue();
            leastCount = count;
        }
        if (count == 0)
            return *least;
    }
    if (m_workers.size() < m_maxWorkers) {
        addWorker();
        return m_workers.back()->queue();
    }
    if (!least) {
        const char* const signature = __PRETTY_FUNCTION__;
        throw ThreadingException(std::wstring(signature, signature + std::strlen(signature)) +
                                 L" not valid in this state");
    }
    return *least;
}

ThreadPool::ThreadPool(unsigned int min, unsigned int max) : m_impl(std::make_unique<Impl>(max))
{
    // Workers made before a failure go with m_impl.
    for (unsigned int i = 0; i < min; ++i)
        m_impl->addWorker();
}

ThreadPool::~ThreadPool() = default;

void ThreadPool::pushTask(Task& task)
{
    const ScopedLock lock(m_impl->mutex);
    m_impl->chooseWorker().pushTask(task);
}

void ThreadPool::pushTask(std::unique_ptr<Task> task)
{
    const ScopedLock lock(m_impl->mutex);
    m_impl->chooseWorker().pushTask(std::move(task));
}

} // namespace Threading
