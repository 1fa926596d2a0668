#include "comm/serial/SystemSerialPort.h"

#include "comm/serial/PortName.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"
#include "comm/serial/SystemSerialPortImpl.h"

#include <optional>

namespace KelComm::Serial {

namespace {
using Threading::ScopedReadLock;
using Threading::ScopedWriteLock;

Internal::Deadline deadlineOf(const KelTime::Timeout& timeout)
{
    return timeout.isInfinite() ? std::nullopt : Internal::deadlineAfter(timeout.remainingTime());
}
} // namespace

SystemSerialPort::SystemSerialPort() : m_impl(std::make_unique<Impl>()) {}

SystemSerialPort::SystemSerialPort(const std::wstring& name) : SystemSerialPort() { setName(name); }

SystemSerialPort::SystemSerialPort(const std::wstring& name, const CommSettings& settings, bool track)
    : SystemSerialPort(name)
{
    setSettings(settings, track);
}

SystemSerialPort::SystemSerialPort(const std::wstring& name, const CommSettings& settings,
                                   const CommTimeouts& timeouts)
    : SystemSerialPort(name, settings, false, timeouts, false)
{
}

SystemSerialPort::SystemSerialPort(const std::wstring& name, const CommSettings& settings, bool trackSettings,
                                   const CommTimeouts& timeouts, bool trackTimeouts)
    : SystemSerialPort(name)
{
    setSettings(settings, trackSettings);
    setTimeouts(timeouts, trackTimeouts);
}

SystemSerialPort::~SystemSerialPort() = default;

std::wstring SystemSerialPort::name() const
{
    const ScopedReadLock lock(m_impl->lock);
    return m_impl->displayName();
}

void SystemSerialPort::setName(const std::wstring& name)
{
    const std::uint16_t number = Internal::parsePortName(name);
    const ScopedWriteLock lock(m_impl->lock);
    m_impl->setPortNumber(number);
}

void SystemSerialPort::settings(CommSettings& settings) const
{
    std::optional<CommSettings> current;
    {
        const ScopedReadLock lock(m_impl->lock);
        current.emplace(m_impl->currentSettings());
    }
    // Assigning raises the target's change signal, which takes its class lock: never under
    // the port lock.
    settings = *current;
}

void SystemSerialPort::setSettings(const CommSettings& settings, bool track)
{
    const std::lock_guard<std::mutex> subscriptions(m_impl->subscriptionMutex);
    {
        const ScopedWriteLock lock(m_impl->lock);
        m_impl->applySettings(settings);
        m_impl->attachSettings(settings, track);
    }
    // Subscribing takes the class lock, under which change handlers take the port lock:
    // so it happens here, with the port lock released.
    if (track)
        m_impl->Impl::SettingsObserver::connect(settings.signalSubject());
    else
        m_impl->Impl::SettingsObserver::disconnect();
}

void SystemSerialPort::timeouts(CommTimeouts& timeouts) const
{
    std::optional<CommTimeouts> current;
    {
        const ScopedReadLock lock(m_impl->lock);
        current.emplace(m_impl->currentTimeouts());
    }
    timeouts = *current;
}

void SystemSerialPort::setTimeouts(const CommTimeouts& timeouts, bool track)
{
    const std::lock_guard<std::mutex> subscriptions(m_impl->subscriptionMutex);
    {
        const ScopedWriteLock lock(m_impl->lock);
        m_impl->applyTimeouts(timeouts);
        m_impl->attachTimeouts(timeouts, track);
    }
    if (track)
        m_impl->Impl::TimeoutsObserver::connect(timeouts.signalSubject());
    else
        m_impl->Impl::TimeoutsObserver::disconnect();
}

void SystemSerialPort::open()
{
    const ScopedWriteLock lock(m_impl->lock);
    if (!m_impl->portNumber)
        throw InvalidSerialPortNameException(KelBase::resStr(PortStateMessage::NoSystemName));
    m_impl->openLine(m_impl->portNumber);
}

void SystemSerialPort::close()
{
    const ScopedWriteLock lock(m_impl->lock);
    if (m_impl->line)
        m_impl->closeLine();
}

bool SystemSerialPort::isOpened()
{
    const ScopedReadLock lock(m_impl->lock);
    return m_impl->line != nullptr;
}

IO_Result SystemSerialPort::read(void* buffer, std::uint32_t size, std::uint32_t* received, bool continuation)
{
    const ScopedReadLock lock(m_impl->lock);
    m_impl->checkOpen();
    return m_impl->read(static_cast<std::uint8_t*>(buffer), size, received, continuation);
}

IO_Result SystemSerialPort::write(const void* data, std::uint32_t size, std::uint32_t* sent)
{
    const ScopedReadLock lock(m_impl->lock);
    m_impl->checkOpen();
    return m_impl->write(static_cast<const std::uint8_t*>(data), size, sent);
}

IO_Result SystemSerialPort::waitForByteReceived(const KelTime::Timeout& deadline)
{
    const ScopedReadLock lock(m_impl->lock);
    m_impl->checkOpen();
    if (m_impl->readAborted)
        return IO_Result(IO_Result::Aborted);
    m_impl->line->clearWake(Internal::SerialLine::Direction::Read);
    return m_impl->waitForByte(deadlineOf(deadline));
}

IO_Result SystemSerialPort::waitForNonbreakStatus(const KelTime::Timeout& deadline)
{
    const ScopedReadLock lock(m_impl->lock);
    m_impl->checkOpen();
    return m_impl->waitForNonbreakStatus(deadline);
}

void SystemSerialPort::setBreakStatus(bool on)
{
    const ScopedReadLock lock(m_impl->lock);
    m_impl->checkOpen();
    m_impl->line->setBreak(on);
}

void SystemSerialPort::reserveQueueSize(std::uint32_t, std::uint32_t)
{
    // The driver's buffers have fixed sizes here: there is nothing to ask for.
    const ScopedWriteLock lock(m_impl->lock);
    m_impl->checkOpen();
}

void SystemSerialPort::queryQueueStatus(std::uint32_t& input, std::uint32_t& output)
{
    const ScopedReadLock lock(m_impl->lock);
    m_impl->checkOpen();
    const Internal::SerialLine::Status status = m_impl->gatherLineErrors(*m_impl->line);
    input = status.inQueue;
    output = status.outQueue;
}

void SystemSerialPort::clearQueue(bool input, bool output)
{
    const ScopedWriteLock lock(m_impl->lock);
    m_impl->checkOpen();
    m_impl->line->flush(input, output);
}

void SystemSerialPort::abort(bool read, bool write, bool oneShot)
{
    const ScopedWriteLock lock(m_impl->lock);
    m_impl->abort(read, write, oneShot);
}

void SystemSerialPort::clearAbortFlag(bool read, bool write)
{
    const ScopedWriteLock lock(m_impl->lock);
    if (read)
        m_impl->readAborted = false;
    if (write)
        m_impl->writeAborted = false;
}

} // namespace KelComm::Serial
