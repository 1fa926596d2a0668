#pragma once

#include "baselib/time/Timeout.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/CommTimeouts.h"
#include "comm/serial/SerialTypes.h"

#include <cstdint>
#include <string>

namespace KelComm::Serial {

// A serial port: its name, line settings and read timeouts, blocking transfers that other
// threads may abort, and the driver's queues and break state.
class ISerialPort {
public:
    virtual ~ISerialPort() = default;

    virtual std::wstring name() const = 0;
    virtual void setName(const std::wstring& name) = 0;
    virtual void settings(CommSettings& settings) const = 0;
    virtual void setSettings(const CommSettings& settings, bool track) = 0;
    virtual void timeouts(CommTimeouts& timeouts) const = 0;
    virtual void setTimeouts(const CommTimeouts& timeouts, bool track) = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpened() = 0;
    virtual IO_Result read(void* buffer, std::uint32_t size, std::uint32_t* received, bool continuation) = 0;
    virtual IO_Result write(const void* data, std::uint32_t size, std::uint32_t* sent) = 0;
    virtual IO_Result waitForByteReceived(const KelTime::Timeout& deadline) = 0;
    virtual IO_Result waitForNonbreakStatus(const KelTime::Timeout& deadline) = 0;
    virtual void setBreakStatus(bool on) = 0;
    virtual void reserveQueueSize(std::uint32_t input, std::uint32_t output) = 0;
    virtual void queryQueueStatus(std::uint32_t& input, std::uint32_t& output) = 0;
    virtual void clearQueue(bool input, bool output) = 0;
    virtual void abort(bool read, bool write, bool oneShot) = 0;
    virtual void clearAbortFlag(bool read, bool write) = 0;
};

using BasicSerialPort = ISerialPort;

} // namespace KelComm::Serial
