#include "link/Device.h"
#include "link/Replies.h"
#include "link/Requests.h"
#include "sim/Bus.h"
#include "sim/RequestFramer.h"
#include "sim/SimErrors.h"
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace VPanel::Sim;
using namespace VPanel::Link;
using SimTest::key;
using SimTest::shows;
using std::chrono::milliseconds;

constexpr std::size_t places = Firmware::places;

class BusTest : public ::testing::Test {
protected:
    BusReply send(const Frame& request, milliseconds at = milliseconds(0))
    {
        return bus.onFrame(request.bytes(), request.size(), start + at, wall);
    }

    // The decoded reply to a request, expecting one.
    Reply transact(const Frame& request, milliseconds at = milliseconds(0))
    {
        const BusReply reply = send(request, at);
        EXPECT_EQ(reply.outcome, FrameOutcome::Answered);
        if (!reply.transmission)
            return {};
        const Frame& frame = reply.transmission->frame;
        return decodeReply(request, frame.bytes(), frame.size(), places);
    }

    ExchangeContent exchange(std::uint32_t mask, milliseconds at = milliseconds(0))
    {
        const Reply reply = transact(exchangeRequest(1, mask), at);
        EXPECT_EQ(reply.status, ReplyStatus::Ok);
        return std::holds_alternative<ExchangeContent>(reply.content) ? std::get<ExchangeContent>(reply.content)
                                                                      : ExchangeContent{};
    }

    void readGlyphs()
    {
        for (std::uint8_t index = 0; index < 8; ++index)
            transact(symbolMatrixRequest(1, index));
    }

    void setFaults(const std::function<void(Faults&)>& change)
    {
        Faults faults;
        change(faults);
        bus.setFaults(faults);
    }

    Firmware::SteadyTime start = Firmware::SteadyTime{} + std::chrono::hours(1);
    // A fixed clock, so that the clock row does not change between two exchanges.
    Firmware::WallTime wall = std::chrono::system_clock::now();
    Bus bus{{FirmwareSetup{1, 7, 1, 5, 8}, FirmwareSetup{2, 300, 3, 0, 4}}, Faults{}, 1, start};
};

TEST_F(BusTest, EachDeviceAnswersOnlyAWholeFrameAddressedToIt)
{
    const auto first = std::get<DeviceIdentity>(transact(deviceIdentificationRequest(1)).content);
    const auto second = std::get<DeviceIdentity>(transact(deviceIdentificationRequest(2)).content);
    EXPECT_EQ(first.identifier, 7);
    EXPECT_EQ(first.minor, 5);
    EXPECT_EQ(second.identifier, 300);
    EXPECT_EQ(std::get<ConsoleIdentity>(transact(consoleIdentificationRequest(2)).content).glyphs, 4);

    EXPECT_EQ(send(deviceIdentificationRequest(3)).outcome, FrameOutcome::NotAddressed);
    Frame bad = deviceIdentificationRequest(1);
    bad.bytes()[bad.size() - 1] ^= 0x01;
    EXPECT_EQ(send(bad).outcome, FrameOutcome::Invalid);
    // A device does not answer for a glyph it does not hold.
    EXPECT_EQ(send(symbolMatrixRequest(2, 4)).outcome, FrameOutcome::DeviceSilent);

    send(exchangeRequest(2, key(17)));
    const DeviceCounters counters = *bus.deviceCounters(2);
    EXPECT_EQ(counters.requestsOf(Command::DeviceIdentification), 1u);
    EXPECT_EQ(counters.requestsOf(Command::ConsoleIdentification), 1u);
    EXPECT_EQ(counters.requestsOf(Command::SymbolMatrix), 1u);
    EXPECT_EQ(counters.lastKeyMask, key(17));
    EXPECT_EQ(bus.deviceCounters(1)->totalRequests(), 1u);
    EXPECT_FALSE(bus.deviceCounters(3));
    EXPECT_EQ(bus.counters().invalid, 1u);
    EXPECT_EQ(bus.counters().notAddressed, 1u);
}

TEST_F(BusTest, TwoDevicesCannotShareAnAddress)
{
    EXPECT_THROW(Bus({FirmwareSetup{4}, FirmwareSetup{4}}, Faults{}, 1, start), SimulatorException);
}

TEST_F(BusTest, OnlyRowsAndGlyphsThatChangedAreSent)
{
    readGlyphs();
    transact(startRequest(1));
    const ExchangeContent first = exchange(0);
    EXPECT_EQ(first.rows.size(), 4u);
    EXPECT_TRUE(first.glyphs.empty());
    EXPECT_TRUE(first.consoleOn);

    // Same moment, nothing pressed: the reply carries the state flags only.
    const Reply idle = transact(exchangeRequest(1, 0));
    EXPECT_EQ(std::get<ExchangeContent>(idle.content).flags(), ExchangeFlag::consoleOn);

    const ExchangeContent menu = exchange(key(VPanel::Link::Key::F1));
    ASSERT_FALSE(menu.rows.empty());
    EXPECT_TRUE(shows(menu.rows[0].cells, L"Меню 1/4"));

    // The pulse glyph moves on and comes alone.
    const ExchangeContent later = exchange(0, milliseconds(250));
    ASSERT_EQ(later.glyphs.size(), 1u);
    EXPECT_EQ(later.glyphs[0].code, 0);

    // A new start packet means a fresh display: every row again.
    transact(startRequest(1));
    EXPECT_EQ(exchange(0, milliseconds(250)).rows.size(), 4u);

    // A device whose rows change on every poll sends them all each time, and they differ.
    FirmwareSetup changing;
    changing.changingRows = true;
    Bus busy({changing}, Faults{}, 1, start);
    const Frame poll = exchangeRequest(1, 0);
    const auto rowsOf = [&](const BusReply& reply) {
        const Frame& frame = reply.transmission->frame;
        return std::get<ExchangeContent>(decodeReply(poll, frame.bytes(), frame.size(), places).content).rows;
    };
    const auto before = rowsOf(busy.onFrame(poll.bytes(), poll.size(), start, wall));
    const auto after = rowsOf(busy.onFrame(poll.bytes(), poll.size(), start, wall));
    ASSERT_EQ(after.size(), 4u);
    for (std::size_t row = 0; row < after.size(); ++row)
        EXPECT_NE(after[row].cells, before[row].cells) << row;
}

TEST_F(BusTest, GlyphsThePcHasNotReadComeWithTheFirstExchange)
{
    transact(symbolMatrixRequest(1, 3));
    const ExchangeContent first = exchange(0);
    EXPECT_EQ(first.glyphs.size(), 7u);
    for (const auto& glyph : first.glyphs)
        EXPECT_NE(glyph.code, 3);
}

TEST_F(BusTest, DropCorruptSplitDelayAndWrongAddressShapeTheReply)
{
    setFaults([](Faults& f) { f.dropProbability = 1.0; });
    EXPECT_EQ(send(deviceIdentificationRequest(1)).outcome, FrameOutcome::Dropped);
    EXPECT_EQ(bus.deviceCounters(1)->totalRequests(), 1u);

    setFaults([](Faults& f) { f.corruptProbability = 1.0; });
    for (int attempt = 0; attempt < 20; ++attempt)
        EXPECT_EQ(transact(deviceIdentificationRequest(1)).status, ReplyStatus::ChecksumMismatch);

    setFaults([](Faults& f) {
        f.splitProbability = 1.0;
        f.splitGap = milliseconds(80);
        f.replyDelay = milliseconds(15);
    });
    const BusReply split = send(symbolMatrixRequest(1, 0));
    ASSERT_TRUE(split.transmission);
    EXPECT_EQ(split.transmission->splitAt, 6u);
    EXPECT_EQ(split.transmission->splitGap, milliseconds(80));
    EXPECT_EQ(split.transmission->delay, milliseconds(15));

    setFaults([](Faults& f) { f.wrongAddress = true; });
    EXPECT_EQ(transact(deviceIdentificationRequest(1)).status, ReplyStatus::AddressMismatch);

    setFaults([](Faults&) {});
    EXPECT_EQ(transact(deviceIdentificationRequest(1)).status, ReplyStatus::Ok);
    const BusCounters counters = bus.counters();
    EXPECT_EQ(counters.dropped, 1u);
    EXPECT_EQ(counters.corrupted, 20u);
    EXPECT_EQ(counters.split, 1u);
}

TEST_F(BusTest, SilenceAfterNRequestsForGoodOrForAPeriodOrOfOneDevice)
{
    // One device falls silent while it still hears its requests; the other answers on.
    setFaults([](Faults& f) { f.silentDevices = {2}; });
    EXPECT_EQ(send(deviceIdentificationRequest(2)).outcome, FrameOutcome::Muted);
    EXPECT_EQ(send(deviceIdentificationRequest(1)).outcome, FrameOutcome::Answered);
    EXPECT_EQ(bus.deviceCounters(2)->totalRequests(), 1u);


    setFaults([](Faults& f) { f.silentAfterRequests = 2; });
    EXPECT_EQ(send(deviceIdentificationRequest(1)).outcome, FrameOutcome::Answered);
    EXPECT_EQ(send(deviceIdentificationRequest(2)).outcome, FrameOutcome::Answered);
    for (int later : {0, 1000, 100000})
        EXPECT_EQ(send(deviceIdentificationRequest(1), milliseconds(later)).outcome, FrameOutcome::Muted);

    setFaults([](Faults& f) {
        f.silentAfterRequests = 0;
        f.silentPeriod = milliseconds(500);
    });
    EXPECT_EQ(send(deviceIdentificationRequest(1), milliseconds(1000)).outcome, FrameOutcome::Muted);
    EXPECT_EQ(send(deviceIdentificationRequest(1), milliseconds(1499)).outcome, FrameOutcome::Muted);
    EXPECT_EQ(send(deviceIdentificationRequest(1), milliseconds(1500)).outcome, FrameOutcome::Answered);
    EXPECT_EQ(send(deviceIdentificationRequest(1), milliseconds(1501)).outcome, FrameOutcome::Answered);
}

TEST_F(BusTest, ConsoleVersionConsoleOffAndDeviceOffQuirks)
{
    setFaults([](Faults& f) {
        f.quirks.consoleVersion = 2;
        f.quirks.consoleOffAtStart = true;
        f.quirks.deviceOffAtStop = true;
    });
    EXPECT_EQ(transact(consoleIdentificationRequest(1)).status, ReplyStatus::UnsupportedConsoleVersion);
    EXPECT_TRUE(std::get<StartState>(transact(startRequest(1)).content).panelOff);
    EXPECT_FALSE(exchange(0).consoleOn);
    EXPECT_TRUE(std::get<StopState>(transact(stopRequest(1)).content).deviceOff);
}

TEST(RequestFramerTest, FramesEndByTheirCommandsLengthAndTheRestIsNoiseAfterTheGap)
{
    using Clock = RequestFramer::Clock;
    RequestFramer framer;
    framer.setGap(milliseconds(5));
    const Clock::time_point t0{};

    std::vector<std::uint8_t> stream = exchangeRequest(1, 0x10000).toVector();
    const auto identification = deviceIdentificationRequest(2).toVector();
    stream.insert(stream.end(), identification.begin(), identification.end());

    // In pieces: nothing until the exchange's ninth byte, then both frames.
    EXPECT_TRUE(framer.receive(stream.data(), 8, t0).empty());
    const auto pieces = framer.receive(stream.data() + 8, stream.size() - 8, t0 + milliseconds(1));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(pieces[0].complete);
    EXPECT_EQ(pieces[0].bytes.size(), 9u);
    EXPECT_EQ(pieces[1].bytes, identification);
    EXPECT_FALSE(framer.deadline());

    // An unknown command, and a frame cut short, wait for the gap and go as noise.
    const std::uint8_t junk[] = {1, 0x77, 0x00, 4, 5};
    EXPECT_TRUE(framer.receive(junk, sizeof junk, t0).empty());
    EXPECT_EQ(framer.deadline(), t0 + milliseconds(5));
    EXPECT_FALSE(framer.expire(t0 + milliseconds(4)));
    const auto noise = framer.expire(t0 + milliseconds(5));
    ASSERT_TRUE(noise);
    EXPECT_FALSE(noise->complete);
    EXPECT_EQ(noise->bytes.size(), sizeof junk);

    EXPECT_TRUE(framer.receive(stream.data(), 4, t0).empty());
    const auto late = framer.receive(stream.data() + 4, 5, t0 + milliseconds(10));
    ASSERT_EQ(late.size(), 1u);
    EXPECT_FALSE(late[0].complete);
    EXPECT_EQ(late[0].bytes.size(), 4u);
}

} // namespace
