// A device kept by a host without a window: against the simulator on a pseudo-terminal, and
// the link's bursts as the owner's event loop sees them.

#include "host/DeviceState.h"
#include "host/KeptDevice.h"
#include "host/StandardGlyphs.h"
#include "link/Requests.h"
#include "link/ScanCodes.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace VPanel;
using Host::LinkState;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr milliseconds eventWait{30'000};
constexpr char portName[] = "COM7";

// Runs the event loop until `done` holds or `bound` has passed; whether it holds.
bool eventually(const std::function<bool()>& done, milliseconds bound = eventWait)
{
    const auto end = Clock::now() + bound;
    while (!done() && Clock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(milliseconds(5));
    }
    return done();
}

// A port map of the test's own, where a simulated device is published as COM7 and may be
// taken away and brought back.
class SimulatedPort {
public:
    SimulatedPort()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vpanel-host-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp");
        m_ports = pattern;
        setenv("KELCOMM_PORTS_DIR", m_ports.c_str(), 1);
        plugIn();
    }
    ~SimulatedPort()
    {
        simulator.reset();
        unsetenv("KELCOMM_PORTS_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(m_ports, ignored);
    }
    void plugIn()
    {
        Sim::SimulatorOptions options;
        options.portName = portName;
        options.seed = 5;
        simulator = std::make_unique<Sim::Simulator>(std::move(options));
    }
    void pullOut() { simulator.reset(); }
    std::uint64_t identifications() const
    {
        return simulator->counters(1).requestsOf(Link::Command::DeviceIdentification);
    }

    std::unique_ptr<Sim::Simulator> simulator;

private:
    std::filesystem::path m_ports;
};

bool shows(const Host::KeptDevice& device, const QString& text)
{
    const std::vector<QString> rows = device.snapshot().rowTexts;
    return std::any_of(rows.begin(), rows.end(), [&](const QString& row) { return row.contains(text); });
}

bool failed(LinkState state) { return state == LinkState::Silent || state == LinkState::Gone; }

TEST(KeptDevice, GoesLiveTakesKeysComesBackAfterThePortAndStopsForGood)
{
    SimulatedPort port;
    Panel::LinkParameters base;
    base.language = 1;
    base.deviceNames = {{7, "Test press"}};
    Host::KeptDevice device(Host::parseDeviceSpec(QStringLiteral("press1=COM7,1,115200")), base);
    std::vector<LinkState> statesTold;
    QObject::connect(&device, &Host::KeptDevice::stateChanged, [&] { statesTold.push_back(device.snapshot().state); });
    EXPECT_FALSE(device.tap(Link::ScanCode::F1)) << "no link runs yet";

    device.start();
    ASSERT_TRUE(eventually([&] { return device.snapshot().state == LinkState::Live && shows(device, "Device #1"); }));
    Host::DeviceSnapshot live = device.snapshot();
    EXPECT_EQ(live.identifier, 7);
    EXPECT_EQ(live.deviceName, QStringLiteral("Test press"));
    EXPECT_FALSE(live.identity.isEmpty());
    EXPECT_EQ(live.rows, static_cast<int>(live.cells.size()));
    EXPECT_EQ(live.rows, static_cast<int>(live.rowTexts.size()));
    EXPECT_GT(live.glyphSequence, 0U);
    EXPECT_TRUE(eventually([&] { return !statesTold.empty() && statesTold.back() == LinkState::Live; }));
    // Beyond the device's own glyphs the window's standard set stands.
    EXPECT_EQ(device.glyphs()['A'], Host::standardGlyphs()['A']);
    EXPECT_NE(device.glyphs()['A'], Link::DotMatrix{});

    ASSERT_TRUE(device.tap(Link::ScanCode::F1));
    ASSERT_TRUE(eventually([&] { return shows(device, "Menu 1/"); }));
    // The menu's pointer is a glyph of the device's own, read as its nearest character.
    EXPECT_TRUE(shows(device, QStringLiteral("\u25B6")));

    port.pullOut();
    ASSERT_TRUE(eventually([&] { return failed(device.snapshot().state) && device.snapshot().retryAt; }));
    const Host::DeviceSnapshot down = device.snapshot();
    EXPECT_LE(*down.retryAt, QDateTime::currentDateTimeUtc().addSecs(Host::KeptDevice::lastRetryDelay.count()));
    EXPECT_FALSE(device.tap(Link::ScanCode::F1)) << "no link runs while the device is away";

    port.plugIn();
    ASSERT_TRUE(eventually([&] { return device.snapshot().state == LinkState::Live && shows(device, "Device #1"); }));
    EXPECT_FALSE(device.snapshot().retryAt);

    device.stop();
    ASSERT_TRUE(eventually([&] { return failed(device.snapshot().state); }));
    const std::uint64_t identifications = port.identifications();
    const std::size_t toldAtStop = statesTold.size();
    // Longer than the first retry would have waited.
    eventually([] { return false; }, 2 * Host::KeptDevice::firstRetryDelay);
    EXPECT_EQ(port.identifications(), identifications);
    EXPECT_EQ(std::count(statesTold.begin() + static_cast<std::ptrdiff_t>(toldAtStop), statesTold.end(), LinkState::Connecting), 0);
    EXPECT_FALSE(device.snapshot().retryAt);
    EXPECT_LE(device.journal().size(), Host::DeviceState::journalLimit);
}

// What the link's thread tells in a burst reaches the owner as a few notices that read the
// latest state; the journal keeps its last entries only.
TEST(KeptDevice, BurstsReachTheOwnerCoalescedAndTheJournalStaysBounded)
{
    int screens = 0;
    int states = 0;
    int glyphs = 0;
    std::vector<Host::JournalEntry> announced;
    Host::DeviceState state({{7, "Press"}},
                            {[&] { ++screens; }, [&] { ++states; }, [&] { ++glyphs; },
                             [&](const Host::JournalEntry& entry) { announced.push_back(entry); },
                             [](std::uint64_t, bool) {}});
    state.beginAttempt();

    constexpr int changes = 5000;
    Link::DotMatrix dots;
    std::atomic<bool> told{false};
    std::thread link([&] {
        state.deviceIdentified(7);
        state.consoleSized(1, 4);
        state.linkEvent({Panel::LinkEvent::SoundOn, {"sound", {}}});
        state.linkEvent({Panel::LinkEvent::ConsoleOff, {"off", {}}});
        for (int change = 0; change < changes; ++change) {
            const std::string number = std::to_string(change % 10'000);
            state.rowChanged(0, std::vector<std::uint8_t>(number.begin(), number.end()));
            dots.set(change % Link::DotMatrix::columns, 0, change % 2 == 0);
            state.glyphChanged(0, dots);
            state.linkEvent({Panel::LinkEvent::Progress, {"step %1", {std::to_string(change)}}});
        }
        told = true;
    });
    // The owner's loop runs meanwhile, as it would.
    eventually([&] { return told.load(); });
    link.join();
    QCoreApplication::processEvents();

    EXPECT_GE(screens, 1);
    EXPECT_LT(screens, changes / 10);
    EXPECT_GE(glyphs, 1);
    EXPECT_LT(glyphs, changes / 10);
    EXPECT_LT(states, 10);
    const Host::DeviceSnapshot last = state.snapshot();
    EXPECT_EQ(last.state, LinkState::Live);
    EXPECT_EQ(last.deviceName, QStringLiteral("Press"));
    EXPECT_TRUE(last.alarm);
    EXPECT_FALSE(last.consoleOn);
    EXPECT_EQ(last.rowTexts, std::vector<QString>{QStringLiteral("4999")});
    EXPECT_EQ(state.glyphs()[0], dots);

    const std::vector<Host::JournalEntry> journal = state.journal();
    ASSERT_EQ(journal.size(), Host::DeviceState::journalLimit);
    EXPECT_EQ(journal.front().text, QStringLiteral("step 4800"));
    EXPECT_EQ(journal.back().text, QStringLiteral("step 4999"));
    ASSERT_FALSE(announced.empty());
    EXPECT_EQ(announced.back().text, QStringLiteral("step 4999"));
    EXPECT_TRUE(std::is_sorted(announced.begin(), announced.end(),
                               [](const Host::JournalEntry& a, const Host::JournalEntry& b) { return a.time < b.time; }));
}

} // namespace
