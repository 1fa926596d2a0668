#include "PtyFixture.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/InstalledSerialPorts.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace KelComm::Serial;
using namespace KelComm::Serial::Internal;

const std::wstring syntaxText =
    L"Имя последовательного порта должно быть задано в формате \"COMx\", где x - номер порта";

TEST(PortName, AcceptedNamesGiveTheirNumber)
{
    const struct {
        const wchar_t* name;
        std::uint16_t number;
        const wchar_t* display;
    } cases[] = {
        {L"COM7", 7, L"COM7"},   {L"com7", 7, L"COM7"},         {L"Com7", 7, L"COM7"},
        {L"COM03", 3, L"COM3"},  {L"COM12", 12, L"COM12"},      {L"COM65535", 65535, L"COM65535"},
        {L"COM0", 0, L""},       {L"", 0, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parsePortName(c.name), c.number);
        SystemSerialPort port(c.name);
        EXPECT_EQ(port.name(), c.display);
    }
}

TEST(PortName, MalformedNamesAreRefusedWithTheSyntaxText)
{
    for (const wchar_t* name : {L"CNCA0", L"COM7a", L"CO7", L"COMX", L" COM7", L"COM 7", L"COM-1", L"ÇOM7"}) {
        SCOPED_TRACE(name);
        try {
            parsePortName(name);
            ADD_FAILURE() << "accepted";
        } catch (const InvalidSerialPortNameException& error) {
            EXPECT_EQ(error.message(), syntaxText);
        }
    }
}

TEST(PortName, DigitsThatMakeNoPortNumberFailAsANumberConversion)
{
    EXPECT_THROW(parsePortName(L"COM65536"), KelBase::NonConvertibleException);
    EXPECT_THROW(parsePortName(L"COM"), KelBase::NonConvertibleException);
    EXPECT_THROW(parsePortName(L"COM99999999999999999999"), KelBase::NonConvertibleException);
}

TEST(PortName, ARefusedNameLeavesThePortAsItWas)
{
    SystemSerialPort port(L"COM5");
    EXPECT_THROW(port.setName(L"COM7a"), InvalidSerialPortNameException);
    EXPECT_THROW(port.setName(L"COM70000"), KelBase::NonConvertibleException);
    EXPECT_EQ(port.name(), L"COM5");
}

TEST(PortName, OpeningWithoutANameIsRefused)
{
    for (const wchar_t* name : {L"", L"COM0"}) {
        SystemSerialPort port(name);
        try {
            port.open();
            ADD_FAILURE() << "opened";
        } catch (const InvalidSerialPortNameException& error) {
            EXPECT_STREQ(error.message(), L"Не задано системное имя порта");
        }
        EXPECT_FALSE(port.isOpened());
    }
}

TEST(BuiltInNumbering, KernelNamesMapOntoFourRangesOf32)
{
    const struct {
        const char* kernel;
        std::uint16_t number;
    } cases[] = {
        {"ttyS0", 1},    {"ttyS31", 32},  {"ttyUSB0", 33}, {"ttyUSB31", 64}, {"ttyACM0", 65},
        {"ttyACM5", 70}, {"ttyAMA0", 97}, {"ttyAMA31", 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kernel);
        EXPECT_EQ(builtInPortNumber(c.kernel), c.number);
        EXPECT_EQ(builtInKernelName(c.number), c.kernel);
    }
    for (const char* other : {"ttyS32", "ttyS01", "ttyUSB", "tty0", "ttyXRUSB0", "ptmx", "ttyS1a"})
        EXPECT_EQ(builtInPortNumber(other), 0) << other;
    EXPECT_EQ(builtInKernelName(0), "");
    EXPECT_EQ(builtInKernelName(129), "");
}

class PortMapTest : public KelCommTest::PortEnvironment {};

TEST_F(PortMapTest, TheMapWinsOverBuiltInNumbering)
{
    KelCommTest::PtyPair pty;
    mapPort(3, pty.slavePath());
    EXPECT_EQ(resolvePortPath(3), pty.slavePath());
    // Without the kernel's table, the built-in numbering is all there is.
    EXPECT_EQ(resolvePortPath(34), (m_root / "dev" / "ttyUSB1").string());
    // Neither mapped nor built in: the would-be link, which does not exist.
    EXPECT_EQ(resolvePortPath(200), (m_portsDir / "COM200").string());
}

TEST_F(PortMapTest, LinksResolveThroughChainsAndDanglingOnesKeepTheirTarget)
{
    KelCommTest::PtyPair pty;
    std::filesystem::create_symlink(pty.slavePath(), m_root / "by-id");
    mapPort(4, (m_root / "by-id").string());
    mapPort(5, "../missing-device");
    EXPECT_EQ(resolvePortPath(4), pty.slavePath());
    EXPECT_EQ(resolvePortPath(5), (m_root / "missing-device").string());
}

// An entry's first line names a server or says what is wrong with it; only the first 4 KiB of
// an entry are ever read, so a huge or sparse file costs no more than a small one, and a bad
// entry spoils no other port of the list.
TEST_F(PortMapTest, ServerEntriesAreJudgedByABoundedFirstLine)
{
    constexpr std::uintmax_t hugeSize = std::uintmax_t(8) << 30;
    using Protocol = NetworkAddress::Protocol;
    const struct {
        std::string content;
        std::uintmax_t sparseSize; // the file grows to it, holes after the content; 0 leaves it
        const char* host;          // null when refused
        std::uint16_t port;
        Protocol protocol;
        std::wstring refusal;
    } cases[] = {
        {"tcp://host.example:4000\n", 0, "host.example", 4000, Protocol::RawTcp, {}},
        {"RFC2217://10.0.0.7:2001/\r\n", 0, "10.0.0.7", 2001, Protocol::Rfc2217, {}},
        {"\xEF\xBB\xBFtcp://ser_2-net:7\n", 0, "ser_2-net", 7, Protocol::RawTcp, {}},
        {"Tcp://[::1]:4000 \n", 0, "::1", 4000, Protocol::RawTcp, {}},
        {"tcp://[fe80::1]:65535", 0, "fe80::1", 65535, Protocol::RawTcp, {}},
        {"tcp://[fe80::1%eth0]:4000\n", 0, "fe80::1%eth0", 4000, Protocol::RawTcp, {}},
        {"tcp://[fe80::1%]:4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"[fe80::1%]\""},
        {"tcp://[fe80::1%a b]:4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"[fe80::1%a b]\""},
        {"tcp://-:4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"-\""},
        {"tcp://a..b:4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"a..b\""},
        // The quoted line carries no control character to the terminal.
        {"tcp://host:0\r\n", 0, nullptr, 0, {}, L"строка 1 \"tcp://host:0\": "},
        {"tcp://host:1\x1B[2J\n", 0, nullptr, 0, {}, L"строка 1 \"tcp://host:1\uFFFD[2J\": "},
        {"tcp://host:4000\n", hugeSize, "host", 4000, Protocol::RawTcp, {}},
        {"tcp://host :4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"host \""},
        {"tcp://h\tst:4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"h\uFFFDst\""},
        {"tcp://user:pw@host:4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"user:pw@host\""},
        {"tcp://[::1]x:4000\n", 0, nullptr, 0, {}, L"после узла ожидается двоеточие"},
        {"tcp://[::1:4000\n", 0, nullptr, 0, {}, L"недопустимый узел \"[::1:4000\""},
        {"tcp://::1:4000\n", 0, nullptr, 0, {}, L"в квадратных скобках: [::1]"},
        {"tcp://host\n", 0, nullptr, 0, {}, L"после узла ожидается двоеточие"},
        {"tcp://:4000\n", 0, nullptr, 0, {}, L"не задан узел"},
        {"tcp://host:65536\n", 0, nullptr, 0, {}, L"от 1 до 65535"},
        {"tcp://" + std::string(5000, 'a') + ":1\n", 0, nullptr, 0, {}, L"первая строка длиннее 4096 байт"},
        {"", hugeSize, nullptr, 0, {}, L"первая строка длиннее 4096 байт"},
    };
    unsigned number = 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 40));
        const std::filesystem::path file = m_portsDir / ("COM" + std::to_string(++number));
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.content;
        if (c.sparseSize)
            std::filesystem::resize_file(file, c.sparseSize);
        try {
            const NetworkAddress address = networkEntry(static_cast<std::uint16_t>(number)).value();
            ASSERT_NE(c.host, nullptr) << "accepted";
            EXPECT_EQ(address.host, c.host);
            EXPECT_EQ(address.port, c.port);
            EXPECT_EQ(address.protocol, c.protocol);
        } catch (const PortMapException& refused) {
            ASSERT_EQ(c.host, nullptr) << "refused: " << KelBase::Conversion::stringToUTF8(refused.message());
            EXPECT_NE(std::wstring(refused.message()).find(c.refusal), std::wstring::npos)
                << KelBase::Conversion::stringToUTF8(refused.message());
        }
    }
    const SerialPortTable table = InstalledSerialPorts::readTable();
    ASSERT_EQ(table.ports.size(), std::size(cases));
    EXPECT_EQ(table.ports.front().description, L"tcp://host.example:4000");
    EXPECT_NE(table.ports.back().description.find(L"длиннее 4096 байт"), std::wstring::npos);
}

TEST_F(PortMapTest, TheDirectoryFollowsTheEnvironment)
{
    EXPECT_EQ(portMapDirectory(), m_portsDir);
    unsetenv("KELCOMM_PORTS_DIR");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(portMapDirectory(), std::filesystem::path("/cfg/kelcomm/ports"));
    unsetenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", "/home/op", 1);
    EXPECT_EQ(portMapDirectory(), std::filesystem::path("/home/op/.config/kelcomm/ports"));
    setenv("HOME", home.c_str(), 1);
}

} // namespace
