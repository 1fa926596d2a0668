// Device search against the simulator pacing its replies at the line's rate: how long a scan of
// the whole address range takes, against the line's limit. The quick scan's limit is each
// address's wait (request and reply on the wire, the frame gap and the margin); the thorough
// scan's is the program's budget per address. Last, the quick scan of every rate of the list
// on one port, with the device answering only at its own rate, and each rate's share of it.
// Then a bus with a device at each of the first addresses: what an answering address costs
// the quick scan, against the wire (request and reply on the wire, the frame gap after each
// and the pause before the next request).
// Usage: device_search_bench [--baud 115200] [--address 200] [--device-rate 9600] [--thorough 1] [--all-rates 1]
//                            [--answering 32]

#include "link/LineTiming.h"
#include "link/Replies.h"
#include "link/Requests.h"
#include "app/search/QOIdentifyThread.h"
#include "baselib/platform/PlatformInit.h"
#include "bench/BenchOptions.h"
#include "bench/PrivatePortMap.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QSize>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int firstAddress = 1;
constexpr int lastAddress = 249;
constexpr double quickGoal_s = 10.0;
constexpr double allRatesGoal_s = 240.0;
// The rate list of the search window, fastest first.
const std::vector<int> allRates = {921600, 806400, 691200, 576000, 460800, 345600, 230400, 115200, 76800,
                                   57600,  38400,  28800,  19200,  14400,  9600,   4800,   2400,   1200};

struct Settings {
    int baudRate = 115200;
    int address = 200;
    int deviceRate = 9600;
    int thorough = 1;
    int everyRate = 1;
    int answering = 32;
};

Settings parse(int argc, char** argv)
{
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--baud", &settings.baudRate},
                        {"--address", &settings.address},
                        {"--device-rate", &settings.deviceRate},
                        {"--thorough", &settings.thorough},
                        {"--all-rates", &settings.everyRate},
                        {"--answering", &settings.answering}});
    return settings;
}

struct Found {
    int address = 0;
    int baud = 0;
};

struct RateTime {
    int baud = 0;
    double elapsed_s = 0;
};

struct Outcome {
    double elapsed_s = 0;
    std::vector<Found> found;
    // Each rate's share of the scan, in the order scanned.
    std::vector<RateTime> rates;
};

Outcome scan(const std::string& port, const std::vector<int>& bauds, bool quick)
{
    QOIdentifyThread thread;
    thread.setScanPort(QString::fromStdString(port));
    thread.setRange(firstAddress, lastAddress);
    thread.setBauds(QList<int>(bauds.begin(), bauds.end()));
    thread.setQuick(quick);
    Outcome outcome;
    int baud = 0;
    auto rateStart = Clock::now();
    // Both run in the scanning thread, one after the other.
    QObject::connect(
        &thread, &QOIdentifyThread::scanning, &thread,
        [&](int rate, int, int) {
            if (rate == baud)
                return;
            const auto now = Clock::now();
            if (baud != 0)
                outcome.rates.push_back({baud, Seconds(now - rateStart).count()});
            rateStart = now;
            baud = rate;
        },
        Qt::DirectConnection);
    QObject::connect(
        &thread, &QOIdentifyThread::add, &thread,
        [&](const QString&, QSize info) { outcome.found.push_back({info.width(), baud}); }, Qt::DirectConnection);
    QObject::connect(
        &thread, &QOIdentifyThread::alarm, &thread,
        [](const QString& text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); },
        Qt::DirectConnection);
    const auto start = Clock::now();
    thread.start();
    thread.wait();
    const auto end = Clock::now();
    outcome.elapsed_s = Seconds(end - start).count();
    outcome.rates.push_back({baud, Seconds(end - rateStart).count()});
    return outcome;
}

std::unique_ptr<VPanel::Sim::Simulator> simulate(int firstDevice, int lastDevice, unsigned rate, bool onlyAtOwnRate)
{
    VPanel::Sim::SimulatorOptions options;
    for (int address = firstDevice; address <= lastDevice; ++address) {
        VPanel::Sim::FirmwareSetup device;
        device.address = static_cast<std::uint8_t>(address);
        options.devices.push_back(device);
    }
    options.baudRate = rate;
    options.onlyAtOwnRate = onlyAtOwnRate;
    options.seed = 1;
    return std::make_unique<VPanel::Sim::Simulator>(options);
}

std::unique_ptr<VPanel::Sim::Simulator> simulate(int address, unsigned rate, bool onlyAtOwnRate)
{
    return simulate(address, address, rate, onlyAtOwnRate);
}

Seconds answeredAddressWire(int baud)
{
    const std::size_t requestBytes = VPanel::Link::deviceIdentificationRequest(firstAddress).size();
    return VPanel::Link::wireTime(requestBytes + VPanel::Link::identificationReplySize, baud) +
           2 * VPanel::Link::bitTimes(VPanel::Link::frameGapBits, baud) + QOIdentifyThread::requestPause;
}

double quickLimit_s(int baud)
{
    const int addresses = lastAddress - firstAddress + 1;
    return Seconds(VPanel::Link::quickSilentAddressTime(baud) * addresses).count();
}

void report(const char* what, const Outcome& outcome, double limit_s)
{
    std::printf("%s: %.2f s, limit %.2f s, ratio %.3f; found", what, outcome.elapsed_s, limit_s,
                outcome.elapsed_s / limit_s);
    for (const Found& device : outcome.found)
        std::printf(" %d at %d baud", device.address, device.baud);
    std::printf("%s\n", outcome.found.empty() ? " nothing" : "");
}

bool foundOnly(const Outcome& outcome, int address, int baud)
{
    return outcome.found.size() == 1 && outcome.found[0].address == address && outcome.found[0].baud == baud;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const KelBase::KelPlatformInit platform(argc, argv);
    const Settings settings = parse(argc, argv);

    const Bench::PrivatePortMap portMap;

    bool met = true;
    {
        const auto bus = simulate(settings.address, static_cast<unsigned>(settings.baudRate), false);
        const Outcome quick = scan(bus->portName(), {settings.baudRate}, true);
        std::printf("range %d-%d at %d baud, device at %d, margin %lld ms per address\n", firstAddress, lastAddress,
                    settings.baudRate, settings.address,
                    static_cast<long long>(VPanel::Link::quickReplyMargin.count()));
        report("quick scan", quick, quickLimit_s(settings.baudRate));
        const bool quickMet = quick.elapsed_s <= quickGoal_s && foundOnly(quick, settings.address, settings.baudRate);
        std::printf("  goal: whole range within %.0f s, device found: %s\n", quickGoal_s, quickMet ? "met" : "MISSED");
        met = quickMet && met;
        if (settings.thorough) {
            const Outcome thorough = scan(bus->portName(), {settings.baudRate}, false);
            const int addresses = lastAddress - firstAddress + 1;
            report("thorough scan", thorough,
                   Seconds(QOIdentifyThread::defaultAddressBudget * addresses).count());
            std::printf("  quick / thorough: %.4f\n", quick.elapsed_s / thorough.elapsed_s);
        }
    }
    if (settings.everyRate) {
        const auto bus = simulate(settings.address, static_cast<unsigned>(settings.deviceRate), true);
        const Outcome every = scan(bus->portName(), allRates, true);
        double limit_s = 0;
        for (const int baud : allRates)
            limit_s += quickLimit_s(baud);
        std::printf("all %zu rates, device at %d answering only at %d baud\n", allRates.size(), settings.address,
                    settings.deviceRate);
        report("quick scan", every, limit_s);
        for (const RateTime& rate : every.rates)
            std::printf("  %6d baud: %6.2f s, limit %6.2f s, ratio %.3f\n", rate.baud, rate.elapsed_s,
                        quickLimit_s(rate.baud), rate.elapsed_s / quickLimit_s(rate.baud));
        const bool everyMet = every.elapsed_s <= allRatesGoal_s && foundOnly(every, settings.address, settings.deviceRate);
        std::printf("  goal: within %.0f s, device found at its rate: %s\n", allRatesGoal_s, everyMet ? "met" : "MISSED");
        met = everyMet && met;
    }
    if (settings.answering > 0) {
        const int lastAnswering = firstAddress + settings.answering - 1;
        const auto bus = simulate(firstAddress, lastAnswering, static_cast<unsigned>(settings.baudRate), false);
        QOIdentifyThread thread;
        int found = 0;
        QObject::connect(&thread, &QOIdentifyThread::add, &thread, [&](const QString&, QSize) { ++found; },
                         Qt::DirectConnection);
        thread.setScanPort(QString::fromStdString(bus->portName()));
        thread.setRange(firstAddress, lastAnswering);
        thread.setBauds({settings.baudRate});
        thread.setQuick(true);
        const auto start = Clock::now();
        thread.start();
        thread.wait();
        const double perAddress_ms = 1000 * Seconds(Clock::now() - start).count() / settings.answering;
        const double wire_ms = 1000 * answeredAddressWire(settings.baudRate).count();
        std::printf("answering addresses %d-%d at %d baud: %.2f ms each, wire %.2f ms, ratio %.2f; found %d\n",
                    firstAddress, lastAnswering, settings.baudRate, perAddress_ms, wire_ms, perAddress_ms / wire_ms,
                    found);
        met = found == settings.answering && met;
    }
    return met ? 0 : 2;
}
