#include "TimerTestSupport.h"

#include "baselib/threading/Semaphore.h"

#include <gtest/gtest.h>

#include <iostream>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace TimerTestSupport;
using KelBase::TimeoutScheduler;
using KelBase::TimerException;
using KelTime::DateTime;
using KelTime::Timeout;
using Connection = TimeoutScheduler::ScopedConnection;

namespace {

using SteadyClock = std::chrono::steady_clock;

long long elapsedMs(SteadyClock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - since).count();
}

void sleepUntil(DateTime instant)
{
    while (now() < instant)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

class ThrowingTimer : public KelBase::Timer {
protected:
    void fire() override { throw std::runtime_error("boom"); }
};

// Runs a scheduler's loop on a thread of its own until destroyed.
class SchedulerThread {
public:
    explicit SchedulerThread(TimeoutScheduler& scheduler)
        : m_scheduler(scheduler), m_thread([this] {
              while (!m_stop)
                  if (m_scheduler.waitForTimeEvent())
                      m_scheduler.doEvents();
          })
    {
    }
    ~SchedulerThread()
    {
        m_stop = true;
        m_scheduler.abortWaiting();
        m_thread.join();
    }

private:
    TimeoutScheduler& m_scheduler;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(TimeoutSchedulerTest, FiresInOrderOfDueTimeEqualOnesInStartOrder)
{
    TimeoutScheduler scheduler;
    std::vector<std::string> order;
    CallbackTimer a([&] { order.push_back("a"); }), b([&] { order.push_back("b"); }), c([&] { order.push_back("c"); });
    const Connection ca(scheduler, a), cb(scheduler, b), cc(scheduler, c);
    const DateTime due = now() + ms(10);
    b.start(Timeout::at(due));
    a.start(Timeout::at(due));
    c.start(Timeout::at(due - ms(5)));
    sleepUntil(due);
    scheduler.doEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"c", "b", "a"}));
}

TEST(TimeoutSchedulerTest, RestartBeforeFiringFiresOnceAtTheNewTime)
{
    TimeoutScheduler scheduler;
    DateTime firedAt;
    CallbackTimer timer([&] { firedAt = now(); });
    const Connection connection(scheduler, timer);
    const DateTime origin = now();
    timer.start(Timeout::at(origin + ms(30)));
    timer.start(Timeout::at(origin + ms(80)));
    drive(scheduler, origin + ms(200));
    EXPECT_EQ(timer.fires, 1);
    EXPECT_GE(firedAt, origin + ms(80));
}

TEST(TimeoutSchedulerTest, LatePeriodicTimerCatchesUpOncePerPeriod)
{
    TimeoutScheduler scheduler;
    std::vector<DateTime> firings;
    CallbackTimer timer([&] { firings.push_back(now()); });
    const Connection connection(scheduler, timer);
    const DateTime origin = now();
    timer.start(Timeout::at(origin + ms(100)), ms(100));
    sleepUntil(origin + ms(350));
    scheduler.doEvents();
    if (now() >= origin + ms(400))
        GTEST_SKIP() << "the test thread overslept: the fourth period is due already";
    EXPECT_EQ(timer.fires, 3) << "for the due times 100, 200 and 300 ms";

    ASSERT_TRUE(scheduler.waitForTimeEvent(Timeout(ms(1000))));
    scheduler.doEvents();
    ASSERT_EQ(firings.size(), 4u);
    EXPECT_GE(firings.back(), origin + ms(400));
    EXPECT_LT(firings.back(), origin + ms(500));
}

TEST(TimeoutSchedulerTest, WaitEndsWithTheEarlierOfTimerAndDeadline)
{
    struct Case {
        double timer_ms;
        double deadline_ms;
        bool timerDue;
    };
    for (const Case& c : {Case{20, 300, true}, Case{300, 20, false}, Case{40, 40, false}}) {
        TimeoutScheduler scheduler;
        CallbackTimer timer;
        const Connection connection(scheduler, timer);
        const DateTime origin = now();
        timer.start(Timeout::at(origin + ms(c.timer_ms)));
        const auto begin = SteadyClock::now();
        EXPECT_EQ(scheduler.waitForTimeEvent(Timeout::at(origin + ms(c.deadline_ms))), c.timerDue) << c.timer_ms;
        const DateTime end = now();
        EXPECT_GE(end, origin + ms(std::min(c.timer_ms, c.deadline_ms))) << c.timer_ms;
        EXPECT_LT(elapsedMs(begin), 250) << c.timer_ms;
    }
}

TEST(TimeoutSchedulerTest, DueTimeThatIsNotANumberFiresAtOnceAndHoldsNoTimerBack)
{
    TimeoutScheduler scheduler;
    CallbackTimer unknown, later;
    const Connection c1(scheduler, unknown), c2(scheduler, later);
    unknown.start(Timeout::at(now() + KelTime::TimeDuration::fromDays(std::numeric_limits<double>::quiet_NaN())));
    later.start(Timeout(ms(10)));
    const DateTime end = now() + ms(5000);
    while (later.fires == 0 && now() < end)
        if (scheduler.waitForTimeEvent(Timeout::at(end)))
            scheduler.doEvents();
    EXPECT_EQ(unknown.fires, 1);
    EXPECT_EQ(later.fires, 1);
}

TEST(TimeoutSchedulerTest, WaitWithoutTimersEndsAtTheDeadlineOrOnAbort)
{
    TimeoutScheduler scheduler;
    const DateTime origin = now();
    EXPECT_FALSE(scheduler.waitForTimeEvent(Timeout(ms(50))));
    EXPECT_GE(now(), origin + ms(50));

    scheduler.abortWaiting();
    auto begin = SteadyClock::now();
    EXPECT_FALSE(scheduler.waitForTimeEvent(Timeout(ms(1000))));
    EXPECT_LT(elapsedMs(begin), 500) << "an earlier abort ends the next wait at once";
    const DateTime second = now();
    EXPECT_FALSE(scheduler.waitForTimeEvent(Timeout(ms(20))));
    EXPECT_GE(now(), second + ms(20)) << "the abort was used up";

    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        scheduler.abortWaiting();
    });
    EXPECT_FALSE(scheduler.waitForTimeEvent());
    aborter.join();
}

TEST(TimeoutSchedulerTest, CallbackMayRestartOrStopItsOwnTimer)
{
    struct Case {
        const char* name;
        bool periodic;
        std::function<void(CallbackTimer&)> inCallback;
        int fires;
    };
    const Case cases[] = {
        // The periodic rescheduling must not add a second entry to the callback's own start.
        {"periodic restarted far ahead", true, [](CallbackTimer& t) { t.start(Timeout(ms(100000))); }, 1},
        {"periodic stopped", true, [](CallbackTimer& t) { t.stop(); }, 1},
        {"one-shot restarted twice", false,
         [](CallbackTimer& t) {
             if (t.fires < 3)
                 t.start(Timeout(ms(5)));
         },
         3},
    };
    for (const Case& c : cases) {
        TimeoutScheduler scheduler;
        CallbackTimer timer;
        timer.action = [&] { c.inCallback(timer); };
        const Connection connection(scheduler, timer);
        if (c.periodic)
            timer.start(Timeout(ms(5)), ms(20));
        else
            timer.start(Timeout(ms(5)));
        drive(scheduler, now() + ms(150));
        EXPECT_EQ(timer.fires, c.fires) << c.name;
    }
}

TEST(TimeoutSchedulerTest, DisconnectionWaitsForARunningCallback)
{
    TimeoutScheduler scheduler;
    Threading::Semaphore entered;
    std::atomic<bool> done{false};
    CallbackTimer timer([&] {
        entered.post();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        done = true;
    });
    auto connection = std::make_unique<Connection>(scheduler, timer);
    const SchedulerThread loop(scheduler);
    timer.start(Timeout(ms(1)), ms(1));
    entered.wait();
    connection.reset();
    EXPECT_TRUE(done) << "the callback had returned";
    const int fires = timer.fires;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(timer.fires, fires) << "and it does not fire again";
}

TEST(TimeoutSchedulerTest, DisconnectionFromItsOwnCallbackDoesNotWait)
{
    TimeoutScheduler scheduler;
    CallbackTimer timer;
    std::optional<Connection> connection;
    connection.emplace(scheduler, timer);
    timer.action = [&] { connection.reset(); };
    timer.start(Timeout(ms(1)), ms(5));
    drive(scheduler, now() + ms(60));
    EXPECT_EQ(timer.fires, 1);
    EXPECT_FALSE(connection);
}

TEST(TimeoutSchedulerTest, MisuseOfConnectionsIsRefused)
{
    TimeoutScheduler scheduler, other;
    CallbackTimer timer;
    EXPECT_THROW(timer.start(Timeout(ms(1))), TimerException);
    EXPECT_THROW(timer.start(Timeout(ms(1)), ms(1)), TimerException);
    EXPECT_NO_THROW(timer.stop());
    {
        const Connection connection(scheduler, timer);
        EXPECT_THROW((Connection(scheduler, timer)), TimerException);
        EXPECT_THROW((Connection(other, timer)), TimerException);
        EXPECT_NO_THROW(timer.start(Timeout(ms(1))));
        EXPECT_THROW(timer.start(Timeout(ms(1)), KelTime::TimeDuration::fromDays(std::numeric_limits<double>::quiet_NaN())),
                     TimerException);
    }
    EXPECT_THROW(timer.start(Timeout(ms(1))), TimerException) << "the connection has ended";
    const Connection again(other, timer);
    EXPECT_NO_THROW(timer.start(Timeout(ms(1))));
}

TEST(TimeoutSchedulerTest, ThrowingCallbackIsReportedAndOthersStillFire)
{
    TimeoutScheduler scheduler;
    ThrowingTimer thrower;
    CallbackTimer next;
    const Connection c1(scheduler, thrower), c2(scheduler, next);
    const DateTime due = now() + ms(5);
    thrower.start(Timeout::at(due));
    next.start(Timeout::at(due));
    sleepUntil(due);
    std::wostringstream captured;
    std::wstreambuf* const previous = std::wcerr.rdbuf(captured.rdbuf());
    scheduler.doEvents();
    std::wcerr.rdbuf(previous);
    EXPECT_EQ(next.fires, 1);
    EXPECT_NE(captured.str().find(L"KelBase::TimeoutScheduler::doEvents(): Необработанное исключение во время "
                                  L"исполнения\n(boom)\nТаймер (anonymous namespace)::ThrowingTimer"),
              std::wstring::npos)
        << captured.str();
}

} // namespace
