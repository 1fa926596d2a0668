#include "baselib/platform/CommandLine.h"

#include "baselib/exceptions/ExceptionTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using KelBase::CommandLine;
using KelBase::CommandLineException;
using KelBase::NonConvertibleException;

std::vector<std::wstring> arguments(const CommandLine& line)
{
    return std::vector<std::wstring>(line.argv(), line.argv() + line.argc());
}

// A command line of the given arguments, as a borrowed argv with the program in front.
struct Argv {
    std::vector<const wchar_t*> pointers;

    Argv(std::initializer_list<const wchar_t*> args) : pointers{L"prog"}
    {
        pointers.insert(pointers.end(), args);
    }

    CommandLine line() const { return CommandLine(static_cast<unsigned int>(pointers.size()), pointers.data()); }
};

// An owned copy, which outlives the argv it was made from.
CommandLine ownedLine(std::initializer_list<const wchar_t*> args)
{
    const Argv argv(args);
    const CommandLine borrowed = argv.line();
    return CommandLine(borrowed);
}

template <class Call>
std::wstring messageOf(Call call)
{
    try {
        call();
    } catch (const CommandLineException& error) {
        return error.message();
    }
    return L"(nothing thrown)";
}

TEST(CommandLineSplit, FollowsTheRunTimeRules)
{
    const struct {
        const wchar_t* line;
        std::vector<std::wstring> expected;
    } cases[] = {
        {L"", {}},
        {L"  \t ", {}},
        {L"prog", {L"prog"}},
        {L"prog \"a b\" c", {L"prog", L"a b", L"c"}},
        {L"  prog\t a\t\tb  ", {L"prog", L"a", L"b"}},
        // The program name: quotes toggle, backslashes stay.
        {L"\"C:\\Program Files\\x.exe\" a", {L"C:\\Program Files\\x.exe", L"a"}},
        {L"c:\\dir\\\"a b\"\\ c", {L"c:\\dir\\a b\\", L"c"}},
        // Backslashes before a double quote.
        {L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
        {L"p a\\\"b", {L"p", L"a\"b"}},
        {L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
        {L"p a\\\\\\\\\"b\"", {L"p", L"a\\\\b"}},
        {L"p a\\b\\\\c", {L"p", L"a\\b\\\\c"}},
        {L"p a\\\\ b", {L"p", L"a\\\\", L"b"}},
        // Doubled quotes inside quotes, and empty arguments.
        {L"p \"a\"\"b\"", {L"p", L"a\"b"}},
        {L"p \"\"\"\"", {L"p", L"\""}},
        {L"p \"\" x", {L"p", L"", L"x"}},
        {L"p a\"b c\"d e", {L"p", L"ab cd", L"e"}},
        {L"p \"unterminated arg", {L"p", L"unterminated arg"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(arguments(CommandLine(std::wstring(c.line))), c.expected) << "line: " << testing::PrintToString(c.line);
}

TEST(CommandLineSplit, ProgramIsTheFirstParameter)
{
    const CommandLine line(L"prog \"a b\" c");
    EXPECT_EQ(line.parameterCount(), 3u);
    EXPECT_EQ(line.getParameter(0), L"prog");
    EXPECT_EQ(line.getParameter(1), L"a b");
}

TEST(CommandLineParse, ParametersOptionsAndValues)
{
    const Argv argv{L"a", L"b", L"/x", L"1", L"--y", L"-z"};
    const CommandLine line = argv.line();
    EXPECT_EQ(line.argc(), 6u);
    EXPECT_EQ(line.argv(), argv.pointers.data() + 1);
    EXPECT_EQ(line.parameterCount(), 2u);
    EXPECT_EQ(line.getParameter(1), L"b");
    EXPECT_TRUE(line.haveOption(L"x"));
    EXPECT_FALSE(line.haveOption(L"/x"));
    EXPECT_EQ(line.getOption<int>(L"x"), 1);
    // A single dash does not make an option: "-z" is the value of y.
    EXPECT_EQ(line.getOption(L"y"), L"-z");
    EXPECT_FALSE(line.haveOption(L"z"));

    const CommandLine flags = ownedLine({L"/a", L"--b", L"/"});
    EXPECT_EQ(flags.parameterCount(), 0u);
    EXPECT_EQ(flags.getOption(L"a"), L"");
    EXPECT_TRUE(flags.haveOption(L"b"));
    EXPECT_TRUE(flags.haveOption(L""));
}

TEST(CommandLineParse, ErrorsCarryTheirTexts)
{
    EXPECT_EQ(messageOf([] { Argv{L"/x", L"1", L"2"}.line().parameterCount(); }), L"Параметр должен быть опцией");
    EXPECT_EQ(messageOf([] { Argv{L"/x", L"/x"}.line().haveOption(L"x"); }), L"Повторяющаяся опция '/x'");
    EXPECT_EQ(messageOf([] { Argv{L"/x", L"v", L"--x"}.line().haveOption(L"x"); }), L"Повторяющаяся опция '--x'");

    const CommandLine line = ownedLine({L"a", L"/x"});
    EXPECT_EQ(messageOf([&] { line.getParameter(1); }), L"Не задан обязательный параметр");
    EXPECT_EQ(messageOf([&] { line.getOption(L"y"); }), L"Не задана обязательная опция");
    EXPECT_EQ(line.getParameterOr(1, std::wstring(L"def")), L"def");
    EXPECT_EQ(line.getOptionOr(L"y", 7), 7);
}

TEST(CommandLineParse, TypedAccessorsConvertNumbers)
{
    const CommandLine line = ownedLine({L"42", L"-3.5", L"abc", L"/n", L"300", L"/u", L"-1"});
    EXPECT_EQ(line.getParameter<unsigned int>(0), 42u);
    EXPECT_DOUBLE_EQ(line.getParameter<double>(1), -3.5);
    EXPECT_EQ(line.getOption<short>(L"n"), 300);
    try {
        line.getParameter<int>(2);
        FAIL() << "no exception";
    } catch (const NonConvertibleException& error) {
        EXPECT_STREQ(error.message(), L"Указанное 'abc' не является числом");
    }
    EXPECT_THROW(line.getOption<unsigned char>(L"n"), NonConvertibleException);
    EXPECT_THROW(line.getOption<unsigned int>(L"u"), NonConvertibleException);
}

TEST(CommandLineConstruct, CopiesOwnTheirArguments)
{
    const char* narrow[] = {"prog", "one", "/two"};
    const CommandLine fromNarrow(3, narrow);
    EXPECT_EQ(arguments(fromNarrow), (std::vector<std::wstring>{L"one", L"/two"}));

    CommandLine copy;
    {
        const Argv argv{L"a", L"b", L"c"};
        const CommandLine borrowed = argv.line();
        copy = borrowed;
        const CommandLine tail(borrowed, 1);
        EXPECT_EQ(arguments(tail), (std::vector<std::wstring>{L"b", L"c"}));
        EXPECT_EQ(CommandLine(borrowed, 3).argc(), 0u);
        EXPECT_EQ(CommandLine(borrowed, 9).argc(), 0u);
    }
    // The borrowed array is gone; the copy still holds its own.
    EXPECT_EQ(arguments(copy), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(CommandLine().argc(), 0u);
    EXPECT_EQ(Argv{}.line().argc(), 0u);
}

TEST(CommandLineString, QuotesArgumentsWithWhiteSpaceOnly)
{
    EXPECT_EQ((Argv{L"a", L"c d"}.line().toCommandLineString()), L"a \"c d\"");
    EXPECT_EQ((Argv{L"x\ty", L"q\"uote", L"/o"}.line().toCommandLineString()), L"\"x\ty\" q\"uote /o");
    EXPECT_EQ(CommandLine().toCommandLineString(), L"");
}

} // namespace
