#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/signals/DeferredDelete.h"
#include "baselib/time/Timeout.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>

namespace KelComm::LayerInterfaces::TransportLayer {
class IConnection;
}

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IApplicationLayer;
class IClientStream;
class IEventConsumer;
class IFunctionCall;
class IOutgoingConnection;

class IApplicationLayerSignalTable {
public:
    virtual void started(IApplicationLayer* layer) = 0;
    virtual void stopped(IApplicationLayer* layer) = 0;
    // The layer lost its transport connection or could not go on; it has stopped.
    virtual void failed(IApplicationLayer* layer, const KelBase::Exception& error) = 0;

protected:
    ~IApplicationLayerSignalTable() = default;
};

// The application protocol over one transport connection: it runs between start() and
// stop() and makes the streams, connections and calls to the devices behind it. Shared and
// deleted through the deferred-deletion handshake.
class KELCOMM_EXPORT IApplicationLayer : public KelBase::DeferredDelete<IApplicationLayer, 1>,
                                         public KelBase::Internal::EnableSharedFromThis<IApplicationLayer, 1>,
                                         private boost::noncopyable {
public:
    using SignalTable = IApplicationLayerSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    ~IApplicationLayer() override;

    SignalSubject& signalSubject() const { return *m_signalSubject; }

    virtual boost::shared_ptr<TransportLayer::IConnection> transportConnection() const = 0;
    virtual void start(const KelTime::Timeout& deadline) = 0;
    virtual void stop() = 0;
    virtual bool isStarted() const = 0;
    virtual boost::shared_ptr<IClientStream> openClientStream(const std::wstring& streamName) = 0;
    virtual boost::shared_ptr<IOutgoingConnection> createOutgoingConnection(unsigned int address) = 0;
    virtual std::unique_ptr<IFunctionCall> createFunctionCall(unsigned int address, unsigned int function) = 0;
    // Events that devices send unasked go to consumer; null drops them. Not owned.
    virtual void setEventConsumer(IEventConsumer* consumer) = 0;

protected:
    IApplicationLayer() = default;

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
