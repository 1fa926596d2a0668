// Polling rate of a connection against the simulator pacing its replies at the line's rate:
// polls per second as a fraction of what the line allows (request and reply on the wire plus
// the write interval that ends each reply). With --corrupt the simulator spoils that share of
// replies, and the run tells whether the connection stayed up. With --record the connection is
// measured twice, without and then with its exchange recorded to a file, and the two compared.
// With --via rfc2217 or tcp the connection goes through ser2net on loopback.
// Usage: transmission_poll_bench [--seconds 10] [--baud 115200] [--interval 20] [--corrupt 0.05]
//                                [--record] [--via local|rfc2217|tcp]

#include "link/Packet.h"
#include "app/transmission/QOTransmissionThread.h"
#include "baselib/platform/PlatformInit.h"
#include "bench/BenchOptions.h"
#include "bench/PrivatePortMap.h"
#include "panel/ExchangeRecorder.h"
#include "sim/Simulator.h"
#include "Ser2net.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    double seconds = 10.0;
    long baudRate = 115200;
    int interval_ms = QOTransmissionThread::defaultWriteInterval_ms;
    double corrupt = 0.0;
    bool record = false;
    std::string via = "local"; // or rfc2217, tcp: through ser2net on loopback
};

Settings parse(int argc, char** argv)
{
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--seconds", &settings.seconds},
                        {"--baud", &settings.baudRate},
                        {"--interval", &settings.interval_ms},
                        {"--corrupt", &settings.corrupt},
                        {"--record", &settings.record},
                        {"--via", &settings.via}});
    return settings;
}

struct Tally {
    int rows = 0;
    int glyphs = 0;
    int lost = 0;      // event 1
    int mismatches = 0; // events 9 and 4 about a reply that failed its checks
    bool finished = false;
};

// Runs the event loop, without spinning on it, until `done` holds or the time is up.
bool spin(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    constexpr int tick_ms = 10;
    const auto end = Clock::now() + limit;
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || Clock::now() >= end)
            loop.quit();
    });
    tick.start(tick_ms);
    loop.exec();
    return done();
}

struct Result {
    double fraction = 0.0; // of the line's limit
    bool lost = false;
};

// One connection against a fresh simulator, its exchange recorded when `recorder` is given.
Result measure(const Settings& settings, const QString& portsDirectory, const std::shared_ptr<ExchangeRecorder>& recorder)
{
    VPanel::Sim::SimulatorOptions options;
    options.baudRate = static_cast<unsigned>(settings.baudRate);
    options.seed = 1;
    VPanel::Sim::Simulator simulator(options);

    std::string portName = simulator.portName();
    std::unique_ptr<KelTestSupport::Ser2net> server;
    if (settings.via != "local") {
        server = std::make_unique<KelTestSupport::Ser2net>(
            std::vector<std::string>{simulator.devicePath()},
            settings.via == "tcp" ? KelTestSupport::Ser2net::Accepter::RawTcp : KelTestSupport::Ser2net::Accepter::Rfc2217);
        std::string failure;
        if (!server->start(failure)) {
            std::fprintf(stderr, "%s\n", failure.c_str());
            std::exit(1);
        }
        portName = "COM999";
        std::ofstream(QDir(portsDirectory).filePath(QStringLiteral("COM999")).toStdString()) << server->url() << "\n";
    }

    QOTransmissionThread link;
    link.setPortName(QString::fromStdString(portName));
    link.setAddress(1);
    link.setBaudRate(static_cast<int>(settings.baudRate));
    link.setWriteInterval(settings.interval_ms);
    link.setRecorder(recorder);
    Tally tally;
    bool measuring = false;
    QObject::connect(&link, &QOTransmissionThread::setCells, &link, [&](int, int, QByteArray, int) {
        if (measuring)
            ++tally.rows;
    });
    QObject::connect(&link, &QOTransmissionThread::setSymbolMatrix, &link, [&](char, SymbolMatrix) {
        if (measuring)
            ++tally.glyphs;
    });
    QObject::connect(&link, &QOTransmissionThread::alarm, &link, [&](int code, QString) {
        if (code == 1)
            ++tally.lost;
        if (measuring && (code == 9 || code == 4))
            ++tally.mismatches;
    });
    QObject::connect(&link, &QThread::finished, &link, [&] { tally.finished = true; });
    link.start();

    const auto exchanges = [&] { return simulator.counters(1).requestsOf(VPanel::Link::Command::Exchange); };
    if (!spin([&] { return exchanges() > 10; }, std::chrono::seconds(5))) {
        std::fprintf(stderr, "the connection did not reach polling\n");
        std::exit(1);
    }
    VPanel::Sim::Faults faults;
    faults.corruptProbability = settings.corrupt;
    simulator.setFaults(faults);

    measuring = true;
    const auto firstPolls = exchanges();
    const auto start = Clock::now();
    spin([&] { return tally.finished; }, std::chrono::milliseconds(static_cast<long>(settings.seconds * 1000)));
    const double elapsed_s = std::chrono::duration<double>(Clock::now() - start).count();
    const auto polls = exchanges() - firstPolls;
    measuring = false;
    link.stope();
    link.wait();

    // The exchange request is 9 bytes; a reply 7, plus 20 per row and 8 per glyph it carried.
    const double pollsPerSecond = static_cast<double>(polls) / elapsed_s;
    const double replyBytes = 7.0 + (20.0 * tally.rows + 8.0 * tally.glyphs) / static_cast<double>(polls ? polls : 1);
    const double bitsPerByte = 10.0;
    const double perPoll_ms =
        (9.0 + replyBytes) * bitsPerByte * 1000.0 / static_cast<double>(settings.baudRate) + settings.interval_ms;
    const double limit = 1000.0 / perPoll_ms;

    std::printf("%s, via %s: baud %ld, interval %d ms, corrupt %.3f, %.1f s\n", recorder ? "recording on" : "recording off",
                settings.via.c_str(), settings.baudRate, settings.interval_ms, settings.corrupt, elapsed_s);
    std::printf("polls %llu (%.2f/s), mean reply %.1f bytes, line limit %.2f/s (%.3f ms a poll)\n",
                static_cast<unsigned long long>(polls), pollsPerSecond, replyBytes, limit, perPoll_ms);
    // A device server's relay costs a little of the line.
    std::printf("fraction of the line's limit: %.3f (goal >= %.2f)\n", pollsPerSecond / limit,
                settings.via == "local" ? 0.95 : 0.9);
    std::printf("replies corrupted %llu, failed checks reported %d, connection %s\n",
                static_cast<unsigned long long>(simulator.busCounters().corrupted), tally.mismatches,
                tally.lost || tally.finished ? "LOST" : "stayed up");
    return {pollsPerSecond / limit, tally.lost > 0};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const KelBase::KelPlatformInit platform(argc, argv);
    const Settings settings = parse(argc, argv);

    const Bench::PrivatePortMap portMap;

    const Result plain = measure(settings, portMap.ports(), nullptr);
    if (!settings.record)
        return plain.lost ? 2 : 0;

    std::string error;
    const auto recorder = ExchangeRecorder::open(portMap.filePath(QStringLiteral("exchange.txt")).toStdString(), error);
    if (!recorder) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const Result recorded = measure(settings, portMap.ports(), recorder);
    recorder->finish();
    std::printf("recording on against off: %.3f of the rate; %llu frames lost by the recording\n",
                recorded.fraction / plain.fraction, static_cast<unsigned long long>(recorder->lost()));
    return plain.lost || recorded.lost ? 2 : 0;
}
