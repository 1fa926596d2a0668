#include "PtyFixture.h"

#include "baselib/signals/SignalObserver.h"
#include "comm/serial/SystemSerialPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <future>
#include <thread>

#include <dlfcn.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

// Every reader/writer lock of this program that is made with default attributes prefers
// writers, as some systems' locks do: a reader then queues behind a waiting writer, which
// turns taking the locks in the wrong order into a deadlock instead of a rare stall.
extern "C" __attribute__((visibility("default"))) int pthread_rwlock_init(pthread_rwlock_t* lock,
                                                                          const pthread_rwlockattr_t* attributes)
{
    using Init = int (*)(pthread_rwlock_t*, const pthread_rwlockattr_t*);
    static const Init next = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "pthread_rwlock_init"));
    if (attributes)
        return next(lock, attributes);
    pthread_rwlockattr_t writerPreferring;
    pthread_rwlockattr_init(&writerPreferring);
    pthread_rwlockattr_setkind_np(&writerPreferring, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
    const int result = next(lock, &writerPreferring);
    pthread_rwlockattr_destroy(&writerPreferring);
    return result;
}

namespace {

using namespace KelComm::Serial;
using KelCommTest::awaitBlockedIn;
using KelCommTest::currentThreadId;
using KelCommTest::PtyPair;

constexpr auto generousBound = std::chrono::seconds(10);

using ClassLocking = Threading::SynchronizationModel::ClassScope<
    Threading::SynchronizationModel::Multiple<Threading::RWLock>>;

// Waits until the thread sleeps on a futex inside the lock object.
bool awaitBlockedOn(pid_t thread, const void* lock, std::size_t size)
{
    const auto low = reinterpret_cast<std::uintptr_t>(lock);
    return awaitBlockedIn(thread, SYS_futex, generousBound, low, low + size);
}

// A change handler that uses a port, as an application's may: it closes it when released.
class PortUser : public KelBase::SignalObserver<CommSettings::SignalSubject> {
public:
    PortUser(SystemSerialPort& port, std::shared_future<void> release) : m_port(port), m_release(release) {}
    ~PortUser() { disconnect(); }

    void changed(const CommSettings*) override
    {
        entered.set_value();
        m_release.wait();
        m_port.close();
    }

    std::promise<void> entered;

private:
    SystemSerialPort& m_port;
    std::shared_future<void> m_release;
};

class Subscriber : public KelBase::SignalObserver<CommSettings::SignalSubject> {
public:
    ~Subscriber() { disconnect(); }
    void changed(const CommSettings*) override {}
};

class LockOrderTest : public KelCommTest::PortEnvironment {};

// Whether a lock made here lets a reader in while a writer waits: it must not.
bool locksPreferWriters()
{
    pthread_rwlock_t lock;
    pthread_rwlock_init(&lock, nullptr);
    pthread_rwlock_rdlock(&lock);
    std::promise<pid_t> writer;
    std::thread writing([&] {
        writer.set_value(currentThreadId());
        pthread_rwlock_wrlock(&lock);
        pthread_rwlock_unlock(&lock);
    });
    const bool writerWaits = awaitBlockedOn(writer.get_future().get(), &lock, sizeof lock);
    const int readerLet = pthread_rwlock_tryrdlock(&lock);
    if (readerLet == 0)
        pthread_rwlock_unlock(&lock);
    pthread_rwlock_unlock(&lock);
    writing.join();
    pthread_rwlock_destroy(&lock);
    return writerWaits && readerLet == EBUSY;
}

// A change handler holds the settings class lock shared and then wants the port; a
// subscriber waits for the class lock; a settings() call comes meanwhile. Were that call to
// raise a signal under the port lock (a temporary's setters did), it would hold the port
// while queued behind the subscriber, and the three would wait for each other for ever.
TEST_F(LockOrderTest, AHandlerThatUsesThePortIsNeverBlockedByASettingsRead)
{
    ASSERT_TRUE(locksPreferWriters());
    PtyPair pty;
    pty.setDeviceSpeed(B57600);
    SystemSerialPort port(mapPty(7, pty));
    port.open(); // nothing applied: settings() reports the device's own

    const Threading::RWLock& classLock = ClassLocking::lock<CommSettings::SignalSubject>();
    std::promise<void> release;
    CommSettings raised;
    PortUser handler(port, release.get_future().share());
    handler.connect(raised.signalSubject());

    std::thread raising([&] { raised.setParity(Parity::Even); });
    handler.entered.get_future().wait();

    std::promise<pid_t> subscriberThread;
    std::thread subscribing([&] {
        subscriberThread.set_value(currentThreadId());
        const CommSettings other;
        Subscriber subscriber;
        subscriber.connect(other.signalSubject());
    });
    ASSERT_TRUE(awaitBlockedOn(subscriberThread.get_future().get(), &classLock, sizeof classLock));

    std::promise<pid_t> readerThread;
    std::promise<long> reported;
    std::thread reading([&] {
        readerThread.set_value(currentThreadId());
        CommSettings settings;
        port.settings(settings);
        reported.set_value(settings.baudRate());
    });
    ASSERT_TRUE(awaitBlockedOn(readerThread.get_future().get(), &classLock, sizeof classLock));

    release.set_value();
    std::future<long> baudRate = reported.get_future();
    if (baudRate.wait_for(generousBound) != std::future_status::ready) {
        // The threads can never be joined: say so past the streams (the library's traces
        // may have made standard error wide) and leave.
        const char message[] = "deadlock: the settings read holds the port lock while it waits for the class lock\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
        std::_Exit(EXIT_FAILURE);
    }
    raising.join();
    subscribing.join();
    reading.join();
    EXPECT_EQ(baudRate.get(), 57600);
    EXPECT_FALSE(port.isOpened());
}

} // namespace
