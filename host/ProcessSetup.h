#pragma once

#include <map>
#include <string>

// What a program without a window sets up before it keeps devices.
namespace VPanel::Host {

// SIGINT, SIGQUIT, SIGTERM and SIGHUP blocked for every thread from here on (call it before any
// starts) and readable from the returned descriptor instead; a reader that goes away is no signal.
int terminationSignals();

// The device dictionary's names by identifier, UTF-8; none when no dictionary is found.
std::map<int, std::string> deviceNamesFromDictionary();

} // namespace VPanel::Host
