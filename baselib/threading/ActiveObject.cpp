#include "baselib/threading/ActiveObject.h"

#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace Threading {

namespace {
constexpr auto startPollInterval = std::chrono::milliseconds(32);

// The compiler's rendering of a function signature (ASCII) as a wide string.
std::wstring signatureText(const char* prettyFunction)
{
    return std::wstring(prettyFunction, prettyFunction + std::strlen(prettyFunction));
}
} // namespace

void ActiveObject::cancel()
{
    // Compare-and-swap, so that a cancel racing the natural end cannot move a finished
    // object back to "cancel requested", where reset() would refuse it for good.
    for (int current = state();;) {
        if (current == Starting) {
            std::this_thread::sleep_for(startPollInterval);
            current = state();
            continue;
        }
        if (current == Finished || m_state.compare_exchange_weak(current, CancelRequested))
            break;
    }
    executionCancelled();
}

void ActiveObject::reset()
{
    if (state() != Finished)
        throw ActiveObjectException(signatureText(__PRETTY_FUNCTION__) + L" not valid in this state");
    reinitialize();
    m_state.exchange(Idle);
    m_taken.store(false);
}

bool ActiveObject::start()
{
    if (m_taken.exchange(true))
        return false;
    m_state.exchange(Starting);
    return true;
}

void ActiveObject::abandonStart()
{
    m_state.exchange(Idle);
    m_taken.store(false);
}

bool ActiveObject::isCancelled() const
{
    const int current = state();
    if (current == Finished)
        throw ActiveObjectException(signatureText(__PRETTY_FUNCTION__) + L" Active object already finished");
    return current == CancelRequested;
}

void ActiveObject::executionCancelled() {}

void ActiveObject::reinitialize()
{
    throw ActiveObjectException(L"This active object is not reinitializable");
}

int ActiveObject::doExecute()
{
    m_state.exchange(Running);
    try {
        m_result.store(execute());
    } catch (const std::exception& error) {
        // The helper ends the line itself, after restoring the colour.
        KelConsole::writeErrorReport(signatureText(__PRETTY_FUNCTION__) +
                                     L": Необработанное исключение во время исполнения\n(" +
                                     KelBase::exceptionMessage(error) + L")");
    }
    m_state.exchange(Finished);
    return m_result.load();
}

} // namespace Threading
