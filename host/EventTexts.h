#pragma once

#include "panel/LinkEvent.h"

#include <QString>

namespace VPanel::Host {

// The link's event text, translated by the installed catalogue under the context the window
// uses for the link's events, its arguments filled in.
QString eventText(const Panel::Event& event);

} // namespace VPanel::Host
