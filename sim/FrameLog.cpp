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

std::string FrameLog::hex(const std::uint8_t* bytes, std::size_t size)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            text.push_back(' ');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

void FrameLog::received(const std::uint8_t* bytes, std::size_t size, const std::string& note)
{
    frame("<-", bytes, size, note);
}

void FrameLog::sent(const std::uint8_t* bytes, std::size_t size, const std::string& note)
{
    frame("->", bytes, size, note);
}

void FrameLog::frame(const char* direction, const std::uint8_t* bytes, std::size_t size, const std::string& note)
{
    if (!m_out)
        return;
    *m_out << timeStamp() << ' ' << direction << ' ' << hex(bytes, size);
    if (!note.empty())
        *m_out << "  (" << note << ')';
    *m_out << std::endl;
}

} // namespace VPanel::Sim
