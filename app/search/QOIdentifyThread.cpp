#include "app/search/QOIdentifyThread.h"

#include "datafiles/PortAdvice.h"
#include "link/LineTiming.h"
#include "link/Replies.h"
#include "link/Requests.h"
#include "baselib/exceptions/Exception.h"
#include "baselib/time/TimeDuration.h"
#include "comm/serial/CommSettings.h"
#include "comm/serial/CommTimeouts.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"
#include "qtui/StringConversion.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <thread>
#include <variant>

using namespace KelComm::Serial;
using KelBase::QtUI::convertToKelString;
using KelBase::QtUI::convertToQString;
namespace Link = VPanel::Link;
using namespace std::chrono_literals;

namespace {
constexpr int dataBits = 8;
constexpr std::uint32_t readSize = 255;

KelTime::TimeDuration duration(std::chrono::milliseconds time)
{
    return KelTime::TimeDuration::fromMilliseconds(static_cast<double>(time.count()));
}

std::uint32_t queuedInput(SystemSerialPort& port)
{
    std::uint32_t input = 0;
    std::uint32_t output = 0;
    port.queryQueueStatus(input, output);
    return input;
}

// Reads the reply to `request` into `reply`, room for readSize bytes; returns its length. A
// reply that ended with its last byte is followed by `turnaround` of silence.
std::uint32_t readReply(SystemSerialPort& port, const Link::Frame& request, std::uint8_t* reply,
                        std::chrono::nanoseconds turnaround)
{
    constexpr auto replySize = static_cast<std::uint32_t>(Link::identificationReplySize);
    std::uint32_t received = 0;
    port.read(reply, replySize, &received, false);
    if (received == replySize) {
        // A whole reply that checks and nothing behind it ends the wait at its last byte;
        // anything else is read on to the line's silence and judged whole, as garbled or
        // trailed replies always were.
        if (queuedInput(port) == 0 &&
            Link::decodeSearchIdentification(request, reply, received).status == Link::ReplyStatus::Ok) {
            std::this_thread::sleep_for(turnaround);
            return received;
        }
        std::uint32_t more = 0;
        port.read(reply + received, readSize - received, &more, true);
        received += more;
    }
    return received;
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
    total = addressCount(beginAddress, endAddress) * static_cast<int>(scanBauds.size());
    emit progress(done, total);
    std::unique_ptr<SystemSerialPort> port;
    try {
        port = openPort();
        scanRates(*port);
        port->close();
    } catch (const std::exception& error) {
        reportFailure(error);
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

void QOIdentifyThread::reportFailure(const std::exception& error)
{
    // Whether the port could not be had or failed later, this port's scan is over.
    QString text = QStringLiteral("%1: %2").arg(scanPort, convertToQString(KelBase::exceptionMessage(error)));
    if (const QString advice = PortAdvice::accessLine(scanPort); !advice.isEmpty())
        text += QLatin1Char('\n') + advice;
    emit alarm(text);
    emit progress(done, done);
}

std::unique_ptr<SystemSerialPort> QOIdentifyThread::openPort() const
{
    auto port = std::make_unique<SystemSerialPort>(convertToKelString(scanPort));
    port->open();
    return port;
}

void QOIdentifyThread::takeRate(SystemSerialPort& port, int baud) const
{
    port.setSettings(CommSettings(baud, dataBits, Parity::None, StopBits::One, DTR_Control::Disable,
                                  RTS_Control::Disable),
                     false);
    const std::chrono::milliseconds response =
        quickScan ? Link::quickResponseTimeout(baud, replyMargin) : Link::responseTimeout(baud);
    port.setTimeouts(CommTimeouts(duration(response), duration(Link::defaultWriteInterval)), false);
}

void QOIdentifyThread::scanRates(SystemSerialPort& port)
{
    QStringList refused;
    QString reason;
    for (int baudIndex = 0; baudIndex < scanBauds.size(); ++baudIndex) {
        try {
            takeRate(port, scanBauds[baudIndex]);
        } catch (const SerialLineGoneException&) {
            throw;
        } catch (const SerialException& refusal) {
            // On-board UARTs and USB chips each have rates they cannot make, and a driver may
            // fall back to another rate: the other rates are still worth scanning.
            refused << QString::number(scanBauds[baudIndex]);
            if (reason.isEmpty())
                reason = convertToQString(refusal.message());
            total -= addressCount(beginAddress, endAddress);
            emit progress(done, total);
            continue;
        }
        if (!scan(port, baudIndex))
            break;
    }
    if (refused.isEmpty())
        return;
    const QString text = tr("%1: скорости, которых порт не принимает, пропущены: %2 бод (%3)")
                             .arg(scanPort, refused.join(QStringLiteral(", ")), reason);
    // A port that took none of the rates was not scanned at all.
    if (refused.size() == scanBauds.size())
        emit alarm(text);
    else
        emit notice(text);
}

bool QOIdentifyThread::scan(SystemSerialPort& port, int baudIndex)
{
    const int baud = scanBauds[baudIndex];
    for (int address = beginAddress; address <= endAddress; ++address) {
        if (stopRequested)
            return false;
        emit scanning(baud, address, static_cast<int>(timeLeft(baudIndex, address).count()));
        const std::optional<std::uint16_t> identifier = identify(port, baud, address);
        ++done;
        if (identifier) {
            emit add(scanPort, QSize(address, *identifier));
            if (stopAtFirst) {
                emit progress(done, done);
                return false;
            }
        }
        emit progress(done, total);
    }
    return true;
}

std::optional<std::uint16_t> QOIdentifyThread::identify(SystemSerialPort& port, int baud, int address) const
{
    const Link::Frame request = Link::deviceIdentificationRequest(static_cast<std::uint8_t>(address));
    std::array<std::uint8_t, readSize> reply{};
    const std::chrono::nanoseconds turnaround = Link::bitTimes(Link::frameGapBits, baud) + requestPause;
    std::optional<std::uint16_t> identifier;
    int attempts = 0;
    bool anythingCame = false;
    // The quick scan has no time budget: it asks once more only after a garbled reply.
    const auto budget = quickScan ? std::chrono::steady_clock::duration::max() : addressBudget;
    // A stop ends the address's attempts too: a window that goes away waits for one attempt,
    // not for the whole budget of a silent address.
    Link::repeatUntilAnswered(
        [&] {
            // A reply's tail that came after its wait ended belongs to no request of this one.
            if (queuedInput(port) > 0)
                port.clearQueue(true, false);
            std::uint32_t sent = 0;
            port.write(request.bytes(), static_cast<std::uint32_t>(request.size()), &sent);
            const std::uint32_t received = readReply(port, request, reply.data(), turnaround);
            ++attempts;
            anythingCame = received > 0;
            const Link::Reply decoded = Link::decodeSearchIdentification(request, reply.data(), received);
            if (decoded.status == Link::ReplyStatus::Ok)
                identifier = std::get<Link::DeviceIdentity>(decoded.content).identifier;
            return identifier.has_value();
        },
        budget, [&] { return stopRequested || (quickScan && (!anythingCame || attempts > quickRetries)); });
    return identifier;
}

std::chrono::microseconds QOIdentifyThread::silentAddressTime(int baud) const
{
    if (quickScan)
        return Link::quickSilentAddressTime(baud, replyMargin);
    // Whole attempts until the budget is spent, at least one.
    const std::chrono::microseconds attempt = Link::silentAttemptTime(baud);
    const auto attempts = std::max<std::chrono::microseconds::rep>(1, (addressBudget + attempt - 1us) / attempt);
    return attempt * attempts;
}

std::chrono::milliseconds QOIdentifyThread::timeLeft(int baudIndex, int address) const
{
    std::chrono::microseconds left = silentAddressTime(scanBauds[baudIndex]) * addressCount(address, endAddress);
    for (int later = baudIndex + 1; later < scanBauds.size(); ++later)
        left += silentAddressTime(scanBauds[later]) * addressCount(beginAddress, endAddress);
    return std::chrono::ceil<std::chrono::milliseconds>(left);
}
