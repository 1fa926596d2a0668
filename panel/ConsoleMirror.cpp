#include "panel/ConsoleMirror.h"

#include <algorithm>

namespace VPanel::Panel {

ConsoleMirror::ConsoleMirror() { resize(defaultRows, defaultPlaces); }

void ConsoleMirror::resize(int rows, int places)
{
    m_places = std::max(places, 0);
    const int kept = std::clamp(rows, 0, Link::exchangeRows);
    m_rows.assign(static_cast<std::size_t>(kept),
                  std::vector<std::uint8_t>(static_cast<std::size_t>(m_places), unsentCell));
}

ConsoleMirror::Changes ConsoleMirror::apply(const Link::ExchangeContent& content)
{
    Changes changes;
    // While the console was switched over, the window drew its own screen over the rows: every
    // row the device sends from now on has to reach the display again.
    if (content.consoleOn != m_consoleOn) {
        changes.consoleOn = m_consoleOn = content.consoleOn;
        for (std::vector<std::uint8_t>& stored : m_rows)
            std::fill(stored.begin(), stored.end(), unsentCell);
    }
    for (const Link::RowUpdate& update : content.rows) {
        if (update.row < 0 || update.row >= rows() || update.cells.size() != static_cast<std::size_t>(m_places))
            continue;
        std::vector<std::uint8_t>& stored = m_rows[static_cast<std::size_t>(update.row)];
        if (stored != update.cells) {
            stored = update.cells;
            changes.rows.push_back(update.row);
        }
    }
    if (content.soundOn != m_soundOn)
        changes.soundOn = m_soundOn = content.soundOn;
    return changes;
}

} // namespace VPanel::Panel
