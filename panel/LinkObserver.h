#pragma once

#include "link/Glyph.h"
#include "panel/LinkEvent.h"

#include <cstdint>
#include <vector>

namespace VPanel::Panel {

// Told, on the link's own thread and in the order things happen, what changed. It must not
// block for long: the poll waits for it.
class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    virtual void linkEvent(const Event& event) = 0;
    // After the console's identification: the display's size in rows and places.
    virtual void consoleSized(int rows, int places) = 0;
    virtual void glyphChanged(int code, const Link::DotMatrix& dots) = 0;
    // The whole row, one byte per place.
    virtual void rowChanged(int row, const std::vector<std::uint8_t>& cells) = 0;
    // Glyphs or row 0 arrived: the display is drawn anew.
    virtual void viewReset() = 0;
    virtual void deviceIdentified(int identifier) = 0;
};

} // namespace VPanel::Panel
