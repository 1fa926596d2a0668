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
} // namespace

FirstLine readFirstLine(const std::filesystem::path& file, bool followLinks)
{
    // Non-blocking, so that a FIFO put in the file's place cannot hold the reader up.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
    const Descriptor fd(::open(file.c_str(), flags));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    std::string buffer(firstLineLimit_bytes, '\0');
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t count = ::read(fd.get(), buffer.data() + filled, buffer.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return {};
        if (count == 0)
            break;
        const std::size_t lineEnd = buffer.find('\n', filled);
        filled += static_cast<std::size_t>(count);
        if (lineEnd < filled)
            return {FirstLine::Status::Read, buffer.substr(0, lineEnd)};
    }
    if (filled == buffer.size())
        return {FirstLine::Status::TooLong, {}};
    buffer.resize(filled);
    return {FirstLine::Status::Read, buffer};
}

} // namespace KelComm::Serial::Internal
