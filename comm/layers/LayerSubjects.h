#pragma once

#include "baselib/signals/SignalRaiser.h"
#include "baselib/signals/SignalSubject.h"
#include "baselib/signals/SingleItemContainer.h"
#include "baselib/signals/SynchronizationModel.h"
#include "baselib/threading/Mutex.h"

#include <memory>
#include <vector>

namespace KelComm::LayerInterfaces {

// The subject of an interface whose observers connect and are notified from any thread:
// any number of observers, one reader/writer lock for all subjects of the class.
template <class SignalTable>
using SharedSignalSubject =
    KelBase::SignalSubject<SignalTable, KelBase::NullType, std::vector,
                           Threading::SynchronizationModel::ClassScope<
                               Threading::SynchronizationModel::Multiple<Threading::RWLock>>,
                           std::allocator>;

// The subject of an interface used by one thread only, without a lock.
template <class SignalTable, template <class, class> class Container = std::vector>
using SingleThreadSignalSubject =
    KelBase::SignalSubject<SignalTable, KelBase::NullType, Container, Threading::SynchronizationModel::Single,
                           std::allocator>;

} // namespace KelComm::LayerInterfaces
