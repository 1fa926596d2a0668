#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How frames of the line are written down for people, the same for the simulator's log and the
// program's recordings: a time stamp, the direction as the device sees it ("<-" for what the PC
// sent, "->" for what came back) and the bytes in hexadecimal, with an optional note after
// them, e.g. "12:34:56.789 <- 01 13 00 ...  (note)".

namespace VPanel::Link {

enum class FrameDirection { Request, Reply };

enum class FrameLineFault { NoDirection, NoBytes, BadByte, TooLong };

struct NotedFrame {
    std::string stamp;
    FrameDirection direction = FrameDirection::Request;
    std::vector<std::uint8_t> bytes;
};

std::string hexBytes(const std::uint8_t* bytes, std::size_t size);

std::string frameLine(const std::string& stamp, FrameDirection direction, const std::uint8_t* bytes, std::size_t size,
                      const std::string& note = {});

// The frame of a line written by frameLine; the note, if any, is left out. Nothing, and the
// fault, when the line is not one.
std::optional<NotedFrame> parseFrameLine(const std::string& line, FrameLineFault& fault);

} // namespace VPanel::Link
