#pragma once

#include "baselib/Export.h"
#include "baselib/platform/Conversion.h"

#include <boost/lexical_cast.hpp>

#include <string>
#include <type_traits>

namespace KelBase {

// The arguments of a program: parameters (the words before the first option) and options
// ("/name" or "--name", each followed by at most one word, its value). Parsed on the first
// query; used by one thread.
class KELBASE_EXPORT CommandLine {
public:
    using native_argv_t = const char* const*;

    CommandLine();
    // Borrows the caller's array (which must outlive this object), leaving out argv[0].
    CommandLine(unsigned int argc, const wchar_t* const* argv);
    // Copies argv[1..argc-1], widened in the process locale.
    CommandLine(unsigned int argc, const native_argv_t& argv);
    // Splits a whole command line; its first word (the program) stays the first argument.
    explicit CommandLine(const wchar_t* line);
    explicit CommandLine(const std::wstring& line);
    CommandLine(const CommandLine& other);
    // The arguments from index `first` on; none when `first` is past the end.
    CommandLine(const CommandLine& other, unsigned int first);
    CommandLine& operator=(const CommandLine& other);
    ~CommandLine();

    unsigned int argc() const;
    const wchar_t* const* argv() const;

    unsigned int parameterCount() const;
    bool haveOption(const std::wstring& name) const;

    // The parameter at `index`; a missing one throws CommandLineException.
    template <class T = std::wstring>
    T getParameter(unsigned int index) const
    {
        std::wstring text;
        if (!getParameter(index, text))
            throwParameterMissing(index);
        return fromText<T>(text);
    }

    template <class T>
    T getParameterOr(unsigned int index, const T& defaultValue) const
    {
        std::wstring text;
        return getParameter(index, text) ? fromText<T>(text) : defaultValue;
    }

    // The value of an option; a missing option throws CommandLineException.
    template <class T = std::wstring>
    T getOption(const std::wstring& name) const
    {
        std::wstring text;
        if (!getOption(name, text))
            throwOptionMissing(name);
        return fromText<T>(text);
    }

    template <class T>
    T getOptionOr(const std::wstring& name, const T& defaultValue) const
    {
        std::wstring text;
        return getOption(name, text) ? fromText<T>(text) : defaultValue;
    }

    // The arguments joined by blanks; one that holds white space is put in double quotes.
    std::wstring toCommandLineString() const;

private:
    struct Impl;

    bool getParameter(unsigned int index, std::wstring& value) const;
    // An option given without a value yields an empty string.
    bool getOption(const std::wstring& name, std::wstring& value) const;
    [[noreturn]] static void throwParameterMissing(unsigned int index);
    [[noreturn]] static void throwOptionMissing(const std::wstring& name);

    // Numbers that are not numbers throw NonConvertibleException.
    template <class T>
    static T fromText(const std::wstring& text)
    {
        if constexpr (std::is_same_v<T, std::wstring>)
            return text;
        else if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>)
            return Conversion::toNumber<T>(text);
        else
            return boost::lexical_cast<T>(text);
    }

    void parse() const;

    Impl* m_impl = nullptr;
};

} // namespace KelBase
