#include "app/link/Keys.h"

#include "app/link/LinkErrors.h"

#include <boost/format.hpp>

#include <algorithm>
#include <utility>

namespace VPanel::Link {

namespace {
// Scan code, key number.
constexpr std::pair<int, int> keyTable[] = {
    {11, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}, {10, 10},
    {72, 11}, {75, 12}, {80, 13}, {77, 14}, {28, 15}, {1, 16}, {14, 16}, {59, 17}, {60, 18},
};

// Position in the row of the character that stands for a key number's bit.
std::size_t rowIndex(int number) { return keyRowLength - static_cast<std::size_t>(number); }
} // namespace

int keyNumber(int keyCode)
{
    const auto* entry = std::find_if(std::begin(keyTable), std::end(keyTable),
                                     [keyCode](const auto& item) { return item.first == keyCode; });
    return entry == std::end(keyTable) ? 0 : entry->second;
}

std::uint32_t keyMaskFromRow(std::string_view row)
{
    if (row.size() != keyRowLength)
        throw LinkException(
            (boost::wformat(KelBase::resStr(LinkMessage::BadKeyRow)) % keyRowLength).str());
    std::uint32_t mask = 0;
    for (char character : row)
        mask = (mask << 1) | (character == '1' ? 1u : 0u);
    return mask & keyMaskBits;
}

KeyRow::KeyRow() { clear(); }

void KeyRow::press(int keyCode) { set(keyCode, '1'); }
void KeyRow::release(int keyCode) { set(keyCode, '0'); }

void KeyRow::clear()
{
    for (auto& character : m_row)
        character.store('0', std::memory_order_relaxed);
}

std::string KeyRow::text() const
{
    std::string row(keyRowLength, '0');
    for (std::size_t i = 0; i < keyRowLength; ++i)
        row[i] = m_row[i].load(std::memory_order_relaxed);
    return row;
}

std::uint32_t KeyRow::mask() const { return keyMaskFromRow(text()); }

void KeyRow::set(int keyCode, char value)
{
    if (const int number = keyNumber(keyCode))
        m_row[rowIndex(number)].store(value, std::memory_order_relaxed);
}

} // namespace VPanel::Link
