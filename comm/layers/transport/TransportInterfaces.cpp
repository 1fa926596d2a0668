// The destructors of the transport interfaces without a state of their own.
#include "comm/layers/transport/ITransportFactory.h"
#include "comm/layers/transport/ITransportOptions.h"

namespace KelComm::LayerInterfaces::TransportLayer {

ITransportOptions::~ITransportOptions() = default;

ITransportFactory::~ITransportFactory() = default;

} // namespace KelComm::LayerInterfaces::TransportLayer
