#pragma once

// What the benchmarks that run the real window in-process share: the platform they run on,
// the event loop run for a span or until something happened, and the CPU clocks they read.

#include "bench/PrivatePortMap.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QSettings>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

namespace Bench {

// Before the application exists: the offscreen platform unless there is a display to show on,
// and no debug lines in the figures.
inline void prepareWindowPlatform()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

// The benchmark's own port map, and the window's settings in its folder, not the user's.
class WindowSandbox {
public:
    WindowSandbox()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_ports.filePath(QStringLiteral("settings")));
    }

private:
    PrivatePortMap m_ports;
};

// Measures the still screens, the changing ones or both as `screen` asks; true when every
// measurement met its goals.
template <typename Measure>
bool measureScreens(const std::string& screen, Measure measure)
{
    bool met = true;
    if (screen != "changing")
        met = measure(false) && met;
    if (screen != "still")
        met = measure(true) && met;
    return met;
}

inline double seconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The calling thread's CPU time; the GUI thread is the main thread.
inline double threadCpu_s() { return seconds(CLOCK_THREAD_CPUTIME_ID); }
inline double processCpu_s() { return seconds(CLOCK_PROCESS_CPUTIME_ID); }

// Runs the event loop for this long. The application's own quit would close the window.
inline void runEvents(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or the bound has passed; whether it holds.
template <typename Condition>
bool runEventsUntil(Condition done, std::chrono::milliseconds bound)
{
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(10), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace Bench
