#pragma once

#include "baselib/signals/SignalSubject.h"
#include "baselib/time/TimeDuration.h"
#include "comm/Export.h"

#include <memory>
#include <vector>

namespace s11n {
class s11n_node;
}

namespace KelComm::Serial {

class CommTimeouts;

class CommTimeoutsSignalTable {
public:
    virtual void changed(const CommTimeouts* timeouts) = 0;

protected:
    ~CommTimeoutsSignalTable() = default;
};

// Read timeouts: the response timeout bounds the wait for the first byte of a read (infinite:
// no limit); the interval timeout bounds the gap between two bytes (infinite: no limit,
// null: do not wait for further bytes). Copies copy the values only.
class KELCOMM_EXPORT CommTimeouts {
public:
    using SignalTable = CommTimeoutsSignalTable;
    using SignalSubject =
        KelBase::SignalSubject<SignalTable, KelBase::NullType, std::vector,
                               Threading::SynchronizationModel::ClassScope<
                                   Threading::SynchronizationModel::Multiple<Threading::RWLock>>,
                               std::allocator>;

    // Both infinite.
    CommTimeouts();
    CommTimeouts(KelTime::TimeDuration responseTimeout, KelTime::TimeDuration intervalTimeout);
    CommTimeouts(const CommTimeouts& other);
    ~CommTimeouts();
    // Raises changed once, whether or not a value differed.
    CommTimeouts& operator=(const CommTimeouts& other);

    SignalSubject& signalSubject() const;

    void getReadTimeouts(KelTime::TimeDuration& responseTimeout, KelTime::TimeDuration& intervalTimeout) const;
    // Raises changed once when either value differs.
    void setReadTimeouts(KelTime::TimeDuration responseTimeout, KelTime::TimeDuration intervalTimeout);

    // Saving into and loading from a serialization node (comm/settings/), as CommSettings
    // does: both durations or neither, and changed once after a complete load. A negative
    // duration does not read as a timeout.
    bool operator()(s11n::s11n_node& node) const;
    bool operator()(const s11n::s11n_node& node);

private:
    struct Impl;

    void raiseChanged();

    std::unique_ptr<Impl> m_impl;
};

} // namespace KelComm::Serial
