#include "baselib/signals/SignalObserver.h"
#include "baselib/signals/SignalRaiser.h"
#include "baselib/signals/SignalSubject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Threading::SynchronizationModel;

class Signals {
public:
    virtual void valueChanged(int value, const std::string& source) = 0;

protected:
    ~Signals() = default;
};

using SharedSubject = KelBase::SignalSubject<Signals, KelBase::NullType, std::vector,
                                             ClassScope<Multiple<Threading::RWLock>>, std::allocator>;
using LocalSubject =
    KelBase::SignalSubject<Signals, KelBase::NullType, std::vector, Single, std::allocator>;
using SingleSubject = KelBase::SignalSubject<Signals, KelBase::NullType, KelBase::SingleItemContainer,
                                             Single, std::allocator>;

// Records what it heard as "name:value:source"; an optional hook runs inside the handler.
template <class Subject>
class Listener : public KelBase::SignalObserver<Subject> {
public:
    Listener(std::vector<std::string>& log, std::string name) : m_log(log), m_name(std::move(name)) {}
    ~Listener() { this->disconnect(); }

    void valueChanged(int value, const std::string& source) override
    {
        m_log.push_back(m_name + ":" + std::to_string(value) + ":" + source);
        if (hook)
            hook();
    }

    std::function<void()> hook;

private:
    std::vector<std::string>& m_log;
    std::string m_name;
};

template <class Subject>
void raise(Subject& subject, int value, const std::string& source)
{
    const KelBase::SignalRaiser<Subject> raiser(subject);
    raiser(&Signals::valueChanged, value, source);
}

template <class Subject>
class SignalSubjectTest : public ::testing::Test {};
using SubjectKinds = ::testing::Types<SharedSubject, LocalSubject>;
TYPED_TEST_SUITE(SignalSubjectTest, SubjectKinds);

TYPED_TEST(SignalSubjectTest, RaisesInConnectionOrderUntilDisconnected)
{
    std::vector<std::string> log;
    TypeParam subject;
    Listener<TypeParam> first(log, "a"), second(log, "b");
    second.connect(subject);
    first.connect(subject);
    first.connect(subject); // connecting twice to the same subject keeps one entry
    EXPECT_EQ(subject.observerCount(), 2u);

    raise(subject, 7, "x");
    second.disconnect();
    raise(subject, 8, "y");
    EXPECT_EQ(log, (std::vector<std::string>{"b:7:x", "a:7:x", "a:8:y"}));
    EXPECT_FALSE(second.isConnected());
    EXPECT_TRUE(first.isConnectedTo(subject));
}

TYPED_TEST(SignalSubjectTest, ConnectingElsewhereMovesTheObserver)
{
    std::vector<std::string> log;
    TypeParam one, two;
    Listener<TypeParam> listener(log, "l");
    listener.connect(one);
    listener.connect(two);
    raise(one, 1, "one");
    raise(two, 2, "two");
    EXPECT_EQ(log, (std::vector<std::string>{"l:2:two"}));
    EXPECT_EQ(one.observerCount(), 0u);
}

TYPED_TEST(SignalSubjectTest, LifetimesEndConnectionsFromEitherSide)
{
    std::vector<std::string> log;
    TypeParam subject;
    {
        Listener<TypeParam> shortLived(log, "s");
        shortLived.connect(subject);
    }
    EXPECT_EQ(subject.observerCount(), 0u);

    Listener<TypeParam> survivor(log, "v");
    {
        TypeParam shortSubject;
        survivor.connect(shortSubject);
    }
    EXPECT_FALSE(survivor.isConnected());
    survivor.disconnect(); // harmless after the subject is gone
}

TYPED_TEST(SignalSubjectTest, AnObserverExceptionEndsTheRaiseAndReleasesTheLock)
{
    std::vector<std::string> log;
    TypeParam subject;
    Listener<TypeParam> thrower(log, "t"), later(log, "l");
    thrower.hook = [] { throw std::runtime_error("observer failed"); };
    thrower.connect(subject);
    later.connect(subject);
    EXPECT_THROW(raise(subject, 1, "x"), std::runtime_error);
    EXPECT_EQ(log, (std::vector<std::string>{"t:1:x"}));
    later.disconnect(); // would deadlock if the raise had kept the class lock
    EXPECT_EQ(subject.observerCount(), 1u);
}

TEST(SingleItemSubject, HoldsOneObserverAndDisplacesTheEarlierOne)
{
    std::vector<std::string> log;
    SingleSubject subject;
    Listener<SingleSubject> first(log, "a"), second(log, "b");
    first.connect(subject);
    second.connect(subject);
    EXPECT_EQ(subject.observerCount(), 1u);
    EXPECT_FALSE(first.isConnected());
    raise(subject, 3, "x");
    EXPECT_EQ(log, (std::vector<std::string>{"b:3:x"}));
    second.disconnect();
    raise(subject, 4, "y");
    EXPECT_EQ(log.size(), 1u);
}

TEST(SingleThreadSubject, HandlersMayDisconnectObserversDuringARaise)
{
    std::vector<std::string> log;
    LocalSubject subject;
    Listener<LocalSubject> first(log, "a"), second(log, "b"), third(log, "c");
    first.connect(subject);
    second.connect(subject);
    third.connect(subject);
    first.hook = [&] {
        first.disconnect();
        second.disconnect();
    };
    raise(subject, 5, "x");
    EXPECT_EQ(log, (std::vector<std::string>{"a:5:x", "c:5:x"}));
}

TEST(ClassScopeModel, OneLockPerSubjectClass)
{
    using Model = ClassScope<Multiple<Threading::RWLock>>;
    struct OtherHost {};
    EXPECT_EQ(&Model::lock<SharedSubject>(), &Model::lock<SharedSubject>());
    EXPECT_EQ(&Model::lock<SharedSubject>(), &Internal::classRWLock(typeid(SharedSubject)));
    EXPECT_NE(&Model::lock<SharedSubject>(), &Model::lock<OtherHost>());
}

TEST(ClassScopeModel, ConnectingWaitsForARaiseOnAnyObjectOfTheClass)
{
    std::vector<std::string> log, lateLog;
    SharedSubject raised, other;
    Listener<SharedSubject> slow(log, "s");
    Listener<SharedSubject> late(lateLog, "l");
    std::atomic<bool> inHandler{false}, release{false}, connected{false};
    slow.hook = [&] {
        inHandler = true;
        while (!release)
            std::this_thread::yield();
    };
    slow.connect(raised);

    std::thread raiser([&] { raise(raised, 1, "x"); });
    while (!inHandler)
        std::this_thread::yield();
    std::thread connector([&] {
        late.connect(other);
        connected = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(connected.load()); // the class lock is shared by both subjects
    release = true;
    raiser.join();
    connector.join();
    EXPECT_TRUE(late.isConnectedTo(other));
}

TEST(ClassScopeModel, ConcurrentConnectsAndRaisesStayConsistent)
{
    SharedSubject subject;
    constexpr int threadCount = 3;
    constexpr int rounds = 300;
    std::atomic<int> calls{0};
    struct Counter : KelBase::SignalObserver<SharedSubject> {
        explicit Counter(std::atomic<int>& calls) : m_calls(calls) {}
        ~Counter() { disconnect(); }
        void valueChanged(int, const std::string&) override { ++m_calls; }
        std::atomic<int>& m_calls;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&] {
            Counter counter(calls);
            for (int round = 0; round < rounds; ++round) {
                counter.connect(subject);
                raise(subject, round, "r");
                counter.disconnect();
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(subject.observerCount(), 0u);
    EXPECT_GE(calls.load(), threadCount * rounds); // each raise reaches at least its own thread
}

} // namespace
