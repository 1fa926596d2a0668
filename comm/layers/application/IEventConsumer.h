#pragma once

#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"
#include "comm/pdu/IteratorPair.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IEventConsumer;

class IEventConsumerSignalTable {
public:
    virtual void consumed(IEventConsumer* consumer, unsigned int eventCode) = 0;

protected:
    ~IEventConsumerSignalTable() = default;
};

// Takes the events that devices send unasked. Used by one thread; its subject holds at
// most one observer, a second one displacing the first.
class KELCOMM_EXPORT IEventConsumer : private boost::noncopyable {
public:
    using SignalTable = IEventConsumerSignalTable;
    using SignalSubject = SingleThreadSignalSubject<SignalTable, KelBase::SingleItemContainer>;

    virtual ~IEventConsumer();

    // Whether events with this code are wanted; others are not delivered.
    virtual bool accepts(unsigned int eventCode) const = 0;
    // The data is valid during the call only.
    virtual void consume(unsigned int eventCode, PDU::ConstBytes data) = 0;
    // count events were lost before they could be delivered.
    virtual void eventsLost(unsigned long count) = 0;

protected:
    IEventConsumer() = default;

    SignalSubject& signalSubject() const { return *m_signalSubject; }
    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
