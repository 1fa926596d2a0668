#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace VPanel::Host {

enum class LinkState {
    Connecting, // opening, identifying, starting; also while waiting for a retry (see retryAt)
    Live,       // rows arrive
    Silent,     // the device stopped answering, or the link failed on the device's side
    Gone,       // the port cannot be opened or vanished
};

// "connecting", "live", "silent", "gone".
const char* linkStateName(LinkState state);

struct JournalEntry {
    QDateTime time; // UTC
    int code = 0;   // a Panel::LinkEvent number
    QString text;   // translated, filled in
};

struct DeviceSnapshot {
    LinkState state = LinkState::Connecting;
    std::optional<QDateTime> retryAt; // when the next attempt starts, after a failure
    int identifier = -1;              // -1 before identification
    QString deviceName;               // from the dictionary, else the identifier; empty before
    QString identity;                 // the identification event's text (name, software version)
    int rows = 0;
    int places = 0;
    std::vector<std::vector<std::uint8_t>> cells; // codes, rows x places
    std::vector<QString> rowTexts;               // each row as text, own glyphs as their nearest character
    bool consoleOn = true;
    bool alarm = false;
    quint64 screenSequence = 0; // +1 on each change of cells, console or alarm
    quint64 glyphSequence = 0;  // +1 on each change of the glyph table
};

} // namespace VPanel::Host
