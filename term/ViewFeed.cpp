#include "term/ViewFeed.h"

#include "baselib/exceptions/Exception.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace VPanel::Term {

namespace {
int openWake()
{
    const int descriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (descriptor < 0)
        throw KelBase::RuntimeException(L"eventfd");
    return descriptor;
}
} // namespace

ViewFeed::ViewFeed(std::map<int, std::string> deviceNames)
    : m_deviceNames(std::move(deviceNames)), m_wake(openWake())
{
}

ViewFeed::~ViewFeed() { close(m_wake); }

View ViewFeed::snapshot()
{
    std::uint64_t count = 0;
    (void)read(m_wake, &count, sizeof count);
    const std::lock_guard lock(m_mutex);
    return m_view;
}

void ViewFeed::changed()
{
    const std::uint64_t one = 1;
    (void)write(m_wake, &one, sizeof one);
}

void ViewFeed::linkEvent(const Panel::Event& event)
{
    {
        const std::lock_guard lock(m_mutex);
        LinkState& state = m_view.state;
        m_console.apply(event.code);
        state.consoleOff = !m_console.consoleOn;
        state.alarm = m_console.alarm;
        if (Host::endsLink(event.code)) {
            state.ended = true;
            state.live = false;
        }
        if (*event.text.source)
            state.lastEvent = event;
    }
    changed();
}

void ViewFeed::consoleSized(int rows, int places)
{
    {
        const std::lock_guard lock(m_mutex);
        m_view.screen.resize(rows, places);
    }
    changed();
}

void ViewFeed::glyphChanged(int code, const Link::DotMatrix& dots)
{
    {
        const std::lock_guard lock(m_mutex);
        m_view.screen.setGlyph(code, dots);
    }
    changed();
}

void ViewFeed::rowChanged(int row, const std::vector<std::uint8_t>& cells)
{
    {
        const std::lock_guard lock(m_mutex);
        m_view.screen.setRow(row, cells);
        if (!m_view.state.ended)
            m_view.state.live = true;
    }
    changed();
}

void ViewFeed::viewReset() { changed(); }

void ViewFeed::deviceIdentified(int identifier)
{
    {
        const std::lock_guard lock(m_mutex);
        const auto name = m_deviceNames.find(identifier);
        m_view.state.deviceName = name != m_deviceNames.end() ? name->second : std::to_string(identifier);
    }
    changed();
}

} // namespace VPanel::Term
