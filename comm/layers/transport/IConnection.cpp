#include "comm/layers/transport/IConnection.h"

#include "comm/layers/ObjectName.h"

namespace KelComm::LayerInterfaces::TransportLayer {

namespace {
std::atomic<int> connectionSerial{0};
}

IConnection::IConnection() : m_objectName(Internal::nextObjectName(L"IConnection", connectionSerial))
{
    Internal::traceLifetime(L"KelComm::LayerInterfaces::TransportLayer::IConnection::IConnection", m_objectName);
}

IConnection::~IConnection()
{
    m_signalSubject.reset();
    Internal::traceLifetime(L"KelComm::LayerInterfaces::TransportLayer::IConnection::~IConnection", m_objectName);
}

} // namespace KelComm::LayerInterfaces::TransportLayer
