#include "host/DeviceState.h"

#include <chrono>

#include "host/EventTexts.h"
#include "panel/SharedLine.h"

#include "baselib/exceptions/Exception.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace VPanel::Host {

namespace {
using Panel::LinkEvent;

int openWake()
{
    const int descriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (descriptor < 0)
        throw KelBase::RuntimeException(L"eventfd");
    return descriptor;
}

// A port that another connection holds at another rate is there: the failure is this
// device's setting, not the port's.
bool portFailed(const Panel::Event& event)
{
    return event.code == LinkEvent::Exception && std::strcmp(event.text.source, Panel::lineRateText) != 0;
}
} // namespace

const char* linkStateName(LinkState state)
{
    switch (state) {
    case LinkState::Connecting: return "connecting";
    case LinkState::Live: return "live";
    case LinkState::Silent: return "silent";
    case LinkState::Gone: return "gone";
    }
    return "connecting";
}

DeviceState::DeviceState(std::map<int, std::string> deviceNames, Notices notices)
    : m_deviceNames(std::move(deviceNames)), m_notices(std::move(notices)), m_wake(openWake()),
      m_wakeNotifier(std::make_unique<QSocketNotifier>(m_wake, QSocketNotifier::Read)), m_glyphs(standardGlyphs())
{
    QObject::connect(m_wakeNotifier.get(), &QSocketNotifier::activated, [this] { deliver(); });
}

DeviceState::~DeviceState()
{
    m_wakeNotifier.reset();
    close(m_wake);
}

void DeviceState::post(std::atomic<bool>& pending)
{
    if (pending.exchange(true))
        return;
    const std::uint64_t one = 1;
    (void)write(m_wake, &one, sizeof one);
}

void DeviceState::deliver()
{
    // Quiet first: a change from now on wakes us again.
    std::uint64_t count = 0;
    (void)read(m_wake, &count, sizeof count);
    if (m_statePending.exchange(false))
        m_notices.stateChanged();
    if (m_screenPending.exchange(false))
        m_notices.screenChanged();
    if (m_glyphsPending.exchange(false))
        m_notices.glyphsChanged();
    if (m_journalPending.exchange(false)) {
        std::vector<JournalEntry> entries;
        {
            const std::lock_guard lock(m_mutex);
            entries.swap(m_unannounced);
        }
        for (const JournalEntry& entry : entries)
            m_notices.journalAdded(entry);
    }
    if (m_endPending.exchange(false)) {
        std::uint64_t attempt = 0;
        bool retry = false;
        {
            const std::lock_guard lock(m_mutex);
            attempt = m_attempt;
            retry = m_endRetries;
        }
        m_notices.linkEnded(attempt, retry);
    }
}

bool DeviceState::changeState(LinkState state)
{
    return std::exchange(m_snapshot.state, state) != state;
}

std::uint64_t DeviceState::beginAttempt()
{
    std::uint64_t attempt = 0;
    {
        const std::lock_guard lock(m_mutex);
        attempt = ++m_attempt;
        changeState(LinkState::Connecting);
        m_snapshot.retryAt.reset();
        m_running = true;
        m_live = false;
    }
    post(m_statePending);
    return attempt;
}

void DeviceState::setRetryAt(std::optional<QDateTime> at)
{
    {
        const std::lock_guard lock(m_mutex);
        m_snapshot.retryAt = std::move(at);
    }
    post(m_statePending);
}

bool DeviceState::linkRuns() const
{
    const std::lock_guard lock(m_mutex);
    return m_running;
}

bool DeviceState::wasLive() const
{
    const std::lock_guard lock(m_mutex);
    return m_live;
}

DeviceSnapshot DeviceState::snapshot() const
{
    const std::lock_guard lock(m_mutex);
    DeviceSnapshot snapshot = m_snapshot;
    snapshot.rows = m_screen.rows();
    snapshot.places = m_screen.places();
    snapshot.consoleOn = m_console.consoleOn;
    snapshot.alarm = m_console.alarm;
    snapshot.cells = m_screen.cells();
    for (const std::string& row : m_screen.text())
        snapshot.rowTexts.push_back(QString::fromStdString(row));
    return snapshot;
}

GlyphTable DeviceState::glyphs() const
{
    const std::lock_guard lock(m_mutex);
    return m_glyphs;
}

std::vector<JournalEntry> DeviceState::journal() const
{
    const std::lock_guard lock(m_mutex);
    return {m_journal.begin(), m_journal.end()};
}

void DeviceState::linkEvent(const Panel::Event& event)
{
    bool screen = false;
    bool state = false;
    bool journal = false;
    bool ended = false;
    {
        const std::lock_guard lock(m_mutex);
        screen = m_console.apply(event.code);
        if (event.code == LinkEvent::DeviceIdentified) {
            m_snapshot.identity = eventText(event);
            state = true;
        }
        if (m_running && endsLink(event.code)) {
            m_running = false;
            ended = true;
            m_endRetries = event.code != LinkEvent::Stopped;
            state = changeState(portFailed(event) ? LinkState::Gone : LinkState::Silent) || state;
        }
        if (screen) {
            ++m_snapshot.screenSequence;
            m_snapshot.screenChangedAt = std::chrono::steady_clock::now();
        }
        if (*event.text.source) {
            JournalEntry entry{QDateTime::currentDateTimeUtc(), Panel::eventCode(event.code), eventText(event)};
            m_journal.push_back(entry);
            if (m_journal.size() > journalLimit)
                m_journal.pop_front();
            m_unannounced.push_back(std::move(entry));
            if (m_unannounced.size() > journalLimit)
                m_unannounced.erase(m_unannounced.begin());
            journal = true;
        }
    }
    if (screen)
        post(m_screenPending);
    if (state)
        post(m_statePending);
    if (journal)
        post(m_journalPending);
    if (ended)
        post(m_endPending);
}

void DeviceState::consoleSized(int rows, int places)
{
    {
        const std::lock_guard lock(m_mutex);
        m_screen.resize(rows, places);
        ++m_snapshot.screenSequence;
        m_snapshot.screenChangedAt = std::chrono::steady_clock::now();
    }
    post(m_screenPending);
}

void DeviceState::glyphChanged(int code, const Link::DotMatrix& dots)
{
    if (code < 0 || code >= static_cast<int>(m_glyphs.size()))
        return;
    bool drawnAnew = false;
    {
        const std::lock_guard lock(m_mutex);
        m_glyphs[static_cast<std::size_t>(code)] = dots;
        m_screen.setGlyph(code, dots);
        ++m_snapshot.glyphSequence;
        // The rows' text shows own glyphs as their nearest character, which may have changed.
        drawnAnew = m_screen.rows() > 0;
        if (drawnAnew) {
            ++m_snapshot.screenSequence;
            m_snapshot.screenChangedAt = std::chrono::steady_clock::now();
        }
    }
    post(m_glyphsPending);
    if (drawnAnew)
        post(m_screenPending);
}

void DeviceState::rowChanged(int row, const std::vector<std::uint8_t>& cells)
{
    bool state = false;
    {
        const std::lock_guard lock(m_mutex);
        m_screen.setRow(row, cells);
        ++m_snapshot.screenSequence;
        m_snapshot.screenChangedAt = std::chrono::steady_clock::now();
        if (m_running) {
            m_live = true;
            state = changeState(LinkState::Live);
        }
    }
    post(m_screenPending);
    if (state)
        post(m_statePending);
}

// Every row that changed is told on its own.
void DeviceState::viewReset() {}

void DeviceState::deviceIdentified(int identifier)
{
    {
        const std::lock_guard lock(m_mutex);
        m_snapshot.identifier = identifier;
        const auto name = m_deviceNames.find(identifier);
        m_snapshot.deviceName =
            QString::fromStdString(name != m_deviceNames.end() ? name->second : std::to_string(identifier));
    }
    post(m_statePending);
}

} // namespace VPanel::Host
