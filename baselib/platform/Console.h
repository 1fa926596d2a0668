#pragma once

#include "baselib/Export.h"

#include <ostream>
#include <string>

// Coloured console output. Every coloured line of the process is written under one
// process-wide recursive console lock so that lines from different threads never mix.
namespace KelConsole {

class KELBASE_EXPORT Color {
public:
    // Indices 0..15 are the console colours; the two negative ones are the special values.
    enum ConsoleColor {
        Initial = -2, // the colour the console had when the library first looked at it
        Current = -1, // leave this part as it is
        Black = 0,
        Blue,
        Green,
        Cyan,
        Red,
        Magenta,
        Brown,
        LightGray,
        DarkGray, // drawn as LightGray
        LightBlue,
        LightGreen,
        LightCyan,
        LightRed,
        LightMagenta,
        Yellow,
        White,
    };

    Color(ConsoleColor foreground, ConsoleColor background = Current)
        : m_foreground(foreground), m_background(background)
    {
    }

    ConsoleColor foreground() const { return m_foreground; }
    ConsoleColor background() const { return m_background; }

private:
    ConsoleColor m_foreground = Current;
    ConsoleColor m_background = Current;
};

// Sets the colour of the terminal behind std::wcout (standard output) or std::wcerr /
// std::wclog (standard error). Nothing is written for any other stream, or when the
// descriptor is not a terminal.
KELBASE_EXPORT std::wostream& operator<<(std::wostream& stream, const Color& color);
KELBASE_EXPORT std::wostream& operator<<(std::wostream& stream, Color::ConsoleColor foreground);

// The SGR escape sequence for a colour, empty when the colour leaves everything as it is.
KELBASE_EXPORT std::wstring sgrSequence(const Color& color);

// A library trace line: green on std::wclog. The line end is added here. While the stream
// still has its own buffer, the line is written to standard error as multibyte text of the C
// locale, leaving the orientation of the C stream to the program: its narrow writes
// (fprintf, Qt's messages) and its wide ones keep working. A redirected stream gets the line.
KELBASE_EXPORT void writeTraceLine(const std::wstring& text);
// The same in another colour, for a library's own failures among its trace lines.
KELBASE_EXPORT void writeTraceLine(const std::wstring& text, Color::ConsoleColor color);
// A library error report: light red on std::wcerr, written as writeTraceLine() writes.
KELBASE_EXPORT void writeErrorReport(const std::wstring& text);

// Whether trace lines are written; error reports always are. They are, unless the program
// says otherwise: with setTraceLinesShown, or, for lines written before its main runs, by
// linking kel_program_traces (ProgramTraces.h), which shows them only when asked for.
KELBASE_EXPORT void setTraceLinesShown(bool shown);
KELBASE_EXPORT bool traceLinesShown();

// Opens /dev/null in place of a standard stream that whoever started the program closed, so
// that no file the program opens later takes its number and receives what is meant for it.
// For a program's main, before it opens anything.
KELBASE_EXPORT void openClosedStandardStreams();

// Whether the environment asks for English messages: the first of LC_ALL, LC_MESSAGES and LANG
// that is set names an English locale ("en", "en_GB.UTF-8").
KELBASE_EXPORT bool localeWantsEnglish();

namespace Internal {

// Holds the process-wide console lock for its lifetime. The lock is recursive: a thread that
// holds it may take it again, e.g. while formatting a value for a line it is writing.
class KELBASE_EXPORT ScopedConsoleLock {
public:
    ScopedConsoleLock();
    ~ScopedConsoleLock();
    ScopedConsoleLock(const ScopedConsoleLock&) = delete;
    ScopedConsoleLock& operator=(const ScopedConsoleLock&) = delete;
};

} // namespace Internal
} // namespace KelConsole
