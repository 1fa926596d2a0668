// A port on a device server that misbehaves: one that sends without pause, and one that
// never reads while it keeps asking for an option. Prints how long a read, an abort and a
// close take under the flood, the process's peak memory, and how long open() takes against
// the second server, each against its limit.
//   --seconds N   how long the flood is read (default 3)
//   --give-up N   seconds after which an open() that has not returned is reported (default 70)

#include "BenchOptions.h"
#include "FakeDeviceServer.h"

#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace KelComm::Serial;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

long peakResident_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::wstring mapServer(const std::filesystem::path& ports, unsigned number, const std::string& url)
{
    std::ofstream(ports / ("COM" + std::to_string(number))) << url << "\n";
    return L"COM" + std::to_wstring(number);
}

void floodedReads(const std::filesystem::path& ports, int seconds)
{
    const std::string noise(65536, 'n');
    KelCommTest::FakeDeviceServer server([&](int connection, const std::atomic<bool>& stop) {
        while (KelCommTest::sendAll(connection, noise, stop)) {
        }
    });
    SystemSerialPort port(mapServer(ports, 1, server.url("tcp")), CommSettings(115200),
                          CommTimeouts(KelTime::Milliseconds(1000), KelTime::Milliseconds(1000)));
    port.open();
    const long before_kib = peakResident_kib();
    double slowest_ms = 0;
    long reads = 0;
    const auto start = Clock::now();
    while (msSince(start) < seconds * 1000.0) {
        char buffer[255];
        const auto readStart = Clock::now();
        port.read(buffer, sizeof buffer, nullptr, false);
        slowest_ms = std::max(slowest_ms, msSince(readStart));
        ++reads;
    }
    std::atomic<bool> reading{true};
    std::thread reader([&] {
        char buffer[255];
        while (reading && port.read(buffer, sizeof buffer, nullptr, false).status != IO_Result::Aborted) {
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto abortStart = Clock::now();
    port.abort(true, false, true);
    const double abort_ms = msSince(abortStart);
    reading = false;
    const auto closeStart = Clock::now();
    port.close();
    const double close_ms = msSince(closeStart);
    reader.join();
    constexpr double readLimit_ms = 1000 + 50, callLimit_ms = 50;
    std::printf("flooding raw server: %ld reads of 255 bytes (1000 ms timeouts) in %d s\n", reads, seconds);
    std::printf("  slowest read %.1f ms, limit %.0f ms, ratio %.3f\n", slowest_ms, readLimit_ms, slowest_ms / readLimit_ms);
    std::printf("  abort %.2f ms, close %.2f ms, limit %.0f ms, ratio %.3f\n", abort_ms, close_ms, callLimit_ms,
                std::max(abort_ms, close_ms) / callLimit_ms);
    std::printf("  peak RSS %.1f MiB (%.1f MiB when the flood began)\n", peakResident_kib() / 1024.0,
                before_kib / 1024.0);
}

void openAgainstAServerThatNeverReads(const std::filesystem::path& ports, int giveUp_s)
{
    KelCommTest::FakeDeviceServer server([](int connection, const std::atomic<bool>& stop) {
        std::string asks;
        for (int i = 0; i < 1000; ++i)
            asks += KelCommTest::telnetCommand({255, 253, 99});
        while (KelCommTest::sendAll(connection, asks, stop)) {
        }
    });
    const std::wstring name = mapServer(ports, 2, server.url("rfc2217"));
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::wstring outcome = L"opened";
    const auto start = Clock::now();
    std::thread opener([&] {
        SystemSerialPort port(name, CommSettings(115200), CommTimeouts(KelTime::Milliseconds(100), KelTime::Milliseconds(100)));
        try {
            port.open();
        } catch (const SerialPortException& failure) {
            outcome = failure.message();
        }
        const std::lock_guard<std::mutex> guard(mutex);
        finished = true;
        done.notify_all();
    });
    std::unique_lock<std::mutex> guard(mutex);
    constexpr double connectBound_ms = 3000;
    if (!done.wait_for(guard, std::chrono::seconds(giveUp_s), [&] { return finished; })) {
        std::printf("server that never reads and repeats IAC DO 99: open() still running after %d s (limit %.0f ms); "
                    "peak RSS %.1f MiB\n",
                    giveUp_s, connectBound_ms, peakResident_kib() / 1024.0);
        std::fflush(stdout);
        std::_Exit(1);
    }
    const double open_ms = msSince(start);
    guard.unlock();
    opener.join();
    std::printf("server that never reads and repeats IAC DO 99: open() ended after %.1f ms, limit %.0f ms, ratio %.3f\n",
                open_ms, connectBound_ms, open_ms / connectBound_ms);
    std::printf("  %ls\n", outcome.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = 3, giveUp_s = 70;
    Bench::readOptions(argc, argv, {{"--seconds", &seconds}, {"--give-up", &giveUp_s}});
    char pattern[] = "/tmp/kel-network-bench-XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    std::filesystem::create_directories(root / "ports");
    std::filesystem::create_directories(root / "sys");
    setenv("KELCOMM_PORTS_DIR", (root / "ports").c_str(), 1);
    setenv("KELCOMM_SYSFS_ROOT", (root / "sys").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    std::setlocale(LC_ALL, "");
    floodedReads(root / "ports", seconds);
    openAgainstAServerThatNeverReads(root / "ports", giveUp_s);
    std::filesystem::remove_all(root);
    return 0;
}
