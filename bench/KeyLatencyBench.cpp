// Key latency of a connection against the simulator pacing its replies at the line's rate:
// the time from a tap (press, then release 2 ms later) to the first exchange request that
// carries the key, as the device sees it, against the poll cycle that request ended. Taps
// come at random moments of the cycle, one after the device has seen the last one let go.
// Usage: key_latency_bench [--taps 200] [--baud 0] [--interval 20]   (baud 0: 9600 and 115200)

#include "link/Keys.h"
#include "link/Packet.h"
#include "app/transmission/QOTransmissionThread.h"
#include "baselib/platform/PlatformInit.h"
#include "bench/BenchOptions.h"
#include "bench/PrivatePortMap.h"
#include "bench/LatencyStats.h"
#include "sim/Simulator.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr auto tapLength = std::chrono::milliseconds(2);
constexpr auto deliveryLimit = std::chrono::seconds(5);
// The device's own time stamps measure the latency; this only paces the looking.
constexpr auto watchStep = std::chrono::milliseconds(1);
constexpr double excessGoal_ms = 2.0;
namespace ScanCode = VPanel::Link::ScanCode;
// Every key of the keypad, by scan code.
constexpr int keyCodes[] = {ScanCode::digit(1), ScanCode::digit(2), ScanCode::digit(3), ScanCode::digit(4),
                            ScanCode::digit(5),  ScanCode::digit(6), ScanCode::digit(7), ScanCode::digit(8),
                            ScanCode::digit(9),  ScanCode::digit(0), ScanCode::Up,       ScanCode::Left,
                            ScanCode::Down,      ScanCode::Right,    ScanCode::Enter,    ScanCode::Escape,
                            ScanCode::F1,        ScanCode::F2};

struct Settings {
    int taps = 200;
    long baudRate = 0;
    int interval_ms = QOTransmissionThread::defaultWriteInterval_ms;
};

Settings parse(int argc, char** argv)
{
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--taps", &settings.taps}, {"--baud", &settings.baudRate}, {"--interval", &settings.interval_ms}});
    return settings;
}

// Polls until `done` gives a value or the time is up.
template <typename Result>
std::optional<Result> watch(const std::function<std::optional<Result>()>& done)
{
    const auto end = Clock::now() + deliveryLimit;
    while (Clock::now() < end) {
        if (auto result = done())
            return result;
        std::this_thread::sleep_for(watchStep);
    }
    return std::nullopt;
}

// The first change the device saw after `since` to a mask with `bit`, if it saw one.
std::optional<VPanel::Sim::KeyMaskChange> seenDown(const VPanel::Sim::DeviceCounters& counters,
                                                   Clock::time_point since, std::uint32_t bit)
{
    for (const auto& change : counters.keyMaskChanges)
        if (change.at >= since && (change.mask & bit))
            return change;
    return std::nullopt;
}

// Measures one line rate; false when a tap was lost or the connection did not come up.
bool measure(const Settings& settings, long baudRate)
{
    VPanel::Sim::SimulatorOptions options;
    options.baudRate = static_cast<unsigned>(baudRate);
    options.seed = 1;
    VPanel::Sim::Simulator simulator(options);

    QOTransmissionThread link;
    link.setPortName(QString::fromStdString(simulator.portName()));
    link.setAddress(1);
    link.setBaudRate(static_cast<int>(baudRate));
    link.setWriteInterval(settings.interval_ms);
    link.start();

    const auto exchanges = [&] { return simulator.counters(1).requestsOf(VPanel::Link::Command::Exchange); };
    if (!watch<bool>([&]() -> std::optional<bool> {
            if (exchanges() > 10)
                return true;
            return std::nullopt;
        })) {
        std::fprintf(stderr, "%ld baud: the connection did not reach polling\n", baudRate);
        return false;
    }

    std::mt19937 random(1);
    std::vector<double> latencies_ms;
    std::vector<double> ratios;
    std::vector<double> excesses_ms;
    int lost = 0;
    const auto firstExchanges = exchanges();
    const auto start = Clock::now();
    for (int tap = 0; tap < settings.taps; ++tap) {
        const int code = keyCodes[tap % std::size(keyCodes)];
        const std::uint32_t bit = VPanel::Link::keyBit(VPanel::Link::keyNumber(code));
        // A random moment of the poll cycle, which never lasts as long as this.
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 80'000)(random)));
        const auto pressed = Clock::now();
        link.codePress(code);
        std::this_thread::sleep_for(tapLength);
        link.codeRelease(code);

        const auto down = watch<VPanel::Sim::KeyMaskChange>([&] { return seenDown(simulator.counters(1), pressed, bit); });
        const bool up = down && watch<bool>([&]() -> std::optional<bool> {
            const auto counters = simulator.counters(1);
            if (counters.keyMaskChanges.back().at > down->at && counters.lastKeyMask == 0)
                return true;
            return std::nullopt;
        });
        if (!down || !up) {
            ++lost;
            continue;
        }
        const double latency_ms = Milliseconds(down->at - pressed).count();
        const double cycle_ms = Milliseconds(down->at - down->previousAt).count();
        latencies_ms.push_back(latency_ms);
        ratios.push_back(latency_ms / cycle_ms);
        excesses_ms.push_back(latency_ms - cycle_ms);
    }
    const double meanCycle_ms =
        Milliseconds(Clock::now() - start).count() / static_cast<double>(exchanges() - firstExchanges);
    link.stope();
    link.wait();

    const LatencyStats latency = LatencyStats::of(latencies_ms);
    const LatencyStats ratio = LatencyStats::of(ratios);
    const LatencyStats excess = LatencyStats::of(excesses_ms);
    std::printf("baud %ld, interval %d ms: %d taps, %d lost, mean poll cycle %.1f ms\n", baudRate,
                settings.interval_ms, settings.taps, lost, meanCycle_ms);
    std::printf("  latency p50 %.1f ms, p99 %.1f ms (%.2f mean cycles), max %.1f ms\n", latency.p50, latency.p99,
                latency.p99 / meanCycle_ms, latency.max);
    std::printf("  latency / its poll cycle: p50 %.2f, p99 %.2f, max %.2f\n", ratio.p50, ratio.p99, ratio.max);
    std::printf("  latency over its poll cycle: p99 %+.1f ms (goal <= %.0f ms: %s)\n", excess.p99, excessGoal_ms,
                excess.p99 <= excessGoal_ms ? "met" : "MISSED");
    return lost == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const KelBase::KelPlatformInit platform(argc, argv);
    const Settings settings = parse(argc, argv);

    const Bench::PrivatePortMap portMap;

    bool allSeen = true;
    for (long baudRate : settings.baudRate ? std::vector<long>{settings.baudRate} : std::vector<long>{9600, 115200})
        allSeen = measure(settings, baudRate) && allSeen;
    return allSeen ? 0 : 2;
}
