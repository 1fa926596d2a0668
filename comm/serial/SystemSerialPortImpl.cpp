#include "comm/serial/SystemSerialPortImpl.h"

#include "baselib/exceptions/ErrorMessage.h"
#include "comm/serial/NetworkLine.h"
#include "comm/serial/PortLog.h"
#include "comm/serial/PortMap.h"
#include "comm/serial/PortName.h"
#include "comm/serial/PortNumbering.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"
#include "comm/serial/TtyLine.h"

#include <boost/format.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <utility>

namespace KelComm::Serial {

using Internal::logError;
using Internal::logTrace;
using Internal::pathText;

namespace {
[[noreturn]] void throwOpenError(int error, const std::wstring& displayName)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        throw SerialPortSystemException(
            (boost::wformat(KelBase::resStr(OpenErrorMessage::NotFound)) % displayName).str());
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
        throw SerialPortSystemException(
            (boost::wformat(KelBase::resStr(OpenErrorMessage::NoAccess)) % displayName).str());
    default:
        throw SerialPortSystemException(KelWin::ErrorMessage(static_cast<unsigned long>(error)).text());
    }
}

// Resolving a server's name and connecting to it wait no longer than the response timeout,
// but neither so briefly that a slow network fails nor without end.
std::chrono::milliseconds connectBound(KelTime::TimeDuration responseTimeout)
{
    constexpr auto shortest = std::chrono::milliseconds(3000);
    constexpr auto longest = std::chrono::milliseconds(30000);
    if (responseTimeout.isInfinite())
        return longest;
    const auto response = std::chrono::milliseconds(static_cast<long long>(responseTimeout.toMillisecondsCeil()));
    return std::clamp(response, shortest, longest);
}

std::shared_ptr<Internal::SerialLine> openedLine(std::uint16_t number, const std::wstring& name,
                                                 KelTime::TimeDuration responseTimeout)
{
    std::optional<Internal::NetworkAddress> address;
    try {
        address = Internal::networkEntry(number);
    } catch (const PortMapException& malformed) {
        logError(std::wstring(malformed.message()) + L"\n");
        throw SerialPortSystemException(malformed.message());
    }
    if (address) {
        logTrace(L"Открытие порта '" + pathText(address->url) + L"'. . .\n");
        return Internal::NetworkLine::connect(*address, name, connectBound(responseTimeout));
    }
    const Internal::PortLocation location = Internal::locatePort(number);
    const std::string& path = location.path;
    if (location.adapterAbsent) {
        const std::wstring absent =
            (boost::wformat(KelBase::resStr(PortMapMessage::NotConnected)) % name % pathText(path)).str();
        logError(absent + L"\n");
        throw SerialPortSystemException(absent);
    }
    logTrace(L"Открытие порта '" + pathText(path) + L"'. . .\n");
    int error = 0;
    std::shared_ptr<Internal::SerialLine> opened = Internal::TtyLine::open(path, error);
    if (!opened) {
        logError(L"Ошибка " + std::to_wstring(error) + L" при открытии порта '" + pathText(path) + L"'\n");
        throwOpenError(error, name);
    }
    return opened;
}

void closeWithLog(Internal::SerialLine& line)
{
    line.markClosed();
    logTrace(L"Порт '" + pathText(line.path()) + L"' закрыт\n");
}
} // namespace

SystemSerialPort::Impl::~Impl()
{
    // No change may reach a port that is being destroyed; a handler under way is waited for.
    SettingsObserver::disconnect();
    TimeoutsObserver::disconnect();
    const Threading::ScopedWriteLock guard(lock);
    if (line)
        closeLine();
}

std::wstring SystemSerialPort::Impl::displayName() const { return Internal::portDisplayName(portNumber); }

void SystemSerialPort::Impl::checkOpen() const
{
    if (!line)
        throw SerialPortException(KelBase::resStr(PortStateMessage::PortClosed));
}

void SystemSerialPort::Impl::setPortNumber(std::uint16_t number)
{
    if (number != portNumber && line)
        openLine(number);
    portNumber = number;
}

void SystemSerialPort::Impl::openLine(std::uint16_t number)
{
    if (!number) {
        if (line)
            closeLine();
        return;
    }
    const std::wstring name = Internal::portDisplayName(number);
    const std::shared_ptr<Internal::SerialLine> opened = openedLine(number, name, timeoutImage.responseTimeout);
    const std::string& path = opened->path();
    logTrace(L"Порт '" + pathText(path) + L"' открыт успешно\n");

    Internal::LineImage newLineImage = lineImage;
    Internal::TimeoutImage newTimeoutImage = timeoutImage;
    try {
        if (newLineImage.baudRate == 0)
            opened->adoptLine(newLineImage);
        if (!newTimeoutImage.configured) {
            // The driver keeps no read interval of its own to take over.
            newTimeoutImage.interval_ms = Internal::TimeoutImage::noIntervalLimit_ms;
            newTimeoutImage.responseTimeout = KelTime::TimeDuration::infinity();
            newTimeoutImage.configured = true;
        }
        opened->applyImage(newLineImage);
        if (!opened->requestLowLatency() && !std::exchange(lowLatencyRefusalLogged, true))
            logTrace(L"Порт '" + pathText(path) + L"' работает без режима малой задержки: драйвер его не поддерживает\n");
    } catch (...) {
        closeWithLog(*opened);
        throw;
    }
    lineImage = newLineImage;
    timeoutImage = newTimeoutImage;

    const std::shared_ptr<Internal::SerialLine> old = line;
    line = opened;
    if (old)
        closeWithLog(*old);
}

void SystemSerialPort::Impl::closeLine()
{
    const std::shared_ptr<Internal::SerialLine> closing = line;
    line.reset();
    closeWithLog(*closing);
}

void SystemSerialPort::Impl::applySettings(const CommSettings& settings)
{
    Internal::LineImage image = lineImage;
    Internal::putSettings(image, settings);
    if (line)
        line->applyImage(image);
    lineImage = image;
}

void SystemSerialPort::Impl::applyTimeouts(const CommTimeouts& timeouts)
{
    timeoutImage = Internal::timeoutImageFrom(timeouts);
}

void SystemSerialPort::Impl::attachSettings(const CommSettings& settings, bool track)
{
    attachedSettings.emplace(settings);
    trackedSettings = track ? &settings : nullptr;
}

void SystemSerialPort::Impl::attachTimeouts(const CommTimeouts& timeouts, bool track)
{
    attachedTimeouts.emplace(timeouts);
    trackedTimeouts = track ? &timeouts : nullptr;
}

CommSettings SystemSerialPort::Impl::currentSettings() const
{
    if (attachedSettings)
        return *attachedSettings;
    Internal::LineImage image = lineImage;
    return Internal::settingsFromImage(image);
}

CommTimeouts SystemSerialPort::Impl::currentTimeouts() const
{
    if (attachedTimeouts)
        return *attachedTimeouts;
    return Internal::timeoutsFromImage(timeoutImage);
}

void SystemSerialPort::Impl::abort(bool read, bool write, bool oneShot)
{
    if (!oneShot) {
        readAborted = readAborted || read;
        writeAborted = writeAborted || write;
    }
    if (!line)
        return;
    if (read)
        line->wake(Internal::SerialLine::Direction::Read);
    if (write)
        line->wake(Internal::SerialLine::Direction::Write);
}

void SystemSerialPort::Impl::changed(const CommSettings* settings)
{
    const Threading::ScopedWriteLock guard(lock);
    if (settings != trackedSettings)
        return;
    // Reported as the object now is, also when the line refuses it.
    attachedSettings.emplace(*settings);
    try {
        applySettings(*settings);
    } catch (const std::exception& error) {
        logError(L"Исключение при попытке изменения параметров передачи "
                 L"данных через порт '" +
                 displayName() + L"', с сообщением: \"" + KelBase::exceptionMessage(error) +
                 L"\". Порт будет закрыт\n");
        if (line)
            closeLine();
    }
}

void SystemSerialPort::Impl::changed(const CommTimeouts* timeouts)
{
    const Threading::ScopedWriteLock guard(lock);
    if (timeouts != trackedTimeouts)
        return;
    attachedTimeouts.emplace(*timeouts);
    try {
        applyTimeouts(*timeouts);
    } catch (const std::exception& error) {
        logError(L"Исключение при попытке изменения таймаутов "
                 L"для порта '" +
                 displayName() + L"', с сообщением: \"" + KelBase::exceptionMessage(error) +
                 L"\". Порт будет закрыт\n");
        if (line)
            closeLine();
    }
}

} // namespace KelComm::Serial
