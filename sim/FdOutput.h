#pragma once

#include <array>
#include <ostream>
#include <streambuf>

namespace VPanel::Sim {

// An output stream straight onto a file descriptor. The program cannot print through the
// standard C streams: glibc binds a FILE to wide or narrow text at its first use, and the
// libraries write wide text to them, after which narrow text would be lost.
class FdBuffer : public std::streambuf {
public:
    explicit FdBuffer(int fd);
    ~FdBuffer() override;

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    int m_fd;
    std::array<char, 1024> m_buffer{};
};

class FdOutput : private FdBuffer, public std::ostream {
public:
    explicit FdOutput(int fd) : FdBuffer(fd), std::ostream(static_cast<FdBuffer*>(this)) {}
};

} // namespace VPanel::Sim
