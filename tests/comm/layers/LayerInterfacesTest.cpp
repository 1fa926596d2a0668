#include "baselib/platform/Console.h"
#include "baselib/signals/SignalObserver.h"
#include "comm/layers/application/IEventConsumer.h"
#include "comm/layers/transport/IConnection.h"
#include "comm/layers/transport/ITransportLayer.h"
#include "tests/support/TraceCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using namespace KelComm::LayerInterfaces;
using namespace KelComm::LayerInterfaces::TransportLayer;
using KelComm::PDU::ConstBytes;
using KelComm::PDU::MutableBytes;
using KelComm::Serial::IO_Result;
using KelTime::Timeout;
using KelTime::TimeDuration;

constexpr std::chrono::seconds deletionWait{10};

// What happens to a connection's end, seen from the test.
struct Ending {
    std::mutex mutex;
    std::condition_variable done;
    bool deleted = false;
    bool releaseBegun = false;
    std::thread::id thread;
};

class Connection : public IConnection {
public:
    Connection() = default;
    explicit Connection(Ending* ending) : m_ending(ending) {}
    ~Connection() override
    {
        if (!m_ending)
            return;
        const std::lock_guard lock(m_ending->mutex);
        m_ending->deleted = true;
        m_ending->releaseBegun = isReleaseBegun();
        m_ending->thread = std::this_thread::get_id();
        m_ending->done.notify_all();
    }

    void receiveUnit() { signalRaiser()(&SignalTable::unitReceived, this); }

    MOCK_METHOD(std::wstring, peerAddress, (), (const, override));
    MOCK_METHOD(boost::shared_ptr<ITransportLayer>, transportLayer, (), (const, override));
    MOCK_METHOD(void, open, (const Timeout&), (override));
    MOCK_METHOD(void, close, (), (override));
    MOCK_METHOD(bool, isOpened, (), (const, override));
    MOCK_METHOD(std::size_t, maxUnitSize, (), (const, override));
    MOCK_METHOD(IO_Result, send, (ConstBytes, const Timeout&), (override));
    MOCK_METHOD(IO_Result, receive, (MutableBytes, std::size_t*, const Timeout&), (override));
    MOCK_METHOD(IO_Result, waitForUnit, (const Timeout&), (override));
    MOCK_METHOD(std::size_t, pendingUnits, (), (const, override));
    MOCK_METHOD(void, discardPending, (), (override));
    MOCK_METHOD(TimeDuration, responseTimeout, (), (const, override));
    MOCK_METHOD(void, setResponseTimeout, (TimeDuration), (override));
    MOCK_METHOD(void, abort, (), (override));
    MOCK_METHOD(void, clearAbort, (), (override));
    MOCK_METHOD(unsigned long, unitsSent, (), (const, override));
    MOCK_METHOD(unsigned long, unitsReceived, (), (const, override));
    MOCK_METHOD(unsigned long, errorCount, (), (const, override));
    MOCK_METHOD(void, resetCounters, (), (override));

private:
    Ending* m_ending = nullptr;
};

class TransportLayerImpl : public ITransportLayer {
public:
    MOCK_METHOD(std::wstring, description, (), (const, override));
    MOCK_METHOD(void, start, (), (override));
    MOCK_METHOD(void, stop, (), (override));
    MOCK_METHOD(bool, isStarted, (), (const, override));
    MOCK_METHOD(boost::shared_ptr<IConnection>, createConnection, (const std::wstring&), (override));
};

class UnitCounter : public KelBase::SignalObserver<IConnection::SignalSubject> {
public:
    ~UnitCounter() { disconnect(); }
    void opened(IConnection*) override {}
    void closed(IConnection*) override {}
    void unitReceived(IConnection*) override { ++units; }
    void failed(IConnection*, const KelBase::Exception&) override {}
    int units = 0;
};

// n of "'obj:IConnection#n'", or -1 for another form.
int serialOf(const std::wstring& objectName)
{
    const std::wstring prefix = L"'obj:IConnection#";
    if (objectName.compare(0, prefix.size(), prefix) != 0 || objectName.back() != L'\'')
        return -1;
    const std::wstring digits = objectName.substr(prefix.size(), objectName.size() - prefix.size() - 1);
    return !digits.empty() && digits.find_first_not_of(L"0123456789") == std::wstring::npos ? std::stoi(digits) : -1;
}

TEST(LayerObjectNames, CountFromOnePerClassInAFreshProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const Connection first;
            const TransportLayerImpl layer;
            const Connection second;
            const bool expected = first.objectName() == L"'obj:IConnection#1'" &&
                                  second.objectName() == L"'obj:IConnection#2'" &&
                                  layer.objectName() == L"'obj:ITransportLayer#1'";
            std::exit(expected ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(LayerObjectNames, ConstructorsAndDestructorsWriteTraceLines)
{
    const TraceCapture trace;
    std::wstring connectionName, layerName;
    {
        const Connection connection;
        const TransportLayerImpl layer;
        connectionName = connection.objectName();
        layerName = layer.objectName();
    }
    const std::wstring prefix = L"KelComm::LayerInterfaces::TransportLayer::";
    const std::wstring text = trace.text();
    for (const std::wstring& line : {prefix + L"IConnection::IConnection " + connectionName,
                                     prefix + L"ITransportLayer::ITransportLayer " + layerName,
                                     prefix + L"ITransportLayer::~ITransportLayer " + layerName,
                                     prefix + L"IConnection::~IConnection " + connectionName})
        EXPECT_NE(text.find(line), std::wstring::npos) << line << L" in\n" << text;
    EXPECT_LT(text.find(prefix + L"ITransportLayer::~"), text.find(prefix + L"IConnection::~"));
}

TEST(LayerObjectNames, SerialsStayUniqueAcrossThreads)
{
    constexpr int threadCount = 4;
    constexpr int perThread = 100;
    const TraceCapture trace;
    std::mutex mutex;
    std::set<int> serials;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < threadCount; ++thread)
        threads.emplace_back([&] {
            for (int index = 0; index < perThread; ++index) {
                const Connection connection;
                const int serial = serialOf(connection.objectName());
                const std::lock_guard lock(mutex);
                serials.insert(serial);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_EQ(serials.size(), static_cast<std::size_t>(threadCount * perThread));
    EXPECT_GT(*serials.begin(), 0);
    EXPECT_EQ(*serials.rbegin() - *serials.begin() + 1, threadCount * perThread);
}

TEST(ConnectionLifetime, TheLastReferenceDeletesOnTheSharedQueueWithTheHandshake)
{
    const TraceCapture trace;
    Ending ending;
    UnitCounter counter;
    std::wstring name;
    {
        const boost::shared_ptr<IConnection> shared = IConnection::share(new Connection(&ending));
        name = shared->objectName();
        counter.connect(shared->signalSubject());
        static_cast<Connection&>(*shared).receiveUnit();
        EXPECT_EQ(counter.units, 1);
        EXPECT_EQ(shared->sharedFromThis(), shared);
    }
    std::unique_lock lock(ending.mutex);
    ASSERT_TRUE(ending.done.wait_for(lock, deletionWait, [&] { return ending.deleted; }));
    EXPECT_TRUE(ending.releaseBegun);
    EXPECT_NE(ending.thread, std::this_thread::get_id());
    lock.unlock();
    // The interface's own destructor writes its line after deleting the subject.
    const std::wstring destructorLine = L"IConnection::~IConnection " + name;
    for (auto until = std::chrono::steady_clock::now() + deletionWait;
         trace.text().find(destructorLine) == std::wstring::npos && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_NE(trace.text().find(destructorLine), std::wstring::npos);
    EXPECT_FALSE(counter.isConnected()) << "the subject went with the connection";
}

TEST(ConnectionSignals, SubjectsAreOwnedPerObject)
{
    Connection first, second;
    UnitCounter firstCounter, secondCounter;
    firstCounter.connect(first.signalSubject());
    secondCounter.connect(second.signalSubject());
    first.receiveUnit();
    first.receiveUnit();
    second.receiveUnit();
    EXPECT_EQ(firstCounter.units, 2);
    EXPECT_EQ(secondCounter.units, 1);
}

class EventConsumer : public ApplicationLayer::IEventConsumer {
public:
    using IEventConsumer::signalSubject;
    void consume(unsigned int eventCode, ConstBytes) override
    {
        signalRaiser()(&SignalTable::consumed, this, eventCode);
    }
    MOCK_METHOD(bool, accepts, (unsigned int), (const, override));
    MOCK_METHOD(void, eventsLost, (unsigned long), (override));
};

class ConsumedEvents : public KelBase::SignalObserver<EventConsumer::SignalSubject> {
public:
    void consumed(ApplicationLayer::IEventConsumer*, unsigned int eventCode) override { codes.push_back(eventCode); }
    std::vector<unsigned int> codes;
};

TEST(EventConsumerSignals, TheSubjectKeepsOnlyTheLastObserver)
{
    EventConsumer consumer;
    ConsumedEvents first, second;
    first.connect(consumer.signalSubject());
    consumer.consume(7, ConstBytes());
    second.connect(consumer.signalSubject());
    consumer.consume(8, ConstBytes());
    EXPECT_FALSE(first.isConnected());
    EXPECT_EQ(first.codes, std::vector<unsigned int>{7});
    EXPECT_EQ(second.codes, std::vector<unsigned int>{8});
}

} // namespace
