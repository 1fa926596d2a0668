#pragma once

#include "baselib/exceptions/Exception.h"
#include "link/Keys.h"
#include "panel/FrameSink.h"
#include "panel/LinkObserver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace VPanel::Panel {

KEL_DECLARE_EXCEPTION(LinkUsageException, KelBase::RuntimeException, );

struct LinkParameters {
    std::string port;              // as the port opener takes it (COMn, tcp://, rfc2217://, /dev/...), UTF-8
    int address = 1;
    int baudRate = 9600;
    std::chrono::milliseconds writeInterval{20};
    // The least silence before each request, beyond the 3.5 characters by which a device knows
    // a frame has ended: an RS-485 device releases the bus a moment after its reply.
    std::chrono::milliseconds requestPause{1};
    // Keeps the write interval's silence after every reply from the start, for a device that
    // cannot turn round sooner.
    bool intervalAfterReply = false;
    std::uint16_t language = 0;    // 0 Russian, 1 English
    std::map<int, std::string> deviceNames; // identifier -> name, UTF-8 (the host reads the dictionary)
};

// One device's connection: opens the port or joins the connections already on it (one rate per
// port), identifies the device and its console, sends the
// language, reads the console's glyphs, sends the start packet, then polls back to back with
// the keys held until it is told to stop or the device falls silent; it ends by sending the
// stop packet and leaving the port, which the last connection on it closes. What it learns goes to the observer, on the connection's
// thread. One object serves one connection and is never restarted; key presses, stop() and
// setRecorder() come from any thread.
class LineTurns;

class DeviceLink {
public:
    DeviceLink(LinkParameters parameters, LinkObserver& observer);
    // Stops the connection and waits for a thread start() began.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // start() or run() a second time throws LinkUsageException: the first connection may still
    // hold the port, the key row and the end mark.
    // Runs the connection on a thread of its own; nothing escapes that thread.
    void start();
    // Runs the connection on the caller's thread; returns when it has ended, every way of
    // ending reported as an event.
    void run();
    // True once the connection has ended, waiting at most `bound` for that.
    bool wait(std::chrono::milliseconds bound);

    // Holds the key of this scan code (a Link::ScanCode); ScanCode::Stop asks for a stop.
    void press(int scanCode);
    void release(int scanCode);
    // Press and release together; false, and nothing queued, when earlier keys still fill the
    // row (see Link::KeyRow::tap).
    bool tap(int scanCode);
    // Honoured before the next request, also during start-up, with the Stopped event and
    // the stop packet. A stop asked for before the connection runs holds.
    void stop();
    bool stopRequested() const { return m_stop.load(); }
    // Where the frames of the line go from now on; null stops recording.
    void setRecorder(std::shared_ptr<FrameSink> recorder);

    // How long the connection may take, after stop(), to finish the request in flight, send
    // the stop packet and close the port, with the devices on its line as they are now.
    std::chrono::milliseconds stopWaitBound() const;
    const LinkParameters& parameters() const { return m_parameters; }

private:
    class Session;

    void claimRun();
    void runClaimed();
    std::shared_ptr<FrameSink> recorder() const;
    void markEnded();
    // The turns a stop must wake, while the session has a seat in them.
    void attachLine(LineTurns* turns);
    // Sleeps until `due`, or less when a stop is asked for; true when a stop was asked for.
    bool sleepUnlessStopped(std::chrono::steady_clock::time_point due);

    const LinkParameters m_parameters;
    LinkObserver& m_observer;
    Link::KeyRow m_keyRow;
    std::atomic<bool> m_stop{false};
    std::mutex m_stopMutex;
    std::condition_variable m_stopAsked;
    LineTurns* m_turns = nullptr; // under m_stopMutex
    std::atomic<bool> m_runClaimed{false};
    // Read for every frame, set from any thread: only ever atomically.
    std::shared_ptr<FrameSink> m_recorder;

    std::mutex m_endMutex;
    std::condition_variable m_endChanged;
    bool m_ended = false;
    std::thread m_thread;
};

} // namespace VPanel::Panel
