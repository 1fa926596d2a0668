#pragma once

#include "baselib/Export.h"
#include "baselib/exceptions/BasicVerifier.h"
#include "baselib/threading/Mutex.h"

namespace Threading::Internal {

// The one process-wide recursive mutex that guards lazy construction of the library's
// function-local statics. Recursive, because building one such object may need another.
class KELBASE_EXPORT BasicStaticInitializer : private BasicVerifier {
public:
    // Made exactly once on first use and never destroyed, like every process-wide object of
    // the library (see ProcessWide).
    static Mutex& syncMutex();

private:
    static void createSyncMutex();
};

} // namespace Threading::Internal
