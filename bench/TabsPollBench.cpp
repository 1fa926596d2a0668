// The real window with a tab per simulated device, all polling as fast as their shared line allows:
// the GUI thread's share of a core and the process's resident memory, once with the devices'
// own screens (still but for a clock and a measured value) and once with every row changing
// on every poll. The simulator runs in this process too; the memory before the window exists
// (with it running) is printed beside the total, so that the window's own part shows.
// The devices share one line, so each tab polls at its share of the line's rate.
// Runs on the offscreen platform, or on the X server of DISPLAY (e.g. under xvfb-run).
// Usage: tabs_poll_bench [--tabs 8] [--seconds 10] [--baud 115200] [--screen both|still|changing]
//                        [--gui-goal 0.05] [--rss-goal-mb 80]

#include "bench/BenchOptions.h"
#include "bench/ProcessFigures.h"
#include "bench/SimulatedDevices.h"
#include "bench/WindowRun.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr auto warmup = std::chrono::seconds(2);
constexpr auto linkBound = std::chrono::seconds(30);

struct Settings {
    int tabs = 8;
    double seconds = 10.0;
    long baudRate = 115200;
    std::string screen = "both";
    double guiGoal = 0.05;
    double rssGoal_MB = 80.0;
};

std::vector<std::uint64_t> pollsOf(const Bench::SimulatedDevices& devices)
{
    std::vector<std::uint64_t> polls;
    for (int index = 0; index < devices.count(); ++index)
        polls.push_back(devices.polls(index));
    return polls;
}

// One window with a tab per device; true when both goals were met and every tab stayed linked.
bool measure(const Settings& settings, bool changing)
{
    const long atStart_kB = Bench::residentKilobytes();
    Bench::SimulatedDevices devices(settings.tabs, settings.baudRate, changing);
    const long withSimulators_kB = Bench::residentKilobytes();

    QORemoteController window;
    int boxes = 0;
    Bench::countBoxes(window, boxes);
    window.show();
    Bench::openTabs(window, devices, static_cast<int>(settings.baudRate));
    const bool polling = Bench::runEventsUntil(
        [&] {
            const auto polls = pollsOf(devices);
            return std::all_of(polls.begin(), polls.end(), [](std::uint64_t count) { return count >= 10; });
        },
        linkBound);
    if (!polling) {
        std::fprintf(stderr, "not every tab reached polling\n");
        return false;
    }
    Bench::runEvents(warmup);

    const auto firstPolls = pollsOf(devices);
    const double firstGui_s = Bench::threadCpu_s();
    const double firstProcess_s = Bench::processCpu_s();
    const auto start = std::chrono::steady_clock::now();
    Bench::runEvents(std::chrono::milliseconds(static_cast<long>(settings.seconds * 1000)));
    const double elapsed_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double gui = (Bench::threadCpu_s() - firstGui_s) / elapsed_s;
    const double process = (Bench::processCpu_s() - firstProcess_s) / elapsed_s;
    const auto lastPolls = pollsOf(devices);
    const Bench::ProcessFigures figures = Bench::processFigures();

    double slowest = 1e9;
    double total = 0;
    int linked = 0;
    for (int index = 0; index < devices.count(); ++index) {
        const double rate = static_cast<double>(lastPolls[index] - firstPolls[index]) / elapsed_s;
        slowest = std::min(slowest, rate);
        total += rate;
        linked += window.panel(index).link().isConnected() ? 1 : 0;
    }
    const double rss_MB = Bench::megabytes(figures.rss_kB);
    const bool guiMet = gui <= settings.guiGoal;
    const bool rssMet = rss_MB <= settings.rssGoal_MB;

    std::printf("%s screens, %d tabs (%s), baud %ld, %.1f s on %s: %.1f polls/s in all, slowest tab %.1f/s, "
                "%d of %d linked, %d boxes, %d threads\n",
                changing ? "changing" : "still", settings.tabs, Bench::SimulatedDevices::layout(), settings.baudRate,
                elapsed_s, qPrintable(QGuiApplication::platformName()), total, slowest, linked, devices.count(), boxes,
                figures.threads);
    std::printf("  GUI thread %.4f of a core (goal <= %.2f, ratio %.2f: %s); whole process %.4f\n", gui,
                settings.guiGoal, gui / settings.guiGoal, guiMet ? "met" : "MISSED", process);
    std::printf("  RSS %.1f MB (goal <= %.0f, ratio %.2f: %s); before the simulator %.1f MB, with it before the "
                "window %.1f MB, so the window and its links %.1f MB\n",
                rss_MB, settings.rssGoal_MB, rss_MB / settings.rssGoal_MB, rssMet ? "met" : "MISSED",
                Bench::megabytes(atStart_kB), Bench::megabytes(withSimulators_kB),
                Bench::megabytes(figures.rss_kB - withSimulators_kB));
    return guiMet && rssMet && linked == devices.count();
}

} // namespace

int main(int argc, char** argv)
{
    Bench::prepareWindowPlatform();
    QApplication application(argc, argv);
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--tabs", &settings.tabs},
                        {"--seconds", &settings.seconds},
                        {"--baud", &settings.baudRate},
                        {"--screen", &settings.screen},
                        {"--gui-goal", &settings.guiGoal},
                        {"--rss-goal-mb", &settings.rssGoal_MB}});

    const Bench::WindowSandbox sandbox;
    const bool met =
        Bench::measureScreens(settings.screen, [&settings](bool changing) { return measure(settings, changing); });
    return met ? 0 : 1;
}
