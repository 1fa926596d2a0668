#include "link/Device.h"

#include "link/LinkErrors.h"

#include <boost/format.hpp>

#include <algorithm>
#include <vector>

namespace VPanel::Link {

namespace {

std::uint32_t readU32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

[[noreturn]] void reject(LinkMessage message, int value)
{
    throw LinkException((boost::wformat(KelBase::resStr(message)) % value).str());
}

void appendRows(const ExchangeContent& content, std::vector<std::uint8_t>& data)
{
    std::vector<const RowUpdate*> rows;
    for (const auto& row : content.rows) {
        const bool duplicate = std::any_of(rows.begin(), rows.end(), [&](const RowUpdate* seen) { return seen->row == row.row; });
        if (row.row < 0 || row.row >= exchangeRows || duplicate || row.cells.size() != content.rows.front().cells.size())
            reject(LinkMessage::BadRow, row.row);
        rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(), [](const RowUpdate* a, const RowUpdate* b) { return a->row < b->row; });
    for (const RowUpdate* row : rows)
        data.insert(data.end(), row->cells.begin(), row->cells.end());
}

void appendGlyphs(const ExchangeContent& content, std::vector<std::uint8_t>& data)
{
    std::vector<const GlyphUpdate*> glyphs;
    for (const auto& glyph : content.glyphs) {
        const bool duplicate = std::any_of(glyphs.begin(), glyphs.end(), [&](const GlyphUpdate* seen) { return seen->code == glyph.code; });
        if (glyph.code < 0 || glyph.code >= exchangeGlyphs || duplicate)
            reject(LinkMessage::BadGlyphCode, glyph.code);
        glyphs.push_back(&glyph);
    }
    std::sort(glyphs.begin(), glyphs.end(), [](const GlyphUpdate* a, const GlyphUpdate* b) { return a->code < b->code; });
    for (const GlyphUpdate* glyph : glyphs)
        data.insert(data.end(), glyph->glyph.begin(), glyph->glyph.end());
}

} // namespace

std::optional<std::size_t> requestSize(std::uint16_t command)
{
    switch (command) {
    case Command::DeviceIdentification:
    case Command::ConsoleIdentification:
    case Command::Start:
    case Command::Stop:
        return frameOverhead;
    case Command::Exchange:
        return frameOverhead + sizeof(std::uint32_t);
    case Command::SymbolMatrix:
        return frameOverhead + sizeof(std::uint8_t);
    case Command::Language:
        return frameOverhead + sizeof(std::uint16_t);
    default:
        return std::nullopt;
    }
}

ParsedRequest parseRequest(const std::uint8_t* bytes, std::size_t size)
{
    ParsedRequest parsed;
    if (size < frameOverhead)
        return parsed;
    Request& request = parsed.request;
    request.address = bytes[0];
    request.command = readU16(bytes + 1);
    const auto expected = requestSize(request.command);
    if (!expected) {
        parsed.status = RequestStatus::UnknownCommand;
        return parsed;
    }
    if (size != *expected) {
        parsed.status = RequestStatus::WrongLength;
        return parsed;
    }
    if (checksum(bytes, size - checksumSize) != readU16(bytes + size - checksumSize)) {
        parsed.status = RequestStatus::ChecksumMismatch;
        return parsed;
    }
    const std::uint8_t* data = bytes + headerSize;
    if (request.command == Command::Exchange)
        request.keyMask = readU32(data);
    else if (request.command == Command::SymbolMatrix)
        request.glyphIndex = data[0];
    else if (request.command == Command::Language)
        request.language = readU16(data);
    parsed.status = RequestStatus::Ok;
    return parsed;
}

Frame deviceIdentificationReply(std::uint8_t address, const DeviceIdentity& identity)
{
    const std::uint8_t data[] = {static_cast<std::uint8_t>(identity.identifier & 0xFF),
                                 static_cast<std::uint8_t>(identity.identifier >> 8), identity.major, identity.minor};
    return Frame(address, Command::DeviceIdentification, data, sizeof data);
}

Frame consoleIdentificationReply(std::uint8_t address, const ConsoleIdentity& identity)
{
    const std::uint8_t data[] = {identity.version, identity.rows, identity.places, identity.glyphs};
    return Frame(address, Command::ConsoleIdentification, data, sizeof data);
}

Frame startReply(std::uint8_t address, const StartState& state)
{
    const std::uint8_t data = state.panelOff ? 1 : 0;
    return Frame(address, Command::Start, &data, 1);
}

Frame stopReply(std::uint8_t address, const StopState& state)
{
    const std::uint8_t data = state.deviceOff ? 1 : 0;
    return Frame(address, Command::Stop, &data, 1);
}

Frame exchangeReply(std::uint8_t address, const ExchangeContent& content)
{
    std::vector<std::uint8_t> data(sizeof(std::uint16_t));
    appendRows(content, data);
    appendGlyphs(content, data);
    const std::uint16_t flags = content.flags();
    data[0] = static_cast<std::uint8_t>(flags & 0xFF);
    data[1] = static_cast<std::uint8_t>(flags >> 8);
    return Frame(address, Command::Exchange, data);
}

Frame symbolMatrixReply(std::uint8_t address, const Glyph& glyph)
{
    return Frame(address, Command::SymbolMatrix, glyph.data(), glyph.size());
}

Frame languageReply(std::uint8_t address) { return Frame(address, Command::Language); }

} // namespace VPanel::Link
