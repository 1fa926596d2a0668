#include "baselib/threading/TaskQueueThreadProxy.h"

namespace Threading::Internal {

TaskQueueThreadProxy::TaskQueueThreadProxy() : m_thread(*m_queue) {}

TaskQueueThreadProxy::~TaskQueueThreadProxy() { stop(); }

void TaskQueueThreadProxy::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_queue->cancel();
    m_thread.join();
}

} // namespace Threading::Internal
