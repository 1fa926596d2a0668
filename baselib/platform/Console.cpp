#include "baselib/platform/Console.h"

#include "baselib/threading/Mutex.h"
#include "baselib/threading/StaticInitializer.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <new>
#include <string>

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

// Defined by a program that decides on its own traces (ProgramTraces.cpp), absent elsewhere.
extern "C" __attribute__((weak, visibility("default"))) bool KelConsole_programShowsTraceLines();

namespace KelConsole {

namespace {

// ANSI colour numbers of the console indices 0..7 (the console keeps blue in bit 0 and
// red in bit 2, ANSI the other way round). Index 8 is drawn as index 7.
constexpr int ansiColor[8] = {0, 4, 2, 6, 1, 5, 3, 7};

constexpr int foregroundBase = 30;
constexpr int brightForegroundBase = 90;
constexpr int defaultForeground = 39;
constexpr int backgroundOffset = 10; // background codes are the foreground codes + 10

constexpr int darkGray = 8;
constexpr int colorCount = 16;

// The SGR code of one colour part, or 0 when the part stays as it is.
int sgrCode(Color::ConsoleColor color)
{
    const int index = color;
    if (index == Color::Initial)
        return defaultForeground;
    if (index < 0 || index >= colorCount)
        return 0;
    if (index == darkGray)
        return foregroundBase + ansiColor[7];
    if (index < darkGray)
        return foregroundBase + ansiColor[index];
    return brightForegroundBase + ansiColor[index - darkGray];
}

// The descriptor behind a wide standard stream, or -1 for any other stream.
int standardDescriptor(const std::wostream& stream)
{
    if (&stream == &std::wcout)
        return STDOUT_FILENO;
    if (&stream == &std::wcerr || &stream == &std::wclog)
        return STDERR_FILENO;
    return -1;
}

// Made once under the static-initialisation mutex and never destroyed, so that destructors
// of other process-wide objects can still write lines while the process exits.
std::recursive_mutex& consoleMutex()
{
    static std::atomic<std::recursive_mutex*> instance{nullptr};
    std::recursive_mutex* mutex = instance.load(std::memory_order_acquire);
    if (!mutex) {
        const Threading::ScopedLock guard(Threading::Internal::BasicStaticInitializer::syncMutex());
        mutex = instance.load(std::memory_order_relaxed);
        if (!mutex) {
            alignas(std::recursive_mutex) static unsigned char storage[sizeof(std::recursive_mutex)];
            mutex = new (storage) std::recursive_mutex;
            instance.store(mutex, std::memory_order_release);
        }
    }
    return *mutex;
}

// Undecided until the first trace line or the program's own choice: a line may be written while
// the libraries are loaded, before the program's main runs, so the program's definition of
// KelConsole_programShowsTraceLines is asked then rather than waited for.
constexpr int undecided = -1;
std::atomic<int> traceSwitch{undecided};

// The buffers of the wide standard streams as the library found them, before anyone could
// redirect them.
std::wstreambuf* const initialLogBuffer = std::wclog.rdbuf();
std::wstreambuf* const initialErrorBuffer = std::wcerr.rdbuf();

// The text in the multibyte encoding of the C locale, as the wide C stream would write it:
// a character without a form there is transliterated, or else becomes '?'.
std::string narrowText(const std::wstring& text)
{
    const std::string target = std::string(nl_langinfo(CODESET)) + "//TRANSLIT";
    const iconv_t converter = iconv_open(target.c_str(), "WCHAR_T");
    std::string result;
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        for (const wchar_t character : text)
            result += character < 0x80 ? static_cast<char>(character) : '?';
        return result;
    }
    char* input = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    std::size_t inputLeft = text.size() * sizeof(wchar_t);
    char buffer[512];
    for (;;) {
        char* output = buffer;
        std::size_t outputLeft = sizeof buffer;
        const std::size_t converted =
            iconv(converter, inputLeft ? &input : nullptr, inputLeft ? &inputLeft : nullptr, &output, &outputLeft);
        const int error = errno;
        result.append(buffer, static_cast<std::size_t>(output - buffer));
        if (converted != static_cast<std::size_t>(-1)) {
            if (!inputLeft)
                break; // the shift state is reset too
            continue;
        }
        if (error == E2BIG)
            continue;
        if (error != EILSEQ)
            break;
        result += '?';
        input += sizeof(wchar_t);
        inputLeft -= sizeof(wchar_t);
    }
    iconv_close(converter);
    return result;
}

void writeAll(int descriptor, const std::string& bytes)
{
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t part = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            return;
        written += static_cast<std::size_t>(part);
    }
}

void writeColoredLine(std::wostream& stream, std::wstreambuf* initialBuffer, Color::ConsoleColor color,
                      const std::wstring& text)
{
    const Internal::ScopedConsoleLock lock;
    if (stream.rdbuf() != initialBuffer) {
        // Redirected by the program: the line goes where it asked. One failed line (say, a
        // character its locale cannot encode) must not silence the rest.
        stream.clear();
        stream << color << text << Color(Color::Initial, Color::Initial) << L'\n' << std::flush;
        return;
    }
    // As bytes, straight to the descriptor: a wide write through the stream would make the C
    // stream behind it wide-oriented, after which every narrow write of the program (fprintf,
    // Qt's messages) fails, and a narrow write before would make ours fail. What the program
    // wrote before goes first.
    stream.flush();
    std::fflush(stderr);
    const bool terminal = isatty(STDERR_FILENO);
    std::wstring line;
    if (terminal)
        line += sgrSequence(Color(color, Color::Current));
    line += text;
    if (terminal)
        line += sgrSequence(Color(Color::Initial, Color::Initial));
    line += L'\n';
    writeAll(STDERR_FILENO, narrowText(line));
}

} // namespace

std::wstring sgrSequence(const Color& color)
{
    const int foreground = sgrCode(color.foreground());
    const int background = sgrCode(color.background());
    if (!foreground && !background)
        return {};
    std::wstring sequence = L"\x1b[";
    if (foreground)
        sequence += std::to_wstring(foreground);
    if (foreground && background)
        sequence += L';';
    if (background)
        sequence += std::to_wstring(background + backgroundOffset);
    sequence += L'm';
    return sequence;
}

std::wostream& operator<<(std::wostream& stream, const Color& color)
{
    const int descriptor = standardDescriptor(stream);
    if (descriptor >= 0 && isatty(descriptor))
        stream << sgrSequence(color);
    return stream;
}

std::wostream& operator<<(std::wostream& stream, Color::ConsoleColor foreground)
{
    return stream << Color(foreground, Color::Current);
}

void writeTraceLine(const std::wstring& text) { writeTraceLine(text, Color::Green); }

void writeTraceLine(const std::wstring& text, Color::ConsoleColor color)
{
    if (!traceLinesShown())
        return;
    writeColoredLine(std::wclog, initialLogBuffer, color, text);
}

void writeErrorReport(const std::wstring& text)
{
    writeColoredLine(std::wcerr, initialErrorBuffer, Color::LightRed, text);
}

void setTraceLinesShown(bool shown) { traceSwitch.store(shown ? 1 : 0, std::memory_order_release); }

bool traceLinesShown()
{
    int state = traceSwitch.load(std::memory_order_acquire);
    if (state == undecided) {
        const int chosen = !KelConsole_programShowsTraceLines || KelConsole_programShowsTraceLines() ? 1 : 0;
        // The program's own choice, made meanwhile, wins.
        if (traceSwitch.compare_exchange_strong(state, chosen, std::memory_order_acq_rel))
            state = chosen;
    }
    return state != 0;
}

void openClosedStandardStreams()
{
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor)
        // The lowest free number is this one: those below are open by now.
        if (::fcntl(descriptor, F_GETFD) < 0 && errno == EBADF)
            (void)::open("/dev/null", O_RDWR);
}

bool localeWantsEnglish()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return std::string(value).rfind("en", 0) == 0 &&
                   (value[2] == '\0' || value[2] == '_' || value[2] == '.' || value[2] == '@');
    }
    return false;
}

namespace Internal {

ScopedConsoleLock::ScopedConsoleLock() { consoleMutex().lock(); }

ScopedConsoleLock::~ScopedConsoleLock() { consoleMutex().unlock(); }

} // namespace Internal
} // namespace KelConsole
