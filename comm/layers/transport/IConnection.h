#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/signals/DeferredDelete.h"
#include "baselib/time/TimeDuration.h"
#include "baselib/time/Timeout.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"
#include "comm/pdu/IteratorPair.h"
#include "comm/serial/SerialTypes.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <memory>
#include <string>

namespace KelComm::LayerInterfaces::TransportLayer {

class IConnection;
class ITransportLayer;

class IConnectionSignalTable {
public:
    // The connection is open and carries units.
    virtual void opened(IConnection* connection) = 0;
    // The connection closed, on request or because the line went away.
    virtual void closed(IConnection* connection) = 0;
    // A unit arrived and waits to be received.
    virtual void unitReceived(IConnection* connection) = 0;
    // A transfer failed; the connection stays open.
    virtual void failed(IConnection* connection, const KelBase::Exception& error) = 0;

protected:
    ~IConnectionSignalTable() = default;
};

// A connection to one peer through a transport layer, carrying whole units. Objects are
// shared through share() and deleted through the deferred-deletion handshake once the last
// reference has gone. Each object has a name "'obj:IConnection#n'", n counting the objects
// of the process from 1.
class KELCOMM_EXPORT IConnection : public KelBase::DeferredDelete<IConnection, 1>,
                                   public KelBase::Internal::EnableSharedFromThis<IConnection, 1>,
                                   private boost::noncopyable {
public:
    using SignalTable = IConnectionSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    ~IConnection() override;

    SignalSubject& signalSubject() const { return *m_signalSubject; }
    const std::wstring& objectName() const { return m_objectName; }

    // The peer, in the transport layer's own notation.
    virtual std::wstring peerAddress() const = 0;
    virtual boost::shared_ptr<ITransportLayer> transportLayer() const = 0;

    virtual void open(const KelTime::Timeout& deadline) = 0;
    virtual void close() = 0;
    virtual bool isOpened() const = 0;

    // The largest unit the connection carries, in bytes.
    virtual std::size_t maxUnitSize() const = 0;
    virtual Serial::IO_Result send(PDU::ConstBytes unit, const KelTime::Timeout& deadline) = 0;
    // Takes the next received unit into buffer; *size (when given) gets its length.
    virtual Serial::IO_Result receive(PDU::MutableBytes buffer, std::size_t* size,
                                      const KelTime::Timeout& deadline) = 0;
    virtual Serial::IO_Result waitForUnit(const KelTime::Timeout& deadline) = 0;
    virtual std::size_t pendingUnits() const = 0;
    virtual void discardPending() = 0;

    // How long a peer may take to answer.
    virtual KelTime::TimeDuration responseTimeout() const = 0;
    virtual void setResponseTimeout(KelTime::TimeDuration timeout) = 0;

    // Ends blocked transfers as Aborted and refuses new ones until clearAbort().
    virtual void abort() = 0;
    virtual void clearAbort() = 0;

    virtual unsigned long unitsSent() const = 0;
    virtual unsigned long unitsReceived() const = 0;
    virtual unsigned long errorCount() const = 0;
    virtual void resetCounters() = 0;

protected:
    IConnection();

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
    const std::wstring m_objectName;
};

} // namespace KelComm::LayerInterfaces::TransportLayer
