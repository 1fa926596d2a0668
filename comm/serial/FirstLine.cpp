#include "comm/serial/FirstLine.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KelComm::Serial::Internal {

namespace {
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

FirstLine unreadable(int error) { return {FirstLine::Status::Unreadable, {}, error}; }
} // namespace

FirstLine readFirstLine(const std::filesystem::path& file, bool followLinks)
{
    // Non-blocking, so that a FIFO put in the file's place cannot hold the reader up.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
    const Descriptor fd(::open(file.c_str(), flags));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0)
        return unreadable(errno);
    if (!S_ISREG(status.st_mode))
        return unreadable(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    std::string buffer(firstLineLimit_bytes, '\0');
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t count = ::read(fd.get(), buffer.data() + filled, buffer.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return unreadable(errno);
        if (count == 0)
            break;
        const std::size_t lineEnd = buffer.find('\n', filled);
        filled += static_cast<std::size_t>(count);
        if (lineEnd < filled) {
            const bool crlf = lineEnd > 0 && buffer[lineEnd - 1] == '\r';
            return {FirstLine::Status::Read, buffer.substr(0, crlf ? lineEnd - 1 : lineEnd)};
        }
    }
    if (filled == buffer.size())
        return {FirstLine::Status::TooLong, {}};
    buffer.resize(filled);
    return {FirstLine::Status::Read, buffer};
}

std::string printable(std::string_view text)
{
    constexpr std::string_view replacement = "\xEF\xBF\xBD";
    constexpr unsigned char c1Lead = 0xC2, c1First = 0x80, c1Last = 0x9F, del = 0x7F;
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == c1Lead && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= c1First &&
                        static_cast<unsigned char>(text[i + 1]) <= c1Last;
        if (byte < ' ' || byte == del || c1) {
            shown += replacement;
            i += c1 ? 1 : 0;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

} // namespace KelComm::Serial::Internal
