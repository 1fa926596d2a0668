#include "sim/Recording.h"

#include "link/FrameNotation.h"
#include "baselib/exceptions/ErrorMessage.h"
#include "baselib/platform/Conversion.h"
#include "sim/SimErrors.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
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

// A stamp is digits and a point: the start of what the file has there, with every other byte
// shown as '?', so that a hostile file cannot steer the terminal the message goes to.
std::string shownStamp(const std::string& stamp)
{
    constexpr std::size_t shownLength = 32;
    std::string shown = stamp.substr(0, shownLength);
    std::replace_if(shown.begin(), shown.end(), [](char byte) { return byte < ' ' || byte > '~'; }, '?');
    return stamp.size() > shownLength ? shown + "..." : shown;
}

enum class LineRead { Line, End, TooLong };

// One line without its '\n'; a line longer than `limit` is not read further.
LineRead readLine(std::streambuf& input, std::string& line, std::size_t limit)
{
    line.clear();
    for (;;) {
        const auto character = input.sbumpc();
        if (character == std::char_traits<char>::eof())
            return line.empty() ? LineRead::End : LineRead::Line;
        if (character == '\n')
            return LineRead::Line;
        if (line.size() == limit)
            return LineRead::TooLong;
        line.push_back(std::char_traits<char>::to_char_type(character));
    }
}
} // namespace

// Takes the lines of a recording one by one into it.
class Recording::Reader {
public:
    explicit Reader(Recording& recording) : m_recording(recording) {}

    // Empty when the line was taken, else what is wrong with it; a wrong line changes nothing.
    std::string take(const std::string& line)
    {
        if (line.rfind(intervalHeader, 0) == 0)
            return takeInterval(line.substr(sizeof intervalHeader - 1));
        if (line.empty() || line[0] == '#')
            return {};
        Link::FrameLineFault fault{};
        const auto frame = Link::parseFrameLine(line, fault);
        if (!frame)
            return faultText(fault);
        std::chrono::microseconds at{};
        if (std::string wrong = stampValue(frame->stamp, at); !wrong.empty())
            return wrong;
        if (at < m_last)
            return "время кадра раньше, чем в строке выше";
        if (frame->direction == Link::FrameDirection::Request) {
            if (frame->bytes.size() < Link::headerSize)
                return "запрос короче заголовка пакета";
            auto& replies = m_recording.m_replies[Link::readU16(&frame->bytes[1])];
            replies.emplace_back();
            m_reply = &replies.back();
        } else if (m_reply) {
            m_reply->push_back({at - m_last, frame->bytes});
        }
        m_last = at;
        ++m_frames;
        return {};
    }

    std::size_t frames() const { return m_frames; }

private:
    std::string takeInterval(const std::string& text)
    {
        std::istringstream value(text);
        long interval_ms = 0;
        if (!(value >> interval_ms) || interval_ms < 0 || interval_ms > maxWriteInterval.count())
            return "интервал записи не в миллисекундах от 0 до " + std::to_string(maxWriteInterval.count());
        m_recording.m_writeInterval = std::chrono::milliseconds(interval_ms);
        return {};
    }

    // Milliseconds with a fraction, as the recording writes them.
    static std::string stampValue(const std::string& stamp, std::chrono::microseconds& at)
    {
        std::istringstream text(stamp);
        double milliseconds = 0.0;
        if (!(text >> milliseconds) || !text.eof())
            return "время кадра не в миллисекундах: " + shownStamp(stamp);
        if (!(milliseconds >= 0.0 && milliseconds <= maxStamp_ms))
        {
            std::ostringstream limit;
            limit << "время кадра вне пределов от 0 до " << maxStamp_ms << " мс: " << shownStamp(stamp);
            return limit.str();
        }
        at = std::chrono::microseconds(std::llround(milliseconds * 1000.0));
        return {};
    }

    Recording& m_recording;
    Reply* m_reply = nullptr; // of the last request
    std::chrono::microseconds m_last{0};
    std::size_t m_frames = 0;
};

Recording Recording::read(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throwSimulatorError(SimMessage::RecordingUnreadable, path, "файл не открывается");
    try {
        return parse(file, path);
    } catch (const std::ios_base::failure&) {
        // The stream's own text is English and names no file (a directory, a failing disk).
        const KelWin::ErrorMessage cause(static_cast<unsigned long>(errno));
        throwSimulatorError(SimMessage::RecordingUnreadable, path,
                            cause.text() ? KelBase::Conversion::stringToUTF8(cause.text()) : "ошибка чтения");
    }
}

Recording Recording::parse(std::istream& input, const std::string& name, const Limits& limits)
{
    Recording recording;
    Reader reader(recording);
    std::streambuf& text = *input.rdbuf();
    std::size_t size = 0;
    // A wrong line is forgiven only when nothing but blank lines follows it.
    std::size_t wrongLine = 0;
    std::string wrong;
    const auto refuse = [&](std::size_t number, const std::string& reason) {
        throwSimulatorError(SimMessage::RecordingLine, name, std::to_string(number), reason);
    };
    std::string line;
    for (std::size_t number = 1;; ++number) {
        const LineRead read = readLine(text, line, limits.lineLength);
        if (read == LineRead::End)
            break;
        size += line.size() + 1;
        if (size > limits.fileSize)
            throwSimulatorError(SimMessage::RecordingUnreadable, name,
                                "запись длиннее " + std::to_string(limits.fileSize) + " байт");
        if (line.empty())
            continue;
        if (wrongLine != 0)
            refuse(wrongLine, wrong);
        if (read == LineRead::TooLong)
            refuse(number, "строка длиннее " + std::to_string(limits.lineLength) + " знаков");
        wrong = reader.take(line);
        if (reader.frames() > limits.frames)
            throwSimulatorError(SimMessage::RecordingUnreadable, name,
                                "в записи больше " + std::to_string(limits.frames) + " кадров");
        if (!wrong.empty())
            wrongLine = number;
    }
    if (wrongLine != 0)
        recording.m_warnings.push_back("Запись " + name + ", последняя строка " + std::to_string(wrongLine) +
                                       " пропущена: " + wrong);
    if (reader.frames() == 0)
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
