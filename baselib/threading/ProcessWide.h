#pragma once

#include <new>
#include <utility>

namespace Threading::Internal {

// Holds a process-wide object of the library: made on first use and never destroyed. Static
// destructors and atexit handlers run in an order that no library controls, and any of them
// may still release a shared object, take a class lock or write a trace line; so no
// process-wide object ends before the process does. Declared as a function-local static it
// is made once, thread-safely, and registers no destructor.
template <class T>
class ProcessWide {
public:
    template <class... Arguments>
    explicit ProcessWide(Arguments&&... arguments)
        : m_object(*new (m_storage) T(std::forward<Arguments>(arguments)...))
    {
    }
    ProcessWide(const ProcessWide&) = delete;
    ProcessWide& operator=(const ProcessWide&) = delete;

    T& get() { return m_object; }

private:
    alignas(T) unsigned char m_storage[sizeof(T)];
    T& m_object;
};

} // namespace Threading::Internal
