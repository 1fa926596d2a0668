#pragma once

#include "baselib/exceptions/MessageTable.h"

// The message tables of the settings nodes; codes count from 0 in table order.
namespace KelComm::Serial {
enum class SettingsNodeMessage { IncorrectNodeClass };
} // namespace KelComm::Serial

namespace Kel_s11n {
enum class EnumMessage { ValueMissing };
} // namespace Kel_s11n

namespace KelBase {

template <>
struct MessageTable<KelComm::Serial::SettingsNodeMessage> {
    static constexpr const wchar_t* texts[] = {L"Incorrect node class %s, %s required"};
};

template <>
struct MessageTable<Kel_s11n::EnumMessage> {
    static constexpr const wchar_t* texts[] = {L"Kel_s11n::Enum: deser failed: property 'v' missing!"};
};

} // namespace KelBase
