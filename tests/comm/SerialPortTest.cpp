#include "PtyFixture.h"
#include "Ser2net.h"

#include "baselib/signals/SignalRaiser.h"
#include "comm/serial/InstalledSerialPorts.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"
#include "comm/serial/Termios2.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include <termios.h>

namespace {

using namespace KelComm::Serial;
using KelCommTest::LogCapture;
using KelCommTest::PtyPair;
using KelTime::TimeDuration;

const std::wstring closedText = L"Попытка выполнить операцию ввода-вывода с закрытым портом";

std::wstring pathOf(const PtyPair& pty) { return std::wstring(pty.slavePath().begin(), pty.slavePath().end()); }

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

using KelCommTest::openFailure;

class SerialPortTest : public KelCommTest::PortEnvironment {};

TEST_F(SerialPortTest, OpenAndCloseWriteTheirGreenLinesWithTheDevicePath)
{
    PtyPair pty;
    LogCapture log;
    {
        SystemSerialPort port(mapPty(7, pty));
        EXPECT_FALSE(port.isOpened());
        port.open();
        EXPECT_TRUE(port.isOpened());
        // A pseudo-terminal has no low-latency mode: said once for the port, and it works all the same.
        std::uint32_t sent = 0;
        EXPECT_EQ(port.write("ping", 4, &sent).status, IO_Result::Success);
        EXPECT_EQ(pty.receive(4, std::chrono::seconds(5)), (std::vector<std::uint8_t>{'p', 'i', 'n', 'g'}));
        port.close();
        EXPECT_FALSE(port.isOpened());
        port.close(); // closing a closed port does nothing
        port.open();
    } // the destructor closes too
    const std::wstring path = pathOf(pty);
    EXPECT_EQ(log.text(), L"Открытие порта '" + path + L"'. . .\n" + L"Порт '" + path + L"' открыт успешно\n" +
                              L"Порт '" + path + L"' работает без режима малой задержки: драйвер его не поддерживает\n" +
                              L"Порт '" + path + L"' закрыт\n" + L"Открытие порта '" + path + L"'. . .\n" +
                              L"Порт '" + path + L"' открыт успешно\n" + L"Порт '" + path + L"' закрыт\n");
}

TEST_F(SerialPortTest, AMissingDeviceIsNotFoundWithARedLine)
{
    mapPort(9, (m_root / "no-such-device").string());
    LogCapture log;
    SystemSerialPort unmapped(L"COM200"), dangling(L"COM9");
    EXPECT_EQ(openFailure(unmapped), L"Последовательный порт \"COM200\" не найден");
    // A link whose device is missing names it: the adapter is unplugged.
    EXPECT_EQ(openFailure(dangling), L"Последовательный порт \"COM9\" не найден: адаптер " +
                                         (m_root / "no-such-device").wstring() + L" не подключён");
    EXPECT_FALSE(dangling.isOpened());
    // A loop of links is no unplugged adapter: it fails with its own reason.
    mapPort(8, (m_portsDir / "COM8").string());
    SystemSerialPort looped(L"COM8");
    EXPECT_EQ(openFailure(looped), L"Too many levels of symbolic links");
    EXPECT_TRUE(contains(log.text(), L"Ошибка 2 при открытии порта '" +
                                         (m_portsDir / "COM200").wstring() + L"'\n"));
}

// A port on a device server that cannot be reached, or an entry naming none, fails to open
// with why, and the port list shows the entry with what is wrong with it.
TEST_F(SerialPortTest, AnUnreachableOrMalformedServerEntryFailsWithWhy)
{
    const std::uint16_t closedPort = KelTestSupport::Ser2net::freePort();
    const struct {
        std::string firstLine;
        std::wstring failure;
    } cases[] = {
        {"ftp://127.0.0.1:20", L"строка 1 \"ftp://127.0.0.1:20\": ожидается адрес вида"},
        {"tcp://127.0.0.1:0", L"номер порта должен лежать в пределах от 1 до 65535"},
        {"rfc2217://:4000", L"не задан узел"},
        {"tcp://no-such-host.invalid:4000", L"сервер tcp://no-such-host.invalid:4000 недоступен"},
        {"rfc2217://127.0.0.1:" + std::to_string(closedPort), L"Connection refused"},
    };
    unsigned number = 20;
    for (const auto& entry : cases) {
        SystemSerialPort port(mapServer(++number, entry.firstLine));
        EXPECT_TRUE(contains(openFailure(port), entry.failure)) << entry.firstLine;
        EXPECT_FALSE(port.isOpened());
    }
    const SerialPortTable table = InstalledSerialPorts::readTable();
    ASSERT_EQ(table.ports.size(), std::size(cases));
    EXPECT_TRUE(contains(table.ports[0].description, L"ожидается адрес вида"));
    EXPECT_EQ(table.ports[3].description, L"tcp://no-such-host.invalid:4000");
}

// Over Telnet port control the rate reaches the server's line, and every byte value passes
// both ways, 0xFF included; a server that dies ends a blocked read as a vanished line does.
TEST_F(SerialPortTest, AServerLineTakesTheRateCarriesEveryByteAndEndsWhenTheServerDies)
{
    using KelTestSupport::Ser2net;
    if (Ser2net::program().empty())
        GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    PtyPair pty;
    Ser2net server({pty.slavePath()}, Ser2net::Accepter::Rfc2217);
    std::string failure;
    ASSERT_TRUE(server.start(failure)) << failure;
    SystemSerialPort port(mapServer(5, server.url()), CommSettings(57600), CommTimeouts(KelTime::Seconds(5), KelTime::Milliseconds(50)));
    port.open();
    termios line{};
    ASSERT_EQ(tcgetattr(pty.master(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B57600);

    std::vector<std::uint8_t> every(256);
    for (std::size_t value = 0; value < every.size(); ++value)
        every[value] = static_cast<std::uint8_t>(value);
    ASSERT_TRUE(port.write(every.data(), 256, nullptr).isGood());
    EXPECT_EQ(pty.receive(256, std::chrono::seconds(5)), every);
    pty.send(every);
    std::vector<std::uint8_t> received(256);
    std::uint32_t count = 0;
    port.read(received.data(), 256, &count, false);
    EXPECT_EQ(received, every);

    port.setTimeouts(CommTimeouts(TimeDuration::infinity(), TimeDuration::infinity()), false);
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        server.kill();
    });
    std::uint8_t byte = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(port.read(&byte, 1, nullptr, false), SerialLineGoneException);
    killer.join();
    EXPECT_LT(KelCommTest::elapsedMs(start), 2000.0);
}

TEST_F(SerialPortTest, ADeviceIsOpenedOnceAtATime)
{
    PtyPair pty;
    const std::wstring name = mapPty(7, pty);
    SystemSerialPort first(name), second(name);
    first.open();
    EXPECT_EQ(openFailure(second), L"Нет доступа к последовательному порту \"COM7\"");
    // Reopening the same device takes the new handle first, so it fails the same way and
    // the port stays on its old handle.
    EXPECT_EQ(openFailure(first), L"Нет доступа к последовательному порту \"COM7\"");
    EXPECT_TRUE(first.isOpened());
    pty.send("x");
    char byte = 0;
    std::uint32_t received = 0;
    first.setTimeouts(CommTimeouts(KelTime::Seconds(1), TimeDuration::null()), false);
    EXPECT_TRUE(first.read(&byte, 1, &received, false).isGood());
    EXPECT_EQ(byte, 'x');
    first.close();
    EXPECT_NO_THROW(second.open());
}

TEST_F(SerialPortTest, RenamingAnOpenPortMovesItToTheNewDevice)
{
    PtyPair one, two;
    mapPty(7, one);
    mapPty(8, two);
    SystemSerialPort port(L"com7");
    port.setTimeouts(CommTimeouts(KelTime::Seconds(1), TimeDuration::null()), false);
    port.open();
    port.setName(L"COM8");
    EXPECT_EQ(port.name(), L"COM8");
    EXPECT_TRUE(port.isOpened());
    two.send("y");
    char byte = 0;
    EXPECT_TRUE(port.read(&byte, 1, nullptr, false).isGood());
    EXPECT_EQ(byte, 'y');
    SystemSerialPort other(L"COM7");
    EXPECT_NO_THROW(other.open()); // the old device was let go
    other.close();

    EXPECT_THROW(port.setName(L"COM200"), SerialPortSystemException);
    EXPECT_EQ(port.name(), L"COM8"); // a failed reopen keeps name and line
    EXPECT_TRUE(port.isOpened());
    port.setName(L"");
    EXPECT_FALSE(port.isOpened());
}

TEST_F(SerialPortTest, OperationsOnAClosedPortAreRefused)
{
    SystemSerialPort port(L"COM7");
    char buffer[4];
    std::uint32_t in = 0, out = 0;
    const KelTime::Timeout soon(KelTime::Milliseconds(1));
    const std::function<void()> operations[] = {
        [&] { port.read(buffer, 4, nullptr, false); },
        [&] { port.write(buffer, 4, nullptr); },
        [&] { port.waitForByteReceived(soon); },
        [&] { port.waitForNonbreakStatus(soon); },
        [&] { port.setBreakStatus(true); },
        [&] { port.reserveQueueSize(4096, 4096); },
        [&] { port.queryQueueStatus(in, out); },
        [&] { port.clearQueue(true, true); },
    };
    for (const auto& operation : operations) {
        try {
            operation();
            ADD_FAILURE() << "not refused";
        } catch (const SerialPortException& error) {
            EXPECT_EQ(error.message(), closedText);
        }
    }
    EXPECT_NO_THROW(port.abort(true, true, true));
    EXPECT_NO_THROW(port.clearAbortFlag(true, true));
}

TEST_F(SerialPortTest, EveryBaudRateReachesTheLine)
{
    PtyPair pty;
    SystemSerialPort port(mapPty(7, pty));
    port.open();
    for (long rate : {75L, 110L, 134L, 150L, 300L, 1200L, 2400L, 4800L, 9600L, 14400L, 19200L, 28800L, 38400L,
                      57600L, 76800L, 115200L, 230400L, 345600L, 460800L, 500000L, 576000L, 691200L, 806400L,
                      921600L}) {
        const CommSettings settings(rate);
        port.setSettings(settings, false);
        // The master sees the slave's record.
        EXPECT_EQ(KelComm::Serial::Internal::readBaudRate(pty.master()), static_cast<unsigned long>(rate));
        CommSettings back;
        port.settings(back);
        EXPECT_EQ(back.baudRate(), rate);
    }
}

TEST_F(SerialPortTest, AnOpenedPortWithoutSettingsReportsTheDevicesOwn)
{
    PtyPair pty;
    pty.setDeviceSpeed(B57600);

    SystemSerialPort port(mapPty(7, pty));
    CommSettings before;
    port.settings(before);
    EXPECT_EQ(before.baudRate(), 19200); // nothing known yet
    port.open();
    CommSettings adopted;
    port.settings(adopted);
    EXPECT_EQ(adopted.baudRate(), 57600);
    EXPECT_EQ(adopted.byteSize(), 8);
    EXPECT_EQ(adopted.parity(), Parity::None);

    CommTimeouts timeouts(KelTime::Seconds(5), KelTime::Seconds(5));
    port.timeouts(timeouts);
    TimeDuration response, interval;
    timeouts.getReadTimeouts(response, interval);
    EXPECT_TRUE(response.isInfinite());
    EXPECT_TRUE(interval.isInfinite());
}

TEST_F(SerialPortTest, SettingsAppliedWhileClosedTakeEffectAtOpen)
{
    PtyPair pty;
    SystemSerialPort port(mapPty(7, pty));
    port.setSettings(CommSettings(2400), false);
    EXPECT_NE(KelComm::Serial::Internal::readBaudRate(pty.master()), 2400ul);
    port.open();
    EXPECT_EQ(KelComm::Serial::Internal::readBaudRate(pty.master()), 2400ul);
}

// The port keeps copies of what it is given: callers pass locals and temporaries. An
// untracked object is reported as given; a tracked one as it last was while it lived. New
// objects made after the others died take their freed storage, where a port that kept the
// objects themselves would read these values instead (and AddressSanitizer would stop it).
TEST_F(SerialPortTest, GivenObjectsAreCopiedAndTrackedOnesFollowedWhileTheyLive)
{
    SystemSerialPort port(L"COM7");
    {
        CommSettings untracked(9600);
        port.setSettings(untracked, false);
        untracked.setBaudRate(4800);
    }
    port.setTimeouts(CommTimeouts(KelTime::Seconds(1), KelTime::Milliseconds(20)), false);
    const CommSettings laterSettings(1200);
    const CommTimeouts laterTimeouts(KelTime::Seconds(9), KelTime::Seconds(9));
    CommSettings settings;
    port.settings(settings);
    EXPECT_EQ(settings.baudRate(), 9600);
    CommTimeouts reported;
    port.timeouts(reported);
    TimeDuration response, interval;
    reported.getReadTimeouts(response, interval);
    EXPECT_EQ(response, TimeDuration(KelTime::Seconds(1)));
    EXPECT_EQ(interval, TimeDuration(KelTime::Milliseconds(20)));

    {
        CommSettings tracked(2400);
        port.setSettings(tracked, true);
        tracked.setBaudRate(57600);
    }
    const CommSettings laterStill(300);
    port.settings(settings);
    EXPECT_EQ(settings.baudRate(), 57600);
}

TEST_F(SerialPortTest, TrackedSettingsFollowTheObjectUntilDropped)
{
    PtyPair pty;
    CommSettings settings(9600);
    SystemSerialPort port(mapPty(7, pty), settings, true);
    port.open();
    settings.setBaudRate(57600);
    EXPECT_EQ(KelComm::Serial::Internal::readBaudRate(pty.master()), 57600ul);

    const CommSettings fixed(2400);
    port.setSettings(fixed, false); // ends the earlier subscription
    settings.setBaudRate(115200);
    EXPECT_EQ(KelComm::Serial::Internal::readBaudRate(pty.master()), 2400ul);
    EXPECT_EQ(settings.signalSubject().observerCount(), 0u);
}

TEST_F(SerialPortTest, ALineThatRefusesTrackedSettingsIsClosedWithARedLine)
{
    PtyPair pty;
    CommSettings settings(9600);
    SystemSerialPort port(mapPty(7, pty), settings, true);
    port.open();
    pty.closeMaster();
    pty.closeSlave();
    LogCapture log;
    EXPECT_NO_THROW(settings.setBaudRate(19200)); // nothing reaches the raiser
    EXPECT_FALSE(port.isOpened());
    EXPECT_TRUE(contains(log.text(), L"Исключение при попытке изменения параметров передачи данных через порт 'COM7', "
                                     L"с сообщением: \"Input/output error\". Порт будет закрыт\n"));
    EXPECT_TRUE(contains(log.text(), L"Порт '" + pathOf(pty) + L"' закрыт\n"));
}

TEST_F(SerialPortTest, QueueStatusClearingAndBreak)
{
    PtyPair pty;
    SystemSerialPort port(mapPty(7, pty));
    port.open();
    pty.send("hello");
    std::uint32_t input = 0, output = 0;
    for (int attempt = 0; attempt < 100 && input < 5; ++attempt) {
        port.queryQueueStatus(input, output);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(input, 5u);
    port.clearQueue(true, false);
    port.queryQueueStatus(input, output);
    EXPECT_EQ(input, 0u);
    EXPECT_NO_THROW(port.reserveQueueSize(4096, 4096));

    // A pseudo-terminal takes a break and reports none.
    port.setBreakStatus(true);
    port.setBreakStatus(false);
    const auto start = KelCommTest::SteadyClock::now();
    const IO_Result result = port.waitForNonbreakStatus(KelTime::Timeout(KelTime::Seconds(1)));
    EXPECT_EQ(result.status, IO_Result::Success);
    EXPECT_EQ(result.errors, 0);
    EXPECT_LT(KelCommTest::elapsedMs(start), 100.0);
}

// Change handlers take the port lock under the class lock; the port must never take them
// the other way round. One thread raises changes of the attached objects (as their setters
// would, without touching their values) while another reads and re-attaches them.
TEST_F(SerialPortTest, ChangesAndPortCallsFromSeveralThreadsDoNotDeadlock)
{
    PtyPair pty;
    const CommSettings tracked(9600);
    const CommTimeouts timeouts(KelTime::Milliseconds(10), KelTime::Milliseconds(5));
    SystemSerialPort port(mapPty(7, pty), tracked, true, timeouts, true);
    port.open();
    std::atomic<bool> stop{false};
    std::thread changer([&] {
        const KelBase::SignalRaiser<CommSettings::SignalSubject> raiseSettings(tracked.signalSubject());
        const KelBase::SignalRaiser<CommTimeouts::SignalSubject> raiseTimeouts(timeouts.signalSubject());
        while (!stop) {
            raiseSettings(&CommSettings::SignalTable::changed, &tracked);
            raiseTimeouts(&CommTimeouts::SignalTable::changed, &timeouts);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    CommSettings seen;
    CommTimeouts seenTimeouts;
    for (int round = 0; round < 200; ++round) {
        port.settings(seen);
        port.timeouts(seenTimeouts);
        port.setSettings(tracked, round % 2 == 0);
        port.setTimeouts(timeouts, round % 3 != 0);
    }
    stop = true;
    changer.join();
    EXPECT_TRUE(port.isOpened());
    EXPECT_EQ(seen.baudRate(), 9600);
}

} // namespace
