#include "baselib/threading/Task.h"

namespace Threading {

Task::~Task() = default;

bool Task::interrupt() { return false; }

} // namespace Threading
