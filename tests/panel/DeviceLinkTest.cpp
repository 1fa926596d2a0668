// The connection core on its own thread, against a simulated device, without Qt.

#include "link/Packet.h"
#include "link/Requests.h"
#include "link/ScanCodes.h"
#include "panel/DeviceLink.h"
#include "panel/LinkTiming.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace VPanel;
using Panel::LinkEvent;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr long baudRate = 19200;
constexpr milliseconds eventWait{5000};

// Waits, polling, until `done` holds or `bound` has passed; whether it holds.
bool eventually(const std::function<bool()>& done, milliseconds bound = eventWait)
{
    const auto end = Clock::now() + bound;
    while (!done() && Clock::now() < end)
        std::this_thread::sleep_for(milliseconds(5));
    return done();
}

// Everything the link told, as "what: detail" lines, in the order told.
class Journal : public Panel::LinkObserver {
public:
    // Thrown from the first event when set: an observer that fails.
    bool failOnFirstEvent = false;
    // Something that is no std::exception, thrown from every event.
    bool failWithAnything = false;

    void linkEvent(const Panel::Event& event) override
    {
        add("event " + std::to_string(Panel::eventCode(event.code)) + ": " + Panel::russianText(event.text));
        if (failOnFirstEvent)
            throw std::runtime_error("observer failed");
        if (failWithAnything)
            throw eventCode(event.code);
    }
    void consoleSized(int rows, int places) override
    {
        add("size: " + std::to_string(rows) + "x" + std::to_string(places));
    }
    void glyphChanged(int code, const Link::DotMatrix&) override { add("glyph: " + std::to_string(code)); }
    void rowChanged(int row, const std::vector<std::uint8_t>& cells) override
    {
        add("row " + std::to_string(row) + ": " + std::string(cells.begin(), cells.end()));
    }
    void viewReset() override { add("reset: "); }
    void deviceIdentified(int identifier) override { add("device: " + std::to_string(identifier)); }

    // Waits until a line starts with `prefix`; its index, or -1.
    int waitFor(const std::string& prefix)
    {
        std::unique_lock lock(m_mutex);
        int found = -1;
        m_changed.wait_for(lock, eventWait, [&] { return (found = indexOf(prefix)) >= 0; });
        return found;
    }
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    void add(std::string line)
    {
        {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(std::move(line));
        }
        m_changed.notify_all();
    }
    int indexOf(const std::string& prefix) const
    {
        for (std::size_t index = 0; index < m_lines.size(); ++index)
            if (m_lines[index].rfind(prefix, 0) == 0)
                return static_cast<int>(index);
        return -1;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};

// A port map of the test's own, with a simulated device in it.
class SimulatedLine {
public:
    explicit SimulatedLine(std::vector<Sim::FirmwareSetup> devices = {})
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vpanel-link-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp");
        m_ports = pattern;
        setenv("KELCOMM_PORTS_DIR", m_ports.c_str(), 1);
        Sim::SimulatorOptions options;
        options.seed = 5;
        options.devices = std::move(devices);
        simulator = std::make_unique<Sim::Simulator>(std::move(options));
    }
    ~SimulatedLine()
    {
        simulator.reset();
        unsetenv("KELCOMM_PORTS_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(m_ports, ignored);
    }
    Panel::LinkParameters parameters(std::string port = {}) const
    {
        Panel::LinkParameters parameters;
        parameters.port = port.empty() ? simulator->portName() : port;
        parameters.baudRate = baudRate;
        parameters.deviceNames = {{7, "Манометр ДМ-7"}};
        return parameters;
    }
    std::uint64_t requestsOf(std::uint16_t command) const { return simulator->counters(1).requestsOf(command); }
    bool deviceSees(std::uint32_t mask) const
    {
        return eventually([&] { return simulator->counters(1).lastKeyMask == mask; });
    }

    std::unique_ptr<Sim::Simulator> simulator;

private:
    std::filesystem::path m_ports;
};

// A device on a pseudo-terminal of the test's own: every tick it hands what it heard since the
// last to `answer` and sends what that returns.
class PtyDevice {
public:
    using Answer = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& heard)>;

    PtyDevice(const SimulatedLine&, const char* portName, milliseconds tick, Answer answer)
        : m_tick(tick), m_answer(std::move(answer))
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            throw std::runtime_error("pty");
        const std::filesystem::path ports = std::getenv("KELCOMM_PORTS_DIR");
        std::filesystem::create_symlink(ptsname(m_master), ports / portName);
        m_thread = std::thread([this] { serve(); });
    }
    ~PtyDevice()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_master);
    }
    bool heardRequest() const
    {
        return eventually([this] { return m_heard.load(); });
    }
    std::vector<std::uint8_t> heard() const
    {
        std::lock_guard lock(m_mutex);
        return m_heardBytes;
    }

private:
    void serve()
    {
        std::uint8_t byte = 0;
        while (!m_stop) {
            std::this_thread::sleep_for(m_tick);
            std::vector<std::uint8_t> heard;
            while (::read(m_master, &byte, 1) == 1)
                heard.push_back(byte);
            m_heard = m_heard || !heard.empty();
            {
                std::lock_guard lock(m_mutex);
                m_heardBytes.insert(m_heardBytes.end(), heard.begin(), heard.end());
            }
            const std::vector<std::uint8_t> reply = m_answer(heard);
            if (!reply.empty() && ::write(m_master, reply.data(), reply.size()) < 0 && errno != EAGAIN && errno != EIO)
                return;
        }
    }

    const milliseconds m_tick;
    const Answer m_answer;
    int m_master = -1;
    std::atomic<bool> m_heard{false};
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_heardBytes;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Once it heard a request, a byte each tick, for ever, each just within the gap that would end
// a reply when the tick is half of it.
PtyDevice::Answer trickling()
{
    return [heardAny = false, last = std::uint8_t{0}](const std::vector<std::uint8_t>& heard) mutable {
        heardAny = heardAny || !heard.empty();
        if (!heard.empty())
            last = heard.back();
        return heardAny ? std::vector<std::uint8_t>{last} : std::vector<std::uint8_t>{};
    };
}

// Each device identification request answered, in one write, by a whole frame that checks, and
// a byte behind it if asked.
PtyDevice::Answer identified(bool byteBehind)
{
    return [byteBehind, pending = std::size_t{0}](const std::vector<std::uint8_t>& heard) mutable {
        pending += heard.size();
        if (pending < Link::frameOverhead)
            return std::vector<std::uint8_t>{};
        pending = 0;
        std::vector<std::uint8_t> reply =
            Link::Frame(1, Link::Command::DeviceIdentification, std::vector<std::uint8_t>{7, 0, 1, 0}).toVector();
        if (byteBehind)
            reply.push_back(0);
        return reply;
    };
}

// A stop is never held back past its bound: not by a device that keeps a reply coming (each reply
// is given up once it has had the time the longest reply takes), nor by a long pause before the
// next request, which lets no request but the stop packet through once the stop came.
TEST(DeviceLinkTest, NeitherATricklingDeviceNorALongPauseHoldsTheStopBack)
{
    struct Case {
        const char* name;
        PtyDevice::Answer answer;
        milliseconds tick;
        milliseconds requestPause;
        const char* stopAfter; // the journal line; null: once the device heard a request
    };
    const Case cases[] = {
        {"a trickling device", trickling(), milliseconds(10), milliseconds(1), nullptr},
        {"a long pause", identified(false), milliseconds(1), milliseconds(1000), "event 9: Идентификация - удачно."},
        {"a pause no bus needs", identified(false), milliseconds(1), milliseconds(60000),
         "event 9: Идентификация - удачно."},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        SimulatedLine line;
        Panel::LinkParameters parameters = line.parameters("COM240");
        parameters.requestPause = item.requestPause;
        PtyDevice device(line, "COM240", item.tick, item.answer);
        Journal journal;
        auto link = std::make_unique<Panel::DeviceLink>(parameters, journal);
        link->start();
        ASSERT_TRUE(device.heardRequest());
        if (item.stopAfter) {
            ASSERT_GE(journal.waitFor(item.stopAfter), 0);
        }
        const std::size_t heardBeforeStop = device.heard().size();
        const milliseconds bound = link->stopWaitBound();
        EXPECT_LT(bound, std::chrono::seconds(5));
        const auto start = Clock::now();
        link.reset();
        EXPECT_LT(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count(), bound.count());
        if (!item.stopAfter)
            continue;
        const std::vector<std::uint8_t> stopPacket = Link::stopRequest(1).toVector();
        eventually([&] { return device.heard().size() >= heardBeforeStop + stopPacket.size(); });
        const std::vector<std::uint8_t> heard = device.heard();
        EXPECT_EQ(std::vector<std::uint8_t>(heard.begin() + static_cast<std::ptrdiff_t>(heardBeforeStop),
                                            heard.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                heard.size(), heardBeforeStop + stopPacket.size()))),
                  stopPacket);
    }
}

// A host that goes away mid-poll is not kept waiting past the bound it was given.
TEST(DeviceLinkTest, StartsUpPollsTakesKeysAndStopsWithTheStopPacketWhenDestroyed)
{
    SimulatedLine line;
    Journal journal;
    auto link = std::make_unique<Panel::DeviceLink>(line.parameters(), journal);
    link->start();
    ASSERT_GE(journal.waitFor("row 3: F1-"), 0);
    // A second run would fight the first for the port and mark the link ended under it.
    EXPECT_THROW(link->start(), Panel::LinkUsageException);
    EXPECT_THROW(link->run(), Panel::LinkUsageException);
    EXPECT_FALSE(link->wait(milliseconds(0)));

    const std::vector<std::string> lines = journal.lines();
    const auto at = [&](const std::string& prefix) {
        for (std::size_t index = 0; index < lines.size(); ++index)
            if (lines[index].rfind(prefix, 0) == 0)
                return static_cast<int>(index);
        return -1;
    };
    // The device's name from the host's dictionary, in the link's own words; the display is
    // sized before the first glyph and polled only after the last.
    const char* const inOrder[] = {"event 10: Манометр ДМ-7, версия ПО - 1.0", "device: 7",
                                   "event 9: Идентификация - удачно.", "size: 4x20", "glyph: 0",
                                   "event 9: Матрица №7 из 8 считана.", "event 9: Стартовый пакет - удачно.",
                                   "row 3: "};
    for (std::size_t index = 1; index < std::size(inOrder); ++index) {
        EXPECT_GE(at(inOrder[index - 1]), 0) << inOrder[index - 1];
        EXPECT_LT(at(inOrder[index - 1]), at(inOrder[index])) << inOrder[index];
    }

    link->press(Link::ScanCode::F1);
    EXPECT_TRUE(line.deviceSees(Link::keyBit(Link::keyNumber(Link::ScanCode::F1))));
    link->release(Link::ScanCode::F1);
    EXPECT_TRUE(line.deviceSees(0));

    const milliseconds bound = link->stopWaitBound();
    const auto start = Clock::now();
    link.reset();
    EXPECT_LT(Clock::now() - start, bound);
    EXPECT_GE(journal.waitFor("event 6: "), 0);
    EXPECT_EQ(line.requestsOf(Link::Command::Stop), 1u);
}

// However the link ends, the host hears why, wait() sees the end and nothing escapes the
// link's thread. The stop packet's own troubles on a loaded line may still follow the end.
TEST(DeviceLinkTest, EveryEndIsToldAndAwaitable)
{
    struct Case {
        const char* name;
        std::string port; // empty: the simulator's
        bool stopKeyFirst;
        bool observerFails;
        const char* endLine;
        bool observerThrowsAnything = false;
        bool everyReplySpoiled = false;
    };
    const Case cases[] = {
        {"no such port", "COM250", false, false, "event 0: COM250: "},
        {"the keypad's stop key before it ran", {}, true, false, "event 6: "},
        {"an observer that throws", {}, false, true, "event 0: "},
        // Its failures come from the stop packet's repetitions too.
        {"an observer that throws anything, every reply spoiled", {}, false, false, "event 9: ", true, true},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        SimulatedLine line;
        Journal journal;
        journal.failOnFirstEvent = item.observerFails;
        journal.failWithAnything = item.observerThrowsAnything;
        if (item.everyReplySpoiled) {
            Sim::Faults faults;
            faults.corruptProbability = 1.0;
            line.simulator->setFaults(faults);
        }
        Panel::DeviceLink link(line.parameters(item.port), journal);
        if (item.stopKeyFirst)
            link.press(Link::ScanCode::Stop);
        link.start();
        ASSERT_TRUE(link.wait(link.stopWaitBound()));
        EXPECT_GE(journal.waitFor(item.endLine), 0);
        // The device hears nothing but the stop packet.
        if (item.stopKeyFirst) {
            EXPECT_EQ(journal.lines().front(), "event 6: ");
            EXPECT_EQ(line.simulator->counters(1).totalRequests(), line.requestsOf(Link::Command::Stop));
        }
    }
}

// A reply ends at its last byte only when it is a whole frame that checks with nothing behind
// it; any other reply waits for the line's silence and is told as it always was.
TEST(DeviceLinkTest, AReplyEndsAtItsLastByteOnlyWhenWholeAndAlone)
{
    struct Case {
        const char* name;
        Sim::DeviceQuirks quirks;
        const char* line; // the journal line awaited
        milliseconds writeInterval{20};
        bool byteBehindTheFrame = false;
        // Polls the device must have had once the line came: more than the silence after each
        // reply would allow within the wait.
        std::uint64_t polls = 0;
    };
    Sim::DeviceQuirks longStart;
    longStart.extraByteAfter = Link::Command::Start;
    Sim::DeviceQuirks longExchange;
    longExchange.extraByteAfter = Link::Command::Exchange;
    Sim::DeviceQuirks cutExchange;
    cutExchange.cutExchangeReplies = true;
    const Case cases[] = {
        {"a clean line, not held by a long write interval", {}, "row 3: F1-", milliseconds(500), false, 20},
        {"a clean line, a write interval of naught", {}, "row 3: F1-", milliseconds(0), false, 20},
        {"a start reply one byte long", longStart, "event 4: Ошибка: Пакет старта - неверная длина пакета."},
        {"an exchange reply one byte long", longExchange, "event 4: Ошибка: Пакет обмена - неверная длина пакета."},
        {"an exchange reply cut short", cutExchange, "event 4: Ошибка: Пакет обмена - неверный формат пакета."},
        {"a frame that checks with a byte behind it", {},
         "event 1: Идентификация - неудача.", milliseconds(20), true},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        SimulatedLine line;
        Sim::Faults faults;
        faults.quirks = item.quirks;
        line.simulator->setFaults(faults);
        std::unique_ptr<PtyDevice> device;
        if (item.byteBehindTheFrame)
            device = std::make_unique<PtyDevice>(line, "COM241", milliseconds(1), identified(true));
        Panel::LinkParameters parameters = line.parameters(item.byteBehindTheFrame ? "COM241" : "");
        parameters.writeInterval = item.writeInterval;
        Journal journal;
        Panel::DeviceLink link(parameters, journal);
        link.start();
        EXPECT_GE(journal.waitFor(item.line), 0) << ::testing::PrintToString(journal.lines());
        EXPECT_TRUE(eventually([&] { return line.requestsOf(Link::Command::Exchange) >= item.polls; }));
    }
}

// A device that does not hear a request sent right after its reply costs the fast exchange, not
// the link: the connection says so once and keeps the write interval after every reply. Replies
// a noisy line loses now and then are no such device.
TEST(DeviceLinkTest, ADeviceSlowToTurnRoundIsGivenTheWriteIntervalAndStaysLinked)
{
    const std::string givenUp = "event 9: Устройство не успевает принять запрос сразу после ответа: обмен ведётся "
                                "с интервалом записи.";
    struct Case {
        const char* name;
        milliseconds turnaround;
        double dropProbability;
        bool intervalFromTheStart;
        long baudRate;
        std::uint64_t polls; // watched once the screen came
    };
    const Case cases[] = {
        // Half the write interval: a loaded machine's late request is still unheard.
        {"the short gap tried first", milliseconds(10), 0.0, false, baudRate, 20},
        {"the interval kept from the start", milliseconds(5), 0.0, true, baudRate, 20},
        {"a line that loses one reply in five", milliseconds(0), 0.2, false, 115200, 500},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        SimulatedLine line;
        Sim::Faults faults;
        faults.turnaround = item.turnaround;
        line.simulator->setFaults(faults);
        Panel::LinkParameters parameters = line.parameters();
        parameters.intervalAfterReply = item.intervalFromTheStart;
        parameters.baudRate = item.baudRate;
        Journal journal;
        Panel::DeviceLink link(parameters, journal);
        link.start();
        ASSERT_GE(journal.waitFor("row 3: F1-"), 0) << ::testing::PrintToString(journal.lines());
        const bool slowDevice = item.turnaround > milliseconds(0) && !item.intervalFromTheStart;
        if (slowDevice) {
            ASSERT_GE(journal.waitFor(givenUp), 0);
        }
        faults.dropProbability = item.dropProbability;
        line.simulator->setFaults(faults);
        const std::uint64_t unheard = line.simulator->busCounters().unheard;
        const std::uint64_t polls = line.requestsOf(Link::Command::Exchange) + item.polls;
        // Each lost reply costs a response timeout: a loaded machine takes a while over 500 polls.
        EXPECT_TRUE(eventually([&] { return line.requestsOf(Link::Command::Exchange) >= polls; }, 6 * eventWait));
        // Without the interval every poll would go unheard once; a loaded machine may still
        // deliver a request late now and then.
        EXPECT_LT(line.simulator->busCounters().unheard - unheard, item.polls / 4);
        // Only the short gap tried first goes unheard while starting up, but for what a loaded
        // machine delivers late.
        if (slowDevice)
            EXPECT_GT(unheard, 0u);
        else
            EXPECT_LT(unheard, item.polls / 4);
        link.stop();
        ASSERT_TRUE(link.wait(link.stopWaitBound()));
        const std::vector<std::string> lines = journal.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), givenUp), slowDevice ? 1 : 0);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& told) { return told.rfind("event 1:", 0) == 0; }), 0);
    }
}

// Three devices on one line at 115200: each connection has its own device and its keys reach
// that device only; a device at another rate is refused; each way of ending reaches the links it
// should and no other. The third device may name the port otherwise and still share its line.
TEST(DeviceLinkTest, DevicesOnOneLineTakeItInTurnAndEndOnTheirOwn)
{
    enum class Ending { OneFallsSilent, AllStopAtOnce, ThePortVanishes };
    enum class ThirdPort { Same, SpeltOtherwise, AnotherMapEntry };
    const std::tuple<const char*, Ending, ThirdPort> cases[] = {
        {"one device falls silent", Ending::OneFallsSilent, ThirdPort::Same},
        {"all three stopped at once, one by the port's name in small letters", Ending::AllStopAtOnce,
         ThirdPort::SpeltOtherwise},
        {"the port vanishes, one on another map entry for it", Ending::ThePortVanishes, ThirdPort::AnotherMapEntry},
    };
    constexpr long lineRate = 115200;
    constexpr std::uint64_t morePolls = 20;
    for (const auto& [name, ending, thirdPort] : cases) {
        SCOPED_TRACE(name);
        std::vector<Sim::FirmwareSetup> devices;
        for (std::uint8_t address = 1; address <= 3; ++address) {
            devices.push_back({address, static_cast<std::uint16_t>(6 + address)});
            // A loaded machine may lose the reply that carried the first screen.
            devices.back().redrawInterval = milliseconds(200);
        }
        SimulatedLine line(std::move(devices));
        const std::string port = line.simulator->portName();
        std::vector<std::string> ports(3, port);
        if (thirdPort == ThirdPort::SpeltOtherwise)
            ports[2] = "com" + port.substr(3);
        if (thirdPort == ThirdPort::AnotherMapEntry) {
            const std::filesystem::path map = std::getenv("KELCOMM_PORTS_DIR");
            std::filesystem::create_symlink(std::filesystem::read_symlink(map / port), map / "COM250");
            ports[2] = "COM250";
        }
        std::vector<Journal> journals(3);
        std::vector<std::unique_ptr<Panel::DeviceLink>> links;
        for (int address = 1; address <= 3; ++address) {
            Panel::LinkParameters parameters = line.parameters(ports[address - 1]);
            parameters.address = address;
            parameters.baudRate = lineRate;
            links.push_back(std::make_unique<Panel::DeviceLink>(parameters, journals[address - 1]));
            links.back()->start();
        }
        for (int address = 1; address <= 3; ++address) {
            Journal& journal = journals[address - 1];
            ASSERT_GE(journal.waitFor("row 3: F1-"), 0) << address << ::testing::PrintToString(journal.lines());
            EXPECT_GE(journal.waitFor("device: " + std::to_string(6 + address)), 0);
            EXPECT_GE(journal.waitFor("event 11: Идентификация консоли - " + ports[address - 1] + " адрес № " +
                                      std::to_string(address)),
                      0);
        }

        Panel::LinkParameters slower = line.parameters();
        slower.baudRate = 9600;
        Journal refused;
        Panel::DeviceLink(slower, refused).run();
        EXPECT_EQ(refused.lines(), std::vector<std::string>{"event 0: " + port +
                                                            ": порт уже открыт на скорости 115200 бод, устройство на "
                                                            "нём нельзя опрашивать на скорости 9600 бод."});

        const std::uint32_t f1 = Link::keyBit(Link::keyNumber(Link::ScanCode::F1));
        links[1]->press(Link::ScanCode::F1);
        EXPECT_TRUE(eventually([&] { return line.simulator->counters(2).lastKeyMask == f1; }));
        EXPECT_EQ(line.simulator->counters(1).lastKeyMask, 0u);
        EXPECT_EQ(line.simulator->counters(3).lastKeyMask, 0u);

        const milliseconds bound = links[0]->stopWaitBound();
        EXPECT_EQ(bound, Panel::stopBound(lineRate, milliseconds(20), milliseconds(1), 3));
        switch (ending) {
        case Ending::OneFallsSilent: {
            Sim::Faults faults;
            faults.silentDevices = {3};
            line.simulator->setFaults(faults);
            EXPECT_GE(journals[2].waitFor("event 1: Общение прервано по неизвестным причинам."), 0);
            EXPECT_TRUE(links[2]->wait(eventWait));
            // The others poll on, each at its own address.
            for (std::uint8_t address : {1, 2}) {
                const std::uint64_t polls = line.simulator->counters(address).requestsOf(Link::Command::Exchange) + morePolls;
                EXPECT_TRUE(eventually(
                    [&] { return line.simulator->counters(address).requestsOf(Link::Command::Exchange) >= polls; }));
                EXPECT_FALSE(links[address - 1]->wait(milliseconds(0)));
            }
            break;
        }
        case Ending::AllStopAtOnce: {
            const auto start = Clock::now();
            for (auto& link : links)
                link->stop();
            for (auto& link : links)
                EXPECT_TRUE(link->wait(bound - std::chrono::duration_cast<milliseconds>(Clock::now() - start)));
            for (std::uint8_t address : {1, 2, 3})
                EXPECT_EQ(line.simulator->counters(address).requestsOf(Link::Command::Stop), 1u);
            for (Journal& journal : journals)
                EXPECT_GE(journal.waitFor("event 6: "), 0);
            break;
        }
        case Ending::ThePortVanishes:
            line.simulator.reset();
            for (int index = 0; index < 3; ++index) {
                EXPECT_TRUE(links[index]->wait(eventWait));
                EXPECT_GE(journals[index].waitFor("event 0: Порт " + ports[index] + " исчез"), 0);
            }
            break;
        }
        links.clear();
    }
}

} // namespace
