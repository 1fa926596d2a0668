#pragma once

#include "baselib/signals/SignalSubject.h"

#include <exception>
#include <vector>

namespace KelBase {

// Raises the signals of one subject: raiser(&SignalTable::signal, arguments...) calls the
// signal on every connected observer in connection order, in the calling thread, holding
// the subject's read lock. An exception from an observer ends the raise and propagates;
// raiseEach() instead hands a std::exception to the caller's handler with the observer that
// threw it and goes on with the next observer.
template <class Subject>
class SignalRaiser {
public:
    explicit SignalRaiser(Subject& subject) : m_subject(subject) {}

    template <class... Parameters, class... Arguments>
    void operator()(void (Subject::SignalTable::*signal)(Parameters...), Arguments&&... arguments) const
    {
        forEachObserver([&](auto* observer) { (observer->*signal)(arguments...); });
    }

    // Calls failed(observer, error) for a std::exception that an observer throws, still under
    // the subject's read lock, and goes on with the next observer.
    template <class Failed, class... Parameters, class... Arguments>
    void raiseEach(Failed failed, void (Subject::SignalTable::*signal)(Parameters...),
                   Arguments&&... arguments) const
    {
        forEachObserver([&](auto* observer) {
            try {
                (observer->*signal)(arguments...);
            } catch (const std::exception& error) {
                failed(static_cast<const typename Subject::Observer&>(*observer), error);
            }
        });
    }

private:
    template <class Call>
    void forEachObserver(Call call) const
    {
        const typename Subject::ReadLock lock;
        // Without a lock an observer may disconnect itself or another observer from inside
        // its handler: walk a copy and skip whoever left meanwhile.
        const std::vector<typename Subject::Observer*> observers(m_subject.m_observers.begin(),
                                                                 m_subject.m_observers.end());
        for (auto* observer : observers)
            if (m_subject.holds(observer))
                call(observer);
    }

    Subject& m_subject;
};

} // namespace KelBase
