#pragma once

#include "baselib/exceptions/MessageTable.h"
#include "comm/Export.h"

#include <cstdint>

namespace KelComm::Serial {

// The line setting enumerations: each a small value holding one int, so that a value
// outside the named ones can be carried (and is then left alone when a line is set up).
struct Parity {
    enum Value { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
    Parity(int v = None) : value(v) {}
    operator int() const { return value; }
    int value = None;
};

struct StopBits {
    enum Value { One = 0, Two = 1 };
    StopBits(int v = One) : value(v) {}
    operator int() const { return value; }
    int value = One;
};

struct DTR_Control {
    enum Value { Disable = 0, Enable = 1, Handshake = 2 };
    DTR_Control(int v = Disable) : value(v) {}
    operator int() const { return value; }
    int value = Disable;
};

struct RTS_Control {
    enum Value { Disable = 0, Enable = 1, Handshake = 2, Toggle = 3 };
    RTS_Control(int v = Disable) : value(v) {}
    operator int() const { return value; }
    int value = Disable;
};

// The result of every transfer and wait.
struct IO_Result {
    enum Status { Success = 0, Aborted = 1, TimedOut = 2 };
    enum ErrorFlag : std::uint8_t {
        BreakDetected = 0x01,
        FramingError = 0x02,
        ModeError = 0x04,
        Overrun = 0x08,
        ParityError = 0x10,
    };

    IO_Result(int s = Success, std::uint8_t e = 0) : status(s), errors(e) {}
    bool isGood() const { return status == Success && errors == 0; }

    int status = Success;
    std::uint8_t errors = 0;
};

} // namespace KelComm::Serial

namespace KelBase {

// The texts of the enumerations, also the texts under which settings are stored.
template <>
struct MessageTable<KelComm::Serial::Parity::Value> {
    static constexpr const wchar_t* texts[] = {L"None", L"Odd", L"Even", L"Mark", L"Space"};
};

template <>
struct MessageTable<KelComm::Serial::StopBits::Value> {
    static constexpr const wchar_t* texts[] = {L"One", L"Two"};
};

template <>
struct MessageTable<KelComm::Serial::DTR_Control::Value> {
    static constexpr const wchar_t* texts[] = {L"Disable", L"Enable", L"Handshake"};
};

template <>
struct MessageTable<KelComm::Serial::RTS_Control::Value> {
    static constexpr const wchar_t* texts[] = {L"Disable", L"Enable", L"Handshake", L"Toggle"};
};

} // namespace KelBase
