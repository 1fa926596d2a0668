#pragma once

#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"
#include "comm/pdu/IteratorPair.h"

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <memory>

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IStreamReceiver;

class IStreamReceiverSignalTable {
public:
    virtual void blockReceived(IStreamReceiver* receiver, std::size_t size) = 0;

protected:
    ~IStreamReceiverSignalTable() = default;
};

// Takes the blocks of a stream that a device sends back, in order.
class KELCOMM_EXPORT IStreamReceiver : private boost::noncopyable {
public:
    using SignalTable = IStreamReceiverSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    virtual ~IStreamReceiver();

    SignalSubject& signalSubject() const { return *m_signalSubject; }

    // The block is valid during the call only.
    virtual void receive(PDU::ConstBytes block) = 0;

protected:
    IStreamReceiver() = default;

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
