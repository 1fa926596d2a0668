#pragma once

#include "app/display/SymbolMatrix.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The payloads a gateway publishes for a device and the key messages it takes, as JSON. What
// arrives is from outside: a payload that is not what the gateway sends is refused whole
// (nothing), and sizes are bounded.
namespace RemoteMessages {

inline constexpr int maxRows = 16;
inline constexpr int maxPlaces = 80;
inline constexpr int glyphCount = 256;
inline constexpr int glyphColumns = 5;
inline constexpr int glyphRows = 8;
// Longer texts (names, event texts) are cut: they go to labels, titles and the journal.
inline constexpr int maxTextLength = 512;

struct State {
    QString link; // connecting, live, silent, gone, gateway offline; anything else as sent
    QString identity; // the device's line: name and software version
    int identifier = -1;
    int rows = 0;
    int places = 0;
    bool consoleOn = true;
    bool alarm = false;
    std::optional<int> retryInSeconds;
};

struct Screen {
    std::vector<QByteArray> cells; // a row of codes each, `places` long
    int places = 0;
    bool consoleOn = true;
    bool alarm = false;
};

struct Event {
    int code = 0;
    QString text;
};

std::optional<State> parseState(const QByteArray& payload);
std::optional<Screen> parseScreen(const QByteArray& payload);
std::optional<std::vector<SymbolMatrix>> parseGlyphs(const QByteArray& payload);
std::optional<Event> parseEvent(const QByteArray& payload);

// {"press":"F1"} or {"release":"F1"}; nothing for a scan code that is no device key.
std::optional<QByteArray> keyMessage(int scanCode, bool pressed);

} // namespace RemoteMessages
