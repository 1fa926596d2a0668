#pragma once

// The keys a device knows, by the PC keyboard's set-1 scan codes that the keypad reports and
// the link turns into key numbers.

namespace VPanel::Link::ScanCode {

inline constexpr int Escape = 1;
inline constexpr int Digit1 = 2; // digits 2..9 follow in order
inline constexpr int Digit0 = 11;
inline constexpr int Backspace = 14; // the same device key as Escape
inline constexpr int Enter = 28;
inline constexpr int F1 = 59;
inline constexpr int F2 = 60;
inline constexpr int Up = 72;
inline constexpr int Left = 75;
inline constexpr int Right = 77;
inline constexpr int Down = 80;

// Not device keys: NumLock shows or hides the keypad's numeric block, Stop asks the
// connection to end.
inline constexpr int NumLock = 69;
inline constexpr int Stop = 81;

// The scan code of a digit key, 0..9.
constexpr int digit(int value) { return value == 0 ? Digit0 : Digit1 + value - 1; }

} // namespace VPanel::Link::ScanCode
