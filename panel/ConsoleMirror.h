#pragma once

#include "link/Contents.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace VPanel::Panel {

// The PC's copy of what the console last showed: its rows, on/off state and sound state, so
// that only changes go on to the display and the window.
class ConsoleMirror {
public:
    static constexpr int defaultRows = Link::defaultConsoleRows;
    static constexpr int defaultPlaces = Link::defaultConsolePlaces;
    // What a row holds before the device has sent it.
    static constexpr std::uint8_t unsentCell = '0';

    struct Changes {
        std::vector<int> rows; // rows whose content differs from before, in row order
        std::optional<bool> consoleOn;
        std::optional<bool> soundOn;
    };

    ConsoleMirror();

    // Sizes the rows by what the console reported, every row unsent again. Only the rows an
    // exchange reply can carry are kept.
    void resize(int rows, int places);

    // Takes a reply's content; a row the console does not have, or of another width, is
    // left out.
    Changes apply(const Link::ExchangeContent& content);

    int rows() const { return static_cast<int>(m_rows.size()); }
    int places() const { return m_places; }
    const std::vector<std::uint8_t>& row(int index) const { return m_rows.at(static_cast<std::size_t>(index)); }
    bool consoleOn() const { return m_consoleOn; }
    bool soundOn() const { return m_soundOn; }

private:
    std::vector<std::vector<std::uint8_t>> m_rows;
    int m_places = defaultPlaces;
    bool m_consoleOn = true;
    bool m_soundOn = false;
};

} // namespace VPanel::Panel
