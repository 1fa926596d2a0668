// The GUI thread's share of a core while the whole window polls the simulator over a pty as
// fast as the line allows: once for a still screen (after the first, the replies carry no
// rows) and once for a screen whose four rows all change on every poll. The simulator plays
// replies made up here, so that the screen does exactly that whatever its firmware shows.
// The GUI thread is the main thread; its CPU time comes from its own thread clock.
// Runs on the offscreen platform, or on the X server of DISPLAY (e.g. under xvfb-run).
// Usage: gui_poll_cpu_bench [--seconds 10] [--baud 115200] [--screen both|still|changing]
//                           [--goal 0.05]

#include "app/window/QORemoteController.h"
#include "bench/BenchOptions.h"
#include "bench/WindowRun.h"
#include "link/Device.h"
#include "link/FrameNotation.h"
#include "link/Requests.h"
#include "sim/Bus.h"
#include "sim/Recording.h"
#include "sim/Simulator.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using VPanel::Link::Frame;
using VPanel::Link::FrameDirection;
namespace Sim = VPanel::Sim;

constexpr std::uint8_t address = 1;
constexpr int warmup_s = 2;

struct Settings {
    double seconds = 10.0;
    long baudRate = 115200;
    std::string screen = "both";
    double goal = 0.05;
};

void writeExchange(std::ostringstream& recording, const Frame& request, const Frame& reply)
{
    recording << VPanel::Link::frameLine("0.000", FrameDirection::Request, request.bytes(), request.size()) << '\n'
              << VPanel::Link::frameLine("0.000", FrameDirection::Reply, reply.bytes(), reply.size()) << '\n';
}

// Four rows of letters from `first` on, each place another letter.
VPanel::Link::ExchangeContent fullScreen(char first)
{
    VPanel::Link::ExchangeContent content;
    content.consoleOn = true;
    for (int row = 0; row < VPanel::Link::defaultConsoleRows; ++row) {
        std::vector<std::uint8_t> cells(VPanel::Link::defaultConsolePlaces);
        for (std::size_t place = 0; place < cells.size(); ++place)
            cells[place] = static_cast<std::uint8_t>(first + (row * 20 + static_cast<int>(place)) % 26);
        content.rows.push_back({row, std::move(cells)});
    }
    return content;
}

// What the simulator plays: a default device's own replies to the requests before polling, then
// `changes` exchange replies that swap between two full screens, then one without rows.
std::shared_ptr<Sim::Replay> replayOf(std::size_t changes)
{
    Sim::Bus device({Sim::FirmwareSetup{}}, Sim::Faults{}, 1, std::chrono::steady_clock::now());
    std::ostringstream recording;
    const auto ownReply = [&](const Frame& request) {
        const Sim::BusReply reply = device.onFrame(request.bytes(), request.size(), std::chrono::steady_clock::now(),
                                                   std::chrono::system_clock::now());
        if (reply.transmission)
            writeExchange(recording, request, reply.transmission->frame);
    };
    ownReply(VPanel::Link::deviceIdentificationRequest(address));
    ownReply(VPanel::Link::consoleIdentificationRequest(address));
    ownReply(VPanel::Link::languageRequest(address, 0));
    for (std::uint8_t glyph = 0; glyph < VPanel::Link::exchangeGlyphs; ++glyph)
        ownReply(VPanel::Link::symbolMatrixRequest(address, glyph));
    ownReply(VPanel::Link::startRequest(address));
    ownReply(VPanel::Link::stopRequest(address));

    const Frame poll = VPanel::Link::exchangeRequest(address, 0);
    const std::vector<Frame> screens = {VPanel::Link::exchangeReply(address, fullScreen('A')),
                                        VPanel::Link::exchangeReply(address, fullScreen('a'))};
    for (std::size_t change = 0; change <= changes; ++change)
        writeExchange(recording, poll, screens[change % 2]);
    VPanel::Link::ExchangeContent still;
    still.consoleOn = true;
    writeExchange(recording, poll, VPanel::Link::exchangeReply(address, still));

    std::istringstream text(recording.str());
    return std::make_shared<Sim::Replay>(Sim::Recording::parse(text, "gui_poll_cpu_bench"));
}

// One window against one simulator; true when the GUI thread stayed within the goal.
bool measure(const Settings& settings, bool changing)
{
    // Enough changes for the whole run at the line's fastest poll: a 9-byte request and a reply
    // of 7 bytes and four rows of 20, 10 bits a byte.
    const double fastestPolls_perSecond = static_cast<double>(settings.baudRate) / 10.0 / (9.0 + 7.0 + 80.0);
    const auto changes =
        changing ? static_cast<std::size_t>(fastestPolls_perSecond * (settings.seconds + 4 * warmup_s)) + 100 : 0;

    Sim::SimulatorOptions line;
    line.baudRate = static_cast<unsigned>(settings.baudRate);
    line.seed = 1;
    line.replay = replayOf(changes);
    Sim::Simulator simulator(line);
    const auto polls = [&] { return simulator.counters(address).requestsOf(VPanel::Link::Command::Exchange); };

    QORemoteController window;
    int boxes = 0;
    window.setWarningPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
    window.setInformationPresenter([&boxes](QWidget*, const QString&, const QString&) { ++boxes; });
    window.show();
    window.setParam(QString::fromStdString(simulator.portName()), address, static_cast<int>(settings.baudRate));
    Bench::runEvents(std::chrono::seconds(warmup_s));
    if (polls() < 10) {
        std::fprintf(stderr, "the window did not reach polling\n");
        std::exit(1);
    }

    const auto firstPolls = polls();
    const double firstGui_s = Bench::threadCpu_s();
    const double firstProcess_s = Bench::processCpu_s();
    const auto start = std::chrono::steady_clock::now();
    Bench::runEvents(std::chrono::milliseconds(static_cast<long>(settings.seconds * 1000)));
    const double elapsed_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double gui = (Bench::threadCpu_s() - firstGui_s) / elapsed_s;
    const double process = (Bench::processCpu_s() - firstProcess_s) / elapsed_s;
    const double pollRate = static_cast<double>(polls() - firstPolls) / elapsed_s;
    const bool stillChanging = simulator.replayLeft(VPanel::Link::Command::Exchange) > 1;

    std::printf("%s screen, baud %ld, %.1f s on %s: %.1f polls/s%s, %d boxes\n", changing ? "changing" : "still",
                settings.baudRate, elapsed_s, qPrintable(QGuiApplication::platformName()), pollRate,
                changing && !stillChanging ? " (the changes ran out before the end: too few made)" : "", boxes);
    std::printf("  GUI thread %.4f of a core (goal <= %.2f, ratio %.2f: %s); whole process %.4f\n", gui, settings.goal,
                gui / settings.goal, gui <= settings.goal ? "met" : "MISSED", process);
    return gui <= settings.goal && window.isConnected();
}

} // namespace

int main(int argc, char** argv)
{
    Bench::prepareWindowPlatform();
    QApplication application(argc, argv);
    Settings settings;
    Bench::readOptions(argc, argv,
                       {{"--seconds", &settings.seconds},
                        {"--baud", &settings.baudRate},
                        {"--screen", &settings.screen},
                        {"--goal", &settings.goal}});

    const Bench::WindowSandbox sandbox;
    const bool met =
        Bench::measureScreens(settings.screen, [&settings](bool changing) { return measure(settings, changing); });
    return met ? 0 : 1;
}
