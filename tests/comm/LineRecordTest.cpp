#include "comm/serial/LineRecord.h"
#include "comm/serial/SerialLine.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

namespace {

using namespace KelComm::Serial;
using namespace KelComm::Serial::Internal;

LinePlan planFor(const CommSettings& settings)
{
    termios device{};
    device.c_iflag = ICRNL | IXON | BRKINT;
    device.c_oflag = OPOST | ONLCR;
    device.c_lflag = ICANON | ECHO | ISIG;
    device.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
    device.c_cc[VINTR] = 3;
    LineImage image;
    putSettings(image, settings);
    return planLine(device, image);
}

TEST(LinePlan, TheRecordIsRawWhateverTheDeviceHad)
{
    const termios record = planFor(CommSettings()).record;
    EXPECT_EQ(record.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(record.c_oflag & OPOST, 0u);
    EXPECT_EQ(record.c_iflag & (ICRNL | IXON | IXOFF | BRKINT | INPCK | ISTRIP), 0u);
    EXPECT_NE(record.c_iflag & IGNBRK, 0u); // a break is an error flag, not a NUL in the data
    EXPECT_EQ(record.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(record.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(record.c_cflag & HUPCL, 0u); // left as the device had it
    EXPECT_EQ(record.c_cc[VINTR], 3);
}

TEST(LinePlan, DataBitsParityAndStopBits)
{
    const struct {
        int byteSize;
        Parity parity;
        StopBits stopBits;
        tcflag_t size;
        tcflag_t parityFlags;
        bool twoStops;
    } cases[] = {
        {5, Parity::None, StopBits::One, CS5, 0, false},
        {6, Parity::Odd, StopBits::Two, CS6, PARENB | PARODD, true},
        {7, Parity::Even, StopBits::One, CS7, PARENB, false},
        {8, Parity::Mark, StopBits::Two, CS8, PARENB | PARODD | CMSPAR, true},
        {8, Parity::Space, StopBits::One, CS8, PARENB | CMSPAR, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.byteSize * 10 + c.parity);
        const tcflag_t cflag = planFor(CommSettings(9600, c.byteSize, c.parity, c.stopBits)).record.c_cflag;
        EXPECT_EQ(cflag & CSIZE, c.size);
        EXPECT_EQ(cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ((cflag & CSTOPB) != 0, c.twoStops);
    }
}

TEST(LinePlan, StandardRatesUseSpeedConstantsOthersTheSecondRecord)
{
    for (unsigned long rate : {75ul, 300ul, 9600ul, 19200ul, 115200ul, 460800ul, 921600ul}) {
        const LinePlan plan = planFor(CommSettings(static_cast<long>(rate)));
        EXPECT_EQ(speedRate(cfgetospeed(&plan.record)), rate);
        EXPECT_EQ(plan.arbitraryBaudRate, 0u) << rate;
    }
    for (unsigned long rate : {134ul, 14400ul, 28800ul, 76800ul, 345600ul, 691200ul, 806400ul}) {
        const LinePlan plan = planFor(CommSettings(static_cast<long>(rate)));
        EXPECT_EQ(plan.arbitraryBaudRate, rate);
    }
}

TEST(LinePlan, ModemLinesHandshakeAndDirectionControl)
{
    const struct {
        DTR_Control dtr;
        RTS_Control rts;
        int raise;
        int drop;
        bool crtscts;
        bool rs485;
    } cases[] = {
        {DTR_Control::Disable, RTS_Control::Disable, 0, TIOCM_DTR | TIOCM_RTS, false, false},
        {DTR_Control::Enable, RTS_Control::Enable, TIOCM_DTR | TIOCM_RTS, 0, false, false},
        {DTR_Control::Handshake, RTS_Control::Handshake, TIOCM_DTR, 0, true, false},
        {DTR_Control::Disable, RTS_Control::Toggle, 0, TIOCM_DTR, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dtr * 10 + c.rts);
        const LinePlan plan = planFor(CommSettings(9600, 8, Parity::None, StopBits::One, c.dtr, c.rts));
        EXPECT_EQ(plan.raiseModemLines, c.raise);
        EXPECT_EQ(plan.dropModemLines, c.drop);
        EXPECT_EQ((plan.record.c_cflag & CRTSCTS) != 0, c.crtscts);
        EXPECT_EQ(plan.rs485, c.rs485);
    }
}

TEST(LineImage, ValuesOutsideTheEnumerationsLeaveTheImageAsItWas)
{
    LineImage image;
    putSettings(image, CommSettings(9600, 7, Parity::Odd, StopBits::Two, DTR_Control::Enable, RTS_Control::Toggle));
    putSettings(image, CommSettings(4800, 8, Parity(9), StopBits(5), DTR_Control(-1), RTS_Control(4)));
    EXPECT_EQ(image.baudRate, 4800);
    EXPECT_EQ(image.byteSize, 8);
    const CommSettings back = settingsFromImage(image);
    EXPECT_EQ(back.parity(), Parity::Odd);
    EXPECT_EQ(back.stopBits(), StopBits::Two);
    EXPECT_EQ(back.dtrControl(), DTR_Control::Enable);
    EXPECT_EQ(back.rtsControl(), RTS_Control::Toggle);
}

TEST(LineImage, TheDeviceLineIsAdoptedWithDefaultsForWhatSettingsCannotHold)
{
    DeviceLine device;
    cfsetspeed(&device.record, B57600);
    device.record.c_cflag |= CS7 | PARENB | PARODD | CMSPAR | CSTOPB;
    device.modemLines = TIOCM_DTR | TIOCM_RTS;
    LineImage image;
    adoptDeviceLine(image, device);
    CommSettings adopted = settingsFromImage(image);
    EXPECT_EQ(adopted.baudRate(), 57600);
    EXPECT_EQ(adopted.byteSize(), 7);
    EXPECT_EQ(adopted.parity(), Parity::Mark);
    EXPECT_EQ(adopted.stopBits(), StopBits::Two);
    EXPECT_EQ(adopted.dtrControl(), DTR_Control::Enable);
    EXPECT_EQ(adopted.rtsControl(), RTS_Control::Enable);
    EXPECT_EQ(image.byteTransmitTime, adopted.byteTransmitTime());

    DeviceLine odd;
    odd.baudRate = 3000000; // beyond what settings allow
    odd.record.c_cflag = CS8 | CRTSCTS;
    LineImage oddImage;
    adoptDeviceLine(oddImage, odd);
    adopted = settingsFromImage(oddImage);
    EXPECT_EQ(adopted.baudRate(), 19200);
    EXPECT_EQ(adopted.rtsControl(), RTS_Control::Handshake);
    EXPECT_EQ(adopted.dtrControl(), DTR_Control::Disable); // no modem lines to read
}

TEST(LineErrors, CounterGrowthMapsOntoResultFlags)
{
    const LineCounters before{3, 1, 0, 7, 2};
    const struct {
        LineCounters now;
        std::uint8_t flags;
    } cases[] = {
        {{3, 1, 0, 7, 2}, 0},
        {{4, 1, 0, 7, 2}, IO_Result::FramingError},
        {{3, 2, 0, 7, 2}, IO_Result::Overrun},
        {{3, 1, 0, 7, 3}, IO_Result::Overrun}, // the driver's buffer overflowed: data was lost
        {{3, 1, 5, 7, 2}, IO_Result::ParityError},
        {{3, 1, 0, 8, 2}, IO_Result::BreakDetected},
        {{9, 9, 9, 9, 9}, IO_Result::FramingError | IO_Result::Overrun | IO_Result::ParityError |
                              IO_Result::BreakDetected},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorFlagsBetween(before, c.now), c.flags);
}

} // namespace
