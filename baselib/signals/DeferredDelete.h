#pragma once

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"
#include "baselib/signals/DeferredDeleteBase.h"
#include "baselib/signals/GuardedSharedFromThisBase.h"
#include "baselib/threading/Task.h"
#include "baselib/threading/TaskQueue.h"

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/smart_ptr/bad_weak_ptr.hpp>

#include <atomic>
#include <exception>
#include <memory>
#include <type_traits>
#include <utility>

// The bases of an interface whose objects announce events on other threads and so must not
// be deleted while such work may still use them:
//   class IConnection : public KelBase::DeferredDelete<IConnection, 1>,
//                       public KelBase::Internal::EnableSharedFromThis<IConnection, 1> {...};
// Objects are shared through EnableSharedFromThis::share(); the last reference going
// hands the object to the shared queue's thread, which runs its release handshake and
// deletes it.
namespace KelBase {

template <class Interface, int Version>
class DeferredDelete;

// Interface derives from this class and has a public virtual destructor.
template <class Interface>
class DeferredDelete<Interface, 1> : public Internal::DeferredDeleteBase {
public:
    // Marks the object's release begun, lets it stop its work (beginRelease()), waits until
    // it signalled released and deletes it. Not on a thread whose work the release awaits.
    static void deleteObject(Interface* object)
    {
        DeferredDelete& self = *object;
        self.m_releaseBegun = true;
        self.beginRelease();
        self.waitReleased();
        delete object;
    }

    bool isReleaseBegun() const { return m_releaseBegun; }

protected:
    DeferredDelete() = default;
    virtual ~DeferredDelete() = default;

    // Called once by deleteObject(). By default nothing is in flight and the object is
    // released at once. An object with work on other threads stops it here and calls
    // signalReleased() when its last use is over.
    virtual void beginRelease() { signalReleased(); }

    // Throws ObjectReleasedException once the release has begun.
    void checkNotReleased() const
    {
        if (m_releaseBegun)
            throwReleased();
    }

private:
    std::atomic<bool> m_releaseBegun{false};
};

namespace Internal {

template <class Interface, int Version>
class EnableSharedFromThis;

template <class Interface>
class EnableSharedFromThis<Interface, 1> : public boost::enable_shared_from_this<Interface>,
                                           protected Threading::Internal::GuardedSharedFromThisBase {
public:
    // Takes a new object and gives its first strong reference. When the last reference goes,
    // the object is deleted on the shared queue's thread, never inside the code that let the
    // reference go (which may be running on the object's own behalf); objects with a
    // DeferredDelete base go through its release handshake first.
    static boost::shared_ptr<Interface> share(Interface* object)
    {
        return boost::shared_ptr<Interface>(object, Deleter());
    }

    // A strong reference to this object; throws ObjectReleasedException once the last one
    // has gone.
    boost::shared_ptr<Interface> sharedFromThis()
    {
        try {
            return this->shared_from_this();
        } catch (const boost::bad_weak_ptr&) {
            throw ObjectReleasedException(NoExceptionMessage());
        }
    }

    boost::shared_ptr<const Interface> sharedFromThis() const
    {
        try {
            return this->shared_from_this();
        } catch (const boost::bad_weak_ptr&) {
            throw ObjectReleasedException(NoExceptionMessage());
        }
    }

protected:
    EnableSharedFromThis() = default;
    ~EnableSharedFromThis() = default;

private:
    static void destroy(Interface* object)
    {
        if constexpr (std::is_base_of_v<DeferredDelete<Interface, 1>, Interface>)
            DeferredDelete<Interface, 1>::deleteObject(object);
        else
            delete object;
    }

    // Owns the object until it has run; a queue torn down before that deletes it then.
    class DeletionTask : public Threading::Task {
    public:
        explicit DeletionTask(Interface* object) : m_object(object) {}

        ~DeletionTask() override
        {
            if (m_object)
                reportFailure([this] { destroy(std::exchange(m_object, nullptr)); });
        }

        void run(Threading::TaskQueue&) override { destroy(std::exchange(m_object, nullptr)); }
        // The task could not be queued: the object stays undeleted.
        void forget() { m_object = nullptr; }

    private:
        Interface* m_object;
    };

    struct Deleter {
        void operator()(Interface* object) const
        {
            // A failure here leaves the object undeleted: deleting it on this thread could
            // wait for this very thread.
            reportFailure([object] {
                std::unique_ptr<Threading::Task> task = std::make_unique<DeletionTask>(object);
                try {
                    pushToSharedQueue(task);
                } catch (...) {
                    if (task)
                        static_cast<DeletionTask&>(*task).forget();
                    throw;
                }
            });
        }
    };

    // Deletion runs where exceptions cannot pass: a failure is reported instead.
    template <class Action>
    static void reportFailure(Action action) noexcept
    {
        try {
            action();
        } catch (const std::exception& error) {
            KelConsole::writeErrorReport(L"KelBase::Internal::EnableSharedFromThis: Необработанное исключение во "
                                         L"время удаления объекта\n(" +
                                         exceptionMessage(error) + L")");
        }
    }
};

} // namespace Internal
} // namespace KelBase
