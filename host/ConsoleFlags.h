#pragma once

#include "panel/LinkEvent.h"

namespace VPanel::Host {

// The console's switch and the buzzer as the link's events tell them.
struct ConsoleFlags {
    bool consoleOn = true;
    bool alarm = false;

    // True when the event changed either.
    bool apply(Panel::LinkEvent code);
};

// Whether the link ends with this event: failed, silent or stopped.
bool endsLink(Panel::LinkEvent code);

} // namespace VPanel::Host
