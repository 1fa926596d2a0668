#pragma once

#include "baselib/time/Timeout.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"
#include "comm/pdu/IteratorPair.h"
#include "comm/serial/SerialTypes.h"

#include <boost/noncopyable.hpp>

#include <cstdint>
#include <memory>

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IStreamTransmitter;

class IStreamTransmitterSignalTable {
public:
    // transmitted bytes of the stream have gone out so far.
    virtual void progress(IStreamTransmitter* transmitter, std::uint64_t transmitted) = 0;
    virtual void finished(IStreamTransmitter* transmitter) = 0;
    virtual void cancelled(IStreamTransmitter* transmitter) = 0;

protected:
    ~IStreamTransmitterSignalTable() = default;
};

// Sends one stream of a known size to a device in blocks: begin(), transmit() until all is
// sent, finish().
class KELCOMM_EXPORT IStreamTransmitter : private boost::noncopyable {
public:
    using SignalTable = IStreamTransmitterSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    virtual ~IStreamTransmitter();

    SignalSubject& signalSubject() const { return *m_signalSubject; }

    virtual void begin(std::uint64_t totalSize, const KelTime::Timeout& deadline) = 0;
    virtual Serial::IO_Result transmit(PDU::ConstBytes block, const KelTime::Timeout& deadline) = 0;
    virtual Serial::IO_Result finish(const KelTime::Timeout& deadline) = 0;
    virtual void cancel() = 0;
    virtual std::uint64_t transmitted() const = 0;

protected:
    IStreamTransmitter() = default;

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
