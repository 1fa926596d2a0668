#include "host/DeviceState.h"

#include "host/EventTexts.h"
#include "panel/SharedLine.h"

#include <cstring>
#include <utility>

namespace VPanel::Host {

namespace {
using Panel::LinkEvent;

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

DeviceState::DeviceState(std::map<int, std::string> deviceNames, QObject& receiver, Notices notices)
    : m_deviceNames(std::move(deviceNames)), m_receiver(receiver), m_notices(std::move(notices)),
      m_glyphs(standardGlyphs())
{
}

void DeviceState::post(std::atomic<bool>& pending, const std::function<void()>& notice)
{
    if (pending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        &m_receiver,
        [&pending, &notice] {
            // Cleared first: a change while the notice runs posts it again.
            pending = false;
            notice();
        },
        Qt::QueuedConnection);
}

void DeviceState::postJournal()
{
    if (m_journalPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        &m_receiver,
        [this] {
            m_journalPending = false;
            std::vector<JournalEntry> entries;
            {
                const std::lock_guard lock(m_mutex);
                entries.swap(m_unannounced);
            }
            for (const JournalEntry& entry : entries)
                m_notices.journalAdded(entry);
        },
        Qt::QueuedConnection);
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
    post(m_statePending, m_notices.stateChanged);
    return attempt;
}

void DeviceState::setRetryAt(std::optional<QDateTime> at)
{
    {
        const std::lock_guard lock(m_mutex);
        m_snapshot.retryAt = std::move(at);
    }
    post(m_statePending, m_notices.stateChanged);
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
    bool retry = false;
    std::uint64_t attempt = 0;
    {
        const std::lock_guard lock(m_mutex);
        switch (event.code) {
        case LinkEvent::ConsoleOn: screen = !std::exchange(m_snapshot.consoleOn, true); break;
        case LinkEvent::ConsoleOff:
        case LinkEvent::ConsoleOffAtStart: screen = std::exchange(m_snapshot.consoleOn, false); break;
        case LinkEvent::SoundOn: screen = !std::exchange(m_snapshot.alarm, true); break;
        case LinkEvent::SoundOff: screen = std::exchange(m_snapshot.alarm, false); break;
        case LinkEvent::DeviceIdentified:
            m_snapshot.identity = eventText(event);
            state = true;
            break;
        default: break;
        }
        if (m_running && (event.code == LinkEvent::Exception || event.code == LinkEvent::DeviceSilent ||
                          event.code == LinkEvent::Stopped)) {
            m_running = false;
            ended = true;
            attempt = m_attempt;
            retry = event.code != LinkEvent::Stopped;
            state = changeState(portFailed(event) ? LinkState::Gone : LinkState::Silent) || state;
        }
        if (screen)
            ++m_snapshot.screenSequence;
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
        post(m_screenPending, m_notices.screenChanged);
    if (state)
        post(m_statePending, m_notices.stateChanged);
    if (journal)
        postJournal();
    if (ended)
        QMetaObject::invokeMethod(
            &m_receiver, [this, attempt, retry] { m_notices.linkEnded(attempt, retry); }, Qt::QueuedConnection);
}

void DeviceState::consoleSized(int rows, int places)
{
    {
        const std::lock_guard lock(m_mutex);
        m_screen.resize(rows, places);
        ++m_snapshot.screenSequence;
    }
    post(m_screenPending, m_notices.screenChanged);
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
        if (drawnAnew)
            ++m_snapshot.screenSequence;
    }
    post(m_glyphsPending, m_notices.glyphsChanged);
    if (drawnAnew)
        post(m_screenPending, m_notices.screenChanged);
}

void DeviceState::rowChanged(int row, const std::vector<std::uint8_t>& cells)
{
    bool state = false;
    {
        const std::lock_guard lock(m_mutex);
        m_screen.setRow(row, cells);
        ++m_snapshot.screenSequence;
        if (m_running) {
            m_live = true;
            state = changeState(LinkState::Live);
        }
    }
    post(m_screenPending, m_notices.screenChanged);
    if (state)
        post(m_statePending, m_notices.stateChanged);
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
    post(m_statePending, m_notices.stateChanged);
}

} // namespace VPanel::Host
