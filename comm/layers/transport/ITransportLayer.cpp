#include "comm/layers/transport/ITransportLayer.h"

#include "comm/layers/ObjectName.h"

namespace KelComm::LayerInterfaces::TransportLayer {

namespace {
std::atomic<int> layerSerial{0};
}

ITransportLayer::ITransportLayer() : m_objectName(Internal::nextObjectName(L"ITransportLayer", layerSerial))
{
    Internal::traceLifetime(L"KelComm::LayerInterfaces::TransportLayer::ITransportLayer::ITransportLayer",
                            m_objectName);
}

ITransportLayer::~ITransportLayer()
{
    m_signalSubject.reset();
    Internal::traceLifetime(L"KelComm::LayerInterfaces::TransportLayer::ITransportLayer::~ITransportLayer",
                            m_objectName);
}

} // namespace KelComm::LayerInterfaces::TransportLayer
