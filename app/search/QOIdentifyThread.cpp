#include "app/search/QOIdentifyThread.h"

#include "app/datafiles/PortAdvice.h"
#include "app/link/LineTiming.h"
#include "app/link/Replies.h"
#include "app/link/Requests.h"
#include "baselib/exceptions/Exception.h"
#include "baselib/time/TimeDuration.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/CommTimeouts.h"
#include "comm/serial/SystemSerialPort.h"
#include "qtui/StringConversion.h"

#include <array>
#include <exception>
#include <memory>
#include <variant>

using namespace KelComm::Serial;
using KelBase::QtUI::convertToKelString;
using KelBase::QtUI::convertToQString;
namespace Link = VPanel::Link;

namespace {
constexpr int dataBits = 8;
constexpr std::uint32_t readSize = 255;

KelTime::TimeDuration duration(std::chrono::milliseconds time)
{
    return KelTime::TimeDuration::fromMilliseconds(static_cast<double>(time.count()));
}
} // namespace

void QOIdentifyThread::setRange(int begin, int end)
{
    beginAddress = begin;
    endAddress = end;
}

int QOIdentifyThread::addressCount(int begin, int end)
{
    return end < begin ? 0 : end - begin + 1;
}

void QOIdentifyThread::stope() { stopRequested = true; }

void QOIdentifyThread::run()
{
    // The flag is not cleared here: a stop that comes before the thread gets going counts.
    done = 0;
    emit progress(done, addressCount(beginAddress, endAddress));
    std::unique_ptr<SystemSerialPort> port;
    try {
        const CommSettings settings(scanBaud, dataBits, Parity::None, StopBits::One, DTR_Control::Disable,
                                    RTS_Control::Disable);
        port = std::make_unique<SystemSerialPort>(convertToKelString(scanPort), settings, false);
        port->setTimeouts(
            CommTimeouts(duration(Link::responseTimeout(scanBaud)), duration(Link::defaultWriteInterval)), false);
        port->open();
        scan(*port);
        port->close();
    } catch (const std::exception& error) {
        // Whether the port could not be had or failed later, this port's scan is over.
        QString text = QStringLiteral("%1: %2").arg(scanPort, convertToQString(KelBase::exceptionMessage(error)));
        if (const QString advice = PortAdvice::accessLine(scanPort); !advice.isEmpty())
            text += QLatin1Char('\n') + advice;
        emit alarm(text);
        emit progress(done, done);
        try {
            if (port && port->isOpened())
                port->close();
        } catch (const std::exception&) {
            // Already reported; the port goes away with the object.
        }
    }
    port.reset();
    emit finish();
}

void QOIdentifyThread::scan(SystemSerialPort& port)
{
    const int total = addressCount(beginAddress, endAddress);
    for (int address = beginAddress; address <= endAddress; ++address) {
        if (stopRequested)
            return;
        if (const std::optional<std::uint16_t> identifier = identify(port, address))
            emit add(scanPort, QSize(address, *identifier));
        emit progress(++done, total);
    }
}

std::optional<std::uint16_t> QOIdentifyThread::identify(SystemSerialPort& port, int address) const
{
    const Link::Frame request = Link::deviceIdentificationRequest(static_cast<std::uint8_t>(address));
    std::array<std::uint8_t, readSize> reply{};
    std::optional<std::uint16_t> identifier;
    // A stop is honoured between addresses, not within one.
    Link::repeatUntilAnswered(
        [&] {
            std::uint32_t sent = 0;
            std::uint32_t received = 0;
            port.write(request.bytes(), static_cast<std::uint32_t>(request.size()), &sent);
            port.read(reply.data(), readSize, &received, false);
            const Link::Reply decoded = Link::decodeSearchIdentification(request, reply.data(), received);
            if (decoded.status == Link::ReplyStatus::Ok)
                identifier = std::get<Link::DeviceIdentity>(decoded.content).identifier;
            return identifier.has_value();
        },
        addressBudget, [] { return false; });
    return identifier;
}
