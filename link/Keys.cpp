#include "link/Keys.h"

#include "link/LinkErrors.h"

#include <boost/format.hpp>

#include <algorithm>
#include <utility>

namespace VPanel::Link {

namespace {
// Scan code, key number.
constexpr std::pair<int, int> keyTable[] = {
    {ScanCode::digit(0), Key::Digit0},
    {ScanCode::digit(1), Key::Digit0 + 1},
    {ScanCode::digit(2), Key::Digit0 + 2},
    {ScanCode::digit(3), Key::Digit0 + 3},
    {ScanCode::digit(4), Key::Digit0 + 4},
    {ScanCode::digit(5), Key::Digit0 + 5},
    {ScanCode::digit(6), Key::Digit0 + 6},
    {ScanCode::digit(7), Key::Digit0 + 7},
    {ScanCode::digit(8), Key::Digit0 + 8},
    {ScanCode::digit(9), Key::Digit0 + 9},
    {ScanCode::Up, Key::Up},
    {ScanCode::Left, Key::Left},
    {ScanCode::Down, Key::Down},
    {ScanCode::Right, Key::Right},
    {ScanCode::Enter, Key::Enter},
    {ScanCode::Escape, Key::Escape},
    {ScanCode::Backspace, Key::Escape},
    {ScanCode::F1, Key::F1},
    {ScanCode::F2, Key::F2},
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

KeyRow::KeyRow() : m_row(keyRowLength, '0') {}

void KeyRow::press(int keyCode) { queue(keyCode, '1'); }
void KeyRow::release(int keyCode) { queue(keyCode, '0'); }

bool KeyRow::tap(int keyCode)
{
    const int number = keyNumber(keyCode);
    if (!number)
        return true;
    const std::lock_guard lock(m_mutex);
    if (m_pending.size() + 2 > pendingLimit)
        return false;
    m_pending.push_back({rowIndex(number), '1'});
    m_pending.push_back({rowIndex(number), '0'});
    return true;
}

std::uint32_t KeyRow::takeMask()
{
    const std::lock_guard lock(m_mutex);
    char direction = 0;
    while (!m_pending.empty()) {
        const Change change = m_pending.front();
        char& character = m_row[change.index];
        if (character != change.value) {
            if (direction && direction != change.value)
                break;
            direction = change.value;
            character = change.value;
        }
        m_pending.pop_front();
    }
    return keyMaskFromRow(m_row);
}

void KeyRow::settle()
{
    const std::lock_guard lock(m_mutex);
    for (const Change& change : m_pending)
        m_row[change.index] = change.value;
    m_pending.clear();
}

bool KeyRow::changeWaiting() const
{
    const std::lock_guard lock(m_mutex);
    return !m_pending.empty();
}

std::string KeyRow::text() const
{
    const std::lock_guard lock(m_mutex);
    return m_row;
}

void KeyRow::queue(int keyCode, char value)
{
    const int number = keyNumber(keyCode);
    if (!number)
        return;
    const std::lock_guard lock(m_mutex);
    m_pending.push_back({rowIndex(number), value});
    if (m_pending.size() > pendingLimit) {
        m_row[m_pending.front().index] = m_pending.front().value;
        m_pending.pop_front();
    }
}

} // namespace VPanel::Link
