// Key latency of a connection against the simulator pacing its replies at the line's rate:
// the time from a tap (press, then release 2 ms later) to the first exchange request that
// carries the key, as the device sees it, against the cycle the line allows at that rate and
// on the screens the taps bring up: the wire limit's period (the bytes on the wire plus the
// turnaround gap before each request, averaged over the run's polls). Taps come at random
// moments of the cycle, one after the device has seen the last one let go.
// Usage: key_latency_bench [--taps 200] [--baud 0] [--interval 20] [--pause 1]
//                          (baud 0: 9600 and 115200)

#include "baselib/platform/PlatformInit.h"
#include "bench/BenchOptions.h"
#include "bench/LatencyStats.h"
#include "bench/LineLimits.h"
#include "bench/LinkWatch.h"
#include "bench/PrivatePortMap.h"
#include "bench/SimWatch.h"
#include "link/Keys.h"
#include "link/Packet.h"
#include "panel/DeviceLink.h"
#include "panel/LinkTiming.h"
#include "sim/Simulator.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
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
// Beyond one cycle: the poll in flight when the key goes down ends first, then the gap.
constexpr double excessGoal_ms = 1.0;
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
    int interval_ms = static_cast<int>(VPanel::Link::defaultWriteInterval.count());
    int pause_ms = 1;
};

Settings parse(int argc, char** argv)
{
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--taps", &settings.taps},
                        {"--baud", &settings.baudRate},
                        {"--interval", &settings.interval_ms},
                        {"--pause", &settings.pause_ms}});
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

// Measures one line rate; false when a tap was lost or the connection did not come up.
bool measure(const Settings& settings, long baudRate)
{
    VPanel::Sim::SimulatorOptions options;
    options.baudRate = static_cast<unsigned>(baudRate);
    options.seed = 1;
    VPanel::Sim::Simulator simulator(options);

    VPanel::Panel::LinkParameters parameters;
    parameters.port = simulator.portName();
    parameters.baudRate = static_cast<int>(baudRate);
    parameters.writeInterval = std::chrono::milliseconds(settings.interval_ms);
    parameters.requestPause = std::chrono::milliseconds(settings.pause_ms);
    Bench::LinkWatch linkWatch;
    const auto tally = std::make_shared<Bench::WireTally>();
    VPanel::Panel::DeviceLink link(parameters, linkWatch);
    link.setRecorder(tally);
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
    int lost = 0;
    const auto loadBefore = tally->load();
    const auto start = Clock::now();
    for (int tap = 0; tap < settings.taps; ++tap) {
        const int code = keyCodes[tap % std::size(keyCodes)];
        const std::uint32_t bit = VPanel::Link::keyBit(VPanel::Link::keyNumber(code));
        // A random moment of the poll cycle, which never lasts as long as this.
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 80'000)(random)));
        const auto pressed = Clock::now();
        link.press(code);
        std::this_thread::sleep_for(tapLength);
        link.release(code);

        const auto down = watch<VPanel::Sim::KeyMaskChange>([&] { return Bench::seenDown(simulator.counters(1), pressed, bit); });
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
        latencies_ms.push_back(Milliseconds(down->at - pressed).count());
    }
    const Milliseconds elapsed = Clock::now() - start;
    const Bench::WireTally::Load load = tally->load() - loadBefore;
    link.stop();
    link.wait(link.stopWaitBound());

    const double polls = static_cast<double>(load.requests ? load.requests : 1);
    const auto gap = VPanel::Panel::turnaroundGap(baudRate, std::chrono::milliseconds(settings.pause_ms));
    const Milliseconds cycle = Bench::lineTime(load, baudRate, gap) / polls;
    const LatencyStats latency = LatencyStats::of(latencies_ms);
    const bool met = latency.p99 <= cycle.count() + excessGoal_ms;
    const bool linkLost = linkWatch.tally().lost;
    std::printf("%ld baud, interval %d ms, pause %d ms: %d taps, %d lost (goal 0), connection %s\n", baudRate,
                settings.interval_ms, settings.pause_ms, settings.taps, lost, linkLost ? "LOST" : "stayed up");
    std::printf("  cycle: wire limit %.3f ms a poll (%.1f bytes on the wire), measured %.3f ms\n", cycle.count(),
                static_cast<double>(load.bytes) / polls, elapsed.count() / polls);
    std::printf("  tap -> first request carrying it: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", latency.p50,
                latency.p99, latency.max);
    std::printf("  p99 against one cycle + %.0f ms (%.2f ms): %s\n", excessGoal_ms, cycle.count() + excessGoal_ms,
                met ? "met" : "MISSED");
    return lost == 0 && !linkLost;
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
