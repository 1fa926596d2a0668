#include "host/KeptDevice.h"

#include <algorithm>
#include <utility>

namespace VPanel::Host {

namespace {
Panel::LinkParameters withSpec(Panel::LinkParameters parameters, const DeviceSpec& definition)
{
    parameters.port = definition.port;
    parameters.address = definition.address;
    parameters.baudRate = definition.baudRate;
    return parameters;
}
} // namespace

KeptDevice::KeptDevice(DeviceSpec definition, Panel::LinkParameters base, QObject* parent)
    : QObject(parent), m_spec(std::move(definition)), m_parameters(withSpec(std::move(base), m_spec)),
      m_state(m_parameters.deviceNames,
              {[this] { emit screenChanged(); }, [this] { emit stateChanged(); }, [this] { emit glyphsChanged(); },
               [this](const JournalEntry& entry) { emit journalAdded(entry); },
               [this](std::uint64_t attempt, bool retry) { linkEnded(attempt, retry); }})
{
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &KeptDevice::startAttempt);
}

KeptDevice::~KeptDevice()
{
    m_stopped = true;
    takeLink();
}

void KeptDevice::start()
{
    m_stopped = false;
    if (!m_state.linkRuns() && !m_retryTimer.isActive())
        startAttempt();
}

void KeptDevice::stop()
{
    m_stopped = true;
    m_retryTimer.stop();
    m_state.setRetryAt(std::nullopt);
    const std::lock_guard lock(m_linkMutex);
    if (m_link)
        m_link->stop();
}

void KeptDevice::startAttempt()
{
    // A link that ended on its own has ended by now, or does within its stop bound.
    takeLink();
    if (m_stopped)
        return;
    auto link = std::make_unique<Panel::DeviceLink>(m_parameters, m_state);
    m_attempt = m_state.beginAttempt();
    link->start();
    const std::lock_guard lock(m_linkMutex);
    m_link = std::move(link);
}

void KeptDevice::linkEnded(std::uint64_t endedAttempt, bool retry)
{
    if (m_stopped || endedAttempt != m_attempt)
        return;
    // Stopped on request, and started again since.
    if (!retry) {
        startAttempt();
        return;
    }
    if (m_state.wasLive())
        m_nextRetryDelay = firstRetryDelay;
    const std::chrono::seconds delay = m_nextRetryDelay;
    m_nextRetryDelay = std::min(m_nextRetryDelay * 2, lastRetryDelay);
    m_state.setRetryAt(QDateTime::currentDateTimeUtc().addMSecs(std::chrono::milliseconds(delay).count()));
    m_retryTimer.start(delay);
}

std::unique_ptr<Panel::DeviceLink> KeptDevice::takeLink()
{
    std::unique_ptr<Panel::DeviceLink> link;
    {
        const std::lock_guard lock(m_linkMutex);
        link = std::move(m_link);
    }
    return link;
}

template <class Action>
bool KeptDevice::withRunningLink(Action action)
{
    const std::lock_guard lock(m_linkMutex);
    return m_link && m_state.linkRuns() && action(*m_link);
}

bool KeptDevice::tap(int scanCode)
{
    return withRunningLink([scanCode](Panel::DeviceLink& link) { return link.tap(scanCode); });
}

bool KeptDevice::press(int scanCode)
{
    return withRunningLink([scanCode](Panel::DeviceLink& link) {
        link.press(scanCode);
        return true;
    });
}

bool KeptDevice::release(int scanCode)
{
    return withRunningLink([scanCode](Panel::DeviceLink& link) {
        link.release(scanCode);
        return true;
    });
}

} // namespace VPanel::Host
