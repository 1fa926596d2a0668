// Memory of a long run on a noisy line: the whole window, headless, connected to the simulator
// with spoilt, split and dropped replies, recording the line and printing the display as
// `vpanel --record … --print-display` does. The journal starts full, so that what it keeps is
// already at its bound; after a warm-up the process's resident size is sampled every second
// and the least-squares slope is printed against a limit.
// Usage: noisy_line_soak_bench [--seconds 60] [--warmup 10] [--limit 100]   (limit in bytes/s)

#include "app/log/LogWidget.h"
#include "app/window/HeadlessOutput.h"
#include "app/window/QORemoteController.h"
#include "bench/BenchOptions.h"
#include "bench/PrivatePortMap.h"
#include "sim/Simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QLoggingCategory>
#include <QSettings>
#include <QTime>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

constexpr int baudRate = 115200;

struct Settings {
    int seconds = 60;
    int warmup_s = 10;
    double limit_bytesPerSecond = 100.0;
};

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Bytes per second of the least-squares line through the samples.
double slope(const std::vector<double>& seconds, const std::vector<double>& bytes)
{
    const double count = static_cast<double>(seconds.size());
    double meanTime = 0.0;
    double meanBytes = 0.0;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        meanTime += seconds[i] / count;
        meanBytes += bytes[i] / count;
    }
    double covariance = 0.0;
    double variance = 0.0;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        covariance += (seconds[i] - meanTime) * (bytes[i] - meanBytes);
        variance += (seconds[i] - meanTime) * (seconds[i] - meanTime);
    }
    return variance > 0.0 ? covariance / variance : 0.0;
}

// A full journal of lines as long as those of the link's events. Only the journal holds them,
// so that each one it drops is freed, as a line of its own would be.
QStringList olderJournal()
{
    QStringList lines;
    for (int line = 0; line < LogWidget::maxLines; ++line)
        lines << LogWidget::journalLine(QStringLiteral("Контрольная сумма несовпадает - Ошибка."),
                                        QTime(0, 0).addMSecs(line * 100));
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QApplication application(argc, argv);
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--seconds", &settings.seconds},
                        {"--warmup", &settings.warmup_s},
                        {"--limit", &settings.limit_bytesPerSecond}});

    const Bench::PrivatePortMap portMap;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, portMap.filePath(QStringLiteral("settings")));

    VPanel::Sim::SimulatorOptions line;
    line.seed = 1;
    line.faults.corruptProbability = 0.05;
    line.faults.splitProbability = 0.05;
    line.faults.dropProbability = 0.02;
    VPanel::Sim::Simulator simulator(line);
    const QString port = QString::fromStdString(simulator.portName());

    QORemoteController window;
    int boxes = 0;
    window.setWarningPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
    window.setInformationPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
    window.show();
    std::FILE* discard = std::fopen("/dev/null", "w");
    new DisplayPrinter(*window.ui().indicator, discard);
    const QString recording = portMap.filePath(QStringLiteral("exchange.txt"));
    if (!window.startRecording(recording))
        return 2;
    window.logWindow()->inputData(olderJournal());
    window.setParam(port, 1, baudRate);

    int reconnects = 0;
    std::vector<double> seconds;
    std::vector<double> bytes;
    QElapsedTimer clock;
    clock.start();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        // The noise may end a link now and then; the soak goes on, as an operator would.
        if (!window.isConnected()) {
            ++reconnects;
            window.setParam(port, 1, baudRate);
        }
        const double elapsed_s = static_cast<double>(clock.elapsed()) / 1000.0;
        if (elapsed_s >= settings.warmup_s) {
            seconds.push_back(elapsed_s);
            bytes.push_back(static_cast<double>(residentBytes()));
        }
        if (elapsed_s >= settings.warmup_s + settings.seconds)
            application.quit();
    });
    sampler.start(1000);
    application.exec();

    const auto polls = simulator.counters(1).requestsOf(VPanel::Link::Command::Exchange);
    const auto noise = simulator.busCounters();
    const double perSecond = slope(seconds, bytes);
    std::printf("noisy line soak: %d s after a %d s warm-up, %zu samples, %llu exchanges, %llu spoilt, %llu split, "
                "%llu dropped, %d reconnects, %d boxes\n",
                settings.seconds, settings.warmup_s, seconds.size(), static_cast<unsigned long long>(polls),
                static_cast<unsigned long long>(noise.corrupted), static_cast<unsigned long long>(noise.split),
                static_cast<unsigned long long>(noise.dropped), reconnects, boxes);
    std::printf("  journal %d lines, %d older dropped; recording %lld bytes\n", window.logWindow()->lines()->count(),
                window.logWindow()->droppedLines(), static_cast<long long>(QFileInfo(recording).size()));
    if (bytes.empty())
        return 2;
    std::printf("  resident %.1f -> %.1f MB, slope %.1f B/s (limit %.0f B/s, ratio %.2f: %s)\n", bytes.front() / 1e6,
                bytes.back() / 1e6, perSecond, settings.limit_bytesPerSecond,
                perSecond / settings.limit_bytesPerSecond, perSecond <= settings.limit_bytesPerSecond ? "met" : "MISSED");
    window.stopRecording();
    std::fclose(discard);
    return perSecond <= settings.limit_bytesPerSecond ? 0 : 1;
}
