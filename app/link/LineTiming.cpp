#include "app/link/LineTiming.h"

#include <algorithm>

namespace VPanel::Link {

namespace {
constexpr long responseBits = 1640;
constexpr std::chrono::milliseconds responseMargin{5};
} // namespace

std::chrono::milliseconds responseTimeout(long baudRate)
{
    return std::chrono::milliseconds(responseBits * 1000 / std::max(baudRate, 1L)) + responseMargin;
}

bool repeatUntilAnswered(const std::function<bool()>& attempt, std::chrono::steady_clock::duration budget,
                         const std::function<bool()>& giveUp)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (attempt())
            return true;
        if (std::chrono::steady_clock::now() - start >= budget || giveUp())
            return false;
    }
}

} // namespace VPanel::Link
