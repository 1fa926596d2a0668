// Tabs opened to simulated devices, left to poll, then closed with their stop packets, over
// and over in the real window: the process's threads, open descriptors and resident memory
// before and after (each after a settle), which a tab that leaves something behind makes grow.
// The first cycle is not counted: it loads what the window keeps for good (fonts, styles,
// the glyph loader's first run). Freed memory is handed back to the system before each
// reading, so that what is counted is memory still held, not the allocator's spare.
// Runs on the offscreen platform, or on the X server of DISPLAY (e.g. under xvfb-run).
// Usage: tab_cycles_bench [--cycles 50] [--tabs 3] [--baud 115200] [--polls 5] [--settle-ms 2000]
//                         [--rss-growth-mb 2]

#include "bench/BenchOptions.h"
#include "bench/ProcessFigures.h"
#include "bench/SimulatedDevices.h"
#include "bench/WindowRun.h"

#include <QApplication>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr auto eventBound = std::chrono::seconds(30);

struct Settings {
    int cycles = 50;
    int tabs = 3;
    long baudRate = 115200;
    int polls = 5;
    int settle_ms = 2000;
    double rssGrowthBound_MB = 2.0;
};

// Opens a tab to each device, waits until each has polled a few times, closes them all and
// waits for each device's stop packet; false when a device did not get there.
bool cycle(QORemoteController& window, const Bench::SimulatedDevices& devices, const Settings& settings)
{
    std::vector<std::uint64_t> firstPolls;
    std::vector<std::uint64_t> firstStops;
    for (int index = 0; index < devices.count(); ++index) {
        firstPolls.push_back(devices.polls(index));
        firstStops.push_back(devices.stops(index));
    }
    Bench::openTabs(window, devices, static_cast<int>(settings.baudRate));
    const bool polled = Bench::runEventsUntil(
        [&] {
            for (int index = 0; index < devices.count(); ++index)
                if (devices.polls(index) < firstPolls[index] + static_cast<std::uint64_t>(settings.polls))
                    return false;
            return true;
        },
        eventBound);
    // The last tab closed leaves an empty one, which the next cycle's first device takes.
    for (int open = window.panelCount(); open > 0; --open)
        window.closeTab(open - 1);
    const bool stopped = Bench::runEventsUntil(
        [&] {
            for (int index = 0; index < devices.count(); ++index)
                if (devices.stops(index) <= firstStops[index])
                    return false;
            return true;
        },
        eventBound);
    return polled && stopped;
}

Bench::ProcessFigures settledFigures(const Settings& settings)
{
    Bench::runEvents(std::chrono::milliseconds(settings.settle_ms));
    malloc_trim(0);
    return Bench::processFigures();
}

void printGrowth(const char* what, long before, long after, bool met)
{
    std::printf("  %-11s %6ld before, %6ld after, growth %+ld (goal none: %s)\n", what, before, after, after - before,
                met ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv)
{
    Bench::prepareWindowPlatform();
    QApplication application(argc, argv);
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--cycles", &settings.cycles},
                        {"--tabs", &settings.tabs},
                        {"--baud", &settings.baudRate},
                        {"--polls", &settings.polls},
                        {"--settle-ms", &settings.settle_ms},
                        {"--rss-growth-mb", &settings.rssGrowthBound_MB}});

    const Bench::WindowSandbox sandbox;

    const Bench::SimulatedDevices devices(settings.tabs, settings.baudRate, false);
    QORemoteController window;
    int boxes = 0;
    Bench::countBoxes(window, boxes);
    window.show();
    if (!cycle(window, devices, settings)) {
        std::fprintf(stderr, "the first cycle did not poll and stop every device\n");
        return 1;
    }
    const Bench::ProcessFigures before = settledFigures(settings);
    int failed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < settings.cycles; ++round)
        failed += cycle(window, devices, settings) ? 0 : 1;
    const double elapsed_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const Bench::ProcessFigures after = settledFigures(settings);

    const double growth_MB = Bench::megabytes(after.rss_kB - before.rss_kB);
    const bool threadsMet = after.threads <= before.threads;
    const bool descriptorsMet = after.descriptors <= before.descriptors;
    const bool rssMet = growth_MB <= settings.rssGrowthBound_MB;
    std::printf("%d cycles of %d tabs (%s), baud %ld, in %.1f s on %s: %d cycles missed a poll or a stop packet, "
                "%d boxes\n",
                settings.cycles, settings.tabs, Bench::SimulatedDevices::layout(), settings.baudRate, elapsed_s,
                qPrintable(QGuiApplication::platformName()), failed, boxes);
    printGrowth("threads", before.threads, after.threads, threadsMet);
    printGrowth("descriptors", before.descriptors, after.descriptors, descriptorsMet);
    std::printf("  RSS %.1f MB before, %.1f MB after, growth %+.2f MB (goal <= %.1f, ratio %.2f: %s)\n",
                Bench::megabytes(before.rss_kB), Bench::megabytes(after.rss_kB), growth_MB,
                settings.rssGrowthBound_MB, growth_MB / settings.rssGrowthBound_MB, rssMet ? "met" : "MISSED");
    return threadsMet && descriptorsMet && rssMet && failed == 0 ? 0 : 1;
}
