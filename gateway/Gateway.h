#pragma once

#include "gateway/DevicePublisher.h"
#include "gateway/GatewayOptions.h"

#include <memory>
#include <vector>

namespace VPanel::Gateway {

// Every device of a site kept linked and on the broker.
class Gateway {
public:
    // `base` carries what every link shares (language, device names); `password` goes to the
    // broker only. Throws when the broker options are refused.
    Gateway(const GatewayOptions& options, const QString& password, const Panel::LinkParameters& base);
    ~Gateway();

    void start();
    // Every device's state reads "gateway offline", then the links stop.
    void stop();

private:
    std::vector<std::unique_ptr<Host::KeptDevice>> m_devices;
    std::vector<std::unique_ptr<DevicePublisher>> m_publishers;
};

} // namespace VPanel::Gateway
