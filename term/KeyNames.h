#pragma once

#include <optional>

// The terminal keys that press the device's keys.

namespace VPanel::Term {

// The scan code of what the terminal library read: a function key (KEY_UP, KEY_F(1)...) when
// `functionKey`, else a character. Nothing for a key the device does not have.
std::optional<int> scanCodeOfTerminalKey(int key, bool functionKey);

} // namespace VPanel::Term
