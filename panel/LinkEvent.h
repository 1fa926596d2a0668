#pragma once

#include <string>
#include <vector>

namespace VPanel::Panel {

// What the connection tells its host, in the order it happens. The numbers are those the
// window's QOTransmissionThread::alarm(int, QString) carries; 5 is not used.
enum class LinkEvent : int {
    Exception = 0,                 // the connection failed and stops
    DeviceSilent = 1,              // the device stopped answering; the connection ends
    ConsoleVersionUnsupported = 2, // the console's version is not one the link speaks
    ConsoleOffAtStart = 3,         // the start reply finds the console off
    BadReply = 4,                  // a malformed reply, or the stop reply finds the device off
    Stopped = 6,                   // the connection ended on request
    ConsoleOn = 7,
    ConsoleOff = 8,
    Progress = 9,                  // start-up steps and link diagnostics
    DeviceIdentified = 10,         // the text names the device and its software version
    ConsoleIdentified = 11,
    SoundOn = 12,
    SoundOff = 13,
};

constexpr int eventCode(LinkEvent event) { return static_cast<int>(event); }

// A text of the link in its source language (Russian, UTF-8) with %1..%n placeholders and
// their arguments. A Qt host translates `source` under the context "QOTransmissionThread"
// and fills in the arguments with fillIn(); russianText() fills them in untranslated.
struct EventText {
    const char* source = "";
    std::vector<std::string> arguments;
};

// The pattern with each %k replaced by arguments[k - 1] in one pass, so that an argument
// that itself holds "%2" stays as it is; a placeholder without an argument is kept.
std::string fillIn(const std::string& pattern, const std::vector<std::string>& arguments);
std::string russianText(const EventText& text);

// The source of the text of a port that failed to open or failed while open: "port: cause".
// A host may add its own advice to it.
inline constexpr char portFailureText[] = "%1: %2";

struct Event {
    LinkEvent code = LinkEvent::Progress;
    EventText text;
};

} // namespace VPanel::Panel
