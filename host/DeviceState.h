#pragma once

#include "host/ConsoleFlags.h"
#include "host/ConsoleScreen.h"
#include "host/DeviceSnapshot.h"
#include "host/StandardGlyphs.h"
#include "panel/LinkObserver.h"

#include <QSocketNotifier>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace VPanel::Host {

// What the links of one kept device told, kept under a lock for any thread to read. Each kind
// of change is marked pending and the owner's thread woken through a descriptor, however many
// changes come meanwhile: the link's thread never waits for the owner, a fast poll does not
// flood its event queue, and nothing the link's thread made crosses through Qt's queue.
class DeviceState : public Panel::LinkObserver {
public:
    static constexpr std::size_t journalLimit = 200;

    struct Notices {
        std::function<void()> screenChanged;
        std::function<void()> stateChanged;
        std::function<void()> glyphsChanged;
        std::function<void(const JournalEntry&)> journalAdded; // each new entry, oldest first
        // Once per attempt, with its number; `retry` when it ended on its own rather than on request.
        std::function<void(std::uint64_t attempt, bool retry)> linkEnded;
    };

    // Made on the owner's thread, where the notices then run, from its event loop.
    DeviceState(std::map<int, std::string> deviceNames, Notices notices);
    ~DeviceState() override;
    DeviceState(const DeviceState&) = delete;
    DeviceState& operator=(const DeviceState&) = delete;

    // Before a link starts: connecting, no retry due. The attempt's number.
    std::uint64_t beginAttempt();
    void setRetryAt(std::optional<QDateTime> at);
    // Whether the current attempt has started and not yet ended.
    bool linkRuns() const;
    // Whether rows came in the current attempt.
    bool wasLive() const;

    DeviceSnapshot snapshot() const;
    GlyphTable glyphs() const;
    std::vector<JournalEntry> journal() const;

    void linkEvent(const Panel::Event& event) override;
    void consoleSized(int rows, int places) override;
    void glyphChanged(int code, const Link::DotMatrix& dots) override;
    void rowChanged(int row, const std::vector<std::uint8_t>& cells) override;
    void viewReset() override;
    void deviceIdentified(int identifier) override;

private:
    // Marks a kind of change pending and wakes the owner unless it already was.
    void post(std::atomic<bool>& pending);
    // On the owner's thread: the notices of what is pending, each once.
    void deliver();
    // Under m_mutex: sets the state, true when it changed.
    bool changeState(LinkState state);

    const std::map<int, std::string> m_deviceNames;
    const Notices m_notices;
    const int m_wake;
    std::unique_ptr<QSocketNotifier> m_wakeNotifier;
    std::atomic<bool> m_screenPending{false};
    std::atomic<bool> m_statePending{false};
    std::atomic<bool> m_glyphsPending{false};
    std::atomic<bool> m_journalPending{false};
    std::atomic<bool> m_endPending{false};

    mutable std::mutex m_mutex;
    DeviceSnapshot m_snapshot; // all but the display's fields, which the two below keep
    ConsoleScreen m_screen;
    ConsoleFlags m_console;
    GlyphTable m_glyphs;
    std::deque<JournalEntry> m_journal;
    std::vector<JournalEntry> m_unannounced;
    std::uint64_t m_attempt = 0;
    bool m_endRetries = false;
    bool m_running = false;
    bool m_live = false;
};

} // namespace VPanel::Host
