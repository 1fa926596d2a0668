#include "panel/SharedLine.h"

#include "baselib/platform/Conversion.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"
#include "panel/DeviceLink.h"
#include "panel/LinkEvent.h"
#include "panel/LinkTiming.h"

#include <exception>
#include <filesystem>
#include <map>
#include <mutex>

namespace VPanel::Panel {

namespace {
constexpr int dataBits = 8;

// What a port name stands for: names spelt differently ("com3", "COM03") and map entries that
// lead to one device share its line, which a second open would find locked. A name that does
// not resolve keeps its spelling, and opening it tells why.
std::string lineKey(const std::string& port)
{
    using namespace KelComm::Serial::Internal;
    try {
        const std::uint16_t number = parsePortName(KelBase::Conversion::stringFromUTF8(port));
        if (!number)
            return port;
        if (!networkEntry(number)) {
            std::error_code error;
            const std::filesystem::path device = std::filesystem::canonical(resolvePortPath(number), error);
            if (!error)
                return device.string();
        }
        return "COM" + std::to_string(number);
    } catch (const std::exception&) {
        return port;
    }
}
} // namespace

// The open lines by what their port names stand for. A line is closed under the registry's lock, so that a
// connection coming as the last one leaves finds either the open line or a closed port.
class SharedLine::Registry {
public:
    static Registry& instance()
    {
        static Registry registry;
        return registry;
    }

    std::shared_ptr<SharedLine> join(const LinkParameters& parameters)
    {
        const std::string key = lineKey(parameters.port);
        const std::lock_guard lock(m_mutex);
        Entry& entry = m_lines[key];
        if (!entry.line) {
            try {
                entry.line.reset(new SharedLine(parameters.port, parameters.baudRate, parameters.writeInterval));
            } catch (...) {
                m_lines.erase(key);
                throw;
            }
        } else if (entry.line->m_baudRate != parameters.baudRate) {
            const std::string open = std::to_string(entry.line->m_baudRate);
            const std::string asked = std::to_string(parameters.baudRate);
            throw LineRateException(entry.line->m_baudRate, KelBase::Conversion::stringFromUTF8(
                fillIn(lineRateText, {parameters.port, open, asked})));
        }
        if (parameters.intervalAfterReply)
            entry.line->keepInterval();
        ++entry.holders;
        return {entry.line.get(), [this, key](SharedLine*) { leave(key); }};
    }

    int holders(const std::string& port)
    {
        const std::string key = lineKey(port);
        const std::lock_guard lock(m_mutex);
        const auto found = m_lines.find(key);
        return found == m_lines.end() ? 0 : found->second.holders;
    }

private:
    struct Entry {
        std::unique_ptr<SharedLine> line;
        int holders = 0;
    };

    void leave(const std::string& key)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_lines.find(key);
        if (found != m_lines.end() && --found->second.holders == 0)
            m_lines.erase(found);
    }

    std::mutex m_mutex;
    std::map<std::string, Entry> m_lines;
};

std::shared_ptr<SharedLine> SharedLine::join(const LinkParameters& parameters)
{
    return Registry::instance().join(parameters);
}

int SharedLine::holders(const std::string& port) { return Registry::instance().holders(port); }

SharedLine::SharedLine(const std::string& port, long baudRate, std::chrono::milliseconds writeInterval)
    : m_baudRate(baudRate), m_writeInterval(writeInterval)
{
    using namespace KelComm::Serial;
    const CommSettings settings(baudRate, dataBits, Parity::None, StopBits::One, DTR_Control::Disable,
                                RTS_Control::Disable);
    m_port = std::make_unique<SystemSerialPort>(KelBase::Conversion::stringFromUTF8(port), settings, false);
    m_port->setTimeouts(readTimeouts(baudRate, writeInterval), false);
    m_port->open();
}

SharedLine::~SharedLine()
{
    try {
        if (m_port->isOpened())
            m_port->close();
    } catch (const std::exception&) {
        // Closing releases the line even when it reports a failure.
    }
}

KelComm::Serial::SystemSerialPort& SharedLine::port()
{
    if (m_gone)
        throw KelComm::Serial::SerialLineGoneException(L"Линия порта исчезла");
    return *m_port;
}

void SharedLine::useWriteInterval(std::chrono::milliseconds writeInterval)
{
    if (writeInterval == m_writeInterval)
        return;
    port().setTimeouts(readTimeouts(m_baudRate, writeInterval), false);
    m_writeInterval = writeInterval;
}

} // namespace VPanel::Panel
