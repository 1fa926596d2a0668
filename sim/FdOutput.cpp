#include "sim/FdOutput.h"

#include <unistd.h>

#include <cerrno>

namespace VPanel::Sim {

FdBuffer::FdBuffer(int fd) : m_fd(fd) { setp(m_buffer.data(), m_buffer.data() + m_buffer.size()); }

FdBuffer::~FdBuffer() { sync(); }

FdBuffer::int_type FdBuffer::overflow(int_type character)
{
    if (sync() != 0)
        return traits_type::eof();
    if (!traits_type::eq_int_type(character, traits_type::eof()))
        sputc(traits_type::to_char_type(character));
    return traits_type::not_eof(character);
}

int FdBuffer::sync()
{
    const char* next = pbase();
    while (next < pptr()) {
        const ssize_t written = write(m_fd, next, static_cast<std::size_t>(pptr() - next));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        next += written;
    }
    // What the descriptor would not take (a reader gone) is dropped rather than kept.
    const bool complete = next == pptr();
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return complete ? 0 : -1;
}

} // namespace VPanel::Sim
