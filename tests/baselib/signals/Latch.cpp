#include "Latch.h"

namespace KelBaseTest {

void Latch::countDown()
{
    const std::lock_guard lock(m_mutex);
    if (--m_count == 0)
        m_done.notify_all();
}

bool Latch::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_done.wait_for(lock, timeout, [this] { return m_count <= 0; });
}

} // namespace KelBaseTest
