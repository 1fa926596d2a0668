// Several simulated devices on one pseudo-terminal, each polled by a connection of its own,
// the connections taking the line in turn. Each device's poll rate is held against its share
// of the line's wire limit (the bytes that went over the line plus the turnaround gap before
// each request, divided among the devices), on still screens and on screens whose four rows
// all change on every poll. On still screens a tap on one device at a random moment is timed
// to the first request to that device carrying the key (the device's own time stamp), against
// one round of the line at its wire limit plus 2 ms.
// Usage: shared_line_bench [--devices 8] [--seconds 5] [--baud 115200] [--taps 200] [--pause 1]

#include "baselib/platform/PlatformInit.h"
#include "bench/BenchOptions.h"
#include "bench/LatencyStats.h"
#include "bench/LineLimits.h"
#include "bench/LinkWatch.h"
#include "bench/PrivatePortMap.h"
#include "bench/SimWatch.h"
#include "link/Keys.h"
#include "link/Packet.h"
#include "link/ScanCodes.h"
#include "panel/DeviceLink.h"
#include "panel/LinkTiming.h"
#include "sim/Simulator.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bench::Seconds;
using Milliseconds = std::chrono::duration<double, std::milli>;
using std::chrono::milliseconds;

constexpr double shareGoal = 0.9;
constexpr Milliseconds tapExcess{2.0};
constexpr auto pollingBound = std::chrono::seconds(20);
constexpr auto deliveryLimit = std::chrono::seconds(5);
constexpr auto watchStep = milliseconds(1);

struct Settings {
    int devices = 8;
    double seconds = 5.0;
    long baudRate = 115200;
    int taps = 200;
    int pause_ms = 1;
};

Settings parse(int argc, char** argv)
{
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--devices", &settings.devices},
                        {"--seconds", &settings.seconds},
                        {"--baud", &settings.baudRate},
                        {"--taps", &settings.taps},
                        {"--pause", &settings.pause_ms}});
    settings.devices = std::clamp(settings.devices, 1, 249);
    return settings;
}

// The devices at addresses 1..n on one simulated line, each with its connection.
class Line {
public:
    Line(const Settings& settings, bool changing)
    {
        VPanel::Sim::SimulatorOptions options;
        options.baudRate = static_cast<unsigned>(settings.baudRate);
        options.seed = 1;
        for (int address = 1; address <= settings.devices; ++address) {
            VPanel::Sim::FirmwareSetup device;
            device.address = static_cast<std::uint8_t>(address);
            device.changingRows = changing;
            options.devices.push_back(device);
        }
        simulator = std::make_unique<VPanel::Sim::Simulator>(std::move(options));
        for (int address = 1; address <= settings.devices; ++address) {
            VPanel::Panel::LinkParameters parameters;
            parameters.port = simulator->portName();
            parameters.address = address;
            parameters.baudRate = static_cast<int>(settings.baudRate);
            parameters.requestPause = milliseconds(settings.pause_ms);
            tallies.push_back(std::make_shared<Bench::WireTally>());
            watches.push_back(std::make_unique<Bench::LinkWatch>());
            links.push_back(std::make_unique<VPanel::Panel::DeviceLink>(parameters, *watches.back()));
            links.back()->setRecorder(tallies.back());
            links.back()->start();
        }
    }
    ~Line()
    {
        for (auto& link : links)
            link->stop();
        for (auto& link : links)
            link->wait(link->stopWaitBound());
    }

    std::uint64_t polls(int address) const
    {
        return simulator->counters(static_cast<std::uint8_t>(address)).requestsOf(VPanel::Link::Command::Exchange);
    }
    bool polling() const
    {
        return Bench::waitFor(
            [&] {
                for (int address = 1; address <= static_cast<int>(links.size()); ++address)
                    if (polls(address) < 10)
                        return false;
                return true;
            },
            pollingBound, watchStep);
    }
    // The line's load so far, and each connection's.
    std::vector<Bench::WireTally::Load> loads() const
    {
        std::vector<Bench::WireTally::Load> result;
        for (const auto& tally : tallies)
            result.push_back(tally->load());
        return result;
    }
    bool anyLost() const
    {
        return std::any_of(watches.begin(), watches.end(), [](const auto& watch) { return watch->tally().lost; });
    }

    std::unique_ptr<VPanel::Sim::Simulator> simulator;
    std::vector<std::unique_ptr<Bench::LinkWatch>> watches;
    std::vector<std::shared_ptr<Bench::WireTally>> tallies;
    std::vector<std::unique_ptr<VPanel::Panel::DeviceLink>> links;
};

Bench::WireTally::Load sum(const std::vector<Bench::WireTally::Load>& loads)
{
    Bench::WireTally::Load total;
    for (const auto& load : loads) {
        total.bytes += load.bytes;
        total.requests += load.requests;
    }
    return total;
}

// Each device's rate against its share of the wire limit; the time of one round at that limit.
Milliseconds pollRates(const Settings& settings, Line& line, const char* screen)
{
    const auto before = line.loads();
    const auto start = Clock::now();
    std::this_thread::sleep_for(Seconds(settings.seconds));
    const Seconds elapsed = Clock::now() - start;
    const auto after = line.loads();

    std::vector<Bench::WireTally::Load> run;
    for (std::size_t index = 0; index < after.size(); ++index)
        run.push_back(after[index] - before[index]);
    const Bench::WireTally::Load total = sum(run);
    const auto gap = VPanel::Panel::turnaroundGap(settings.baudRate, milliseconds(settings.pause_ms));
    const Seconds wire = Bench::lineTime(total, settings.baudRate, gap);
    const double requests = static_cast<double>(std::max<std::uint64_t>(total.requests, 1));
    const double share = requests / wire.count() / settings.devices;
    double worst = 1e9;
    double best = 0;
    for (const auto& load : run) {
        const double ratio = static_cast<double>(load.requests) / elapsed.count() / share;
        worst = std::min(worst, ratio);
        best = std::max(best, ratio);
    }
    std::printf("%ld baud, %d devices on one line, %s screens, %.1f s\n", settings.baudRate, settings.devices, screen,
                elapsed.count());
    std::printf("  polls %llu (%.1f/s on the line), %.1f bytes on the wire a poll; wire limit %.3f ms a poll, "
                "a device's share %.1f polls/s\n",
                static_cast<unsigned long long>(total.requests), requests / elapsed.count(),
                static_cast<double>(total.bytes) / requests, 1000.0 * wire.count() / requests, share);
    Bench::printRatio("line rate / wire limit:", wire / elapsed, 0.0);
    Bench::printRatio("slowest device / its share:", worst, shareGoal);
    Bench::printRatio("fastest device / its share:", best, 0.0);
    return Milliseconds(wire) / requests * settings.devices;
}

// Taps on devices picked at random; false when a tap was lost.
bool tapLatency(const Settings& settings, Line& line, Milliseconds round)
{
    namespace ScanCode = VPanel::Link::ScanCode;
    const std::uint32_t bit = VPanel::Link::keyBit(VPanel::Link::keyNumber(ScanCode::F1));
    std::mt19937 random(1);
    std::vector<double> latencies_ms;
    int lost = 0;
    for (int tap = 0; tap < settings.taps; ++tap) {
        const int index = std::uniform_int_distribution<int>(0, settings.devices - 1)(random);
        const auto address = static_cast<std::uint8_t>(index + 1);
        // A random moment of the round.
        std::this_thread::sleep_for(Milliseconds(std::uniform_real_distribution<double>(0, round.count())(random)));
        const auto tapped = Clock::now();
        line.links[index]->tap(ScanCode::F1);
        std::optional<VPanel::Sim::KeyMaskChange> down;
        const bool up = Bench::waitFor(
            [&] {
                const auto counters = line.simulator->counters(address);
                if (!down)
                    down = Bench::seenDown(counters, tapped, bit);
                return down && counters.keyMaskChanges.back().at > down->at && counters.lastKeyMask == 0;
            },
            deliveryLimit, watchStep);
        if (!up) {
            ++lost;
            continue;
        }
        latencies_ms.push_back(Milliseconds(down->at - tapped).count());
    }
    const LatencyStats latency = LatencyStats::of(latencies_ms);
    const Milliseconds limit = round + tapExcess;
    std::printf("  %d taps, %d lost (goal 0); tap -> first request carrying it: p50 %.2f ms, p99 %.2f ms, "
                "max %.2f ms\n",
                settings.taps, lost, latency.p50, latency.p99, latency.max);
    std::printf("  one round at the wire limit %.3f ms\n", round.count());
    Bench::printRatio("(one round + 2 ms) / p99:", limit.count() / std::max(latency.p99, 1e-9), 1.0);
    return lost == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const KelBase::KelPlatformInit platform(argc, argv);
    const Settings settings = parse(argc, argv);
    const Bench::PrivatePortMap portMap;

    bool sound = true;
    for (const bool changing : {false, true}) {
        Line line(settings, changing);
        if (!line.polling()) {
            std::fprintf(stderr, "the connections did not all reach polling\n");
            return 1;
        }
        const Milliseconds round = pollRates(settings, line, changing ? "changing" : "still");
        if (!changing)
            sound = tapLatency(settings, line, round) && sound;
        const bool lost = line.anyLost();
        std::printf("  connections %s\n", lost ? "LOST" : "stayed up");
        sound = sound && !lost;
    }
    return sound ? 0 : 2;
}
