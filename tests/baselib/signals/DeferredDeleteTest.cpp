#include "Latch.h"
#include "tests/support/TraceCapture.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/PlatformInit.h"
#include "baselib/signals/DeferredDelete.h"

#include <boost/noncopyable.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using KelBaseTest::deadline;
using KelBaseTest::Latch;

// What the tests learn about how a channel ended.
struct Events {
    std::atomic<int> deleted{0};
    std::atomic<bool> releaseBegunAtDeletion{false};
    std::thread::id workerThread;
    std::thread::id deletingThread;
    Latch gone{1};
};

class IChannel : public KelBase::DeferredDelete<IChannel, 1>,
                 public KelBase::Internal::EnableSharedFromThis<IChannel, 1>,
                 private boost::noncopyable {
public:
    ~IChannel() override = default;
    virtual void send(int value) = 0;
};

// Hands sent values to a handler on a worker thread of its own, holding a strong reference
// to itself while the handler runs, when it is shared. Its release stops the worker, which signals released
// as the last thing it does with the channel.
class Channel : public IChannel {
public:
    using Handler = std::function<void(IChannel&, int)>;

    Channel(Events& events, Handler handler) : m_events(events), m_handler(std::move(handler))
    {
        m_worker = std::thread([this] { work(); });
        m_events.workerThread = m_worker.get_id();
    }

    ~Channel() override
    {
        m_events.releaseBegunAtDeletion = isReleaseBegun();
        m_events.deletingThread = std::this_thread::get_id();
        m_worker.join();
        ++m_events.deleted;
        m_events.gone.countDown();
    }

    void send(int value) override
    {
        checkNotReleased();
        const std::lock_guard lock(m_mutex);
        m_values.push_back(value);
        m_changed.notify_one();
    }

protected:
    void beginRelease() override
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_one();
    }

private:
    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_values.empty(); });
            if (m_stopping)
                break;
            const int value = m_values.front();
            m_values.pop_front();
            lock.unlock();
            deliver(value);
            lock.lock();
        }
        lock.unlock();
        signalReleased();
    }

    void deliver(int value)
    {
        // Not needed for safety (the release waits for this thread), but it makes the last
        // reference go on this thread when the handler drops the owner's.
        const boost::shared_ptr<IChannel> self = weak_from_this().lock();
        m_handler(*this, value);
    }

    Events& m_events;
    Handler m_handler;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<int> m_values;
    bool m_stopping = false;
    std::thread m_worker;
};

// Each test runs inside a platform set-up, whose tear-down removes the shared queue.
class SharedObjectTest : public testing::Test {
protected:
    char* argv[1] = {nullptr};
    std::unique_ptr<KelBase::KelPlatformInit> platform = std::make_unique<KelBase::KelPlatformInit>(0, argv);
};

// The owner's last reference goes inside the channel's own handler, on its worker: the
// channel is deleted later on the shared queue's thread, after its worker let go of it.
TEST_F(SharedObjectTest, LastReferenceDroppedInItsOwnHandler)
{
    constexpr int channelCount = 16;
    std::vector<Events> events(channelCount);
    std::vector<boost::shared_ptr<IChannel>> owners(channelCount);
    std::atomic<int> handled{0};
    for (int i = 0; i < channelCount; ++i)
        owners[i] = IChannel::share(new Channel(events[i], [&owners, &handled, i](IChannel&, int) {
            owners[i].reset();
            ++handled;
        }));
    for (int i = 0; i < channelCount; ++i)
        owners[i]->send(i);

    for (Events& channel : events) {
        ASSERT_TRUE(channel.gone.wait());
        EXPECT_EQ(channel.deleted, 1);
        EXPECT_TRUE(channel.releaseBegunAtDeletion);
        EXPECT_NE(channel.deletingThread, channel.workerThread);
        EXPECT_NE(channel.deletingThread, std::this_thread::get_id());
    }
    EXPECT_EQ(handled, channelCount);
}

// deleteObject() waits for the work in flight; meanwhile the channel refuses new work.
TEST_F(SharedObjectTest, DeletionWaitsForWorkInFlight)
{
    Events events;
    Latch handlerEntered(1), handlerMayLeave(1);
    auto* channel = new Channel(events, [&](IChannel&, int) {
        handlerEntered.countDown();
        handlerMayLeave.wait();
    });
    channel->send(1);
    ASSERT_TRUE(handlerEntered.wait());

    std::thread deleting([channel] { IChannel::deleteObject(channel); });
    const std::thread::id deletingThread = deleting.get_id();
    while (!channel->isReleaseBegun())
        std::this_thread::yield();
    EXPECT_THROW(channel->send(2), KelBase::ObjectReleasedException);
    EXPECT_FALSE(events.gone.wait(50ms));
    handlerMayLeave.countDown();
    deleting.join();
    EXPECT_EQ(events.deleted, 1);
    EXPECT_EQ(events.deletingThread, deletingThread);
}

class IPlain : public KelBase::Internal::EnableSharedFromThis<IPlain, 1> {
public:
    virtual ~IPlain() = default;
};

class Plain : public IPlain {
public:
    explicit Plain(Events& events) : m_events(events) {}
    ~Plain() override
    {
        m_events.deletingThread = std::this_thread::get_id();
        ++m_events.deleted;
        m_events.gone.countDown();
    }

private:
    Events& m_events;
};

TEST_F(SharedObjectTest, ObjectsWithoutHandshakeAreDeletedOnTheSharedQueue)
{
    Events events;
    boost::shared_ptr<IPlain> owner = IPlain::share(new Plain(events));
    boost::shared_ptr<IPlain> self = owner->sharedFromThis();
    EXPECT_EQ(owner.use_count(), 2);
    owner.reset();
    EXPECT_EQ(events.deleted, 0);
    self.reset();
    ASSERT_TRUE(events.gone.wait());
    EXPECT_NE(events.deletingThread, std::this_thread::get_id());
}

// Releases on several threads while the shared queue is removed again and again, as a
// platform tear-down does: no push may reach a queue being deleted, and every object goes.
TEST_F(SharedObjectTest, ReleasesRacingTheQueuesRemovalAreAllCarriedOut)
{
    constexpr int releaserCount = 2;
    constexpr int removalCount = 1000;
    constexpr int releaseLimit = 20000;
    class Counted : public IPlain {
    public:
        explicit Counted(std::atomic<int>& deleted) : m_deleted(deleted) {}
        ~Counted() override { ++m_deleted; }

    private:
        std::atomic<int>& m_deleted;
    };
    const TraceCapture trace;
    std::atomic<int> released{0};
    std::atomic<int> deleted{0};
    std::atomic<bool> removing{true};
    std::vector<std::thread> releasers;
    for (int i = 0; i < releaserCount; ++i)
        releasers.emplace_back([&] {
            for (int release = 0; removing && release < releaseLimit; ++release) {
                IPlain::share(new Counted(deleted));
                ++released;
                std::this_thread::yield();
            }
        });
    // Each removal after a release, so that there is a queue to remove.
    for (int removal = 0; removal < removalCount && released < releaserCount * releaseLimit; ++removal) {
        for (const int seen = released; released == seen && released < releaserCount * releaseLimit;)
            std::this_thread::yield();
        Threading::TaskQueueReleaser();
    }
    removing = false;
    for (std::thread& releaser : releasers)
        releaser.join();
    const auto giveUp = std::chrono::steady_clock::now() + deadline;
    while (deleted < released && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(deleted, released);
}

struct QueueUser : Threading::Internal::GuardedSharedFromThisBase {
    using GuardedSharedFromThisBase::sharedTaskQueue;
};

// Blocks the queue until interrupted.
class BlockingTask : public Threading::Task {
public:
    void run(Threading::TaskQueue&) override
    {
        started.countDown();
        mayEnd.wait();
    }
    bool interrupt() override
    {
        mayEnd.countDown();
        return true;
    }

    Latch started{1}, mayEnd{1};
};

TEST_F(SharedObjectTest, PlatformTearDownRemovesTheQueueOnce)
{
    TraceCapture trace;
    Threading::TaskQueue& queue = QueueUser::sharedTaskQueue();
    EXPECT_EQ(&QueueUser::sharedTaskQueue(), &queue);
    EXPECT_EQ(trace.count(L"!!! Создана очередь для GuardedSharedFromThis\n"), 1u);
    EXPECT_EQ(trace.count(L"!!! Обращение к очереди для GuardedSharedFromThis\n"), 2u);

    // A deletion still waiting when the queue goes is done by the tear-down.
    BlockingTask blocker;
    queue.pushTask(blocker);
    ASSERT_TRUE(blocker.started.wait());
    Events events;
    IPlain::share(new Plain(events));
    EXPECT_EQ(events.deleted, 0);

    platform.reset();
    EXPECT_EQ(events.deleted, 1);
    EXPECT_EQ(events.deletingThread, std::this_thread::get_id());
    EXPECT_EQ(trace.count(L"!!! Очередь для GuardedSharedFromThis удалена\n"), 1u);

    // A set-up that never made a queue has none to remove.
    platform = std::make_unique<KelBase::KelPlatformInit>(0, argv);
    platform.reset();
    EXPECT_EQ(trace.count(L"!!! Очередь для GuardedSharedFromThis удалена\n"), 1u);
}

} // namespace
