#include "sim/SimDevice.h"

#include <algorithm>
#include <numeric>

namespace VPanel::Sim {

std::uint64_t DeviceCounters::requestsOf(std::uint16_t command) const
{
    const auto found = requests.find(command);
    return found == requests.end() ? 0 : found->second;
}

std::uint64_t DeviceCounters::totalRequests() const
{
    return std::accumulate(requests.begin(), requests.end(), std::uint64_t{0},
                           [](std::uint64_t sum, const auto& entry) { return sum + entry.second; });
}

SimDevice::SimDevice(const FirmwareSetup& setup, Firmware::SteadyTime start)
    : m_setup(setup), m_firmware(setup, start), m_sentRows(setup.consoleRows)
{
}

std::optional<Link::Frame> SimDevice::handle(const Link::Request& request, const DeviceQuirks& quirks,
                                             Firmware::SteadyTime now, Firmware::WallTime wall)
{
    ++m_counters.requests[request.command];
    std::optional<Link::Frame> answer = reply(request, quirks, now, wall);
    if (!answer)
        return answer;
    std::vector<std::uint8_t> data(answer->data(), answer->data() + answer->dataSize());
    if (quirks.extraByteAfter == request.command)
        data.push_back(0);
    else if (quirks.cutExchangeReplies && request.command == Link::Command::Exchange)
        data.resize(1);
    else
        return answer;
    return Link::Frame(answer->address(), answer->command(), data);
}

std::optional<Link::Frame> SimDevice::reply(const Link::Request& request, const DeviceQuirks& quirks,
                                            Firmware::SteadyTime now, Firmware::WallTime wall)
{
    const std::uint8_t address = m_setup.address;
    switch (request.command) {
    case Link::Command::DeviceIdentification: {
        const Link::Frame full =
            Link::deviceIdentificationReply(address, {m_setup.identifier, m_setup.major, m_setup.minor});
        if (!quirks.shortIdentification)
            return full;
        return Link::Frame(address, Link::Command::DeviceIdentification, full.data(), sizeof m_setup.identifier);
    }
    case Link::Command::ConsoleIdentification:
        return Link::consoleIdentificationReply(
            address, {quirks.consoleVersion, m_setup.consoleRows, m_setup.consolePlaces,
                      static_cast<std::uint8_t>(m_setup.glyphCount)});
    case Link::Command::Start:
        m_sentRows.assign(m_sentRows.size(), std::nullopt);
        if (quirks.consoleOffAtStart)
            m_firmware.setConsoleOn(false);
        return Link::startReply(address, {!m_firmware.consoleOn()});
    case Link::Command::Stop:
        return Link::stopReply(address, {quirks.deviceOffAtStop});
    case Link::Command::Exchange:
        logKeyMask(request.keyMask, now);
        return exchange(request.keyMask, now, wall);
    case Link::Command::SymbolMatrix: {
        if (request.glyphIndex >= m_setup.glyphCount)
            return std::nullopt;
        const Link::Glyph& glyph = m_firmware.glyphs()[request.glyphIndex];
        if (request.glyphIndex < m_sentGlyphs.size())
            m_sentGlyphs[request.glyphIndex] = glyph;
        return Link::symbolMatrixReply(address, glyph);
    }
    case Link::Command::Language:
        m_firmware.setLanguage(request.language);
        return Link::languageReply(address);
    default:
        return std::nullopt;
    }
}

void SimDevice::logKeyMask(std::uint32_t keyMask, Firmware::SteadyTime now)
{
    if (keyMask != m_counters.lastKeyMask) {
        auto& log = m_counters.keyMaskChanges;
        log.push_back({keyMask, now, m_lastExchangeAt.value_or(now)});
        if (log.size() > DeviceCounters::keyMaskLogLength)
            log.erase(log.begin());
    }
    m_counters.lastKeyMask = keyMask;
    m_lastExchangeAt = now;
}

Link::Frame SimDevice::exchange(std::uint32_t keyMask, Firmware::SteadyTime now, Firmware::WallTime wall)
{
    m_firmware.advance(now, wall);
    m_firmware.keys(keyMask);

    Link::ExchangeContent content;
    content.consoleOn = m_firmware.consoleOn();
    // A console that comes on draws its whole screen again.
    if (content.consoleOn && !m_consoleWasOn)
        m_sentRows.assign(m_sentRows.size(), std::nullopt);
    m_consoleWasOn = content.consoleOn;
    redrawWhenDue(now);
    content.soundOn = m_firmware.soundOn();
    for (std::size_t row = 0; row < m_sentRows.size(); ++row) {
        std::vector<std::uint8_t> cells = consoleRow(static_cast<int>(row));
        if (m_setup.changingRows)
            cells.back() = static_cast<std::uint8_t>('0' + m_counters.requestsOf(Link::Command::Exchange) % 10);
        if (m_sentRows[row] != cells) {
            m_sentRows[row] = cells;
            content.rows.push_back({static_cast<int>(row), std::move(cells)});
        }
    }
    const auto& glyphs = m_firmware.glyphs();
    for (std::size_t code = 0; code < glyphs.size() && code < m_sentGlyphs.size(); ++code) {
        if (m_sentGlyphs[code] != glyphs[code]) {
            m_sentGlyphs[code] = glyphs[code];
            content.glyphs.push_back({static_cast<int>(code), glyphs[code]});
        }
    }
    return Link::exchangeReply(m_setup.address, content);
}

void SimDevice::redrawWhenDue(Firmware::SteadyTime now)
{
    if (m_setup.redrawInterval.count() <= 0)
        return;
    if (!m_lastRedrawAt || now - *m_lastRedrawAt >= m_setup.redrawInterval) {
        m_sentRows.assign(m_sentRows.size(), std::nullopt);
        m_lastRedrawAt = now;
    }
}

std::vector<std::uint8_t> SimDevice::consoleRow(int row) const
{
    std::vector<std::uint8_t> cells(m_setup.consolePlaces, ' ');
    if (row < Firmware::rows) {
        const Firmware::Row& shown = m_firmware.screen()[static_cast<std::size_t>(row)];
        std::copy_n(shown.begin(), std::min(cells.size(), shown.size()), cells.begin());
    }
    return cells;
}

} // namespace VPanel::Sim
