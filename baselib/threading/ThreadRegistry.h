#pragma once

#include "baselib/threading/Mutex.h"

#include <pthread.h>

#include <atomic>
#include <memory>
#include <vector>

namespace Threading {

class ActiveObject;

namespace Internal {

// What the handles of one run of an active object share: whether its POSIX thread was
// joined (it must be joined exactly once, whichever handle asks) and how the run ended.
struct ThreadRecord {
    enum JoinState { Creating, Joinable, Joining, Joined };

    explicit ThreadRecord(ActiveObject& runObject) : object(runObject) {}

    ActiveObject& object;
    // Written once by the creating thread before joinState becomes Joinable.
    pthread_t handle{};
    std::atomic<int> joinState{Creating};
    std::atomic<bool> procedureReturned{false};
    std::atomic<int> exitValue{-1};
};

// The process-wide map of running active objects to their threads. An entry lives from the
// start of the thread until its object's execution returned.
class ThreadRegistry {
public:
    struct Entry {
        ActiveObject* object = nullptr;
        pthread_t handle{};
        std::shared_ptr<ThreadRecord> record;
    };

    // Made on first use and never destroyed: threads still running at process exit may use it.
    static ThreadRegistry& instance();

    void add(const Entry& entry);
    void remove(const ActiveObject* object);
    // An entry without object when none matches.
    Entry findByObject(const ActiveObject* object) const;
    Entry findByHandle(pthread_t handle) const;

private:
    ThreadRegistry() = default;

    mutable Mutex m_mutex;
    std::vector<Entry> m_entries;
};

} // namespace Internal
} // namespace Threading
