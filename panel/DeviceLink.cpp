#include "panel/DeviceLink.h"

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Conversion.h"
#include "comm/serial/SerialExceptions.h"
#include "link/ScanCodes.h"
#include "panel/LinkSession.h"
#include "panel/LinkTexts.h"
#include "panel/LinkTiming.h"
#include "panel/SharedLine.h"

#include <algorithm>

#include <exception>

namespace VPanel::Panel {

DeviceLink::DeviceLink(LinkParameters parameters, LinkObserver& observer)
    : m_parameters(std::move(parameters)), m_observer(observer)
{
}

DeviceLink::~DeviceLink()
{
    stop();
    if (m_thread.joinable())
        m_thread.join();
}

void DeviceLink::claimRun()
{
    if (m_runClaimed.exchange(true))
        throw LinkUsageException(L"Соединение уже запущено: объект служит одному соединению");
}

void DeviceLink::start()
{
    claimRun();
    m_thread = std::thread([this] {
        try {
            runClaimed();
        } catch (...) {
            // An observer that throws ends its connection, never the program.
        }
    });
}

void DeviceLink::run()
{
    claimRun();
    runClaimed();
}

void DeviceLink::runClaimed()
{
    struct EndMark {
        DeviceLink& link;
        ~EndMark() { link.markEnded(); }
    } endMark{*this};
    // The stop flag is not cleared here: a stop asked for before the run must hold.
    Session session(*this);
    try {
        session.connect();
    } catch (const KelComm::Serial::SerialLineGoneException&) {
        // Nothing more can pass over a line that is gone: no repeats, no stop packet.
        session.abandon();
        m_observer.linkEvent(
            {LinkEvent::Exception,
             {QT_TRANSLATE_NOOP("QOTransmissionThread", "Порт %1 исчез: устройство отключено или кабель вынут."),
              {m_parameters.port}}});
    } catch (const LineRateException& refused) {
        m_observer.linkEvent({LinkEvent::Exception,
                              {lineRateText,
                               {m_parameters.port, std::to_string(refused.openRate()),
                                std::to_string(m_parameters.baudRate)}}});
    } catch (const std::exception& error) {
        m_observer.linkEvent(
            {LinkEvent::Exception,
             {portFailureText,
              {m_parameters.port, KelBase::Conversion::stringToUTF8(KelBase::exceptionMessage(error))}}});
    }
    session.exit();
}

bool DeviceLink::wait(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_endMutex);
    return m_endChanged.wait_for(lock, bound, [this] { return m_ended; });
}

void DeviceLink::markEnded()
{
    {
        std::lock_guard lock(m_endMutex);
        m_ended = true;
    }
    m_endChanged.notify_all();
}

void DeviceLink::press(int scanCode)
{
    if (scanCode == Link::ScanCode::Stop)
        stop();
    m_keyRow.press(scanCode);
}

void DeviceLink::release(int scanCode) { m_keyRow.release(scanCode); }

bool DeviceLink::tap(int scanCode)
{
    if (scanCode == Link::ScanCode::Stop)
        stop();
    return m_keyRow.tap(scanCode);
}

void DeviceLink::stop()
{
    {
        std::lock_guard lock(m_stopMutex);
        m_stop = true;
        // A connection waiting for its turn on the line is woken as promptly as one pausing.
        if (m_turns)
            m_turns->wake();
    }
    m_stopAsked.notify_all();
}

void DeviceLink::attachLine(LineTurns* turns)
{
    std::lock_guard lock(m_stopMutex);
    m_turns = turns;
}

bool DeviceLink::sleepUnlessStopped(std::chrono::steady_clock::time_point due)
{
    std::unique_lock lock(m_stopMutex);
    return m_stopAsked.wait_until(lock, due, [this] { return m_stop.load(); });
}

void DeviceLink::setRecorder(std::shared_ptr<FrameSink> recorder) { std::atomic_store(&m_recorder, std::move(recorder)); }

std::shared_ptr<FrameSink> DeviceLink::recorder() const { return std::atomic_load(&m_recorder); }

std::chrono::milliseconds DeviceLink::stopWaitBound() const
{
    return stopBound(m_parameters.baudRate, m_parameters.writeInterval, m_parameters.requestPause,
                     std::max(SharedLine::holders(m_parameters.port), 1));
}

} // namespace VPanel::Panel
