#pragma once

#include "baselib/exceptions/Exception.h"
#include "panel/LineTurns.h"
#include "panel/LinkTexts.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace KelComm::Serial {
class SystemSerialPort;
}

namespace VPanel::Panel {

struct LinkParameters;

// A device asked for at another rate than the one its port is open at.
class LineRateException : public KelBase::ConcreteException<LineRateException, KelBase::RuntimeException> {
public:
    using ConcreteException::ConcreteException;
    LineRateException(long openRate, const std::wstring& text) : ConcreteException(text), m_openRate(openRate) {}
    long openRate() const { return m_openRate; }

private:
    long m_openRate = 0;
};

// How a refused rate is told: port, the rate the port is open at, the rate asked for.
inline constexpr char lineRateText[] =
    QT_TRANSLATE_NOOP("QOTransmissionThread", "%1: порт уже открыт на скорости %2 бод, устройство на нём нельзя "
                                              "опрашивать на скорости %3 бод.");

// One open port shared by the connections of the devices on it, one per port in the process
// whatever name it is asked by: the first connection opens it, the last to let go of it closes
// it. The line's timing is the line's, not a device's: the gap after any device's reply holds
// for the next request to any device. Only the holder of the line's turn touches the port and the timing.
class SharedLine {
public:
    struct Timing {
        bool lastEndedAtFrame = false;
        std::chrono::steady_clock::time_point lastFrameEnd{};
        std::chrono::steady_clock::time_point requestDue{};
        bool unheardAfterShortGap = false;
        int shortGapMisses = 0;
    };

    // The line of the port, opened at the link's rate if no one holds it yet. Throws
    // LineRateException when the port is open at another rate, and what opening the port
    // throws.
    static std::shared_ptr<SharedLine> join(const LinkParameters& parameters);
    // How many connections hold the port's line; 0 when it is closed.
    static int holders(const std::string& port);

    ~SharedLine();
    SharedLine(const SharedLine&) = delete;
    SharedLine& operator=(const SharedLine&) = delete;

    // Throws SerialLineGoneException once a connection found the line gone, so that every
    // connection on it ends the same way without waiting out its repeats.
    KelComm::Serial::SystemSerialPort& port();
    void markGone() { m_gone = true; }
    bool gone() const { return m_gone; }

    // Sets the port's timeouts for a device whose write interval differs from the last one's.
    void useWriteInterval(std::chrono::milliseconds writeInterval);

    LineTurns& turns() { return m_turns; }
    Timing& timing() { return m_timing; }
    // Once any device on the line could not take a request right after a reply, the whole line
    // keeps the write interval: the requests of one line share one gap.
    bool keepsInterval() const { return m_keepInterval; }
    void keepInterval() { m_keepInterval = true; }

private:
    class Registry;

    SharedLine(const std::string& port, long baudRate, std::chrono::milliseconds writeInterval);

    const long m_baudRate;
    std::unique_ptr<KelComm::Serial::SystemSerialPort> m_port;
    std::chrono::milliseconds m_writeInterval;
    LineTurns m_turns;
    Timing m_timing;
    std::atomic<bool> m_keepInterval{false};
    std::atomic<bool> m_gone{false};
};

} // namespace VPanel::Panel
