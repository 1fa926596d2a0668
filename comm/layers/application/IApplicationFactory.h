#pragma once

#include "comm/Export.h"

#include <boost/shared_ptr.hpp>

namespace KelComm::LayerInterfaces::TransportLayer {
class IConnection;
}

namespace KelComm::LayerInterfaces::ApplicationLayer {

class IApplicationLayer;
class IApplicationOptions;

// Makes application layers of one kind over transport connections.
class KELCOMM_EXPORT IApplicationFactory {
public:
    virtual ~IApplicationFactory();

    // The options the next layer is made with; owned by the factory.
    virtual IApplicationOptions& options() = 0;
    virtual boost::shared_ptr<IApplicationLayer>
    createApplicationLayer(const boost::shared_ptr<TransportLayer::IConnection>& connection) = 0;

protected:
    IApplicationFactory() = default;
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
