#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/signals/DeferredDelete.h"
#include "baselib/time/Timeout.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"
#include "comm/pdu/IteratorPair.h"
#include "comm/serial/SerialTypes.h"

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IClientStream;

class IClientStreamSignalTable {
public:
    virtual void opened(IClientStream* stream) = 0;
    virtual void closed(IClientStream* stream) = 0;
    // Data arrived that read() takes without waiting.
    virtual void readyRead(IClientStream* stream) = 0;
    virtual void failed(IClientStream* stream, const KelBase::Exception& error) = 0;

protected:
    ~IClientStreamSignalTable() = default;
};

// A named byte stream kept by a device (a file, a log), read and written by position.
class KELCOMM_EXPORT IClientStream : public KelBase::DeferredDelete<IClientStream, 1>,
                                     public KelBase::Internal::EnableSharedFromThis<IClientStream, 1>,
                                     private boost::noncopyable {
public:
    using SignalTable = IClientStreamSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    ~IClientStream() override;

    SignalSubject& signalSubject() const { return *m_signalSubject; }

    virtual std::wstring streamName() const = 0;
    virtual void open(const KelTime::Timeout& deadline) = 0;
    virtual void close() = 0;
    virtual bool isOpened() const = 0;
    // Up to the buffer's size from the current position; *count (when given) gets the bytes read.
    virtual Serial::IO_Result read(PDU::MutableBytes buffer, std::size_t* count, const KelTime::Timeout& deadline) = 0;
    virtual Serial::IO_Result write(PDU::ConstBytes data, std::size_t* count, const KelTime::Timeout& deadline) = 0;
    virtual bool atEnd() const = 0;
    virtual std::uint64_t position() const = 0;
    virtual void seek(std::uint64_t position) = 0;
    virtual std::uint64_t size() const = 0;
    // Ends a blocked read or write as Aborted.
    virtual void abort() = 0;

protected:
    IClientStream() = default;

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
