// The destructors of the application interfaces: each deletes the interface's subject.
#include "comm/layers/application/IApplicationFactory.h"
#include "comm/layers/application/IApplicationLayer.h"
#include "comm/layers/application/IApplicationOptions.h"
#include "comm/layers/application/IClientStream.h"
#include "comm/layers/application/IDeviceIdentificationClient.h"
#include "comm/layers/application/IEventConsumer.h"
#include "comm/layers/application/IFunctionCall.h"
#include "comm/layers/application/IOutgoingConnection.h"
#include "comm/layers/application/IStreamReceiver.h"
#include "comm/layers/application/IStreamTransmitter.h"

namespace KelComm::LayerInterfaces::ApplicationLayer {

IApplicationLayer::~IApplicationLayer() = default;
IApplicationOptions::~IApplicationOptions() = default;
IApplicationFactory::~IApplicationFactory() = default;
IClientStream::~IClientStream() = default;
IOutgoingConnection::~IOutgoingConnection() = default;
IDeviceIdentificationClient::~IDeviceIdentificationClient() = default;
IStreamTransmitter::~IStreamTransmitter() = default;
IStreamReceiver::~IStreamReceiver() = default;
IFunctionCall::~IFunctionCall() = default;
IEventConsumer::~IEventConsumer() = default;

} // namespace KelComm::LayerInterfaces::ApplicationLayer
