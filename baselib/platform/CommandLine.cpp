#include "baselib/platform/CommandLine.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"

#include <boost/format.hpp>

#include <map>
#include <utility>
#include <vector>

namespace KelBase {

namespace {

constexpr unsigned int notParsed = ~0u;

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool isOption(const wchar_t* argument)
{
    return argument[0] == L'/' || (argument[0] == L'-' && argument[1] == L'-');
}

std::wstring optionName(const wchar_t* argument) { return argument + (argument[0] == L'/' ? 1 : 2); }

// The program name: double quotes toggle quoting, backslashes are literal.
const wchar_t* readProgramName(const wchar_t* p, std::wstring& name)
{
    bool quoted = false;
    for (; *p && (quoted || !isBlank(*p)); ++p) {
        if (*p == L'"')
            quoted = !quoted;
        else
            name += *p;
    }
    return p;
}

// One further argument with the C run-time rules for backslashes and double quotes.
const wchar_t* readArgument(const wchar_t* p, std::wstring& argument)
{
    bool quoted = false;
    while (*p && (quoted || !isBlank(*p))) {
        std::size_t backslashes = 0;
        for (; *p == L'\\'; ++p)
            ++backslashes;
        if (*p != L'"') {
            argument.append(backslashes, L'\\');
            if (*p && (quoted || !isBlank(*p)))
                argument += *p++;
            continue;
        }
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
            argument += L'"';
            ++p;
        } else if (quoted && p[1] == L'"') {
            argument += L'"';
            p += 2;
        } else {
            quoted = !quoted;
            ++p;
        }
    }
    return p;
}

std::vector<std::wstring> splitLine(const wchar_t* p)
{
    std::vector<std::wstring> arguments;
    if (!p)
        return arguments;
    while (isBlank(*p))
        ++p;
    if (!*p)
        return arguments;
    p = readProgramName(p, arguments.emplace_back());
    for (;;) {
        while (isBlank(*p))
            ++p;
        if (!*p)
            return arguments;
        p = readArgument(p, arguments.emplace_back());
    }
}

} // namespace

struct CommandLine::Impl {
    // Arguments the object owns; `pointers` then points into them.
    std::vector<std::wstring> owned;
    std::vector<const wchar_t*> pointers;
    const wchar_t* const* argv = nullptr;
    unsigned int argc = 0;

    unsigned int parameterCount = notParsed;
    std::map<std::wstring, std::wstring> options;

    Impl() = default;

    Impl(unsigned int count, const wchar_t* const* borrowed) : argv(borrowed), argc(count) {}

    explicit Impl(std::vector<std::wstring> arguments) : owned(std::move(arguments)) { own(); }

    template <class Iterator>
    Impl(Iterator first, Iterator last) : owned(first, last)
    {
        own();
    }

    void own()
    {
        pointers.reserve(owned.size());
        for (const std::wstring& argument : owned)
            pointers.push_back(argument.c_str());
        argc = static_cast<unsigned int>(owned.size());
        argv = pointers.data();
    }
};

CommandLine::CommandLine() : m_impl(new Impl) {}

CommandLine::CommandLine(unsigned int argc, const wchar_t* const* argv)
    : m_impl(argc > 1 && argv ? new Impl(argc - 1, argv + 1) : new Impl)
{
}

CommandLine::CommandLine(unsigned int argc, const native_argv_t& argv)
{
    std::vector<std::wstring> arguments;
    for (unsigned int index = 1; argv && index < argc; ++index)
        arguments.push_back(Conversion::stringFromCCharStr(argv[index]));
    m_impl = new Impl(std::move(arguments));
}

CommandLine::CommandLine(const wchar_t* line) : m_impl(new Impl(splitLine(line))) {}

CommandLine::CommandLine(const std::wstring& line) : CommandLine(line.c_str()) {}

CommandLine::CommandLine(const CommandLine& other) : CommandLine(other, 0) {}

CommandLine::CommandLine(const CommandLine& other, unsigned int first)
{
    const wchar_t* const* argv = other.m_impl->argv;
    const unsigned int argc = other.m_impl->argc;
    m_impl = first < argc ? new Impl(argv + first, argv + argc) : new Impl;
}

CommandLine& CommandLine::operator=(const CommandLine& other)
{
    CommandLine copy(other);
    std::swap(m_impl, copy.m_impl);
    return *this;
}

CommandLine::~CommandLine() { delete m_impl; }

unsigned int CommandLine::argc() const { return m_impl->argc; }

const wchar_t* const* CommandLine::argv() const { return m_impl->argv; }

unsigned int CommandLine::parameterCount() const
{
    parse();
    return m_impl->parameterCount;
}

bool CommandLine::haveOption(const std::wstring& name) const
{
    parse();
    return m_impl->options.count(name) != 0;
}

bool CommandLine::getParameter(unsigned int index, std::wstring& value) const
{
    if (index >= parameterCount())
        return false;
    value = m_impl->argv[index];
    return true;
}

bool CommandLine::getOption(const std::wstring& name, std::wstring& value) const
{
    parse();
    const auto option = m_impl->options.find(name);
    if (option == m_impl->options.end())
        return false;
    value = option->second;
    return true;
}

void CommandLine::throwParameterMissing(unsigned int)
{
    throw CommandLineException(resStr(CommandLineMessage::ParameterMissing));
}

void CommandLine::throwOptionMissing(const std::wstring&)
{
    throw CommandLineException(resStr(CommandLineMessage::OptionMissing));
}

std::wstring CommandLine::toCommandLineString() const
{
    std::wstring line;
    for (unsigned int index = 0; index < m_impl->argc; ++index) {
        const std::wstring argument = m_impl->argv[index];
        if (index > 0)
            line += L' ';
        const bool hasSpace = argument.find_first_of(L" \t\n\v\f\r") != std::wstring::npos;
        line += hasSpace ? L'"' + argument + L'"' : argument;
    }
    return line;
}

void CommandLine::parse() const
{
    Impl& impl = *m_impl;
    if (impl.parameterCount != notParsed)
        return;
    const wchar_t* const* argv = impl.argv;
    const unsigned int argc = impl.argc;
    unsigned int index = 0;
    while (index < argc && !isOption(argv[index]))
        ++index;
    const unsigned int firstOption = index;
    // A failed parse leaves no options behind and is repeated by the next query.
    std::map<std::wstring, std::wstring> options;
    while (index < argc) {
        const wchar_t* option = argv[index];
        const auto [entry, added] = options.emplace(optionName(option), std::wstring());
        if (!added)
            throw CommandLineException(
                (boost::wformat(resStr(CommandLineMessage::DuplicateOption)) % option).str());
        ++index;
        if (index == argc || isOption(argv[index]))
            continue;
        entry->second = argv[index++];
        if (index < argc && !isOption(argv[index]))
            throw CommandLineException(resStr(CommandLineMessage::MustBeOption));
    }
    impl.options = std::move(options);
    impl.parameterCount = firstOption;
}

} // namespace KelBase
