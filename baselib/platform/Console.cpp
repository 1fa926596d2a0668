#include "baselib/platform/Console.h"

#include "baselib/threading/Mutex.h"
#include "baselib/threading/StaticInitializer.h"

#include <atomic>
#include <iostream>
#include <mutex>
#include <new>

#include <unistd.h>

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

void writeColoredLine(std::wostream& stream, Color::ConsoleColor color, const std::wstring& text)
{
    const Internal::ScopedConsoleLock lock;
    // One failed line (say, a character the locale cannot encode) must not silence the rest.
    stream.clear();
    stream << color << text << Color(Color::Initial, Color::Initial) << L'\n' << std::flush;
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

void writeTraceLine(const std::wstring& text) { writeColoredLine(std::wclog, Color::Green, text); }

void writeErrorReport(const std::wstring& text) { writeColoredLine(std::wcerr, Color::LightRed, text); }

namespace Internal {

ScopedConsoleLock::ScopedConsoleLock() { consoleMutex().lock(); }

ScopedConsoleLock::~ScopedConsoleLock() { consoleMutex().unlock(); }

} // namespace Internal
} // namespace KelConsole
