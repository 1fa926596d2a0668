#pragma once

#include "comm/pdu/Builder.h"
#include "comm/pdu/PduExceptions.h"

#include <string>
#include <vector>

namespace PduTest {

using Bytes = std::vector<unsigned char>;

inline Bytes bytesOf(const KelComm::PDU::ConstBytes& block) { return Bytes(block.begin, block.end); }
inline Bytes contentOf(const KelComm::PDU::Builder& builder) { return bytesOf(builder.pdu()); }
inline KelComm::PDU::ConstBytes rangeOf(const Bytes& bytes) { return {bytes.data(), bytes.data() + bytes.size()}; }

// The message of the library exception of class E that the call throws.
template <class E, class Call>
std::wstring messageOf(Call call)
{
    try {
        call();
    } catch (const E& error) {
        return error.message();
    }
    return L"(nothing thrown)";
}

inline const std::wstring tooLongText = L"Длина блока данных превышает максимально допустимую";
inline const std::wstring notEnoughDataText = L"Недостаточно входных данных";

} // namespace PduTest
