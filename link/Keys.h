#pragma once

#include "link/ScanCodes.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
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
// worker, which takes a row for each request. Changes wait in the order they were made until
// a request takes them, so that a key tapped between two requests still shows down in one
// request and up in a later one. Either side holds the lock only to queue or take changes.
class KeyRow {
public:
    // More pending changes than this are the sign that no request takes them: the oldest
    // are then folded into the row unseen.
    static constexpr std::size_t pendingLimit = 64;

    KeyRow();

    // Codes that are not keys change nothing; Esc and Backspace share one key.
    void press(int keyCode);
    void release(int keyCode);
    // A press and its release queued together, for input that has no releases of its own (a
    // terminal). Typed keys must reach the device in order, so a tap that finds no room for
    // both changes is refused (false) rather than folding away earlier ones.
    bool tap(int keyCode);

    // The mask for the next request: pending changes in order, up to the first that goes the
    // other way than those taken before it (a release after presses or a press after
    // releases), so that the device never sees a key's release and a later press as one
    // event. Changes that leave a key as it is are dropped.
    std::uint32_t takeMask();
    // Takes every pending change at once: held keys stay down, earlier taps are forgotten.
    void settle();
    // True while a press or release waits for a request to take it.
    bool changeWaiting() const;

    // The row the last request carried.
    std::string text() const;

private:
    struct Change {
        std::size_t index = 0;
        char value = '0';
    };

    void queue(int keyCode, char value);

    mutable std::mutex m_mutex;
    std::string m_row;
    std::deque<Change> m_pending;
};

} // namespace VPanel::Link
