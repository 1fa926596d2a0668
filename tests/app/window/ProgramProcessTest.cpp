// The program as its users start it: a process of its own, against a simulated device.

#include "tests/app/window/WindowFixture.h"

#include "link/Packet.h"
#include "panel/ExchangeRecorder.h"
#include "panel/LinkTiming.h"
#include "app/window/PortCommands.h"
#include "sim/Recording.h"
#include "tests/support/FakeDeviceTree.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace WindowTest {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr int rounds = 20;
constexpr auto pollStep = 10ms;
constexpr auto startWait = 20s;
// Beyond the connection's stop: the program's own teardown, on a loaded machine.
constexpr auto teardownMargin = 1500ms;

// User and system time the process has used, while /proc still shows it.
std::optional<milliseconds> cpuTimeOf(qint64 pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    // From the state field on; utime and stime are the 14th and 15th fields of the line.
    std::istringstream fields(text.substr(nameEnd + 2));
    std::vector<std::string> values{std::istream_iterator<std::string>(fields), std::istream_iterator<std::string>()};
    if (values.size() < 13)
        return std::nullopt;
    const unsigned long long ticks = std::stoull(values[11]) + std::stoull(values[12]);
    return milliseconds(ticks * 1000 / static_cast<unsigned long long>(sysconf(_SC_CLK_TCK)));
}

struct Ending {
    bool exited = false;
    int exitCode = -1;
    milliseconds took{0};
    milliseconds cpu{0}; // used between the signal and the end
};

class ProgramProcessTest : public WindowFixture {
protected:
    void TearDown() override
    {
        if (panel && panel->state() != QProcess::NotRunning) {
            panel->kill();
            panel->waitForFinished();
        }
        panel.reset();
        WindowFixture::TearDown();
    }

    // The program with a display of its own, its settings in the test's folder.
    QProcessEnvironment environment(bool display) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        if (display)
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory.filePath(QStringLiteral("settings")));
        environment.insert(QStringLiteral("KELCOMM_BY_ID_DIR"), stableNamesPath());
        return environment;
    }

    QString stableNamesPath() const { return directory.filePath(QStringLiteral("dev/serial/by-id")); }

    struct Answer {
        int exitCode = -1;
        QString out;
        QString errors;
    };

    // The program run to its end, without a display unless told.
    Answer answer(const QStringList& arguments, bool display = false) const
    {
        QProcess program;
        program.setProcessEnvironment(environment(display));
        program.start(QStringLiteral(VPANEL_PATH), arguments);
        Answer answer;
        if (!program.waitForFinished(10000) || program.exitStatus() != QProcess::NormalExit)
            return answer;
        answer.exitCode = program.exitCode();
        answer.out = QString::fromLocal8Bit(program.readAllStandardOutput());
        answer.errors = QString::fromLocal8Bit(program.readAllStandardError());
        return answer;
    }

    // The panel connected to the simulator and polling it; its output to the file if given.
    void startConnectedPanel(const QStringList& options = {}, const QString& outputFile = {})
    {
        const std::uint64_t polls = requests(VPanel::Link::Command::Exchange);
        panel = std::make_unique<QProcess>();
        panel->setProcessEnvironment(environment(true));
        panel->setWorkingDirectory(directory.filePath(QStringLiteral("work")));
        panel->setProcessChannelMode(outputFile.isEmpty() ? QProcess::ForwardedChannels
                                                          : QProcess::ForwardedErrorChannel);
        if (!outputFile.isEmpty())
            panel->setStandardOutputFile(outputFile);
        panel->start(QStringLiteral(VPANEL_PATH),
                     QStringList{QStringLiteral("--connect"), portName(), QStringLiteral("1"),
                                 QString::number(baudRate)} +
                         options);
        ASSERT_TRUE(panel->waitForStarted());
        const bool polled = waitFor(
            [&] {
                return requests(VPanel::Link::Command::Exchange) > polls + 10 ||
                       panel->waitForFinished(0) || panel->state() == QProcess::NotRunning;
            },
            startWait);
        ASSERT_TRUE(polled && panel->state() == QProcess::Running)
            << "the panel " << (polled ? "ended with status " + std::to_string(panel->exitCode()) : "did not poll")
            << " after " << requests(VPanel::Link::Command::Exchange) - polls << " polls";
    }

    Ending terminate(int signal)
    {
        const qint64 pid = panel->processId();
        const milliseconds bound =
            VPanel::Panel::stopBound(baudRate, milliseconds(QOTransmissionThread::defaultWriteInterval_ms),
                                     VPanel::Panel::LinkParameters{}.requestPause) +
            teardownMargin;
        const milliseconds before = cpuTimeOf(pid).value_or(milliseconds(0));
        milliseconds last = before;
        const auto since = SteadyClock::now();
        ::kill(static_cast<pid_t>(pid), signal);
        Ending ending;
        while (SteadyClock::now() - since < bound) {
            if (const auto used = cpuTimeOf(pid))
                last = *used;
            if (panel->waitForFinished(static_cast<int>(pollStep.count()))) {
                ending.exited = true;
                ending.exitCode = panel->exitStatus() == QProcess::NormalExit ? panel->exitCode() : -1;
                break;
            }
        }
        ending.took = std::chrono::duration_cast<milliseconds>(SteadyClock::now() - since);
        ending.cpu = last - before;
        return ending;
    }

    void expectPromptQuietEnd(const Ending& ending, int round)
    {
        EXPECT_TRUE(ending.exited) << "round " << round << ": still up after " << ending.took.count() << " ms";
        EXPECT_EQ(ending.exitCode, 0) << "round " << round;
        // A loop that spins takes a whole core; closing down takes a little.
        EXPECT_LT(ending.cpu, ending.took / 2 + 200ms)
            << "round " << round << ": " << ending.cpu.count() << " ms of CPU in " << ending.took.count() << " ms";
    }

    std::unique_ptr<QProcess> panel;
};

TEST_F(ProgramProcessTest, HelpAndVersionNeedNoDisplay)
{
    const Answer help = answer({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0) << help.errors.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--connect"))) << help.out.toStdString();
    const Answer version = answer({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0) << version.errors.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("vpanel %1\n").arg(QStringLiteral(VPANEL_VERSION)));
}

TEST_F(ProgramProcessTest, PortCommandsListAndPinPortsWithoutADisplay)
{
    const std::string ftdi = "usb-FTDI_FT232R_USB_UART_A10K3X-if00-port0";
    const QString ports = directory.filePath(QStringLiteral("ports"));
    KelTest::FakeDeviceTree tree(directory.filePath(QStringLiteral("sysfs")).toStdString(), stableNamesPath().toStdString());
    tree.addUsbSerial("ttyUSB1", "ftdi_sio", {"FTDI", "FT232R USB UART", "A10K3X"}, ftdi);
    tree.addUart("ttyS0", "serial8250");
    ASSERT_TRUE(QFile::link(directory.filePath(QStringLiteral("unplugged")), ports + QStringLiteral("/COM5")));

    const QString stableName = stableNamesPath() + QLatin1Char('/') + QString::fromStdString(ftdi);
    const Answer list = answer({QStringLiteral("--list-ports")});
    EXPECT_EQ(list.exitCode, 0) << list.errors.toStdString();
    const QString unplugged = directory.filePath(QStringLiteral("unplugged"));
    EXPECT_EQ(list.out, QStringLiteral("COM1\t/dev/ttyS0\t-\tserial8250\n"
                                       "COM5\t%2\t-\t→ %2: адаптер не подключён\n"
                                       "COM34\t/dev/ttyUSB1\t%1\tFTDI FT232R USB UART, A10K3X, ftdi_sio\n")
                            .arg(stableName, unplugged));

    struct Case {
        const char* port;
        int exitCode;
        QString says; // on standard output when pinned, on standard error when refused
    };
    const Case cases[] = {
        {"COM34", 0, ports + QStringLiteral("/COM34")},
        {"COM34", PortCommands::exitRefused, ports + QStringLiteral("/COM34")}, // the entry is there now
        {"COM1", PortCommands::exitRefused, stableNamesPath()},                 // an on-board port has no stable name
        {"COM9", PortCommands::exitRefused, QStringLiteral("\"COM9\"")},        // no such port
    };
    for (const Case& item : cases) {
        const Answer pin = answer({QStringLiteral("--pin-port"), QString::fromLatin1(item.port)});
        EXPECT_EQ(pin.exitCode, item.exitCode) << item.port;
        const QString& said = item.exitCode == 0 ? pin.out : pin.errors;
        EXPECT_TRUE(said.contains(item.says)) << item.port << ": " << said.toStdString();
        EXPECT_EQ(said.count(QLatin1Char('\n')), 1) << item.port << ": " << said.toStdString();
    }
    EXPECT_EQ(QFile::symLinkTarget(ports + QStringLiteral("/COM34")), stableName);
}

// Nobody sees a box there: the reason goes to standard error and the program ends at once.
TEST_F(ProgramProcessTest, AStartThatFailsWhereNoOneSeesTheWindowSaysWhyAndExitsWithTwo)
{
    const QString unwritable = directory.filePath(QStringLiteral("no such folder/exchange.txt"));
    // With a display, only a panel that prints it has nobody at its window.
    for (const bool display : {false, true}) {
        const QStringList printing = display ? QStringList{QStringLiteral("--print-display")} : QStringList{};
        const Answer started = answer(QStringList{QStringLiteral("--record"), unwritable} + printing, display);
        EXPECT_EQ(started.exitCode, 2) << "display " << display;
        EXPECT_TRUE(started.errors.contains(unwritable)) << started.errors.toStdString();
    }
}

// As its users run it, `vpanel --print-display ... | head -n 12`: the reader goes after twelve
// lines, and the panel ends as a termination request ends it.
TEST_F(ProgramProcessTest, AReaderThatGoesAwayEndsThePanelAsTerminationDoes)
{
    const QString picture = directory.filePath(QStringLiteral("window.png"));
    const QString recording = directory.filePath(QStringLiteral("exchange.txt"));
    simulate();
    QProcess shell;
    shell.setProcessEnvironment(environment(true));
    shell.setWorkingDirectory(directory.filePath(QStringLiteral("work")));
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QStringLiteral("\"$0\" \"$@\" | head -n 12 >/dev/null; exit ${PIPESTATUS[0]}"),
                 QStringLiteral(VPANEL_PATH), QStringLiteral("--connect"), portName(), QStringLiteral("1"),
                 QString::number(baudRate), QStringLiteral("--print-display"), QStringLiteral("--save-window"), picture,
                 QStringLiteral("--record"), recording});
    ASSERT_TRUE(shell.waitForFinished(static_cast<int>(milliseconds(startWait).count())));
    EXPECT_EQ(shell.exitCode(), 0) << "the panel's status";
    EXPECT_GT(requests(VPanel::Link::Command::Stop), 0u);
    EXPECT_GT(QFileInfo(picture).size(), 0);
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    EXPECT_EQ(lines.last(), "# end: stopped");
}

// A reader that stops reading, its pipe full before the first line: the panel still ends as a
// termination request ends it.
TEST_F(ProgramProcessTest, AReaderThatStopsReadingHoldsUpNothing)
{
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK), 0);
    const char block[4096] = {};
    while (::write(pipeEnds[1], block, sizeof block) > 0) {
    }
    const QString recording = directory.filePath(QStringLiteral("exchange.txt"));
    simulate();
    startConnectedPanel({QStringLiteral("--print-display"), QStringLiteral("--record"), recording},
                        QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(pipeEnds[1]));
    if (!HasFatalFailure()) {
        expectPromptQuietEnd(terminate(SIGTERM), 0);
        QFile file(recording);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll().trimmed().split('\n').last().startsWith("# end"));
    }
    for (const int end : pipeEnds)
        ::close(end);
}

// Each round ends the panel by a signal at one of the moments when it is busiest letting go of
// the line: the device vanishing as the signal comes, or the report of silence just made.
TEST_F(ProgramProcessTest, EachConnectOpensATabOfItsOwnAndTerminationStopsThemAll)
{
    VPanel::Sim::SimulatorOptions options;
    options.devices.emplace_back();
    VPanel::Sim::Simulator second(std::move(options));
    const auto secondRequests = [&second](std::uint16_t command) { return second.counters(1).requestsOf(command); };
    simulate();
    startConnectedPanel({QStringLiteral("--connect"), QString::fromStdString(second.portName()), QStringLiteral("1"),
                         QString::number(baudRate)});
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(waitFor([&] { return secondRequests(VPanel::Link::Command::Exchange) > 10; }, startWait));
    expectPromptQuietEnd(terminate(SIGTERM), 0);
    EXPECT_GE(requests(VPanel::Link::Command::Stop), 1u);
    EXPECT_GE(secondRequests(VPanel::Link::Command::Stop), 1u);
}

TEST_F(ProgramProcessTest, TerminationEndsThePanelPromptlyAndQuietly)
{
    const int terminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
    for (int round = 0; round < rounds; ++round) {
        const bool deviceVanishes = round % 2 == 0;
        simulate();
        startConnectedPanel();
        if (HasFatalFailure())
            return;
        if (deviceVanishes) {
            simulator.reset();
        } else {
            const std::uint64_t stops = requests(VPanel::Link::Command::Stop);
            VPanel::Sim::Faults silence;
            silence.silentAfterRequests = 0;
            simulator->setFaults(silence);
            ASSERT_TRUE(waitFor([&] { return requests(VPanel::Link::Command::Stop) > stops && portFree(); }, 10s))
                << "round " << round;
        }
        expectPromptQuietEnd(terminate(terminationSignals[round % std::size(terminationSignals)]), round);
        if (HasFailure())
            return;
    }
}

} // namespace
} // namespace WindowTest

namespace WindowTest {
namespace {

// Whatever the panel recorded more than a flush interval or two before it was killed is on
// disk, whole lines that replay.
TEST_F(ProgramProcessTest, KillingThePanelWhileRecordingLeavesAFileThatReplays)
{
    const QString file = directory.filePath(QStringLiteral("killed.txt"));
    simulate();
    startConnectedPanel({QStringLiteral("--record"), file});
    if (HasFatalFailure())
        return;
    const std::uint64_t polls = requests(VPanel::Link::Command::Exchange);
    // The property is about time itself: what came before this much time is flushed.
    const auto flushed = SteadyClock::now() + 2 * ExchangeRecorder::flushInterval + 500ms;
    ASSERT_TRUE(waitFor([&] { return SteadyClock::now() >= flushed; }, 10s));
    ::kill(static_cast<pid_t>(panel->processId()), SIGKILL);
    ASSERT_TRUE(panel->waitForFinished());

    const VPanel::Sim::Recording recording = VPanel::Sim::Recording::read(file.toStdString());
    const auto exchanges = recording.replies().find(VPanel::Link::Command::Exchange);
    ASSERT_NE(exchanges, recording.replies().end());
    EXPECT_GE(exchanges->second.size(), polls);
}

} // namespace
} // namespace WindowTest
