#pragma once

// Watches a connection for a benchmark: the failed checks it reports while measuring, the one
// line by which it says it keeps the write interval after every reply, anything else it
// reports while measuring (a fault of the run), and whether it lost the device.

#include "panel/LinkObserver.h"

#include <mutex>
#include <string>

namespace Bench {

// What the connection says, once, when its device cannot take a request sent right after a
// reply.
inline constexpr char slowDeviceNote[] =
    "Устройство не успевает принять запрос сразу после ответа: обмен ведётся с интервалом записи.";

class LinkWatch : public VPanel::Panel::LinkObserver {
public:
    struct Tally {
        int failedChecks = 0;
        int slowDeviceNotes = 0; // over the whole connection
        int others = 0;
        std::string firstOther;
        bool lost = false; // over the whole connection
    };

    void setMeasuring(bool measuring)
    {
        std::lock_guard lock(m_mutex);
        m_measuring = measuring;
    }

    Tally tally() const
    {
        std::lock_guard lock(m_mutex);
        return m_tally;
    }

    void linkEvent(const VPanel::Panel::Event& event) override
    {
        using VPanel::Panel::LinkEvent;
        const std::string text = VPanel::Panel::russianText(event.text);
        std::lock_guard lock(m_mutex);
        if (event.code == LinkEvent::DeviceSilent || event.code == LinkEvent::Exception)
            m_tally.lost = true;
        if (text == slowDeviceNote) {
            ++m_tally.slowDeviceNotes;
        } else if (!m_measuring) {
            return;
        } else if (event.code == LinkEvent::Progress || event.code == LinkEvent::BadReply) {
            ++m_tally.failedChecks;
        } else if (m_tally.others++ == 0) {
            m_tally.firstOther = std::to_string(static_cast<int>(event.code)) + " " + text;
        }
    }
    void consoleSized(int, int) override {}
    void glyphChanged(int, const VPanel::Link::DotMatrix&) override {}
    void rowChanged(int, const std::vector<std::uint8_t>&) override {}
    void viewReset() override {}
    void deviceIdentified(int) override {}

private:
    mutable std::mutex m_mutex;
    bool m_measuring = false;
    Tally m_tally;
};

} // namespace Bench
