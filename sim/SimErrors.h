#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/Exception.h"
#include "baselib/exceptions/MessageTable.h"

#include <string>

namespace VPanel::Sim {

KEL_DECLARE_EXCEPTION(SimulatorException, KelBase::RuntimeException, KELBASE_EXPORT);

enum class SimMessage {
    SystemCall,
    PortTaken,
    NoFreePort,
    BadPortName,
    DuplicateAddress,
    UnknownOption,
    MissingValue,
    BadValue,
    UnexpectedArgument,
    RecordingUnreadable,
    RecordingLine,
};

// Throws SimulatorException with the message's text filled with the given texts (UTF-8).
[[noreturn]] void throwSimulatorError(SimMessage message, const std::string& first, const std::string& second = {},
                                      const std::string& third = {});
// Throws SimulatorException naming the failed call and the system's text for errno.
[[noreturn]] void throwSystemError(const wchar_t* call);

} // namespace VPanel::Sim

namespace KelBase {
template <>
struct MessageTable<VPanel::Sim::SimMessage> {
    static constexpr const wchar_t* texts[] = {
        L"%s: %s",
        L"Порт %s уже занят: %s",
        L"Нет свободного имени порта в каталоге %s",
        L"Неверное имя порта '%s' (ожидается COMn, n от 1 до 65535)",
        L"Адрес %d задан для нескольких устройств",
        L"Неизвестный параметр '%s'",
        L"Параметру '%s' нужно значение",
        L"Недопустимое значение '%s' параметра '%s'",
        L"Лишний аргумент '%s'",
        L"Запись %s не читается: %s",
        L"Запись %s, строка %s: %s",
    };
};
} // namespace KelBase
