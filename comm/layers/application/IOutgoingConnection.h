#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/signals/DeferredDelete.h"
#include "baselib/time/Timeout.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"

#include <boost/noncopyable.hpp>

#include <memory>

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IDeviceIdentificationClient;
class IOutgoingConnection;
class IStreamReceiver;
class IStreamTransmitter;

class IOutgoingConnectionSignalTable {
public:
    virtual void opened(IOutgoingConnection* connection) = 0;
    virtual void closed(IOutgoingConnection* connection) = 0;
    virtual void failed(IOutgoingConnection* connection, const KelBase::Exception& error) = 0;

protected:
    ~IOutgoingConnectionSignalTable() = default;
};

// A connection this station opens to the device at one bus address.
class KELCOMM_EXPORT IOutgoingConnection : public KelBase::DeferredDelete<IOutgoingConnection, 1>,
                                           public KelBase::Internal::EnableSharedFromThis<IOutgoingConnection, 1>,
                                           private boost::noncopyable {
public:
    using SignalTable = IOutgoingConnectionSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    ~IOutgoingConnection() override;

    SignalSubject& signalSubject() const { return *m_signalSubject; }

    virtual unsigned int address() const = 0;
    virtual void open(const KelTime::Timeout& deadline) = 0;
    virtual void close() = 0;
    virtual bool isOpened() const = 0;
    // The identification of the device at the other end; owned by the connection.
    virtual IDeviceIdentificationClient& deviceIdentification() = 0;
    // A transmitter of a stream to the device; the device's answers go to receiver, which
    // must outlive the transmitter.
    virtual std::unique_ptr<IStreamTransmitter> createTransmitter(IStreamReceiver& receiver) = 0;

protected:
    IOutgoingConnection() = default;

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
