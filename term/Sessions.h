#pragma once

#include "panel/DeviceLink.h"
#include "term/ViewFeed.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace VPanel::Term {

inline constexpr int exitDone = 0;
inline constexpr int exitTextNotSeen = 1;
inline constexpr int exitFailed = 2;

// Both start the link and run it until it ends, stopping it when a termination signal comes,
// and leave it ended, its stop packet sent.

// The display, state line and legend in the terminal, keys typed going to the device. Exit 0
// after a stop (or the terminal hanging up), 2 when the link ended on its own (its last event
// printed). Throws KelBase::RuntimeException, the link not started, for a terminal that cannot
// show the panel.
int runInTerminal(Panel::DeviceLink& link, ViewFeed& feed, int stopSignals);

struct Script {
    std::vector<int> keys;
    std::string expected; // UTF-8
    std::chrono::milliseconds timeout;
};

// Once the link is live, taps the keys and waits for the text; prints the display's rows to
// `out`. Exit 0 when the text appeared, 1 when it did not in time, 2 when the link failed.
int runScript(Panel::DeviceLink& link, ViewFeed& feed, int stopSignals, const Script& script, std::FILE* out);

} // namespace VPanel::Term
