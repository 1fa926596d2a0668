#include "comm/serial/CommTimeouts.h"

#include "baselib/signals/SignalRaiser.h"

namespace KelComm::Serial {

struct CommTimeouts::Impl {
    Impl(KelTime::TimeDuration response, KelTime::TimeDuration interval)
        : responseTimeout(response), intervalTimeout(interval)
    {
    }

    KelTime::TimeDuration responseTimeout;
    KelTime::TimeDuration intervalTimeout;
    SignalSubject subject;
};

CommTimeouts::CommTimeouts()
    : m_impl(std::make_unique<Impl>(KelTime::TimeDuration::infinity(), KelTime::TimeDuration::infinity()))
{
}

CommTimeouts::CommTimeouts(KelTime::TimeDuration responseTimeout, KelTime::TimeDuration intervalTimeout)
    : m_impl(std::make_unique<Impl>(responseTimeout, intervalTimeout))
{
}

CommTimeouts::CommTimeouts(const CommTimeouts& other)
    : m_impl(std::make_unique<Impl>(other.m_impl->responseTimeout, other.m_impl->intervalTimeout))
{
}

CommTimeouts::~CommTimeouts() = default;

CommTimeouts& CommTimeouts::operator=(const CommTimeouts& other)
{
    m_impl->responseTimeout = other.m_impl->responseTimeout;
    m_impl->intervalTimeout = other.m_impl->intervalTimeout;
    raiseChanged();
    return *this;
}

CommTimeouts::SignalSubject& CommTimeouts::signalSubject() const { return m_impl->subject; }

void CommTimeouts::getReadTimeouts(KelTime::TimeDuration& responseTimeout,
                                   KelTime::TimeDuration& intervalTimeout) const
{
    responseTimeout = m_impl->responseTimeout;
    intervalTimeout = m_impl->intervalTimeout;
}

void CommTimeouts::setReadTimeouts(KelTime::TimeDuration responseTimeout, KelTime::TimeDuration intervalTimeout)
{
    bool differed = false;
    if (responseTimeout != m_impl->responseTimeout) {
        m_impl->responseTimeout = responseTimeout;
        differed = true;
    }
    if (intervalTimeout != m_impl->intervalTimeout) {
        m_impl->intervalTimeout = intervalTimeout;
        differed = true;
    }
    if (differed)
        raiseChanged();
}

void CommTimeouts::raiseChanged()
{
    const KelBase::SignalRaiser<SignalSubject> raise(m_impl->subject);
    raise(&SignalTable::changed, this);
}

} // namespace KelComm::Serial
