#include "comm/serial/PortAccess.h"

#include "baselib/platform/Conversion.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"

#include <cerrno>
#include <exception>
#include <vector>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KelComm::Serial {

namespace {
constexpr std::size_t groupBufferSize = 16384;

std::string groupName(gid_t id)
{
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(groupBufferSize);
    if (getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->gr_name;
    return std::to_string(id);
}
} // namespace

std::optional<DeniedAccess> deniedAccess(const std::wstring& portName)
{
    std::uint16_t number = 0;
    try {
        number = Internal::parsePortName(portName);
        // A port on a device server, or an entry naming none, has no device node to guard.
        if (number && Internal::networkEntry(number))
            return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!number)
        return std::nullopt;
    const std::string path = Internal::resolvePortPath(number);
    struct stat node{};
    if (access(path.c_str(), R_OK | W_OK) == 0 || errno != EACCES || stat(path.c_str(), &node) != 0)
        return std::nullopt;
    return DeniedAccess{KelBase::Conversion::stringFromUTF8(path),
                        KelBase::Conversion::stringFromUTF8(groupName(node.st_gid))};
}

} // namespace KelComm::Serial
