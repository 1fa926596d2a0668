#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/threading/ActiveObject.h"
#include "baselib/threading/Semaphore.h"
#include "baselib/threading/Thread.h"
#include "baselib/time/Timeout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace Threading;
using KelTime::Milliseconds;
using KelTime::TimeDuration;
using KelTime::Timeout;

namespace {

constexpr int cancelledResult = 7;

// Works until cancelled; counts the cancellation notices.
class CancellableObject : public ActiveObject {
public:
    std::atomic<int> notices{0};
    Semaphore running;

    using ActiveObject::isCancelled;

protected:
    int execute() override
    {
        running.post();
        while (!isCancelled())
            Thread::sleep(Timeout(TimeDuration(Milliseconds(1))));
        return cancelledResult;
    }
    void executionCancelled() override { ++notices; }
};

// Returns `result`, or throws when told to fail; reusable.
class ScriptedObject : public ActiveObject {
public:
    int result = 0;
    bool fail = false;

protected:
    int execute() override
    {
        if (fail)
            throw std::runtime_error("again");
        return result;
    }
    void reinitialize() override {}
};

class ThrowingObject : public ActiveObject {
public:
    explicit ThrowingObject(bool libraryException) : m_libraryException(libraryException) {}

protected:
    int execute() override
    {
        if (m_libraryException)
            throw KelBase::RuntimeException(L"сбой связи");
        throw std::runtime_error("boom");
    }

private:
    bool m_libraryException;
};

// Catches what is written to std::wcerr for its lifetime.
class ErrorStreamCapture {
public:
    ErrorStreamCapture() : m_previous(std::wcerr.rdbuf(m_buffer.rdbuf())) {}
    ~ErrorStreamCapture() { std::wcerr.rdbuf(m_previous); }
    std::wstring text() const { return m_buffer.str(); }

private:
    std::wostringstream m_buffer;
    std::wstreambuf* m_previous;
};

template <class Action>
std::wstring activeObjectError(Action action)
{
    try {
        action();
    } catch (const ActiveObjectException& error) {
        return error.message();
    }
    return L"(nothing thrown)";
}

bool endsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ActiveObjectTest, CancelStopsTheRun)
{
    CancellableObject object;
    Thread thread(object);
    object.cancel(); // usually still starting: waits for the run to begin
    EXPECT_EQ(thread.join(), cancelledResult);
    EXPECT_EQ(object.notices, 1);
}

TEST(ActiveObjectTest, MisuseOfTheLifeCycleNamesTheOperation)
{
    CancellableObject object;
    EXPECT_FALSE(object.isCancelled());
    Thread thread(object);
    object.running.wait();

    const std::wstring resetWhileRunning = activeObjectError([&] { object.reset(); });
    EXPECT_NE(resetWhileRunning.find(L"Threading::ActiveObject::reset("), std::wstring::npos) << resetWhileRunning;
    EXPECT_TRUE(endsWith(resetWhileRunning, L") not valid in this state")) << resetWhileRunning;
    const std::wstring secondThreadWhileRunning = activeObjectError([&] { Thread second(object); });
    EXPECT_NE(secondThreadWhileRunning.find(L"Threading::Thread::Thread("), std::wstring::npos)
        << secondThreadWhileRunning;
    EXPECT_TRUE(endsWith(secondThreadWhileRunning, L") not valid in this state")) << secondThreadWhileRunning;

    object.cancel();
    thread.join();
    const std::wstring askedWhenFinished = activeObjectError([&] { object.isCancelled(); });
    EXPECT_NE(askedWhenFinished.find(L"Threading::ActiveObject::isCancelled("), std::wstring::npos);
    EXPECT_TRUE(endsWith(askedWhenFinished, L" Active object already finished")) << askedWhenFinished;

    // The default reinitialize() refuses; the object stays finished and cannot run again.
    EXPECT_EQ(activeObjectError([&] { object.reset(); }), L"This active object is not reinitializable");
    EXPECT_TRUE(endsWith(activeObjectError([&] { Thread again(object); }), L") not valid in this state"));
    EXPECT_EQ(thread.join(), cancelledResult);
}

TEST(ActiveObjectTest, CancelAfterTheEndKeepsTheObjectReusable)
{
    ScriptedObject object;
    object.result = 1;
    Thread(object).join();
    object.cancel();
    EXPECT_NO_THROW(object.reset());
    object.result = 2;
    EXPECT_EQ(Thread(object).join(), 2);
}

TEST(ActiveObjectTest, EscapingExceptionIsReportedInRed)
{
    struct Case {
        bool libraryException;
        std::wstring message;
    };
    for (const Case& c : {Case{true, L"сбой связи"}, Case{false, L"boom"}}) {
        ThrowingObject object(c.libraryException);
        std::wstring report;
        int result = 0;
        {
            ErrorStreamCapture capture;
            result = Thread(object).join();
            report = capture.text();
        }
        EXPECT_EQ(result, -1) << "the result keeps its former value";
        const std::wstring expected = L"Threading::ActiveObject::doExecute(): Необработанное исключение во время "
                                      L"исполнения\n(" + c.message + L")";
        EXPECT_NE(report.find(expected), std::wstring::npos) << report;
        EXPECT_EQ(report.back(), L'\n');
    }
}

TEST(ActiveObjectTest, FailedRunKeepsThePreviousResult)
{
    ScriptedObject object;
    object.result = 5;
    Thread(object).join();
    object.reset();
    object.fail = true;
    ErrorStreamCapture capture;
    EXPECT_EQ(Thread(object).join(), 5);
}

} // namespace
