#pragma once

#include "host/ConsoleScreen.h"
#include "host/DeviceSnapshot.h"
#include "host/StandardGlyphs.h"
#include "panel/LinkObserver.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace VPanel::Host {

// What the links of one kept device told, kept under a lock for any thread to read. Each kind
// of change is handed to the receiver's thread as one queued call at a time, however many
// changes come meanwhile: the link's thread never waits for the receiver, and a fast poll does
// not flood its event queue.
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

    // The notices run on `receiver`'s thread and none runs once it is gone.
    DeviceState(std::map<int, std::string> deviceNames, QObject& receiver, Notices notices);
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
    // A notice waiting on the receiver's thread; a change after it ran posts it anew.
    void post(std::atomic<bool>& pending, const std::function<void()>& notice);
    void postJournal();
    // Under m_mutex: sets the state, true when it changed.
    bool changeState(LinkState state);

    const std::map<int, std::string> m_deviceNames;
    QObject& m_receiver;
    const Notices m_notices;
    std::atomic<bool> m_screenPending{false};
    std::atomic<bool> m_statePending{false};
    std::atomic<bool> m_glyphsPending{false};
    std::atomic<bool> m_journalPending{false};

    mutable std::mutex m_mutex;
    DeviceSnapshot m_snapshot; // all but the screen's fields, which ConsoleScreen keeps
    ConsoleScreen m_screen;
    GlyphTable m_glyphs;
    std::deque<JournalEntry> m_journal;
    std::vector<JournalEntry> m_unannounced;
    std::uint64_t m_attempt = 0;
    bool m_running = false;
    bool m_live = false;
};

} // namespace VPanel::Host
