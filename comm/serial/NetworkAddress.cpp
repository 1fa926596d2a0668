#include "comm/serial/NetworkAddress.h"

#include "baselib/platform/Conversion.h"
#include "comm/serial/FirstLine.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"

#include <boost/format.hpp>

#include <algorithm>
#include <cctype>
#include <string_view>

#include <arpa/inet.h>
#include <net/if.h>

namespace KelComm::Serial::Internal {

namespace {
struct Scheme {
    std::string_view prefix;
    NetworkAddress::Protocol protocol;
};
constexpr Scheme schemes[] = {{"rfc2217://", NetworkAddress::Protocol::Rfc2217},
                              {"tcp://", NetworkAddress::Protocol::RawTcp}};
// Editors on other systems start a UTF-8 file with it.
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t longestHostName = 253;
constexpr std::size_t longestPort = 5;
constexpr unsigned long highestPort = 65535;

[[noreturn]] void throwBadAddress(NetworkEntryMessage what) { throw PortMapException(KelBase::resStr(what)); }

[[noreturn]] void throwBadAddress(NetworkEntryMessage what, std::string_view detail)
{
    throw PortMapException((boost::wformat(KelBase::resStr(what)) %
                            KelBase::Conversion::stringFromUTF8(printable(detail)))
                               .str());
}

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool sameIgnoringCase(std::string_view text, std::string_view lowerCase)
{
    return text.size() == lowerCase.size() &&
           std::equal(text.begin(), text.end(), lowerCase.begin(),
                      [](char c, char lower) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

bool isNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; }

// An address with an optional zone, the interface of a link-local one: fe80::1%eth0.
bool isIpv6(std::string_view host)
{
    const std::size_t percent = host.find('%');
    if (percent != std::string_view::npos) {
        const std::string_view zone = host.substr(percent + 1);
        if (zone.empty() || zone.size() >= IF_NAMESIZE ||
            !std::all_of(zone.begin(), zone.end(), [](char c) { return isNameCharacter(c) || c == '.'; }))
            return false;
    }
    in6_addr address{};
    return inet_pton(AF_INET6, std::string(host.substr(0, percent)).c_str(), &address) == 1;
}

// Dot-separated labels of letters, digits, hyphens and underscores, none empty (but for the
// root after a final dot) and none starting or ending with a hyphen: a name or an IPv4
// address. Anything else (a blank, user@, a second colon) would only fail later as an
// unreachable server.
bool isPlainHost(std::string_view host)
{
    if (host.size() > longestHostName)
        return false;
    if (host.back() == '.')
        host.remove_suffix(1);
    for (std::size_t start = 0; start <= host.size();) {
        const std::size_t end = std::min(host.find('.', start), host.size());
        const std::string_view label = host.substr(start, end - start);
        if (label.empty() || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(), isNameCharacter))
            return false;
        start = end + 1;
    }
    return true;
}

// HOST:PORT with HOST in brackets, or without them: the host, and what follows it.
std::pair<std::string_view, std::string_view> splitHost(std::string_view rest)
{
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || !isIpv6(rest.substr(1, close - 1)))
            throwBadAddress(NetworkEntryMessage::BadHost, rest.substr(0, close == std::string_view::npos ? rest.size() : close + 1));
        return {rest.substr(1, close - 1), rest.substr(close + 1)};
    }
    const std::size_t colon = rest.rfind(':');
    const std::string_view host = rest.substr(0, colon);
    if (isIpv6(host))
        throwBadAddress(NetworkEntryMessage::UnbracketedIpv6, host);
    if (host.empty())
        throwBadAddress(NetworkEntryMessage::NoHost);
    if (!isPlainHost(host))
        throwBadAddress(NetworkEntryMessage::BadHost, host);
    return {host, colon == std::string_view::npos ? std::string_view() : rest.substr(colon)};
}

std::uint16_t portNumber(std::string_view afterHost)
{
    if (afterHost.empty() || afterHost.front() != ':')
        throwBadAddress(NetworkEntryMessage::NoPort);
    const std::string_view port = afterHost.substr(1);
    if (port.empty() || port.size() > longestPort || port.find_first_not_of("0123456789") != std::string_view::npos)
        throwBadAddress(NetworkEntryMessage::BadPort);
    const unsigned long number = std::stoul(std::string(port));
    if (number == 0 || number > highestPort)
        throwBadAddress(NetworkEntryMessage::BadPort);
    return static_cast<std::uint16_t>(number);
}
} // namespace

NetworkAddress parseNetworkAddress(const std::string& line)
{
    std::string_view text(line);
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark)
        text.remove_prefix(byteOrderMark.size());
    NetworkAddress address;
    address.url = std::string(trimmed(text));
    const std::string_view url(address.url);
    // Schemes are case-insensitive.
    const auto scheme = std::find_if(std::begin(schemes), std::end(schemes), [&](const Scheme& known) {
        return sameIgnoringCase(url.substr(0, known.prefix.size()), known.prefix);
    });
    if (scheme == std::end(schemes))
        throwBadAddress(NetworkEntryMessage::UnknownScheme);
    address.protocol = scheme->protocol;
    std::string_view rest = url.substr(scheme->prefix.size());
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    const auto [host, afterHost] = splitHost(rest);
    if (host.empty())
        throwBadAddress(NetworkEntryMessage::NoHost);
    address.port = portNumber(afterHost);
    address.host = std::string(host);
    return address;
}

} // namespace KelComm::Serial::Internal
