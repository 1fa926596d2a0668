#pragma once

#include "baselib/signals/SingleItemContainer.h"
#include "baselib/signals/SynchronizationModel.h"

#include <boost/noncopyable.hpp>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace KelBase {

struct NullType {};

template <class SignalTableType, class Unused, template <class, class> class Container,
          class SynchronizationModel, template <class> class Allocator>
class SignalSubject;
template <class Subject>
class SignalObserver;
template <class Subject>
class SignalRaiser;

namespace Internal {

// What a subject holds of an observer: the signal table to call, and the subject the
// observer is connected to, which only the subject's lock guards.
template <class SignalTable>
class BasicSignalObserver : public SignalTable {
protected:
    BasicSignalObserver() = default;
    ~BasicSignalObserver() = default;
    BasicSignalObserver(const BasicSignalObserver&) = delete;
    BasicSignalObserver& operator=(const BasicSignalObserver&) = delete;

    void* m_connectedSubject = nullptr;

    template <class, class, template <class, class> class, class, template <class> class>
    friend class KelBase::SignalSubject;
};

} // namespace Internal

// The observers of one object's signals. SignalTable is an abstract class whose pure virtual
// operations are the signals; observers derive from SignalObserver<SignalSubject<...>> and
// connect and disconnect themselves; the owner raises through a SignalRaiser.
template <class SignalTableType, class Unused = NullType,
          template <class, class> class Container = std::vector,
          class SynchronizationModel = Threading::SynchronizationModel::Single,
          template <class> class Allocator = std::allocator>
class SignalSubject : private boost::noncopyable {
public:
    using SignalTable = SignalTableType;
    using Observer = Internal::BasicSignalObserver<SignalTable>;
    using ReadLock = typename SynchronizationModel::template ReadLock<SignalSubject>;
    using WriteLock = typename SynchronizationModel::template WriteLock<SignalSubject>;

    SignalSubject() { SynchronizationModel::template prepare<SignalSubject>(); }

    // Observers still connected are told that they no longer are. A subject without
    // observers takes no lock: nothing refers to it, and a value destroyed under another
    // lock must not wait for the class lock.
    ~SignalSubject()
    {
        if (m_observers.empty())
            return;
        const WriteLock lock;
        for (Observer* observer : m_observers)
            observer->m_connectedSubject = nullptr;
    }

    std::size_t observerCount() const
    {
        const ReadLock lock;
        return m_observers.size();
    }

private:
    friend class SignalObserver<SignalSubject>;
    friend class SignalRaiser<SignalSubject>;

    // Both under the write lock.
    void attach(Observer* observer)
    {
        if (m_observers.size() == m_observers.max_size()) {
            m_observers.front()->m_connectedSubject = nullptr;
            m_observers.erase(m_observers.begin());
        }
        m_observers.push_back(observer);
        observer->m_connectedSubject = this;
    }

    void detach(Observer* observer)
    {
        const auto position = std::find(m_observers.begin(), m_observers.end(), observer);
        if (position != m_observers.end())
            m_observers.erase(position);
        observer->m_connectedSubject = nullptr;
    }

    bool holds(const Observer* observer) const
    {
        return std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end();
    }

    Container<Observer*, Allocator<Observer*>> m_observers;
};

} // namespace KelBase
