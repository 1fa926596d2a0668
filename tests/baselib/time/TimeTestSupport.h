#pragma once

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace KelTimeTest {

// Runs `action` and gives the message of the DateTimeException it throws, or a note that it
// threw none.
inline std::wstring dateTimeError(const std::function<void()>& action)
{
    try {
        action();
    } catch (const KelTime::DateTimeException& error) {
        return error.message();
    }
    return L"(no exception)";
}

template <class Code>
std::wstring text(Code code)
{
    return KelBase::resStr(code);
}

} // namespace KelTimeTest
