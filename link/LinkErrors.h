#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/Exception.h"
#include "baselib/exceptions/MessageTable.h"

// Failures of the link protocol code. A reply that fails its checks is an ordinary event of
// the line and comes back as a status; these are raised only for requests to build a packet
// that the wire format cannot carry.

namespace VPanel::Link {

KEL_DECLARE_EXCEPTION(LinkException, KelBase::RuntimeException, KELBASE_EXPORT);

enum class LinkMessage { DataTooLong, FrameTooLong, BadRow, BadGlyphCode, BadKeyRow };

} // namespace VPanel::Link

namespace KelBase {
template <>
struct MessageTable<VPanel::Link::LinkMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Данные пакета длиннее %d байт",
        L"Пакет длиннее %d байт",
        L"Строка дисплея %d задана неверно",
        L"Символ с кодом %d не передаётся в пакете обмена",
        L"Строка клавиш должна состоять из %d символов",
    };
};
} // namespace KelBase
