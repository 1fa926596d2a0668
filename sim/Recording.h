#pragma once

#include "link/Packet.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace VPanel::Sim {

// A recording from elsewhere is read only this far: a line no longer than the longest frame
// with a stamp and a note, and about three hours of back-to-back polling.
struct RecordingLimits {
    std::size_t lineLength = 32 + 4 + 3 * Link::maxFrameSize + 256;
    std::size_t fileSize = std::size_t{256} << 20;
    std::size_t frames = 2'000'000;
};

// A recording of a line, read back: for each kind of request (its command), the replies the
// device gave, in the order it gave them. A reply is what the PC read after one request, in
// one or more pieces.
class Recording {
public:
    struct Piece {
        // From the request, or from the piece before, to when the PC had read this piece.
        std::chrono::microseconds after{0};
        std::vector<std::uint8_t> bytes;
    };
    using Reply = std::vector<Piece>; // empty: the device did not answer

    using Limits = RecordingLimits;
    // Stamps beyond this (about 31 years) are refused rather than waited for or overflowed.
    static constexpr double maxStamp_ms = 1e12;
    static constexpr std::chrono::milliseconds maxWriteInterval{1000};

    // Throws SimulatorException naming the file, the line and what is wrong with it. Only a
    // malformed last line, as a recording cut short by a full disk or a crash leaves, is
    // skipped, with a warning.
    static Recording read(const std::string& path);
    static Recording parse(std::istream& input, const std::string& name, const Limits& limits = {});

    const std::map<std::uint16_t, std::vector<Reply>>& replies() const { return m_replies; }
    // The gap that ended each read on the recorded line.
    std::chrono::milliseconds writeInterval() const { return m_writeInterval; }
    // What was skipped, one text (UTF-8) for each.
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    class Reader;

    std::map<std::uint16_t, std::vector<Reply>> m_replies;
    std::chrono::milliseconds m_writeInterval{20};
    std::vector<std::string> m_warnings;
};

// Plays a recording back: each request gets the next recorded reply to its kind; once they
// are used up, the last one again, so that the last screen stays.
class Replay {
public:
    explicit Replay(Recording recording) : m_recording(std::move(recording)) {}

    // Null for a kind of request that was never recorded.
    const Recording::Reply* next(std::uint16_t command);
    // Recorded replies to this kind not yet played.
    std::size_t left(std::uint16_t command) const;
    std::chrono::milliseconds writeInterval() const { return m_recording.writeInterval(); }
    const std::vector<std::string>& warnings() const { return m_recording.warnings(); }

private:
    Recording m_recording;
    mutable std::mutex m_mutex;
    std::map<std::uint16_t, std::size_t> m_played;
};

} // namespace VPanel::Sim
