#include "FakeDeviceServer.h"
#include "PtyFixture.h"
#include "Ser2net.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace KelComm::Serial;
using KelCommTest::FakeDeviceServer;
using KelCommTest::PortControlPeer;
using KelCommTest::elapsedMs;
using KelCommTest::openFailure;
using KelCommTest::sendAll;
using KelCommTest::telnetCommand;
using KelTime::Milliseconds;

constexpr int iac = 255, sb = 250, se = 240, doOption = 253;

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }


// Pages the process holds in memory now.
long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SANITIZED
#endif
#endif

// A server that agrees to port control and answers `command` with `value`, else as asked.
FakeDeviceServer::Script answering(std::uint8_t command, std::vector<std::uint8_t> value)
{
    auto peer = std::make_shared<PortControlPeer>();
    peer->answer = [=](std::uint8_t asked, const std::vector<std::uint8_t>& wanted) {
        return asked == command ? value : wanted;
    };
    return [peer](int connection, const std::atomic<bool>& stop) { (*peer)(connection, stop); };
}

// As ser2net does for a busy line: it says so, ends its side and takes what the client sent
// meanwhile, so that the client sees an orderly end rather than a reset.
// With `agreeing`, it first agrees on port control and refuses only once the client asks
// for its first setting: the close then comes after the negotiation has ended.
FakeDeviceServer::Script refusing(const std::string& words, bool agreeing = false)
{
    return [words, agreeing](int connection, const std::atomic<bool>& stop) {
        if (agreeing) {
            sendAll(connection, telnetCommand({iac, doOption, 44}), stop);
            const std::string firstSetting = telnetCommand({iac, 250, 44, 1});
            std::string heard;
            char chunk[256];
            while (!stop && heard.find(firstSetting) == std::string::npos) {
                const ssize_t count = recv(connection, chunk, sizeof chunk, MSG_DONTWAIT);
                if (count > 0)
                    heard.append(chunk, static_cast<std::size_t>(count));
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        sendAll(connection, words, stop);
        shutdown(connection, SHUT_WR);
        char discarded[256];
        while (!stop && recv(connection, discarded, sizeof discarded, MSG_DONTWAIT) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
}

class NetworkLineTest : public KelCommTest::PortEnvironment {};

// A server that keeps the line from opening makes open() fail soon, saying why: the
// server's own words where it closed the connection at once, as ser2net does for a busy
// line; the server's refusal of a setting as a local line's refusal.
TEST_F(NetworkLineTest, AServerThatKeepsTheLineFromOpeningFailsTheOpenSoonWithWhy)
{
    const auto neverReading = [](int, const std::atomic<bool>& stop) {
        while (!stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    const auto askingWithoutReading = [](int connection, const std::atomic<bool>& stop) {
        std::string asks;
        for (int i = 0; i < 1000; ++i)
            asks += telnetCommand({iac, doOption, 99});
        while (sendAll(connection, asks, stop)) {
        }
    };
    const std::wstring refused = KelWin::ErrorMessage(EINVAL).text();
    const struct {
        const char* what;
        const char* scheme;
        FakeDeviceServer::Script script;
        std::wstring failure;
        double within_ms;
    } cases[] = {
        {"busy, said during negotiation", "rfc2217", refusing(telnetCommand({iac, doOption, 44}) + "Port already in use\r\n"),
         L"закрыл соединение (Port already in use)", 500},
        {"busy, said once the options were agreed", "rfc2217", refusing("Port already in use\r\n", true),
         L"закрыл соединение (Port already in use)", 500},
        {"busy, said on a raw stream", "tcp", refusing("Port already in use\r\n"), L"закрыл соединение (Port already in use)",
         500},
        {"asks for an option and never reads", "rfc2217", askingWithoutReading, L"сервер не принимает данные", 3500},
        {"confirms another rate", "rfc2217", answering(1, {0, 0, 0x25, 0x80}), refused, 3500},       // 9600
        {"confirms another parity", "rfc2217", answering(3, {2}), refused, 3500},
        {"confirms the rate in a malformed answer", "rfc2217", answering(1, {0xE1, 0x00}), refused, 3500}, // 57600
        {"never reads, never answers", "tcp", neverReading, L"(opened)", 3500},
    };
    unsigned number = 30;
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.what);
        FakeDeviceServer server(entry.script);
        SystemSerialPort port(mapServer(++number, server.url(entry.scheme)), CommSettings(57600, 8, Parity::Even),
                              CommTimeouts(Milliseconds(100), Milliseconds(100)));
        const auto start = KelCommTest::SteadyClock::now();
        const std::wstring failure = openFailure(port);
        EXPECT_TRUE(contains(failure, entry.failure)) << std::string(failure.begin(), failure.end());
        EXPECT_LT(elapsedMs(start), entry.within_ms);
        EXPECT_EQ(port.isOpened(), entry.failure == L"(opened)");
    }
}

// A line whose settings the server reports as no line has starts from the defaults rather
// than from values out of range.
TEST_F(NetworkLineTest, AnOpenWithoutSettingsTakesOnlyWhatTheServerReportsSoundly)
{
    const std::map<std::uint8_t, std::vector<std::uint8_t>> sound = {{1, {0, 0, 0x25, 0x80}}, {2, {7}}, {3, {3}}, {4, {1}}};
    const CommSettings defaults;
    const struct {
        const char* what;
        std::uint8_t command;
        std::vector<std::uint8_t> answer;
        long baudRate;
        Parity parity;
    } cases[] = {
        {"all sound", 0, {}, 9600, Parity::Even},
        {"parity beyond space", 3, {9}, defaults.baudRate(), Parity::None},
        {"parity zero", 3, {0}, defaults.baudRate(), Parity::None},
        {"stop size zero", 4, {0}, defaults.baudRate(), Parity::None},
        {"data size in four bytes", 2, {0, 0, 0, 7}, defaults.baudRate(), Parity::None},
    };
    unsigned number = 80;
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.what);
        PortControlPeer peer;
        // The line asks with value 0 and then sets what it took: that is confirmed.
        peer.answer = [&](std::uint8_t command, const std::vector<std::uint8_t>& asked) {
            if (!sound.count(command) || std::any_of(asked.begin(), asked.end(), [](std::uint8_t b) { return b; }))
                return asked;
            return command == entry.command ? entry.answer : sound.at(command);
        };
        FakeDeviceServer server(std::ref(peer));
        SystemSerialPort port(mapServer(++number, server.url("rfc2217")));
        port.setTimeouts(CommTimeouts(Milliseconds(100), Milliseconds(100)), false);
        port.open();
        CommSettings settings;
        port.settings(settings);
        EXPECT_EQ(settings.baudRate(), entry.baudRate);
        EXPECT_EQ(settings.parity(), entry.parity);
    }
}

// Whatever Telnet the server mixes in, the reader gets the data and nothing else: no
// compression starts unasked, an oversized subnegotiation is dropped whole, a line state
// comes as its error, and the bytes sent just before the server closed are returned before
// the next read finds the line gone.
TEST_F(NetworkLineTest, TheReaderGetsTheDataWholeWhateverTheServerMixesIn)
{
    const std::string compressionMarker = telnetCommand({iac, sb, 86, iac, se});
    const std::string oversized = telnetCommand({iac, sb, 44}) + std::string(20000, 'z') + telnetCommand({iac, se});
    const std::string parityState = telnetCommand({iac, sb, 44, 106, 0x04, iac, se});
    const struct {
        const char* what;
        std::string reply;
        bool closeAfterReply;
        std::string expected;
        std::uint8_t errors;
    } cases[] = {
        {"compression marker", compressionMarker + "hello", false, "hello", 0},
        {"oversized subnegotiation", oversized + "tail", false, "tail", 0},
        {"parity error reported", parityState + "x", false, "x", IO_Result::ParityError},
        {"last bytes before the close", "abc", true, "abc", 0},
    };
    unsigned number = 40;
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.what);
        PortControlPeer peer;
        peer.reply = entry.reply;
        peer.closeAfterReply = entry.closeAfterReply;
        {
            FakeDeviceServer server(std::ref(peer));
            SystemSerialPort port(mapServer(++number, server.url("rfc2217")), CommSettings(57600),
                                  CommTimeouts(KelTime::Seconds(5), Milliseconds(300)));
            port.open();
            ASSERT_TRUE(port.write("?", 1, nullptr).isGood());
            std::string received(8, '\0');
            std::uint32_t count = 0;
            const IO_Result result = port.read(received.data(), static_cast<std::uint32_t>(received.size()), &count, false);
            received.resize(count);
            EXPECT_EQ(received, entry.expected);
            EXPECT_EQ(result.errors, entry.errors);
            if (entry.closeAfterReply) {
                char byte = 0;
                EXPECT_THROW(port.read(&byte, 1, nullptr, false), SerialLineGoneException);
            }
        }
        // Every line asks to be told of line errors.
        EXPECT_NE(std::find(peer.requests.begin(), peer.requests.end(), std::vector<std::uint8_t>{10, 0x1E}),
                  peer.requests.end());
    }
}

// A server that sends without pause fills only the line's bounded buffer: reads end on
// time, an abort and a close get their turn at once, the overrun is reported and the
// process does not grow.
TEST_F(NetworkLineTest, AFloodingServerNeitherHoldsUpTheCallerNorGrowsTheProcess)
{
    const std::string noise(65536, 'n');
    const auto flood = [&](int connection, const std::atomic<bool>& stop) {
        while (sendAll(connection, noise, stop)) {
        }
    };
    PortControlPeer telnetPeer;
    telnetPeer.reply = std::string(1 << 22, 'n');
    const struct {
        const char* scheme;
        FakeDeviceServer::Script script;
    } cases[] = {{"tcp", flood}, {"rfc2217", std::ref(telnetPeer)}};
    unsigned number = 50;
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.scheme);
        FakeDeviceServer server(entry.script);
        SystemSerialPort port(mapServer(++number, server.url(entry.scheme)), CommSettings(57600),
                              CommTimeouts(Milliseconds(1000), Milliseconds(1000)));
        port.open();
        port.write("?", 1, nullptr);
        const long before = residentBytes();
        std::uint8_t errors = 0;
        double slowest_ms = 0;
        const auto start = KelCommTest::SteadyClock::now();
        while (elapsedMs(start) < 1000) {
            char buffer[255];
            const auto readStart = KelCommTest::SteadyClock::now();
            errors |= port.read(buffer, sizeof buffer, nullptr, false).errors;
            slowest_ms = std::max(slowest_ms, elapsedMs(readStart));
        }
        EXPECT_LT(slowest_ms, 1500.0);
        EXPECT_TRUE(errors & IO_Result::Overrun);
#if !defined(__SANITIZE_ADDRESS__) && !defined(ADDRESS_SANITIZED) // its quarantine holds freed memory
        EXPECT_LT(residentBytes() - before, 16L << 20);
#endif
        std::atomic<bool> reading{true};
        std::thread reader([&] {
            char buffer[255];
            while (reading && port.read(buffer, sizeof buffer, nullptr, false).status != IO_Result::Aborted) {
            }
        });
        const auto abortStart = KelCommTest::SteadyClock::now();
        port.abort(true, false, true);
        EXPECT_LT(elapsedMs(abortStart), 500.0);
        reading = false;
        const auto closeStart = KelCommTest::SteadyClock::now();
        port.close();
        EXPECT_LT(elapsedMs(closeStart), 500.0);
        reader.join();
    }
}

// A data byte 0xFF whose doubling the full socket split counts once, also when a Telnet
// answer went out between its halves.
TEST_F(NetworkLineTest, ADoubledByteSplitByAnAnswerArrivesOnce)
{
    PortControlPeer peer;
    peer.pester = true;
    constexpr std::size_t total = 150000;
    {
        FakeDeviceServer server(std::ref(peer), 4096);
        SystemSerialPort port(mapServer(60, server.url("rfc2217")), CommSettings(921600),
                              CommTimeouts(Milliseconds(10), Milliseconds(10)));
        port.open();
        std::atomic<bool> writing{true};
        std::thread reader([&] {
            char buffer[255];
            while (writing)
                port.read(buffer, sizeof buffer, nullptr, false);
        });
        // One plain byte ahead puts the doubled ones at odd offsets, where a socket that takes
        // an even count splits them.
        const std::string block = "a" + std::string(4999, '\xFF');
        for (std::size_t sent = 0; sent < total; sent += block.size())
            ASSERT_TRUE(port.write(block.data(), static_cast<std::uint32_t>(block.size()), nullptr).isGood());
        const auto start = KelCommTest::SteadyClock::now();
        while (peer.dataBytes.load() < total && elapsedMs(start) < 20000)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        writing = false;
        reader.join();
    }
    EXPECT_EQ(peer.dataBytes.load(), total);
}

// A line on a device server is one open's at a time, in this process and in others, as a
// local device is: a second open fails as busy without reaching the server, which would
// otherwise drop the first client for it.
TEST_F(NetworkLineTest, AServerLineIsOpenedOnceAtATime)
{
    using KelTestSupport::Ser2net;
    if (Ser2net::program().empty())
        GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    const std::string runtimeFolder = (m_root / "run").string();
    std::filesystem::create_directory(runtimeFolder);
    const std::string goneFolder = (m_root / "gone").string();
    const std::string ownFolder = "/tmp/kelcomm-" + std::to_string(getuid());
    const struct {
        const char* runtimeDirectory;
        std::string lockFolder;
    } cases[] = {
        {runtimeFolder.c_str(), runtimeFolder},
        {nullptr, ownFolder},
        {goneFolder.c_str(), ownFolder},
    };
    const char* previous = getenv("XDG_RUNTIME_DIR");
    const std::string saved = previous ? previous : "";
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.lockFolder);
        if (entry.runtimeDirectory)
            setenv("XDG_RUNTIME_DIR", entry.runtimeDirectory, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        KelCommTest::PtyPair pty;
        Ser2net server({pty.slavePath()}, Ser2net::Accepter::Rfc2217);
        std::string failure;
        ASSERT_TRUE(server.start(failure)) << failure;
        const std::wstring name = mapServer(70, server.url());
        mapServer(71, server.url());
        SystemSerialPort first(name), sameServer(L"COM71");
        first.setTimeouts(CommTimeouts(KelTime::Seconds(5), Milliseconds(50)), false);
        first.open();
        EXPECT_EQ(openFailure(sameServer), L"Нет доступа к последовательному порту \"COM71\"");
        EXPECT_EQ(openFailure(first), L"Нет доступа к последовательному порту \"COM70\"");

        const std::string url = server.url();
        const std::string lock = entry.lockFolder + "/kelcomm-127.0.0.1_" + url.substr(url.rfind(':') + 1) + ".lock";
        struct stat file{};
        ASSERT_EQ(stat(lock.c_str(), &file), 0) << lock;
        EXPECT_EQ(file.st_mode & 0777, 0600u);

        pty.send("x");
        char byte = 0;
        EXPECT_TRUE(first.read(&byte, 1, nullptr, false).isGood());
        EXPECT_EQ(byte, 'x');
        first.close();
        EXPECT_NO_THROW(sameServer.open());
        std::filesystem::remove(lock);
        std::filesystem::remove(m_portsDir / "COM70");
        std::filesystem::remove(m_portsDir / "COM71");
    }
    if (previous)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

} // namespace
