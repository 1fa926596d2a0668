#include "comm/serial/SystemSerialPortImpl.h"

#include "comm/serial/SerialExceptions.h"

#include <algorithm>
#include <chrono>
#include <thread>

// Reads, writes and waits of the port. Each runs with the shared port lock held and lets go
// of it only while it blocks; afterwards it first looks whether the line it started on was
// closed meanwhile.
namespace KelComm::Serial {

using Internal::Deadline;
using Internal::SerialLine;
using Internal::SteadyClock;

namespace {
constexpr std::uint32_t chunkSize = 32;
constexpr auto breakPollInterval = std::chrono::milliseconds(400);
constexpr std::uint8_t writeErrorMask = IO_Result::BreakDetected | IO_Result::ModeError;

// Lets go of the shared port lock for a blocking wait and takes it back afterwards, also
// when the wait throws.
class ScopedUnlock {
public:
    explicit ScopedUnlock(Threading::RWLock& lock) : m_lock(lock) { m_lock.unlock(); }
    ~ScopedUnlock() { m_lock.readLock(); }
    ScopedUnlock(const ScopedUnlock&) = delete;
    ScopedUnlock& operator=(const ScopedUnlock&) = delete;

private:
    Threading::RWLock& m_lock;
};

SteadyClock::time_point afterMilliseconds(std::uint64_t milliseconds)
{
    return SteadyClock::now() + std::chrono::milliseconds(milliseconds);
}

Deadline earliest(const Deadline& a, const Deadline& b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}
} // namespace

SerialLine::Status SystemSerialPort::Impl::gatherLineErrors(SerialLine& from)
{
    const SerialLine::Status status = from.status();
    readErrors.fetch_or(status.errors);
    writeErrors.fetch_or(status.errors & writeErrorMask);
    return status;
}

SystemSerialPort::Impl::Chunk SystemSerialPort::Impl::chunkRead(std::uint8_t* buffer, std::uint32_t size)
{
    const std::shared_ptr<SerialLine> startedOn = line;
    const Internal::ReadLimits limits = Internal::readLimits(timeoutImage, lineImage);
    Deadline whole, gapEnd;
    if (limits.totalMultiplier_ms)
        whole = afterMilliseconds(std::uint64_t(limits.totalMultiplier_ms) * size);

    Chunk chunk;
    try {
        for (;;) {
            const std::size_t got = startedOn->readSome(buffer + chunk.count, size - chunk.count);
            chunk.count += static_cast<std::uint32_t>(got);
            if (chunk.count == size || limits.noWait)
                break;
            if (got && limits.interval_ms)
                gapEnd = afterMilliseconds(limits.interval_ms);
            const Deadline until = earliest(whole, gapEnd);
            if (until && SteadyClock::now() >= *until)
                break;
            SerialLine::WaitResult waited;
            {
                const ScopedUnlock unlocked(lock);
                waited = startedOn->waitReadable(until);
            }
            if (lineGone(startedOn)) {
                chunk.result = IO_Result(IO_Result::Aborted);
                return chunk;
            }
            if (waited == SerialLine::WaitResult::Woken) {
                gatherLineErrors(*startedOn);
                chunk.result = IO_Result(IO_Result::Aborted, readErrors.load());
                return chunk;
            }
            // Ready or timed out: the next pass takes what came and looks at the time again.
        }
        gatherLineErrors(*startedOn);
    } catch (const SerialLineGoneException&) {
        // What came before the line ended is the caller's; the next read finds it gone.
        if (!chunk.count)
            throw;
        chunk.result = IO_Result(IO_Result::TimedOut, readErrors.exchange(0));
        return chunk;
    }
    chunk.result = IO_Result(chunk.count < size ? IO_Result::TimedOut : IO_Result::Success, readErrors.exchange(0));
    return chunk;
}

SystemSerialPort::Impl::Chunk SystemSerialPort::Impl::readAvailable(std::uint8_t* buffer, std::uint32_t size)
{
    const SerialLine::Status status = gatherLineErrors(*line);
    if (status.inQueue == 0) {
        Chunk nothing;
        nothing.result = IO_Result(IO_Result::Success, readErrors.load());
        return nothing;
    }
    return chunkRead(buffer, std::min(status.inQueue, size));
}

Deadline SystemSerialPort::Impl::furtherByteDeadline() const
{
    const std::uint32_t interval_ms = timeoutImage.interval_ms;
    if (interval_ms == Internal::TimeoutImage::nullInterval_ms)
        return SteadyClock::now();
    if (interval_ms == Internal::TimeoutImage::noIntervalLimit_ms)
        return std::nullopt;
    return afterMilliseconds(std::max(interval_ms, Internal::minimumWait_ms));
}

IO_Result SystemSerialPort::Impl::waitForByte(const Deadline& deadline)
{
    if (readAborted)
        return IO_Result(IO_Result::Aborted);
    const std::shared_ptr<SerialLine> startedOn = line;
    SerialLine::WaitResult waited;
    {
        const ScopedUnlock unlocked(lock);
        waited = startedOn->waitReadable(deadline);
    }
    if (lineGone(startedOn) || waited == SerialLine::WaitResult::Woken)
        return IO_Result(IO_Result::Aborted);
    return IO_Result(waited == SerialLine::WaitResult::Ready ? IO_Result::Success : IO_Result::TimedOut);
}

IO_Result SystemSerialPort::Impl::read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t* received,
                                       bool continuation)
{
    if (readAborted)
        return IO_Result(IO_Result::Aborted);
    // Once per read, not per wait: an abort that comes between two waits still ends it.
    line->clearWake(SerialLine::Direction::Read);

    std::uint32_t got = 0;
    const auto passes = [&]() -> IO_Result {
        const Chunk first = readAvailable(buffer, size);
        got = first.count;
        std::uint8_t flags = first.result.errors;
        if (got == size || first.result.status != IO_Result::Success)
            return IO_Result(first.result.status, flags);

        const Deadline firstDeadline = (got > 0 || continuation) ? furtherByteDeadline()
                                                                 : Internal::deadlineAfter(timeoutImage.responseTimeout);
        IO_Result waited = waitForByte(firstDeadline);
        if (waited.status != IO_Result::Success)
            return IO_Result(waited.status, flags);

        while (size - got > chunkSize) {
            const Chunk chunk = chunkRead(buffer + got, chunkSize);
            got += chunk.count;
            flags |= chunk.result.errors;
            if (chunk.result.status != IO_Result::Success || chunk.result.errors)
                return IO_Result(chunk.result.status, flags);
            waited = waitForByte(furtherByteDeadline());
            if (waited.status != IO_Result::Success)
                return IO_Result(waited.status, flags);
        }
        const Chunk last = chunkRead(buffer + got, size - got);
        got += last.count;
        return IO_Result(last.result.status, last.result.errors | flags);
    };

    IO_Result result;
    try {
        result = passes();
        if (result.status == IO_Result::TimedOut && got < size) {
            // What came after the last wait gave up still belongs to this reply.
            const Chunk rest = readAvailable(buffer + got, size - got);
            got += rest.count;
            result.errors |= rest.result.errors;
        }
    } catch (const SerialLineGoneException&) {
        if (!got)
            throw;
        result = IO_Result(IO_Result::TimedOut, readErrors.exchange(0));
    }
    if (received)
        *received = got;
    return result;
}

IO_Result SystemSerialPort::Impl::write(const std::uint8_t* data, std::uint32_t size, std::uint32_t* sent)
{
    if (writeAborted)
        return IO_Result(IO_Result::Aborted);

    Deadline transmitEnd;
    if (!lineImage.byteTransmitTime.isInfinite())
        transmitEnd = Internal::deadlineAfter(lineImage.byteTransmitTime * static_cast<double>(size));
    const std::shared_ptr<SerialLine> startedOn = line;
    startedOn->clearWake(SerialLine::Direction::Write);

    std::uint32_t written = 0;
    const auto interrupted = [&](SerialLine::WaitResult waited) {
        if (lineGone(startedOn))
            return true;
        if (waited == SerialLine::WaitResult::Woken) {
            gatherLineErrors(*startedOn);
            return true;
        }
        return false;
    };
    const auto aborted = [&] {
        if (sent)
            *sent = written;
        return IO_Result(IO_Result::Aborted, lineGone(startedOn) ? 0 : writeErrors.load());
    };

    for (;;) {
        written += static_cast<std::uint32_t>(startedOn->writeSome(data + written, size - written));
        if (written == size)
            break;
        SerialLine::WaitResult waited;
        {
            const ScopedUnlock unlocked(lock);
            waited = startedOn->waitWritable(std::nullopt);
        }
        if (interrupted(waited))
            return aborted();
    }
    // The driver took the data at once; the call still returns no earlier than the line
    // can have sent it.
    if (transmitEnd && SteadyClock::now() < *transmitEnd) {
        SerialLine::WaitResult waited;
        {
            const ScopedUnlock unlocked(lock);
            waited = startedOn->sleepUntil(transmitEnd);
        }
        if (interrupted(waited))
            return aborted();
    }
    gatherLineErrors(*startedOn);
    if (sent)
        *sent = written;
    return IO_Result(IO_Result::Success, writeErrors.exchange(0));
}

IO_Result SystemSerialPort::Impl::waitForNonbreakStatus(const KelTime::Timeout& deadline)
{
    if (readAborted)
        return IO_Result(IO_Result::Aborted);
    const std::shared_ptr<SerialLine> startedOn = line;
    SerialLine::Status status = gatherLineErrors(*startedOn);
    while (status.errors & IO_Result::BreakDetected) {
        {
            const ScopedUnlock unlocked(lock);
            std::this_thread::sleep_for(breakPollInterval);
        }
        if (deadline.isExpired())
            return IO_Result(IO_Result::TimedOut);
        if (lineGone(startedOn))
            return IO_Result(IO_Result::Aborted);
        status = gatherLineErrors(*startedOn);
    }
    // The break is over: unlike an expired deadline this is a success, with the other flags.
    readErrors.fetch_and(static_cast<std::uint8_t>(~IO_Result::BreakDetected));
    return IO_Result(IO_Result::Success, readErrors.load());
}

} // namespace KelComm::Serial
