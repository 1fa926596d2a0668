#pragma once

#include "baselib/plugins/Factory.h"

#include <string>

// The interface that the test plug-in implements.
class ITestGreeter {
public:
    virtual ~ITestGreeter() = default;
    virtual std::wstring greet() const = 0;
};

using GreeterFactory = ObjectFactory::Factory<ITestGreeter, std::wstring, ITestGreeter* (*)()>;

// Keys of the plug-in's classes: one that works, one whose creator throws
// KelBase::CommandLineException with failingGreeterText.
inline constexpr wchar_t helloGreeterKey[] = L"hello";
inline constexpr wchar_t failingGreeterKey[] = L"failing";
inline constexpr wchar_t helloGreeting[] = L"Привет";
inline constexpr wchar_t failingGreeterText[] = L"нет приветствия";
