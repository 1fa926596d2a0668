#pragma once

#include <optional>

// The set-1 scan code that the device expects for a PC key, from QKeyEvent::key().
// Native scan codes differ between platforms (the arrows above all), so the Qt key
// is translated instead. Keys that stand for no device key give no value.
std::optional<int> scanCodeFromQtKey(int qtKey);
