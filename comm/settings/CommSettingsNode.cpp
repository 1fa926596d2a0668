#include "comm/serial/CommSettings.h"
#include "comm/settings/NodeClass.h"
#include "comm/settings/SettingsTraits.h"

namespace KelComm::Serial {

namespace {
const std::string settingsClassName = "KelComm::Serial::CommSettings";
}

bool CommSettings::operator()(s11n::s11n_node& node) const
{
    // Built apart and swapped in: a failed save leaves the node as it was, and a second save
    // into the same node does not leave the first one's children ahead of its own, where a
    // load would find them.
    s11n::s11n_node saved(node.name(), settingsClassName);
    const bool complete = s11n::serialize_subnode(saved, "baudRate", baudRate()) &&
                          s11n::serialize_subnode(saved, "byteSize", byteSize()) &&
                          s11n::serialize_subnode(saved, "parity", parity()) &&
                          s11n::serialize_subnode(saved, "stopBits", stopBits()) &&
                          s11n::serialize_subnode(saved, "dtrControl", dtrControl()) &&
                          s11n::serialize_subnode(saved, "rtsControl", rtsControl());
    if (complete)
        node.swap(saved);
    return complete;
}

bool CommSettings::operator()(const s11n::s11n_node& node)
{
    Internal::requireNodeClass(node, settingsClassName);
    long loadedBaudRate = 0;
    int loadedByteSize = 0;
    Parity loadedParity;
    StopBits loadedStopBits;
    DTR_Control loadedDtrControl;
    RTS_Control loadedRtsControl;
    if (!(Internal::loadChild(node, "baudRate", loadedBaudRate) &&
          Internal::loadChild(node, "byteSize", loadedByteSize) &&
          Internal::loadChild(node, "parity", loadedParity) &&
          Internal::loadChild(node, "stopBits", loadedStopBits) &&
          Internal::loadChild(node, "dtrControl", loadedDtrControl) &&
          Internal::loadChild(node, "rtsControl", loadedRtsControl)))
        return false;
    // The constructor checks the baud rate and then the byte size before anything here
    // changes; the assignment stores all six and raises changed once.
    *this = CommSettings(loadedBaudRate, loadedByteSize, loadedParity, loadedStopBits, loadedDtrControl,
                         loadedRtsControl);
    return true;
}

} // namespace KelComm::Serial
