// Polling rate of a connection against the simulator pacing its replies at the line's rate,
// measured against two limits worked out from the bytes that went over the line: the wire
// limit (those bytes plus the turnaround gap before each request, 3.5 characters or the
// request pause) and the interval limit (the bytes plus the write interval after each reply).
// The pseudo-terminal hands the simulator a request at once rather than at the line's rate, so
// a local run can beat the wire limit by up to the requests' own wire time.
//
// --screen still polls a main screen that changes a row now and then; --screen changing a
// device whose four rows all change on every poll.
// --corrupt and --split have the simulator spoil that share of replies once polling runs; the
// run then holds the rate against what a sound connection gets on that fault mix: each spoiled
// reply is read to the write interval's silence instead of the gap, and a split one also holds
// the line for its pause.
// --turnaround MS has the device deaf to a request begun sooner than that after its reply,
// from the start: the connection should say so once, keep the device and poll at the interval
// limit.
// --via rfc2217|tcp runs the poll through ser2net on loopback; the wire limit then has the
// loopback round trip (measured by a TCP echo beside the run) beside each request.
// --record measures twice, without and then with the exchange recorded to a file.
// Usage: transmission_poll_bench [--seconds 10] [--baud 115200] [--screen still|changing]
//          [--interval 20] [--pause 1] [--keep-interval] [--corrupt P] [--split P]
//          [--turnaround MS] [--record] [--via local|rfc2217|tcp]

#include "baselib/platform/PlatformInit.h"
#include "bench/BenchOptions.h"
#include "bench/LineLimits.h"
#include "bench/LinkWatch.h"
#include "bench/LoopbackRoundTrip.h"
#include "bench/PrivatePortMap.h"
#include "bench/SimWatch.h"
#include "link/Packet.h"
#include "panel/DeviceLink.h"
#include "panel/LinkTiming.h"
#include "panel/ExchangeRecorder.h"
#include "sim/Simulator.h"
#include "Ser2net.h"

#include <QCoreApplication>
#include <QDir>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Bench::Seconds;
using std::chrono::milliseconds;
using VPanel::Panel::ExchangeRecorder;

constexpr auto pollingBound = std::chrono::seconds(10);
constexpr auto watchStep = milliseconds(50);
constexpr std::uint64_t settlingPolls = 5;
constexpr double viaGoal = 0.7;
constexpr double faultMixGoal = 0.8;
constexpr double keptIntervalGoal = 0.9;
constexpr double stillSpeedUpGoal = 5.0;

struct Settings {
    double seconds = 10.0;
    long baudRate = 115200;
    std::string screen = "still"; // or changing
    int interval_ms = static_cast<int>(VPanel::Link::defaultWriteInterval.count());
    int pause_ms = 1;
    bool keepInterval = false;
    double corrupt = 0.0;
    double split = 0.0;
    int turnaround_ms = 0;
    bool record = false;
    std::string via = "local"; // or rfc2217, tcp: through ser2net on loopback

    bool faulty() const { return corrupt > 0 || split > 0; }
    bool changing() const { return screen == "changing"; }
};

Settings parse(int argc, char** argv)
{
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--seconds", &settings.seconds},
                        {"--baud", &settings.baudRate},
                        {"--screen", &settings.screen},
                        {"--interval", &settings.interval_ms},
                        {"--pause", &settings.pause_ms},
                        {"--keep-interval", &settings.keepInterval},
                        {"--corrupt", &settings.corrupt},
                        {"--split", &settings.split},
                        {"--turnaround", &settings.turnaround_ms},
                        {"--record", &settings.record},
                        {"--via", &settings.via}});
    if (settings.screen != "still" && !settings.changing()) {
        std::fprintf(stderr, "--screen is still or changing\n");
        std::exit(2);
    }
    return settings;
}

// The goal against the wire limit of a clean local run, where one is set.
double wireGoal(const Settings& settings)
{
    if (settings.baudRate == 115200 && !settings.changing())
        return 0.8;
    if (settings.baudRate == 9600 && settings.changing())
        return 0.9;
    return 0.0;
}

// The goal against the interval limit: the old timing's rate where the device needs it, five
// times that on a still screen at 115200.
double intervalGoal(const Settings& settings, bool cleanLocal)
{
    if (settings.turnaround_ms > 0)
        return keptIntervalGoal;
    return cleanLocal && settings.baudRate == 115200 && !settings.changing() ? stillSpeedUpGoal : 0.0;
}

struct Run {
    Bench::WireTally::Load load;
    Seconds elapsed{};
    VPanel::Sim::BusCounters spoiled; // corrupted and split while measuring
    std::uint64_t failedReads = 0;    // that the connection should have reported
    Bench::LinkWatch::Tally tally;
    bool ended = false; // the connection ended while measuring
};

std::unique_ptr<KelTestSupport::Ser2net> startSer2net(const Settings& settings, const VPanel::Sim::Simulator& simulator,
                                                      const QString& portsDirectory, std::string& portName)
{
    auto server = std::make_unique<KelTestSupport::Ser2net>(
        std::vector<std::string>{simulator.devicePath()},
        settings.via == "tcp" ? KelTestSupport::Ser2net::Accepter::RawTcp : KelTestSupport::Ser2net::Accepter::Rfc2217);
    std::string failure;
    if (!server->start(failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::exit(1);
    }
    portName = "COM999";
    std::ofstream(QDir(portsDirectory).filePath(QStringLiteral("COM999")).toStdString()) << server->url() << "\n";
    return server;
}

// One connection against a fresh simulator, its exchange recorded when `recorder` is given.
Run measure(const Settings& settings, const QString& portsDirectory, const std::shared_ptr<ExchangeRecorder>& recorder)
{
    VPanel::Sim::SimulatorOptions options;
    options.baudRate = static_cast<unsigned>(settings.baudRate);
    options.seed = 1;
    VPanel::Sim::FirmwareSetup device;
    device.changingRows = settings.changing();
    options.devices = {device};
    // A device that is slow to turn round is so from the first request.
    options.faults.turnaround = milliseconds(settings.turnaround_ms);
    VPanel::Sim::Simulator simulator(options);

    std::string portName = simulator.portName();
    std::unique_ptr<KelTestSupport::Ser2net> server;
    if (settings.via != "local")
        server = startSer2net(settings, simulator, portsDirectory, portName);

    VPanel::Panel::LinkParameters parameters;
    parameters.port = portName;
    parameters.baudRate = static_cast<int>(settings.baudRate);
    parameters.writeInterval = milliseconds(settings.interval_ms);
    parameters.requestPause = milliseconds(settings.pause_ms);
    parameters.intervalAfterReply = settings.keepInterval;
    Bench::LinkWatch watch;
    const auto tally = std::make_shared<Bench::WireTally>(recorder);
    VPanel::Panel::DeviceLink link(parameters, watch);
    link.setRecorder(tally);
    link.start();

    const auto exchanges = [&] { return simulator.counters(1).requestsOf(VPanel::Link::Command::Exchange); };
    if (!Bench::waitFor([&] { return exchanges() > 10; }, pollingBound, watchStep)) {
        std::fprintf(stderr, "the connection did not reach polling\n");
        std::exit(1);
    }
    VPanel::Sim::Faults faults = simulator.faults();
    faults.corruptProbability = settings.corrupt;
    faults.splitProbability = settings.split;
    simulator.setFaults(faults);

    watch.setMeasuring(true);
    const auto spoiledBefore = simulator.busCounters();
    const auto loadBefore = tally->load();
    const auto failedReadsBefore = tally->failedReads();
    const auto start = Clock::now();
    Run run;
    run.ended = link.wait(std::chrono::duration_cast<milliseconds>(Seconds(settings.seconds)));
    run.elapsed = Clock::now() - start;
    run.load = tally->load() - loadBefore;
    // The last spoiled replies are still being read: their reports count once the line is clean.
    faults.corruptProbability = 0;
    faults.splitProbability = 0;
    simulator.setFaults(faults);
    const auto settled = exchanges() + settlingPolls;
    Bench::waitFor([&] { return exchanges() >= settled || link.wait(milliseconds(0)); }, pollingBound, watchStep);
    watch.setMeasuring(false);
    run.failedReads = tally->failedReads() - failedReadsBefore;
    const auto spoiledAfter = simulator.busCounters();
    run.spoiled.corrupted = spoiledAfter.corrupted - spoiledBefore.corrupted;
    run.spoiled.split = spoiledAfter.split - spoiledBefore.split;
    link.stop();
    link.wait(link.stopWaitBound());
    run.tally = watch.tally();
    return run;
}

// The least time a sound connection takes for the run's load and spoiled replies.
Seconds faultMixTime(const Settings& settings, const Run& run, Seconds gap)
{
    const Seconds interval = milliseconds(settings.interval_ms);
    const Seconds splitGap = VPanel::Sim::Faults{}.splitGap;
    return Bench::lineTime(run.load, settings.baudRate, gap) +
           (interval - gap) * static_cast<double>(run.spoiled.corrupted + run.spoiled.split) +
           (splitGap - gap) * static_cast<double>(run.spoiled.split);
}

// Prints the run; false when the connection did not stay up.
bool report(const Settings& settings, const Run& run, const char* recording)
{
    const double requests = static_cast<double>(run.load.requests ? run.load.requests : 1);
    const Seconds gap = VPanel::Panel::turnaroundGap(settings.baudRate, milliseconds(settings.pause_ms));
    const Seconds wire = Bench::lineTime(run.load, settings.baudRate, gap);
    const Seconds interval = Bench::lineTime(run.load, settings.baudRate, milliseconds(settings.interval_ms));
    const auto per_ms = [&](Seconds time) { return 1000.0 * time.count() / requests; };

    std::printf("%ld baud, %s screen, via %s, interval %d ms, pause %d ms%s, %s, %.1f s\n", settings.baudRate,
                settings.screen.c_str(), settings.via.c_str(), settings.interval_ms, settings.pause_ms,
                settings.keepInterval ? " kept after every reply" : "", recording, run.elapsed.count());
    std::printf("  polls %llu (%.1f/s, %.3f ms each), %.1f bytes on the wire a poll\n",
                static_cast<unsigned long long>(run.load.requests), requests / run.elapsed.count(),
                per_ms(run.elapsed), static_cast<double>(run.load.bytes) / requests);
    std::printf("  wire limit %.3f ms a poll (gap %.3f ms), interval limit %.3f ms a poll\n", per_ms(wire),
                1000.0 * gap.count(), per_ms(interval));

    const bool local = settings.via == "local";
    const bool clean = !settings.faulty() && settings.turnaround_ms == 0 && !settings.keepInterval;
    Bench::printRatio("rate / wire limit:", wire / run.elapsed, local && clean ? wireGoal(settings) : 0.0);
    Bench::printRatio("rate / interval limit:", interval / run.elapsed, intervalGoal(settings, local && clean));
    if (!local) {
        const auto roundTrip = Bench::loopbackRoundTrip();
        if (roundTrip) {
            std::printf("  loopback round trip %.3f ms (median TCP echo)\n", 1000.0 * roundTrip->count());
            Bench::printRatio("rate / (wire limit + round trip):",
                              Bench::lineTime(run.load, settings.baudRate, gap + *roundTrip) / run.elapsed, viaGoal);
        } else {
            std::printf("  loopback round trip: could not be measured\n");
        }
    }
    if (settings.faulty()) {
        // A split reply's rest joins the next reply into one read, reported once.
        std::printf("  replies corrupted %llu, split %llu; reads failing a check %llu, reported %d (%s)\n",
                    static_cast<unsigned long long>(run.spoiled.corrupted),
                    static_cast<unsigned long long>(run.spoiled.split),
                    static_cast<unsigned long long>(run.failedReads), run.tally.failedChecks,
                    static_cast<std::uint64_t>(run.tally.failedChecks) == run.failedReads ? "each" : "NOT each");
        Bench::printRatio("rate / sound link on this fault mix:", faultMixTime(settings, run, gap) / run.elapsed,
                          faultMixGoal);
    }
    if (settings.turnaround_ms > 0 || run.tally.slowDeviceNotes > 0)
        std::printf("  interval kept after every reply, said %d time(s)%s\n", run.tally.slowDeviceNotes,
                    run.tally.slowDeviceNotes == 1 ? "" : " (once expected)");
    std::printf("  other events %d%s%s\n", run.tally.others, run.tally.others ? ", the first: " : "",
                run.tally.firstOther.c_str());
    const bool up = !run.tally.lost && !run.ended;
    std::printf("  connection %s\n", up ? "stayed up" : "LOST");
    return up;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const KelBase::KelPlatformInit platform(argc, argv);
    const Settings settings = parse(argc, argv);

    const Bench::PrivatePortMap portMap;

    const Run plain = measure(settings, portMap.ports(), nullptr);
    const bool plainUp = report(settings, plain, "recording off");
    if (!settings.record)
        return plainUp ? 0 : 2;

    std::string error;
    const auto recorder = ExchangeRecorder::open(portMap.filePath(QStringLiteral("exchange.txt")).toStdString(), error);
    if (!recorder) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const Run recorded = measure(settings, portMap.ports(), recorder);
    recorder->finish();
    const bool recordedUp = report(settings, recorded, "recording on");
    const auto rate = [](const Run& run) { return static_cast<double>(run.load.requests) / run.elapsed.count(); };
    std::printf("recording on against off: %.3f of the rate; %llu frames lost by the recording\n",
                rate(recorded) / rate(plain), static_cast<unsigned long long>(recorder->lost()));
    return plainUp && recordedUp ? 0 : 2;
}
