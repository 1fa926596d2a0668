#pragma once

#include "baselib/signals/DeferredDelete.h"
#include "comm/Export.h"
#include "comm/layers/LayerSubjects.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>

namespace KelComm::LayerInterfaces::TransportLayer {

class IConnection;
class ITransportLayer;

class ITransportLayerSignalTable {
public:
    virtual void started(ITransportLayer* layer) = 0;
    virtual void stopped(ITransportLayer* layer) = 0;
    virtual void connectionCreated(ITransportLayer* layer, IConnection* connection) = 0;

protected:
    ~ITransportLayerSignalTable() = default;
};

// A transport layer on one line: it runs between start() and stop() and makes the
// connections to its peers. Shared and deleted as IConnection is; each object has a name
// "'obj:ITransportLayer#n'", counted apart from the connections.
class KELCOMM_EXPORT ITransportLayer : public KelBase::DeferredDelete<ITransportLayer, 1>,
                                       public KelBase::Internal::EnableSharedFromThis<ITransportLayer, 1>,
                                       private boost::noncopyable {
public:
    using SignalTable = ITransportLayerSignalTable;
    using SignalSubject = SharedSignalSubject<SignalTable>;

    ~ITransportLayer() override;

    SignalSubject& signalSubject() const { return *m_signalSubject; }
    const std::wstring& objectName() const { return m_objectName; }

    // What the layer runs on, for messages.
    virtual std::wstring description() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isStarted() const = 0;
    virtual boost::shared_ptr<IConnection> createConnection(const std::wstring& peerAddress) = 0;

protected:
    ITransportLayer();

    KelBase::SignalRaiser<SignalSubject> signalRaiser() const
    {
        return KelBase::SignalRaiser<SignalSubject>(*m_signalSubject);
    }

private:
    std::unique_ptr<SignalSubject> m_signalSubject = std::make_unique<SignalSubject>();
    const std::wstring m_objectName;
};

} // namespace KelComm::LayerInterfaces::TransportLayer
