#pragma once

#include "baselib/Export.h"

#include <atomic>

namespace KelBase::Internal {

// The release handshake of an object that other threads may still be using when its owner
// wants it gone: whoever holds the last use calls signalReleased(), the owner waits in
// waitReleased() before deleting. The mark is never cleared.
class KELBASE_EXPORT DeferredDeleteBase {
public:
    DeferredDeleteBase(const DeferredDeleteBase&) = delete;
    DeferredDeleteBase& operator=(const DeferredDeleteBase&) = delete;

protected:
    DeferredDeleteBase() = default;
    ~DeferredDeleteBase() = default;

    // Marks the object released and wakes every thread waiting for it. The object is not
    // touched after the mark is set, so a waiter may delete it at once.
    void signalReleased();
    // Returns once the object is marked released; at once when it is already.
    void waitReleased();
    bool releasedComplete() const { return m_released.fetch_add(0) != 0; }
    // For operations that reach an object whose release has begun.
    [[noreturn]] static void throwReleased();

private:
    // Threads that have begun waiting; only ever grows.
    std::atomic<int> m_waiters{0};
    mutable std::atomic<int> m_released{0};
};

} // namespace KelBase::Internal
