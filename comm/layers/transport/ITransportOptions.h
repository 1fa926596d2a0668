#pragma once

#include "comm/Export.h"
#include "comm/serial/CommSettings.h"

#include <boost/noncopyable.hpp>

#include <string>

namespace KelComm::LayerInterfaces::TransportLayer {

// The options a transport layer is made with. Owned by its factory, never deleted through
// this interface.
class KELCOMM_EXPORT ITransportOptions : private boost::noncopyable {
public:
    virtual std::wstring portName() const = 0;
    virtual void setPortName(const std::wstring& name) = 0;
    virtual Serial::CommSettings lineSettings() const = 0;
    virtual void setLineSettings(const Serial::CommSettings& settings) = 0;

protected:
    ITransportOptions() = default;
    virtual ~ITransportOptions() = 0;
};

} // namespace KelComm::LayerInterfaces::TransportLayer
