#pragma once

#include "link/FrameNotation.h"
#include "panel/FrameSink.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace VPanel::Panel {

// Writes what goes over the line to a file a person can read and the simulator can replay: a
// header per connection, then one line per frame as the port wrote or read it, with the time
// since the recording began in milliseconds. The connection's thread only hands frames to a
// bounded queue; a writer thread of its own formats and writes them and flushes at least every
// flushInterval, so that a killed program leaves all but the last moments on disk. Frames
// that find the queue full are counted, and the count ends the file. A failed write ends the
// recording, never the connection: the file is cut back to whole lines and ends with the cause,
// so that a full disk leaves a recording that still replays.
class ExchangeRecorder : public FrameSink {
public:
    static constexpr std::size_t queueCapacity = 4096;
    static constexpr std::chrono::milliseconds flushInterval{500};

    struct Connection {
        std::string port;
        int address = 0;
        int baudRate = 0;
        int writeInterval_ms = 0;
    };

    // Told, on the writer's thread, that the recording stopped on a write error; the text
    // names the file and the cause.
    using WriteFailed = std::function<void(const std::string& text)>;

    // Creates or empties the file; nothing, and `error` saying why, when it cannot be opened.
    static std::shared_ptr<ExchangeRecorder> open(const std::string& path, std::string& error);
    ~ExchangeRecorder() override;

    const std::string& path() const { return m_path; }
    // Who hears of a failed write; told at once of one that came before.
    void onWriteFailed(WriteFailed handler);
    // Writes the header of a connection that starts now.
    void beginConnection(const Connection& connection);
    // From the connection's thread: queues the frame and returns at once.
    void record(Link::FrameDirection direction, const std::uint8_t* bytes, std::size_t size) override;
    // Writes what is queued and the count of lost frames, and closes the file; later frames
    // are ignored. Safe to call more than once.
    void finish();

    std::uint64_t lost() const { return m_lost; }
    bool failed() const { return m_failed; }

private:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::int64_t at_us = 0;
        Link::FrameDirection direction = Link::FrameDirection::Request;
        std::vector<std::uint8_t> bytes;
        std::string text; // a header line instead of a frame
    };

    ExchangeRecorder(std::string path, int fd);
    void queue(Entry entry);
    void writeLoop();
    void append(const Entry& entry);
    // False, with the writer stopped and the failure told, on an error.
    bool flush();
    // After a write that fell short at `fileEnd`: the file keeps whole lines and, where they
    // leave room for it, the end line.
    void cutBack(std::uint64_t fileEnd, std::size_t pendingWritten, const std::string& endLine);

    const std::string m_path;
    const int m_fd;
    const Clock::time_point m_start = Clock::now();
    std::mutex m_mutex;
    std::condition_variable m_wake;
    WriteFailed m_onWriteFailed;
    std::string m_failure;
    std::vector<Entry> m_queue;
    bool m_finishing = false;
    std::atomic<std::uint64_t> m_lost{0};
    std::atomic<bool> m_failed{false};
    std::string m_pending; // formatted, not yet written
    std::uint64_t m_written = 0; // whole lines on disk
    std::string m_tail;          // the last of them, where a cut may fall
    std::thread m_writer;
};

} // namespace VPanel::Panel
