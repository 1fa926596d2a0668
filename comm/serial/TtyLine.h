#pragma once

#include "comm/serial/SerialLine.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace KelComm::Serial::Internal {

// A serial device of this machine, held for this process alone.
class KELCOMM_EXPORT TtyLine final : public SerialLine {
public:
    // The device opened for reading and writing; null with the errno of the failed step
    // when it could not be had.
    static std::shared_ptr<TtyLine> open(const std::string& path, int& error);

    void adoptLine(LineImage& image) override;
    void applyImage(const LineImage& image) override;
    std::size_t readSome(void* buffer, std::size_t size) override;
    std::size_t writeSome(const void* data, std::size_t size) override;
    // Asks the driver to hand each received byte over at once instead of on its timer (USB
    // adapters otherwise hold them up to 16 ms); a pseudo-terminal refuses.
    bool requestLowLatency() override;
    void markClosed() override;
    Status status() override;
    void flush(bool input, bool output) override;
    void setBreak(bool on) override;

private:
    TtyLine(std::string path, int fd) : SerialLine(std::move(path), fd) {}

    DeviceLine readDevice() const;
    // Modem-line and RS-485 requests that the driver refuses are not failures; a rate the
    // driver does not take is.
    void apply(const LinePlan& plan);
    void restoreLatency();

    // Whether this line switched the driver to low latency, which closing undoes.
    bool m_lowLatencySet = false;

    // The driver's error counters at the last look; errors are reported as their growth.
    std::mutex m_countersMutex;
    LineCounters m_counters;
};

} // namespace KelComm::Serial::Internal
