#pragma once

#include "baselib/exceptions/Exception.h"
#include "baselib/signals/SignalObserver.h"
#include "comm/serial/CommSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace SettingsTest {

// Counts the changed signals of one object and checks that they name it.
template <class Value>
class ChangeCounter : public KelBase::SignalObserver<typename Value::SignalSubject> {
public:
    explicit ChangeCounter(const Value& value) : m_value(value) { this->connect(value.signalSubject()); }
    ~ChangeCounter() { this->disconnect(); }
    void changed(const Value* value) override
    {
        EXPECT_EQ(value, &m_value);
        ++count;
    }
    int count = 0;

private:
    const Value& m_value;
};

inline auto valuesOf(const KelComm::Serial::CommSettings& s)
{
    return std::make_tuple(s.baudRate(), s.byteSize(), s.parity().value, s.stopBits().value, s.dtrControl().value,
                           s.rtsControl().value);
}

// The message of the Expected exception that call throws; a marker text when it returns or
// throws something else.
template <class Expected, class Call>
std::wstring failureOf(Call call)
{
    try {
        call();
    } catch (const Expected& error) {
        return error.message();
    } catch (const std::exception& error) {
        return L"(other exception: " + KelBase::exceptionMessage(error) + L")";
    }
    return L"(nothing thrown)";
}

const std::wstring baudRateText = L"Скорость передачи данных должна быть задана в пределах от 75 до 921600 бит/с";
const std::wstring byteSizeText = L"Размер байта должен быть задан в пределах от 5 до 8 бит";
const std::wstring notFoundText = L"Строковый ресурс nmsp::enumType с кодом -1 не найден";
const std::wstring enumValueMissingText = L"Kel_s11n::Enum: deser failed: property 'v' missing!";
const std::wstring numberValueMissingText = L"streamable_serializable_proxy: deser failed: property 'v' missing!";

} // namespace SettingsTest
