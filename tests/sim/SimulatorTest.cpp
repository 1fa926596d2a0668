#include "link/FrameNotation.h"
#include "link/Replies.h"
#include "link/Requests.h"
#include "sim/SimErrors.h"
#include "sim/Simulator.h"
#include "tests/sim/LineHost.h"
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace {

using namespace VPanel::Sim;
using namespace VPanel::Link;
using SimTest::LineHost;
using SimTest::key;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

constexpr std::size_t places = Firmware::places;

class SimulatorTest : public ::testing::Test {
protected:
    fs::path linkOf(const Simulator& simulator) const { return ports.path() / simulator.portName(); }

    static SimulatorOptions fastOptions()
    {
        SimulatorOptions options;
        options.pace = false;
        options.seed = 1;
        return options;
    }

    static Reply decode(const Frame& request, const std::vector<std::uint8_t>& reply)
    {
        return decodeReply(request, reply.data(), reply.size(), places);
    }

    SimTest::PortMapDirectory ports;
};

TEST_F(SimulatorTest, PublishesItsPortWhileItLivesAndTakesOverOnlyDeadLinks)
{
    SimulatorOptions named;
    named.portName = "COM7";
    fs::path link;
    {
        Simulator simulator(named);
        link = linkOf(simulator);
        EXPECT_EQ(simulator.portName(), "COM7");
        EXPECT_EQ(fs::read_symlink(link), simulator.devicePath());
        EXPECT_THROW(Simulator{named}, SimulatorException);
        Simulator automatic{SimulatorOptions{}};
        EXPECT_EQ(automatic.portName(), "COM100");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    fs::create_symlink("/dev/pts/gone", link);
    Simulator again(named);
    EXPECT_EQ(fs::read_symlink(link), again.devicePath());

    named.portName = "COM0";
    EXPECT_THROW(Simulator{named}, SimulatorException);
}

TEST_F(SimulatorTest, TwoDevicesOnOneLineEachAnswerOnlyTheirOwnAddress)
{
    SimulatorOptions options = fastOptions();
    options.devices = {FirmwareSetup{1, 7, 1, 0, 8}, FirmwareSetup{2, 300, 2, 1, 8}};
    Simulator simulator(options);
    LineHost host(linkOf(simulator), 115200);

    for (const auto& [address, identifier] : {std::pair{1, 7}, std::pair{2, 300}}) {
        const Frame request = deviceIdentificationRequest(static_cast<std::uint8_t>(address));
        const Reply reply = decode(request, host.transact(request));
        ASSERT_EQ(reply.status, ReplyStatus::Ok) << address;
        EXPECT_EQ(std::get<DeviceIdentity>(reply.content).identifier, identifier);
    }
    EXPECT_TRUE(host.transact(deviceIdentificationRequest(3)).empty());
    Frame bad = deviceIdentificationRequest(1);
    bad.bytes()[3] += 1;
    EXPECT_TRUE(host.transact(bad).empty());

    // Noise on the line is shrugged off once the line has been quiet: the request goes out
    // only after the simulator has let the noise go, which a loaded machine may delay.
    host.send(std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC});
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (simulator.busCounters().noise == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), bound) << "the noise was never let go";
        std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_FALSE(host.transact(deviceIdentificationRequest(2)).empty());

    EXPECT_EQ(simulator.counters(1).requestsOf(Command::DeviceIdentification), 1u);
    EXPECT_EQ(simulator.counters(2).requestsOf(Command::DeviceIdentification), 2u);
    EXPECT_EQ(simulator.busCounters().invalid, 1u);
    EXPECT_EQ(simulator.busCounters().noise, 1u);
}

// Drives a console without glyphs into the setpoint editor, where one digit changes exactly
// one row: a 27-byte exchange reply.
Frame editorDigitRequest(const LineHost& host)
{
    for (std::uint32_t mask : {0u, key(Key::F1), 0u, key(Key::Enter), 0u})
        host.transact(exchangeRequest(1, mask));
    return exchangeRequest(1, key(Key::Digit0 + 4));
}

TEST_F(SimulatorTest, RepliesTakeTheirWireTimeAtTheBaudRateTheHostSet)
{
    SimulatorOptions options;
    options.devices = {FirmwareSetup{1, 7, 1, 0, 0}};
    Simulator simulator(options);
    LineHost host(linkOf(simulator), 9600);
    host.transact(startRequest(1));
    const Frame digit = editorDigitRequest(host);

    const auto sent = host.send(digit);
    const auto pieces = host.collectBytes(27, milliseconds(2000));
    const auto reply = LineHost::joined(pieces);
    ASSERT_EQ(reply.size(), 27u);
    EXPECT_EQ(decode(digit, reply).status, ReplyStatus::Ok);
    const auto wireTime = std::chrono::duration<double, std::milli>(pieces.back().at - sent).count();
    EXPECT_GE(wireTime, 27 * 10 * 1000.0 / 9600);
    EXPECT_LT(wireTime, 1000.0);
}

TEST_F(SimulatorTest, AGivenRateOverridesTheLineAndNoPaceAnswersAtOnce)
{
    const auto digitReply = [this](SimulatorOptions options) {
        options.devices = {FirmwareSetup{1, 7, 1, 0, 0}};
        Simulator simulator(options);
        LineHost host(linkOf(simulator), 115200);
        host.transact(startRequest(1));
        const auto sent = host.send(editorDigitRequest(host));
        const auto pieces = host.collectBytes(27, milliseconds(2000));
        EXPECT_EQ(LineHost::joined(pieces).size(), 27u);
        const double time_ms =
            pieces.empty() ? 0.0 : std::chrono::duration<double, std::milli>(pieces.back().at - sent).count();
        return std::make_pair(time_ms, pieces.size());
    };
    constexpr unsigned slowRate = 2400;
    SimulatorOptions slow;
    slow.baudRate = slowRate;
    EXPECT_GE(digitReply(slow).first, 27 * 10 * 1000.0 / slowRate);
    // Unpaced, the reply goes out in one write, however late a loaded machine delivers it.
    SimulatorOptions immediate;
    immediate.baudRate = slowRate;
    immediate.pace = false;
    EXPECT_EQ(digitReply(immediate).second, 1u);
}

TEST_F(SimulatorTest, FaultsSetWhileRunningShowOnTheLine)
{
    Simulator simulator(fastOptions());
    LineHost host(linkOf(simulator), 115200);
    const Frame request = symbolMatrixRequest(1, 2);

    // Long, so that even a loaded machine sends the next request within it; a request begun
    // inside it never reaches the device.
    Faults faults;
    faults.turnaround = milliseconds(1000);
    simulator.setFaults(faults);
    ASSERT_FALSE(host.transact(request).empty());
    const auto replied = std::chrono::steady_clock::now();
    host.send(request);
    const auto bound = replied + std::chrono::seconds(5);
    while (simulator.busCounters().unheard == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), bound) << "the request was not refused";
        std::this_thread::sleep_for(milliseconds(1));
    }
    // The turnaround's end is the event waited for here.
    std::this_thread::sleep_until(replied + milliseconds(1500));
    EXPECT_EQ(decode(request, host.transact(request)).status, ReplyStatus::Ok);
    EXPECT_EQ(simulator.busCounters().unheard, 1u);

    faults = {};
    faults.dropProbability = 1.0;
    simulator.setFaults(faults);
    EXPECT_TRUE(host.transact(request).empty());

    faults = {};
    faults.splitProbability = 1.0;
    // Far from the default gap, so that a late read of the first half still shows it was used.
    faults.splitGap = milliseconds(300);
    simulator.setFaults(faults);
    host.send(request);
    const auto pieces = host.collect(milliseconds(500), milliseconds(400));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].bytes.size(), 6u);
    EXPECT_GE(pieces[1].at - pieces[0].at, milliseconds(200));
    EXPECT_EQ(decode(request, LineHost::joined(pieces)).status, ReplyStatus::Ok);

    faults = {};
    faults.silentAfterRequests = 1;
    simulator.setFaults(faults);
    EXPECT_FALSE(host.transact(request).empty());
    EXPECT_TRUE(host.transact(request).empty());

    simulator.setFaults({});
    EXPECT_EQ(decode(request, host.transact(request)).status, ReplyStatus::Ok);
    EXPECT_EQ(simulator.counters(1).requestsOf(Command::SymbolMatrix), 7u);
}

TEST_F(SimulatorTest, WhatThePcLeftUnreadIsGoneWhenItOpensThePortAgain)
{
    Simulator simulator(fastOptions());
    Faults faults;
    faults.replyDelay = milliseconds(50);
    simulator.setFaults(faults);
    LineHost(linkOf(simulator), 115200).send(deviceIdentificationRequest(1));
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (simulator.repliesWritten() == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), bound) << "the reply never went out";
        std::this_thread::sleep_for(milliseconds(1));
    }
    LineHost again(linkOf(simulator), 115200);
    EXPECT_TRUE(again.collect(milliseconds(100), milliseconds(10)).empty());
    EXPECT_EQ(simulator.busCounters().answered, 1u);
}

TEST_F(SimulatorTest, VerboseLogShowsEachFrameInHexWithATimeStamp)
{
    std::ostringstream log;
    SimulatorOptions options = fastOptions();
    options.verbose = &log;
    Simulator simulator(options);
    {
        LineHost host(linkOf(simulator), 115200);
        host.transact(deviceIdentificationRequest(1));
        host.transact(deviceIdentificationRequest(9));
    }
    simulator.stop();
    const std::string text = log.str();
    EXPECT_NE(text.find("<- 01 00 00 01 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("-> 01 00 00 07 00 01 00 09 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("<- 09 00 00 09 00  ("), std::string::npos) << text;
    EXPECT_EQ(text[2], ':');
    EXPECT_EQ(text[8], '.');
}

// However the recorded pieces of a reply are stamped, each goes out in time and the line
// answers the next request.
TEST_F(SimulatorTest, EveryReplayedPieceWaitsBoundedAndTheLineKeepsAnswering)
{
    struct Case {
        const char* name;
        const char* laterPieceStamp;
    };
    const Case cases[] = {
        {"a later piece stamped far ahead", "1000000000.000"},
        {"a later piece stamped before its bytes can have crossed the line", "0.501"},
    };
    const auto request = [](const Frame& frame, const char* stamp) {
        return frameLine(stamp, FrameDirection::Request, frame.bytes(), frame.size()) + "\n";
    };
    for (const Case& item : cases) {
        const std::string later = item.laterPieceStamp;
        std::istringstream text(request(deviceIdentificationRequest(1), "0.000") + "0.500 -> AA BB CC\n" + later +
                                " -> 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13\n" +
                                request(startRequest(1), (later + "1").c_str()) + later + "2 -> DD EE\n");
        SimulatorOptions options = fastOptions();
        options.baudRate = 9600;
        options.replay = std::make_shared<Replay>(Recording::parse(text, item.name));
        Simulator simulator(options);
        LineHost host(linkOf(simulator), 9600);

        host.send(deviceIdentificationRequest(1));
        EXPECT_EQ(LineHost::joined(host.collectBytes(23, milliseconds(5000))).size(), 23u) << item.name;
        host.send(startRequest(1));
        EXPECT_EQ(LineHost::joined(host.collectBytes(2, milliseconds(5000))), (std::vector<std::uint8_t>{0xDD, 0xEE}))
            << item.name;
    }
}

} // namespace
