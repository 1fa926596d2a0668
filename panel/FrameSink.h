#pragma once

#include "link/FrameNotation.h"

#include <cstddef>
#include <cstdint>

namespace VPanel::Panel {

// Takes the frames of the line as the port wrote or read them, on the link's thread; it must
// return at once.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void record(Link::FrameDirection direction, const std::uint8_t* bytes, std::size_t size) = 0;
};

} // namespace VPanel::Panel
