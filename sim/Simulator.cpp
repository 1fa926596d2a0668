#include "sim/Simulator.h"

#include "baselib/time/RelativeTimespec.h"
#include "link/Keys.h"
#include "link/LineTiming.h"
#include "link/Packet.h"
#include "sim/FrameLog.h"
#include "sim/LineWriter.h"
#include "sim/PortPublication.h"
#include "sim/PseudoTerminal.h"
#include "sim/RequestFramer.h"
#include "sim/SimErrors.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <random>
#include <thread>

namespace VPanel::Sim {

namespace {
using Clock = std::chrono::steady_clock;

constexpr std::size_t readChunk = 512;
// A line quiet for the frame gap ends a frame, as on common fieldbuses, but never less than
// the time a poll takes to notice it.
constexpr Clock::duration minGap = std::chrono::milliseconds(2);
// How long to look away from a line that reports a fault, instead of spinning on it.
constexpr Clock::duration faultyLineRetry = std::chrono::milliseconds(10);

std::vector<FirmwareSetup> devicesOf(const SimulatorOptions& options)
{
    return options.devices.empty() ? std::vector<FirmwareSetup>{FirmwareSetup{}} : options.devices;
}

// The keys an exchange request holds down, for a replay's log: "клавиши 17 18".
std::string keysNote(const std::vector<std::uint8_t>& request)
{
    constexpr std::size_t maskSize = 4;
    if (request.size() < Link::frameOverhead + maskSize || Link::readU16(&request[1]) != Link::Command::Exchange)
        return "";
    const std::uint8_t* mask = &request[Link::headerSize];
    const std::uint32_t keys = mask[0] | mask[1] << 8 | mask[2] << 16 | static_cast<std::uint32_t>(mask[3]) << 24;
    std::string note;
    for (int key = 1; key <= Link::Key::count; ++key)
        if (keys & Link::keyBit(key))
            note += (note.empty() ? "клавиши " : " ") + std::to_string(key);
    return note;
}

const char* outcomeNote(FrameOutcome outcome)
{
    switch (outcome) {
    case FrameOutcome::Answered: return "";
    case FrameOutcome::Dropped: return "ответ отброшен";
    case FrameOutcome::Muted: return "устройство молчит";
    case FrameOutcome::DeviceSilent: return "без ответа";
    case FrameOutcome::NotAddressed: return "нет устройства с этим адресом";
    case FrameOutcome::Invalid: return "неверная контрольная сумма";
    }
    return "";
}
} // namespace

class Simulator::Line {
public:
    explicit Line(SimulatorOptions options)
        : m_options(std::move(options)),
          m_bus(devicesOf(m_options), m_options.faults, m_options.seed.value_or(std::random_device{}()), Clock::now()),
          m_publication(m_options.portName, m_terminal.slavePath()),
          m_log(m_options.verbose)
    {
        m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_stopFd < 0)
            throwSystemError(L"eventfd");
        m_writer = std::make_unique<LineWriter>(m_terminal.master(), m_stopFd);
        m_thread = std::thread([this] { serve(); });
    }

    ~Line()
    {
        stop();
        close(m_stopFd);
    }

    void stop()
    {
        std::lock_guard lock(m_stopMutex);
        if (!m_thread.joinable())
            return;
        const std::uint64_t one = 1;
        if (::write(m_stopFd, &one, sizeof one) < 0)
            return;
        m_thread.join();
    }

    const std::string& portName() const { return m_publication.portName(); }
    const std::string& devicePath() const { return m_terminal.slavePath(); }
    Bus& bus() { return m_bus; }
    const Bus& bus() const { return m_bus; }
    bool running() const { return m_running; }
    const Replay* replay() const { return m_options.replay.get(); }
    std::uint64_t repliesWritten() const { return m_repliesWritten; }
    std::exception_ptr failure() const
    {
        std::lock_guard lock(m_failureMutex);
        return m_failure;
    }

private:
    void serve()
    {
        runAheadOfOrdinaryWork();
        try {
            while (step()) {
            }
        } catch (...) {
            std::lock_guard lock(m_failureMutex);
            m_failure = std::current_exception();
        }
        m_running = false;
    }

    // One wait on the line; false once asked to stop.
    bool step()
    {
        m_framer.setGap(std::max(minGap, LineWriter::frameGap(lineRate())));
        pollfd fds[] = {{m_terminal.master(), POLLIN, 0}, {m_stopFd, POLLIN, 0}, {m_terminal.portEvents(), POLLIN, 0}};
        timespec timeout{};
        timespec* timeoutPointer = nullptr;
        if (const auto deadline = m_framer.deadline()) {
            timeout = KelTime::relativeTimespec(*deadline - Clock::now());
            timeoutPointer = &timeout;
        }
        if (ppoll(fds, std::size(fds), timeoutPointer, nullptr) < 0 && errno != EINTR)
            throwSystemError(L"ppoll");
        if (fds[1].revents)
            return false;
        if (fds[0].revents & POLLIN) {
            if (!receive())
                return false;
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            if (!m_writer->pause(faultyLineRetry))
                return false;
        }
        if (auto noise = m_framer.expire(Clock::now()))
            onNoise(*noise);
        if (fds[2].revents)
            m_terminal.takePortEvents();
        return true;
    }

    bool receive()
    {
        std::uint8_t buffer[readChunk];
        const ssize_t size = ::read(m_terminal.master(), buffer, sizeof buffer);
        if (size <= 0)
            return true;
        // A UART set to another rate reads no frame from the line, only garbage.
        if (m_options.onlyAtOwnRate && m_options.baudRate && m_terminal.baudRate() != m_options.baudRate) {
            onNoise({false, {buffer, buffer + size}, Clock::now()});
            return true;
        }
        for (auto& piece : m_framer.receive(buffer, static_cast<std::size_t>(size), Clock::now())) {
            if (!piece.complete)
                onNoise(piece);
            else if (unheard(piece.began))
                onUnheard(piece);
            else if (!answer(piece.bytes))
                return false;
        }
        return true;
    }

    void onNoise(const RequestFramer::Piece& noise)
    {
        m_bus.onNoise();
        m_log.received(noise.bytes.data(), noise.bytes.size(), "шум");
    }

    // A transceiver still driving the line after its reply does not hear a request begun then.
    bool unheard(Clock::time_point began) const
    {
        const Clock::duration turnaround = m_bus.faults().turnaround;
        return turnaround > Clock::duration::zero() && m_lastReplyEnd && began - *m_lastReplyEnd < turnaround;
    }

    void onUnheard(const RequestFramer::Piece& request)
    {
        m_bus.onUnheard();
        m_log.received(request.bytes.data(), request.bytes.size(), "не услышан: линия ещё занята ответом");
    }

    bool answer(const std::vector<std::uint8_t>& request)
    {
        if (m_options.replay)
            return replay(request);
        const BusReply reply = m_bus.onFrame(request.data(), request.size(), Clock::now(), std::chrono::system_clock::now());
        m_log.received(request.data(), request.size(), outcomeNote(reply.outcome));
        if (!reply.transmission)
            return true;
        const Transmission& transmission = *reply.transmission;
        if (transmission.delay.count() > 0 && !m_writer->pause(transmission.delay))
            return false;
        const Link::Frame& frame = transmission.frame;
        m_log.sent(frame.bytes(), frame.size(), transmission.splitAt ? "с разрывом" : "");
        const unsigned rate = m_options.pace ? lineRate() : 0;
        const bool written =
            transmission.splitAt == 0
                ? m_writer->write(frame.bytes(), frame.size(), rate)
                : m_writer->write(frame.bytes(), transmission.splitAt, rate) && m_writer->pause(transmission.splitGap) &&
                      m_writer->write(frame.bytes() + transmission.splitAt, frame.size() - transmission.splitAt, rate);
        // The PC may have let go of the port while the request was on its way or the reply
        // went out.
        m_terminal.takePortEvents();
        if (written)
            replied();
        return written;
    }

    // The recorded reply to this kind of request, each piece after the gap it followed on the
    // recorded line, less the time its own bytes and the read's closing gap took there. The
    // first piece began within the PC's response timeout when it was recorded, however late the
    // PC noted it: it never waits past half that timeout, so that each read gets what it got
    // then. Pieces after the first keep their gap even unpaced, or they would join into one,
    // but no longer than a read's closing gap and the next read's response timeout: the PC had
    // given up by then, and a stamp far ahead must not keep the line from answering.
    bool replay(const std::vector<std::uint8_t>& request)
    {
        m_bus.onFrame(request.data(), request.size(), Clock::now(), std::chrono::system_clock::now());
        m_log.received(request.data(), request.size(), keysNote(request));
        const Recording::Reply* reply =
            request.size() >= Link::headerSize ? m_options.replay->next(Link::readU16(&request[1])) : nullptr;
        if (!reply)
            return true;
        const unsigned rate = m_options.pace ? lineRate() : 0;
        const Clock::duration responseTimeout = Link::responseTimeout(lineRate());
        const Clock::duration closingGap = m_options.replay->writeInterval();
        bool first = true;
        for (const Recording::Piece& piece : *reply) {
            Clock::duration gap = std::chrono::duration_cast<Clock::duration>(piece.after) -
                                  LineWriter::byteTime(lineRate()) * static_cast<Clock::rep>(piece.bytes.size());
            gap = first ? std::min(gap - closingGap, responseTimeout / 2) : std::min(gap, closingGap + responseTimeout);
            if ((m_options.pace || !first) && gap > Clock::duration::zero() && !m_writer->pause(gap))
                return false;
            first = false;
            m_log.sent(piece.bytes.data(), piece.bytes.size(), "");
            if (!m_writer->write(piece.bytes.data(), piece.bytes.size(), rate))
                return false;
        }
        m_terminal.takePortEvents();
        replied();
        return true;
    }

    // A device answers on time whatever else the PC runs. Where the system allows it, the line's
    // thread runs ahead of ordinary work, so that a loaded machine neither delays a reply past
    // the PC's response timeout nor pauses one mid-frame for longer than its interval timeout;
    // elsewhere it runs as any thread.
    static void runAheadOfOrdinaryWork()
    {
        const sched_param lowestRealTime{sched_get_priority_min(SCHED_FIFO)};
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowestRealTime);
    }

    void replied()
    {
        m_lastReplyEnd = Clock::now();
        ++m_repliesWritten;
    }

    unsigned lineRate() const { return m_options.baudRate ? m_options.baudRate : m_terminal.baudRate(); }

    SimulatorOptions m_options;
    Bus m_bus;
    PseudoTerminal m_terminal;
    PortPublication m_publication;
    FrameLog m_log;
    RequestFramer m_framer;
    int m_stopFd = -1;
    std::unique_ptr<LineWriter> m_writer;
    std::mutex m_stopMutex;
    mutable std::mutex m_failureMutex;
    std::exception_ptr m_failure;
    std::atomic<bool> m_running{true};
    std::atomic<std::uint64_t> m_repliesWritten{0};
    std::optional<Clock::time_point> m_lastReplyEnd; // the line's thread's own
    std::thread m_thread;
};

Simulator::Simulator(SimulatorOptions options) : m_line(std::make_unique<Line>(std::move(options))) {}
Simulator::~Simulator() = default;

const std::string& Simulator::portName() const { return m_line->portName(); }
const std::string& Simulator::devicePath() const { return m_line->devicePath(); }
void Simulator::setFaults(const Faults& faults) { m_line->bus().setFaults(faults); }
Faults Simulator::faults() const { return m_line->bus().faults(); }
DeviceCounters Simulator::counters(std::uint8_t address) const
{
    return m_line->bus().deviceCounters(address).value_or(DeviceCounters{});
}
BusCounters Simulator::busCounters() const { return m_line->bus().counters(); }
std::uint64_t Simulator::repliesWritten() const { return m_line->repliesWritten(); }
std::size_t Simulator::replayLeft(std::uint16_t command) const
{
    const Replay* replay = m_line->replay();
    return replay ? replay->left(command) : 0;
}
void Simulator::stop() { m_line->stop(); }
bool Simulator::running() const { return m_line->running(); }
std::exception_ptr Simulator::failure() const { return m_line->failure(); }

} // namespace VPanel::Sim
