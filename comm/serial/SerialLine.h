#pragma once

#include "comm/Export.h"
#include "comm/serial/LineRecord.h"
#include "comm/serial/LineWaiter.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace KelComm::Serial::Internal {

// One open line: a serial device held exclusively (TtyLine), or a connection to a device
// server (NetworkLine). A transfer that blocks keeps a shared reference to it, so that the
// descriptor is closed only when the last blocked call has let go; closing the port only
// marks it closed and wakes those calls.
class KELCOMM_EXPORT SerialLine {
public:
    using Direction = LineWaiter::Direction;
    using WaitResult = LineWaiter::WaitResult;

    // What the driver reports besides the data.
    struct Status {
        std::uint8_t errors = 0; // IO_Result flags seen since the last look
        std::uint32_t inQueue = 0;
        std::uint32_t outQueue = 0;
    };

    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    virtual ~SerialLine();

    // The device path, or a server's URL: what log lines name.
    const std::string& path() const { return m_path; }

    // Every failure below throws SerialPortSystemException with the system's text;
    // SerialLineGoneException when it says that the line is gone.

    // Takes in what the line reports of its own settings, for a port never given any.
    virtual void adoptLine(LineImage& image) = 0;
    // Puts the image on the line; a line that refuses it throws.
    virtual void applyImage(const LineImage& image) = 0;

    // Whatever is there, up to size bytes, without waiting; a line that is gone throws.
    virtual std::size_t readSome(void* buffer, std::size_t size) = 0;
    virtual std::size_t writeSome(const void* data, std::size_t size) = 0;

    // Waits without the port lock. Woken: an abort of that direction, or the line was closed.
    virtual WaitResult waitReadable(const Deadline& deadline);
    WaitResult waitWritable(const Deadline& deadline) const;
    // Sleeps until the deadline unless a write abort or the close comes first.
    WaitResult sleepUntil(const Deadline& deadline) const;

    void clearWake(Direction direction) { m_waiter.clearWake(direction); }
    void wake(Direction direction) { m_waiter.wake(direction); }
    // Asks the line to hand each received byte over at once instead of on a timer; false
    // when it refuses. Closing gives the line back the mode it had.
    virtual bool requestLowLatency() = 0;

    // Marks the line closed and wakes every blocked call. A line that holds its device
    // exclusively lets go of it first, so that the device can be opened again at once.
    virtual void markClosed();
    bool isClosed() const { return m_closed.load(); }

    virtual Status status() = 0;
    virtual void flush(bool input, bool output) = 0;
    virtual void setBreak(bool on) = 0;

protected:
    // Takes the descriptor over. A line that holds bytes of its own besides the descriptor's
    // gives readyDescriptor, which it keeps readable while it holds any.
    SerialLine(std::string path, int fd, int readyDescriptor = -1);

    [[noreturn]] static void throwSystemError(int error) { throwLineError(error); }
    int descriptor() const { return m_fd; }

private:
    std::string m_path;
    int m_fd = -1;
    int m_readyDescriptor = -1;
    LineWaiter m_waiter;
    std::atomic<bool> m_closed{false};
};

} // namespace KelComm::Serial::Internal
