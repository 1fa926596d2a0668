#pragma once

#include "comm/Export.h"
#include "baselib/time/TimeDuration.h"
#include "comm/serial/LineRecord.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace KelComm::Serial::Internal {

// The driver's counts of line errors since it started.
struct LineCounters {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
};

// The IO_Result flags of the errors counted between two looks.
KELCOMM_EXPORT std::uint8_t errorFlagsBetween(const LineCounters& before, const LineCounters& now);

using SteadyClock = std::chrono::steady_clock;
// The end of a wait; none for a wait without limit.
using Deadline = std::optional<SteadyClock::time_point>;

// The deadline a duration from now; none for an infinite duration or one beyond any wait
// a program could see end.
Deadline deadlineAfter(KelTime::TimeDuration duration);

// One open line: a serial device held exclusively, or (NetworkLine) a connection to a device
// server. A transfer that blocks keeps a shared reference to it, so that the descriptor is
// closed only when the last blocked call has let go; closing the port only marks it closed
// and wakes those calls. Abort and close wake a blocked call through one wake-up descriptor
// per direction.
class KELCOMM_EXPORT SerialLine {
public:
    enum class Direction { Read, Write };
    enum class WaitResult { Ready, TimedOut, Woken };

    // What the driver reports besides the data.
    struct Status {
        std::uint8_t errors = 0; // IO_Result flags seen since the last look
        std::uint32_t inQueue = 0;
        std::uint32_t outQueue = 0;
    };

    // The device opened for reading and writing, for this process alone; null with the
    // errno of the failed step when it could not be had.
    static std::shared_ptr<SerialLine> open(const std::string& path, int& error);

    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    virtual ~SerialLine();

    // The device path, or a server's URL: what log lines name.
    const std::string& path() const { return m_path; }

    // Takes in what the line reports of its own settings, for a port never given any.
    virtual void adoptLine(LineImage& image);
    // Puts the image on the line; a line that refuses it throws.
    virtual void applyImage(const LineImage& image);

    // Every failure below throws SerialPortSystemException with the system's text;
    // SerialLineGoneException when it says that the device is gone.
    DeviceLine readDevice() const;
    // Modem-line and RS-485 requests that the driver refuses are not failures; a rate the
    // driver does not take is.
    void apply(const LinePlan& plan);

    // Whatever is there, up to size bytes, without waiting; a line that is gone throws.
    virtual std::size_t readSome(void* buffer, std::size_t size);
    virtual std::size_t writeSome(const void* data, std::size_t size);

    // Waits without the port lock. Woken: an abort of that direction, or the line was closed.
    virtual WaitResult waitReadable(const Deadline& deadline);
    WaitResult waitWritable(const Deadline& deadline) const;
    // Sleeps until the deadline unless a write abort or the close comes first.
    WaitResult sleepUntil(const Deadline& deadline) const;

    // Called once as a transfer of that direction begins, so that only a later abort wakes
    // it; never between its waits, where it would drop an abort that came meanwhile.
    void clearWake(Direction direction);
    void wake(Direction direction);
    // Asks the driver to hand each received byte over at once instead of on its timer (USB
    // adapters otherwise hold them up to 16 ms); false when it refuses, as a pseudo-terminal
    // does. Closing gives the driver back the mode it had.
    virtual bool requestLowLatency();

    // Lets go of the exclusive use at once, so that the device can be opened again while a
    // blocked call still holds the descriptor, and wakes every blocked call.
    virtual void markClosed();
    bool isClosed() const { return m_closed.load(); }

    virtual Status status();
    virtual void flush(bool input, bool output);
    virtual void setBreak(bool on);

protected:
    // Takes the descriptor over. A line that holds bytes of its own besides the descriptor's
    // gives readyDescriptor, which it keeps readable while it holds any.
    SerialLine(std::string path, int fd, int readyDescriptor = -1);

    [[noreturn]] static void throwSystemError(int error);
    int descriptor() const { return m_fd; }

private:
    WaitResult poll(short events, Direction direction, const Deadline& deadline, bool watchLine) const;
    int wakeDescriptor(Direction direction) const;
    void restoreLatency();

    std::string m_path;
    int m_fd = -1;
    int m_readyDescriptor = -1;
    int m_readWake = -1;
    int m_writeWake = -1;
    std::atomic<bool> m_closed{false};
    // Whether this line switched the driver to low latency, which closing undoes.
    bool m_lowLatencySet = false;

    // The driver's error counters at the last look; errors are reported as their growth.
    std::mutex m_countersMutex;
    LineCounters m_counters;
};

} // namespace KelComm::Serial::Internal
