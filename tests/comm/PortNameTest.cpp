#include "PtyFixture.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
    EXPECT_EQ(resolvePortPath(34), "/dev/ttyUSB1");
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
