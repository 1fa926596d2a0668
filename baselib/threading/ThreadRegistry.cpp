#include "baselib/threading/ThreadRegistry.h"

#include "baselib/threading/StaticInitializer.h"

#include <algorithm>
#include <atomic>

namespace Threading::Internal {

ThreadRegistry& ThreadRegistry::instance()
{
    // Only the first use takes the static-initialisation mutex: a new thread registering
    // itself must not wait for whoever holds that mutex (it may be waiting for the thread).
    static std::atomic<ThreadRegistry*> registry{nullptr};
    ThreadRegistry* existing = registry.load(std::memory_order_acquire);
    if (!existing) {
        ScopedLock lock(BasicStaticInitializer::syncMutex());
        existing = registry.load(std::memory_order_relaxed);
        if (!existing) {
            existing = new ThreadRegistry;
            registry.store(existing, std::memory_order_release);
        }
    }
    return *existing;
}

void ThreadRegistry::add(const Entry& entry)
{
    ScopedLock lock(m_mutex);
    m_entries.push_back(entry);
}

void ThreadRegistry::remove(const ActiveObject* object)
{
    ScopedLock lock(m_mutex);
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [object](const Entry& entry) { return entry.object == object; });
    if (found != m_entries.end())
        m_entries.erase(found);
}

ThreadRegistry::Entry ThreadRegistry::findByObject(const ActiveObject* object) const
{
    ScopedLock lock(m_mutex);
    for (const Entry& entry : m_entries)
        if (entry.object == object)
            return entry;
    return {};
}

ThreadRegistry::Entry ThreadRegistry::findByHandle(pthread_t handle) const
{
    ScopedLock lock(m_mutex);
    for (const Entry& entry : m_entries)
        if (pthread_equal(entry.handle, handle))
            return entry;
    return {};
}

} // namespace Threading::Internal
