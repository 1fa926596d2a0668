#include "comm/serial/CommTimeouts.h"
#include "comm/settings/NodeClass.h"
#include "comm/settings/SettingsTraits.h"

namespace KelComm::Serial {

namespace {
const std::string timeoutsClassName = "KelComm::Serial::CommTimeouts";
}

bool CommTimeouts::operator()(s11n::s11n_node& node) const
{
    KelTime::TimeDuration responseTimeout;
    KelTime::TimeDuration intervalTimeout;
    getReadTimeouts(responseTimeout, intervalTimeout);
    // Built apart and swapped in, as for the line settings.
    s11n::s11n_node saved(node.name(), timeoutsClassName);
    const bool complete = s11n::serialize_subnode(saved, "responseTimeout", responseTimeout) &&
                          s11n::serialize_subnode(saved, "intervalTimeout", intervalTimeout);
    if (complete)
        node.swap(saved);
    return complete;
}

bool CommTimeouts::operator()(const s11n::s11n_node& node)
{
    Internal::requireNodeClass(node, timeoutsClassName);
    KelTime::TimeDuration responseTimeout;
    KelTime::TimeDuration intervalTimeout;
    if (!(Internal::loadChild(node, "responseTimeout", responseTimeout) &&
          Internal::loadChild(node, "intervalTimeout", intervalTimeout)))
        return false;
    // A wait cannot last less than nothing.
    if (responseTimeout.days() < 0 || intervalTimeout.days() < 0)
        return false;
    // Stores both and raises changed once, as the line settings do.
    *this = CommTimeouts(responseTimeout, intervalTimeout);
    return true;
}

} // namespace KelComm::Serial
