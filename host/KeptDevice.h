#pragma once

#include "host/DeviceSnapshot.h"
#include "host/DeviceSpec.h"
#include "host/DeviceState.h"
#include "host/StandardGlyphs.h"
#include "panel/DeviceLink.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace VPanel::Host {

// One device kept linked by a host without a window: one link at a time, a new one after a
// link ended on its own, with a back-off; its display, state and journal for any thread to
// read. Lives on the thread that made it, whose event loop carries its signals and retries.
class KeptDevice : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds firstRetryDelay{1};
    static constexpr std::chrono::seconds lastRetryDelay{30};

    // `base` carries the language, the device names, the write interval...; the port, address
    // and rate come from `definition`.
    KeptDevice(DeviceSpec definition, Panel::LinkParameters base, QObject* parent = nullptr);
    // Stops the link (its stop packet) and waits its bound.
    ~KeptDevice() override;

    // The first attempt now; after a failure the next after 1 s, 2 s, 4 s... at most 30 s,
    // from 1 s again once a link was live.
    void start();
    // Ends the link; no further attempts.
    void stop();

    const DeviceSpec& definition() const { return m_spec; }
    DeviceSnapshot snapshot() const { return m_state.snapshot(); }
    // 256 glyphs: the device's own where it sent one, else the standard set, else blank.
    GlyphTable glyphs() const { return m_state.glyphs(); }
    // The last DeviceState::journalLimit entries, oldest first.
    std::vector<JournalEntry> journal() const { return m_state.journal(); }

    // From any thread, straight to the link's key row. False when no link runs or the row is
    // full.
    bool tap(int scanCode);
    bool press(int scanCode);
    bool release(int scanCode);

signals:
    // Each at most once per pass of the event loop, however many changes came.
    void screenChanged();
    void stateChanged();
    void glyphsChanged();
    void journalAdded(const VPanel::Host::JournalEntry& entry);

private:
    void startAttempt();
    void linkEnded(std::uint64_t endedAttempt, bool retry);
    // The link taken out under the lock, to be destroyed outside it.
    std::unique_ptr<Panel::DeviceLink> takeLink();
    template <class Action>
    bool withRunningLink(Action action);

    const DeviceSpec m_spec;
    Panel::LinkParameters m_parameters;
    DeviceState m_state;
    QTimer m_retryTimer;
    std::chrono::seconds m_nextRetryDelay = firstRetryDelay;
    bool m_stopped = true;
    std::uint64_t m_attempt = 0;

    mutable std::mutex m_linkMutex;
    std::unique_ptr<Panel::DeviceLink> m_link; // observes m_state: declared after it
};

} // namespace VPanel::Host
