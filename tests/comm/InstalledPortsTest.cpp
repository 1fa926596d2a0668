#include "PtyFixture.h"

#include "comm/serial/InstalledSerialPorts.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"
#include "tests/support/FakeDeviceTree.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace KelComm::Serial;
namespace fs = std::filesystem;

class InstalledPortsTest : public KelCommTest::PortEnvironment {
protected:
    void SetUp() override
    {
        PortEnvironment::SetUp();
        InstalledSerialPorts::refresh();
        fs::create_directories(m_sysfsRoot / "devices" / "driver");
    }
    void TearDown() override
    {
        InstalledSerialPorts::refresh();
        PortEnvironment::TearDown();
    }

    // A tty class entry; with a driver link unless told otherwise, and a UART type for ttyS.
    void addTty(const std::string& name, bool withDriver = true, int uartType = 4) const
    {
        const fs::path entry = m_sysfsRoot / "class" / "tty" / name;
        fs::create_directories(entry / "device");
        if (withDriver)
            fs::create_directory_symlink(m_sysfsRoot / "devices" / "driver", entry / "device" / "driver");
        if (name.rfind("ttyS", 0) == 0)
            std::ofstream(entry / "type") << uartType << "\n";
    }

    static std::vector<std::pair<std::wstring, std::wstring>> listed()
    {
        std::vector<std::pair<std::wstring, std::wstring>> result;
        for (const SerialPortInfo& info : InstalledSerialPorts::installedPorts())
            result.emplace_back(info.portName, info.deviceName);
        return result;
    }

    static std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
};

TEST_F(InstalledPortsTest, PortsComeInNumericOrderWithTheMapWinning)
{
    KelCommTest::PtyPair mapped, replacing;
    addTty("ttyS9");                  // COM10, replaced by the map below
    addTty("ttyS0");                  // COM1
    addTty("ttyS1", true, 0);         // a UART slot nothing answers
    addTty("ttyUSB1");                // COM34
    addTty("ttyACM0", false);         // no driver
    addTty("tty0");                   // not a serial port
    mapPort(2, mapped.slavePath());
    mapPort(10, replacing.slavePath());
    mapPort(5, (m_root / "unplugged").string()); // dangling
    fs::create_symlink(mapped.slavePath(), m_portsDir / "COM05");
    fs::create_symlink(mapped.slavePath(), m_portsDir / "modem");

    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"COM1", L"/dev/ttyS0"},
        {L"COM2", wide(mapped.slavePath())},
        {L"COM10", wide(replacing.slavePath())},
        {L"COM34", L"/dev/ttyUSB1"},
    };
    EXPECT_EQ(listed(), expected);
}

TEST_F(InstalledPortsTest, PortsAreDescribedFromTheDeviceTreeAndKnowTheirStableNames)
{
    const std::string ftdi = "usb-FTDI_FT232R_USB_UART_A10K3X-if00-port0";
    const std::string modem = "usb-Arduino__www.arduino.cc__0043_8503631-if00";
    KelTest::FakeDeviceTree tree(m_sysfsRoot, m_stableNamesDir);
    tree.addUsbSerial("ttyUSB0", "ftdi_sio", {"FTDI", "FT232R USB UART", "A10K3X"}, ftdi);
    tree.addAcm("ttyACM0", {"Arduino (www.arduino.cc)", "Arduino (www.arduino.cc) Uno", "8503631"}, modem);
    tree.addUart("ttyS0", "serial8250");
    KelCommTest::PtyPair pty;
    mapPort(3, pty.slavePath());
    mapPort(5, (m_root / "unplugged").string()); // dangling: not a port
    // The modem pinned to COM40 through its stable name, its device node present.
    std::ofstream(m_root / "dev" / "ttyACM0").put('\n');
    mapPort(40, (m_stableNamesDir / modem).string());

    const std::wstring modemDescription = L"Arduino (www.arduino.cc) Uno, 8503631, cdc_acm";
    const std::vector<SerialPortInfo> expected = {
        {L"COM1", L"/dev/ttyS0", L"serial8250", L""},
        {L"COM3", wide(pty.slavePath()), L"→ " + wide(pty.slavePath()), L""},
        {L"COM33", L"/dev/ttyUSB0", L"FTDI FT232R USB UART, A10K3X, ftdi_sio", wide((m_stableNamesDir / ftdi).string())},
        {L"COM40", wide(fs::canonical(m_root / "dev" / "ttyACM0").string()),
         L"→ " + wide((m_stableNamesDir / modem).string()) + L": " + modemDescription,
         wide((m_stableNamesDir / modem).string())},
        {L"COM65", L"/dev/ttyACM0", modemDescription, wide((m_stableNamesDir / modem).string())},
    };
    const std::vector<SerialPortInfo>& ports = InstalledSerialPorts::installedPorts();
    ASSERT_EQ(ports.size(), expected.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ports[i].portName, expected[i].portName);
        EXPECT_EQ(ports[i].deviceName, expected[i].deviceName);
        EXPECT_EQ(ports[i].description, expected[i].description);
        EXPECT_EQ(ports[i].stableName, expected[i].stableName);
    }
}

TEST_F(InstalledPortsTest, TheTableIsReadOnceUntilRefreshed)
{
    addTty("ttyUSB0");
    EXPECT_EQ(listed().size(), 1u);
    addTty("ttyUSB2");
    EXPECT_EQ(listed().size(), 1u);
    InstalledSerialPorts::refresh();
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(InstalledPortsTest, NoTableThrowsAndTheNextCallTriesAgain)
{
    KelCommTest::PtyPair mapped;
    mapPort(7, mapped.slavePath());
    try {
        InstalledSerialPorts::installedPorts();
        ADD_FAILURE() << "no exception";
    } catch (const KelWin::WindowsException& error) {
        EXPECT_STREQ(error.message(), L"No such file or directory");
    }
    // Read on its own, the table keeps the port map's ports and hands the failure back.
    const SerialPortTable table = InstalledSerialPorts::readTable();
    ASSERT_EQ(table.ports.size(), 1u);
    EXPECT_EQ(table.ports[0].portName, L"COM7");
    ASSERT_TRUE(table.kernelTableFailure.has_value());
    EXPECT_STREQ(table.kernelTableFailure->message(), L"No such file or directory");

    addTty("ttyACM3");
    EXPECT_EQ(listed(), (std::vector<std::pair<std::wstring, std::wstring>>{{L"COM7", wide(mapped.slavePath())},
                                                                            {L"COM68", L"/dev/ttyACM3"}}));
    EXPECT_FALSE(InstalledSerialPorts::readTable().kernelTableFailure.has_value());
}

TEST_F(InstalledPortsTest, NoPortIsEverReportedInUse)
{
    KelCommTest::PtyPair pty;
    SystemSerialPort port(mapPty(3, pty));
    port.open();
    EXPECT_FALSE(InstalledSerialPorts::portInUse(L"COM3"));
    EXPECT_FALSE(InstalledSerialPorts::portInUse(L"nonsense"));
}

} // namespace
