#include "sim/FrameLog.h"

#include <boost/format.hpp>

#include <chrono>
#include <ctime>

namespace VPanel::Sim {

namespace {
std::string timeStamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto milliseconds = duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return (boost::format("%02d:%02d:%02d.%03d") % local.tm_hour % local.tm_min % local.tm_sec % milliseconds).str();
}
} // namespace

void FrameLog::received(const std::uint8_t* bytes, std::size_t size, const std::string& note)
{
    frame(Link::FrameDirection::Request, bytes, size, note);
}

void FrameLog::sent(const std::uint8_t* bytes, std::size_t size, const std::string& note)
{
    frame(Link::FrameDirection::Reply, bytes, size, note);
}

void FrameLog::frame(Link::FrameDirection direction, const std::uint8_t* bytes, std::size_t size,
                     const std::string& note)
{
    if (m_out)
        *m_out << Link::frameLine(timeStamp(), direction, bytes, size, note) << std::endl;
}

} // namespace VPanel::Sim
