// Lets shared objects go while the process exits: from an atexit handler and from the
// destructor of a static object, both run after the library's process-wide objects were made
// (and so after anything the library destroys at exit). Each release must still reach the
// shared queue, whose thread deletes the object; the handler also makes an object whose
// signal subject needs a class lock not made before. Exits with 1 when a deletion does not
// come; under AddressSanitizer a use of a destroyed process-wide object fails it as well.
#include "baselib/signals/DeferredDelete.h"
#include "baselib/signals/SignalSubject.h"
#include "baselib/signals/SynchronizationModel.h"
#include "baselib/threading/Mutex.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr auto deletionLimit = std::chrono::seconds(20);
constexpr auto pollInterval = std::chrono::milliseconds(1);

std::atomic<int> deletedCount{0};

class IShared : public KelBase::DeferredDelete<IShared, 1>, public KelBase::Internal::EnableSharedFromThis<IShared, 1> {
public:
    ~IShared() override { ++deletedCount; }
};

class LateSignals {
public:
    virtual void happened() = 0;

protected:
    ~LateSignals() = default;
};

using LateSubject =
    KelBase::SignalSubject<LateSignals, KelBase::NullType, std::vector,
                           Threading::SynchronizationModel::ClassScope<
                               Threading::SynchronizationModel::Multiple<Threading::RWLock>>,
                           std::allocator>;

// First made by the atexit handler.
class ILate : public KelBase::DeferredDelete<ILate, 1>, public KelBase::Internal::EnableSharedFromThis<ILate, 1> {
public:
    ~ILate() override { ++deletedCount; }

private:
    LateSubject m_subject;
};

template <class Interface>
void releaseAndAwaitDeletion(boost::shared_ptr<Interface>& object, const char* where)
{
    const int before = deletedCount.load();
    object.reset();
    const auto giveUp = std::chrono::steady_clock::now() + deletionLimit;
    while (deletedCount.load() == before) {
        if (std::chrono::steady_clock::now() > giveUp) {
            std::fprintf(stderr, "%s: the released object was not deleted\n", where);
            _exit(EXIT_FAILURE);
        }
        std::this_thread::sleep_for(pollInterval);
    }
}

struct ReleasedByStaticDestructor {
    boost::shared_ptr<IShared> object;
    ~ReleasedByStaticDestructor() { releaseAndAwaitDeletion(object, "static destructor"); }
} releasedByStaticDestructor;

boost::shared_ptr<IShared> releasedByHandler;

void releaseInHandler()
{
    releaseAndAwaitDeletion(releasedByHandler, "atexit handler");
    boost::shared_ptr<ILate> late = ILate::share(new ILate);
    releaseAndAwaitDeletion(late, "atexit handler, a new class");
}

} // namespace

int main()
{
    std::atexit(releaseInHandler);
    // Makes the shared queue and the library objects it uses, after the handler and the static.
    boost::shared_ptr<IShared> first = IShared::share(new IShared);
    releaseAndAwaitDeletion(first, "main");
    releasedByStaticDestructor.object = IShared::share(new IShared);
    releasedByHandler = IShared::share(new IShared);
    return EXIT_SUCCESS;
}
