#pragma once

#include "baselib/signals/SignalSubject.h"

#include <vector>

namespace KelBase {

// Raises the signals of one subject: raiser(&SignalTable::signal, arguments...) calls the
// signal on every connected observer in connection order, in the calling thread, holding
// the subject's read lock. An exception from an observer ends the raise and propagates.
template <class Subject>
class SignalRaiser {
public:
    explicit SignalRaiser(Subject& subject) : m_subject(subject) {}

    template <class... Parameters, class... Arguments>
    void operator()(void (Subject::SignalTable::*signal)(Parameters...), Arguments&&... arguments) const
    {
        const typename Subject::ReadLock lock;
        // Without a lock an observer may disconnect itself or another observer from inside
        // its handler: walk a copy and skip whoever left meanwhile.
        const std::vector<typename Subject::Observer*> observers(m_subject.m_observers.begin(),
                                                                 m_subject.m_observers.end());
        for (auto* observer : observers)
            if (m_subject.holds(observer))
                (observer->*signal)(arguments...);
    }

private:
    Subject& m_subject;
};

} // namespace KelBase
