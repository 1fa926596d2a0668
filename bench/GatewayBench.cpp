// vpanel-gateway as a site runs it: 32 simulated devices, 8 on each of 4 ptys at 115200, and a
// mosquitto on loopback. The simulators and a subscriber run in this process; the gateway and
// the broker are processes of their own, so their CPU and memory are theirs. The broker sends
// without Nagle's delay (set_tcp_nodelay), as a broker carrying consoles should.
//   - key: a tap published to a device's keys topic -> the first exchange request carrying it,
//     as the device saw it, against one poll round of its line + 30 ms (p99);
//   - screen: that request (the screen changes with it) -> the changed screen received by the
//     subscriber, against one poll cycle + 20 ms (p99);
//   - the gateway's share of a core and its RSS while the devices poll;
//   - the broker killed for a while and restarted: every device's state and screen published
//     again (a fresh subscriber has them all) within 2 s, the gateway's RSS not grown meanwhile.
// Usage: gateway_bench [--taps 256] [--seconds 10] [--outage 30] [--cpu-goal 0.25] [--rss-goal-mb 120]

#include "bench/BenchOptions.h"
#include "bench/LatencyStats.h"
#include "bench/ProcessFigures.h"
#include "bench/SimWatch.h"
#include "bench/WindowRun.h"
#include "link/Keys.h"
#include "link/Packet.h"
#include "link/ScanCodes.h"
#include "mqtt/Client.h"
#include "sim/Simulator.h"

#include "MosquittoBroker.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

namespace {

using namespace VPanel;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr int lines = 4;
constexpr int devicesPerLine = 8;
constexpr long baudRate = 115200;
constexpr auto linkBound = std::chrono::seconds(60);
constexpr auto tapBound = std::chrono::seconds(5);
constexpr double screenExcess_ms = 20;
constexpr double keyExcess_ms = 30;
constexpr double republishGoal_s = 2;
// Allocator noise, not growth: the kept state is the same before and after.
constexpr long rssSlack_kB = 1024;
const char* const benchPassword = "bench-pass";

struct Settings {
    int taps = 256;
    double seconds = 10;
    double outage_s = 30;
    double cpuGoal = 0.25;
    double rssGoal_MB = 120;
};

QString deviceName(int line, int address) { return QStringLiteral("l%1d%2").arg(line).arg(address); }
QString portName(int line) { return QStringLiteral("COM%1").arg(301 + line); }

// What the subscriber has seen of each device, and when.
struct Seen {
    QString link;
    QString screenText;
    Clock::time_point screenAt;
    Clock::time_point stateAt;
};

class Subscriber {
public:
    explicit Subscriber(const std::string& url)
    {
        Mqtt::ClientOptions options;
        options.broker = Mqtt::BrokerAddress::parse(QString::fromStdString(url));
        options.username = QStringLiteral("bench");
        options.password = QString::fromLatin1(benchPassword);
        client = std::make_unique<Mqtt::Client>(options);
        QObject::connect(client.get(), &Mqtt::Client::message, client.get(), [this](const QString& topic, const QByteArray& payload) {
            const auto now = Clock::now();
            const QStringList levels = topic.split(QLatin1Char('/'));
            Seen& device = seen[levels.value(2)];
            const QJsonObject object = QJsonDocument::fromJson(payload).object();
            if (levels.value(3) == QLatin1String("screen")) {
                QStringList rows;
                for (const QJsonValue row : object.value(QStringLiteral("rows")).toArray())
                    rows << row.toString();
                device.screenText = rows.join(QLatin1Char('\n'));
                device.screenAt = now;
            } else {
                device.link = object.value(QStringLiteral("link")).toString();
                device.stateAt = now;
            }
        });
        client->subscribe(QStringLiteral("vpanel/bench/+/screen"), 0);
        client->subscribe(QStringLiteral("vpanel/bench/+/state"), 1);
        client->start();
    }

    bool allLive(Clock::time_point since = {}) const
    {
        int live = 0;
        for (const auto& [name, device] : seen)
            live += device.link == QLatin1String("live") && !device.screenText.isEmpty() && device.screenAt >= since &&
                    device.stateAt >= since;
        return live == lines * devicesPerLine;
    }
    Clock::time_point lastArrival() const
    {
        Clock::time_point last{};
        for (const auto& [name, device] : seen)
            last = std::max({last, device.screenAt, device.stateAt});
        return last;
    }

    std::unique_ptr<Mqtt::Client> client;
    std::map<QString, Seen> seen;
};

struct ProcessUsage {
    double cpu_s = 0;
    long rss_kB = 0;
};

ProcessUsage usageOf(qint64 pid)
{
    ProcessUsage usage;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long user = 0, system = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            user = std::stoul(field);
        if (index == 15)
            system = std::stoul(field);
    }
    usage.cpu_s = double(user + system) / double(sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            usage.rss_kB = std::stol(line.substr(6));
    return usage;
}

double ratioLine(const char* what, double value, double limit, const char* unit)
{
    std::printf("  %-52s %9.2f %s, limit %.2f: ratio %.2f %s\n", what, value, unit, limit, value / limit,
                value <= limit ? "met" : "MISSED");
    return value / limit;
}

// The mean time between two polls of one device on each line, over a span of the run.
std::vector<double> pollCycles_ms(const std::vector<std::uint64_t>& before, const std::vector<std::uint64_t>& after,
                                  Milliseconds span)
{
    std::vector<double> cycles;
    for (int line = 0; line < lines; ++line) {
        const double perDevice = double(after[line] - before[line]) / devicesPerLine;
        cycles.push_back(perDevice > 0 ? span.count() / perDevice : 0);
    }
    return cycles;
}

std::vector<std::uint64_t> pollsByLine(const std::vector<std::unique_ptr<Sim::Simulator>>& simulators)
{
    std::vector<std::uint64_t> polls(lines, 0);
    for (int line = 0; line < lines; ++line)
        for (int address = 1; address <= devicesPerLine; ++address)
            polls[line] += simulators[line]->counters(std::uint8_t(address)).requestsOf(Link::Command::Exchange);
    return polls;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--taps", &settings.taps},
                        {"--seconds", &settings.seconds},
                        {"--outage", &settings.outage_s},
                        {"--cpu-goal", &settings.cpuGoal},
                        {"--rss-goal-mb", &settings.rssGoal_MB}});
    const Bench::PrivatePortMap portMap;

    std::vector<std::unique_ptr<Sim::Simulator>> simulators;
    for (int line = 0; line < lines; ++line) {
        Sim::SimulatorOptions options;
        options.portName = portName(line).toStdString();
        options.baudRate = baudRate;
        options.seed = 1;
        for (int address = 1; address <= devicesPerLine; ++address) {
            Sim::FirmwareSetup device;
            device.address = std::uint8_t(address);
            options.devices.push_back(device);
        }
        simulators.push_back(std::make_unique<Sim::Simulator>(options));
    }

    KelTestSupport::MosquittoBroker broker({{"gw", "gw-pass"}, {"bench", benchPassword}},
                                           "user gw\ntopic readwrite vpanel/bench/#\nuser bench\ntopic readwrite vpanel/#\n");
    std::string failure;
    if (!broker.start(failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 2;
    }
    QFile passwordFile(portMap.filePath(QStringLiteral("gw.pass")));
    passwordFile.open(QIODevice::WriteOnly);
    passwordFile.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    passwordFile.write("gw-pass");
    passwordFile.close();

    QStringList arguments = {QStringLiteral("--broker"), QString::fromStdString(broker.url()), QStringLiteral("--site"),
                             QStringLiteral("bench"), QStringLiteral("--username"), QStringLiteral("gw"),
                             QStringLiteral("--password-file"), passwordFile.fileName(), QStringLiteral("--lang"),
                             QStringLiteral("en")};
    for (int line = 0; line < lines; ++line)
        for (int address = 1; address <= devicesPerLine; ++address)
            arguments << QStringLiteral("--device")
                      << QStringLiteral("%1=%2,%3,%4").arg(deviceName(line, address), portName(line)).arg(address).arg(baudRate);
    QProcess gateway;
    gateway.setStandardErrorFile(portMap.filePath(QStringLiteral("gateway.log")));
    gateway.start(QStringLiteral(VPANEL_GATEWAY), arguments);

    auto subscriber = std::make_unique<Subscriber>(broker.url());
    if (!Bench::runEventsUntil([&] { return subscriber->allLive(); }, linkBound)) {
        std::fprintf(stderr, "not every device came up live on the broker\n");
        return 2;
    }

    // Taps at random moments, each to the next device, which opens its menu or closes it.
    std::printf("gateway bench: %d devices on %d ptys at %ld baud, broker on loopback\n", lines * devicesPerLine, lines,
                baudRate);
    std::mt19937 random(1);
    std::vector<double> key_ms, screen_ms;
    std::map<int, bool> menuOpen;
    int lost = 0;
    const auto pollsBefore = pollsByLine(simulators);
    auto usageBefore = usageOf(gateway.processId());
    auto start = Clock::now();
    for (int tap = 0; tap < settings.taps; ++tap) {
        const int index = tap % (lines * devicesPerLine);
        const int line = index / devicesPerLine;
        const int address = index % devicesPerLine + 1;
        const QString name = deviceName(line, address);
        const bool opening = !menuOpen[index];
        const int code = opening ? Link::ScanCode::F1 : Link::ScanCode::Escape;
        Bench::runEvents(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 60)(random)));
        const auto tapped = Clock::now();
        subscriber->client->publish(QStringLiteral("vpanel/bench/%1/keys").arg(name),
                                    opening ? QByteArray(R"({"tap":"F1"})") : QByteArray(R"({"tap":"Esc"})"), 1, false);
        const std::uint32_t bit = Link::keyBit(Link::keyNumber(code));
        std::optional<Sim::KeyMaskChange> down;
        const Seen& seen = subscriber->seen[name];
        const bool shown = Bench::runEventsUntil(
            [&] {
                if (!down)
                    down = Bench::seenDown(simulators[line]->counters(std::uint8_t(address)), tapped, bit);
                return down && seen.screenText.contains(QLatin1String("Menu")) == opening;
            },
            tapBound);
        if (!shown) {
            ++lost;
            std::printf("  lost: %s to %s, %s at the device\n", opening ? "F1" : "Esc", qPrintable(name),
                        down ? "seen" : "not seen");
            menuOpen[index] = seen.screenText.contains(QLatin1String("Menu"));
            continue;
        }
        menuOpen[index] = opening;
        key_ms.push_back(Milliseconds(down->at - tapped).count());
        screen_ms.push_back(Milliseconds(seen.screenAt - down->at).count());
    }
    const Milliseconds tapSpan = Clock::now() - start;
    const auto cycles = pollCycles_ms(pollsBefore, pollsByLine(simulators), tapSpan);
    const double cycle_ms = *std::max_element(cycles.begin(), cycles.end());

    // The steady load, without taps.
    usageBefore = usageOf(gateway.processId());
    start = Clock::now();
    Bench::runEvents(std::chrono::milliseconds(long(settings.seconds * 1000)));
    const double steady_s = std::chrono::duration<double>(Clock::now() - start).count();
    const ProcessUsage steady = usageOf(gateway.processId());
    const double cpuShare = (steady.cpu_s - usageBefore.cpu_s) / steady_s;

    const LatencyStats key = LatencyStats::of(key_ms);
    const LatencyStats screen = LatencyStats::of(screen_ms);
    std::printf("  poll cycle of a device (slowest line): %.2f ms; lines: %.2f %.2f %.2f %.2f ms\n", cycle_ms, cycles[0],
                cycles[1], cycles[2], cycles[3]);
    std::printf("  %d taps, %d lost; key p50 %.2f ms max %.2f ms; screen p50 %.2f ms max %.2f ms\n", settings.taps, lost,
                key.p50, key.max, screen.p50, screen.max);
    ratioLine("screen change -> received, p99 (one cycle + 20 ms)", screen.p99, cycle_ms + screenExcess_ms, "ms");
    ratioLine("key published -> first request with it, p99 (+ 30 ms)", key.p99, cycle_ms + keyExcess_ms, "ms");
    ratioLine("gateway share of a core, steady", cpuShare, settings.cpuGoal, "   ");
    ratioLine("gateway RSS", Bench::megabytes(steady.rss_kB), settings.rssGoal_MB, "MB");

    // The broker away for a while, then back with nothing retained.
    const long rssBeforeOutage_kB = usageOf(gateway.processId()).rss_kB;
    subscriber.reset();
    broker.kill();
    const ProcessUsage outageStart = usageOf(gateway.processId());
    const auto outageStartedAt = Clock::now();
    Bench::runEvents(std::chrono::milliseconds(long(settings.outage_s * 1000)));
    const ProcessUsage outageEnd = usageOf(gateway.processId());
    const long rssAfterOutage_kB = outageEnd.rss_kB;
    // Without a broker the gateway only keeps the links: their share, for comparison.
    const double linksShare =
        (outageEnd.cpu_s - outageStart.cpu_s) / std::chrono::duration<double>(Clock::now() - outageStartedAt).count();
    if (!broker.start(failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 2;
    }
    const auto restarted = Clock::now();
    subscriber = std::make_unique<Subscriber>(broker.url());
    const bool back = Bench::runEventsUntil([&] { return subscriber->allLive(restarted); }, linkBound);
    const double republished_s = back ? std::chrono::duration<double>(subscriber->lastArrival() - restarted).count() : 1e9;
    std::printf("  broker away %.0f s: gateway RSS %.1f MB before, %.1f MB at its end; its share of a core meanwhile "
                "(the links alone) %.2f\n",
                settings.outage_s, Bench::megabytes(rssBeforeOutage_kB), Bench::megabytes(rssAfterOutage_kB), linksShare);
    // The screens change all the time, so "all arrived" comes at the latest of the republished.
    ratioLine("every state and screen again after the restart", republished_s, republishGoal_s, "s ");
    ratioLine("gateway RSS after the outage (before + 1 MB slack)", Bench::megabytes(rssAfterOutage_kB),
              Bench::megabytes(rssBeforeOutage_kB + rssSlack_kB), "MB");

    gateway.terminate();
    gateway.waitForFinished();
    if (lost) {
        QFile log(portMap.filePath(QStringLiteral("gateway.log")));
        log.open(QIODevice::ReadOnly);
        std::printf("  the gateway's log:\n%s", log.readAll().constData());
    }
    const bool met = lost == 0 && screen.p99 <= cycle_ms + screenExcess_ms && key.p99 <= cycle_ms + keyExcess_ms &&
                     cpuShare <= settings.cpuGoal && Bench::megabytes(steady.rss_kB) <= settings.rssGoal_MB &&
                     republished_s <= republishGoal_s && rssAfterOutage_kB <= rssBeforeOutage_kB + rssSlack_kB;
    return met ? 0 : 1;
}
