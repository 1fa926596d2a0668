#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/exceptions/MessageTable.h"
#include "comm/Export.h"

namespace KelComm::PDU {
KEL_DECLARE_EXCEPTION(BuilderException, KelBase::RuntimeException, KELCOMM_EXPORT);
KEL_DECLARE_EXCEPTION(ParserException, KelBase::RuntimeException, KELCOMM_EXPORT);

// The message tables of the data units; codes count from 0 in table order.
enum class BlockLengthMessage { TooLong };
enum class InputDataMessage { NotEnoughData };
} // namespace KelComm::PDU

namespace KelBase {

template <>
struct MessageTable<KelComm::PDU::BlockLengthMessage> {
    static constexpr const wchar_t* texts[] = {L"Длина блока данных превышает максимально допустимую"};
};

template <>
struct MessageTable<KelComm::PDU::InputDataMessage> {
    static constexpr const wchar_t* texts[] = {L"Недостаточно входных данных"};
};

} // namespace KelBase
