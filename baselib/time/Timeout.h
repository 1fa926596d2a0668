#pragma once

#include "baselib/Export.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/TimeDuration.h"

namespace KelTime {

// A deadline: the UTC instant at which a wait ends, +inf for a wait without limit.
class KELBASE_EXPORT Timeout {
public:
    // Ends `duration` from now (plus the DateTime precision); an infinite duration never ends.
    explicit Timeout(TimeDuration duration);

    static Timeout infinite();
    // Ends at the given instant.
    static Timeout at(const DateTime& end);

    const DateTime& end() const { return m_end; }
    bool isInfinite() const { return m_end.isInfinite(); }
    // False for an infinite deadline, otherwise true once the clock has reached the end.
    bool isExpired() const;
    // +inf for an infinite deadline, otherwise the time left, never below zero.
    TimeDuration remainingTime() const;

private:
    explicit Timeout(const DateTime& end) : m_end(end) {}

    DateTime m_end;
};

} // namespace KelTime
