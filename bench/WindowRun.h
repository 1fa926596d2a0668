#pragma once

// What the benchmarks that run the real window in-process share: the platform they run on,
// the event loop run for a span or until something happened, and the CPU clocks they read.

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace Bench {

// Before the application exists: the offscreen platform unless there is a display to show on,
// and no debug lines in the figures.
inline void prepareWindowPlatform()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
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
