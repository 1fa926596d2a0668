#pragma once

// What the connection tells the window through QOTransmissionThread::alarm(int, QString). The
// numbers are those the signal carries; 5 is not used.
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
