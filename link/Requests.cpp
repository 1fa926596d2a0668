#include "link/Requests.h"

#include "link/Keys.h"

namespace VPanel::Link {

Frame deviceIdentificationRequest(std::uint8_t address) { return Frame(address, Command::DeviceIdentification); }
Frame consoleIdentificationRequest(std::uint8_t address) { return Frame(address, Command::ConsoleIdentification); }
Frame startRequest(std::uint8_t address) { return Frame(address, Command::Start); }
Frame stopRequest(std::uint8_t address) { return Frame(address, Command::Stop); }

Frame exchangeRequest(std::uint8_t address, std::uint32_t keyMask)
{
    const std::uint32_t mask = keyMask & keyMaskBits;
    const std::uint8_t data[] = {static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8),
                                 static_cast<std::uint8_t>(mask >> 16), static_cast<std::uint8_t>(mask >> 24)};
    return Frame(address, Command::Exchange, data, sizeof data);
}

Frame symbolMatrixRequest(std::uint8_t address, std::uint8_t glyphIndex)
{
    return Frame(address, Command::SymbolMatrix, &glyphIndex, 1);
}

Frame languageRequest(std::uint8_t address, std::uint16_t language)
{
    const std::uint8_t data[] = {static_cast<std::uint8_t>(language & 0xFF), static_cast<std::uint8_t>(language >> 8)};
    return Frame(address, Command::Language, data, sizeof data);
}

} // namespace VPanel::Link
