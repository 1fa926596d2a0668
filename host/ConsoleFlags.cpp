#include "host/ConsoleFlags.h"

#include <utility>

namespace VPanel::Host {

bool ConsoleFlags::apply(Panel::LinkEvent code)
{
    using Panel::LinkEvent;
    switch (code) {
    case LinkEvent::ConsoleOn: return !std::exchange(consoleOn, true);
    case LinkEvent::ConsoleOff:
    case LinkEvent::ConsoleOffAtStart: return std::exchange(consoleOn, false);
    case LinkEvent::SoundOn: return !std::exchange(alarm, true);
    case LinkEvent::SoundOff: return std::exchange(alarm, false);
    default: return false;
    }
}

bool endsLink(Panel::LinkEvent code)
{
    using Panel::LinkEvent;
    return code == LinkEvent::Exception || code == LinkEvent::DeviceSilent || code == LinkEvent::Stopped;
}

} // namespace VPanel::Host
