#include "PtyFixture.h"

#include "comm/serial/InstalledSerialPorts.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"
#include "tests/support/FakeDeviceTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

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
    // A kernel device's node in the test's folder of device nodes.
    std::wstring node(const std::string& kernelName) const { return wide((m_root / "dev" / kernelName).string()); }
};

// A map entry takes its number from the kernel's device, which moves to the lowest free number
// above the built-in ranges rather than being hidden; a dangling link is listed as the port it
// names.
TEST_F(InstalledPortsTest, PortsComeInNumericOrderWithTheMapWinning)
{
    KelCommTest::PtyPair mapped, replacing;
    addTty("ttyS9");                  // COM10, taken by the map below
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
        {L"COM1", node("ttyS0")},
        {L"COM2", wide(mapped.slavePath())},
        {L"COM5", wide((m_root / "unplugged").string())},
        {L"COM10", wide(replacing.slavePath())},
        {L"COM34", node("ttyUSB1")},
        {L"COM129", node("ttyS9")},
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
    // An adapter whose product name is a huge sparse file without a line end: left out.
    tree.addUsbSerial("ttyUSB2", "ftdi_sio", {"FTDI", "hostile", "B20"}, "usb-FTDI_B20-if00-port0");
    const fs::path product = fs::canonical(m_sysfsRoot / "class" / "tty" / "ttyUSB2" / "device" / ".." / ".." / "product");
    std::ofstream(product, std::ios::trunc) << "hostile";
    fs::resize_file(product, std::uintmax_t(300) << 20);
    // The device's own strings reach a terminal: no control character passes.
    tree.addUsbSerial("ttyUSB3", "ftdi_sio", {"Evil\x1B[2J", "Prod\tX", "C3\xC2\x9B"}, "usb-Evil_C3-if00-port0");
    KelCommTest::PtyPair pty;
    mapPort(3, pty.slavePath());
    mapPort(5, (m_root / "unplugged").string()); // dangling: listed as not connected
    // The modem pinned to COM40 through its stable name, its device node present: listed
    // under that name alone.
    std::ofstream(m_root / "dev" / "ttyACM0").put('\n');
    mapPort(40, (m_stableNamesDir / modem).string());

    const std::wstring modemDescription = L"Arduino (www.arduino.cc) Uno, 8503631, cdc_acm";
    const std::wstring unplugged = wide((m_root / "unplugged").string());
    const std::vector<SerialPortInfo> expected = {
        {L"COM1", node("ttyS0"), L"serial8250", L""},
        {L"COM3", wide(pty.slavePath()), L"→ " + wide(pty.slavePath()), L""},
        {L"COM5", unplugged, L"→ " + unplugged + L": адаптер не подключён", L"", false},
        {L"COM33", node("ttyUSB0"), L"FTDI FT232R USB UART, A10K3X, ftdi_sio", wide((m_stableNamesDir / ftdi).string())},
        {L"COM35", node("ttyUSB2"), L"FTDI, B20, ftdi_sio", wide((m_stableNamesDir / "usb-FTDI_B20-if00-port0").string())},
        {L"COM36", node("ttyUSB3"), L"Evil\uFFFD[2J Prod\uFFFDX, C3\uFFFD, ftdi_sio",
         wide((m_stableNamesDir / "usb-Evil_C3-if00-port0").string())},
        {L"COM40", wide(fs::canonical(m_root / "dev" / "ttyACM0").string()),
         L"→ " + wide((m_stableNamesDir / modem).string()) + L": " + modemDescription,
         wide((m_stableNamesDir / modem).string())},
    };
    const std::vector<SerialPortInfo>& ports = InstalledSerialPorts::installedPorts();
    ASSERT_EQ(ports.size(), expected.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ports[i].portName, expected[i].portName);
        EXPECT_EQ(ports[i].deviceName, expected[i].deviceName);
        EXPECT_EQ(ports[i].description, expected[i].description);
        EXPECT_EQ(ports[i].stableName, expected[i].stableName);
        EXPECT_EQ(ports[i].connected, expected[i].connected);
    }
}

// Adapters on pseudo-terminals, plugged in and out as udev shows them: a tty class entry, a
// device node and a stable name. The list and the opener agree at every step: the pinned
// adapter keeps its number in any socket, the other one is never hidden nor named after it,
// and an unplugged pinned adapter is listed as such and refused as such.
TEST_F(InstalledPortsTest, APinnedAdapterKeepsItsNumberAndTheListAgreesWithTheOpener)
{
    struct Adapter {
        std::string serial;
        std::string stableName;
        KelCommTest::PtyPair pty;
    };
    // The pinned adapter's stable name is not UTF-8: the link must hold its very bytes.
    Adapter pinned{"A1", "usb-Caf\xE9_A1-if00-port0", {}};
    Adapter other{"B2", "usb-Other_B2-if00-port0", {}};
    Adapter third{"C3", "usb-Third_C3-if00-port0", {}};
    KelTest::FakeDeviceTree tree(m_sysfsRoot, m_stableNamesDir);
    const auto plug = [&](const std::string& kernelName, const Adapter& adapter) {
        tree.addUsbSerial(kernelName, "ftdi_sio", {"FTDI", "FT232R", adapter.serial}, adapter.stableName);
        fs::create_symlink(adapter.pty.slavePath(), m_root / "dev" / kernelName);
    };
    const auto unplug = [&](const std::string& kernelName, const Adapter& adapter) {
        fs::remove(m_sysfsRoot / "class" / "tty" / kernelName);
        fs::remove(m_root / "dev" / kernelName);
        fs::remove(m_stableNamesDir / adapter.stableName);
    };
    plug("ttyUSB0", pinned);
    InstalledSerialPorts::pinPort(L"COM33");
    EXPECT_EQ(fs::read_symlink(m_portsDir / "COM33"), m_stableNamesDir / pinned.stableName);
    unplug("ttyUSB0", pinned);

    struct Listed {
        std::wstring portName;
        const Adapter* adapter; // null: not connected
    };
    const struct {
        const char* step;
        std::function<void()> change;
        std::vector<Listed> listed;
    } steps[] = {
        {"re-plugged the other way round",
         [&] {
             plug("ttyUSB0", other);
             plug("ttyUSB1", pinned);
         },
         {{L"COM33", &pinned}, {L"COM129", &other}}},
        {"pinned adapter unplugged", [&] { unplug("ttyUSB1", pinned); }, {{L"COM33", nullptr}, {L"COM129", &other}}},
        {"pinned adapter back", [&] { plug("ttyUSB3", pinned); }, {{L"COM33", &pinned}, {L"COM129", &other}}},
        // The displaced adapter stays where it is when a third one takes the next built-in number.
        {"third adapter plugged", [&] { plug("ttyUSB1", third); },
         {{L"COM33", &pinned}, {L"COM34", &third}, {L"COM129", &other}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        step.change();
        const std::vector<SerialPortInfo> ports = InstalledSerialPorts::readTable().ports;
        ASSERT_EQ(ports.size(), step.listed.size());
        for (std::size_t i = 0; i < ports.size(); ++i) {
            const Listed& expected = step.listed[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(ports[i].portName, expected.portName);
            EXPECT_EQ(ports[i].connected, expected.adapter != nullptr);
            SystemSerialPort port(expected.portName);
            if (!expected.adapter) {
                EXPECT_NE(ports[i].description.find(L"адаптер не подключён"), std::wstring::npos);
                EXPECT_NE(KelCommTest::openFailure(port).find(L"не подключён"), std::wstring::npos);
                continue;
            }
            EXPECT_NE(ports[i].description.find(wide(expected.adapter->serial)), std::wstring::npos);
            port.open();
            ASSERT_TRUE(port.write("Z", 1, nullptr).isGood());
            EXPECT_EQ(expected.adapter->pty.receive(1, std::chrono::seconds(5)), std::vector<std::uint8_t>{'Z'});
        }
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
                                                                            {L"COM68", node("ttyACM3")}}));
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
