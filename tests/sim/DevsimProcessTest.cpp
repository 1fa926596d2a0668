// vpanel-devsim as the program would meet it: a separate process on its published port,
// reached through the serial port library.
#include "link/Replies.h"
#include "link/Requests.h"
#include "comm/serial/SystemSerialPort.h"
#include "sim/Cp1251.h"
#include "tests/sim/DevsimProcess.h"
#include "tests/sim/LineHost.h"
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <array>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace {

using namespace VPanel::Link;
using KelComm::Serial::CommSettings;
using KelComm::Serial::CommTimeouts;
using KelComm::Serial::SystemSerialPort;
using SimTest::DevsimProcess;
using SimTest::key;
using SimTest::shows;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

constexpr char portName[] = "COM150";
constexpr std::size_t places = 20;
constexpr long fastBaud = 115200;

using Bytes = std::vector<std::uint8_t>;

// The PC's side through SystemSerialPort, set up as a connection sets it up.
class PortHost {
public:
    PortHost(long baudRate, double response_ms, double interval_ms)
        : m_port(L"COM150", CommSettings(baudRate, 8, 0, 0, 0, 0), false)
    {
        m_port.setTimeouts(CommTimeouts(KelTime::Milliseconds(response_ms), KelTime::Milliseconds(interval_ms)), false);
        m_port.open();
    }

    void send(const Frame& request)
    {
        std::uint32_t written = 0;
        m_port.write(request.bytes(), static_cast<std::uint32_t>(request.size()), &written);
        ASSERT_EQ(written, request.size());
    }

    // One read as a connection makes it: whatever arrives until the interval timeout.
    Bytes read()
    {
        std::array<std::uint8_t, maxFrameSize> buffer{};
        std::uint32_t received = 0;
        m_port.read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &received, false);
        return Bytes(buffer.begin(), buffer.begin() + received);
    }

    Reply transact(const Frame& request)
    {
        send(request);
        const Bytes reply = read();
        return decodeReply(request, reply.data(), reply.size(), places);
    }

private:
    SystemSerialPort m_port;
};

class DevsimProcessTest : public ::testing::Test {
protected:
    std::unique_ptr<DevsimProcess> start(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--port", portName});
        return std::make_unique<DevsimProcess>(arguments);
    }
    fs::path link() const { return ports.path() / portName; }

    SimTest::PortMapDirectory ports;
};

// The rows the display would show, kept up to date from exchange replies.
struct Display {
    std::array<Bytes, 4> rows;
    void apply(const ExchangeContent& content)
    {
        for (const RowUpdate& update : content.rows)
            rows[update.row] = update.cells;
    }
};

TEST_F(DevsimProcessTest, AWholeConnectionFromIdentificationToStop)
{
    auto devsim = start({"--device", "1:7:1.5"});
    EXPECT_EQ(devsim->readyLine().rfind("COM150 -> /dev/pts/", 0), 0u) << devsim->readyLine();
    PortHost host(fastBaud, 500, 30);

    const Reply device = host.transact(deviceIdentificationRequest(1));
    ASSERT_EQ(device.status, ReplyStatus::Ok);
    EXPECT_EQ(std::get<DeviceIdentity>(device.content).identifier, 7);
    EXPECT_EQ(std::get<DeviceIdentity>(device.content).minor, 5);

    const Reply console = host.transact(consoleIdentificationRequest(1));
    ASSERT_EQ(console.status, ReplyStatus::Ok);
    const auto identity = std::get<ConsoleIdentity>(console.content);
    EXPECT_EQ(identity.rows, 4);
    EXPECT_EQ(identity.places, places);
    ASSERT_EQ(identity.glyphs, 8);

    EXPECT_EQ(host.transact(languageRequest(1, Language::Russian)).status, ReplyStatus::Ok);
    std::set<Glyph> distinct;
    for (std::uint8_t index = 0; index < identity.glyphs; ++index) {
        const Reply glyph = host.transact(symbolMatrixRequest(1, index));
        ASSERT_EQ(glyph.status, ReplyStatus::Ok) << int(index);
        distinct.insert(std::get<Glyph>(glyph.content));
    }
    EXPECT_EQ(distinct.size(), identity.glyphs);
    const Reply started = host.transact(startRequest(1));
    ASSERT_EQ(started.status, ReplyStatus::Ok);
    EXPECT_FALSE(std::get<StartState>(started.content).panelOff);

    // Key masks by exchange number; every other exchange carries no key.
    const std::map<int, std::uint32_t> presses = {
        {10, key(Key::F1)},   {20, key(Key::Down)}, {30, key(Key::Enter)}, {40, key(Key::Enter)},
        {50, key(Key::Up)},   {52, key(Key::Enter)}, {54, key(Key::Digit0 + 7)}, {56, key(Key::Enter)},
        {60, key(Key::F2)},   {62, key(Key::F2)},   {70, key(Key::Escape)},
    };
    Display display;
    std::map<int, ExchangeContent> replies;
    int fullScreens = 0, glyphUpdates = 0;
    for (int exchange = 0; exchange < 100; ++exchange) {
        const auto press = presses.find(exchange);
        const Reply reply = host.transact(exchangeRequest(1, press == presses.end() ? 0 : press->second));
        ASSERT_EQ(reply.status, ReplyStatus::Ok) << exchange;
        const auto& content = std::get<ExchangeContent>(reply.content);
        display.apply(content);
        replies[exchange] = content;
        fullScreens += content.rows.size() == 4;
        glyphUpdates += !content.glyphs.empty();
        if (exchange == 10) {
            EXPECT_TRUE(shows(display.rows[0], L"Меню 1/4"));
        }
        if (exchange == 54) {
            EXPECT_TRUE(shows(display.rows[2], L"Новое: 7_"));
        }
    }
    EXPECT_TRUE(shows(replies[0].rows.at(0).cells, L"Прибор №1"));
    ASSERT_FALSE(replies[10].rows.empty());
    EXPECT_EQ(replies[10].rows[0].row, 0);
    EXPECT_TRUE(shows(replies[20].rows.at(0).cells, L"Меню 2/4"));
    EXPECT_FALSE(replies[30].consoleOn);
    EXPECT_TRUE(replies[40].consoleOn);
    EXPECT_TRUE(replies[60].soundOn);
    EXPECT_FALSE(replies[62].soundOn);
    EXPECT_TRUE(shows(display.rows[0], L"Прибор №1"));
    EXPECT_TRUE(shows(display.rows[1], L"кПа"));
    // Only changed rows travel: whole screens come at the start, on screen changes and when
    // the console comes back on.
    EXPECT_LE(fullScreens, 6);
    EXPECT_GT(glyphUpdates, 0);

    const Reply stopped = host.transact(stopRequest(1));
    ASSERT_EQ(stopped.status, ReplyStatus::Ok);
    EXPECT_FALSE(std::get<StopState>(stopped.content).deviceOff);

    EXPECT_EQ(devsim->stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link())));
}

TEST_F(DevsimProcessTest, DropMeansNoReplyWithinTheConnectionsTimeouts)
{
    auto devsim = start({"--drop", "1"});
    // The response timeout a connection uses at 115200 baud: 1640 bit times plus 5 ms.
    PortHost host(fastBaud, 19, 20);
    const auto before = std::chrono::steady_clock::now();
    host.send(deviceIdentificationRequest(1));
    EXPECT_TRUE(host.read().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(500));
}

TEST_F(DevsimProcessTest, CorruptShowsAsAChecksumMismatch)
{
    auto devsim = start({"--corrupt", "1"});
    PortHost host(fastBaud, 500, 30);
    for (int attempt = 0; attempt < 5; ++attempt)
        EXPECT_EQ(host.transact(symbolMatrixRequest(1, 1)).status, ReplyStatus::ChecksumMismatch);
}

TEST_F(DevsimProcessTest, SplitReplyArrivesInTwoReads)
{
    auto devsim = start({"--split", "1", "--split-gap", "150"});
    PortHost host(fastBaud, 500, 30);
    const Frame request = symbolMatrixRequest(1, 1);
    host.send(request);
    Bytes reply = host.read();
    EXPECT_EQ(reply.size(), 6u);
    const Bytes rest = host.read();
    EXPECT_EQ(rest.size(), 7u);
    reply.insert(reply.end(), rest.begin(), rest.end());
    EXPECT_EQ(decodeReply(request, reply.data(), reply.size(), places).status, ReplyStatus::Ok);
}

TEST_F(DevsimProcessTest, FaultsChangeAtRunTimeFromControlLines)
{
    auto devsim = start({"--control"});
    PortHost host(fastBaud, 500, 30);
    EXPECT_EQ(host.transact(deviceIdentificationRequest(1)).status, ReplyStatus::Ok);

    devsim->sendLine("--wrong-address");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    ReplyStatus status = ReplyStatus::Ok;
    // A reply a loaded machine lets time out is no answer either way.
    while (status != ReplyStatus::AddressMismatch && std::chrono::steady_clock::now() < deadline)
        status = host.transact(deviceIdentificationRequest(1)).status;
    EXPECT_EQ(status, ReplyStatus::AddressMismatch);

    devsim->sendLine("--no-faults");
    while (status != ReplyStatus::Ok && std::chrono::steady_clock::now() < deadline)
        status = host.transact(deviceIdentificationRequest(1)).status;
    EXPECT_EQ(status, ReplyStatus::Ok);
}

TEST_F(DevsimProcessTest, EachTerminationSignalRemovesThePort)
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        auto devsim = start({});
        ASSERT_TRUE(fs::is_symlink(fs::symlink_status(link())));
        EXPECT_EQ(devsim->stop(signal), 0) << signal;
        EXPECT_FALSE(fs::exists(fs::symlink_status(link()))) << signal;
    }
}

TEST_F(DevsimProcessTest, WrongArgumentsEndWithUsageAndATakenPortWithItsOwner)
{
    const auto [status, text] = DevsimProcess::run({"--drop", "2"});
    EXPECT_EQ(status, 2);
    EXPECT_NE(text.find("Недопустимое значение '2' параметра '--drop'"), std::string::npos) << text;
    EXPECT_NE(text.find("--silent-after N"), std::string::npos);

    auto devsim = start({});
    const auto [taken, reason] = DevsimProcess::run({"--port", portName});
    EXPECT_EQ(taken, 1);
    EXPECT_NE(reason.find("Порт COM150 уже занят"), std::string::npos) << reason;
}

} // namespace
