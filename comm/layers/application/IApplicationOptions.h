#pragma once

#include "baselib/time/TimeDuration.h"
#include "comm/Export.h"

#include <boost/noncopyable.hpp>

namespace KelComm::LayerInterfaces::ApplicationLayer {

// The options an application layer is made with. Owned by its factory, never deleted
// through this interface.
class KELCOMM_EXPORT IApplicationOptions : private boost::noncopyable {
public:
    // The bus address of this station.
    virtual unsigned int localAddress() const = 0;
    virtual void setLocalAddress(unsigned int address) = 0;
    // How long one request may wait for its reply.
    virtual KelTime::TimeDuration requestTimeout() const = 0;
    virtual void setRequestTimeout(KelTime::TimeDuration timeout) = 0;

protected:
    IApplicationOptions() = default;
    virtual ~IApplicationOptions() = 0;
};

} // namespace KelComm::LayerInterfaces::ApplicationLayer
