#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Keys travel to the device as a 32-bit mask: key number k (1..18) is bit k - 1. The keypad
// reports PC scan codes; the table below turns them into key numbers.

namespace VPanel::Link {

namespace Key {
inline constexpr int Digit0 = 1; // digits 1..9 are key numbers 2..10
inline constexpr int Up = 11;
inline constexpr int Left = 12;
inline constexpr int Down = 13;
inline constexpr int Right = 14;
inline constexpr int Enter = 15;
inline constexpr int Escape = 16; // also Backspace
inline constexpr int F1 = 17;
inline constexpr int F2 = 18;
inline constexpr int count = 18;
} // namespace Key

// Not a key: asks the connection to stop.
inline constexpr int stopCode = 81;

inline constexpr std::size_t keyRowLength = 24;
// Bits above the last key are never sent.
inline constexpr std::uint32_t keyMaskBits = (1u << Key::count) - 1;

// The key number of a scan code, 0 for a code that is not a key.
int keyNumber(int keyCode);
inline std::uint32_t keyBit(int number) { return number >= 1 && number <= Key::count ? 1u << (number - 1) : 0u; }

// The mask of a row of 24 "0"/"1" characters whose first character is bit 23 and last bit 0;
// throws LinkException for a row of another length.
std::uint32_t keyMaskFromRow(std::string_view row);

// The key row shared by the GUI thread, which presses and releases keys, and the connection's
// worker, which takes the whole row for each request. Each character is one atomic value, so
// no lock is needed and a change shows in the next request.
class KeyRow {
public:
    KeyRow();

    // Codes that are not keys change nothing; Esc and Backspace share one key.
    void press(int keyCode);
    void release(int keyCode);
    void clear();

    std::string text() const;
    std::uint32_t mask() const;

private:
    void set(int keyCode, char value);

    std::array<std::atomic<char>, keyRowLength> m_row;
};

} // namespace VPanel::Link
