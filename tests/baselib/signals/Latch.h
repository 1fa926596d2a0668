#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace KelBaseTest {

// How long a test waits for what must come.
constexpr std::chrono::seconds deadline{20};

// Counts down to zero; waits are bounded so that a lost wake-up fails instead of hanging.
class Latch {
public:
    explicit Latch(int count) : m_count(count) {}

    void countDown();

    bool wait(std::chrono::milliseconds timeout = deadline);

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    int m_count;
};

} // namespace KelBaseTest
