#pragma once

#include "link/Packet.h"
#include "link/Replies.h"
#include "link/ReplyLength.h"
#include "panel/ConsoleMirror.h"
#include "panel/DeviceLink.h"
#include "panel/LineTurns.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace VPanel::Panel {

class SharedLine;

// One run of a connection, on the link's thread: its seat on the port's line, the buffers and
// what the device told about itself. It reports to its link's observer.
class DeviceLink::Session {
public:
    explicit Session(DeviceLink& owner);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // From opening the port to the end of polling; every way it ends has reported its event.
    // Port failures escape as exceptions.
    void connect();
    // Sends the stop packet over a line that is open and leaves the line; never throws, and
    // does nothing the second time.
    void exit();
    // Leaves a line that is gone, without the stop packet.
    void abandon();

private:
    void joinLine();
    void leaveLine();
    void report(LinkEvent code, const char* source, std::vector<std::string> arguments = {});

    // A start-up request the connection cannot do without: false when the connection ends
    // (its event reported).
    bool required(const Link::Frame& request, const EventText& done, const EventText& failed);
    // A start-up request whose failure is only reported: false when a stop was asked for.
    bool optional(const Link::Frame& request, const EventText& done, const EventText& failed);
    bool pollStep();
    // Reports Stopped when a stop was asked for.
    bool stopHonoured();

    // Write-then-read, repeated until a valid reply or the repeat budget is spent; a stop
    // request cuts the repetitions short unless `untilBudget`. Each attempt waits for the
    // line's turn; the request is made once, when the first attempt has the line.
    bool send(const std::function<Link::Frame()>& makeRequest, bool untilBudget = false);
    bool send(const Link::Frame& request, bool untilBudget = false);
    bool attempt(const Link::Frame& request);
    bool write(const Link::Frame& request);
    bool read(const Link::Frame& request);
    // Reads a reply into m_reply, for no longer than the longest reply takes; its size. It
    // ends at the last byte of a frame that checks, else when the line falls silent.
    std::uint32_t receive(const Link::Frame& request);
    bool endsWithFrame(const Link::Frame& request, std::uint32_t received);
    // When the next request may start: a reply taken at its last byte leaves the line to the
    // device for the turnaround gap; a read that ended in silence has waited already.
    void scheduleNextRequest(bool endedAtFrame, std::uint32_t received);
    // A device that cannot take a request so soon after its reply leaves it unheard and answers
    // its repeat: once such requests clearly outnumber those heard, the connection keeps the
    // write interval after every reply, and says so once.
    void watchTurnaround(bool afterShortGap, bool answered);
    // Bytes that came after the last reply ended: recorded as the line brought them, then dropped.
    void discardStaleInput();
    std::uint32_t queuedInput();
    Link::ConsoleShape consoleShape() const;

    void reportFailure(const Link::Frame& request, Link::ReplyStatus status);
    void accept(const Link::Frame& request, const Link::ReplyContent& content);
    void acceptDevice(const Link::DeviceIdentity& device);
    void acceptConsole(const Link::ConsoleIdentity& console);
    void acceptExchange(const Link::ExchangeContent& content);
    void deliverGlyph(int code, const Link::Glyph& glyph);

    DeviceLink& m_owner;
    LinkObserver& m_observer;
    const std::uint8_t m_address;
    const std::chrono::milliseconds m_replyBound;
    const std::chrono::nanoseconds m_turnaround;
    ConsoleMirror m_console;
    int m_glyphCount = 0;
    std::shared_ptr<SharedLine> m_line;
    LineTurns::Seat m_seat = 0;
    std::array<std::uint8_t, Link::maxFrameSize> m_reply{};
    std::uint32_t m_replySize = 0;
    bool m_exited = false;
};

} // namespace VPanel::Panel
