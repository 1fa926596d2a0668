#pragma once

#include "comm/Export.h"
#include "comm/serial/ISerialPort.h"

#include <memory>

namespace KelComm::Serial {

// The serial port over the system's driver. One read or wait and one write may run at a
// time, each in its own thread; any other thread may abort them or close the port. No
// constructor opens the line.
class KELCOMM_EXPORT SystemSerialPort : public ISerialPort {
public:
    SystemSerialPort();
    explicit SystemSerialPort(const std::wstring& name);
    SystemSerialPort(const std::wstring& name, const CommSettings& settings, bool track);
    SystemSerialPort(const std::wstring& name, const CommSettings& settings, const CommTimeouts& timeouts);
    SystemSerialPort(const std::wstring& name, const CommSettings& settings, bool trackSettings,
                     const CommTimeouts& timeouts, bool trackTimeouts);
    SystemSerialPort(const SystemSerialPort&) = delete;
    SystemSerialPort& operator=(const SystemSerialPort&) = delete;
    ~SystemSerialPort() override;

    std::wstring name() const override;
    void setName(const std::wstring& name) override;
    void settings(CommSettings& settings) const override;
    // Applies the settings and keeps a copy of them, which settings() reports; with track,
    // later changes of the object are applied and copied as well while it lives, and a change
    // the line refuses closes the port. The object may be a temporary.
    void setSettings(const CommSettings& settings, bool track) override;
    void timeouts(CommTimeouts& timeouts) const override;
    void setTimeouts(const CommTimeouts& timeouts, bool track) override;
    void open() override;
    void close() override;
    bool isOpened() override;
    IO_Result read(void* buffer, std::uint32_t size, std::uint32_t* received, bool continuation) override;
    IO_Result write(const void* data, std::uint32_t size, std::uint32_t* sent) override;
    IO_Result waitForByteReceived(const KelTime::Timeout& deadline) override;
    IO_Result waitForNonbreakStatus(const KelTime::Timeout& deadline) override;
    void setBreakStatus(bool on) override;
    void reserveQueueSize(std::uint32_t input, std::uint32_t output) override;
    void queryQueueStatus(std::uint32_t& input, std::uint32_t& output) override;
    void clearQueue(bool input, bool output) override;
    void abort(bool read, bool write, bool oneShot) override;
    void clearAbortFlag(bool read, bool write) override;

private:
    class Impl;

    std::unique_ptr<Impl> m_impl;
};

} // namespace KelComm::Serial
