#include "sim/Recording.h"

#include "app/link/FrameNotation.h"
#include "app/link/Packet.h"
#include "sim/SimErrors.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

namespace VPanel::Sim {

namespace {
constexpr char intervalHeader[] = "# write interval ";

const char* faultText(Link::FrameLineFault fault)
{
    switch (fault) {
    case Link::FrameLineFault::NoDirection: return "нет направления кадра (<- или ->)";
    case Link::FrameLineFault::NoBytes: return "в кадре нет байтов";
    case Link::FrameLineFault::BadByte: return "байт кадра не записан двумя шестнадцатеричными цифрами";
    case Link::FrameLineFault::TooLong: return "кадр длиннее, чем читает программа";
    }
    return "";
}

// Milliseconds with a fraction, as the recording writes them.
std::optional<std::chrono::microseconds> stampValue(const std::string& stamp)
{
    std::istringstream text(stamp);
    double milliseconds = 0.0;
    if (!(text >> milliseconds) || !text.eof() || milliseconds < 0.0)
        return std::nullopt;
    return std::chrono::microseconds(static_cast<std::int64_t>(milliseconds * 1000.0 + 0.5));
}
} // namespace

Recording Recording::read(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        throwSimulatorError(SimMessage::RecordingUnreadable, path, "файл не открывается");
    return parse(file, path);
}

Recording Recording::parse(std::istream& input, const std::string& name)
{
    Recording recording;
    Reply* reply = nullptr; // of the last request
    std::chrono::microseconds last{0};
    std::size_t frames = 0;
    std::string line;
    for (std::size_t number = 1; std::getline(input, line); ++number) {
        const auto refuse = [&](const std::string& reason) {
            throwSimulatorError(SimMessage::RecordingLine, name, std::to_string(number), reason);
        };
        if (line.rfind(intervalHeader, 0) == 0) {
            std::istringstream value(line.substr(sizeof intervalHeader - 1));
            long interval_ms = 0;
            if (!(value >> interval_ms) || interval_ms < 0)
                refuse("интервал записи не в миллисекундах");
            recording.m_writeInterval = std::chrono::milliseconds(interval_ms);
        }
        if (line.empty() || line[0] == '#')
            continue;
        Link::FrameLineFault fault{};
        const auto frame = Link::parseFrameLine(line, fault);
        if (!frame)
            refuse(faultText(fault));
        const auto at = stampValue(frame->stamp);
        if (!at)
            refuse("время кадра не в миллисекундах: " + frame->stamp);
        if (*at < last)
            refuse("время кадра раньше, чем в строке выше");
        ++frames;
        if (frame->direction == Link::FrameDirection::Request) {
            if (frame->bytes.size() < Link::headerSize)
                refuse("запрос короче заголовка пакета");
            auto& replies = recording.m_replies[Link::readU16(&frame->bytes[1])];
            replies.emplace_back();
            reply = &replies.back();
        } else if (reply) {
            reply->push_back({*at - last, frame->bytes});
        }
        last = *at;
    }
    if (frames == 0)
        throwSimulatorError(SimMessage::RecordingUnreadable, name, "в записи нет ни одного кадра");
    return recording;
}

const Recording::Reply* Replay::next(std::uint16_t command)
{
    std::lock_guard lock(m_mutex);
    const auto replies = m_recording.replies().find(command);
    if (replies == m_recording.replies().end())
        return nullptr;
    std::size_t& played = m_played[command];
    const std::size_t index = std::min(played, replies->second.size() - 1);
    if (played < replies->second.size())
        ++played;
    return &replies->second[index];
}

std::size_t Replay::left(std::uint16_t command) const
{
    std::lock_guard lock(m_mutex);
    const auto replies = m_recording.replies().find(command);
    if (replies == m_recording.replies().end())
        return 0;
    const auto played = m_played.find(command);
    return replies->second.size() - (played == m_played.end() ? 0 : played->second);
}

} // namespace VPanel::Sim
