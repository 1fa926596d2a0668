// The command-line splitter on arbitrary UTF-8 text. Without double quotes the rules reduce
// to splitting at blanks and tabs with every backslash literal; arguments free of quotes and
// backslashes survive toCommandLineString and a second split; the parse of the arguments
// either fails with CommandLineException (again on the next query) or agrees with argv.
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/CommandLine.h"
#include "baselib/platform/Conversion.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using KelBase::CommandLine;
using KelBase::CommandLineException;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<std::wstring> argumentsOf(const CommandLine& line)
{
    return std::vector<std::wstring>(line.argv(), line.argv() + line.argc());
}

// "/name" and "--name" are options; "/" is tested first.
std::optional<std::wstring> optionName(const std::wstring& argument)
{
    if (argument.rfind(L"/", 0) == 0)
        return argument.substr(1);
    if (argument.rfind(L"--", 0) == 0)
        return argument.substr(2);
    return std::nullopt;
}

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::vector<std::wstring> wordsBetweenBlanks(const std::wstring& text)
{
    std::vector<std::wstring> words;
    std::wstring word;
    for (wchar_t c : text) {
        if (!isBlank(c)) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

void checkSplit(const std::wstring& text, const std::vector<std::wstring>& arguments)
{
    std::size_t characters = 0;
    for (const std::wstring& argument : arguments)
        characters += argument.size();
    require(characters <= text.size());
    if (text.find(L'"') == std::wstring::npos)
        require(arguments == wordsBetweenBlanks(text));
}

void checkJoin(const std::vector<std::wstring>& arguments, const CommandLine& line)
{
    for (const std::wstring& argument : arguments)
        if (argument.empty() || argument.find_first_of(L"\"\\") != std::wstring::npos)
            return;
    require(argumentsOf(CommandLine(line.toCommandLineString())) == arguments);
}

// Whether the parse succeeded; a failed one must fail the same way each time.
bool tryParse(const CommandLine& line)
{
    try {
        line.parameterCount();
        return true;
    } catch (const CommandLineException&) {
        return false;
    }
}

void checkParse(const std::vector<std::wstring>& arguments, const CommandLine& line)
{
    if (!tryParse(line)) {
        require(!tryParse(line));
        return;
    }
    const unsigned int parameters = line.parameterCount();
    require(parameters <= arguments.size());
    for (unsigned int index = 0; index < parameters; ++index)
        require(line.getParameter(index) == arguments[index]);
    require(line.getParameterOr(parameters, std::wstring(L"none")) == L"none");
    // After the parameters every word is the value of the option just before it.
    for (std::size_t index = parameters; index < arguments.size(); ++index) {
        const std::wstring& argument = arguments[index];
        if (const auto name = optionName(argument))
            require(line.haveOption(*name));
        else
            require(index > parameters && line.getOption(*optionName(arguments[index - 1])) == argument);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::wstring text = KelBase::Conversion::stringFromUTF8(std::string(reinterpret_cast<const char*>(data), size));
    // The splitter reads a C string: it ends at the first NUL.
    text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
    const CommandLine line(text);
    const std::vector<std::wstring> arguments = argumentsOf(line);
    require(argumentsOf(CommandLine(text.c_str())) == arguments);
    checkSplit(text, arguments);
    checkJoin(arguments, line);
    checkParse(arguments, line);
    // A copy from an index on holds exactly the tail; the ends and the middle will do, every
    // index would make long lines quadratic.
    const auto count = static_cast<unsigned int>(arguments.size());
    for (unsigned int first : {0u, 1u, count / 2, count, count + 1}) {
        const std::vector<std::wstring> tail = argumentsOf(CommandLine(line, first));
        require(tail == std::vector<std::wstring>(arguments.begin() + std::min(first, count), arguments.end()));
    }
    return 0;
}
