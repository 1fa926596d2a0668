#pragma once

#include "baselib/signals/SignalSubject.h"

namespace KelBase {

// The base of a listener to subjects of class Subject. It is connected to at most one
// subject at a time; connecting moves it, and destruction disconnects it. A class that
// overrides the signals must still disconnect in its own destructor, before its part of
// the object is gone, when a raise could reach it from another thread.
template <class Subject>
class SignalObserver : public Internal::BasicSignalObserver<typename Subject::SignalTable> {
public:
    void connect(Subject& subject)
    {
        const typename Subject::WriteLock lock;
        if (this->m_connectedSubject == &subject)
            return;
        if (this->m_connectedSubject)
            connectedSubject()->detach(this);
        subject.attach(this);
    }

    void disconnect()
    {
        const typename Subject::WriteLock lock;
        if (this->m_connectedSubject)
            connectedSubject()->detach(this);
    }

    bool isConnected() const
    {
        const typename Subject::ReadLock lock;
        return this->m_connectedSubject != nullptr;
    }

    bool isConnectedTo(const Subject& subject) const
    {
        const typename Subject::ReadLock lock;
        return this->m_connectedSubject == &subject;
    }

protected:
    SignalObserver() = default;
    ~SignalObserver() { disconnect(); }

private:
    Subject* connectedSubject() const { return static_cast<Subject*>(this->m_connectedSubject); }
};

} // namespace KelBase
