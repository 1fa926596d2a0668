#include "comm/serial/Termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace KelComm::Serial::Internal {

int setArbitraryBaudRate(int fd, unsigned long baudRate)
{
    struct termios2 record {};
    if (ioctl(fd, TCGETS2, &record) != 0)
        return errno;
    record.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    record.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    record.c_ispeed = static_cast<speed_t>(baudRate);
    record.c_ospeed = static_cast<speed_t>(baudRate);
    return ioctl(fd, TCSETS2, &record) == 0 ? 0 : errno;
}

unsigned long readBaudRate(int fd)
{
    struct termios2 record {};
    if (ioctl(fd, TCGETS2, &record) != 0)
        return 0;
    return record.c_ospeed;
}

} // namespace KelComm::Serial::Internal
