#pragma once

#include "link/FrameNotation.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace VPanel::Sim {

// Each frame of the line in the frame notation after a local time stamp, for an operator who
// diagnoses a line: "12:34:56.789 <- 01 13 00 ..." for what the PC sent, "->" for replies.
class FrameLog {
public:
    explicit FrameLog(std::ostream* out) : m_out(out) {}

    void received(const std::uint8_t* bytes, std::size_t size, const std::string& note);
    void sent(const std::uint8_t* bytes, std::size_t size, const std::string& note);

private:
    void frame(Link::FrameDirection direction, const std::uint8_t* bytes, std::size_t size, const std::string& note);

    std::ostream* m_out;
};

} // namespace VPanel::Sim
