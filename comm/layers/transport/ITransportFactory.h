#pragma once

#include "comm/Export.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

namespace KelComm::LayerInterfaces::TransportLayer {

class ITransportLayer;
class ITransportOptions;

// Makes transport layers of one kind.
class KELCOMM_EXPORT ITransportFactory : private boost::noncopyable {
public:
    virtual ~ITransportFactory();

    // The options the next layer is made with; owned by the factory.
    virtual ITransportOptions& options() = 0;
    virtual boost::shared_ptr<ITransportLayer> createTransportLayer() = 0;

protected:
    ITransportFactory() = default;
};

} // namespace KelComm::LayerInterfaces::TransportLayer
