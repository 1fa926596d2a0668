// Opens a pseudo-terminal as port COM5 of a private port map through kelcomm and exchanges
// bytes with it both ways. Exits 0 when both arrive intact.

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/SystemSerialPort.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

using namespace KelComm::Serial;
using namespace std::string_literals;

constexpr int exchangeBound_ms = 10000;

int fail(const std::string& what)
{
    std::cerr << "kelcomm_consumer: " << what << std::endl;
    return 1;
}

std::string readMaster(int master, std::size_t count)
{
    std::string received;
    while (received.size() < count) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, exchangeBound_ms) != 1)
            break;
        char buffer[64];
        const ssize_t size = read(master, buffer, sizeof buffer);
        if (size <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(size));
    }
    return received;
}

std::string readPort(SystemSerialPort& port, std::size_t count)
{
    std::string received;
    while (received.size() < count) {
        char buffer[64];
        std::uint32_t size = 0;
        if (!port.read(buffer, static_cast<std::uint32_t>(count - received.size()), &size, false).isGood() ||
            size == 0)
            break;
        received.append(buffer, size);
    }
    return received;
}

} // namespace

int main()
{
    termios raw{};
    cfmakeraw(&raw);
    int master = -1;
    int slave = -1;
    char slavePath[128] = {};
    if (openpty(&master, &slave, slavePath, &raw, nullptr) != 0)
        return fail("no pseudo-terminal");

    char directory[] = "/tmp/kelcomm-consumer-XXXXXX";
    if (!mkdtemp(directory))
        return fail("no temporary directory");
    const std::filesystem::path ports(directory);
    std::filesystem::create_symlink(slavePath, ports / "COM5");
    setenv("KELCOMM_PORTS_DIR", directory, 1);

    int status = 0;
    try {
        SystemSerialPort port(L"COM5");
        port.open();
        port.setTimeouts(CommTimeouts(KelTime::TimeDuration::fromMilliseconds(exchangeBound_ms),
                                      KelTime::TimeDuration::null()),
                         false);
        const std::string request = "ping\x01\xfe"s;
        std::uint32_t sent = 0;
        if (!port.write(request.data(), static_cast<std::uint32_t>(request.size()), &sent).isGood() ||
            sent != request.size() || readMaster(master, request.size()) != request)
            status = fail("the bytes written to COM5 did not reach the terminal");
        const std::string reply = "pong\x00\x7f"s;
        if (write(master, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()) ||
            readPort(port, reply.size()) != reply)
            status = fail("the bytes from the terminal were not read from COM5");
        port.close();
    } catch (const std::exception& error) {
        status = fail(KelBase::Conversion::stringToUTF8(KelBase::exceptionMessage(error)));
    }
    std::filesystem::remove_all(ports);
    close(master);
    close(slave);
    if (status == 0)
        std::cout << "kelcomm_consumer: exchanged bytes with COM5" << std::endl;
    return status;
}
