#pragma once

#include "panel/LinkObserver.h"
#include "host/ConsoleScreen.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace VPanel::Term {

// The link's state as the state line tells it.
struct LinkState {
    bool live = false;   // polling: the first rows came after the start packet
    bool ended = false;  // the connection is ending, on request or not
    bool consoleOff = false;
    bool alarm = false;
    std::string deviceName;
    std::optional<Panel::Event> lastEvent; // the last that said something
};

struct View {
    Host::ConsoleScreen screen;
    LinkState state;
};

// Takes what the link tells on its thread and keeps it for the terminal's thread, which it
// wakes through a descriptor that turns readable on each change.
class ViewFeed : public Panel::LinkObserver {
public:
    explicit ViewFeed(std::map<int, std::string> deviceNames);
    ~ViewFeed() override;
    ViewFeed(const ViewFeed&) = delete;
    ViewFeed& operator=(const ViewFeed&) = delete;

    // Readable after a change; snapshot() makes it quiet again.
    int wakeDescriptor() const { return m_wake; }
    View snapshot();

    void linkEvent(const Panel::Event& event) override;
    void consoleSized(int rows, int places) override;
    void glyphChanged(int code, const Link::DotMatrix& dots) override;
    void rowChanged(int row, const std::vector<std::uint8_t>& cells) override;
    void viewReset() override;
    void deviceIdentified(int identifier) override;

private:
    void changed();

    const std::map<int, std::string> m_deviceNames;
    const int m_wake;
    std::mutex m_mutex;
    View m_view;
};

} // namespace VPanel::Term
